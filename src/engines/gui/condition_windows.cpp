#include "engines/gui/condition_windows.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "engines/contract_search.h"
#include "engines/engine_support.h"
#include "engines/gui/engine_widgets.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

namespace {

constexpr int kMsgRefresh = 8122;

QLineEdit* NumberEdit(QWidget* parent, int width = 100) { return tarn::ui::MakeNumberEdit(parent, width); }

// Two exclusive check buttons (the radio pair of the order dialogs).
void Pair(QWidget* parent, QPushButton*& a, QPushButton*& b, const QString& ta, const QString& tb, bool first) {
  a = new QPushButton(ta, parent);
  b = new QPushButton(tb, parent);
  auto* group = new QButtonGroup(parent);
  for (QPushButton* p : {a, b}) {
    p->setCheckable(true);
    p->setAutoDefault(false);
    group->addButton(p);
  }
  (first ? a : b)->setChecked(true);
}

void SetText(QLabel* l, const std::string& gbk, tarn::Colorref colour) {
  const QString text = ToQString(gbk);
  if (l->text() != text) l->setText(text);
  const QString style = QStringLiteral("color: %1;").arg(tarn::ui::FromColorref(colour).name());
  if (l->styleSheet() != style) l->setStyleSheet(style);
}

// Moves a price box by one tick of the contract.
void SpinBox(QLineEdit* box, bool up, const DC_Contract& c) {
  const DC_Commodity* commodity = CommodityOf(c);
  const double tick = commodity && commodity->tickSize > 0 ? commodity->tickSize : 1.0;
  box->setText(ToQString(tarn::SpinStopPrice(ToGbk(box->text()), up, tick, PriceDecimals(c))));
}

QWidget* WithSpin(QWidget* parent, QLineEdit* box, std::function<void(bool)> spin) {
  auto* w = new QWidget(parent);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(Scaled(2));
  h->addWidget(box, 1);
  for (bool up : {true, false}) {
    QPushButton* b = tarn::ui::MakeButton(w, up ? QStringLiteral("▲") : QStringLiteral("▼"), [spin, up] { spin(up); });
    b->setFixedWidth(Scaled(26));
    h->addWidget(b);
  }
  return w;
}

}  // namespace

// ---- CDlgConditionOrder ----------------------------------------------------------------------

