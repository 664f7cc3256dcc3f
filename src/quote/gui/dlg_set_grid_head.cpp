#include "quote/gui/dlg_set_grid_head.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "platform/text.h"
#include "quote/grid_columns.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

CDlgSetGridHead::CDlgSetGridHead(std::vector<int> columnKinds, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("表头设置")), editor_(std::move(columnKinds)) {
  using tarn::ui::Scaled;
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(14), Scaled(10), Scaled(14), Scaled(12));
  root->setSpacing(Scaled(8));
  auto* lists = new QHBoxLayout;
  lists->setSpacing(Scaled(10));
  auto column = [&](const QString& title, QListWidget*& list) {
    auto* box = new QVBoxLayout;
    box->addWidget(new QLabel(title, Body()));
    list = new QListWidget(Body());
    list->setMinimumSize(Scaled(130), Scaled(300));
    box->addWidget(list);
    lists->addLayout(box);
  };
  column(QStringLiteral("可选项目"), available);
  auto* buttons = new QVBoxLayout;
  buttons->addStretch(1);
  addButton = new QPushButton(QStringLiteral("添加 >>"), Body());
  removeButton = new QPushButton(QStringLiteral("<< 删除"), Body());
  upButton = new QPushButton(QStringLiteral("上移"), Body());
  downButton = new QPushButton(QStringLiteral("下移"), Body());
  for (QPushButton* b : {addButton, removeButton, upButton, downButton}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  lists->addLayout(buttons);
  column(QStringLiteral("已选项目"), chosen);
  root->addLayout(lists);

  auto* box = new QDialogButtonBox(Body());
  QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  root->addWidget(box);

  for (int kind : editor_.Available()) available->addItem(tarn::ui::ToQString(tarn::GridHeaderText(kind)));
  FillChosen(-1);
  connect(addButton, &QPushButton::clicked, this, &CDlgSetGridHead::OnAdd);
  connect(removeButton, &QPushButton::clicked, this, &CDlgSetGridHead::OnRemove);
  connect(upButton, &QPushButton::clicked, this, &CDlgSetGridHead::OnUp);
  connect(downButton, &QPushButton::clicked, this, &CDlgSetGridHead::OnDown);
  connect(available, &QListWidget::itemDoubleClicked, this, &CDlgSetGridHead::OnAdd);
  connect(chosen, &QListWidget::itemDoubleClicked, this, &CDlgSetGridHead::OnRemove);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  available->setFocus();
}

void CDlgSetGridHead::FillChosen(int selection) {
  chosen->clear();
  for (int kind : editor_.Chosen()) {
    const std::string& header = tarn::GridHeaderText(kind);
    chosen->addItem(header.empty() ? QStringLiteral("(%1)").arg(kind) : tarn::ui::ToQString(header));
  }
  if (selection >= 0 && selection < chosen->count()) chosen->setCurrentRow(selection);
}

void CDlgSetGridHead::Apply(const tarn::GridHeadEditor::Result& r) {
  if (!r.message.empty()) {
    tarn::MessageBox(r.message, TXT("提示"));
    return;
  }
  FillChosen(r.selection);
}

void CDlgSetGridHead::OnAdd() { Apply(editor_.Add(available->currentRow())); }
void CDlgSetGridHead::OnRemove() { Apply(editor_.Remove(chosen->currentRow())); }
void CDlgSetGridHead::OnUp() { Apply(editor_.MoveUp(chosen->currentRow())); }
void CDlgSetGridHead::OnDown() { Apply(editor_.MoveDown(chosen->currentRow())); }

void CDlgSetGridHead::OnOk() {
  // A grid without a column cannot be used; an empty choice keeps the columns as they are.
  Finish(editor_.Chosen().empty() ? QDialog::Rejected : QDialog::Accepted);
}
