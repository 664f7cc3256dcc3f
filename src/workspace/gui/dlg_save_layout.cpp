#include "workspace/gui/dlg_save_layout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/text_qt.h"
#include "workspace/workspace_names.h"

CDlgSaveLayout::CDlgSaveLayout(Mode mode, const std::string& offered, QWidget* parent)
    : tarn::ui::Dialog(parent, mode == kSave ? QStringLiteral("保存布局") : QStringLiteral("打开布局")), mode_(mode) {
  auto* column = new QVBoxLayout(Body());
  list = new QListWidget(Body());
  for (const std::string& n : tarn::ListLayouts()) list->addItem(tarn::ui::ToQString(n));
  list->setCurrentRow(-1);
  column->addWidget(list, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("布局名称"), Body()));
  name = new QLineEdit(Body());
  name->setText(tarn::ui::ToQString(offered));
  name->setReadOnly(mode == kOpen);
  row->addWidget(name, 1);
  column->addLayout(row);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(mode == kSave ? QStringLiteral("保存") : QStringLiteral("打开"), Body());
  auto* cancel = new QPushButton(QStringLiteral("取消"), Body());
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  // Only the user's pick replaces the name offered (the list making its first row current when it
  // takes the focus does not).
  connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { name->setText(item->text()); });
  connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    name->setText(item->text());
    OnOk();
  });
  resize(360, 320);
}

void CDlgSaveLayout::OnOk() {
  std::string checked;
  const tarn::NameVerdict v = tarn::CheckLayoutName(tarn::ui::ToGbk(name->text()), &checked);
  if (mode_ == kOpen) {
    if (v != tarn::NameVerdict::kOk || !tarn::LayoutExists(checked)) {
      tarn::MessageBox(TXT("请选择一个布局"), TXT("提示"));
      return;
    }
  } else {
    if (v != tarn::NameVerdict::kOk) {
      tarn::MessageBox(tarn::NameVerdictText(v), TXT("提示"));
      return;
    }
    if (tarn::LayoutExists(checked) &&
        tarn::MessageBox(TXT("该布局文件已经存在，您确实要覆盖吗?"), TXT("提示"), tarn::MsgButtons::OkCancel) !=
            tarn::MsgAnswer::Ok)
      return;
  }
  chosen_ = checked;
  Finish(QDialog::Accepted);
}
