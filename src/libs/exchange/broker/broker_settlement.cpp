// The trading-day roll: the day's orders end, every position is marked to the day's settlement
// price (the profit goes into the next day's previous equity), today's lots become older lots
// held at the settlement price, lots of contracts that stop trading are delivered, and each
// account's statement of the day is kept.
#include <algorithm>
#include <cinttypes>

#include "libs/exchange/broker/broker.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

std::string ClockText(int64_t ms) {
  const int s = ExchangeSecondOfDay(ms);
  return Format("%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
}

const std::string& Rule() {
  static const std::string line(78, '-');
  return line;
}

}  // namespace

void Broker::RollTo(int32_t newDay) {
  for (int guard = 0; day_ < newDay && guard < 4000; ++guard) {
    int32_t next = market_.NextTradingDay(day_);
    if (next <= day_) break;
    if (next > newDay) next = newDay;
    SettleDay(day_, next);
  }
}

void Broker::SettleDay(int32_t day, int32_t nextDay) {
  // The statements of an earlier roll are in the store by now; keep those of this one at hand
  // until they are.
  if (store_ && !changes_.HasStatements()) {
    if (journal_->Written() >= statementsSeq_) statements_.clear();
  }
  // Strategy orders run for their day: they end before their leg orders do.
  runs_.clear();
  for (auto& book : books_)
    if (book) book->strategies.clear();
  // The day's orders end; condition orders for the day and of contracts that stop trading too.
  for (Account& acc : ledger_.accounts) {
    const std::vector<uint64_t> ids = acc.orders;
    for (uint64_t id : ids) {
      Order& o = orders_[id];
      if (!o.condition && o.state >= 0 && o.state <= kStPartFilled) {
        FinishOrder(o, o.filled > 0 ? kStPartCancelled : kStCancelled);
      } else if (o.condition && o.state == kStWaiting &&
                 (!o.longTerm || o.contract == kNoContract || !market_.Tradable(o.contract, nextDay))) {
        SetField(o.errorText, TXT("已过期"));
        FinishOrder(o, kStWithdrawn);
      }
    }
  }
  std::map<ContractId, int32_t> prices;
  for (Account& acc : ledger_.accounts)
    for (const auto& [key, side] : acc.sides) {
      const ContractId c = SideContract(key);
      if (prices.count(c)) continue;
      int32_t ticks = 0;
      prices[c] = market_.Settlement(c, day, ticks) ? ticks : LastPrice(c, &side);
    }
  for (AccountIndex a = 0; a < ledger_.accounts.size(); ++a) {
    Account& acc = ledger_.accounts[a];
    std::string text = Statement(a, day, true, &prices);
    Money realized = 0;
    std::vector<uint64_t> delivered;
    for (auto& [key, side] : acc.sides) {
      const ContractId c = SideContract(key);
      const int32_t S = prices[c];
      const ContractTerms& t = Terms(c);
      const int64_t sign = SideOf(key) == 1 ? 1 : -1;
      realized += t.Profit(sign * (static_cast<int64_t>(S) * side.quantity - side.holdValue));
      side.holdValue = 0;
      side.margin = 0;
      for (Lot& lot : side.lots) {
        lot.hold = S;
        lot.today = false;
        lot.reserved = 0;
        lot.margin = t.Margin(S, lot.quantity);
        side.holdValue += static_cast<int64_t>(S) * lot.quantity;
        side.margin += lot.margin;
        DirtyLot(a, key, lot.id);
      }
      side.today = 0;
      side.reservedAll = side.reservedOld = side.reservedToday = 0;
      if (!market_.Tradable(c, nextDay)) delivered.push_back(key);
    }
    acc.margin = 0;
    for (const auto& [key, side] : acc.sides) acc.margin += side.margin;
    // A contract that stops trading is delivered at its final settlement, where it is held now.
    for (uint64_t key : delivered) RemoveEmptySide(a, key);
    acc.preBalance = acc.preBalance + acc.deposit - acc.withdrawal + acc.closeProfit + realized - acc.fee;
    acc.deposit = acc.withdrawal = acc.closeProfit = acc.fee = 0;
    acc.fills.clear();
    std::vector<uint64_t> kept;
    for (uint64_t id : acc.orders)
      if (orders_[id].condition && orders_[id].state == kStWaiting) kept.push_back(id);
    acc.orders.swap(kept);
    acc.strategies.clear();
    acc.start.clear();
    for (const auto& [key, side] : acc.sides) acc.start[key] = side.quantity;
    DirtyAccount(a);
    changes_.Starts(a);
    statements_[{a, day}] = text;
    changes_.NewStatement(a, day, std::move(text));
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Refresh;
    pending_.back().account = a;
  }
  for (auto it = orders_.begin(); it != orders_.end();) {
    if (it->second.condition && it->second.state == kStWaiting) {
      ++it;
      continue;
    }
    byKey_.erase(KeyCode(it->second.tradingDay, it->second.sequence));
    it = orders_.erase(it);
  }
  day_ = nextDay;
  orderSeq_ = fillSeq_ = strategySeq_ = 0;
  changes_.Day();
  for (ContractId id = 0; id < books_.size(); ++id) {
    Book* b = books_[id].get();
    if (!b || !b->watched || !b->bids.empty() || !b->asks.empty() || !b->conditions.empty() || !b->holders.empty())
      continue;
    b->watched = false;
    interest_[id].store(false);
    market_.Watch(id, false);
  }
}

