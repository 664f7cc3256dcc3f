#include "trade/orders/gui/order_dialogs.h"

#include "trade/orders/order_routines.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "engines/gui/engine_widgets.h"
#include "engines/gui/strategy_windows.h"
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
QLabel* ValueLabel(QWidget* parent, const std::string& gbk) {
  auto* l = new QLabel(ToQString(gbk), parent);
  l->setMinimumWidth(Scaled(140));
  return l;
}

QVBoxLayout* RootLayout(QWidget* body) {
  auto* root = new QVBoxLayout(body);
  root->setContentsMargins(Scaled(16), Scaled(12), Scaled(16), Scaled(12));
  root->setSpacing(Scaled(10));
  return root;
}

QWidget* SpinPair(QWidget* parent, QLineEdit* edit, std::function<void(bool)> spin) {
  auto* w = new QWidget(parent);
  auto* row = new QHBoxLayout(w);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(Scaled(2));
  row->addWidget(edit, 1);
  row->addWidget(tarn::ui::MakeButton(w, QStringLiteral("▲"), [spin] { spin(true); }));
  row->addWidget(tarn::ui::MakeButton(w, QStringLiteral("▼"), [spin] { spin(false); }));
  return w;
}

constexpr int kMsgCubeQuotes = 8201;
}  // namespace

// ---- CDlgConfirmSendOrder --------------------------------------------------------------------

CDlgConfirmSendOrder::CDlgConfirmSendOrder(const OrderRecord& order, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("下单确认")) {
  const tarn::ConfirmTexts t = tarn::ConfirmTextsFor(order);
  auto* root = RootLayout(Body());
  auto* form = new QFormLayout;
  form->setVerticalSpacing(Scaled(6));
  contract = ValueLabel(Body(), t.contract);
  direction = ValueLabel(Body(), t.direction);
  direction->setStyleSheet(QStringLiteral("color: %1").arg(
      tarn::ui::FromColorref(tarn::DirectionColor(order.direction)).name()));
  offset = ValueLabel(Body(), t.offset);
  price = ValueLabel(Body(), t.price);
  quantity = ValueLabel(Body(), t.quantity);
  form->addRow(QStringLiteral("合约:"), contract);
  form->addRow(QStringLiteral("买卖:"), direction);
  form->addRow(QStringLiteral("开平:"), offset);
  form->addRow(QStringLiteral("价格:"), price);
  form->addRow(QStringLiteral("数量:"), quantity);
  root->addLayout(form);
  keepConfirming = new QCheckBox(QStringLiteral("下单前确认"), Body());
  keepConfirming->setChecked(true);
  root->addWidget(keepConfirming);
  root->addWidget(tarn::ui::MakeOkCancel(this));
}

void CDlgConfirmSendOrder::OnOk() {
  tarn::ApplyConfirmChoice(keepConfirming->isChecked());
  Finish(QDialog::Accepted);
}

namespace tarn {
namespace {
std::function<int(CDlgConfirmSendOrder&)>& Runner() {
  static std::function<int(CDlgConfirmSendOrder&)> runner;
  return runner;
}
}  // namespace

void SetConfirmRunner(std::function<int(CDlgConfirmSendOrder&)> runner) { Runner() = std::move(runner); }

bool ConfirmSendOrder(const OrderRecord& order, QWidget* parent) {
  if (order.contract.commodity == 0) return false;
  if (!ConfirmationWanted()) return true;
  CDlgConfirmSendOrder dialog(order, parent);
  const int result = Runner() ? Runner()(dialog) : dialog.exec();
  return result == QDialog::Accepted;
}
}  // namespace tarn

// ---- CDlgModifyOrder -------------------------------------------------------------------------

