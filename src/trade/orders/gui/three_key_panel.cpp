#include "trade/orders/gui/three_key_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "engines/engine_support.h"
#include "engines/gui/condition_windows.h"
#include "engines/gui/engine_widgets.h"
#include "engines/gui/order_dialogs.h"
#include "engines/oco_order.h"
#include "platform/text.h"
#include "trade/orders/order_routines.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

// ---- COrderKey -------------------------------------------------------------------------------

COrderKey::COrderKey(const QColor& colour, QWidget* parent) : QPushButton(parent), colour_(colour) {
  setMinimumSize(Scaled(70), Scaled(64));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void COrderKey::Show(const QString& price, const QString& title, const QString& subtitle) {
  if (price == price_ && title == title_ && subtitle == subtitle_) return;
  price_ = price;
  title_ = title;
  subtitle_ = subtitle;
  update();
}

void COrderKey::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QColor fill = colour_;
  if (isDown()) fill = fill.darker(130);
  else if (underMouse()) fill = fill.lighter(115);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(rect().adjusted(1, 1, -1, -1), Scaled(5), Scaled(5));
  const int h = height();
  p.setPen(Qt::white);
  p.setFont(tarn::ui::MonoFont(11, QFont::Bold));
  p.drawText(QRect(0, Scaled(4), width(), h / 3), Qt::AlignCenter, price_);
  p.setFont(tarn::ui::UiFont(12, QFont::Bold));
  p.drawText(QRect(0, h / 3, width(), h / 3), Qt::AlignCenter, title_);
  p.setFont(tarn::ui::UiFont(8));
  p.drawText(QRect(0, 2 * h / 3 - Scaled(2), width(), h / 3), Qt::AlignCenter, subtitle_);
}

// ---- CQuantityBox ----------------------------------------------------------------------------

CQuantityBox::CQuantityBox(QWidget* parent) : QWidget(parent) {
  auto* col = new QVBoxLayout(this);
  col->setContentsMargins(0, 0, 0, 0);
  col->setSpacing(Scaled(3));
  auto* row = new QHBoxLayout;
  row->setSpacing(Scaled(2));
  edit = tarn::ui::MakeNumberEdit(this, 60);
  edit->setText(QStringLiteral("1"));
  row->addWidget(new QLabel(QStringLiteral("手数"), this));
  row->addWidget(edit, 1);
  row->addWidget(tarn::PanelButton(this, QStringLiteral("▲"), [this] { Step(1); }, 24));
  row->addWidget(tarn::PanelButton(this, QStringLiteral("▼"), [this] { Step(-1); }, 24));
  col->addLayout(row);
  // The fraction cells in one row: the panels' height is scarce in the trading area, its
  // width is not.
  auto* grid = new QGridLayout;
  grid->setSpacing(Scaled(2));
  const std::vector<tarn::FractionCell>& cells = tarn::FractionCells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    QPushButton* b = tarn::PanelButton(this, ToQString(tarn::FractionText(cells[i])), [this, i] {
      if (onFraction) onFraction(static_cast<int>(i));
    });
    b->setFont(tarn::ui::UiFont(8));
    b->setMinimumHeight(Scaled(20));
    fractions.push_back(b);
    grid->addWidget(b, 0, static_cast<int>(i));
  }
  col->addLayout(grid);
}

void CQuantityBox::Step(int delta) {
  const int64_t q = tarn::ParseInt64Text(ToGbk(edit->text())) + delta;
  edit->setText(QString::number(std::max<int64_t>(q, 1)));
}

