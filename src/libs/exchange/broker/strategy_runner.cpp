// The running strategy orders: triggers, batches of leg orders, chasing and loops, the end of a
// run, and the stored form of a run (the rules are described in strategy_runner.h).
#include "libs/exchange/broker/strategy_runner.h"

#include <algorithm>
#include <cmath>

#include "platform/archive.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

constexpr int32_t kRunVersion = 1;
constexpr int kMaxUnitLots = kMaxOrderLots;  // lots of one leg in one batch

// A leg order still in the book (leg orders are never condition orders).
bool LegWorking(const Order& o) { return !o.condition && o.state >= 0 && o.state <= kStPartFilled; }

}  // namespace

bool StrategyHolds(double value, int condition, double price) {
  // A small tolerance: a value computed from prices equal to the trigger may differ in its
  // last bits (1.1 - 1.0 is not 0.1).
  const double eps = 1e-9 * std::max(1.0, std::fabs(price));
  switch (condition) {
    case 1: return value >= price - eps;
    case 2: return value <= price + eps;
    case 3: return value > price + eps;
    case 4: return value < price - eps;
    default: return false;
  }
}

const std::string* CheckStrategyEntry(const StrategyEntry& e, const Catalogue& cat,
                                      const std::function<bool(ContractId)>& tradable, SpreadFormula& formula) {
  unsigned used = 0;
  int lots = 0;
  if (e.legCount < 2 || e.legCount > 4) return &TXT("策略至少需要2个合约");
  for (int i = 0; i < e.legCount; ++i) {
    const StrategyLegEntry& l = e.legs[i];
    if (l.contract >= cat.Size() || !tradable(l.contract)) return &TXT("合约不可交易");
    if ((l.direction != 1 && l.direction != 2) || l.offset < 0 || l.offset > 2 || l.lots < 0 ||
        l.lots > kMaxUnitLots || l.spreadTicks < -1000 || l.spreadTicks > 1000)
      return &TXT("策略腿无效");
    used |= 1u << i;
    lots += l.lots;
  }
  if (lots <= 0) return &TXT("策略腿无效");
  if (e.totalQuantity <= 0 || e.triggerQuantity <= 0 || e.triggerQuantity > e.totalQuantity)
    return &TXT("策略数量错误");
  if (e.triggerCondition < 1 || e.triggerCondition > 4 || e.loopCondition < 0 || e.loopCondition > 4 ||
      !std::isfinite(e.triggerPrice) || (e.loopCondition && !std::isfinite(e.loopPrice)))
    return &TXT("策略触发条件错误");
  if ((e.type != 1 && e.type != 2) || (e.orderSide != 1 && e.orderSide != 2)) return &TXT("策略参数错误");
  if (!formula.Parse(e.formula, used)) return &TXT("策略公式错误");
  for (int i = 0; i < e.legCount; ++i)
    if (static_cast<int64_t>(e.legs[i].lots) * e.triggerQuantity > kMaxUnitLots) return &TXT("策略数量错误");
  return nullptr;
}

// ---- the run ---------------------------------------------------------------------------------

void StrategyRunner::Start(StrategyRun value) {
  const uint64_t id = value.id;
  std::unique_ptr<StrategyRun>& slot = runs_[id];
  slot = std::make_unique<StrategyRun>(std::move(value));
  StrategyRun& run = *slot;
  for (int i = 0; i < run.spec.legCount; ++i) {
    const ContractId c = run.spec.legs[i].contract;
    run.tick[i] = catalogue_.CommodityOf(c).spec.tick;
    run.books[i] = &host_.LegBook(c);
    if (byContract_.size() <= c) byContract_.resize(c + 1);
    std::vector<StrategyRun*>& watching = byContract_[c];
    if (std::find(watching.begin(), watching.end(), &run) == watching.end()) watching.push_back(&run);
    for (uint64_t oid : run.sent[i]) host_.TagLegOrder(oid, id);
  }
  work_.push_back(id);  // leg orders may have changed while it was not watched
}