CDlgModifyOrder::CDlgModifyOrder(double price, int quantity, double tick, int decimals, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("改单")), price_(price), tick_(tick), quantity_(quantity),
      decimals_(decimals) {
  auto* root = RootLayout(Body());
  auto* form = new QFormLayout;
  priceEdit = tarn::ui::MakeNumberEdit(Body(), 120);
  priceEdit->setText(ToQString(tarn::FormatC("%.*f", decimals, price)));
  quantityEdit = tarn::ui::MakeNumberEdit(Body(), 120);
  quantityEdit->setText(ToQString(tarn::FormatC("%d", quantity)));
  form->addRow(QStringLiteral("价格:"), SpinPair(Body(), priceEdit, [this](bool up) { SpinPrice(up); }));
  form->addRow(QStringLiteral("数量:"), quantityEdit);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));
}

void CDlgModifyOrder::SpinPrice(bool up) {
  const double p = tarn::ParseDecimalText(ToGbk(priceEdit->text())) + (up ? tick_ : -tick_);
  if (p > 0) priceEdit->setText(ToQString(tarn::FormatC("%.*f", decimals_, p)));
}

void CDlgModifyOrder::OnOk() {
  if (const auto error = tarn::CheckModifyInput(ToGbk(priceEdit->text()), ToGbk(quantityEdit->text()), &price_,
                                                &quantity_)) {
    tarn::MessageBox(*error);
    return;
  }
  Finish(QDialog::Accepted);
}

// ---- CDlgCoverPosition -----------------------------------------------------------------------

CDlgCoverPosition::CDlgCoverPosition(const PositionRecord& position, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("平仓")), position_(position) {
  const DC_Commodity* c = CommodityOf(position.contract);
  const tarn::CoverPositionInput in =
      tarn::CoverPositionInputFor(position, c ? c->tickSize : 0.0, PriceDecimals(position.contract));
  auto* root = RootLayout(Body());
  auto* form = new QFormLayout;
  contract = ValueLabel(Body(), in.contractName);
  direction = ValueLabel(Body(), in.direction);
  offset = ValueLabel(Body(), in.offset);
  quantity = tarn::ui::MakeNumberEdit(Body(), 120);
  quantity->setText(ToQString(in.quantity));
  market = new QCheckBox(QStringLiteral("市价"), Body());
  market->setChecked(in.market);
  price = tarn::ui::MakeNumberEdit(Body(), 120);
  price->setText(ToQString(in.price));
  price->setEnabled(!in.market);
  connect(market, &QCheckBox::toggled, price, [this](bool on) { price->setEnabled(!on); });
  form->addRow(QStringLiteral("合约:"), contract);
  form->addRow(QStringLiteral("买卖:"), direction);
  form->addRow(QStringLiteral("开平:"), offset);
  form->addRow(QStringLiteral("数量:"), quantity);
  form->addRow(market, price);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));
}

tarn::CoverPositionInput CDlgCoverPosition::Input() const {
  tarn::CoverPositionInput in;
  in.quantity = ToGbk(quantity->text());
  in.market = market->isChecked();
  in.price = ToGbk(price->text());
  return in;
}

void CDlgCoverPosition::OnOk() {
  OrderRecord order{};
  if (const auto error = tarn::CheckCoverPosition(position_, Input(), &order)) {
    tarn::MessageBox(*error);
    return;
  }
  // Exchanges that tell today's lots apart refuse a plain close of them: the close goes out as
  // the older lots, then today's lots with close-today.
  tarn::SendSplitOrder(order);
  Finish(QDialog::Accepted);
}

// ---- CDlgCoverByPosNo ------------------------------------------------------------------------

