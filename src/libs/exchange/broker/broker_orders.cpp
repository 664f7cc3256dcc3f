// Orders: checks, frozen money and reserved lots, matching against the market's book and the
// paper orders, the booking of fills into lots and funds, and condition orders. Strategy orders
// are in broker_strategies.cpp.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "libs/exchange/broker/broker.h"
#include "libs/exchange/broker/condition_orders.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

int8_t Small(int v) { return v < 0 || v > 100 ? static_cast<int8_t>(-1) : static_cast<int8_t>(v); }
int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN + 1, INT32_MAX - 1)); }

}  // namespace

// ---- operations ------------------------------------------------------------------------------

int Broker::InsertOrder(const OrderEntry& entry) { return PlaceOrder(entry).sequence; }

int Broker::InsertCondition(const ConditionEntry& entry) { return PlaceCondition(entry).sequence; }

OrderReceipt Broker::PlaceOrder(const OrderEntry& entry) {
  OrderReceipt receipt;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(entry.account);
    if (a == kNoAccount) return receipt;
    if (entry.clientRef && FindRepeat(a, entry.clientRef, receipt)) return receipt;
    receipt.sequence = DoInsertOrder(entry, a);
    Finish();
    receipt.order = orders_[byKey_[KeyCode(day_, receipt.sequence)]];
  }
  Deliver();
  return receipt;
}

OrderReceipt Broker::PlaceCondition(const ConditionEntry& entry) {
  OrderReceipt receipt;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(entry.account);
    if (a == kNoAccount) return receipt;
    if (entry.clientRef && FindRepeat(a, entry.clientRef, receipt)) return receipt;
    receipt.sequence = DoInsertCondition(entry, a);
    Finish();
    receipt.order = orders_[byKey_[KeyCode(day_, receipt.sequence)]];
  }
  Deliver();
  return receipt;
}

bool Broker::FindRepeat(AccountIndex a, uint64_t ref, OrderReceipt& receipt) {
  const auto it = ledger_.accounts[a].refs.find(ref);
  if (it == ledger_.accounts[a].refs.end()) return false;
  const RefEntry& r = it->second;
  receipt.repeat = true;
  receipt.sequence = r.sequence;
  if (auto o = orders_.find(r.orderId); o != orders_.end()) {
    receipt.order = o->second;
    return true;
  }
  // An order of an earlier day: the store has it as it ended.
  BrokerStore::OrderRow row;
  Order& o = receipt.order;
  if (store_ && store_->GetOrder(r.orderId, row)) {
    o = row.order;
    o.contract = row.contract.empty() ? kNoContract : market_.GetCatalogue().Find(row.contract);
  } else {
    o.id = r.orderId;
    o.tradingDay = r.day;
    o.sequence = r.sequence;
  }
  o.account = a;
  o.clientRef = ref;
  std::snprintf(o.key, sizeof o.key, "%08d-%08d", o.tradingDay, o.sequence);
  return true;
}

void Broker::NoteRef(Order& o, uint64_t ref) {
  o.clientRef = ref;
  ledger_.accounts[o.account].refs[ref] = RefEntry{o.id, o.tradingDay, o.sequence};
  changes_.NewRef({ledger_.accounts[o.account].id, ref, o.id, o.tradingDay, o.sequence});
}

int Broker::CancelOrder(const std::string& account, std::string_view key, std::string* error) {
  int code = 0;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(account);
    Order* o = a == kNoAccount ? nullptr : FindOrder(a, key);
    if (!o) {
      code = kErrUnknownOrder;
    } else if (!Working(*o)) {
      code = kErrNotWorking;
    } else {
      FinishOrder(*o, o->condition ? kStWithdrawn : (o->filled > 0 ? kStPartCancelled : kStCancelled));
      pending_.emplace_back();
      pending_.back().type = BrokerEventType::Funds;
      pending_.back().account = a;
    }
    if (code && error) *error = BrokerErrorText(code);
    Finish();
  }
  Deliver();
  return code;
}

