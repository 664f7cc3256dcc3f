#include "engines/gui/order_dialogs.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engines/auto_cover.h"
#include "engines/gui/engine_widgets.h"
#include "engines/oco_forms.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

namespace {
QLineEdit* NumberEdit(QWidget* parent, int width = 90) {
  auto* e = new QLineEdit(parent);
  e->setAlignment(Qt::AlignRight);
  e->setMinimumWidth(Scaled(width));
  return e;
}
}  // namespace

// ---- CDlgAutoCoverSetting ------------------------------------------------------------------

CDlgAutoCoverSetting::CDlgAutoCoverSetting(QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("自动止损设置")) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(12), Scaled(10), Scaled(12), Scaled(10));
  root->setSpacing(Scaled(8));
  enabled = new QCheckBox(QStringLiteral("启用本地自动止损"), Body());
  enabled->setChecked(CAutoCover::Instance().Enabled());
  connect(enabled, &QCheckBox::clicked, this, [](bool on) { CAutoCover::Instance().SetEnabled(on); });
  root->addWidget(enabled);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(Scaled(8));
  grid->setVerticalSpacing(Scaled(6));
  commodity = new QComboBox(Body());
  commodity->setMinimumWidth(Scaled(160));
  choices_ = tarn::ListCommodities();
  for (const tarn::CommodityChoice& c : choices_) commodity->addItem(ToQString(c.ComboText()));
  commodity->setCurrentIndex(-1);
  stopLoss = NumberEdit(Body());
  takeProfit = NumberEdit(Body());
  trailing = NumberEdit(Body());
  breakEven = NumberEdit(Body());
  grid->addWidget(new QLabel(QStringLiteral("品种:"), Body()), 0, 0);
  grid->addWidget(commodity, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("止损价差:"), Body()), 1, 0);
  grid->addWidget(stopLoss, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("止盈价差:"), Body()), 1, 2);
  grid->addWidget(takeProfit, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("浮动止损:"), Body()), 2, 0);
  grid->addWidget(trailing, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("保本价差:"), Body()), 2, 2);
  grid->addWidget(breakEven, 2, 3);
  root->addLayout(grid);
  auto* note = new QLabel(QStringLiteral("价差以最小变动价位计; 空或0表示不设置"), Body());
  note->setStyleSheet(QStringLiteral("color: %1;").arg(tarn::ui::Theme().scale.name()));
  root->addWidget(note);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  setButton = tarn::ui::MakeButton(Body(), QStringLiteral("设置"), [this] { Set(); });
  deleteButton = tarn::ui::MakeButton(Body(), QStringLiteral("删除"), [this] { Delete(); });
  clearButton = tarn::ui::MakeButton(Body(), QStringLiteral("清空"), [this] { Clear(); });
  for (QPushButton* b : {setButton, deleteButton, clearButton}) buttons->addWidget(b);
  root->addLayout(buttons);

  list = tarn::ui::MakeListTable(Body(), tarn::AutoCoverColumnTitles(), 1);
  list->setMinimumSize(Scaled(460), Scaled(220));
  list->setColumnWidth(0, Scaled(140));
  for (int c = 1; c < tarn::kAutoCoverColumnCount; ++c) list->setColumnWidth(c, Scaled(76));
  // A click on a row shows its setting in the boxes, ready to change.
  connect(list, &QTableWidget::cellClicked, this, [this](int row, int) {
    if (row < 0 || row >= static_cast<int>(shown_.size())) return;
    const AutoCoverSetting& s = shown_[static_cast<std::size_t>(row)];
    for (std::size_t i = 0; i < choices_.size(); ++i) {
      if (choices_[i].code == s.commodity && choices_[i].exchange == s.exchange) commodity->setCurrentIndex(static_cast<int>(i));
    }
    auto show = [](QLineEdit* e, int v) { e->setText(v > 0 ? QString::number(v) : QString()); };
    show(stopLoss, s.stopLossTicks);
    show(takeProfit, s.takeProfitTicks);
    show(trailing, s.trailingTicks);
    show(breakEven, s.breakEvenTicks);
  });
  root->addWidget(list, 1);
  Refresh();
  commodity->setFocus();
}

const tarn::CommodityChoice* CDlgAutoCoverSetting::Chosen() const {
  const int i = commodity->currentIndex();
  return (i >= 0 && i < static_cast<int>(choices_.size())) ? &choices_[static_cast<std::size_t>(i)] : nullptr;
}