std::string Broker::Statement(AccountIndex a, int32_t day, bool settled, const std::map<ContractId, int32_t>* prices) {
  const Account& acc = ledger_.accounts[a];
  const Catalogue& cat = market_.GetCatalogue();
  auto priceText = [&](ContractId c, int64_t ticks, int64_t lots) {
    const CommoditySpec& commodity = cat.CommodityOf(c).spec;
    const double p = lots > 0 ? static_cast<double>(ticks) / static_cast<double>(lots) * commodity.tick : 0.0;
    return Format("%.*f", commodity.decimals + (lots > 1 ? 2 : 0), p);
  };
  auto priceOf = [&](ContractId c, const Side& s) {
    if (prices) {
      auto it = prices->find(c);
      if (it != prices->end()) return it->second;
    }
    return LastPrice(c, &s);
  };
  Money positionProfit = 0, margin = 0;
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t p = priceOf(c, side);
    positionProfit += SideProfit(side, key, p, false);
    for (const Lot& lot : side.lots) margin += settled ? Terms(c).Margin(p, lot.quantity) : lot.margin;
  }
  const Money frozen = settled ? 0 : acc.frozenMargin + acc.frozenFee;
  const Money equity = acc.preBalance + acc.deposit - acc.withdrawal + acc.closeProfit + positionProfit - acc.fee;
  const Money available = equity - margin - frozen;
  std::string t;
  t += Format(TXT("%28s交易结算单\n"), "");
  t += Format(TXT("账户: %s    户名: %s    交易日: %08d    币种: %s\n"), acc.id, acc.name, day, acc.currency);
  if (settled)
    t += TXT("状态: 已结算(持仓按当日结算价盯市)\n");
  else
    t += Format(TXT("状态: 当日未结算, 数据截至 %s(持仓按最新价盯市)\n"), ClockText(Now()));
  t += Rule() + "\n";
  t += TXT("资金状况\n");
  t += Format(TXT("  上日结存: %16s      当日出入金: %16s\n"), MoneyText(acc.preBalance), MoneyText(acc.deposit - acc.withdrawal));
  t += Format(TXT("  平仓盈亏: %16s    持仓盯市盈亏: %16s\n"), MoneyText(acc.closeProfit), MoneyText(positionProfit));
  t += Format(TXT("    手续费: %16s        当日结存: %16s\n"), MoneyText(acc.fee), MoneyText(equity));
  t += Format(TXT("保证金占用: %16s        可用资金: %16s\n"), MoneyText(margin), MoneyText(available));
  if (frozen != 0) t += Format(TXT("  下单冻结: %16s\n"), MoneyText(frozen));
  t += Format(TXT("    风险度: %15.2f%%\n"), equity > 0 ? static_cast<double>(margin) * 100.0 / static_cast<double>(equity) : 0.0);
  t += Rule() + "\n";
  t += TXT("成交明细\n");
  t += Format(TXT("%-10s%-14s%-6s%-6s%12s%6s%12s%14s  %s\n"), TXT("成交时间"), TXT("合约"), TXT("买卖"), TXT("开平"),
              TXT("成交价"), TXT("手数"), TXT("手续费"), TXT("平仓盈亏"), TXT("成交号"));
  for (const Fill& f : acc.fills) {
    const std::string& dirText = f.direction == 1 ? TXT("买") : TXT("卖");
    const std::string& offText = f.offset == kOffOpen ? TXT("开") : f.offset == kOffCloseToday ? TXT("平今") : TXT("平");
    const std::string code = f.contract < cat.Size() ? cat.ContractAt(f.contract).code : std::string("?");
    t += Format("%-10s%-14s%-6s%-6s%12s%6d%12s%14s  %s\n", ClockText(f.timeMs), code, dirText, offText,
                f.contract < cat.Size() ? priceText(f.contract, f.price, 1) : std::string(), f.quantity,
                MoneyText(f.fee), MoneyText(f.closeProfit), std::string(Field(f.number)));
  }
  t += Format(TXT("  共%d笔\n"), static_cast<int>(acc.fills.size()));
  t += Rule() + "\n";
  t += TXT("持仓汇总\n");
  t += Format(TXT("%-14s%-6s%6s%6s%14s%14s%14s%14s%14s\n"), TXT("合约"), TXT("买卖"), TXT("手数"), TXT("今仓"),
              TXT("开仓均价"), TXT("持仓均价"), settled ? TXT("结算价") : TXT("最新价"), TXT("持仓盯市盈亏"), TXT("保证金"));
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t p = priceOf(c, side);
    Money m = 0;
    for (const Lot& lot : side.lots) m += settled ? Terms(c).Margin(p, lot.quantity) : lot.margin;
    t += Format("%-14s%-6s%6d%6d%14s%14s%14s%14s%14s\n", cat.ContractAt(c).code,
                SideOf(key) == 1 ? TXT("买") : TXT("卖"), side.quantity, side.today,
                priceText(c, side.openValue, side.quantity), priceText(c, side.holdValue, side.quantity),
                priceText(c, p, 1), MoneyText(SideProfit(side, key, p, false)), MoneyText(m));
    if (settled && !market_.Tradable(c, market_.NextTradingDay(day)))
      t += Format(TXT("  %s 到期, 按结算价交割\n"), cat.ContractAt(c).code);
  }
  t += Format(TXT("  共%d项\n"), static_cast<int>(acc.sides.size()));
  t += Rule() + "\n";
  return t;
}

}  // namespace tarn::exchange
