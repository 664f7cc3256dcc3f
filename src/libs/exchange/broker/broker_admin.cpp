#include "libs/exchange/broker/broker_admin.h"

#include <chrono>

namespace tarn::exchange {

std::unique_ptr<BrokerAdmin> BrokerAdmin::Open(const std::string& dir, std::string& error, HashCost cost,
                                               const Catalogue* catalogue) {
  bool inUse = false;
  std::string why;
  std::unique_ptr<BrokerStore> store = BrokerStore::Open(StorePath(dir), &why, &inUse);
  if (!store) {
    error = inUse ? "a broker is running on " + StorePath(dir) + ": stop it first (nothing was changed)" : why;
    return nullptr;
  }
  std::unique_ptr<BrokerAdmin> admin(new BrokerAdmin(std::move(store), cost));
  if (!admin->Reload(error)) return nullptr;
  if (catalogue) {
    admin->catalogue_ = catalogue;
  } else {
    int64_t day = admin->state_.tradingDay > 0 ? DayNumOf(admin->state_.tradingDay) : 0;
    if (day <= 0) {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      day = ExchangeDayNum(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    admin->calendar_ = std::make_unique<TradingCalendar>(true);
    admin->ownCatalogue_ = std::make_unique<Catalogue>(StandardSpecs(), StandardExchanges(), *admin->calendar_, day);
    admin->catalogue_ = admin->ownCatalogue_.get();
  }
  for (const Commodity& c : admin->catalogue_->Commodities())
    admin->terms_.push_back(exchange::TermsOf(c, *admin->catalogue_));
  return admin;
}

bool BrokerAdmin::Reload(std::string& error) {
  state_ = BrokerStore::Loaded{};
  if (store_->Load(state_)) return true;
  error = "the broker store " + store_->Path() + " could not be read whole";
  return false;
}

BrokerStore::AccountRow* BrokerAdmin::FindAccount(const std::string& id) {
  for (BrokerStore::AccountRow& a : state_.accounts)
    if (a.id == id) return &a;
  return nullptr;
}

const ContractTerms* BrokerAdmin::TermsOf(const std::string& contractKey) const {
  const ContractId c = catalogue_->Find(contractKey);
  return c == kNoContract ? nullptr : &terms_[catalogue_->ContractAt(c).commodity];
}

BrokerAdmin::AccountLine BrokerAdmin::LineOf(const BrokerStore::AccountRow& a) const {
  AccountLine line;
  line.id = a.id;
  line.login = a.login;
  line.name = a.name;
  line.balance = a.preBalance + a.deposit - a.withdrawal + a.closeProfit - a.fee;
  for (const BrokerStore::LotRow& l : state_.lots) {
    if (l.account != a.id || l.lot.quantity <= 0) continue;
    line.lots += l.lot.quantity;
    // A lot of a contract no longer listed is settled when the broker next opens: no margin.
    if (const ContractTerms* t = TermsOf(l.contract)) line.margin += t->Margin(l.lot.hold, l.lot.quantity);
  }
  for (const BrokerStore::OrderRow& r : state_.orders) {
    const Order& o = r.order;
    if (r.account != a.id) continue;
    const bool working = o.condition ? o.state == kStWaiting : o.state >= 0 && o.state <= kStPartFilled;
    if (!working || o.tradingDay != state_.tradingDay) continue;
    ++line.working;
    if (o.condition || o.offset != kOffOpen || o.market || o.Remaining() <= 0) continue;
    if (const ContractTerms* t = TermsOf(r.contract))
      line.frozen += t->Margin(o.price, o.Remaining()) + t->Fee(o.price, o.Remaining(), FeeKind::Open);
  }
  line.available = line.balance - line.margin - line.frozen;
  return line;
}

bool BrokerAdmin::Write(const std::vector<BrokerStore::LoginRow>& logins,
                        const std::vector<BrokerStore::AccountRow>& accounts, std::string& error) {
  bool ok = store_->Begin();
  for (const auto& r : logins) ok = ok && store_->PutLogin(r);
  for (const auto& r : accounts) ok = ok && store_->PutAccount(r);
  if (ok && store_->Commit()) return Reload(error);
  if (!ok) store_->Rollback();
  std::string ignored;
  Reload(ignored);
  error = "the broker store " + store_->Path() + " could not be written";
  return false;
}

bool BrokerAdmin::Add(const std::string& name, const std::string& password, Money funds, std::string& error) {
  if (!ValidLoginName(name)) {
    error = "a name is 1 to 20 printable characters without spaces or '|'";
    return false;
  }
  if (!ValidPassword(password)) {
    error = "a password is 6 to 32 printable characters without spaces";
    return false;
  }
  if (funds < 0) {
    error = "the funds cannot be negative";
    return false;
  }
  for (const auto& l : state_.logins)
    if (l.user == name) {
      error = "the login " + name + " exists";
      return false;
    }
  if (FindAccount(name)) {
    error = "the account " + name + " exists";
    return false;
  }
  const std::string hash = HashPassword(password, cost_);
  if (hash.empty()) {
    error = "the password could not be hashed";
    return false;
  }
  BrokerStore::AccountRow account;
  account.id = account.login = account.name = name;
  account.currency = kAccountCurrency;
  account.preBalance = funds;
  return Write({{name, hash, name}}, {account}, error);
}

bool BrokerAdmin::SetPassword(const std::string& name, const std::string& password, std::string& error) {
  BrokerStore::LoginRow* login = nullptr;
  for (auto& l : state_.logins)
    if (l.user == name) login = &l;
  if (!login) {
    error = "no login " + name;
    return false;
  }
  if (!ValidPassword(password)) {
    error = "a password is 6 to 32 printable characters without spaces";
    return false;
  }
  const std::string hash = HashPassword(password, cost_);
  if (hash.empty()) {
    error = "the password could not be hashed";
    return false;
  }
  BrokerStore::LoginRow row = *login;
  row.hash = hash;
  return Write({row}, {}, error);
}

bool BrokerAdmin::Deposit(const std::string& account, Money amount, std::string& error) {
  BrokerStore::AccountRow* a = FindAccount(account);
  if (!a) {
    error = "no account " + account;
    return false;
  }
  if (amount <= 0) {
    error = "the amount must be above 0";
    return false;
  }
  BrokerStore::AccountRow row = *a;
  row.deposit += amount;
  return Write({}, {row}, error);
}

bool BrokerAdmin::Withdraw(const std::string& account, Money amount, std::string& error) {
  BrokerStore::AccountRow* a = FindAccount(account);
  if (!a) {
    error = "no account " + account;
    return false;
  }
  if (amount <= 0) {
    error = "the amount must be above 0";
    return false;
  }
  const AccountLine line = LineOf(*a);
  if (amount > line.available) {
    error = "the account " + account + " has " + MoneyText(std::max<Money>(line.available, 0)) +
            " available (balance less margin and frozen money)";
    return false;
  }
  BrokerStore::AccountRow row = *a;
  row.withdrawal += amount;
  return Write({}, {row}, error);
}

std::vector<BrokerAdmin::AccountLine> BrokerAdmin::List() {
  std::vector<AccountLine> out;
  for (const BrokerStore::AccountRow& a : state_.accounts) out.push_back(LineOf(a));
  return out;
}

}  // namespace tarn::exchange