void CDlgAutoCoverSetting::Refresh() {
  CAutoCover::Instance().CopySettings(shown_);
  std::vector<std::vector<std::string>> rows;
  for (const AutoCoverSetting& s : shown_) rows.push_back(tarn::AutoCoverRowTexts(s, choices_));
  tarn::ui::FillListTable(list, rows);
}

void CDlgAutoCoverSetting::Set() {
  AutoCoverSetting s;
  const tarn::AutoCoverInputTexts t{ToGbk(stopLoss->text()), ToGbk(takeProfit->text()), ToGbk(trailing->text()),
                                    ToGbk(breakEven->text())};
  if (const auto error = tarn::BuildAutoCoverSetting(Chosen(), t, &s)) {
    tarn::MessageBox(*error);
    return;
  }
  CAutoCover::Instance().AddOrReplaceSetting(s);
  Refresh();
}

void CDlgAutoCoverSetting::Delete() {
  const int row = tarn::ui::SelectedRow(list);
  if (row < 0 || row >= static_cast<int>(shown_.size())) {
    tarn::MessageBox(TXT("请选择一行"));
    return;
  }
  CAutoCover::Instance().RemoveSetting(shown_[static_cast<std::size_t>(row)].commodity);
  Refresh();
}

void CDlgAutoCoverSetting::Clear() {
  CAutoCover::Instance().RemoveAllSettings();
  Refresh();
}

// ---- CDlgAddOcoOrder -----------------------------------------------------------------------

CDlgAddOcoOrder::CDlgAddOcoOrder(const OcoOrder& oco, QWidget* parent)
    : tarn::ui::Dialog(parent, ToQString(tarn::OcoDialogTitle(oco))), oco_(oco) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(16), Scaled(12), Scaled(16), Scaled(12));
  root->setSpacing(Scaled(10));
  auto* form = new QFormLayout;
  form->setVerticalSpacing(Scaled(8));
  contractName = new QLabel(ToQString(oco.contract.Name()), Body());
  contractName->setFrameShape(QFrame::StyledPanel);
  form->addRow(QStringLiteral("合约:"), contractName);
  quantity = NumberEdit(Body(), 120);
  form->addRow(QStringLiteral("数量:"), quantity);
  auto legRow = [this](QLineEdit*& price, QComboBox*& side, QComboBox*& offset) {
    auto* row = new QHBoxLayout;
    price = NumberEdit(Body(), 120);
    side = new QComboBox(Body());
    side->addItems({QStringLiteral("买入"), QStringLiteral("卖出")});
    offset = new QComboBox(Body());
    offset->addItems({QStringLiteral("开仓"), QStringLiteral("平仓")});
    row->addWidget(price, 1);
    row->addWidget(side);
    row->addWidget(offset);
    return row;
  };
  form->addRow(QStringLiteral("价格1(向上突破):"), legRow(price1, sideA, offsetA));
  form->addRow(QStringLiteral("价格2(向下突破):"), legRow(price2, sideB, offsetB));
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));

  const tarn::OcoInputTexts t = tarn::OcoInputFor(oco_, PriceDecimals(oco_.contract));
  quantity->setText(ToQString(t.quantity));
  price1->setText(ToQString(t.price1));
  price2->setText(ToQString(t.price2));
  sideA->setCurrentIndex(t.sideA);
  sideB->setCurrentIndex(t.sideB);
  offsetA->setCurrentIndex(t.offsetA);
  offsetB->setCurrentIndex(t.offsetB);
  quantity->setFocus();
}

void CDlgAddOcoOrder::OnOk() {
  tarn::OcoInputTexts t;
  t.quantity = ToGbk(quantity->text());
  t.price1 = ToGbk(price1->text());
  t.price2 = ToGbk(price2->text());
  t.sideA = sideA->currentIndex();
  t.sideB = sideB->currentIndex();
  t.offsetA = offsetA->currentIndex();
  t.offsetB = offsetB->currentIndex();
  OcoOrder edited = oco_;
  if (const auto error = tarn::CheckOcoInput(t, &edited)) {
    tarn::MessageBox(*error);
    return;
  }
  if (const auto refused = tarn::SubmitOco(edited)) {
    tarn::MessageBox(*refused);
    // A pair that can no longer change stays refused however often OK is pressed: close.
    if (edited.contract.Empty()) return;
    Finish(QDialog::Rejected);
    return;
  }
  oco_ = edited;
  Finish(QDialog::Accepted);
}
