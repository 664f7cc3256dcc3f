#include "engines/gui/strategy_windows.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "engines/gui/engine_widgets.h"
#include "engines/strategy_file.h"
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

QLineEdit* NumberEdit(QWidget* parent, int width = 70) { return tarn::ui::MakeNumberEdit(parent, width); }

QComboBox* Combo(QWidget* parent, const std::vector<std::string>& items) {
  auto* c = new QComboBox(parent);
  for (const std::string& s : items) c->addItem(ToQString(s));
  return c;
}

QTableWidgetItem* Cell(QTableWidget* t, int r, int c) {
  QTableWidgetItem* item = t->item(r, c);
  if (!item) {
    item = new QTableWidgetItem;
    t->setItem(r, c, item);
  }
  return item;
}

void SetCell(QTableWidget* t, int r, int c, const std::string& gbk, bool right = false) {
  QTableWidgetItem* item = Cell(t, r, c);
  const QString text = ToQString(gbk);
  if (item->text() != text) item->setText(text);
  item->setTextAlignment(right ? (Qt::AlignRight | Qt::AlignVCenter) : (Qt::AlignLeft | Qt::AlignVCenter));
}

QWidget* Pane(const QString& caption, QWidget* content, QWidget* parent) {
  auto* w = new QWidget(parent);
  auto* v = new QVBoxLayout(w);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* title = new QLabel(caption, w);
  title->setContentsMargins(Scaled(6), Scaled(2), Scaled(6), Scaled(2));
  title->setStyleSheet(QStringLiteral("background: %1; color: %2;")
                           .arg(tarn::ui::PanelColor().name(), tarn::ui::Theme().text.name()));
  v->addWidget(title);
  if (content) {
    content->setParent(w);
    v->addWidget(content, 1);
  } else {
    v->addStretch(1);
  }
  return w;
}

CDlgCombSendOrder* g_panel = nullptr;

}  // namespace

// ---- CDlgAddCmbOrder -------------------------------------------------------------------------

