// What the order dialogs show, check and send, without windows: the send confirmation, the
// modify dialog, the two close dialogs, the line-order palette and the price cube's cards.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/strategy_records.h"
#include "data/trade_records.h"
#include "engines/combol_quote.h"

namespace tarn {

// ---- send confirmation -----------------------------------------------------------------------

// Whether a panel order is confirmed before it goes: "\user\setting.ini" [TradeConfirm] Value 1.
bool ConfirmationWanted();
// What the confirmation shows: contract name, "买入" / "卖出", "开仓" / "平仓" / "平今", the price
// ("%.*f" at the contract's decimals, "市价" for a market order) and the quantity ("%d").
struct ConfirmTexts {
  std::string contract, direction, offset, price, quantity;
};
ConfirmTexts ConfirmTextsFor(const OrderRecord& order);
// OK with the box ticked or cleared: writes [TradeConfirm] Value "1" / "0".
void ApplyConfirmChoice(bool keepConfirming);

// ---- modify ----------------------------------------------------------------------------------

// The price check (1e-5 .. 9999999, "价格无效") then the quantity check (1 .. 999999, "数量无效").
std::optional<std::string> CheckModifyInput(const std::string& priceText, const std::string& quantityText,
                                            double* price, int* quantity);

// ---- close a position row --------------------------------------------------------------------

struct CoverPositionInput {
  std::string contractName;
  std::string direction;     // "卖出" for a long position, else "买入"
  std::string offset;        // "平仓"
  std::string quantity;      // long + short quantity
  bool market = true;
  std::string price;         // 5 ticks towards the other side, whole ticks; "" without a price
};
CoverPositionInput CoverPositionInputFor(const PositionRecord& position, double tick, int decimals);
// OK: the quantity (below 1 "平仓数量错误"), then a limit price (below 1e-6 "价格错误"); the
// one closing order (direction 2 for a long, 1 for a short; offset 2).
std::optional<std::string> CheckCoverPosition(const PositionRecord& position, const CoverPositionInput& in,
                                              OrderRecord* out);

// ---- close one lot by its position number ------------------------------------------------------

struct CoverByPosNoInput {
  std::string positionNumber, contract, direction, offset;
  std::string openPrice;     // "%.6f" with trailing zeros and point removed
  std::string price;         // the lot's current price at the contract's decimals
  std::string quantity;      // the lot's quantity
  bool limit = false;        // starts from [ZDPC] PRICE_TYPE (1 limit, 0 market)
};
// `currentPrice` is the lot's latest price (the position's current price). `needsCloseToday`:
// the contract's exchange refuses a plain close of today's lots (the trading library's
// NeedsCloseToday); a lot opened today is then closed with offset 3 "平今", any other with 2.
CoverByPosNoInput CoverByPosNoInputFor(const PositionDetail& detail, double currentPrice, int decimals,
                                       bool needsCloseToday = false);
int32_t CoverByPosNoOffset(const PositionDetail& detail, bool needsCloseToday);
// The price spin: p = value / tick + 0.1 x tick; up (trunc(p) + 1) x tick, down (trunc(p) - 1)
// x tick; a field reading 0 is left alone.
std::string SpinCoverPrice(const std::string& text, bool up, double tick, int decimals);
// The quantity spin: +1 up to the lot's quantity, -1 down to 0.
std::string SpinCoverQuantity(const std::string& text, bool up, int lotQuantity);
// OK: quantity (below 1 "平仓数量错误"), then [ZDPC] PRICE_TYPE is written, then a limit price
// (below 1e-6 "价格错误"); the closing order carries the lot's position number.
std::optional<std::string> CheckCoverByPosNo(const PositionDetail& detail, const CoverByPosNoInput& in,
                                             OrderRecord* out, bool needsCloseToday = false);
bool CoverByPosNoLimitChoice();

// ---- line-order palette ----------------------------------------------------------------------

// Mode keys in order: "买开", "卖平", "卖开", "买平".
const std::string& LineOrderModeText(int mode);
// Direction and offset of a mode.
int LineOrderDirection(int mode);
int LineOrderOffset(int mode);

class LineOrderPalette {
 public:
  // A click on a mode key: a quantity outside 1..999 gives "手数设置错误" and changes nothing;
  // else the key is armed (or disarmed when it was the armed one).
  std::optional<std::string> Click(int mode, const std::string& quantityText);
  void Disarm() { armed_ = -1; }
  int Armed() const { return armed_; }
  int Quantity() const { return quantity_; }
  // 0 "当日" (default), 1 "长期".
  int validity = 0;

