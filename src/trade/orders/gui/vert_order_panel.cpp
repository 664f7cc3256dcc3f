#include "trade/orders/gui/vert_order_panel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "engines/gui/engine_widgets.h"
#include "platform/text.h"
#include "trade/orders/order_routines.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

namespace {
QPushButton* Choice(QWidget* parent, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setCheckable(true);
  b->setMinimumHeight(Scaled(26));
  b->setStyleSheet(QStringLiteral("QPushButton { min-width: 0px; } QPushButton:checked { background: %1; color: white; "
                                  "font-weight: bold; }")
                       .arg(tarn::ui::AccentColor().name()));
  return b;
}

// The send key's colours: buy to open, sell to open, and any close.
QString SendStyle(int direction, int offset) {
  if (offset >= 2) return QStringLiteral("QPushButton { background: #2864b4; color: white; font-weight: bold; }");
  if (direction == tarn::kBuy) return QStringLiteral("QPushButton { background: #c83030; color: white; font-weight: bold; }");
  if (direction == tarn::kSell) return QStringLiteral("QPushButton { background: #189646; color: white; font-weight: bold; }");
  return QStringLiteral("QPushButton { font-weight: bold; }");
}
}  // namespace

CWndVertOrderPanel::CWndVertOrderPanel(QWidget* parent) : tarn::PricedOrderPanel(parent) {
  // Rows are kept few and low so that the whole panel is in sight at the trading area's usual
  // height: direction and offset share a row, so do the two sides' prices and the commands.
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(Scaled(8), Scaled(4), Scaled(8), Scaled(4));
  root->setSpacing(Scaled(3));
  root->addWidget(selector);
  auto* choices = new QHBoxLayout;
  choices->setSpacing(Scaled(3));
  buy = Choice(this, QStringLiteral("买入"));
  sell = Choice(this, QStringLiteral("卖出"));
  connect(buy, &QPushButton::clicked, this, [this] { SetDirection(tarn::kBuy); });
  connect(sell, &QPushButton::clicked, this, [this] { SetDirection(tarn::kSell); });
  choices->addWidget(buy);
  choices->addWidget(sell);
  choices->addSpacing(Scaled(6));
  open = Choice(this, QStringLiteral("开仓"));
  close = Choice(this, QStringLiteral("平仓"));
  closeToday = Choice(this, QStringLiteral("平今"));
  connect(open, &QPushButton::clicked, this, [this] { SetOffset(tarn::kOpen); });
  connect(close, &QPushButton::clicked, this, [this] { SetOffset(tarn::kClose); });
  connect(closeToday, &QPushButton::clicked, this, [this] { SetOffset(tarn::kCloseToday); });
  choices->addWidget(open);
  choices->addWidget(close);
  choices->addWidget(closeToday);
  root->addLayout(choices);
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
    if (priceType->currentIndex() != tarn::kPriceSpecified) priceType->setCurrentIndex(tarn::kPriceSpecified);
  });
  priceRow->addWidget(priceType);
  priceRow->addWidget(price, 1);
  root->addLayout(priceRow);
  last = new QLabel(this);
  ask = new QLabel(this);
  bid = new QLabel(this);
  for (QLabel* l : {last, ask, bid}) l->setFont(tarn::ui::MonoFont(9));
  root->addWidget(last);
  auto* sides = new QHBoxLayout;
  sides->setSpacing(Scaled(8));
  sides->addWidget(ask, 1);
  sides->addWidget(bid, 1);
  root->addLayout(sides);
  send = new QPushButton(this);
  send->setMinimumHeight(Scaled(34));
  connect(send, &QPushButton::clicked, this, [this] { Send(); });
  root->addWidget(send);
  auto* actions = new QHBoxLayout;
  actions->setSpacing(Scaled(3));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("重置"), [this] { Reset(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全平"), [this] { CloseAll(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全撤"), [this] { CancelAll(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("条件单"), [this] { ConditionOrder(); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("OCO单"), [this] { OcoOrder(); }));
  root->addLayout(actions);
  root->addWidget(tarn::MakeEstimateArea(this, &estimate));
  root->addWidget(status);
  root->addStretch(1);
  ShowChoices();
  Refresh();
  Start();
}

CWndVertOrderPanel::~CWndVertOrderPanel() { Stop(); }

void CWndVertOrderPanel::SetDirection(int direction) {
  direction_ = direction;
  ShowChoices();
  FollowPrice();
}

void CWndVertOrderPanel::SetOffset(int offset) {
  offset_ = offset;
  ShowChoices();
}

void CWndVertOrderPanel::ShowChoices() {
  buy->setChecked(direction_ == tarn::kBuy);
  sell->setChecked(direction_ == tarn::kSell);
  open->setChecked(offset_ == tarn::kOpen);
  close->setChecked(offset_ == tarn::kClose);
  closeToday->setChecked(offset_ == tarn::kCloseToday);
  send->setText(ToQString(tarn::SendKeyText(direction_, offset_)));
  send->setStyleSheet(SendStyle(direction_, offset_));
}

void CWndVertOrderPanel::SetPriceType(int type) {
  priceType->setCurrentIndex(type);
  tarn::StorePriceType(type);
  FollowPrice();
}

void CWndVertOrderPanel::FollowPrice() {
  const std::optional<std::string> text = tarn::FollowUpPriceText(priceType->currentIndex(), direction_, Quote(),
                                                                  Decimals(), ToGbk(price->text()));
  if (text) price->setText(ToQString(*text));
}

void CWndVertOrderPanel::Send() {
  SetStatus(std::string());
  SetStatus(tarn::StandardSend(Input(), direction_, offset_, Confirmation()));
}

void CWndVertOrderPanel::Reset() {
  SetStatus(std::string());
  quantity->edit->setText(QString::number(tarn::DefaultQuantityOf(Contract())));
  direction_ = 0;
  offset_ = 0;
  ShowChoices();
}

void CWndVertOrderPanel::ConditionOrder() {
  tarn::OpenConditionOrder(*this, direction_ == tarn::kBuy ? tarn::kBuy : tarn::kSell,
                           offset_ == tarn::kOpen ? tarn::kOpen : tarn::kClose, ToGbk(quantity->edit->text()),
                           ToGbk(price->text()));
}

void CWndVertOrderPanel::Refresh() {
  const tarn::PanelQuote q = Quote();
  const DC_Contract& c = Contract();
  const int decimals = Decimals();
  const bool live = !c.Empty() && q.contract.SameKey(c);
  last->setText(QStringLiteral("最新  ") +
                (live ? ToQString(tarn::FormatC("%.*f", decimals, q.last)) : QStringLiteral("----")));
  tarn::ShowBook(ask, bid, q, c, decimals);
  if (live) FollowPrice();
  tarn::ShowEstimate(estimate, c, q.last, ToGbk(quantity->edit->text()));
}