CDlgCoverByPosNo::CDlgCoverByPosNo(const PositionDetail& detail, double currentPrice, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("按持仓号平仓")), detail_(detail) {
  const DC_Commodity* c = CommodityOf(detail.contract);
  tick_ = c ? c->tickSize : 0.0;
  decimals_ = PriceDecimals(detail.contract);
  ITradeApi* api = GetTradeApi();
  closeToday_ = api && api->NeedsCloseToday(detail.contract);
  shown_ = tarn::CoverByPosNoInputFor(detail, currentPrice, decimals_, closeToday_);
  auto* root = RootLayout(Body());
  auto* form = new QFormLayout;
  positionNumber = ValueLabel(Body(), shown_.positionNumber);
  contract = ValueLabel(Body(), shown_.contract);
  direction = ValueLabel(Body(), shown_.direction);
  openPrice = ValueLabel(Body(), shown_.openPrice);
  price = tarn::ui::MakeNumberEdit(Body(), 120);
  price->setText(ToQString(shown_.price));
  quantity = tarn::ui::MakeNumberEdit(Body(), 120);
  quantity->setText(ToQString(shown_.quantity));
  limit = new QRadioButton(QStringLiteral("限价"), Body());
  market = new QRadioButton(QStringLiteral("市价"), Body());
  (shown_.limit ? limit : market)->setChecked(true);
  auto* choice = new QWidget(Body());
  auto* choiceRow = new QHBoxLayout(choice);
  choiceRow->setContentsMargins(0, 0, 0, 0);
  choiceRow->addWidget(limit);
  choiceRow->addWidget(market);
  choiceRow->addStretch(1);
  form->addRow(QStringLiteral("持仓号:"), positionNumber);
  form->addRow(QStringLiteral("合约:"), contract);
  form->addRow(QStringLiteral("买卖:"), direction);
  form->addRow(QStringLiteral("开平:"), ValueLabel(Body(), shown_.offset));
  form->addRow(QStringLiteral("开仓价:"), openPrice);
  form->addRow(QStringLiteral("价格:"), SpinPair(Body(), price, [this](bool up) { SpinPrice(up); }));
  form->addRow(QStringLiteral("数量:"), SpinPair(Body(), quantity, [this](bool up) { SpinQuantity(up); }));
  form->addRow(QString(), choice);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));
}

tarn::CoverByPosNoInput CDlgCoverByPosNo::Input() const {
  tarn::CoverByPosNoInput in = shown_;
  in.price = ToGbk(price->text());
  in.quantity = ToGbk(quantity->text());
  in.limit = limit->isChecked();
  return in;
}

void CDlgCoverByPosNo::SpinPrice(bool up) {
  price->setText(ToQString(tarn::SpinCoverPrice(ToGbk(price->text()), up, tick_, decimals_)));
}

void CDlgCoverByPosNo::SpinQuantity(bool up) {
  quantity->setText(ToQString(tarn::SpinCoverQuantity(ToGbk(quantity->text()), up, detail_.quantity)));
}

void CDlgCoverByPosNo::OnOk() {
  OrderRecord order{};
  if (const auto error = tarn::CheckCoverByPosNo(detail_, Input(), &order, closeToday_)) {
    tarn::MessageBox(*error);
    return;
  }
  if (ITradeApi* api = GetTradeApi()) api->InsertOrder(order);
  Finish(QDialog::Accepted);
}

// ---- CDlgLineOrderPanel ----------------------------------------------------------------------

namespace {
std::vector<CDlgLineOrderPanel*>& LinePanels() {
  static std::vector<CDlgLineOrderPanel*> panels;
  return panels;
}
}  // namespace

CDlgLineOrderPanel::CDlgLineOrderPanel(QWidget* parent) : tarn::ui::Dialog(parent, QStringLiteral("画线下单")) {
  LinePanels().push_back(this);
  setModal(false);
  auto* root = RootLayout(Body());
  auto* keys = new QHBoxLayout;
  for (int i = 0; i < 4; ++i) {
    modes[i] = tarn::ui::MakeButton(Body(), ToQString(tarn::LineOrderModeText(i)), [this, i] { ClickMode(i); });
    modes[i]->setCheckable(true);
    keys->addWidget(modes[i]);
  }
  root->addLayout(keys);
  auto* row = new QHBoxLayout;
  quantity = tarn::ui::MakeNumberEdit(Body(), 60);
  quantity->setText(QStringLiteral("1"));
  validity = new QComboBox(Body());
  validity->addItems({QStringLiteral("当日"), QStringLiteral("长期")});
  connect(validity, &QComboBox::currentIndexChanged, this, [this](int i) { palette_.validity = i; });
  row->addWidget(new QLabel(QStringLiteral("手数:"), Body()));
  row->addWidget(quantity);
  row->addWidget(validity);
  root->addLayout(row);
}