namespace tarn {

// ---- shared pieces ---------------------------------------------------------------------------

QWidget* MakeEstimateArea(QWidget* parent, EstimateLabels* l) {
  auto* w = new QWidget(parent);
  auto* grid = new QGridLayout(w);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(Scaled(8));
  grid->setVerticalSpacing(Scaled(2));
  auto label = [w] {
    auto* x = new QLabel(w);
    x->setFont(ui::UiFont(8));
    return x;
  };
  l->margin = label();
  l->fee = label();
  l->openable = label();
  l->floatProfit = label();
  l->equity = label();
  l->available = label();
  grid->addWidget(l->margin, 0, 0);
  grid->addWidget(l->fee, 0, 1);
  grid->addWidget(l->openable, 0, 2);
  grid->addWidget(l->floatProfit, 1, 0);
  grid->addWidget(l->equity, 1, 1);
  grid->addWidget(l->available, 1, 2);
  return w;
}

void ShowEstimate(const EstimateLabels& l, const DC_Contract& contract, double last, const std::string& quantityText) {
  const OrderEstimate e = EstimateOrder(contract, last, ParseInt32Text(quantityText));
  l.margin->setText(ToQString(MarginText(e)));
  l.fee->setText(ToQString(FeeText(e)));
  l.openable->setText(ToQString(OpenableText(e)));
  const AccountLine a = ReadAccountLine();
  l.floatProfit->setText(QStringLiteral("浮盈 ") + ToQString(a.floatProfit));
  l.equity->setText(QStringLiteral("权益 ") + ToQString(a.equity));
  l.available->setText(QStringLiteral("可用 ") + ToQString(a.available));
}

void ShowBook(QLabel* ask, QLabel* bid, const PanelQuote& q, const DC_Contract& contract, int decimals) {
  if (contract.Empty() || !q.contract.SameKey(contract)) {
    ask->setText(QStringLiteral("卖1  ----"));
    bid->setText(QStringLiteral("买1  ----"));
    return;
  }
  ask->setText(QStringLiteral("卖1  ") + ToQString(FormatC("%.*f  %d", decimals, q.ask, q.askVolume)));
  bid->setText(QStringLiteral("买1  ") + ToQString(FormatC("%.*f  %d", decimals, q.bid, q.bidVolume)));
}

void OpenConditionOrder(OrderPanelBase& panel, int side, int offset, const std::string& quantityText,
                        const std::string& priceText) {
  CDlgConditionOrder dialog(panel.Contract(), side, offset, ParseInt32Text(quantityText), ParseDecimalText(priceText),
                            &panel);
  panel.RunDialog(dialog);
}

void OpenOcoOrder(OrderPanelBase& panel, const std::string& quantityText, const std::string& priceText) {
  ::OcoOrder o;
  o.contract = panel.Contract();
  o.quantity = std::max(1, ParseInt32Text(quantityText));
  double p = ParseDecimalText(priceText);
  if (p < 1e-5) p = panel.Quote().last;
  o.price1 = p;
  o.price2 = p;
  CDlgAddOcoOrder dialog(o, &panel);
  panel.RunDialog(dialog);
}

}  // namespace tarn

// ---- PricedOrderPanel ------------------------------------------------------------------------

namespace tarn {

PanelInput PricedOrderPanel::Input() const {
  PanelInput in;
  in.contract = Contract();
  in.quote = Quote();
  in.priceType = priceType->currentIndex();
  in.priceText = ToGbk(price->text());
  in.quantityText = ToGbk(quantity->edit->text());
  return in;
}

void PricedOrderPanel::CloseAll() { CloseAllOf(Contract()); }
void PricedOrderPanel::CancelAll() { CancelWorkingOrders(0); }

void PricedOrderPanel::OcoOrder() { OpenOcoOrder(*this, ToGbk(quantity->edit->text()), ToGbk(price->text())); }

void PricedOrderPanel::Fraction(int index) {
  const std::vector<FractionCell>& cells = FractionCells();
  if (index < 0 || index >= static_cast<int>(cells.size()) || Contract().Empty()) return;
  const FractionCell& cell = cells[static_cast<std::size_t>(index)];
  quantity->edit->setText(
      QString::number(FractionQuantity(cell.numerator, cell.denominator, LargestOpenable(Contract(), Quote().last))));
}

void PricedOrderPanel::OnContractChanged() { quantity->edit->setText(QString::number(DefaultQuantityOf(Contract()))); }

void PricedOrderPanel::OnPickedPrice(double picked) {
  priceType->setCurrentIndex(kPriceSpecified);
  price->setText(ToQString(FormatC("%.*f", Decimals(), picked)));
}

void PricedOrderPanel::SetQuantityText(const std::string& gbk) { quantity->edit->setText(ToQString(gbk)); }

}  // namespace tarn

// ---- CWndThreeKeyOrderPanel ------------------------------------------------------------------