void StrategyRunner::TriggerIfDue(uint64_t id) {
  auto it = runs_.find(id);
  if (it == runs_.end()) return;
  StrategyRun& r = *it->second;
  double value = 0;
  if (TriggerValue(r, value) && StrategyHolds(value, r.spec.triggerCondition, r.spec.triggerPrice)) StartBatch(r);
}

void StrategyRunner::End(uint64_t id, char state, const std::string& text) {
  auto it = runs_.find(id);
  if (it != runs_.end()) EndRun(*it->second, state, text);
}

void StrategyRunner::Clear() {
  runs_.clear();
  byContract_.clear();
  work_.clear();
}

bool StrategyRunner::TriggerValue(const StrategyRun& run, double& value) const {
  const bool swap = (run.spec.orderSide == 2) != run.back;
  double prices[4] = {};
  for (int i = 0; i < run.spec.legCount; ++i) {
    const OrderBook* b = run.books[i];
    if (!b || !b->have) return false;
    const bool buy = (run.spec.legs[i].direction == 1) != swap;
    const int32_t p = buy ? b->snap.askPrice[0] : b->snap.bidPrice[0];
    if (p <= 0) return false;
    prices[i] = p * run.tick[i];
  }
  value = run.formula.Evaluate(prices);
  return std::isfinite(value);
}

void StrategyRunner::OnQuote(ContractId c, const OrderBook& b) {
  if (!Watches(c)) return;
  // Nothing here ends a run (what ends one waits for Work), so the list holds.
  const std::vector<StrategyRun*>& watching = byContract_[c];
  for (std::size_t k = 0; k < watching.size(); ++k) {
    StrategyRun& run = *watching[k];
    if (run.sending) {
      ChaseLegs(run, c, b);
      continue;
    }
    double value = 0;
    if (!TriggerValue(run, value)) continue;
    const int condition = run.back ? run.spec.loopCondition : run.spec.triggerCondition;
    const double price = run.back ? run.spec.loopPrice : run.spec.triggerPrice;
    if (StrategyHolds(value, condition, price)) StartBatch(run);
  }
}

void StrategyRunner::StartBatch(StrategyRun& run) {
  StrategyOrder* s = host_.FindStrategyOrder(run.account, run.id);
  if (!s) return;
  if (!run.back) run.units = std::min(run.spec.triggerQuantity, run.spec.totalQuantity - s->unitsDone);
  if (run.units <= 0) return;
  run.sending = true;
  for (int i = 0; i < run.spec.legCount; ++i) {
    run.target[i] = run.spec.legs[i].lots * run.units;
    run.started[i] = false;
    run.sent[i].clear();
  }
  // Type 2 leads with the first leg that trades; type 1 sends all.
  for (int i = 0; i < run.spec.legCount; ++i) {
    if (run.target[i] <= 0) continue;
    SendLeg(run, i, run.target[i]);
    if (run.spec.type == 2) break;
  }
  SaveRun(run);
  work_.push_back(run.id);
}

