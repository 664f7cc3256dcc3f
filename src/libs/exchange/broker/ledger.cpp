#include "libs/exchange/broker/ledger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace tarn::exchange {

AccountIndex Ledger::Add(LedgerAccount account) {
  const AccountIndex i = static_cast<AccountIndex>(accounts.size());
  index[account.id] = i;
  logins[account.login].accounts.push_back(i);
  accounts.push_back(std::move(account));
  return i;
}

AccountIndex Ledger::Find(std::string_view id) const {
  auto it = index.find(id);
  return it == index.end() ? kNoAccount : it->second;
}

void Ledger::Freeze(Order& o, int32_t price, const ContractTerms& t) {
  LedgerAccount& acc = accounts[o.account];
  acc.frozenMargin -= o.frozenMargin;
  acc.frozenFee -= o.frozenFee;
  o.frozenMargin = o.frozenFee = 0;
  if (o.offset != kOffOpen || o.condition || !Working(o) || o.Remaining() <= 0) return;
  o.frozenMargin = t.Margin(price, o.Remaining());
  o.frozenFee = t.Fee(price, o.Remaining(), FeeKind::Open);
  acc.frozenMargin += o.frozenMargin;
  acc.frozenFee += o.frozenFee;
}

int Ledger::ReserveClose(Order& o, bool split, const std::string& positionNumber, bool check) {
  const int side = o.direction == 2 ? 1 : 2;
  LedgerAccount& acc = accounts[o.account];
  auto it = acc.sides.find(SideKey(o.contract, side));
  if (it == acc.sides.end()) return kErrNoPosition;
  Side& s = it->second;
  const int32_t q = o.Remaining();
  const int32_t old = s.quantity - s.today;
  if (!positionNumber.empty() && positionNumber != Field(s.number)) {
    Lot* lot = nullptr;
    for (Lot& l : s.lots)
      if (Field(l.number) == positionNumber) lot = &l;
    if (!lot) return kErrNoPosition;
    if (check && split) {
      // Naming a lot does not lift the close-today rule: a plain close takes older lots only,
      // a close-today today's only.
      if (lot->today && o.offset == kOffClose) return kErrCloseToday;
      if (!lot->today && o.offset == kOffCloseToday) return kErrTodayPosition;
    }
    if (check) {
      const bool bucket = !split || (lot->today ? s.today - s.reservedToday >= q : old - s.reservedOld >= q);
      if (lot->quantity - lot->reserved < q || s.quantity - s.reservedAll < q || !bucket) return kErrNoPosition;
    }
    lot->reserved += q;
    (lot->today ? s.reservedToday : s.reservedOld) += q;
    o.reserve = 3;
    o.reserveLot = lot->id;
  } else if (split && o.offset == kOffCloseToday) {
    if (check && s.today - s.reservedToday < q) return kErrTodayPosition;
    s.reservedToday += q;
    o.reserve = 2;
  } else if (split) {
    if (check && old - s.reservedOld < q) return s.quantity - s.reservedAll >= q ? kErrCloseToday : kErrNoPosition;
    s.reservedOld += q;
    o.reserve = 1;
  } else {
    if (check && s.quantity - s.reservedAll < q) return kErrNoPosition;
    o.reserve = 4;
  }
  s.reservedAll += q;
  return 0;
}

void Ledger::ReleaseClose(const Order& o, int32_t lots) {
  if (o.reserve == 0 || lots <= 0) return;
  const int side = o.direction == 2 ? 1 : 2;
  LedgerAccount& acc = accounts[o.account];
  auto it = acc.sides.find(SideKey(o.contract, side));
  if (it == acc.sides.end()) return;
  Side& s = it->second;
  s.reservedAll -= lots;
  if (o.reserve == 1) s.reservedOld -= lots;
  if (o.reserve == 2) s.reservedToday -= lots;
  if (o.reserve == 3) {
    for (Lot& l : s.lots)
      if (l.id == o.reserveLot) {
        l.reserved -= lots;
        (l.today ? s.reservedToday : s.reservedOld) -= lots;
      }
  }
}