int Broker::ModifyOrder(const std::string& account, std::string_view key, int64_t price, bool priceOnTick,
                        int quantity, std::string* error) {
  int code = 0;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(account);
    Order* found = a == kNoAccount ? nullptr : FindOrder(a, key);
    const int32_t p = Clamp32(price);
    if (!found) {
      code = kErrUnknownOrder;
    } else if (!Working(*found)) {
      code = kErrNotWorking;
    } else if (quantity < 1 || quantity > kMaxOrderLots || quantity <= found->filled) {
      code = kErrQuantity;
    } else if (!priceOnTick) {
      code = kErrTick;
    } else if (found->condition) {
      Order& c = *found;
      if (c.kind == 0 || c.kind == 1) c.trigger = p;
      c.quantity = quantity;
      c.updateMs = Now();
      EmitOrder(c);
      if (Book* b = FindBook(c.contract)) EvaluateConditions(*b);
    } else {
      Order& o = *found;
      Book& b = BookOf(o.contract);
      const ContractTerms& t = b.terms;
      if (!b.have || p < b.snap.lower || p > b.snap.upper) {
        code = kErrPriceLimit;
      } else if (o.offset == kOffOpen &&
                 t.Margin(p, quantity - o.filled) + t.Fee(p, quantity - o.filled, FeeKind::Open) - o.frozenMargin -
                         o.frozenFee > FundsOf(a).Available()) {
        code = kErrFunds;
      } else {
        Order probe = o;
        probe.price = p;
        if (b.SelfTrade(probe, orders_)) code = kErrSelfTrade;
      }
      if (!code && o.offset != kOffOpen) {
        const int32_t oldQty = o.quantity;
        const std::string number(Field(o.positionNumber));
        ReleaseClose(o, o.Remaining());
        o.quantity = quantity;
        code = ReserveClose(o, number, true);
        if (code) {
          o.quantity = oldQty;
          ReserveClose(o, number, false);
        }
      }
      if (!code) {
        o.updateMs = Now();
        if (p == o.price && quantity < o.quantity) {
          // Fewer lots at the same price keep their place in the queue.
          o.quantity = quantity;
          if (o.offset == kOffOpen) Freeze(o);
          EmitOrder(o);
        } else {
          b.Unrest(o);
          o.price = p;
          o.quantity = quantity;
          if (o.offset == kOffOpen) Freeze(o);
          EmitOrder(o);
          Match(o, b);
          if (o.Remaining() > 0) b.Rest(o, orders_);
        }
        pending_.emplace_back();
        pending_.back().type = BrokerEventType::Funds;
        pending_.back().account = a;
      }
    }
    if (code) {
      if (error) *error = BrokerErrorText(code);
      if (a != kNoAccount) EmitText(a, Format(TXT("改单失败:%s"), BrokerErrorText(code)));
    }
    Finish();
  }
  Deliver();
  return code;
}

// ---- ordinary orders -------------------------------------------------------------------------

Order& Broker::NewOrder(AccountIndex a, ContractId c) {
  const uint64_t id = NextId();
  Order& o = orders_[id];
  o.id = id;
  o.tradingDay = day_;
  o.sequence = ++orderSeq_;
  std::snprintf(o.key, sizeof o.key, "%08d-%08d", day_, o.sequence);
  o.account = a;
  o.contract = c;
  o.insertMs = o.updateMs = Now();
  o.strategy = sendingFor_;
  byKey_[KeyCode(day_, o.sequence)] = id;
  ledger_.accounts[a].orders.push_back(id);
  return o;
}

int Broker::DoInsertOrder(const OrderEntry& entry, AccountIndex a) {
  const ContractId c = entry.contract < market_.GetCatalogue().Size() ? entry.contract : kNoContract;
  Order& o = NewOrder(a, c);
  if (entry.clientRef) NoteRef(o, entry.clientRef);
  o.direction = Small(entry.direction);
  o.offset = Small(entry.offset);
  o.market = entry.market;
  o.price = entry.market ? 0 : Clamp32(entry.price);
  o.quantity = Clamp32(entry.quantity);
  SetField(o.positionNumber, entry.positionNumber);
  Book* b = c == kNoContract ? nullptr : &BookOf(c);
  const int err = CheckOrder(o, entry, b);
  if (err) {
    Refuse(o, err);
    return o.sequence;
  }
  o.state = kStQueued;
  EmitOrder(o);
  Match(o, *b);
  if (o.Remaining() > 0) {
    if (o.market) {
      if (o.filled == 0) {
        o.errorCode = kErrNoCounter;
        SetField(o.errorText, BrokerErrorText(kErrNoCounter));
      }
      FinishOrder(o, o.filled > 0 ? kStPartCancelled : kStCancelled);
    } else {
      b->Rest(o, orders_);
    }
  }
  if (o.fillCount == 0) {  // frozen money changed (fills tell of themselves)
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Funds;
    pending_.back().account = a;
  }
  return o.sequence;
}