void CDlgLineOrderPanel::ClickMode(int mode) {
  if (const auto error = palette_.Click(mode, ToGbk(quantity->text()))) {
    ShowArmed();
    tarn::MessageBox(*error);
    return;
  }
  ShowArmed();
  if (onArmed) onArmed(palette_.Armed(), palette_.Quantity());
}

CDlgLineOrderPanel::~CDlgLineOrderPanel() {
  auto& panels = LinePanels();
  panels.erase(std::remove(panels.begin(), panels.end(), this), panels.end());
}

void CDlgLineOrderPanel::Disarm() {
  const bool was = palette_.Armed() >= 0;
  palette_.Disarm();
  ShowArmed();
  if (was && onArmed) onArmed(-1, palette_.Quantity());
}

const std::vector<CDlgLineOrderPanel*>& CDlgLineOrderPanel::OpenPanels() { return LinePanels(); }

void CDlgLineOrderPanel::ClearAllArmed() {
  const std::vector<CDlgLineOrderPanel*> panels = LinePanels();  // a listener may close one
  for (CDlgLineOrderPanel* p : panels) p->Disarm();
}

void CDlgLineOrderPanel::ClearArmedOutside(const QWidget* target) {
  const std::vector<CDlgLineOrderPanel*> panels = LinePanels();
  for (CDlgLineOrderPanel* p : panels)
    if (!target || (target != p && !p->isAncestorOf(target))) p->Disarm();
}

void CDlgLineOrderPanel::ShowArmed() {
  for (int i = 0; i < 4; ++i) modes[i]->setChecked(palette_.Armed() == i);
}

// ---- CWndPriceCube ---------------------------------------------------------------------------

CWndPriceCube::CWndPriceCube(QWidget* parent) : QWidget(parent) {
  setMinimumSize(Scaled(200), Scaled(90));
  setAutoFillBackground(true);
  strategies = [] { return tarn::LoadStrategyFile(); };
  onCombolOrder = [this](const CombolStrategy& s, bool forward, double value) {
    // The process's one combination order entry, or a window of its own when none is open.
    CDlgCombSendOrder* panel = CDlgCombSendOrder::Instance();
    if (!panel) {
      panel = new CDlgCombSendOrder(nullptr);
      panel->setAttribute(Qt::WA_DeleteOnClose);
      panel->setWindowTitle(QStringLiteral("组合下单"));
      panel->resize(Scaled(460), Scaled(420));
      panel->move(mapToGlobal(QPoint(Scaled(24), Scaled(24))));
    }
    panel->Fill(s, forward, value);
    QWidget* top = panel->window();
    top->show();
    top->raise();
    top->activateWindow();
  };
}

CWndPriceCube::~CWndPriceCube() {
  // The calculators go before the window: no value arrives for a half-destroyed listener.
  holds_.ReleaseAll();
  combos_.SetListener(nullptr);
  Detach();
}

void CWndPriceCube::Resubscribe() {
  UnsubscribeAll();
  for (const tarn::PriceCard& c : cube_.Cards())
    if (!c.combol) Subscribe(c.contract);
  holds_.HoldOnly(cube_.Strategies());
  TakeQuotes();
  update();
}

void CWndPriceCube::AddCard(const DC_Contract& contract) {
  if (contract.Empty()) return;
  cube_.Add(contract, PriceDecimals(contract));
  Resubscribe();
}

void CWndPriceCube::ReplaceCard(int index, const DC_Contract& contract) {
  if (contract.Empty()) return;
  cube_.Replace(static_cast<std::size_t>(index), contract, PriceDecimals(contract));
  Resubscribe();
}

void CWndPriceCube::AddStrategyCard(const CombolStrategy& strategy) {
  if (strategy.UsedLegs() == 0) return;
  cube_.AddStrategy(strategy);
  Resubscribe();
}

