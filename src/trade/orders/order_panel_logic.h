// The order panels' logic without windows: the five price types and their stored choice, the
// prices the keys show and use, the close key's labels, the three-key panel's keys, the
// standard panel's send, "全平" / "全撤", the quantity fractions, and the process-wide set of
// open order panels with the trade grid's selected position.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/trade_api.h"
#include "trade/orders/order_routines.h"

class QWidget;

namespace tarn {

// ---- price types -------------------------------------------------------------------------------

enum PanelPriceType : int {
  kPriceSpecified = 0,  // "指定价"
  kPriceCounter = 1,    // "对手价"
  kPriceQueue = 2,      // "跟盘价"
  kPriceMarket = 3,     // "市价"
  kPriceLast = 4,       // "最新价"
};
constexpr int kPriceTypeCount = 5;
const std::string& PriceTypeText(int type);
// "\config\tradePanel.ini" [PriceType] Value (default 1; a value outside 0..4 reads 1).
int StoredPriceType();
// Stores the choice, unless it is "指定价" (which is never stored).
void StorePriceType(int type);

// What a panel holds of its contract's live quote.
struct PanelQuote {
  DC_Contract contract{};
  double last = 0, bid = 0, ask = 0;
  int bidVolume = 0, askVolume = 0;
};
PanelQuote PanelQuoteOf(const DC_Quote& quote);

// The price an order of `direction` takes by the price type: market gives market = true and 0;
// counter and queue prices not above 1e-5 in absolute value fall back to the last price.
struct PanelPrice {
  bool market = false;
  double price = 0;
};
PanelPrice PriceFor(int type, int direction, const PanelQuote& quote, double specified);
// The price a key shows: "市价" for market, the price at `decimals`, "" when not above 1e-4.
std::string KeyPriceText(int type, int direction, const PanelQuote& quote, double specified, int decimals);

// ---- the close key ------------------------------------------------------------------------------

struct CloseKeyLabels {
  std::string title;          // "平仓", "平多单", "平空单", "锁仓状态"
  std::string subtitle;       // "先开先平" when nothing is held
  std::string buySubtitle;    // "加多" while locked without a selection
  std::string sellSubtitle;   // "加空"
  int priceDirection = 0;     // the direction whose price the close key shows (0: none)
};
// `selected` is the trade grid's selected position when it is this contract's.
CloseKeyLabels CloseKeyLabelsFor(const PositionSums& sums, const PositionRecord* selected);

// ---- the keys ------------------------------------------------------------------------------------

// What a panel's key reads from the panel.
struct PanelInput {
  DC_Contract contract{};
  PanelQuote quote;
  int priceType = kPriceCounter;
  std::string priceText;
  std::string quantityText = "1";
};
// Shows an order and answers whether to send it.
using ConfirmOrder = std::function<bool(const OrderRecord&)>;
// The trade grid's selected position: true with the record when there is one.
using SelectedPosition = std::function<bool(PositionRecord*)>;

// "买多" / "卖空": checks, confirmation, then the order goes out as it is. Returns the status text
// ("" when nothing needs saying).
std::string ThreeKeyOpen(const PanelInput& in, int direction, const ConfirmOrder& confirm);
// "平仓": works out the side, confirms each position record's order and sends it split.
std::string ThreeKeyClose(const PanelInput& in, const ConfirmOrder& confirm, const SelectedPosition& selected);
// The standard panel's send: direction 0 / offset 0 mean no choice.
std::string StandardSend(const PanelInput& in, int direction, int offset, const ConfirmOrder& confirm);

// "全平": every position record of the contract to ClosePosition.
int CloseAllOf(const DC_Contract& contract);
// "全撤": every working ordinary order of every contract; `direction` 0 any, else only that one.
int CancelWorkingOrders(int direction = 0);

// The standard panel's price text on a quote (nothing while the last price is not above 1e-4, or
// for "指定价" unless the text reads "市价", which is cleared once).
std::optional<std::string> FollowUpPriceText(int type, int direction, const PanelQuote& quote, int decimals,
                                             const std::string& current);
// "下单 (%s %s)" for the choices.
std::string SendKeyText(int direction, int offset);

// ---- quantity fractions ------------------------------------------------------------------------

struct FractionCell {
  int numerator, denominator;
};
const std::vector<FractionCell>& FractionCells();
// "%d/%d", or "满仓" when the two are equal.
std::string FractionText(const FractionCell& cell);

// ---- the contract an order panel trades -------------------------------------------------------

// A main-continuous ("MI") or index ("IDX") contract: a series of quotes, not a contract an
// exchange takes orders for.
bool IsSeriesContract(const DC_Contract& contract);
// The contract an order panel takes for a chosen one: a series is replaced by its commodity's
// main month as the market names it (its "HOT" list); any other contract, or a series whose
// main month the market does not know, stays as it is.
DC_Contract TradableContract(const DC_Contract& contract);

// The quantity of a contract's default: the keyboard table's product default when 2 or more, else 1.
int DefaultQuantityOf(const DC_Contract& contract);

// ---- the open order panels -----------------------------------------------------------------------

class IOrderPanelOpt {
 public:
  virtual void RefreshIfVisible() = 0;                            // 1
  virtual void SetContract(DC_Contract contract) = 0;             // 2
  virtual QWidget* Window() = 0;                                  // 3
  virtual void SetTag(int tag) = 0;                               // 4
  virtual void OnPositionSelected(PositionRecord position) = 0;   // 5
  virtual void RefreshPrices() = 0;                               // 6

 protected:
  ~IOrderPanelOpt() = default;
};

// The process-wide set of open order panels (UI thread only).
void AddOrderPanel(IOrderPanelOpt* panel);
void RemoveOrderPanel(IOrderPanelOpt* panel);
std::vector<IOrderPanelOpt*> OrderPanels();
// Refreshes every open panel that is visible.
void RefreshAllOrderPanels();

// The trade grid answers which position is selected (its container sets it; until then none).
void SetSelectedPositionSource(SelectedPosition source);
bool QuerySelectedPosition(PositionRecord* out);

}  // namespace tarn