int Broker::CheckOrder(Order& o, const OrderEntry& entry, Book* b) {
  if (!b) return kErrContract;
  if ((o.direction != 1 && o.direction != 2) || o.offset < kOffOpen || o.offset > kOffCloseToday) return kErrParameter;
  if (entry.quantity < 1 || entry.quantity > kMaxOrderLots) return kErrQuantity;
  if (!market_.Tradable(o.contract, day_)) return kErrContract;
  if (!market_.InSession(o.contract, o.insertMs)) return kErrClosed;
  if (!o.market) {
    if (!entry.priceOnTick) return kErrTick;
    if (!b->have || entry.price < b->snap.lower || entry.price > b->snap.upper) return kErrPriceLimit;
  } else if (!b->have || b->snap.upper <= 0) {
    return kErrClosed;
  }
  if (b->SelfTrade(o, orders_)) return kErrSelfTrade;
  if (o.offset == kOffOpen) {
    o.state = kStQueued;  // working: Freeze counts it
    Freeze(o);
    const FundsView f = FundsOf(o.account);
    if (f.Available() < 0) {
      o.state = kStFailed;
      Freeze(o);
      return kErrFunds;
    }
    return 0;
  }
  return ReserveClose(o, entry.positionNumber, true);
}

void Broker::Refuse(Order& o, int32_t code) {
  o.state = kStFailed;
  o.errorCode = code;
  SetField(o.errorText, BrokerErrorText(code));
  EmitOrder(o);
  EmitText(o.account, Format(TXT("报单失败:%s"), BrokerErrorText(code)));
}

void Broker::Freeze(Order& o) {
  const Book* b = FindBook(o.contract);
  const int32_t price = o.market ? (b && b->snap.upper > 0 ? b->snap.upper : 0) : o.price;
  ledger_.Freeze(o, price, Terms(o.contract));
}

int Broker::ReserveClose(Order& o, const std::string& positionNumber, bool check) {
  return ledger_.ReserveClose(o, Terms(o.contract).closeToday, positionNumber, check);
}

void Broker::ReleaseClose(Order& o, int32_t lots) { ledger_.ReleaseClose(o, lots); }

void Broker::FinishOrder(Order& o, int8_t state) {
  const int32_t remaining = o.Remaining();
  if (Book* b = FindBook(o.contract)) {
    if (o.condition)
      b->conditions.Remove(o.id);
    else if (!o.market)
      b->Unrest(o);
  }
  o.state = state;
  o.updateMs = Now();
  if (!o.condition) {
    if (o.offset == kOffOpen)
      Freeze(o);
    else
      ReleaseClose(o, remaining);
  }
  EmitOrder(o);
}

// ---- the book --------------------------------------------------------------------------------

void Broker::Match(Order& o, Book& b) {
  for (const BookMatch& m : b.Match(o, orders_)) {
    if (m.counter) BookFill(orders_[m.counter], m.price, m.lots);
    BookFill(o, m.price, m.lots);
  }
}

// ---- fills -----------------------------------------------------------------------------------

void Broker::BookFill(Order& o, int32_t price, int32_t lots) {
  Account& acc = ledger_.accounts[o.account];
  Fill f;
  f.id = NextId();
  f.tradingDay = day_;
  f.sequence = ++fillSeq_;
  std::snprintf(f.number, sizeof f.number, "%08d-T%07d", day_, f.sequence);
  f.account = o.account;
  f.orderId = o.id;
  std::memcpy(f.orderKey, o.key, sizeof f.orderKey);
  f.contract = o.contract;
  f.direction = o.direction;
  f.offset = o.offset;
  f.price = price;
  f.quantity = lots;
  f.timeMs = Now();
  if (o.offset == kOffOpen) {
    OpenLots(o, f);
  } else {
    ReleaseClose(o, lots);
    CloseLots(o, f);
  }
  o.filled += lots;
  o.fillValue += static_cast<int64_t>(price) * lots;
  ++o.fillCount;
  o.state = o.filled >= o.quantity ? kStFilled : kStPartFilled;
  o.updateMs = f.timeMs;
  if (o.offset == kOffOpen) Freeze(o);
  acc.fee += f.fee;
  acc.closeProfit += f.closeProfit;
  DirtyAccount(o.account);
  acc.fills.push_back(f);
  changes_.NewFill(f);
  EmitOrder(o);
  pending_.emplace_back();
  pending_.back().type = BrokerEventType::Fill;
  pending_.back().account = o.account;
  pending_.back().fill = f;
  Touch(o.account);
  // Stops bound to lots or positions this fill closed out end with them.
  std::vector<std::pair<ContractId, std::string>> ended;
  ended.swap(ended_);
  for (const auto& [c, number] : ended) EndBound(o.account, c, number);
}