void CWndPriceCube::ReplaceCardWithStrategy(int index, const CombolStrategy& strategy) {
  if (strategy.UsedLegs() == 0) return;
  cube_.ReplaceWithStrategy(static_cast<std::size_t>(index), strategy);
  Resubscribe();
}

void CWndPriceCube::RemoveCard(int index) {
  cube_.Remove(static_cast<std::size_t>(index));
  Resubscribe();
}

int CWndPriceCube::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  if (!quote) return 0;
  {
    tarn::Lock lock(mutex_);
    pending_.push_back(*quote);
    if (pending_.size() > 4096) pending_.erase(pending_.begin());  // a stalled UI keeps the newest
  }
  if (!posted_.exchange(true)) tarn::PostWindowMessage(this, kMsgCubeQuotes);
  return 0;
}

void CWndPriceCube::OnCombolQuote(double, const CombolStrategy&, double, double, double) {
  // The calculator's lock is held: only post; the values are read on the window's thread.
  if (!posted_.exchange(true)) tarn::PostWindowMessage(this, kMsgCubeQuotes);
}

void CWndPriceCube::TakeQuotes() {
  std::vector<DC_Quote> quotes;
  {
    tarn::Lock lock(mutex_);
    quotes.swap(pending_);
    posted_ = false;
  }
  bool changed = false;
  for (const DC_Quote& q : quotes) changed = cube_.ApplyQuote(q) || changed;
  for (const CombolStrategy& s : cube_.Strategies()) {
    double last = kCombolNoValue, bid = kCombolNoValue, ask = kCombolNoValue;
    combos_.CurrentValues(s, &last, &bid, &ask);
    changed = cube_.ApplyCombolValues(MakeCombolKey(s), last, bid, ask) || changed;
  }
  if (changed) update();
}

bool CWndPriceCube::event(QEvent* e) {
  if (e->type() == static_cast<QEvent::Type>(kMsgCubeQuotes)) {
    TakeQuotes();
    return true;
  }
  return QWidget::event(e);
}

QRect CWndPriceCube::CardRect(int index) const {
  const int w = Scaled(170), h = Scaled(82), gap = Scaled(8);
  const int perRow = std::max(1, (width() - gap) / (w + gap));
  return QRect(gap + (index % perRow) * (w + gap), gap + (index / perRow) * (h + gap), w, h);
}

int CWndPriceCube::CardAt(const QPoint& p, tarn::CardArea* area) const {
  for (int i = 0; i < static_cast<int>(cube_.Cards().size()); ++i) {
    const QRect r = CardRect(i);
    if (!r.contains(p)) continue;
    // The card's lower half: bid on the left, ask on the right.
    tarn::CardArea a = tarn::kCardElsewhere;
    if (p.y() >= r.top() + r.height() / 2) a = p.x() < r.center().x() ? tarn::kCardBid : tarn::kCardAsk;
    if (area) *area = a;
    return i;
  }
  return -1;
}

void CWndPriceCube::DoubleClickAt(const QPoint& p) {
  tarn::CardArea area = tarn::kCardElsewhere;
  const int i = CardAt(p, &area);
  if (i < 0) return;
  const tarn::PriceCard& card = cube_.Cards()[static_cast<std::size_t>(i)];
  if (card.combol) {
    if (const auto order = tarn::CombolOrderFor(card, area); order && onCombolOrder)
      onCombolOrder(card.strategy, order->forward, order->value);
    return;
  }
  const tarn::CardSelection s = tarn::SelectionFor(card, area);
  if (ITradeApi* api = GetTradeApi()) api->SelectContract(card.contract, s.direction, s.price);
}

void CWndPriceCube::mouseDoubleClickEvent(QMouseEvent* e) { DoubleClickAt(e->position().toPoint()); }