CDlgAddCmbOrder::CDlgAddCmbOrder(const CombolStrategy& strategy, QWidget* parent)
    : tarn::ui::Dialog(parent, strategy.UsedLegs() > 0 ? QStringLiteral("修改策略") : QStringLiteral("添加策略")),
      strategy_(strategy) {
  contracts_ = tarn::AllListedContracts(GetQuoteDataCenter());
  // A leg's contract that the library no longer lists still shows as it was.
  for (const CombolLeg& l : strategy.legs) {
    if (!l.Used()) continue;
    bool listed = false;
    for (const DC_Contract& c : contracts_) listed = listed || c.SameKey(l.contract);
    if (!listed) contracts_.push_back(l.contract);
  }
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(14), Scaled(10), Scaled(14), Scaled(10));
  root->setSpacing(Scaled(8));
  auto* legGrid = new QGridLayout;
  legGrid->setHorizontalSpacing(Scaled(8));
  const QStringList heads{QString(), QStringLiteral("合约"), QStringLiteral("买卖"), QString(), QStringLiteral("价差"),
                          QStringLiteral("手数")};
  for (int c = 0; c < heads.size(); ++c) legGrid->addWidget(new QLabel(heads[c], Body()), 0, c);
  const tarn::StrategyDefinitionInput in = tarn::DefinitionInputFor(strategy);
  for (int i = 0; i < 4; ++i) {
    legGrid->addWidget(new QLabel(QString(QChar('A' + i)) + QStringLiteral(":"), Body()), i + 1, 0);
    contract[i] = new QComboBox(Body());
    contract[i]->setMinimumWidth(Scaled(200));
    contract[i]->addItem(QStringLiteral("不使用"));
    for (const DC_Contract& c : contracts_) contract[i]->addItem(ToQString(tarn::LegContractText(c)));
    for (std::size_t k = 0; k < contracts_.size(); ++k)
      if (in.legs[i].contract.commodity != 0 && contracts_[k].SameKey(in.legs[i].contract))
        contract[i]->setCurrentIndex(static_cast<int>(k) + 1);
    side[i] = new QComboBox(Body());
    side[i]->addItems({QStringLiteral("买"), QStringLiteral("卖")});
    side[i]->setCurrentIndex(in.legs[i].side);
    chase[i] = new QCheckBox(QStringLiteral("追单"), Body());
    chase[i]->setChecked(in.legs[i].chase);
    spread[i] = NumberEdit(Body());
    spread[i]->setText(ToQString(in.legs[i].spread));
    lots[i] = NumberEdit(Body());
    lots[i]->setText(ToQString(in.legs[i].lots));
    pick[i] = tarn::ui::MakeButton(Body(), QStringLiteral("..."), [this, i] { PickLeg(i); });
    legGrid->addWidget(pick[i], i + 1, 6);
    legGrid->addWidget(contract[i], i + 1, 1);
    legGrid->addWidget(side[i], i + 1, 2);
    legGrid->addWidget(chase[i], i + 1, 3);
    legGrid->addWidget(spread[i], i + 1, 4);
    legGrid->addWidget(lots[i], i + 1, 5);
  }
  root->addLayout(legGrid);
  auto* form = new QFormLayout;
  formula = new QLineEdit(ToQString(in.formula), Body());
  formula->setPlaceholderText(QStringLiteral("如 A-B 或 (A+B)/2-C*3"));
  name = new QLineEdit(ToQString(in.name), Body());
  total = NumberEdit(Body());
  total->setText(ToQString(in.total));
  perTrigger = NumberEdit(Body());
  perTrigger->setText(ToQString(in.perTrigger));
  decimals = new QComboBox(Body());
  for (int d = 0; d <= 5; ++d) decimals->addItem(QString::number(d));
  decimals->setCurrentIndex(in.decimals);
  type = new QComboBox(Body());
  type->addItems({QStringLiteral("类型1"), QStringLiteral("类型2")});
  type->setCurrentIndex(in.type);
  form->addRow(QStringLiteral("公式:"), formula);
  form->addRow(QStringLiteral("名称:"), name);
  auto* quantities = new QHBoxLayout;
  quantities->addWidget(total);
  quantities->addWidget(new QLabel(QStringLiteral("单次触发数量:"), Body()));
  quantities->addWidget(perTrigger);
  form->addRow(QStringLiteral("总数量:"), quantities);
  auto* options = new QHBoxLayout;
  options->addWidget(decimals);
  options->addWidget(new QLabel(QStringLiteral("类型:"), Body()));
  options->addWidget(type);
  options->addStretch(1);
  form->addRow(QStringLiteral("小数位:"), options);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));
  runSelect = [](CDlgSelContract2& d) { return d.exec() == QDialog::Accepted; };
  contract[0]->setFocus();
}

void CDlgAddCmbOrder::ShowLeg(int leg, const DC_Contract& c) {
  if (c.Empty()) {
    contract[leg]->setCurrentIndex(0);
    return;
  }
  for (std::size_t k = 0; k < contracts_.size(); ++k) {
    if (contracts_[k].SameKey(c)) {
      contract[leg]->setCurrentIndex(static_cast<int>(k) + 1);
      return;
    }
  }
  // Not listed (any more): it is offered in every leg's combo from now on.
  contracts_.push_back(c);
  for (QComboBox* box : contract) box->addItem(ToQString(tarn::LegContractText(c)));
  contract[leg]->setCurrentIndex(static_cast<int>(contracts_.size()));
}

void CDlgAddCmbOrder::PickLeg(int leg) {
  CDlgSelContract2 d(contracts_, tarn::LoadStrategyFile(), tarn::SpreadSelection::kFutures, true, true, this);
  if (!runSelect(d)) return;
  const tarn::SpreadSelection::Answer& a = d.Answer();
  if (a.kind == tarn::SpreadSelection::kFutures) {
    ShowLeg(leg, a.contract);
    return;
  }
  // A strategy: its legs, sides, chase, spreads and lots.
  const tarn::StrategyDefinitionInput in = tarn::DefinitionInputFor(a.strategy);
  for (int i = 0; i < 4; ++i) {
    ShowLeg(i, in.legs[i].contract);
    side[i]->setCurrentIndex(in.legs[i].side);
    chase[i]->setChecked(in.legs[i].chase);
    spread[i]->setText(ToQString(in.legs[i].spread));
    lots[i]->setText(ToQString(in.legs[i].lots));
  }
}