void Broker::OpenLots(Order& o, Fill& f) {
  LedgerChanges changes;
  ledger_.OpenLots(o, f, Terms(o.contract), nextId_, changes);
  Booked(o.account, o.contract, changes);
}

void Broker::CloseLots(Order& o, Fill& f) {
  const Catalogue& cat = market_.GetCatalogue();
  const bool todayFirst = cat.Exchanges()[cat.CommodityOf(o.contract).exchange].code == "CFFEX";
  LedgerChanges changes;
  ledger_.CloseLots(o, f, Terms(o.contract), todayFirst, changes);
  Booked(o.account, o.contract, changes);
}

void Broker::RemoveEmptySide(AccountIndex a, uint64_t sideKey) {
  LedgerChanges changes;
  ledger_.RemoveSide(a, sideKey, changes);
  Booked(a, SideContract(sideKey), changes);
}

void Broker::Booked(AccountIndex a, ContractId c, const LedgerChanges& changes) {
  if (changes.opened) BookOf(c).holders[a]++;
  if (changes.removed)
    if (Book* b = FindBook(c)) {
      auto h = b->holders.find(a);
      if (h != b->holders.end() && --h->second <= 0) b->holders.erase(h);
    }
  for (uint64_t key : changes.sides) DirtySide(a, key);
  for (const auto& [key, lot] : changes.lots) DirtyLot(a, key, lot);
  for (const std::string& number : changes.ended) ended_.emplace_back(c, number);
}

void Broker::EndBound(AccountIndex a, ContractId c, std::string_view number) {
  Book* b = FindBook(c);
  if (!b || number.empty()) return;
  const std::vector<uint64_t> ids = b->conditions.Ids();
  for (uint64_t id : ids) {
    Order& cnd = orders_[id];
    if (cnd.account != a || cnd.state != kStWaiting || Field(cnd.positionNumber) != number) continue;
    SetField(cnd.errorText, TXT("持仓已平"));
    FinishOrder(cnd, kStWithdrawn);
  }
}

// ---- the market's steps ----------------------------------------------------------------------

void Broker::ProcessSnapshot(Book& b, const Snapshot& s) {
  if (b.have && (s.tradingDay < b.snap.tradingDay || (s.tradingDay == b.snap.tradingDay && s.timeMs < b.snap.timeMs)))
    return;  // older than what the broker has
  const bool priceChanged = !b.have || s.last != b.snap.last;
  b.SetSnapshot(s);
  if (!b.bids.empty()) {
    CrossResting(b, true);
    TradeThrough(b, true);
  }
  if (!b.asks.empty()) {
    CrossResting(b, false);
    TradeThrough(b, false);
  }
  b.ShrinkQueues(orders_);
  if (!b.conditions.Empty()) EvaluateConditions(b);
  if (runner_.Watches(b.id)) runner_.OnQuote(b.id, b);
  if (priceChanged)
    for (const auto& [a, n] : b.holders) TouchPrice(a);
}

// The book decides what trades; each fill is booked in the order it decided.
void Broker::CrossResting(Book& b, bool buys) {
  for (const BookMatch& m : b.CrossResting(buys, orders_)) BookFill(orders_[m.counter], m.price, m.lots);
}

void Broker::TradeThrough(Book& b, bool buys) {
  for (const BookMatch& m : b.TradeThrough(buys, orders_)) BookFill(orders_[m.counter], m.price, m.lots);
}

// ---- condition orders ------------------------------------------------------------------------