CDlgConditionOrder::CDlgConditionOrder(const DC_Contract& c, int side, int offset, int qty, double px, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("条件单")), chosen_(c) {
  const tarn::ConditionInput in = tarn::ConditionInputFor(c, side, offset, qty, px, PriceDecimals(c));
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(14), Scaled(10), Scaled(14), Scaled(10));
  root->setSpacing(Scaled(8));
  auto* form = new QFormLayout;
  form->setVerticalSpacing(Scaled(6));
  auto* contractRow = new QHBoxLayout;
  contract = new QLineEdit(ToQString(in.contractText), Body());
  choose = tarn::ui::MakeButton(Body(), QStringLiteral("..."), [this] {
    DC_Contract picked = chosen_;
    if (tarn::GetContractChooser() && tarn::GetContractChooser()(this, &picked)) {
      chosen_ = picked;
      contract->setText(ToQString(picked.Code()));
      ShowQuote();
    }
  });
  choose->setEnabled(static_cast<bool>(tarn::GetContractChooser()));
  search = new tarn::ui::ContractSearchList(contract, tarn::AllListedContracts(GetQuoteDataCenter()));
  search->onChosen = [this](const DC_Contract& picked) {
    chosen_ = picked;
    contract->setText(ToQString(picked.Code()));
    ShowQuote();
  };
  contractRow->addWidget(contract, 1);
  contractRow->addWidget(choose);
  form->addRow(QStringLiteral("合约:"), contractRow);
  auto* quoteRow = new QHBoxLayout;
  last = new QLabel(Body());
  ask = new QLabel(Body());
  bid = new QLabel(Body());
  last->setFont(tarn::ui::MonoFont(13, QFont::Bold));
  quoteRow->addWidget(last);
  auto* book = new QVBoxLayout;
  book->addWidget(ask);
  book->addWidget(bid);
  quoteRow->addLayout(book, 1);
  form->addRow(QStringLiteral("最新:"), quoteRow);
  auto* triggerRow = new QHBoxLayout;
  basis = new QComboBox(Body());
  basis->addItems({QStringLiteral("最新价"), QStringLiteral("买价"), QStringLiteral("卖价")});
  condition = new QComboBox(Body());
  condition->addItems({QStringLiteral(">="), QStringLiteral("<=")});
  triggerPrice = NumberEdit(Body());
  triggerPrice->setText(ToQString(in.triggerPrice));
  triggerRow->addWidget(basis);
  triggerRow->addWidget(condition);
  triggerRow->addWidget(WithSpin(Body(), triggerPrice, [this](bool up) { SpinBox(triggerPrice, up, chosen_); }), 1);
  form->addRow(QStringLiteral("触发条件:"), triggerRow);
  auto* sides = new QHBoxLayout;
  Pair(Body(), buy, sell, QStringLiteral("买入"), QStringLiteral("卖出"), in.buy);
  Pair(Body(), open, close, QStringLiteral("开仓"), QStringLiteral("平仓"), in.open);
  for (QPushButton* b : {buy, sell, open, close}) sides->addWidget(b);
  form->addRow(QStringLiteral("买卖开平:"), sides);
  quantity = NumberEdit(Body());
  quantity->setText(ToQString(in.quantity));
  form->addRow(QStringLiteral("数量:"), WithSpin(Body(), quantity, [this](bool up) {
                 quantity->setText(QString::number(std::max(1, tarn::ParseInt32Text(ToGbk(quantity->text())) + (up ? 1 : -1))));
               }));
  auto* explicitRow = new QHBoxLayout;
  explicitPrice = new QCheckBox(QStringLiteral("指定价"), Body());
  price = NumberEdit(Body());
  explicitRow->addWidget(explicitPrice);
  explicitRow->addWidget(WithSpin(Body(), price, [this](bool up) { SpinBox(price, up, chosen_); }), 1);
  form->addRow(QStringLiteral("委托价:"), explicitRow);
  auto* basisRow = new QHBoxLayout;
  priceBasisOn = new QCheckBox(Body());
  priceBasisOn->setChecked(true);
  priceBasis = new QComboBox(Body());
  priceBasis->addItems({QStringLiteral("最新价"), QStringLiteral("对手价"), QStringLiteral("挂单价"), QStringLiteral("市价")});
  priceBasis->setCurrentIndex(in.priceBasis);
  tickOffset = NumberEdit(Body(), 60);
  tickOffset->setText(ToQString(in.tickOffset));
  basisRow->addWidget(priceBasisOn);
  basisRow->addWidget(priceBasis);
  basisRow->addWidget(new QLabel(QStringLiteral("超价(跳):"), Body()));
  basisRow->addWidget(WithSpin(Body(), tickOffset, [this](bool up) {
    tickOffset->setText(QString::number(tarn::ParseInt32Text(ToGbk(tickOffset->text())) + (up ? 1 : -1)));
  }));
  form->addRow(QString(), basisRow);
  // The two send-price choices exclude each other.
  connect(explicitPrice, &QCheckBox::toggled, this, [this](bool on) { priceBasisOn->setChecked(!on); });
  connect(priceBasisOn, &QCheckBox::toggled, this, [this](bool on) { explicitPrice->setChecked(!on); });
  validity = new QComboBox(Body());
  validity->addItems({QStringLiteral("长期有效"), QStringLiteral("当日有效")});
  form->addRow(QStringLiteral("有效期:"), validity);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));
  connect(&timer_, &QTimer::timeout, this, &CDlgConditionOrder::ShowQuote);
  timer_.start(500);
  ShowQuote();
  triggerPrice->setFocus();
}