// ---- CDlgSelContract2 ------------------------------------------------------------------------

CDlgSelContract2::CDlgSelContract2(std::vector<DC_Contract> contracts, std::vector<CombolStrategy> strategies, int kind,
                                   bool futuresAllowed, bool spreadsAllowed, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("选择合约")), selection_(std::move(contracts), std::move(strategies)) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(12), Scaled(10), Scaled(12), Scaled(10));
  root->setSpacing(Scaled(6));
  kinds = new QTabBar(Body());
  kinds->addTab(ToQString(tarn::SpreadSelection::KindText(tarn::SpreadSelection::kFutures)));
  kinds->addTab(ToQString(tarn::SpreadSelection::KindText(tarn::SpreadSelection::kSpreads)));
  kinds->setTabEnabled(tarn::SpreadSelection::kFutures, futuresAllowed);
  kinds->setTabEnabled(tarn::SpreadSelection::kSpreads, spreadsAllowed);
  root->addWidget(kinds);
  filter = new QLineEdit(Body());
  filter->setPlaceholderText(QStringLiteral("代码或名称"));
  root->addWidget(filter);
  list = tarn::ui::MakeListTable(Body(), {TXT("合约")}, 2);
  list->setMinimumSize(Scaled(360), Scaled(260));
  root->addWidget(list, 1);
  root->addWidget(tarn::ui::MakeOkCancel(this));
  connect(kinds, &QTabBar::currentChanged, this, [this](int k) { ShowKind(k); });
  connect(filter, &QLineEdit::textEdited, this, [this](const QString& t) {
    selection_.Filter(ToGbk(t));
    Fill();
  });
  connect(list, &QTableWidget::cellDoubleClicked, this, [this] { OnOk(); });
  if (kind == tarn::SpreadSelection::kSpreads ? !spreadsAllowed : !futuresAllowed)
    kind = futuresAllowed ? tarn::SpreadSelection::kFutures : tarn::SpreadSelection::kSpreads;
  kinds->setCurrentIndex(kind);
  ShowKind(kind);
}

void CDlgSelContract2::ShowKind(int kind) {
  selection_.SelectKind(kind);
  filter->setVisible(selection_.CurrentKind() == tarn::SpreadSelection::kFutures);
  const std::vector<std::string> columns = selection_.Columns();
  list->setColumnCount(static_cast<int>(columns.size()));
  QStringList heads;
  for (const std::string& c : columns) heads << ToQString(c);
  list->setHorizontalHeaderLabels(heads);
  Fill();
}

void CDlgSelContract2::Fill() {
  list->clearSelection();
  tarn::ui::FillListTable(list, selection_.Rows());
}

void CDlgSelContract2::OnOk() {
  answer_ = selection_.Ok(tarn::ui::SelectedRow(list));
  if (!answer_.accepted) {
    tarn::MessageBox(answer_.message);
    return;
  }
  Finish(QDialog::Accepted);
}

tarn::StrategyDefinitionInput CDlgAddCmbOrder::Input() const {
  tarn::StrategyDefinitionInput in;
  for (int i = 0; i < 4; ++i) {
    const int k = contract[i]->currentIndex();
    if (k >= 1 && k <= static_cast<int>(contracts_.size())) in.legs[i].contract = contracts_[static_cast<std::size_t>(k - 1)];
    in.legs[i].side = side[i]->currentIndex();
    in.legs[i].chase = chase[i]->isChecked();
    in.legs[i].spread = ToGbk(spread[i]->text());
    in.legs[i].lots = ToGbk(lots[i]->text());
  }
  in.formula = ToGbk(formula->text());
  in.name = ToGbk(name->text());
  in.total = ToGbk(total->text());
  in.perTrigger = ToGbk(perTrigger->text());
  in.decimals = decimals->currentIndex();
  in.type = type->currentIndex();
  return in;
}

void CDlgAddCmbOrder::OnOk() {
  CombolStrategy s{};
  if (const auto message = tarn::CheckDefinition(Input(), &s)) {
    tarn::MessageBox(*message);
    return;
  }
  strategy_ = s;
  Finish(QDialog::Accepted);
}