int Broker::DoInsertCondition(const ConditionEntry& entry, AccountIndex a) {
  const ContractId c = entry.contract < market_.GetCatalogue().Size() ? entry.contract : kNoContract;
  Order& o = NewOrder(a, c);
  if (entry.clientRef) NoteRef(o, entry.clientRef);
  o.condition = true;
  o.direction = Small(entry.direction);
  o.offset = Small(entry.offset);
  o.triggerBasis = Small(entry.triggerBasis);
  o.kind = Small(entry.kind);
  o.trigger = Clamp32(entry.trigger);
  o.quantity = Clamp32(entry.quantity);
  o.sendMode = Small(entry.sendMode);
  o.sendPrice = Clamp32(entry.sendPrice);
  o.ticks = Clamp32(entry.ticks);
  o.longTerm = entry.longTerm;
  o.market = o.sendMode == 4;
  o.price = o.sendMode == 0 || o.kind == 4 || o.kind == 5 ? o.sendPrice : 0;
  SetField(o.positionNumber, entry.positionNumber);
  int err = 0;
  const bool trailing = o.kind == 4 || o.kind == 5;
  if (c == kNoContract || !market_.Tradable(c, day_)) {
    err = kErrContract;
  } else if ((o.direction != 1 && o.direction != 2) || o.offset < kOffOpen || o.offset > kOffCloseToday ||
             o.triggerBasis < 0 || o.triggerBasis > 2 || !(o.kind == 0 || o.kind == 1 || trailing) ||
             o.sendMode < 0 || o.sendMode > 4 || (trailing && o.ticks < 1) || (o.kind == 5 && o.sendPrice <= 0) ||
             (o.sendMode >= 1 && o.sendMode <= 3 && (o.ticks < -1000 || o.ticks > 1000))) {
    err = kErrParameter;
  } else if (entry.quantity < 1 || entry.quantity > kMaxOrderLots) {
    err = kErrQuantity;
  } else if ((o.sendMode == 0 || trailing) && !entry.sendPriceOnTick) {
    err = kErrTick;
  } else if (!entry.positionNumber.empty()) {
    // A stop protects a lot or a position of this contract that it closes.
    const int side = o.direction == 2 ? 1 : 2;
    const Account& acc = ledger_.accounts[a];
    auto it = acc.sides.find(SideKey(c, side));
    bool found = false;
    if (it != acc.sides.end() && o.offset != kOffOpen) {
      found = Field(it->second.number) == entry.positionNumber;
      for (const Lot& l : it->second.lots) found = found || Field(l.number) == entry.positionNumber;
    }
    if (!found) err = kErrStopPosition;
  }
  if (err) {
    Refuse(o, err);
    return o.sequence;
  }
  o.state = kStWaiting;
  if (o.kind == 4) o.stop = o.sendPrice;
  EmitOrder(o);
  Book& b = BookOf(c);
  b.conditions.Add(o.id);
  bool changed = false;
  if (b.have && ConditionFires(o, b.snap, changed))
    FireCondition(o, b);
  else if (changed)
    EmitOrder(o);
  return o.sequence;
}

void Broker::EvaluateConditions(Book& b) {
  const std::vector<uint64_t> ids = b.conditions.Ids();
  for (uint64_t id : ids) {
    auto it = orders_.find(id);
    if (it == orders_.end() || it->second.state != kStWaiting) continue;
    Order& c = it->second;
    bool changed = false;
    if (b.have && ConditionFires(c, b.snap, changed))
      FireCondition(c, b);
    else if (changed)
      EmitOrder(c);
  }
}

void Broker::FireCondition(Order& c, Book& b) {
  const Account& acc = ledger_.accounts[c.account];
  auto it = acc.sides.find(SideKey(c.contract, c.direction == 2 ? 1 : 2));
  const std::vector<OrderEntry> sends =
      ConditionSends(c, b.snap, acc.id, it != acc.sides.end() ? &it->second : nullptr, b.terms.closeToday);
  b.conditions.Remove(c.id);
  c.state = kStTriggered;
  c.updateMs = Now();
  c.triggeredSequence = orderSeq_ + 1;
  EmitOrder(c);
  const AccountIndex a = c.account;
  for (const OrderEntry& sp : sends) DoInsertOrder(sp, a);
}

}  // namespace tarn::exchange