 private:
  int armed_ = -1;
  int quantity_ = 1;
};

// The condition order of a click on the chart at `price` with the palette's armed key: the
// price snapped to the tick is the trigger, reached from where the last price stands (">=" for
// a line at or above it, "<=" below), sent as the condition order dialog sends by default, with
// the palette's quantity and validity. A series contract orders its main month. Nothing without
// an armed key, a contract or a price.
std::optional<ConditionOrderRequest> LineOrderRequest(const LineOrderPalette& palette, const DC_Contract& contract,
                                                      double price, double last, double tick, int decimals);

// ---- price cube --------------------------------------------------------------------------------

// One card: a contract, or a combination (one of the user's strategies), with its three
// prices. A combination's prices are its calculator's values, -992831.0 until computed.
struct PriceCard {
  DC_Contract contract{};
  double last = 0, bid = 0, ask = 0;
  int decimals = 2;
  bool combol = false;
  CombolStrategy strategy{};  // a combination card's strategy
};
// "最新价", "买价", "卖价" with the card's decimals; "--" while a price is not above 1e-5.
std::string CardPriceText(double price, int decimals);
// Where a double-click on a card lands: 0 elsewhere, 1 the bid area, 2 the ask area.
enum CardArea { kCardElsewhere = 0, kCardBid = 1, kCardAsk = 2 };
// What SelectContract gets for a double-click on a contract card: direction 2 and the bid for
// the bid area, 1 and the ask for the ask area, else 0 and 0.
struct CardSelection {
  int direction = 0;
  double price = 0;
};
CardSelection SelectionFor(const PriceCard& card, CardArea area);
// A card's price text: a contract's as above; a combination's at the strategy's decimals
// (negative and zero values are prices too), blank while still the calculator's initial value.
std::string CardValueText(const PriceCard& card, double value);
// The card's caption: the contract's name, or the strategy's.
std::string CardTitle(const PriceCard& card);
// What a double-click on a combination card's area opens in the combination order entry:
// forward at askValue on the ask area, reverse at bidValue on the bid area; nothing elsewhere.
struct CombolCardOrder {
  bool forward = true;
  double value = 0;
};
std::optional<CombolCardOrder> CombolOrderFor(const PriceCard& card, CardArea area);
// A card as the container's record keeps it: a contract key or a strategy's key.
struct CubeCardRef {
  bool combol = false;
  std::string key;
  bool operator==(const CubeCardRef&) const = default;
};
CubeCardRef CardRef(const PriceCard& card);
// The strategy of a record's key among the user's strategies.
std::optional<CombolStrategy> FindStrategy(const std::vector<CombolStrategy>& strategies, const CombolKey& key);

// The cards of one board, in the order they were added.
class PriceCube {
 public:
  const std::vector<PriceCard>& Cards() const { return cards_; }
  void Add(const DC_Contract& contract, int decimals);
  void AddStrategy(const CombolStrategy& strategy);
  void Replace(std::size_t index, const DC_Contract& contract, int decimals);
  void ReplaceWithStrategy(std::size_t index, const CombolStrategy& strategy);
  void Remove(std::size_t index);
  // A quote updates every contract card showing its contract; true when one changed.
  bool ApplyQuote(const DC_Quote& quote);
  // A calculator's values update every combination card of its key; true when one changed.
  bool ApplyCombolValues(const CombolKey& key, double last, double bid, double ask);
  // The strategies of the combination cards, one per card.
  std::vector<CombolStrategy> Strategies() const;

 private:
  std::vector<PriceCard> cards_;
};

// The combination calculators of one window's cards, over that window's own registry. The
// registry's Toggle switches a key's calculator off when it runs, so cards never toggle it
// directly: each card holds its strategy's key, the first hold starts the calculator and the
// last release removes it. Two cards of one strategy share one calculator, and removing one of
// them leaves the other's running. Other windows (the strategy list and its quote grid) own
// their registries, so nothing here switches theirs off.
class CombolCardHolds {
 public:
  explicit CombolCardHolds(CCombolQuoteClient* registry) : registry_(registry) {}
  ~CombolCardHolds();
  CombolCardHolds(const CombolCardHolds&) = delete;
  CombolCardHolds& operator=(const CombolCardHolds&) = delete;
  void Hold(const CombolStrategy& strategy);
  void Release(const CombolStrategy& strategy);
  // Holds exactly the given cards' strategies: new keys are started, keys no card shows any
  // more are removed, kept keys keep their calculators (and their values).
  void HoldOnly(const std::vector<CombolStrategy>& strategies);
  // Every hold released (the window closes).
  void ReleaseAll();
  int Holders(const CombolStrategy& strategy) const;

 private:
  CCombolQuoteClient* registry_;
  std::map<CombolKey, std::pair<CombolStrategy, int>> holds_;
};

}  // namespace tarn