void CWndPriceCube::contextMenuEvent(QContextMenuEvent* e) {
  const int i = CardAt(e->pos(), nullptr);
  const tarn::ContractChooser& choose = tarn::GetContractChooser();
  QMenu menu(this);
  if (i >= 0) {
    QAction* modify = menu.addAction(QStringLiteral("修改"));
    modify->setEnabled(static_cast<bool>(choose));
    connect(modify, &QAction::triggered, this, [this, i, &choose] {
      DC_Contract c = cube_.Cards()[static_cast<std::size_t>(i)].contract;
      if (choose(this, &c)) ReplaceCard(i, c);
    });
    AddStrategyMenu(&menu, i);
    connect(menu.addAction(QStringLiteral("删除")), &QAction::triggered, this, [this, i] { RemoveCard(i); });
  } else {
    QAction* add = menu.addAction(QStringLiteral("添加"));
    add->setEnabled(static_cast<bool>(choose));
    connect(add, &QAction::triggered, this, [this, &choose] {
      DC_Contract c{};
      if (choose(this, &c)) AddCard(c);
    });
    AddStrategyMenu(&menu, -1);
  }
  menu.exec(e->globalPos());
}

// "添加组合" (or, on a card, "修改为组合"): one entry per strategy of the user's list.
void CWndPriceCube::AddStrategyMenu(QMenu* menu, int replaceIndex) {
  QMenu* sub = menu->addMenu(replaceIndex < 0 ? QStringLiteral("添加组合") : QStringLiteral("修改为组合"));
  const std::vector<CombolStrategy> list = strategies ? strategies() : std::vector<CombolStrategy>{};
  sub->setEnabled(!list.empty());
  for (const CombolStrategy& s : list) {
    connect(sub->addAction(ToQString(std::string(s.Name()))), &QAction::triggered, this, [this, s, replaceIndex] {
      if (replaceIndex < 0) AddStrategyCard(s);
      else ReplaceCardWithStrategy(replaceIndex, s);
    });
  }
}

void CWndPriceCube::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  p.fillRect(rect(), t.background);
  for (int i = 0; i < static_cast<int>(cube_.Cards().size()); ++i) {
    const tarn::PriceCard& c = cube_.Cards()[static_cast<std::size_t>(i)];
    const QRect r = CardRect(i);
    p.setPen(t.border);
    p.setBrush(tarn::ui::PanelColor());
    p.drawRoundedRect(r.adjusted(0, 0, -1, -1), Scaled(4), Scaled(4));
    const int pad = Scaled(8);
    const QRect top(r.left() + pad, r.top() + pad / 2, r.width() - 2 * pad, r.height() / 2 - pad / 2);
    p.setFont(tarn::ui::UiFont(10, QFont::Bold));
    p.setPen(t.text);
    p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, ToQString(tarn::CardTitle(c)));
    p.setFont(tarn::ui::MonoFont(11, QFont::Bold));
    p.setPen(t.quote);
    p.drawText(top, Qt::AlignRight | Qt::AlignVCenter, ToQString(tarn::CardValueText(c, c.last)));
    const QRect bid(r.left() + pad, r.center().y(), r.width() / 2 - pad, r.height() / 2 - pad / 2);
    const QRect ask(r.center().x(), r.center().y(), r.width() / 2 - pad, r.height() / 2 - pad / 2);
    p.setFont(tarn::ui::UiFont(8));
    p.setPen(t.scale);
    p.drawText(bid, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("买价"));
    p.drawText(ask, Qt::AlignRight | Qt::AlignTop, QStringLiteral("卖价"));
    p.setFont(tarn::ui::MonoFont(10));
    p.setPen(t.falling);
    p.drawText(bid, Qt::AlignLeft | Qt::AlignBottom, ToQString(tarn::CardValueText(c, c.bid)));
    p.setPen(t.rising);
    p.drawText(ask, Qt::AlignRight | Qt::AlignBottom, ToQString(tarn::CardValueText(c, c.ask)));
  }
  if (cube_.Cards().empty()) {
    p.setPen(t.hint);
    p.setFont(tarn::ui::UiFont(9));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("右键添加合约"));
  }
}
