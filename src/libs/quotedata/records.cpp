#include "libs/quotedata/records.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/clock.h"
#include "platform/text.h"

namespace tarn::quotedata {
namespace {
int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
}  // namespace

DC_Exchange MakeExchangeRecord(const exchange::Exchange& e) {
  DC_Exchange r = ZeroRecord<DC_Exchange>();
  SetField(r.code, e.code);
  SetField(r.name, e.name);
  r.handle = static_cast<ExchangeHandle>(e.index + 1);
  return r;
}

DC_Commodity MakeCommodityRecord(const exchange::Commodity& c, const exchange::Catalogue& catalogue) {
  DC_Commodity r = ZeroRecord<DC_Commodity>();
  r.exchange = static_cast<ExchangeHandle>(c.exchange + 1);
  SetField(r.code, c.code);
  SetField(r.display, c.name);
  r.multiplier = c.spec.multiplier;
  r.tickSize = c.spec.tick;
  r.decimals = c.spec.decimals;
  r.handle = static_cast<CommodityHandle>(c.index + 1);
  SetField(r.exchangeCode, catalogue.Exchanges()[c.exchange].code);
  SetField(r.currency, c.spec.currency);
  r.defaultQuantity = 1;
  r.kind = c.spec.kind;
  return r;
}

DC_Contract MakeContractRecord(const exchange::Contract& c) {
  DC_Contract r = ZeroRecord<DC_Contract>();
  r.commodity = static_cast<CommodityHandle>(c.commodity + 1);
  SetField(r.month, c.monthText);
  SetField(r.code, c.code);
  SetField(r.name, c.name);
  r.value = static_cast<int32_t>(c.id);
  SetField(r.key, c.key);
  return r;
}

float Price(int32_t ticks, double tick) { return ticks == 0 ? 0.0f : static_cast<float>(ticks * tick); }

void FillQuoteData(const exchange::Snapshot& s, const exchange::Commodity& c, DC_QuoteData& d) {
  const double tick = c.spec.tick;
  d.tradingDay = s.tradingDay;
  d.sequence = s.sequence;
  d.updateTime = s.timeMs / 1000;
  d.updateMs = static_cast<int32_t>(s.timeMs % 1000);
  d.preClose = Price(s.preClose, tick);
  d.preSettlement = Price(s.preSettle, tick);
  d.preOpenInterest = Clamp32(s.preOpenInterest);
  d.open = Price(s.open, tick);
  d.last = Price(s.last, tick);
  d.high = Price(s.high, tick);
  d.low = Price(s.low, tick);
  d.upperLimit = Price(s.upper, tick);
  d.lowerLimit = Price(s.lower, tick);
  d.volume = Clamp32(s.volume);
  d.openInterest = Clamp32(s.openInterest);
  d.settlement = Price(s.settlement, tick);
  d.lastQuantity = s.lastQty;
  for (int i = 0; i < 10; ++i) {
    d.bidPrice[i] = Price(s.bidPrice[i], tick);
    d.bidVolume[i] = s.bidQty[i];
    d.askPrice[i] = Price(s.askPrice[i], tick);
    d.askVolume[i] = s.askQty[i];
  }
  d.turnover = s.turnover;
  d.averagePrice = s.volume > 0 ? static_cast<float>(s.turnover / (static_cast<double>(s.volume) * c.spec.multiplier)) : 0.0f;
  d.reserved = 0;
}

DC_KData MakeBar(const exchange::Bar& b, double tick) {
  DC_KData k{};
  k.time = b.time;
  k.open = Price(b.open, tick);
  k.high = Price(b.high, tick);
  k.low = Price(b.low, tick);
  k.close = Price(b.close, tick);
  k.volume = Clamp32(b.volume);
  k.openInterest = Clamp32(b.openInterest);
  k.amount = b.amount;
  return k;
}

TickRecord MakeTick(const exchange::Tick& t, double tick) {
  TickRecord r{};
  r.time = t.timeMs / 1000;
  r.subKey = static_cast<int32_t>(t.timeMs % 1000);
  r.tradingDay = t.tradingDay;
  r.last = t.price * tick;
  r.bid = t.bid * tick;
  r.ask = t.ask * tick;
  r.quantity = t.qty;
  r.openInterest = t.openInterest;
  r.volume = t.volume;
  return r;
}

QuoteDetail MakeDetail(const exchange::Tick& t, double tick) {
  const std::tm tm = tarn::LocalTime(t.timeMs / 1000);
  return QuoteDetail::Make(Price(t.price, tick), tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec, t.side, t.qty);
}

}  // namespace tarn::quotedata
