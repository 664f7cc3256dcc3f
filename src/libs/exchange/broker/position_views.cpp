#include "libs/exchange/broker/position_views.h"

#include "platform/text.h"

namespace tarn::exchange {

int32_t MarkPrice(int32_t marketLast, const Side* side) {
  if (marketLast > 0) return marketLast;
  if (side && side->quantity > 0) return static_cast<int32_t>(side->holdValue / side->quantity);
  return 0;
}

Money SideProfit(const Side& s, uint64_t key, int32_t last, bool open, const ContractTerms& t) {
  const int64_t value = open ? s.openValue : s.holdValue;
  int64_t tickLots = static_cast<int64_t>(last) * s.quantity - value;
  if (SideOf(key) == 2) tickLots = -tickLots;
  return t.Profit(tickLots);
}

PositionView ViewOfSide(const Side& s, uint64_t key, int32_t marketLast, const ContractTerms& t) {
  PositionView v;
  v.contract = SideContract(key);
  v.side = static_cast<int8_t>(SideOf(key));
  v.quantity = s.quantity;
  v.today = s.today;
  v.holdValue = s.holdValue;
  v.openValue = s.openValue;
  v.margin = s.margin;
  v.last = MarkPrice(marketLast, &s);
  v.positionProfit = SideProfit(s, key, v.last, false, t);
  v.floatProfit = SideProfit(s, key, v.last, true, t);
  SetField(v.number, Field(s.number));
  return v;
}

std::vector<LotView> LotViewsOf(const LedgerAccount& acc, const LastPriceOf& lastOf, const TermsOfContract& termsOf) {
  std::vector<LotView> out;
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t last = MarkPrice(lastOf(c), &side);
    const ContractTerms& t = termsOf(c);
    const int sign = SideOf(key) == 1 ? 1 : -1;
    for (const Lot& lot : side.lots) {
      LotView v;
      v.contract = c;
      v.side = static_cast<int8_t>(SideOf(key));
      v.lot = lot;
      v.last = last;
      v.positionProfit = t.Profit(sign * (static_cast<int64_t>(last) - lot.hold) * lot.quantity);
      v.floatProfit = t.Profit(sign * (static_cast<int64_t>(last) - lot.open) * lot.quantity);
      out.push_back(v);
    }
  }
  return out;
}

FundsView FundsOfAccount(const LedgerAccount& acc, const LastPriceOf& lastOf, const TermsOfContract& termsOf) {
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
    const int32_t last = MarkPrice(lastOf(c), &side);
    const ContractTerms& t = termsOf(c);
    out.positionProfit += SideProfit(side, key, last, false, t);
    out.floatProfit += SideProfit(side, key, last, true, t);
  }
  return out;
}

}  // namespace tarn::exchange
