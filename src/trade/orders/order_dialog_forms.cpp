#include "trade/orders/order_dialog_forms.h"

#include <algorithm>
#include <cmath>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "engines/condition_forms.h"
#include "engines/engine_support.h"
#include "engines/strategy_forms.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tools/setting_cfg.h"
#include "trade/orders/order_panel_logic.h"
#include "trade/orders/order_routines.h"

namespace tarn {

namespace {
constexpr const char* kUserSettings = "\\user\\setting.ini";

// trunc(x), with a millionth of a step of slack so that 17557 ticks held as 17556.9999 stay 17557.
double WholeSteps(double x) { return std::trunc(x + (x >= 0 ? 1e-7 : -1e-7)); }
}  // namespace

// ---- send confirmation -----------------------------------------------------------------------

bool ConfirmationWanted() { return UserSetting::TradeConfirm(); }

ConfirmTexts ConfirmTextsFor(const OrderRecord& order) {
  ConfirmTexts t;
  t.contract = std::string(order.contract.Name());
  if (t.contract.empty()) t.contract = std::string(order.contract.Code());
  t.direction = DirectionText(order.direction);
  t.offset = OffsetText(order.offset);
  if (order.offset == 0) t.offset.clear();
  t.price = order.priceType == kMarketPrice ? TXT("市价") : FormatC("%.*f", PriceDecimals(order.contract), order.price);
  t.quantity = FormatC("%d", order.quantity);
  return t;
}

void ApplyConfirmChoice(bool keepConfirming) { UserSetting::SetTradeConfirm(keepConfirming); }

// ---- modify ----------------------------------------------------------------------------------

std::optional<std::string> CheckModifyInput(const std::string& priceText, const std::string& quantityText,
                                            double* price, int* quantity) {
  const double p = ParseDecimalText(priceText);
  if (p < 1e-5 || p > 9999999) return TXT("价格无效");
  const int64_t q = ParseInt64Text(quantityText);
  if (q < 1 || q > 999999) return TXT("数量无效");
  if (price) *price = p;
  if (quantity) *quantity = static_cast<int>(q);
  return std::nullopt;
}

// ---- close a position row --------------------------------------------------------------------

CoverPositionInput CoverPositionInputFor(const PositionRecord& position, double tick, int decimals) {
  CoverPositionInput in;
  in.contractName = std::string(position.contract.Name());
  const bool isLong = position.IsLong();
  in.direction = DirectionText(isLong ? kSell : kBuy);
  in.offset = OffsetText(kClose);
  in.quantity = FormatC("%lld", static_cast<long long>(position.longQuantity) + position.shortQuantity);
  in.market = true;
  if (position.currentPrice > 1e-6 && std::isfinite(position.currentPrice)) {
    double p = position.currentPrice + (isLong ? -5 : 5) * tick;
    if (tick > 0) p = WholeSteps(p / tick) * tick;
    in.price = FormatC("%.*f", decimals, p);
  }
  return in;
}

std::optional<std::string> CheckCoverPosition(const PositionRecord& position, const CoverPositionInput& in,
                                              OrderRecord* out) {
  const int32_t quantity = ParseInt32Text(in.quantity);
  if (quantity < 1) return TXT("平仓数量错误");
  double price = 0;
  if (!in.market) {
    price = ParseDecimalText(in.price);
    if (price < 1e-6) return TXT("价格错误");
  }
  if (out) *out = MakePanelOrder(position.contract, position.IsLong() ? kSell : kBuy, kClose, quantity,
                               in.market ? kMarketPrice : kLimitPrice, price);
  return std::nullopt;
}

// ---- close one lot by its position number ------------------------------------------------------

bool CoverByPosNoLimitChoice() { return Profile::GetInt(kUserSettings, "ZDPC", "PRICE_TYPE", 0) == 1; }

int32_t CoverByPosNoOffset(const PositionDetail& detail, bool needsCloseToday) {
  return needsCloseToday && detail.todayQuantity > 0 ? kCloseToday : kClose;
}

CoverByPosNoInput CoverByPosNoInputFor(const PositionDetail& detail, double currentPrice, int decimals,
                                       bool needsCloseToday) {
  CoverByPosNoInput in;
  in.positionNumber = std::string(Field(detail.positionNumber));
  in.contract = std::string(detail.contract.Name());
  in.direction = DirectionText(detail.direction == kBuy ? kSell : kBuy);
  in.offset = OffsetText(CoverByPosNoOffset(detail, needsCloseToday));
  in.openPrice = TrimmedNumber(detail.openPrice, 6);
  in.price = FormatC("%.*f", decimals, std::isfinite(currentPrice) ? currentPrice : 0.0);
  in.quantity = FormatC("%d", detail.quantity);
  in.limit = CoverByPosNoLimitChoice();
  return in;
}

std::string SpinCoverPrice(const std::string& text, bool up, double tick, int decimals) {
  const double value = ParseDecimalText(text);
  if (value == 0 || !(tick > 0)) return text;
  const double p = value / tick + 0.1 * tick;
  const double steps = std::trunc(p) + (up ? 1 : -1);
  return FormatC("%.*f", decimals, steps * tick);
}

std::string SpinCoverQuantity(const std::string& text, bool up, int lotQuantity) {
  int64_t q = ParseInt64Text(text);
  if (up) {
    if (q < lotQuantity) ++q;
  } else if (q > 0) {
    --q;
  }
  return FormatC("%lld", static_cast<long long>(q));
}

std::optional<std::string> CheckCoverByPosNo(const PositionDetail& detail, const CoverByPosNoInput& in,
                                             OrderRecord* out, bool needsCloseToday) {
  const int32_t quantity = ParseInt32Text(in.quantity);
  if (quantity < 1) return TXT("平仓数量错误");
  Profile::WriteString(kUserSettings, "ZDPC", "PRICE_TYPE", std::string_view(in.limit ? "1" : "0"));
  double price = 0;
  if (in.limit) {
    price = ParseDecimalText(in.price);
    if (price < 1e-6) return TXT("价格错误");
  }
  if (out) {
    *out = MakePanelOrder(detail.contract, detail.direction == kBuy ? kSell : kBuy,
                          CoverByPosNoOffset(detail, needsCloseToday), quantity,
                          in.limit ? kLimitPrice : kMarketPrice, price);
    SetField(out->positionNumber, Field(detail.positionNumber));
  }
  return std::nullopt;
}

// ---- line-order palette ----------------------------------------------------------------------

const std::string& LineOrderModeText(int mode) {
  switch (mode) {
    case 0: return TXT("买开");
    case 1: return TXT("卖平");
    case 2: return TXT("卖开");
    case 3: return TXT("买平");
    default: {
      static const std::string none;
      return none;
    }
  }
}

int LineOrderDirection(int mode) { return (mode == 0 || mode == 3) ? kBuy : kSell; }
int LineOrderOffset(int mode) { return (mode == 0 || mode == 2) ? kOpen : kClose; }

std::optional<std::string> LineOrderPalette::Click(int mode, const std::string& quantityText) {
  const int64_t q = ParseInt64Text(quantityText);
  if (q < 1 || q > 999) return TXT("手数设置错误");
  if (mode < 0 || mode > 3) return std::nullopt;
  quantity_ = static_cast<int>(q);
  armed_ = armed_ == mode ? -1 : mode;
  return std::nullopt;
}

std::optional<ConditionOrderRequest> LineOrderRequest(const LineOrderPalette& palette, const DC_Contract& contract,
                                                      double price, double last, double tick, int decimals) {
  const int mode = palette.Armed();
  if (mode < 0 || contract.Empty() || !std::isfinite(price)) return std::nullopt;
  // A chart of a continuous or index series orders its commodity's main month.
  const DC_Contract traded = TradableContract(contract);
  if (traded.Empty()) return std::nullopt;
  if (tick > 0) price = std::round(price / tick) * tick;
  if (!(price > 1e-5)) return std::nullopt;
  ConditionInput in =
      ConditionInputFor(traded, LineOrderDirection(mode), LineOrderOffset(mode), palette.Quantity(), price, decimals);
  in.basis = 0;                              // the last price reaches the line
  in.condition = price >= last ? 0 : 1;      // ">=" from below, "<=" from above
  in.validity = palette.validity == 1 ? 0 : 1;  // the dialog's 0 is "长期有效", 1 "当日有效"
  ConditionOrderRequest r{};
  if (CheckConditionInput(in, &r)) return std::nullopt;
  return r;
}

// ---- price cube --------------------------------------------------------------------------------

std::string CardPriceText(double price, int decimals) {
  if (!(price > 1e-5) || !std::isfinite(price)) return "--";
  return FormatC("%.*f", decimals, price);
}

std::string CardValueText(const PriceCard& card, double value) {
  return card.combol ? CombolValueText(value, card.strategy.decimals) : CardPriceText(value, card.decimals);
}

std::string CardTitle(const PriceCard& card) {
  return card.combol ? std::string(card.strategy.Name()) : std::string(card.contract.Name());
}

std::optional<CombolCardOrder> CombolOrderFor(const PriceCard& card, CardArea area) {
  if (!card.combol) return std::nullopt;
  if (area == kCardAsk) return CombolCardOrder{true, card.ask};
  if (area == kCardBid) return CombolCardOrder{false, card.bid};
  return std::nullopt;
}

CubeCardRef CardRef(const PriceCard& card) {
  if (card.combol) return {true, MakeCombolKey(card.strategy)};
  return {false, std::string(card.contract.Key())};
}

std::optional<CombolStrategy> FindStrategy(const std::vector<CombolStrategy>& strategies, const CombolKey& key) {
  for (const CombolStrategy& s : strategies)
    if (MakeCombolKey(s) == key) return s;
  return std::nullopt;
}

namespace {
PriceCard CombolCard(const CombolStrategy& strategy) {
  PriceCard c;
  c.combol = true;
  c.strategy = strategy;
  c.decimals = strategy.decimals;
  c.last = c.bid = c.ask = kCombolNoValue;
  return c;
}
}  // namespace

CardSelection SelectionFor(const PriceCard& card, CardArea area) {
  if (card.combol) return {0, 0};  // a combination is not a contract to select
  if (area == kCardBid) return {2, card.bid};
  if (area == kCardAsk) return {1, card.ask};
  return {0, 0};
}

void PriceCube::Add(const DC_Contract& contract, int decimals) {
  PriceCard c;
  c.contract = contract;
  c.decimals = decimals;
  cards_.push_back(c);
}

void PriceCube::AddStrategy(const CombolStrategy& strategy) { cards_.push_back(CombolCard(strategy)); }

void PriceCube::ReplaceWithStrategy(std::size_t index, const CombolStrategy& strategy) {
  if (index < cards_.size()) cards_[index] = CombolCard(strategy);
}

void PriceCube::Replace(std::size_t index, const DC_Contract& contract, int decimals) {
  if (index >= cards_.size()) return;
  cards_[index] = PriceCard{};
  cards_[index].contract = contract;
  cards_[index].decimals = decimals;
}

void PriceCube::Remove(std::size_t index) {
  if (index < cards_.size()) cards_.erase(cards_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool PriceCube::ApplyQuote(const DC_Quote& quote) {
  bool changed = false;
  for (PriceCard& c : cards_) {
    if (c.combol || !c.contract.SameKey(quote.contract)) continue;
    const double last = quote.data.last, bid = quote.data.bidPrice[0], ask = quote.data.askPrice[0];
    if (c.last != last || c.bid != bid || c.ask != ask) changed = true;
    c.last = last;
    c.bid = bid;
    c.ask = ask;
  }
  return changed;
}

bool PriceCube::ApplyCombolValues(const CombolKey& key, double last, double bid, double ask) {
  bool changed = false;
  for (PriceCard& c : cards_) {
    if (!c.combol || MakeCombolKey(c.strategy) != key) continue;
    if (c.last != last || c.bid != bid || c.ask != ask) changed = true;
    c.last = last;
    c.bid = bid;
    c.ask = ask;
  }
  return changed;
}

std::vector<CombolStrategy> PriceCube::Strategies() const {
  std::vector<CombolStrategy> out;
  for (const PriceCard& c : cards_)
    if (c.combol) out.push_back(c.strategy);
  return out;
}

// ---- combination cards' calculators --------------------------------------------------------------

CombolCardHolds::~CombolCardHolds() { ReleaseAll(); }

void CombolCardHolds::Hold(const CombolStrategy& strategy) {
  auto it = holds_.try_emplace(MakeCombolKey(strategy), strategy, 0).first;
  if (++it->second.second == 1 && registry_ && !registry_->Has(strategy)) registry_->Toggle(strategy);
}

void CombolCardHolds::Release(const CombolStrategy& strategy) {
  auto it = holds_.find(MakeCombolKey(strategy));
  if (it == holds_.end()) return;
  if (--it->second.second > 0) return;
  if (registry_) registry_->Remove(it->second.first);
  holds_.erase(it);
}

void CombolCardHolds::HoldOnly(const std::vector<CombolStrategy>& strategies) {
  std::map<CombolKey, int> wanted;
  for (const CombolStrategy& s : strategies) ++wanted[MakeCombolKey(s)];
  // Releases first, so that a key dropped and taken again in one pass keeps nothing stale.
  for (auto it = holds_.begin(); it != holds_.end();) {
    if (wanted.count(it->first)) {
      ++it;
      continue;
    }
    if (registry_) registry_->Remove(it->second.first);
    it = holds_.erase(it);
  }
  for (const CombolStrategy& s : strategies) {
    auto it = holds_.find(MakeCombolKey(s));
    if (it == holds_.end()) Hold(s);
  }
  for (auto& [key, hold] : holds_) hold.second = wanted[key];
}

void CombolCardHolds::ReleaseAll() {
  for (auto& [key, hold] : holds_)
    if (registry_) registry_->Remove(hold.first);
  holds_.clear();
}

int CombolCardHolds::Holders(const CombolStrategy& strategy) const {
  auto it = holds_.find(MakeCombolKey(strategy));
  return it == holds_.end() ? 0 : it->second.second;
}

}  // namespace tarn
