#include "trade/orders/order_routines.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "platform/text.h"

namespace tarn {

OrderRecord MakePanelOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market,
                           double price) {
  OrderRecord o{};
  o.contract = contract;
  o.direction = direction;
  o.offset = offset;
  o.quantity = quantity;
  o.priceType = market;
  o.price = price;
  return o;
}

int SendPanelOrder(const OrderRecord& order) {
  ITradeApi* api = GetTradeApi();
  return api ? api->InsertOrder(order) : -1;
}

int SendPanelOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market, double price) {
  return SendPanelOrder(MakePanelOrder(contract, direction, offset, quantity, market, price));
}

PositionSums SumPositions(const std::vector<PositionRecord>& positions, const DC_Contract& contract) {
  PositionSums s;
  for (const PositionRecord& p : positions) {
    if (!p.contract.SameKey(contract)) continue;
    s.longTotal += p.longQuantity;
    s.longToday += p.todayLong;
    s.shortTotal += p.shortQuantity;
    s.shortToday += p.todayShort;
  }
  return s;
}

std::vector<OrderPart> SplitCloseParts(int direction, int offset, int quantity, bool closeTodayApart,
                                       const PositionSums& sums) {
  std::vector<OrderPart> parts;
  if (offset == kOpen) {
    parts.push_back({offset, quantity});
    return parts;
  }
  if (quantity <= 0) return parts;
  // A buy closes the short side, a sell the long side.
  const int64_t total = std::max<int64_t>(0, direction == kBuy ? sums.shortTotal : sums.longTotal);
  const int64_t today = std::clamp<int64_t>(direction == kBuy ? sums.shortToday : sums.longToday, 0, total);
  if (closeTodayApart) {
    parts = SplitClose(quantity, total, today, offset);
  } else {
    const int64_t held = std::min<int64_t>(quantity, total);
    if (held > 0) parts.push_back({offset, static_cast<int32_t>(held)});
    if (quantity - held > 0) parts.push_back({offset, static_cast<int32_t>(quantity - held)});
  }
  return parts;
}

int SendSplitOrder(const OrderRecord& order) {
  ITradeApi* api = GetTradeApi();
  if (!api) return 0;
  std::vector<OrderPart> parts;
  if (order.offset == kOpen) {
    parts.push_back({order.offset, order.quantity});
  } else {
    const bool apart = api->NeedsCloseToday(order.contract);
    std::vector<PositionRecord> positions;
    api->GetPositions(positions);
    parts = SplitCloseParts(order.direction, order.offset, order.quantity, apart, SumPositions(positions, order.contract));
  }
  int sent = 0;
  for (const OrderPart& part : parts) {
    OrderRecord o = order;
    o.offset = part.offset;
    o.quantity = part.quantity;
    api->InsertOrder(o);
    ++sent;
  }
  return sent;
}

int SendSplitOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market, double price) {
  return SendSplitOrder(MakePanelOrder(contract, direction, offset, quantity, market, price));
}

// ---- the estimate ------------------------------------------------------------------------------

ContractRates RatesOrDefault(ITradeApi* api, const DC_Contract& contract) {
  ContractRates r{};
  if (api && api->GetContractRates(r, contract) > 0) return r;
  return ContractRates{1, 1.0, 1, 1.0, 1, 1.0, 1.0};
}

double MarginPerLot(const ContractRates& r, double notional) {
  double m;
  switch (r.marginMode) {
    case 1: m = r.marginValue * notional; break;
    case 2: m = r.marginValue; break;
    case 3: m = (r.marginValue + 1) * notional; break;
    case 4: m = r.marginValue + notional; break;
    default: m = notional; break;
  }
  switch (r.margin2Mode) {
    case 1: return r.margin2Value * m;
    case 2: return r.margin2Value;
    case 3: return (r.margin2Value + 1) * m;
    case 4: return r.margin2Value + m;
    default: return m;
  }
}

