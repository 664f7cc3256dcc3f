// What the order dialogs show, check and send, without windows: the send confirmation, the
// modify dialog, the two close dialogs, the line-order palette and the price cube's cards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/trade_records.h"

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

// ---- price cube --------------------------------------------------------------------------------

// One card: a contract with its three prices.
struct PriceCard {
  DC_Contract contract{};
  double last = 0, bid = 0, ask = 0;
  int decimals = 2;
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

// The cards of one board, in the order they were added.
class PriceCube {
 public:
  const std::vector<PriceCard>& Cards() const { return cards_; }
  void Add(const DC_Contract& contract, int decimals);
  void Replace(std::size_t index, const DC_Contract& contract, int decimals);
  void Remove(std::size_t index);
  // A quote updates every card showing its contract; true when one changed.
  bool ApplyQuote(const DC_Quote& quote);

 private:
  std::vector<PriceCard> cards_;
};

}  // namespace tarn
