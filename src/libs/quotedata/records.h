// Conversion at the boundary between the engine (prices in whole ticks) and the records of the
// quote library (prices as floats).
#pragma once

#include "data/quote_records.h"
#include "libs/exchange/catalogue.h"
#include "libs/exchange/market/market.h"

namespace tarn::quotedata {

// The record of an exchange, a commodity and a contract; handles are index + 1.
DC_Exchange MakeExchangeRecord(const exchange::Exchange& e);
DC_Commodity MakeCommodityRecord(const exchange::Commodity& c, const exchange::Catalogue& catalogue);
DC_Contract MakeContractRecord(const exchange::Contract& c);

float Price(int32_t ticks, double tick);
void FillQuoteData(const exchange::Snapshot& s, const exchange::Commodity& c, DC_QuoteData& out);
DC_KData MakeBar(const exchange::Bar& b, double tick);
TickRecord MakeTick(const exchange::Tick& t, double tick);
QuoteDetail MakeDetail(const exchange::Tick& t, double tick);

}  // namespace tarn::quotedata