double FeePerLot(const ContractRates& r, double notional) {
  switch (r.feeMode) {
    case 0: return r.feeA;
    case 1: return r.feeA * notional;
    case 2: return r.feeA;
    case 3: return (r.feeA + r.feeB) * notional;
    case 4: return r.feeA + r.feeB;
    default: return notional;
  }
}

double AvailableForContract(ITradeApi* api, const DC_Contract& contract) {
  if (!api) return 0;
  FundsRecord f{};
  if (api->GetAccountFunds(f, "", "Base") <= 0) return 0;
  double available = f.available;
  std::string currency;
  api->GetAccountText(currency, std::string(contract.Key()));
  if (!currency.empty() && currency != "Base" && currency != Field(f.currency)) available *= api->GetCurrencyRate(currency);
  return std::isfinite(available) ? available : 0;
}

namespace {
// trunc(max(0, available) / perLot), kept inside int64 (a zero or broken divisor gives 0).
int64_t LotsFor(double available, double perLot) {
  if (!(perLot > 0) || !std::isfinite(perLot)) return 0;
  const double lots = std::trunc(std::max(0.0, available) / perLot);
  if (!std::isfinite(lots) || lots >= 9.0e18) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(lots);
}
}  // namespace

OrderEstimate ComputeEstimate(const ContractRates& rates, double multiplier, double last, int quantity,
                              double available) {
  OrderEstimate e;
  const double notional = multiplier * last;
  e.marginPerLot = MarginPerLot(rates, notional);
  e.feePerLot = FeePerLot(rates, notional);
  e.quantity = quantity;
  e.available = available;
  e.openable = e.marginPerLot < 1.0 ? -1 : LotsFor(available, e.marginPerLot + e.feePerLot);
  return e;
}

OrderEstimate EstimateOrder(const DC_Contract& contract, double last, int quantity) {
  ITradeApi* api = GetTradeApi();
  const DC_Commodity* c = CommodityOf(contract);
  return ComputeEstimate(RatesOrDefault(api, contract), c ? c->multiplier : 1.0, last, quantity,
                         AvailableForContract(api, contract));
}

std::string TrimmedNumber(double value, int decimals) {
  std::string s = FormatC("%.*f", decimals, value);
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string MarginText(const OrderEstimate& e) {
  return TXT("保证金 ") + FormatC("%.0f", static_cast<double>(e.quantity) * e.marginPerLot);
}

std::string FeeText(const OrderEstimate& e) {
  return TXT("手续费 ") + TrimmedNumber(static_cast<double>(e.quantity) * e.feePerLot, 2);
}

std::string OpenableText(const OrderEstimate& e) {
  if (e.openable < 0) return TXT("可开手数");
  return TXT("可开手数 ") + FormatC("%lld", static_cast<long long>(e.openable));
}

int64_t LargestOpenable(const DC_Contract& contract, double last) {
  ITradeApi* api = GetTradeApi();
  const DC_Commodity* c = CommodityOf(contract);
  const double multiplier = c ? c->multiplier : 1.0;
  const double tick = c ? c->tickSize : 0.0;
  const ContractRates rates = RatesOrDefault(api, contract);
  const double notional = multiplier * (last + 2 * tick);
  const int64_t lots = LotsFor(AvailableForContract(api, contract), MarginPerLot(rates, notional) + FeePerLot(rates, notional));
  return std::max<int64_t>(1, lots);
}

int64_t FractionQuantity(int numerator, int denominator, int64_t largest) {
  if (denominator <= 0) return 0;
  const double q = std::trunc(static_cast<double>(numerator) / denominator * static_cast<double>(largest));
  if (!(q > 0)) return 0;
  return q >= 9.0e18 ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(q);
}

AccountLine ReadAccountLine() {
  AccountLine line{"0.00", "0.00", "0.00"};
  ITradeApi* api = GetTradeApi();
  FundsRecord f{};
  if (!api || api->GetAccountFunds(f, "", "Base") <= 0) return line;
  line.floatProfit = FormatC("%.2f", f.floatProfit);
  line.equity = FormatC("%.2f", f.dynamicEquity);
  line.available = FormatC("%.2f", f.available);
  return line;
}

}  // namespace tarn