tarn::ConditionInput CDlgConditionOrder::Input() const {
  tarn::ConditionInput in;
  in.contractText = ToGbk(contract->text());
  in.chosen = chosen_;
  in.basis = basis->currentIndex();
  in.condition = condition->currentIndex();
  in.triggerPrice = ToGbk(triggerPrice->text());
  in.buy = buy->isChecked();
  in.open = open->isChecked();
  in.quantity = ToGbk(quantity->text());
  in.explicitPrice = explicitPrice->isChecked();
  in.price = ToGbk(price->text());
  in.priceBasis = priceBasis->currentIndex();
  in.tickOffset = ToGbk(tickOffset->text());
  in.validity = validity->currentIndex();
  return in;
}

void CDlgConditionOrder::ShowQuote() {
  IQuoteDataCenter* q = GetQuoteDataCenter();
  if (!q || chosen_.Empty()) return;
  DC_Quote quote{};
  if (q->SubscribeQuote(NotifyHandle{}, &chosen_, &quote, 1) != 0) return;
  const auto t = tarn::ConditionQuoteTextsFor(quote.data, PriceDecimals(chosen_));
  if (!t) return;
  SetText(last, t->last, t->lastColor);
  SetText(ask, t->ask, t->askColor);
  SetText(bid, t->bid, t->bidColor);
}

void CDlgConditionOrder::OnOk() {
  // The search list closes first. Its entry under the cursor counts as picked when the box
  // holds exactly that entry's code (typed in full, then OK instead of Enter).
  if (search->isVisible()) {
    const int row = search->currentRow();
    if (row >= 0 && row < static_cast<int>(search->Shown().size()) &&
        search->Shown()[static_cast<std::size_t>(row)].Code() == ToGbk(contract->text()))
      search->PickCurrent();
    search->hide();
  }
  ConditionOrderRequest r{};
  if (const auto message = tarn::CheckConditionInput(Input(), &r)) {
    tarn::MessageBox(*message);
    return;
  }
  if (ITradeApi* api = GetTradeApi()) api->InsertConditionOrder(r);
  Finish(QDialog::Accepted);
}

// ---- CDlgAddWinLose --------------------------------------------------------------------------

CDlgAddWinLose::CDlgAddWinLose(const tarn::StopContext& c, QWidget* parent)
    : tarn::ui::Dialog(parent, ToQString(tarn::StopTitle(c))), context_(c) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(14), Scaled(10), Scaled(14), Scaled(10));
  root->setSpacing(Scaled(8));
  header = new QLabel(ToQString(tarn::StopHeader(c)), Body());
  root->addWidget(header);
  tabs = new QTabBar(Body());
  for (const QString& t : {QStringLiteral("止损单"), QStringLiteral("止盈单"), QStringLiteral("浮动止损"), QStringLiteral("保本单")})
    tabs->addTab(t);
  root->addWidget(tabs);
  auto* form = new QFormLayout;
  priceLabel = new QLabel(ToQString(tarn::StopPriceLabel(0)), Body());
  triggerPrice = NumberEdit(Body());
  form->addRow(priceLabel, WithSpin(Body(), triggerPrice, [this](bool up) { SpinPrice(up); }));
  quantity = NumberEdit(Body());
  form->addRow(QStringLiteral("数量:"), quantity);
  distance = NumberEdit(Body());
  distance->setText(QStringLiteral("1"));
  form->addRow(QStringLiteral("价差(跳):"), WithSpin(Body(), distance, [this](bool up) { SpinDistance(up); }));
  validity = new QComboBox(Body());
  validity->addItems({QStringLiteral("当日有效"), QStringLiteral("长期有效")});
  form->addRow(QStringLiteral("有效期:"), validity);
  auto* sendRow = new QHBoxLayout;
  sendPriceOn = new QCheckBox(Body());
  sendPriceOn->setChecked(true);
  sendPriceBasis = new QComboBox(Body());
  sendPriceBasis->addItems({QStringLiteral("最新价"), QStringLiteral("对盘价"), QStringLiteral("挂单价"), QStringLiteral("市价")});
  sendPriceBasis->setCurrentIndex(3);
  tickOffset = NumberEdit(Body(), 50);
  tickOffset->setText(QStringLiteral("0"));
  sendPrice = NumberEdit(Body(), 80);
  sendRow->addWidget(sendPriceOn);
  sendRow->addWidget(sendPriceBasis);
  sendRow->addWidget(tickOffset);
  sendRow->addWidget(sendPrice);
  form->addRow(QStringLiteral("发单价:"), sendRow);
  root->addLayout(form);
  profit = new QLabel(Body());
  root->addWidget(profit);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  send = tarn::ui::MakeButton(Body(), ToQString(tarn::StopSendText(c)), [this] { OnOk(); });
  send->setDefault(true);
  buttons->addWidget(send);
  buttons->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("取消"), [this] { OnCancel(); }));
  root->addLayout(buttons);
  auto follow = [this](int tab) {
    priceLabel->setText(ToQString(tarn::StopPriceLabel(tab)));
    const bool trailing = tab == tarn::kTrailingStop || tab == tarn::kBreakEven;
    distance->setEnabled(trailing);
    for (QWidget* w : std::initializer_list<QWidget*>{sendPriceOn, sendPriceBasis, tickOffset, sendPrice}) w->setEnabled(!trailing);
  };
  connect(tabs, &QTabBar::currentChanged, this, follow);
  follow(0);
  const tarn::StopInput in = tarn::StopInputFor(c);
  tabs->setCurrentIndex(in.tab);
  triggerPrice->setText(ToQString(in.triggerPrice));
  quantity->setText(ToQString(in.quantity));
  distance->setText(ToQString(in.distance));
  validity->setCurrentIndex(in.validity);
  sendPriceOn->setChecked(in.sendPriceOn);
  sendPriceBasis->setCurrentIndex(in.sendPriceBasis);
  tickOffset->setText(ToQString(in.tickOffset));
  sendPrice->setText(ToQString(in.sendPrice));
  connect(&timer_, &QTimer::timeout, this, &CDlgAddWinLose::Tick);
  timer_.start(500);
  Tick();
  triggerPrice->setFocus();
}