CWndThreeKeyOrderPanel::CWndThreeKeyOrderPanel(QWidget* parent) : tarn::PricedOrderPanel(parent) {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(Scaled(8), Scaled(4), Scaled(8), Scaled(4));
  root->setSpacing(Scaled(3));
  root->addWidget(selector);
  quantity = new CQuantityBox(this);
  quantity->onFraction = [this](int i) { Fraction(i); };
  connect(quantity->edit, &QLineEdit::textChanged, this, [this] { Refresh(); });
  root->addWidget(quantity);
  auto* priceRow = new QHBoxLayout;
  priceType = new QComboBox(this);
  for (int i = 0; i < tarn::kPriceTypeCount; ++i) priceType->addItem(ToQString(tarn::PriceTypeText(i)));
  priceType->setCurrentIndex(tarn::StoredPriceType());
  connect(priceType, &QComboBox::activated, this, [this](int i) { SetPriceType(i); });
  price = tarn::ui::MakeNumberEdit(this, 70);
  connect(price, &QLineEdit::textEdited, this, [this] {
    // Typing a price chooses the specified price.
    if (priceType->currentIndex() != tarn::kPriceSpecified) priceType->setCurrentIndex(tarn::kPriceSpecified);
    Refresh();
  });
  priceRow->addWidget(priceType);
  priceRow->addWidget(price, 1);
  root->addLayout(priceRow);
  ask = new QLabel(this);
  bid = new QLabel(this);
  ask->setFont(tarn::ui::MonoFont(9));
  bid->setFont(tarn::ui::MonoFont(9));
  root->addWidget(ask);
  root->addWidget(bid);
  auto* keys = new QHBoxLayout;
  keys->setSpacing(Scaled(4));
  buyKey = new COrderKey(QColor(200, 48, 48), this);
  sellKey = new COrderKey(QColor(24, 150, 70), this);
  closeKey = new COrderKey(QColor(40, 100, 180), this);
  connect(buyKey, &QPushButton::clicked, this, [this] { BuyOpen(); });
  connect(sellKey, &QPushButton::clicked, this, [this] { SellOpen(); });
  connect(closeKey, &QPushButton::clicked, this, [this] { Close(); });
  keys->addWidget(buyKey);
  keys->addWidget(sellKey);
  keys->addWidget(closeKey);
  root->addLayout(keys);
  auto* actions = new QHBoxLayout;
  actions->setSpacing(Scaled(3));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全平"), [this] { CloseAll(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全撤"), [this] { CancelAll(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("条件单"), [this] { ConditionOrder(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("OCO单"), [this] { OcoOrder(); }));
  root->addLayout(actions);
  root->addWidget(tarn::MakeEstimateArea(this, &estimate));
  root->addWidget(status);
  root->addStretch(1);
  Refresh();
  Start();
}

CWndThreeKeyOrderPanel::~CWndThreeKeyOrderPanel() { Stop(); }

void CWndThreeKeyOrderPanel::SetPriceType(int type) {
  priceType->setCurrentIndex(type);
  tarn::StorePriceType(type);
  Refresh();
}

void CWndThreeKeyOrderPanel::BuyOpen() {
  SetStatus(std::string());
  SetStatus(tarn::ThreeKeyOpen(Input(), 1, Confirmation()));
}

void CWndThreeKeyOrderPanel::SellOpen() {
  SetStatus(std::string());
  SetStatus(tarn::ThreeKeyOpen(Input(), 2, Confirmation()));
}

void CWndThreeKeyOrderPanel::Close() {
  SetStatus(std::string());
  SetStatus(tarn::ThreeKeyClose(Input(), Confirmation(), [](PositionRecord* p) { return tarn::QuerySelectedPosition(p); }));
}

void CWndThreeKeyOrderPanel::ConditionOrder() {
  tarn::OpenConditionOrder(*this, 1, 1, ToGbk(quantity->edit->text()), ToGbk(price->text()));
}

void CWndThreeKeyOrderPanel::Refresh() {
  const tarn::PanelQuote q = Quote();
  const DC_Contract& c = Contract();
  const int decimals = Decimals();
  const bool live = !c.Empty() && q.contract.SameKey(c);
  tarn::ShowBook(ask, bid, q, c, decimals);
  const int type = priceType->currentIndex();
  const double specified = tarn::ParseDecimalText(ToGbk(price->text()));
  auto keyPrice = [&](int direction) {
    if (!live && type != tarn::kPriceSpecified && type != tarn::kPriceMarket) return QStringLiteral("----");
    return ToQString(tarn::KeyPriceText(type, direction, q, specified, decimals));
  };
  std::vector<PositionRecord> positions;
  if (ITradeApi* api = GetTradeApi(); api && !c.Empty()) api->GetPositions(positions);
  const tarn::PositionSums sums = tarn::SumPositions(positions, c);
  PositionRecord selected{};
  const bool haveSelection = tarn::QuerySelectedPosition(&selected) && selected.contract.SameKey(c) && !c.Empty();
  const tarn::CloseKeyLabels labels = tarn::CloseKeyLabelsFor(sums, haveSelection ? &selected : nullptr);
  buyKey->Show(keyPrice(1), QStringLiteral("买多"), ToQString(labels.buySubtitle));
  sellKey->Show(keyPrice(2), QStringLiteral("卖空"), ToQString(labels.sellSubtitle));
  closeKey->Show(labels.priceDirection ? keyPrice(labels.priceDirection) : QString(), ToQString(labels.title),
                 ToQString(labels.subtitle));
  tarn::ShowEstimate(estimate, c, q.last, ToGbk(quantity->edit->text()));
}