// ---- CDlgSendGridOrder -----------------------------------------------------------------------

CDlgSendGridOrder::CDlgSendGridOrder(const tarn::StrategySendInput& panel, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("网格下单")), panel_(panel) {
  auto* form = new QFormLayout(Body());
  form->setContentsMargins(Scaled(16), Scaled(12), Scaled(16), Scaled(12));
  direction = new QComboBox(Body());
  direction->addItems({QStringLiteral("向上"), QStringLiteral("向下")});
  direction->setCurrentIndex(-1);
  count = NumberEdit(Body(), 120);
  count->setText(QStringLiteral("1"));
  step = NumberEdit(Body(), 120);
  form->addRow(QStringLiteral("方向:"), direction);
  form->addRow(QStringLiteral("数量:"), count);
  form->addRow(QStringLiteral("步长:"), step);
  form->addRow(tarn::ui::MakeOkCancel(this));
  direction->setFocus();
}

void CDlgSendGridOrder::OnOk() {
  const tarn::GridSendInput grid{direction->currentIndex(), ToGbk(count->text()), ToGbk(step->text())};
  if (const auto message = tarn::CheckGridSend(panel_, grid, &requests_)) {
    tarn::MessageBox(*message);
    return;
  }
  Finish(QDialog::Accepted);
}

// ---- CWndCombQuote ---------------------------------------------------------------------------

CWndCombQuote::CWndCombQuote(QWidget* parent) : QWidget(parent) {
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  static const std::vector<std::string> titles{
      TXT("策略名"), TXT("现价"), TXT("卖价(双击正向下单)"), TXT("买价(双击反向下单)"), TXT("成分合约"), TXT("现价"),
      TXT("买价"),   TXT("买量"), TXT("卖价"),               TXT("卖量"),               TXT("公式")};
  grid = tarn::ui::MakeListTable(this, titles, 1);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  const int widths[] = {90, 70, 110, 110, 70, 60, 60, 44, 60, 44};
  for (int c = 0; c < 10; ++c) grid->setColumnWidth(c, Scaled(widths[c]));
  v->addWidget(grid);
  connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
    if (column != 2 && column != 3) return;
    for (std::size_t i = 0; i < list_.size(); ++i) {
      if (firstRow_[i] != row) continue;
      double last = kCombolNoValue, bid = kCombolNoValue, ask = kCombolNoValue;
      if (values_) values_->CurrentValues(list_[i], &last, &bid, &ask);
      if (onOrder) onOrder(list_[i], column == 2, column == 2 ? ask : bid);
    }
  });
  connect(&timer_, &QTimer::timeout, this, &CWndCombQuote::Refresh);
  timer_.start(500);
}

void CWndCombQuote::SetStrategies(const std::vector<CombolStrategy>& list, const CCombolQuoteClient* values) {
  list_ = list;
  values_ = values;
  Refresh();
}

void CWndCombQuote::Refresh() {
  firstRow_.clear();
  int rows = 0;
  for (const CombolStrategy& s : list_) rows += std::max(1, s.UsedLegs());
  grid->setRowCount(rows);
  IQuoteDataCenter* q = GetQuoteDataCenter();
  int r = 0;
  for (const CombolStrategy& s : list_) {
    firstRow_.push_back(r);
    double last = kCombolNoValue, bid = kCombolNoValue, ask = kCombolNoValue;
    if (values_) values_->CurrentValues(s, &last, &bid, &ask);
    const int legCount = std::max(1, s.UsedLegs());
    for (int k = 0; k < legCount; ++k) {
      const bool head = k == 0;
      SetCell(grid, r + k, 0, head ? std::string(s.Name()) : std::string());
      SetCell(grid, r + k, 1, head ? tarn::CombolValueText(last, s.decimals) : std::string(), true);
      SetCell(grid, r + k, 2, head ? tarn::CombolValueText(ask, s.decimals) : std::string(), true);
      SetCell(grid, r + k, 3, head ? tarn::CombolValueText(bid, s.decimals) : std::string(), true);
      SetCell(grid, r + k, 10, head ? std::string(s.Formula()) : std::string());
      const CombolLeg& l = s.legs[k];
      if (!l.Used()) continue;
      DC_Quote quote{};
      const bool have = q && q->SubscribeQuote(NotifyHandle{}, &l.contract, &quote, 1) == 0;
      const int d = PriceDecimals(l.contract);
      SetCell(grid, r + k, 4, std::string(l.contract.Code()));
      SetCell(grid, r + k, 5, have ? tarn::Format("%.*f", d, quote.data.last) : std::string(), true);
      SetCell(grid, r + k, 6, have ? tarn::Format("%.*f", d, quote.data.bidPrice[0]) : std::string(), true);
      SetCell(grid, r + k, 7, have ? tarn::Format("%d", quote.data.bidVolume[0]) : std::string(), true);
      SetCell(grid, r + k, 8, have ? tarn::Format("%.*f", d, quote.data.askPrice[0]) : std::string(), true);
      SetCell(grid, r + k, 9, have ? tarn::Format("%d", quote.data.askVolume[0]) : std::string(), true);
    }
    r += legCount;
  }
}