void StrategyRunner::SendLeg(StrategyRun& run, int leg, int32_t lots) {
  const StrategyLegEntry& l = run.spec.legs[leg];
  const bool swap = (run.spec.orderSide == 2) != run.back;
  const int direction = (l.direction == 1) != swap ? 1 : 2;
  const Snapshot& snap = host_.LegBook(l.contract).snap;
  int64_t price = direction == 1 ? snap.askPrice[0] : snap.bidPrice[0];
  if (price <= 0) price = snap.last;
  price += direction == 1 ? l.spreadTicks : -l.spreadTicks;
  if (snap.upper > 0) price = std::clamp<int64_t>(price, snap.lower, snap.upper);

  const LedgerAccount& acc = host_.RunAccount(run.account);
  OrderEntry entry;
  entry.account = acc.id;
  entry.contract = l.contract;
  entry.direction = direction;
  entry.price = price;
  entry.quantity = lots;
  // The offset: as the leg says; automatic closes what the account holds against the leg when
  // that covers the lots (a loop order's way back always does), else opens.
  auto side = acc.sides.find(SideKey(l.contract, direction == 1 ? 2 : 1));
  const int32_t closable = side == acc.sides.end() ? 0 : side->second.quantity - side->second.reservedAll;
  const int offset = l.offset == 1 ? kOffOpen : l.offset == 2 ? kOffClose : closable >= lots ? kOffClose : kOffOpen;
  std::vector<OrderEntry> sends;
  if (offset == kOffClose && host_.LegCloseToday(l.contract) && side != acc.sides.end()) {
    const Side& sd = side->second;
    const int32_t old = std::max(0, (sd.quantity - sd.today) - sd.reservedOld);
    const int32_t first = std::min(lots, old);
    OrderEntry part = entry;
    if (first > 0) {
      part.quantity = first;
      part.offset = kOffClose;
      sends.push_back(part);
    }
    if (lots - first > 0) {
      part.quantity = lots - first;
      part.offset = kOffCloseToday;
      sends.push_back(part);
    }
  } else {
    entry.offset = offset;
    sends.push_back(entry);
  }
  run.started[leg] = true;
  for (const OrderEntry& e : sends)
    if (const uint64_t id = host_.SendLegOrder(e, run.account, run.id)) run.sent[leg].push_back(id);
}

void StrategyRunner::ChaseLegs(StrategyRun& run, ContractId c, const OrderBook& b) {
  const bool swap = (run.spec.orderSide == 2) != run.back;
  for (int i = 0; i < run.spec.legCount; ++i) {
    const StrategyLegEntry& l = run.spec.legs[i];
    if (!l.chase || l.contract != c || !run.started[i]) continue;
    const bool buy = (l.direction == 1) != swap;
    int64_t best = buy ? b.snap.askPrice[0] : b.snap.bidPrice[0];
    if (best <= 0) continue;
    best += buy ? l.spreadTicks : -l.spreadTicks;
    if (b.snap.upper > 0) best = std::clamp<int64_t>(best, b.snap.lower, b.snap.upper);
    for (uint64_t id : run.sent[i]) {
      const Order* o = host_.LegOrder(id);
      if (!o || !LegWorking(*o) || o->price == best) continue;
      // Cancelled here, sent again for what is left by Advance at the end of the step.
      host_.CancelLegOrder(id);
    }
  }
}

void StrategyRunner::Work() {
  // A leg order that fills at once when sent wakes its strategy again; a few rounds settle it.
  for (int round = 0; round < 16 && !work_.empty(); ++round) {
    std::vector<uint64_t> work;
    work.swap(work_);
    std::sort(work.begin(), work.end());
    work.erase(std::unique(work.begin(), work.end()), work.end());
    for (uint64_t id : work) Advance(id);
  }
  // What is left (a chase that keeps filling in part) is looked at after the next step.
}

