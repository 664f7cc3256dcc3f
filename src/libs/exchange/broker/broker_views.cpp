#include "libs/exchange/broker/broker_views.h"

#include "platform/text.h"

namespace tarn::exchange {

int32_t ViewPrice(int32_t bookLast, const Side* side) {
  if (bookLast > 0) return bookLast;
  if (side && side->quantity > 0) return static_cast<int32_t>(side->holdValue / side->quantity);
  return 0;
}

Money SideProfit(const Side& s, uint64_t sideKey, int32_t last, bool open, const ContractTerms& t) {
  const int64_t value = open ? s.openValue : s.holdValue;
  int64_t tickLots = static_cast<int64_t>(last) * s.quantity - value;
  if (SideOf(sideKey) == 2) tickLots = -tickLots;
  return t.Profit(tickLots);
}

PositionView PositionViewOf(const Side& s, uint64_t sideKey, int32_t last, const ContractTerms& t) {
  PositionView v;
  v.contract = SideContract(sideKey);
  v.side = static_cast<int8_t>(SideOf(sideKey));
  v.quantity = s.quantity;
  v.today = s.today;
  v.holdValue = s.holdValue;
  v.openValue = s.openValue;
  v.margin = s.margin;
  v.last = last;
  v.positionProfit = SideProfit(s, sideKey, last, false, t);
  v.floatProfit = SideProfit(s, sideKey, last, true, t);
  SetField(v.number, Field(s.number));
  return v;
}

void AppendLotViews(const Side& s, uint64_t sideKey, int32_t last, const ContractTerms& t,
                    std::vector<LotView>& out) {
  const int sign = SideOf(sideKey) == 1 ? 1 : -1;
  for (const Lot& lot : s.lots) {
    LotView v;
    v.contract = SideContract(sideKey);
    v.side = static_cast<int8_t>(SideOf(sideKey));
    v.lot = lot;
    v.last = last;
    v.positionProfit = t.Profit(sign * (static_cast<int64_t>(last) - lot.hold) * lot.quantity);
    v.floatProfit = t.Profit(sign * (static_cast<int64_t>(last) - lot.open) * lot.quantity);
    out.push_back(v);
  }
}

FundsView FundsViewOf(const LedgerAccount& acc, const ViewPrices& prices) {
  FundsView out;
  out.account = acc.id;
  out.name = acc.name;
  out.currency = acc.currency;
  out.preBalance = acc.preBalance;
  out.deposit = acc.deposit;
  out.withdrawal = acc.withdrawal;
  out.closeProfit = acc.closeProfit;
  out.fee = acc.fee;
  out.credit = acc.credit;
  out.margin = acc.margin;
  out.frozenMargin = acc.frozenMargin;
  out.frozenFee = acc.frozenFee;
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const ContractTerms& t = prices.terms(c);
    const int32_t last = ViewPrice(prices.bookLast(c), &side);
    out.positionProfit += SideProfit(side, key, last, false, t);
    out.floatProfit += SideProfit(side, key, last, true, t);
  }
  return out;
}

}  // namespace tarn::exchange