// ---- CDlgCombSendOrder -----------------------------------------------------------------------

CDlgCombSendOrder::CDlgCombSendOrder(QWidget* parent) : QWidget(parent) {
  g_panel = this;
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(Scaled(8), Scaled(6), Scaled(8), Scaled(6));
  root->setSpacing(Scaled(6));
  tabs = new QTabBar(this);
  tabs->addTab(QStringLiteral("正向下单"));
  tabs->addTab(QStringLiteral("反向下单"));
  connect(tabs, &QTabBar::currentChanged, this, [this] { ShowLegs(); });
  root->addWidget(tabs);
  auto* head = new QHBoxLayout;
  name = new QLabel(this);
  type = new QComboBox(this);
  type->addItems({QStringLiteral("类型1"), QStringLiteral("类型2")});
  head->addWidget(name, 1);
  chooseStrategy = tarn::ui::MakeButton(this, QStringLiteral("选择策略"), [this] { ChooseStrategy(); });
  head->addWidget(chooseStrategy);
  head->addWidget(type);
  root->addLayout(head);
  legs = tarn::ui::MakeListTable(
      this, {TXT("合约"), TXT("追单"), TXT("价差"), TXT("手数"), TXT("开平")}, 2);
  legs->setMinimumHeight(Scaled(110));
  connect(legs, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (column != 4) return;
    int n = 0;
    for (CombolLeg& l : strategy_.legs) {
      if (!l.Used()) continue;
      if (n++ == row) l.offset = tarn::NextLegOffset(l.offset);
    }
    ShowLegs();
  });
  root->addWidget(legs, 1);
  auto* grid = new QGridLayout;
  triggerPrice = NumberEdit(this, 90);
  condition = Combo(this, tarn::StrategyConditionTexts());
  loop = new QCheckBox(QStringLiteral("循环单"), this);
  loopPrice = NumberEdit(this, 90);
  loopCondition = Combo(this, tarn::StrategyConditionTexts());
  loopCondition->setCurrentIndex(1);
  total = NumberEdit(this, 60);
  perTrigger = NumberEdit(this, 60);
  grid->addWidget(new QLabel(QStringLiteral("触发价:"), this), 0, 0);
  grid->addWidget(condition, 0, 1);
  grid->addWidget(triggerPrice, 0, 2);
  grid->addWidget(loop, 1, 0);
  grid->addWidget(loopCondition, 1, 1);
  grid->addWidget(loopPrice, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("总数量:"), this), 2, 0);
  grid->addWidget(total, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("单次:"), this), 2, 2);
  grid->addWidget(perTrigger, 2, 3);
  root->addLayout(grid);
  formula = new QLabel(this);
  root->addWidget(formula);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(tarn::ui::MakeButton(this, QStringLiteral("下单"), [this] { Send(); }));
  buttons->addWidget(tarn::ui::MakeButton(this, QStringLiteral("网格下单"), [this] { SendGrid(); }));
  root->addLayout(buttons);
  runSelect = [](CDlgSelContract2& d) { return d.exec() == QDialog::Accepted; };
  runGrid = [](CDlgSendGridOrder& d) {
    return d.exec() == QDialog::Accepted ? d.Requests() : std::vector<StrategyOrderRequest>{};
  };
}

