#include "libs/net/protocol.h"

#include <algorithm>

namespace tarn::net {

using namespace tarn::exchange;

namespace {
constexpr std::size_t kMaxText = 64 * 1024;
constexpr uint32_t kMaxAccounts = 256;

uint32_t Mix(uint32_t h, std::size_t v) { return (h ^ static_cast<uint32_t>(v)) * 16777619u; }
}  // namespace

uint32_t RecordLayout() {
  uint32_t h = 2166136261u;
  for (std::size_t v : {sizeof(Order), sizeof(Fill), sizeof(PositionView), sizeof(LotView), sizeof(Snapshot),
                        sizeof(Bar), sizeof(Tick), sizeof(MarketEvent), sizeof(StrategyLegEntry), alignof(Order),
                        offsetof(Order, state), offsetof(Fill, price), offsetof(Snapshot, bidPrice)})
    h = Mix(h, v);
  return h;
}

std::string Encode(const HelloMsg& m) {
  ByteWriter w;
  w.U32(m.magic);
  w.U16(m.version);
  w.U32(m.layout);
  return std::move(w.Bytes());
}
bool Decode(std::string_view in, HelloMsg& m) {
  ByteReader r(in);
  m.magic = r.U32();
  m.version = r.U16();
  m.layout = r.U32();
  return r.Done();
}

std::string Encode(const LoginMsg& m) {
  ByteWriter w;
  w.U8(static_cast<uint8_t>(m.kind));
  w.Str(m.user);
  w.Str(m.password);
  return std::move(w.Bytes());
}
bool Decode(std::string_view in, LoginMsg& m) {
  ByteReader r(in);
  const uint8_t kind = r.U8();
  m.user = r.Str(256);
  m.password = r.Str(256);
  if (kind != 1 && kind != 2) return false;
  m.kind = static_cast<LinkKind>(kind);
  return r.Done();
}

std::string Encode(const LoginOkMsg& m) {
  ByteWriter w;
  w.U32(static_cast<uint32_t>(m.accounts.size()));
  for (const std::string& a : m.accounts) w.Str(a);
  w.Bool(m.realSessions);
  w.I64(m.listDay);
  w.PodList(m.indexes);
  return std::move(w.Bytes());
}
bool Decode(std::string_view in, LoginOkMsg& m) {
  ByteReader r(in);
  const uint32_t n = r.Count(4);
  if (n > kMaxAccounts) return false;
  m.accounts.clear();
  for (uint32_t i = 0; i < n && r.Ok(); ++i) m.accounts.push_back(r.Str(256));
  m.realSessions = r.Bool();
  m.listDay = r.I64();
  r.PodList(m.indexes);
  return r.Done() && m.indexes.size() == m.accounts.size();
}

std::string Encode(const RefusedMsg& m) {
  ByteWriter w;
  w.Str(m.text);
  w.U32(m.retryAfterMs);
  return std::move(w.Bytes());
}
bool Decode(std::string_view in, RefusedMsg& m) {
  ByteReader r(in);
  m.text = r.Str(kMaxText);
  m.retryAfterMs = r.U32();
  return r.Done();
}

void Write(ByteWriter& w, const OrderEntry& e) {
  w.Str(e.account);
  w.U32(e.contract);
  w.I32(e.direction);
  w.I32(e.offset);
  w.Bool(e.market);
  w.I64(e.price);
  w.Bool(e.priceOnTick);
  w.I32(e.quantity);
  w.Str(e.positionNumber);
  w.U64(e.clientRef);
}
bool Read(ByteReader& r, OrderEntry& e) {
  e.account = r.Str(256);
  e.contract = r.U32();
  e.direction = r.I32();
  e.offset = r.I32();
  e.market = r.Bool();
  e.price = r.I64();
  e.priceOnTick = r.Bool();
  e.quantity = r.I32();
  e.positionNumber = r.Str(256);
  e.clientRef = r.U64();
  return r.Ok();
}

void Write(ByteWriter& w, const ConditionEntry& e) {
  w.Str(e.account);
  w.U32(e.contract);
  w.I32(e.direction);
  w.I32(e.offset);
  w.I32(e.triggerBasis);
  w.I32(e.kind);
  w.I64(e.trigger);
  w.I32(e.quantity);
  w.I32(e.sendMode);
  w.I64(e.sendPrice);
  w.Bool(e.sendPriceOnTick);
  w.I32(e.ticks);
  w.Str(e.positionNumber);
  w.Bool(e.longTerm);
  w.U64(e.clientRef);
}
bool Read(ByteReader& r, ConditionEntry& e) {
  e.account = r.Str(256);
  e.contract = r.U32();
  e.direction = r.I32();
  e.offset = r.I32();
  e.triggerBasis = r.I32();
  e.kind = r.I32();
  e.trigger = r.I64();
  e.quantity = r.I32();
  e.sendMode = r.I32();
  e.sendPrice = r.I64();
  e.sendPriceOnTick = r.Bool();
  e.ticks = r.I32();
  e.positionNumber = r.Str(256);
  e.longTerm = r.Bool();
  e.clientRef = r.U64();
  return r.Ok();
}

void Write(ByteWriter& w, const StrategyEntry& e) {
  w.Str(e.account);
  for (const StrategyLegEntry& leg : e.legs) {
    w.U32(leg.contract);
    w.I32(leg.direction);
    w.I32(leg.offset);
    w.I32(leg.lots);
    w.I32(leg.spreadTicks);
    w.Bool(leg.chase);
  }
  w.I32(e.legCount);
  w.Str(e.formula);
  w.I32(e.orderSide);
  w.I32(e.type);
  w.I32(e.totalQuantity);
  w.I32(e.triggerQuantity);
  w.F64(e.triggerPrice);
  w.I32(e.triggerCondition);
  w.F64(e.loopPrice);
  w.I32(e.loopCondition);
  w.Str(e.payload);
}
bool Read(ByteReader& r, StrategyEntry& e) {
  e.account = r.Str(256);
  for (StrategyLegEntry& leg : e.legs) {
    leg.contract = r.U32();
    leg.direction = r.I32();
    leg.offset = r.I32();
    leg.lots = r.I32();
    leg.spreadTicks = r.I32();
    leg.chase = r.Bool();
  }
  e.legCount = r.I32();
  e.formula = r.Str(kMaxText);
  e.orderSide = r.I32();
  e.type = r.I32();
  e.totalQuantity = r.I32();
  e.triggerQuantity = r.I32();
  e.triggerPrice = r.F64();
  e.triggerCondition = r.I32();
  e.loopPrice = r.F64();
  e.loopCondition = r.I32();
  e.payload = r.Str(kMaxText);
  return r.Ok() && e.legCount >= 0 && e.legCount <= 4;
}

void Write(ByteWriter& w, const FundsView& f) {
  w.Str(f.account);
  w.Str(f.name);
  w.Str(f.currency);
  for (Money m : {f.preBalance, f.deposit, f.withdrawal, f.closeProfit, f.fee, f.positionProfit, f.floatProfit,
                  f.margin, f.frozenMargin, f.frozenFee, f.credit})
    w.I64(m);
}
bool Read(ByteReader& r, FundsView& f) {
  f.account = r.Str(256);
  f.name = r.Str(256);
  f.currency = r.Str(256);
  for (Money* m : {&f.preBalance, &f.deposit, &f.withdrawal, &f.closeProfit, &f.fee, &f.positionProfit,
                   &f.floatProfit, &f.margin, &f.frozenMargin, &f.frozenFee, &f.credit})
    *m = r.I64();
  return r.Ok();
}

void Write(ByteWriter& w, const StrategyOrder& s) {
  w.U64(s.id);
  w.I32(s.tradingDay);
  w.I32(s.sequence);
  w.U32(s.account);
  w.U8(static_cast<uint8_t>(s.state));
  w.I32(s.unitsDone);
  w.Str(s.payload);
  w.Str(s.errorText);
  w.I64(s.insertMs);
  w.Str(s.run);
}
bool Read(ByteReader& r, StrategyOrder& s) {
  s.id = r.U64();
  s.tradingDay = r.I32();
  s.sequence = r.I32();
  s.account = r.U32();
  s.state = static_cast<char>(r.U8());
  s.unitsDone = r.I32();
  s.payload = r.Str(kMaxText);
  s.errorText = r.Str(kMaxText);
  s.insertMs = r.I64();
  s.run = r.Str(kMaxText);
  return r.Ok();
}

void Write(ByteWriter& w, const ContractTerms& t) {
  w.I64(t.tickValue);
  w.I32(t.marginPpm);
  w.I32(t.openFeePpm);
  w.I32(t.closeFeePpm);
  w.I32(t.todayFeePpm);
  w.I64(t.openFeeLot);
  w.I64(t.closeFeeLot);
  w.I64(t.todayFeeLot);
  w.I64(t.rateMicro);
  w.Bool(t.closeToday);
  w.Bool(t.perLotFee);
  w.Str(t.currency);
}
bool Read(ByteReader& r, ContractTerms& t) {
  t.tickValue = r.I64();
  t.marginPpm = r.I32();
  t.openFeePpm = r.I32();
  t.closeFeePpm = r.I32();
  t.todayFeePpm = r.I32();
  t.openFeeLot = r.I64();
  t.closeFeeLot = r.I64();
  t.todayFeeLot = r.I64();
  t.rateMicro = r.I64();
  t.closeToday = r.Bool();
  t.perLotFee = r.Bool();
  t.currency = r.Str(256);
  return r.Ok();
}

namespace {

void WriteEvent(ByteWriter& w, const BrokerEvent& e, bool complete) {
  w.U8(static_cast<uint8_t>(e.type));
  w.U32(e.account);
  w.Bool(complete);
  // Only what the type carries goes out.
  if (e.type == BrokerEventType::Order) w.Pod(e.order);
  if (e.type == BrokerEventType::Fill) w.Pod(e.fill);
  if (e.type == BrokerEventType::Text) w.Str(e.text);
}

bool IsStateEvent(BrokerEventType t) {
  return t == BrokerEventType::Positions || t == BrokerEventType::Funds || t == BrokerEventType::Strategy;
}

}  // namespace

void Write(ByteWriter& w, const std::vector<BrokerEvent>& events) {
  w.U32(static_cast<uint32_t>(events.size()));
  for (const BrokerEvent& e : events) WriteEvent(w, e, e.complete);
}

uint32_t WriteCoalesced(ByteWriter& w, const std::vector<BrokerEvent>& events) {
  // From the back: the first state event of a kind and account met is the one kept; those before
  // it fold their `complete` into it. A batch names few accounts, so the keys are a short list.
  enum : uint8_t { kDrop, kKeep, kKeepComplete };
  struct Key {
    BrokerEventType type;
    exchange::AccountIndex account;
    std::size_t kept;
  };
  std::vector<Key> keys;
  std::vector<uint8_t> fate(events.size());
  uint32_t count = 0;
  for (std::size_t i = events.size(); i-- > 0;) {
    const BrokerEvent& e = events[i];
    fate[i] = e.complete ? kKeepComplete : kKeep;
    if (!IsStateEvent(e.type)) {
      ++count;
      continue;
    }
    auto k = std::find_if(keys.begin(), keys.end(), [&](const Key& k) { return k.type == e.type && k.account == e.account; });
    if (k == keys.end()) {
      keys.push_back({e.type, e.account, i});
      ++count;
      continue;
    }
    fate[i] = kDrop;
    if (e.complete) fate[k->kept] = kKeepComplete;
  }
  w.U32(count);
  for (std::size_t i = 0; i < events.size(); ++i)
    if (fate[i] != kDrop) WriteEvent(w, events[i], fate[i] == kKeepComplete);
  return count;
}
bool Read(ByteReader& r, std::vector<BrokerEvent>& events) {
  const uint32_t n = r.Count(6);
  events.clear();
  for (uint32_t i = 0; i < n && r.Ok(); ++i) {
    BrokerEvent e;
    const uint8_t type = r.U8();
    if (type > static_cast<uint8_t>(BrokerEventType::Refresh)) return false;
    e.type = static_cast<BrokerEventType>(type);
    e.account = r.U32();
    e.complete = r.Bool();
    if (e.type == BrokerEventType::Order) e.order = r.Pod<Order>();
    if (e.type == BrokerEventType::Fill) e.fill = r.Pod<Fill>();
    if (e.type == BrokerEventType::Text) e.text = r.Str(kMaxText);
    events.push_back(std::move(e));
  }
  return r.Ok();
}

void Write(ByteWriter& w, const std::vector<MarketEvent>& events) {
  w.U32(static_cast<uint32_t>(events.size()));
  for (const MarketEvent& e : events) {
    w.U8(static_cast<uint8_t>(e.type));
    w.U32(e.id);
    w.Pod(e.snap);
  }
}
bool Read(ByteReader& r, std::vector<MarketEvent>& events) {
  const uint32_t n = r.Count(5 + sizeof(Snapshot));
  events.clear();
  events.reserve(n);
  for (uint32_t i = 0; i < n && r.Ok(); ++i) {
    MarketEvent e;
    const uint8_t type = r.U8();
    if (type > static_cast<uint8_t>(EventType::ContractReset)) return false;
    e.type = static_cast<EventType>(type);
    e.id = r.U32();
    e.snap = r.Pod<Snapshot>();
    events.push_back(e);
  }
  return r.Ok();
}

}  // namespace tarn::net