void Ledger::OpenLots(const Order& o, Fill& f, const ContractTerms& t, uint64_t& nextId, LedgerChanges& out) {
  const int side = o.direction == 1 ? 1 : 2;
  const uint64_t key = SideKey(o.contract, side);
  LedgerAccount& acc = accounts[o.account];
  Side& s = acc.sides[key];
  if (s.lots.empty() && s.id == 0) {
    s.id = nextId++;
    std::snprintf(s.number, sizeof s.number, "S%08llu", static_cast<unsigned long long>(s.id));
    out.opened = true;
    out.sides.push_back(key);
  }
  Lot lot;
  lot.id = nextId++;
  std::snprintf(lot.number, sizeof lot.number, "L%08llu", static_cast<unsigned long long>(lot.id));
  std::memcpy(lot.fillNumber, f.number, sizeof lot.fillNumber);
  lot.quantity = f.quantity;
  lot.today = true;
  lot.open = lot.hold = f.price;
  lot.openMs = f.timeMs;
  lot.margin = t.Margin(f.price, f.quantity);
  s.quantity += f.quantity;
  s.today += f.quantity;
  s.holdValue += static_cast<int64_t>(f.price) * f.quantity;
  s.openValue += static_cast<int64_t>(f.price) * f.quantity;
  s.margin += lot.margin;
  acc.margin += lot.margin;
  f.fee = t.Fee(f.price, f.quantity, FeeKind::Open);
  f.closeProfit = 0;
  std::memcpy(f.positionNumber, lot.number, sizeof f.positionNumber);
  s.lots.push_back(lot);
  out.lots.emplace_back(key, lot.id);
}

void Ledger::CloseLots(const Order& o, Fill& f, const ContractTerms& t, bool todayFirst, LedgerChanges& out) {
  const int side = o.direction == 2 ? 1 : 2;
  const uint64_t key = SideKey(o.contract, side);
  LedgerAccount& acc = accounts[o.account];
  auto it = acc.sides.find(key);
  if (it == acc.sides.end()) return;
  Side& s = it->second;
  const int64_t sign = side == 1 ? 1 : -1;
  int32_t need = f.quantity;
  int64_t tickLots = 0;
  Money fee = 0;
  bool first = true;
  auto take = [&](Lot& lot, bool own) {
    const int32_t avail = own ? lot.quantity : lot.quantity - lot.reserved;
    const int32_t n = std::min(need, avail);
    if (n <= 0) return;
    tickLots += sign * (static_cast<int64_t>(f.price) - lot.hold) * n;
    fee += t.Fee(f.price, n, lot.today ? FeeKind::CloseToday : FeeKind::Close);
    lot.quantity -= n;
    s.quantity -= n;
    if (lot.today) s.today -= n;
    s.holdValue -= static_cast<int64_t>(lot.hold) * n;
    s.openValue -= static_cast<int64_t>(lot.open) * n;
    const Money m = t.Margin(lot.hold, lot.quantity);
    s.margin += m - lot.margin;
    acc.margin += m - lot.margin;
    lot.margin = m;
    if (first) std::memcpy(f.positionNumber, lot.number, sizeof f.positionNumber);
    first = false;
    out.lots.emplace_back(key, lot.id);
    need -= n;
  };
  switch (o.reserve) {
    case 3:
      for (Lot& l : s.lots)
        if (l.id == o.reserveLot) take(l, true);
      break;
    case 1:
      for (Lot& l : s.lots)
        if (!l.today && need > 0) take(l, false);
      break;
    case 2:
      for (Lot& l : s.lots)
        if (l.today && need > 0) take(l, false);
      break;
    default:
      if (todayFirst) {
        for (Lot& l : s.lots)
          if (l.today && need > 0) take(l, false);
        for (Lot& l : s.lots)
          if (!l.today && need > 0) take(l, false);
      } else {
        for (Lot& l : s.lots)
          if (need > 0) take(l, false);
      }
  }
  f.closeProfit = t.Profit(tickLots);
  f.fee = fee;
  for (auto l = s.lots.begin(); l != s.lots.end();) {
    if (l->quantity > 0) {
      ++l;
      continue;
    }
    out.ended.emplace_back(Field(l->number));
    l = s.lots.erase(l);
  }
  if (s.quantity <= 0) {
    out.ended.emplace_back(Field(s.number));
    RemoveSide(o.account, key, out);
  }
}

