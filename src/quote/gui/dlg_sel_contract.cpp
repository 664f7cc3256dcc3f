#include "quote/gui/dlg_sel_contract.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "quote/user_block_store.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

CDlgSelContract::CDlgSelContract(bool listMode, std::vector<DC_Contract> chosenContracts, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("合约选择")),
      selection_(std::make_unique<tarn::ContractSelection>(GetQuoteDataCenter(), GetUserBlockStore(), listMode,
                                                           std::move(chosenContracts))) {
  using tarn::ui::Scaled;
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(12), Scaled(8), Scaled(12), Scaled(12));
  root->setSpacing(Scaled(6));
  tabs = new QTabBar(Body());
  tabs->setExpanding(false);
  tabs->setUsesScrollButtons(true);
  for (const BlockListEntry& t : selection_->Tabs()) tabs->addTab(tarn::ui::ToQString(t.display));
  root->addWidget(tabs);

  auto* lists = new QHBoxLayout;
  lists->setSpacing(Scaled(8));
  auto* left = new QVBoxLayout;
  commodityTitle = new QLabel(QStringLiteral("品种列表"), Body());
  commodities = new QListWidget(Body());
  commodities->setFixedWidth(Scaled(140));
  left->addWidget(commodityTitle);
  left->addWidget(commodities);
  lists->addLayout(left);
  contracts = new QTreeWidget(Body());
  contracts->setRootIsDecorated(false);
  contracts->setColumnCount(2);
  contracts->setHeaderLabels({QStringLiteral("合约代码"), QStringLiteral("合约名称")});
  contracts->header()->setSectionResizeMode(QHeaderView::Stretch);
  contracts->setMinimumSize(Scaled(260), Scaled(320));
  lists->addWidget(contracts, 1);
  if (listMode) {
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    chooseButton = new QPushButton(QStringLiteral(">>"), Body());
    unchooseButton = new QPushButton(QStringLiteral("<<"), Body());
    for (QPushButton* b : {chooseButton, unchooseButton}) {
      b->setAutoDefault(false);
      middle->addWidget(b);
    }
    middle->addStretch(1);
    lists->addLayout(middle);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("已选合约"), Body()));
    chosen = new QListWidget(Body());
    chosen->setFixedWidth(Scaled(180));
    right->addWidget(chosen);
    lists->addLayout(right);
    connect(chooseButton, &QPushButton::clicked, this, &CDlgSelContract::OnChoose);
    connect(unchooseButton, &QPushButton::clicked, this, &CDlgSelContract::OnUnchoose);
    connect(contracts, &QTreeWidget::itemDoubleClicked, this, &CDlgSelContract::OnChoose);
    connect(chosen, &QListWidget::itemDoubleClicked, this, &CDlgSelContract::OnUnchoose);
  } else {
    connect(contracts, &QTreeWidget::itemDoubleClicked, this, [this] { OnOk(); });
  }
  root->addLayout(lists, 1);

  auto* box = new QDialogButtonBox(Body());
  QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  root->addWidget(box);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });

  connect(tabs, &QTabBar::currentChanged, this, [this](int i) {
    selection_->SelectTab(i);
    FillCommodities();
    FillContracts();
  });
  connect(commodities, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0 || row == selection_->CurrentCommodity()) return;
    selection_->SelectCommodity(row);
    FillContracts();
  });
  FillCommodities();
  FillContracts();
  FillChosen();
  contracts->setFocus();
}

void CDlgSelContract::FillCommodities() {
  const bool shown = selection_->ShowsCommodities();
  commodityTitle->setVisible(shown);
  commodities->setVisible(shown);
  commodities->blockSignals(true);
  commodities->clear();
  for (const DC_Commodity& c : selection_->Commodities())
    commodities->addItem(tarn::ui::ToQString(std::string(c.Display())) + QStringLiteral("  ") +
                         tarn::ui::ToQString(std::string(c.Code())));
  if (selection_->CurrentCommodity() >= 0) commodities->setCurrentRow(selection_->CurrentCommodity());
  commodities->blockSignals(false);
}

void CDlgSelContract::FillContracts() {
  contracts->clear();
  for (const DC_Contract& c : selection_->Contracts())
    contracts->addTopLevelItem(new QTreeWidgetItem({tarn::ui::ToQString(c.Code()), tarn::ui::ToQString(c.Name())}));
}

void CDlgSelContract::FillChosen() {
  if (!chosen) return;
  chosen->clear();
  for (const DC_Contract& c : selection_->Chosen())
    chosen->addItem(tarn::ui::ToQString(c.Code()) + QStringLiteral("  ") + tarn::ui::ToQString(c.Name()));
}

void CDlgSelContract::OnChoose() {
  const QTreeWidgetItem* item = contracts->currentItem();
  if (!item) {
    tarn::MessageBox(TXT("请选择一个合约"), TXT("提示"));
    return;
  }
  if (selection_->Choose(contracts->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)))) FillChosen();
}

void CDlgSelContract::OnUnchoose() {
  if (!chosen) return;
  const int row = chosen->currentRow();
  if (selection_->Unchoose(row)) {
    FillChosen();
    if (chosen->count() > 0) chosen->setCurrentRow(std::min(row, chosen->count() - 1));
  }
}

void CDlgSelContract::OnOk() {
  const QTreeWidgetItem* item = contracts->currentItem();
  const int row = item && item->isSelected() ? contracts->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
  tarn::ContractSelection::Answer a = selection_->Ok(row);
  if (!a.accepted) {
    tarn::MessageBox(a.message, TXT("提示"));
    return;
  }
  answer_ = std::move(a);
  Finish(QDialog::Accepted);
}