tarn::StopInput CDlgAddWinLose::Input() const {
  tarn::StopInput in;
  in.tab = tabs->currentIndex();
  in.triggerPrice = ToGbk(triggerPrice->text());
  in.quantity = ToGbk(quantity->text());
  in.distance = ToGbk(distance->text());
  in.validity = validity->currentIndex();
  in.sendPriceOn = sendPriceOn->isChecked();
  in.sendPriceBasis = sendPriceBasis->currentIndex();
  in.tickOffset = ToGbk(tickOffset->text());
  in.sendPrice = ToGbk(sendPrice->text());
  return in;
}

void CDlgAddWinLose::SpinPrice(bool up) {
  triggerPrice->setText(ToQString(tarn::SpinStopPrice(ToGbk(triggerPrice->text()), up, context_.tick, context_.decimals)));
}

void CDlgAddWinLose::SpinDistance(bool up) { distance->setText(ToQString(tarn::SpinStopDistance(ToGbk(distance->text()), up))); }

void CDlgAddWinLose::Tick() {
  if (IQuoteDataCenter* q = GetQuoteDataCenter()) {
    DC_Quote quote{};
    if (q->SubscribeQuote(NotifyHandle{}, &context_.position.contract, &quote, 1) == 0 && quote.data.last > 1e-6) {
      context_.latest = quote.data.last;
      const QString text = ToQString(tarn::StopHeader(context_));
      if (header->text() != text) header->setText(text);
    }
  }
  const QString line = ToQString(tarn::StopProfitLine(context_, Input()));
  if (profit->text() != line) profit->setText(line);
}

void CDlgAddWinLose::OnOk() {
  ConditionOrderRequest r{};
  if (const auto message = tarn::CheckStopInput(context_, Input(), &r)) {
    tarn::MessageBox(*message);
    return;
  }
  if (ITradeApi* api = GetTradeApi()) {
    if (context_.modify) api->CancelOrder(&context_.old);
    api->InsertConditionOrder(r);
  }
  Finish(QDialog::Accepted);
}

