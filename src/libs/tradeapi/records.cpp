#include "libs/tradeapi/records.h"

#include <cmath>
#include <cstring>

#include "data/trade_enums.h"
#include "libs/quotedata/records.h"
#include "platform/text.h"

namespace tarn::tradeapi {
namespace {

double Px(int64_t ticks, double tick) { return static_cast<double>(ticks) * tick; }
double Average(int64_t value, int64_t lots, double tick) {
  return lots > 0 ? static_cast<double>(value) / static_cast<double>(lots) * tick : 0.0;
}
double TickOf(const exchange::Catalogue& cat, exchange::ContractId id) {
  return id < cat.Size() ? cat.CommodityOf(id).spec.tick : 1.0;
}

}  // namespace

bool PriceToTicks(double price, double tick, int64_t& ticks) {
  if (!(tick > 0) || !std::isfinite(price) || std::fabs(price / tick) > 2e9) {
    ticks = 0;
    return false;
  }
  const double t = price / tick;
  ticks = std::llround(t);
  return std::fabs(t - static_cast<double>(ticks)) <= 1e-6 * std::max(1.0, std::fabs(t));
}

DC_Contract ContractRecord(const exchange::Catalogue& cat, exchange::ContractId id) {
  return id < cat.Size() ? quotedata::MakeContractRecord(cat.ContractAt(id)) : ZeroRecord<DC_Contract>();
}

OrderRecord MakeOrderRecord(const exchange::Order& o, const std::string& account, const exchange::Catalogue& cat) {
  OrderRecord r = ZeroRecord<OrderRecord>();
  const double tick = TickOf(cat, o.contract);
  SetField(r.key, Field(o.key));
  SetField(r.positionNumber, Field(o.positionNumber));
  SetField(r.accountText2, account);
  SetField(r.reference, Format("%d", o.sequence));
  r.insertTime = o.insertMs / 1000;
  r.updateTime = o.updateMs / 1000;
  r.contract = ContractRecord(cat, o.contract);
  r.direction = o.direction;
  r.offset = o.offset;
  r.hidden = o.condition ? 1 : 0;
  r.state = o.state;
  r.quantity = o.quantity;
  r.filledQuantity = o.filled;
  r.fillCount = o.fillCount;
  r.averageFillPrice = Average(o.fillValue, o.filled, tick);
  r.errorCode = o.errorCode;
  SetField(r.errorText, Field(o.errorText));
  r.sequence = o.sequence;
  if (o.condition) {
    r.triggerBasis = o.triggerBasis;
    r.conditionKind = o.kind;
    r.sendPriceMode = o.sendMode;
    r.ticks = o.ticks;
    r.longTerm = o.longTerm ? 1 : 0;
    r.triggerPrice = o.kind == 0 || o.kind == 1 ? Px(o.trigger, tick) : 0.0;
    r.priceType = o.sendMode == 4 ? kMarketPrice : kLimitPrice;
    r.price = o.sendMode == 0 || o.kind == 4 || o.kind == 5 ? Px(o.sendPrice, tick) : 0.0;
    r.stopPrice = Px(o.stop, tick);
    r.triggeredOrder = o.triggeredSequence;
  } else {
    r.priceType = o.market ? kMarketPrice : kLimitPrice;
    r.price = o.market ? 0.0 : Px(o.price, tick);
  }
  return r;
}

FillRecord MakeFillRecord(const exchange::Fill& f, const std::string& account, const exchange::Catalogue& cat) {
  FillRecord r = ZeroRecord<FillRecord>();
  SetField(r.fillNumber, Field(f.number));
  SetField(r.orderKey, Field(f.orderKey));
  SetField(r.account, account);
  SetField(r.positionNumber, Field(f.positionNumber));
  r.contract = ContractRecord(cat, f.contract);
  r.direction = f.direction;
  r.offset = f.offset;
  r.quantity = f.quantity;
  r.price = Px(f.price, TickOf(cat, f.contract));
  r.fee = exchange::ToYuan(f.fee);
  r.closeProfit = exchange::ToYuan(f.closeProfit);
  r.time = f.timeMs / 1000;
  return r;
}

PositionRecord MakePositionRecord(const exchange::PositionView& p, const std::string& account,
                                  const exchange::Catalogue& cat) {
  PositionRecord r = ZeroRecord<PositionRecord>();
  const double tick = TickOf(cat, p.contract);
  r.contract = ContractRecord(cat, p.contract);
  const double hold = Average(p.holdValue, p.quantity, tick);
  const double open = Average(p.openValue, p.quantity, tick);
  if (p.side == kBuy) {  // the exchange names a position's side by its opening direction
    r.longQuantity = p.quantity;
    r.longAverage = hold;
    r.longOpenAverage = open;
    r.longMargin = exchange::ToYuan(p.margin);
    r.longFloatProfit = exchange::ToYuan(p.floatProfit);
    r.longPositionProfit = exchange::ToYuan(p.positionProfit);
    r.todayLong = p.today;
  } else {
    r.shortQuantity = p.quantity;
    r.shortAverage = hold;
    r.shortOpenAverage = open;
    r.shortMargin = exchange::ToYuan(p.margin);
    r.shortFloatProfit = exchange::ToYuan(p.floatProfit);
    r.shortPositionProfit = exchange::ToYuan(p.positionProfit);
    r.todayShort = p.today;
  }
  r.currentPrice = Px(p.last, tick);
  SetField(r.account, account);
  SetField(r.positionNumber, Field(p.number));
  return r;
}

PositionDetail MakePositionDetail(const exchange::LotView& l, const std::string& account,
                                  const exchange::Catalogue& cat) {
  PositionDetail r = ZeroRecord<PositionDetail>();
  const double tick = TickOf(cat, l.contract);
  r.contract = ContractRecord(cat, l.contract);
  r.direction = l.side;
  r.quantity = l.lot.quantity;
  r.todayQuantity = l.lot.today ? l.lot.quantity : 0;
  r.openPrice = Px(l.lot.open, tick);
  r.averagePrice = Px(l.lot.hold, tick);
  r.margin = exchange::ToYuan(l.lot.margin);
  r.floatProfit = exchange::ToYuan(l.floatProfit);
  r.positionProfit = exchange::ToYuan(l.positionProfit);
  r.openTime = l.lot.openMs / 1000;
  SetField(r.fillNumber, Field(l.lot.fillNumber));
  SetField(r.positionNumber, Field(l.lot.number));
  SetField(r.account, account);
  return r;
}

FundsRecord MakeFundsRecord(const exchange::FundsView& f, const std::string& currency, int64_t microPerUnit) {
  FundsRecord r = ZeroRecord<FundsRecord>();
  const double factor = microPerUnit > 0 ? 1e6 / static_cast<double>(microPerUnit) : 0.0;
  auto money = [&](exchange::Money m) { return exchange::ToYuan(m) * factor; };
  SetField(r.currency, currency);
  r.available = money(f.Available());
  r.margin = money(f.margin);
  r.dynamicEquity = money(f.Dynamic());
  r.fee = money(f.fee);
  r.frozen1 = money(f.frozenMargin);
  r.frozen2 = money(f.frozenFee);
  r.positionProfit = money(f.positionProfit);
  r.closeProfit = money(f.closeProfit);
  r.previousEquity = money(f.preBalance);
  r.credit = money(f.credit);
  r.netDeposit = money(f.deposit - f.withdrawal);
  SetField(r.account, f.account);
  SetField(r.accountName, f.name);
  r.floatProfit = money(f.floatProfit);
  r.deposit = money(f.deposit);
  r.withdrawal = money(f.withdrawal);
  return r;
}

StrategyOrderRecord MakeStrategyRecord(const exchange::StrategyOrder& s, const exchange::Catalogue& cat) {
  StrategyOrderRecord r = ZeroRecord<StrategyOrderRecord>();
  if (s.payload.size() == sizeof(StrategyOrderRequest)) {
    std::memcpy(&r.request, s.payload.data(), sizeof r.request);
    // The legs' handles as this catalogue gives them (a restart may number them anew).
    for (CombolLeg& leg : r.request.strategy.legs) {
      if (!leg.Used()) continue;
      leg.contract.key[sizeof leg.contract.key - 1] = '\0';
      const exchange::ContractId id = cat.Find(leg.contract.Key());
      leg.contract = ContractRecord(cat, id);
    }
  }
  SetField(r.key, Format("%08d-S%06d", s.tradingDay, s.sequence));
  r.unitsDone = s.unitsDone;
  r.state = s.state;
  SetField(r.errorText, s.errorText);
  r.insertTime = s.insertMs / 1000;
  return r;
}

}  // namespace tarn::tradeapi
