// The routines every order panel shares: sending one order, sending a close split into older
// lots, today's lots and any excess, and the margin, fee and openable-lots estimate. They read
// the trading library (GetTradeApi) and never ask the user anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/trade_api.h"
#include "engines/close_orders.h"

namespace tarn {

// A fresh order record with these fields; `market` 1 goes into the price-type field (a market
// order carries price 0).
OrderRecord MakePanelOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market,
                           double price);

// Sends one order as it is (no confirmation, no check). Returns InsertOrder's answer, -1 when
// no trading library is installed.
int SendPanelOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market, double price);
int SendPanelOrder(const OrderRecord& order);

// The lots of one contract over a position list.
struct PositionSums {
  int64_t longTotal = 0;
  int64_t longToday = 0;
  int64_t shortTotal = 0;
  int64_t shortToday = 0;
};
PositionSums SumPositions(const std::vector<PositionRecord>& positions, const DC_Contract& contract);

// One order of a close: its offset and quantity (the engines' close-today rule makes them).
using OrderPart = ClosePart;
// The orders of one close, in sending order. An open (offset 1) is one order as given. A close
// on an exchange that tells today's lots apart goes out as the older lots (given offset), then
// today's lots (offset 3), then the excess (given offset); elsewhere as the lots held, then the
// excess, both with the given offset. A buy closes the short side, a sell the long side.
std::vector<OrderPart> SplitCloseParts(int direction, int offset, int quantity, bool closeTodayApart,
                                       const PositionSums& sums);

// Sends an order through the split above, reading the account's positions and the exchange's
// rule from the trading library. Returns the number of orders handed to InsertOrder.
int SendSplitOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market, double price);
int SendSplitOrder(const OrderRecord& order);

// ---- the estimate ------------------------------------------------------------------------------

// The contract's terms as the library gives them; without any, every mode 1 and every value 1.
ContractRates RatesOrDefault(ITradeApi* api, const DC_Contract& contract);
double MarginPerLot(const ContractRates& rates, double notional);
double FeePerLot(const ContractRates& rates, double notional);

// The account's available funds ("Base") in the contract's currency: multiplied by the
// currency's rate when the contract's currency is another one. 0 without a library or funds.
double AvailableForContract(ITradeApi* api, const DC_Contract& contract);

struct OrderEstimate {
  double marginPerLot = 0;
  double feePerLot = 0;
  int quantity = 0;
  double available = 0;
  // Lots the available funds open; -1 when the margin per lot is below 1 (shown without a number).
  int64_t openable = -1;
};
OrderEstimate ComputeEstimate(const ContractRates& rates, double multiplier, double last, int quantity,
                              double available);
// Reads the rates and funds of the library for `contract` at `last`.
OrderEstimate EstimateOrder(const DC_Contract& contract, double last, int quantity);

// "保证金 %.0f", "手续费 %.2f" (trailing zeros and point removed), "可开手数 %d" or "可开手数".
std::string MarginText(const OrderEstimate& e);
std::string FeeText(const OrderEstimate& e);
std::string OpenableText(const OrderEstimate& e);

// The largest quantity a quantity fraction divides: the lots the available funds open at two
// ticks above the last price, at least 1.
int64_t LargestOpenable(const DC_Contract& contract, double last);
// numerator / denominator of `largest`, truncated.
int64_t FractionQuantity(int numerator, int denominator, int64_t largest);

// "%.*f" with trailing zeros and then a trailing point removed ("12.50" -> "12.5", "3.00" -> "3").
std::string TrimmedNumber(double value, int decimals);

// The account line: floating profit, equity and available funds of the current account, "%.2f".
struct AccountLine {
  std::string floatProfit, equity, available;
};
AccountLine ReadAccountLine();

}  // namespace tarn