CDlgCombSendOrder::~CDlgCombSendOrder() {
  if (g_panel == this) g_panel = nullptr;
}

CDlgCombSendOrder* CDlgCombSendOrder::Instance() { return g_panel; }

void CDlgCombSendOrder::Fill(const CombolStrategy& strategy, bool forward, double value) {
  const tarn::StrategySendInput in = tarn::SendInputFromQuote(strategy, forward, value);
  strategy_ = in.strategy;
  tabs->setCurrentIndex(in.tab);
  name->setText(ToQString(strategy.Name()));
  type->setCurrentIndex(in.type);
  if (!in.triggerPrice.empty()) {
    triggerPrice->setText(ToQString(in.triggerPrice));
    loopPrice->setText(ToQString(in.loopPrice));
  }
  total->setText(ToQString(in.total));
  perTrigger->setText(ToQString(in.perTrigger));
  formula->setText(ToQString(tarn::Format(TXT("公式:%s"), std::string(strategy.Formula()))));
  ShowLegs();
}

void CDlgCombSendOrder::ChooseStrategy() {
  CDlgSelContract2 d({}, tarn::LoadStrategyFile(), tarn::SpreadSelection::kSpreads, false, true, window());
  if (!runSelect(d) || d.Answer().kind != tarn::SpreadSelection::kSpreads) return;
  Fill(d.Answer().strategy, tabs->currentIndex() == 0, kCombolNoValue);
}

void CDlgCombSendOrder::ShowLegs() {
  std::vector<std::vector<std::string>> rows;
  for (const tarn::SendLegRow& r : tarn::SendLegRows(Input())) rows.push_back({r.contract, r.chase, r.spread, r.lots, r.offset});
  tarn::ui::FillListTable(legs, rows);
}

tarn::StrategySendInput CDlgCombSendOrder::Input() const {
  tarn::StrategySendInput in;
  in.strategy = strategy_;
  in.tab = tabs->currentIndex();
  in.type = type->currentIndex();
  in.triggerPrice = ToGbk(triggerPrice->text());
  in.condition = condition->currentIndex();
  in.loop = loop->isChecked();
  in.loopPrice = ToGbk(loopPrice->text());
  in.loopCondition = loopCondition->currentIndex();
  in.total = ToGbk(total->text());
  in.perTrigger = ToGbk(perTrigger->text());
  return in;
}

void CDlgCombSendOrder::Send() {
  StrategyOrderRequest r{};
  if (const auto message = tarn::CheckStrategySend(Input(), &r)) {
    tarn::MessageBox(*message);
    return;
  }
  if (ITradeApi* api = GetTradeApi()) api->InsertLoopOrder(&r);
}

void CDlgCombSendOrder::SendGrid() {
  CDlgSendGridOrder d(Input(), window());
  const std::vector<StrategyOrderRequest> requests = runGrid(d);
  ITradeApi* api = GetTradeApi();
  if (!api) return;
  for (const StrategyOrderRequest& r : requests) api->InsertLoopOrder(&r);
}

// ---- CDlgCeLue -------------------------------------------------------------------------------