void StrategyRunner::Advance(uint64_t id) {
  auto it = runs_.find(id);
  if (it == runs_.end()) return;
  StrategyRun& run = *it->second;
  if (!run.sending) return;
  auto filledOf = [&](int leg) {
    int32_t filled = 0;
    for (uint64_t oid : run.sent[leg])
      if (const Order* o = host_.LegOrder(oid)) filled += o->filled;
    return filled;
  };
  bool changed = false;
  bool complete = true;
  for (int i = 0; i < run.spec.legCount; ++i) {
    if (run.target[i] <= 0) continue;
    if (!run.started[i]) {
      complete = false;
      continue;
    }
    int32_t filled = 0;
    bool working = false;
    const Order* last = nullptr;
    for (uint64_t oid : run.sent[i]) {
      const Order* o = host_.LegOrder(oid);
      if (!o) continue;
      filled += o->filled;
      working = working || LegWorking(*o);
      last = o;
    }
    if (filled >= run.target[i]) continue;
    complete = false;
    if (working) continue;
    const char letter = static_cast<char>('A' + i);
    if (!last || last->state == kStFailed) {
      EndRun(run, '3', Format(TXT("%c腿:%s"), letter, last ? std::string(Field(last->errorText)) : TXT("委托失败")));
      return;
    }
    if (!run.spec.legs[i].chase) {
      EndRun(run, '3', Format(TXT("%c腿委托已撤"), letter));
      return;
    }
    SendLeg(run, i, run.target[i] - filled);
    changed = true;
  }
  if (!complete) {
    // Type 2: the other legs go once the leading one is filled.
    int lead = -1;
    for (int i = 0; i < run.spec.legCount && lead < 0; ++i)
      if (run.target[i] > 0) lead = i;
    const bool leadDone = lead >= 0 && run.started[lead] && filledOf(lead) >= run.target[lead];
    if (leadDone)
      for (int i = 0; i < run.spec.legCount; ++i)
        if (run.target[i] > 0 && !run.started[i]) {
          SendLeg(run, i, run.target[i]);
          changed = true;
        }
    if (changed) SaveRun(run);
    return;
  }
  // Every leg of the batch is filled.
  StrategyOrder* s = host_.FindStrategyOrder(run.account, run.id);
  if (!s) return;
  run.sending = false;
  for (auto& v : run.sent) v.clear();
  if (run.spec.loopCondition != 0 && !run.back) {
    run.back = true;
  } else {
    run.back = false;
    s->unitsDone += run.units;
    run.units = 0;
  }
  if (s->unitsDone >= run.spec.totalQuantity) {
    EndRun(run, '4', "");
    return;
  }
  SaveRun(run);
}

void StrategyRunner::EndRun(StrategyRun& run, char state, const std::string& text) {
  const uint64_t id = run.id;
  const AccountIndex a = run.account;
  for (auto& sent : run.sent)
    for (uint64_t oid : sent) {
      const Order* o = host_.LegOrder(oid);
      if (!o) continue;
      host_.TagLegOrder(oid, 0);  // no longer wakes anything
      if (LegWorking(*o)) host_.CancelLegOrder(oid);
    }
  for (int i = 0; i < run.spec.legCount; ++i) {
    const ContractId c = run.spec.legs[i].contract;
    if (c >= byContract_.size()) continue;
    std::vector<StrategyRun*>& watching = byContract_[c];
    watching.erase(std::remove(watching.begin(), watching.end(), &run), watching.end());
  }
  if (StrategyOrder* s = host_.FindStrategyOrder(a, id)) {
    s->state = state;
    s->errorText = text;
    run.sending = false;
    Encode(run, *s);
    host_.StrategyChanged(a, id);
  }
  runs_.erase(id);  // `run` is gone from here on
}

void StrategyRunner::SaveRun(StrategyRun& run) {
  StrategyOrder* s = host_.FindStrategyOrder(run.account, run.id);
  if (!s) return;
  Encode(run, *s);
  host_.StrategyChanged(run.account, run.id);
}

// ---- the stored form -------------------------------------------------------------------------
// version; leg count; per leg: contract key, direction, offset, lots, spread, chase; formula;
// order side, type, total, per trigger, trigger price and condition, loop price and condition;
// back, sending, units; per leg: target, started, the orders sent (count, ids).