void Ledger::RemoveSide(AccountIndex a, uint64_t key, LedgerChanges& out) {
  LedgerAccount& acc = accounts[a];
  auto it = acc.sides.find(key);
  if (it == acc.sides.end()) return;
  acc.margin -= it->second.margin;
  for (const Lot& l : it->second.lots) out.lots.emplace_back(key, l.id);
  acc.sides.erase(it);
  out.removed = true;
  out.sides.push_back(key);
}

Money Ledger::MarkToSettlement(AccountIndex a, const std::function<int32_t(ContractId)>& price,
                               const std::function<const ContractTerms&(ContractId)>& terms, LedgerChanges& out) {
  LedgerAccount& acc = accounts[a];
  Money realized = 0;
  for (auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t S = price(c);
    const ContractTerms& t = terms(c);
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
      out.lots.emplace_back(key, lot.id);
    }
    side.today = 0;
    side.reservedAll = side.reservedOld = side.reservedToday = 0;
  }
  acc.margin = 0;
  for (const auto& [key, side] : acc.sides) acc.margin += side.margin;
  return realized;
}

void Ledger::RollDay(AccountIndex a, Money realized) {
  LedgerAccount& acc = accounts[a];
  acc.preBalance = acc.preBalance + acc.deposit - acc.withdrawal + acc.closeProfit + realized - acc.fee;
  acc.deposit = acc.withdrawal = acc.closeProfit = acc.fee = 0;
  acc.fills.clear();
  acc.strategies.clear();
  acc.start.clear();
  for (const auto& [key, side] : acc.sides) acc.start[key] = side.quantity;
}

bool Ledger::CheckInvariant(const std::function<const ContractTerms&(ContractId)>& terms, std::string* why) const {
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  for (AccountIndex a = 0; a < accounts.size(); ++a) {
    const LedgerAccount& acc = accounts[a];
    const std::string who = "account " + acc.id + ": ";
    if (Find(acc.id) != a) return fail(who + "not under its id in the index");
    Money margin = 0;
    for (const auto& [key, s] : acc.sides) {
      const ContractTerms& t = terms(SideContract(key));
      const std::string what = who + Format("contract %u side %d: ", SideContract(key), SideOf(key));
      int64_t qty = 0, today = 0, hold = 0, open = 0, lotOld = 0, lotToday = 0;
      Money m = 0;
      for (const Lot& lot : s.lots) {
        if (lot.quantity <= 0) return fail(what + "an empty lot " + std::string(Field(lot.number)));
        if (lot.margin != t.Margin(lot.hold, lot.quantity)) return fail(what + "lot margin " + std::string(Field(lot.number)));
        if (lot.reserved < 0 || lot.reserved > lot.quantity) return fail(what + "lot reservation");
        qty += lot.quantity;
        today += lot.today ? lot.quantity : 0;
        hold += static_cast<int64_t>(lot.hold) * lot.quantity;
        open += static_cast<int64_t>(lot.open) * lot.quantity;
        (lot.today ? lotToday : lotOld) += lot.reserved;
        m += lot.margin;
      }
      if (s.quantity <= 0) return fail(what + "an empty position");
      if (qty != s.quantity || today != s.today || hold != s.holdValue || open != s.openValue || m != s.margin)
        return fail(what + "not the sum of its lots");
      if (s.reservedAll < 0 || s.reservedAll > s.quantity) return fail(what + "reserved lots");
      if (t.closeToday && (s.reservedOld < lotOld || s.reservedToday < lotToday ||
                           s.reservedOld > s.quantity - s.today || s.reservedToday > s.today))
        return fail(what + "reserved older or today's lots");
      margin += m;
    }
    if (margin != acc.margin)
      return fail(who + Format("margin %lld, the sides give %lld", static_cast<long long>(acc.margin),
                               static_cast<long long>(margin)));
    if (acc.frozenMargin < 0 || acc.frozenFee < 0) return fail(who + "negative frozen money");
  }
  for (const auto& [user, login] : logins)
    for (AccountIndex a : login.accounts)
      if (a >= accounts.size() || accounts[a].login != user) return fail("login " + user + ": an account not its own");
  return true;
}

}  // namespace tarn::exchange