CDlgCeLue::CDlgCeLue(QWidget* parent, bool fileEnabled) : QWidget(parent), list_(fileEnabled), values_(this) {
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(Scaled(4));
  grid = tarn::ui::MakeListTable(this, {TXT("策略"), TXT("公式"), TXT("合约")}, 3);
  v->addWidget(grid, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(tarn::ui::MakeButton(this, QStringLiteral("添加"), [this] { Add(); }));
  buttons->addWidget(tarn::ui::MakeButton(this, QStringLiteral("修改"), [this] { Modify(); }));
  buttons->addWidget(tarn::ui::MakeButton(this, QStringLiteral("删除"), [this] { Delete(); }));
  buttons->addStretch(1);
  v->addLayout(buttons);
  runDefinition = [](CDlgAddCmbOrder& d) { return d.exec() == QDialog::Accepted; };
  list_.Load();
  for (const CombolStrategy& s : list_.All()) values_.Toggle(s);
  Refresh();
}

CDlgCeLue::~CDlgCeLue() {
  // The calculators go before the window: no value arrives for a half-destroyed listener.
  for (const CombolStrategy& s : list_.All()) values_.Remove(s);
  values_.SetListener(nullptr);
}

void CDlgCeLue::Refresh() {
  std::vector<std::vector<std::string>> rows;
  for (const CombolStrategy& s : list_.All()) {
    const tarn::StrategyListRow r = tarn::StrategyListRowFor(s);
    rows.push_back({r.name, r.formula, r.legs});
  }
  tarn::ui::FillListTable(grid, rows);
  if (onChanged) onChanged(list_.All());
}

bool CDlgCeLue::AddStrategy(const CombolStrategy& s) {
  if (const auto message = list_.Add(s)) {
    tarn::MessageBox(*message);
    return false;
  }
  if (!values_.Has(s)) values_.Toggle(s);
  Refresh();
  return true;
}

void CDlgCeLue::Add() {
  CDlgAddCmbOrder d(CombolStrategy{}, window());
  if (!runDefinition(d)) return;
  AddStrategy(d.Strategy());
}

void CDlgCeLue::Modify() {
  const int row = tarn::ui::SelectedRow(grid);
  if (row < 0 || row >= static_cast<int>(list_.All().size())) {
    tarn::MessageBox(TXT("请选择一个策略"));
    return;
  }
  const CombolStrategy old = list_.All()[static_cast<std::size_t>(row)];
  CDlgAddCmbOrder d(old, window());
  if (!runDefinition(d)) return;
  if (const auto message = list_.Replace(static_cast<std::size_t>(row), d.Strategy())) {
    tarn::MessageBox(*message);
    return;
  }
  values_.Remove(old);
  if (!values_.Has(d.Strategy())) values_.Toggle(d.Strategy());
  Refresh();
}

void CDlgCeLue::Delete() {
  const int row = tarn::ui::SelectedRow(grid);
  if (row < 0 || row >= static_cast<int>(list_.All().size())) {
    tarn::MessageBox(TXT("请选择一个策略"));
    return;
  }
  if (tarn::MessageBox(TXT("您确实要删除该策略吗?"), TXT("提示"), tarn::MsgButtons::OkCancel) != tarn::MsgAnswer::Ok)
    return;
  values_.Remove(list_.All()[static_cast<std::size_t>(row)]);
  list_.Remove(static_cast<std::size_t>(row));
  Refresh();
}

// ---- CWndCombolGrid --------------------------------------------------------------------------

CWndCombolGrid::CWndCombolGrid(Kind kind, QWidget* parent) : QWidget(parent), CTradeListener(false), kind_(kind) {
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  const std::vector<std::string>& columns = kind == kStrategies  ? tarn::StrategyOrderColumns()
                                            : kind == kOrders    ? tarn::ArbitrageOrderColumns()
                                            : kind == kPositions ? tarn::ArbitragePositionColumns()
                                                                 : tarn::ArbitrageFillColumns();
  grid = tarn::ui::MakeListTable(this, columns, kind == kStrategies ? 3 : 2);
  v->addWidget(grid);
  connect(grid, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (kind_ == kStrategies && column == grid->columnCount() - 1) Act(row);
  });
  StartListening();
  Refresh();
}

CWndCombolGrid::~CWndCombolGrid() { StopListening(); }

void CWndCombolGrid::Dirty() {
  if (!posted_.exchange(true)) tarn::PostWindowMessage(this, kMsgRefresh, 0, 0);
}

void CWndCombolGrid::OnOrder(const OrderRecord*, const AccountTexts&) {
  if (kind_ == kOrders) Dirty();
}
void CWndCombolGrid::OnFill(const FillRecord*, const AccountTexts&) {
  if (kind_ == kFills) Dirty();
}
void CWndCombolGrid::OnPositions(const AccountTexts&, bool complete) {
  if (kind_ == kPositions && complete) Dirty();
}
void CWndCombolGrid::OnStrategyChanged(int, const AccountTexts&) {
  if (kind_ == kStrategies) Dirty();
}
void CWndCombolGrid::OnTradeRefresh() { Dirty(); }

bool CWndCombolGrid::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgRefresh) {
    posted_ = false;
    Refresh();
    return true;
  }
  return QWidget::event(e);
}

