// Conversion at the boundary between the broker (prices in ticks, money in cents) and the
// records of the trading library (prices and money as doubles).
#pragma once

#include <cstdint>
#include <string>

#include "data/strategy_records.h"
#include "data/trade_records.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/catalogue.h"

namespace tarn::tradeapi {

// The whole number of ticks nearest to a price; false when the price is not such a number
// (beyond a millionth of a tick).
bool PriceToTicks(double price, double tick, int64_t& ticks);

DC_Contract ContractRecord(const exchange::Catalogue& catalogue, exchange::ContractId id);
OrderRecord MakeOrderRecord(const exchange::Order& o, const std::string& account, const exchange::Catalogue& catalogue);
FillRecord MakeFillRecord(const exchange::Fill& f, const std::string& account, const exchange::Catalogue& catalogue);
// One record per contract and side: the other side's fields stay 0.
PositionRecord MakePositionRecord(const exchange::PositionView& p, const std::string& account,
                                  const exchange::Catalogue& catalogue);
PositionDetail MakePositionDetail(const exchange::LotView& l, const std::string& account,
                                  const exchange::Catalogue& catalogue);
// The funds in `currency`: `microPerUnit` units of the account's currency per unit of it, times
// 1e6 (1000000 for the account's own).
FundsRecord MakeFundsRecord(const exchange::FundsView& f, const std::string& currency, int64_t microPerUnit);
StrategyOrderRecord MakeStrategyRecord(const exchange::StrategyOrder& s, const exchange::Catalogue& catalogue);

}  // namespace tarn::tradeapi
