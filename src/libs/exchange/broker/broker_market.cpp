#include "libs/exchange/broker/broker_market.h"

namespace tarn::exchange {

int32_t MarketFeed::NextTradingDay(int32_t day) {
  return Yyyymmdd(market_.Calendar().NextTradingDate(DayNumOf(day)));
}

bool MarketFeed::InSession(ContractId id, int64_t wallMs) {
  const Catalogue& cat = market_.GetCatalogue();
  if (id >= cat.Size()) return false;
  const TradingCalendar& cal = market_.Calendar();
  const int64_t day = cal.TradingDayAt(wallMs);
  if (!cal.IsTradingDate(day)) return false;
  const int64_t into = cal.MsIntoWindow(day, wallMs);
  if (into < 0) return false;
  return cat.CommodityOf(id).sessions.InSession(static_cast<int>(into / kMinuteMs));
}

bool MarketFeed::Tradable(ContractId id, int32_t tradingDay) {
  const Catalogue& cat = market_.GetCatalogue();
  if (id >= cat.Size()) return false;
  const Contract& c = cat.ContractAt(id);
  return c.kind == ContractKind::Month && c.expiry >= DayNumOf(tradingDay);
}

void MarketFeed::Watch(ContractId id, bool on) {
  if (on)
    market_.Watch(id);
  else
    market_.Unwatch(id);
}

bool MarketFeed::Settlement(ContractId id, int32_t tradingDay, int32_t& ticks) {
  Market::Settled s;
  if (!market_.DaySettlement(id, tradingDay, s)) return false;
  ticks = s.settlement;
  return ticks > 0;
}

}  // namespace tarn::exchange