void CWndCombolGrid::Refresh() {
  ITradeApi* api = GetTradeApi();
  std::vector<std::vector<std::string>> rows;
  actionSequence_.clear();
  if (api && kind_ == kStrategies) {
    std::vector<StrategyOrderRecord> records;
    api->GetStrategyOrders(records);
    for (const tarn::StrategyOrderRows& o : tarn::StrategyOrderRowsFor(records)) {
      rows.push_back({o.state, o.name, std::string(), o.progress, o.condition, o.time, o.error,
                      o.running ? TXT("停止") : std::string()});
      actionSequence_.push_back(o.running ? o.sequence : 0);
      for (const std::string& leg : o.legs) {
        rows.push_back({std::string(), std::string(), leg});
        actionSequence_.push_back(0);
      }
    }
  } else if (api && kind_ == kOrders) {
    std::vector<OrderRecord> list;
    api->GetOrders(list);
    int n = 0;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
      if (it->hidden == 0) rows.push_back(tarn::ArbitrageOrderRow(*it, n++, PriceDecimals(it->contract)));
  } else if (api && kind_ == kPositions) {
    std::vector<PositionRecord> list;
    api->GetPositions(list);
    int n = 0;
    for (const PositionRecord& p : list)
      if (p.Shown()) rows.push_back(tarn::ArbitragePositionRow(p, n++, PriceDecimals(p.contract)));
  } else if (api) {
    std::vector<FillRecord> list;
    api->GetFills(list);
    int n = 0;
    for (const FillRecord& f : list) rows.push_back(tarn::ArbitrageFillRow(f, n++, PriceDecimals(f.contract)));
  }
  tarn::ui::FillListTable(grid, rows);
}

void CWndCombolGrid::Act(int row) {
  if (row < 0 || row >= static_cast<int>(actionSequence_.size()) || actionSequence_[static_cast<std::size_t>(row)] == 0)
    return;
  if (ITradeApi* api = GetTradeApi()) api->StrategyGridAction(actionSequence_[static_cast<std::size_t>(row)], 1);
}

// ---- CWndTaoLiView ---------------------------------------------------------------------------

CWndTaoLiView::CWndTaoLiView(QWidget* parent, bool fileEnabled) : QWidget(parent) {
  auto* root = new QHBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  auto* columns = new QSplitter(Qt::Horizontal, this);
  root->addWidget(columns);
  auto* left = new QSplitter(Qt::Vertical, columns);
  auto* right = new QSplitter(Qt::Vertical, columns);
  strategies = new CDlgCeLue(nullptr, fileEnabled);
  quotes = new CWndCombQuote(nullptr);
  strategyOrders = new CWndCombolGrid(CWndCombolGrid::kStrategies, nullptr);
  panel = new CDlgCombSendOrder(nullptr);
  left->addWidget(Pane(QStringLiteral("策略"), strategies, left));
  left->addWidget(Pane(QStringLiteral("行情"), quotes, left));
  // The price cards belong to the price cube, which joins this pane when it exists.
  left->addWidget(Pane(QStringLiteral("行情卡片"), nullptr, left));
  left->addWidget(Pane(QStringLiteral("策略单"), strategyOrders, left));
  auto* lower = new QSplitter(Qt::Horizontal, right);
  right->addWidget(Pane(QStringLiteral("委托"), new CWndCombolGrid(CWndCombolGrid::kOrders, nullptr), right));
  right->addWidget(Pane(QStringLiteral("持仓"), new CWndCombolGrid(CWndCombolGrid::kPositions, nullptr), right));
  lower->addWidget(Pane(QStringLiteral("下单"), panel, lower));
  lower->addWidget(Pane(QStringLiteral("成交"), new CWndCombolGrid(CWndCombolGrid::kFills, nullptr), lower));
  right->addWidget(lower);
  columns->setStretchFactor(0, 3);
  columns->setStretchFactor(1, 2);
  quotes->onOrder = [this](const CombolStrategy& s, bool forward, double value) { panel->Fill(s, forward, value); };
  strategies->onChanged = [this](const std::vector<CombolStrategy>& list) {
    quotes->SetStrategies(list, &strategies->Values());
  };
  quotes->SetStrategies(strategies->List().All(), &strategies->Values());
}