// ---- CDlgWinStop -----------------------------------------------------------------------------

CDlgWinStop::CDlgWinStop(const tarn::StopContext& c, double floatProfit, const std::string& positionNumber,
                         QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("止盈止损单")), CTradeListener(false), context_(c),
      positionNumber_(positionNumber) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(12), Scaled(10), Scaled(12), Scaled(10));
  header = new QLabel(ToQString(tarn::StopListHeader(c, floatProfit, positionNumber)), Body());
  root->addWidget(header);
  list = tarn::ui::MakeListTable(Body(),
                                 {TXT("序号"), TXT("类型"), TXT("触发条件"), TXT("创建时间"), TXT("有效期"),
                                  TXT("平仓号"), TXT("状态")},
                                 3);
  list->setMinimumSize(Scaled(780), Scaled(200));  // every column whole, the state included
  root->addWidget(list, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("添加"), [this] { Add(); }));
  buttons->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("修改"), [this] { Modify(); }));
  buttons->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("删除"), [this] { Delete(); }));
  buttons->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("关闭"), [this] { OnCancel(); }));
  root->addLayout(buttons);
  runStopDialog = [](CDlgAddWinLose& d) { d.exec(); };
  StartListening();
  Refresh();
}

CDlgWinStop::~CDlgWinStop() { StopListening(); }

void CDlgWinStop::OnOrder(const OrderRecord*, const AccountTexts&) {
  if (!posted_.exchange(true)) tarn::PostWindowMessage(this, kMsgRefresh, 0, 0);
}

bool CDlgWinStop::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgRefresh) {
    posted_ = false;
    Refresh();
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

void CDlgWinStop::Refresh() {
  // The selection belongs to a stop order, not to a row: a stop that fires or arrives while the
  // list is open moves the rows, and 修改 / 删除 must still act on the order the trader chose.
  const int before = tarn::ui::SelectedRow(list);
  const std::string selectedKey =
      before >= 0 && before < static_cast<int>(shown_.size()) ? std::string(shown_[static_cast<std::size_t>(before)].Key())
                                                              : std::string();
  std::vector<OrderRecord> orders;
  if (ITradeApi* api = GetTradeApi()) api->GetOrders(orders);
  shown_ = tarn::StopOrdersOf(orders, context_.position, positionNumber_);
  std::vector<std::vector<std::string>> rows;
  const bool isLong = tarn::StopIsLong(context_);
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    const tarn::StopRow r = tarn::StopRowFor(shown_[i], static_cast<int>(i), isLong, context_.decimals);
    rows.push_back({r.number, r.kind, r.trigger, r.created, r.validity, r.position, r.state});
  }
  tarn::ui::FillListTable(list, rows);
  int after = -1;
  for (std::size_t i = 0; i < shown_.size() && !selectedKey.empty(); ++i)
    if (shown_[i].Key() == selectedKey) after = static_cast<int>(i);
  if (after >= 0)
    list->selectRow(after);
  else
    list->clearSelection();
}

void CDlgWinStop::Delete() {
  const int row = tarn::ui::SelectedRow(list);
  if (row < 0 || row >= static_cast<int>(shown_.size())) {
    tarn::MessageBox(TXT("请选择一行"));
    return;
  }
  if (ITradeApi* api = GetTradeApi()) api->CancelOrder(&shown_[static_cast<std::size_t>(row)]);
}

void CDlgWinStop::Modify() {
  const int row = tarn::ui::SelectedRow(list);
  if (row < 0 || row >= static_cast<int>(shown_.size())) {
    tarn::MessageBox(TXT("请选择一行"));
    return;
  }
  tarn::StopContext c = context_;
  c.modify = true;
  c.old = shown_[static_cast<std::size_t>(row)];
  CDlgAddWinLose d(c, this);
  runStopDialog(d);
}

void CDlgWinStop::Add() {
  // A new stop order for the position this list is of.
  tarn::StopContext c = context_;
  c.modify = false;
  c.old = OrderRecord{};
  CDlgAddWinLose d(c, this);
  runStopDialog(d);
}