void StrategyRunner::Encode(const StrategyRun& run, StrategyOrder& s) const {
  ArchiveWriter w;
  const StrategyEntry& e = run.spec;
  w.Int32(kRunVersion);
  w.Int32(e.legCount);
  for (int i = 0; i < e.legCount; ++i) {
    const StrategyLegEntry& l = e.legs[i];
    w.String(catalogue_.KeyOf(l.contract));
    w.Int32(l.direction);
    w.Int32(l.offset);
    w.Int32(l.lots);
    w.Int32(l.spreadTicks);
    w.Bool(l.chase);
  }
  w.String(e.formula);
  w.Int32(e.orderSide);
  w.Int32(e.type);
  w.Int32(e.totalQuantity);
  w.Int32(e.triggerQuantity);
  w.Double(e.triggerPrice);
  w.Int32(e.triggerCondition);
  w.Double(e.loopPrice);
  w.Int32(e.loopCondition);
  w.Bool(run.back);
  w.Bool(run.sending);
  w.Int32(run.units);
  for (int i = 0; i < e.legCount; ++i) {
    w.Int32(run.target[i]);
    w.Bool(run.started[i]);
    w.Int32(static_cast<int32_t>(run.sent[i].size()));
    for (uint64_t id : run.sent[i]) w.Int64(static_cast<int64_t>(id));
  }
  s.run = w.Take();
}

bool StrategyRunner::Decode(const StrategyOrder& s, StrategyRun& run) const {
  ArchiveReader r(s.run);
  StrategyEntry& e = run.spec;
  int32_t version = 0, count = 0;
  if (!r.Int32(version) || version != kRunVersion || !r.Int32(count) || count < 2 || count > 4) return false;
  e.legCount = count;
  unsigned used = 0;
  for (int i = 0; i < count; ++i) {
    StrategyLegEntry& l = e.legs[i];
    std::string key;
    int32_t dir = 0, offset = 0, lots = 0, spread = 0;
    if (!r.String(key) || !r.Int32(dir) || !r.Int32(offset) || !r.Int32(lots) || !r.Int32(spread) || !r.Bool(l.chase))
      return false;
    l.contract = catalogue_.Find(key);
    if (l.contract == kNoContract || (dir != 1 && dir != 2) || offset < 0 || offset > 2 || lots < 0 ||
        lots > kMaxUnitLots || spread < -1000 || spread > 1000)
      return false;
    l.direction = dir;
    l.offset = offset;
    l.lots = lots;
    l.spreadTicks = spread;
    used |= 1u << i;
  }
  int32_t side = 0, type = 0, total = 0, per = 0, cond = 0, loopCond = 0, units = 0;
  if (!r.String(e.formula) || !r.Int32(side) || !r.Int32(type) || !r.Int32(total) || !r.Int32(per) ||
      !r.Double(e.triggerPrice) || !r.Int32(cond) || !r.Double(e.loopPrice) || !r.Int32(loopCond) ||
      !r.Bool(run.back) || !r.Bool(run.sending) || !r.Int32(units))
    return false;
  if ((side != 1 && side != 2) || (type != 1 && type != 2) || total <= 0 || per <= 0 || per > total || cond < 1 ||
      cond > 4 || loopCond < 0 || loopCond > 4 || units < 0 || units > per || !std::isfinite(e.triggerPrice) ||
      !std::isfinite(e.loopPrice) || !run.formula.Parse(e.formula, used))
    return false;
  e.orderSide = side;
  e.type = type;
  e.totalQuantity = total;
  e.triggerQuantity = per;
  e.triggerCondition = cond;
  e.loopCondition = loopCond;
  run.units = units;
  for (int i = 0; i < count; ++i) {
    int32_t target = 0, n = 0;
    if (!r.Int32(target) || !r.Bool(run.started[i]) || !r.Count(n, 8)) return false;
    if (target < 0 || target > static_cast<int64_t>(e.legs[i].lots) * per) return false;
    run.target[i] = target;
    for (int32_t k = 0; k < n; ++k) {
      int64_t id = 0;
      if (!r.Int64(id)) return false;
      run.sent[i].push_back(static_cast<uint64_t>(id));
    }
  }
  run.id = s.id;
  run.account = s.account;
  return true;
}

}  // namespace tarn::exchange
