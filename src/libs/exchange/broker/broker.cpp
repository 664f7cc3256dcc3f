#include "libs/exchange/broker/broker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "libs/exchange/broker/broker_loader.h"
#include "libs/exchange/broker/broker_views.h"
#include "platform/text.h"

namespace tarn::exchange {

const std::string& BrokerErrorText(int32_t code) {
  switch (code) {
    case kErrFunds: return TXT("资金不足");
    case kErrNoPosition: return TXT("可平仓位不足");
    case kErrPriceLimit: return TXT("价格超出涨跌停板");
    case kErrClosed: return TXT("非交易时间");
    case kErrContract: return TXT("合约不可交易");
    case kErrTick: return TXT("价格不是最小变动价位");
    case kErrQuantity: return TXT("报单手数错误");
    case kErrCloseToday: return TXT("平今仓须用平今指令");
    case kErrTodayPosition: return TXT("可平今仓不足");
    case kErrSelfTrade: return TXT("可能自成交");
    case kErrNotWorking: return TXT("委托已不可撤改");
    case kErrParameter: return TXT("报单参数错误");
    case kErrNoCounter: return TXT("市价单无对手盘");
    case kErrUnknownOrder: return TXT("委托不存在");
    case kErrStopPosition: return TXT("止损对应持仓不存在");
    case kErrLogin: return TXT("账户未登录");
    default: {
      static const std::string none;
      return none;
    }
  }
}

uint64_t Broker::ParseKey(std::string_view key) {
  const std::size_t dash = key.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 >= key.size()) return 0;
  int64_t day = 0, seq = 0;
  for (std::size_t i = 0; i < dash; ++i) {
    if (key[i] < '0' || key[i] > '9' || day > 99999999) return 0;
    day = day * 10 + (key[i] - '0');
  }
  for (std::size_t i = dash + 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9' || seq > 99999999) return 0;
    seq = seq * 10 + (key[i] - '0');
  }
  return KeyCode(static_cast<int32_t>(day), static_cast<int32_t>(seq));
}

// ---- construction ----------------------------------------------------------------------------

namespace {
std::unique_ptr<BrokerStore> OpenStore(const std::string& path) {
  if (path.empty()) return nullptr;
  std::string error;
  std::unique_ptr<BrokerStore> store = BrokerStore::Open(path, &error);
  if (!store) std::fprintf(stderr, "tarn: %s; the broker keeps nothing\n", error.c_str());
  return store;
}
}  // namespace

Broker::Broker(IBrokerMarket& market, BrokerOptions options)
    : Broker(market, options, OpenStore(options.storePath)) {}

Broker::Broker(IBrokerMarket& market, BrokerOptions options, std::unique_ptr<BrokerStore> store)
    : market_(market), options_(std::move(options)), store_(std::move(store)) {
  changes_.SetEnabled(store_ != nullptr);
  const Catalogue& cat = market_.GetCatalogue();
  books_.resize(cat.Size());
  interest_.reset(new std::atomic<bool>[cat.Size()]);
  for (std::size_t i = 0; i < cat.Size(); ++i) interest_[i].store(false);
  terms_.reserve(cat.Commodities().size());
  for (const Commodity& c : cat.Commodities()) terms_.push_back(TermsOf(c, cat));
  if (store_)
    journal_ = std::make_unique<BrokerJournal>(*store_, [this](const std::vector<BrokerEvent>& events) {
      listeners_.ForEach([&](IBrokerListener* l) { l->OnBrokerEvents(events); });
    }, options_.inlineJournal);
  {
    tarn::Lock lock(mutex_);
    Load();
    if (ledger_.logins.empty() && options_.createDemo) CreateDemo();
    const int32_t today = market_.TradingDay();
    if (day_ == 0) {
      day_ = today;
      changes_.Day();
    } else if (day_ < today) {
      RollTo(today);
    }
    Finish();
    pending_.clear();  // nobody listens yet
  }
  Durable();  // opened: what loading and catching up changed is stored
  market_.AddListener(this);
}

Broker::~Broker() {
  market_.RemoveListener(this);
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    stop_ = true;
  }
  workCv_.notify_all();
  if (worker_.joinable()) worker_.join();
  journal_.reset();  // it writes and delivers what is queued first
  tarn::Lock lock(mutex_);
  for (ContractId id = 0; id < books_.size(); ++id)
    if (books_[id] && books_[id]->watched) market_.Watch(id, false);
}

AccountIndex Broker::AddAccount(Account account) {
  touchMark_.push_back(0);
  return ledger_.Add(std::move(account));
}

void Broker::Load() {
  if (!store_) return;
  BrokerStore::Loaded in;
  if (!store_->Load(in)) std::fprintf(stderr, "tarn: the broker store could not be read whole\n");
  LoadedBrokerState st =
      LoadBrokerState(std::move(in), market_.GetCatalogue(), [this](ContractId c) -> const ContractTerms& { return Terms(c); });
  day_ = st.day;
  nextId_ = st.nextId;
  orderSeq_ = st.orderSeq;
  fillSeq_ = st.fillSeq;
  strategySeq_ = st.strategySeq;
  ledger_ = std::move(st.ledger);
  orders_ = std::move(st.orders);
  byKey_ = std::move(st.byKey);
  touchMark_.assign(ledger_.accounts.size(), 0);
  for (const auto& [a, key] : st.dirtySides) DirtySide(a, key);
  for (const auto& [a, key, lot] : st.dirtyLots) DirtyLot(a, key, lot);
  for (uint64_t id : st.dirtyOrders) DirtyOrder(orders_[id]);
  for (AccountIndex a = 0; a < ledger_.accounts.size(); ++a)
    for (const auto& side : ledger_.accounts[a].sides) BookOf(SideContract(side.first)).holders[a]++;
  // Working orders go back into their books with what they hold; waiting condition orders watch.
  for (uint64_t id : st.live) {
    Order& o = orders_[id];
    if (o.condition) {
      BookOf(o.contract).conditions.Add(id);
      continue;
    }
    Book& b = BookOf(o.contract);
    if (o.offset == kOffOpen)
      Freeze(o);
    else
      ReserveClose(o, std::string(Field(o.positionNumber)), false);
    b.Rest(o, orders_);
  }
  for (const auto& [a, index] : st.running) {
    StrategyOrder& s = ledger_.accounts[a].strategies[index];
    StrategyRun run;
    if (runner_.Decode(s, run)) {
      runner_.Start(std::move(run));
    } else {
      s.state = '3';
      s.errorText = TXT("策略单无法恢复");
      changes_.Strategy(a, s.id);
    }
  }
}

// With the lock held, while opening: the opening's one commit stores them.
void Broker::CreateDemo() {
  AddLogin(DemoAccounts::kLogin, HashPassword(DemoAccounts::kPassword, options_.hashCost), TXT("演示账户"));
  AddNewAccount(DemoAccounts::kMain, DemoAccounts::kLogin, TXT("演示账户一"), 100000000);
  AddNewAccount(DemoAccounts::kSecond, DemoAccounts::kLogin, TXT("演示账户二"), 20000000);
}

// ---- administration --------------------------------------------------------------------------

bool Broker::CreateLogin(const std::string& user, const std::string& password, const std::string& name) {
  if (!ValidLoginName(user) || password.empty()) return false;
  {
    tarn::Lock lock(mutex_);
    if (ledger_.logins.count(user)) return false;
  }
  const std::string hash = HashPassword(password, options_.hashCost);
  {
    tarn::Lock lock(mutex_);
    if (!AddLogin(user, hash, name)) return false;
    Commit();
  }
  Durable();
  return true;
}

bool Broker::AddLogin(const std::string& user, const std::string& hash, const std::string& name) {
  if (hash.empty()) return false;
  auto [it, added] = ledger_.logins.try_emplace(user);
  if (!added) return false;
  it->second.hash = hash;
  it->second.name = name;
  changes_.Login(user);
  return true;
}

bool Broker::CreateAccount(const std::string& id, const std::string& login, const std::string& name, Money balance) {
  if (!ValidLoginName(id)) return false;
  {
    tarn::Lock lock(mutex_);
    if (!AddNewAccount(id, login, name, balance)) return false;
    Commit();
  }
  Durable();
  return true;
}

bool Broker::AddNewAccount(const std::string& id, const std::string& login, const std::string& name, Money balance) {
  if (ledger_.index.count(id) || !ledger_.logins.count(login)) return false;
  Account a;
  a.id = id;
  a.login = login;
  a.name = name;
  a.currency = kAccountCurrency;
  a.preBalance = balance;
  const AccountIndex index = AddAccount(std::move(a));
  DirtyAccount(index);
  changes_.Starts(index);
  return true;
}

bool Broker::Deposit(const std::string& account, Money amount, std::string* error) {
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(account);
    if (a == kNoAccount || amount == 0 || !(amount > -10000000000000 && amount < 10000000000000)) {
      if (error) *error = a == kNoAccount ? TXT("账户不存在") : TXT("金额错误");
      return false;
    }
    Account& acc = ledger_.accounts[a];
    if (amount > 0) {
      acc.deposit += amount;
    } else {
      if (-amount > FundsOf(a).Available()) {
        if (error) *error = TXT("可用资金不足");
        return false;
      }
      acc.withdrawal += -amount;
    }
    DirtyAccount(a);
    Emit(BrokerEvent{BrokerEventType::Funds, a, false, {}, {}, {}});
    Finish();
  }
  Deliver();
  Durable();
  return true;
}

// ---- logins ----------------------------------------------------------------------------------

bool Broker::Authenticate(const std::string& user, const std::string& password, std::vector<std::string>& accounts,
                          std::string& error) {
  std::string hash;
  {
    tarn::Lock lock(mutex_);
    auto it = ledger_.logins.find(user);
    if (it != ledger_.logins.end()) hash = it->second.hash;
  }
  // An unknown login costs the same hash check, so that the answer's time tells nothing.
  const bool ok = VerifyPassword(hash.empty() ? UnknownLoginHash(options_.hashCost) : hash, password) && !hash.empty();
  if (!ok) {
    error = TXT("账号或密码错误");
    return false;
  }
  if (NeedsRehash(hash, options_.hashCost)) {
    const std::string fresh = HashPassword(password, options_.hashCost);
    tarn::Lock lock(mutex_);
    auto it = ledger_.logins.find(user);
    if (!fresh.empty() && it != ledger_.logins.end() && it->second.hash == hash) {
      it->second.hash = fresh;
      changes_.Login(user);
      Commit();
    }
  }
  accounts = AccountsOf(user);
  if (accounts.empty()) {
    error = TXT("该账号下没有资金账户");
    return false;
  }
  return true;
}

int Broker::ChangePassword(const std::string& user, const std::string& oldPassword, const std::string& newPassword,
                           std::string& message) {
  std::string hash;
  {
    tarn::Lock lock(mutex_);
    auto it = ledger_.logins.find(user);
    if (it == ledger_.logins.end()) {
      message = TXT("账号不存在");
      return 4;
    }
    hash = it->second.hash;
  }
  if (!VerifyPassword(hash, oldPassword)) {
    message = TXT("原密码错误");
    return 1;
  }
  if (!ValidPassword(newPassword)) {
    message = TXT("新密码须为6到32位字母、数字或符号");
    return 2;
  }
  if (newPassword == oldPassword) {
    message = TXT("新密码不能与原密码相同");
    return 3;
  }
  const std::string fresh = HashPassword(newPassword, options_.hashCost);
  if (fresh.empty()) {
    message = TXT("密码修改失败");
    return 5;
  }
  {
    tarn::Lock lock(mutex_);
    auto it = ledger_.logins.find(user);
    if (it == ledger_.logins.end() || it->second.hash != hash) {
      message = TXT("密码已被修改,请重试");
      return 6;
    }
    it->second.hash = fresh;
    changes_.Login(user);
    Commit();
  }
  Durable();
  message = TXT("密码修改成功");
  return 0;
}

std::vector<std::string> Broker::AccountsOf(const std::string& login) {
  tarn::Lock lock(mutex_);
  std::vector<std::string> out;
  auto it = ledger_.logins.find(login);
  if (it == ledger_.logins.end()) return out;
  for (AccountIndex a : it->second.accounts) out.push_back(ledger_.accounts[a].id);
  return out;
}

AccountIndex Broker::FindAccount(std::string_view id) {
  tarn::Lock lock(mutex_);
  return ledger_.Find(id);
}

std::string Broker::AccountId(AccountIndex account) {
  tarn::Lock lock(mutex_);
  return account < ledger_.accounts.size() ? ledger_.accounts[account].id : std::string();
}

std::string Broker::AccountName(AccountIndex account) {
  tarn::Lock lock(mutex_);
  return account < ledger_.accounts.size() ? ledger_.accounts[account].name : std::string();
}

// ---- helpers ---------------------------------------------------------------------------------

const ContractTerms& Broker::Terms(ContractId id) {
  static const ContractTerms none;
  const Catalogue& cat = market_.GetCatalogue();
  return id < cat.Size() ? terms_[cat.ContractAt(id).commodity] : none;
}

int32_t Broker::TradingDay() {
  tarn::Lock lock(mutex_);
  return day_;
}

const std::string& Broker::ContractKey(ContractId id) const { return market_.GetCatalogue().KeyOf(id); }

int64_t Broker::Now() { return market_.NowMs(); }

Broker::Book* Broker::FindBook(ContractId id) { return id < books_.size() ? books_[id].get() : nullptr; }

Broker::Book& Broker::BookOf(ContractId id) {
  std::unique_ptr<Book>& slot = books_[id];
  if (!slot) {
    slot = std::make_unique<Book>();
    slot->id = id;
    slot->terms = Terms(id);
  }
  Book& b = *slot;
  if (!b.watched) {
    b.watched = true;
    interest_[id].store(true);
    market_.Watch(id, true);
    Snapshot s;
    if (market_.GetSnapshot(id, s)) {
      b.snap = s;
      b.have = true;
    }
  }
  return b;
}

Order* Broker::FindOrder(AccountIndex a, std::string_view key) {
  auto it = byKey_.find(ParseKey(key));
  if (it == byKey_.end()) return nullptr;
  auto o = orders_.find(it->second);
  if (o == orders_.end() || o->second.account != a || Field(o->second.key) != key) return nullptr;
  return &o->second;
}

// The views are computed by broker_views; these read them with the broker's books and terms.
int32_t Broker::LastPrice(ContractId id, const Side* side) {
  const Book* b = FindBook(id);
  return ViewPrice(b && b->have ? b->snap.last : 0, side);
}

Money Broker::SideProfit(const Side& s, uint64_t key, int32_t last, bool open) {
  return exchange::SideProfit(s, key, last, open, Terms(SideContract(key)));
}

PositionView Broker::ViewOf(const Side& s, uint64_t key) {
  const ContractId c = SideContract(key);
  return PositionViewOf(s, key, LastPrice(c, &s), Terms(c));
}

// ---- queries ---------------------------------------------------------------------------------

bool Broker::GetOrders(const std::string& account, std::vector<Order>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  for (uint64_t id : ledger_.accounts[a].orders) out.push_back(orders_[id]);
  return true;
}

bool Broker::GetFills(const std::string& account, std::vector<Fill>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  out = ledger_.accounts[a].fills;
  return true;
}

bool Broker::GetPositions(const std::string& account, std::vector<PositionView>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  for (const auto& [key, side] : ledger_.accounts[a].sides) out.push_back(ViewOf(side, key));
  return true;
}

bool Broker::GetLots(const std::string& account, std::vector<LotView>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  for (const auto& [key, side] : ledger_.accounts[a].sides) {
    const ContractId c = SideContract(key);
    AppendLotViews(side, key, LastPrice(c, &side), Terms(c), out);
  }
  return true;
}

bool Broker::GetFunds(const std::string& account, FundsView& out) {
  tarn::Lock lock(mutex_);
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  out = FundsOf(a);
  return true;
}

FundsView Broker::FundsOf(AccountIndex a) {
  const ViewPrices prices{[this](ContractId c) -> const ContractTerms& { return Terms(c); },
                          [this](ContractId c) {
                            const Book* b = FindBook(c);
                            return b && b->have ? b->snap.last : 0;
                          }};
  return FundsViewOf(ledger_.accounts[a], prices);
}

bool Broker::GetStrategies(const std::string& account, std::vector<StrategyOrder>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  out = ledger_.accounts[a].strategies;
  return true;
}

bool Broker::GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) {
  tarn::Lock lock(mutex_);
  const AccountIndex a = FindAccount(account);
  if (a == kNoAccount) return false;
  if (tradingDay == day_) {
    text = Statement(a, day_, false, nullptr);
    return true;
  }
  auto it = statements_.find({a, tradingDay});
  if (it != statements_.end()) {
    text = it->second;
    return true;
  }
  if (store_ && store_->GetSettlement(account, tradingDay, text)) return true;
  text = Format(TXT("账户%s没有%d的结算单"), ledger_.accounts[a].id, tradingDay);
  return false;
}

// ---- events ----------------------------------------------------------------------------------

void Broker::Emit(BrokerEvent event) { pending_.push_back(std::move(event)); }

void Broker::EmitOrder(const Order& o) {
  pending_.emplace_back();
  BrokerEvent& e = pending_.back();
  e.type = BrokerEventType::Order;
  e.account = o.account;
  e.order = o;
  DirtyOrder(o);
  if (o.strategy) runner_.Wake(o.strategy);
}

void Broker::EmitText(AccountIndex account, const std::string& text) {
  pending_.emplace_back();
  pending_.back().type = BrokerEventType::Text;
  pending_.back().account = account;
  pending_.back().text = text;
}

void Broker::Touch(AccountIndex a) {
  if (touchMark_[a] == 1) return;
  if (touchMark_[a] == 0) touched_.push_back(a);
  touchMark_[a] = 1;
}

void Broker::TouchPrice(AccountIndex a) {
  if (touchMark_[a] != 0) return;
  touched_.push_back(a);
  touchMark_[a] = 2;
}

void Broker::EmitTouched() {
  for (AccountIndex a : touched_) {
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Positions;
    pending_.back().account = a;
    pending_.back().complete = touchMark_[a] == 1;
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Funds;
    pending_.back().account = a;
    touchMark_[a] = 0;
  }
  touched_.clear();
}

void Broker::Finish() {
  if (runner_.HasWork()) runner_.Work();
  EmitTouched();
  Commit();
}

void Broker::Deliver() {
  if (journal_) {
    // The journal delivers once the changes are stored; keep it from falling too far behind.
    journal_->WaitRoom();
    return;
  }
  {
    tarn::Lock lock(mutex_);
    if (delivering_) return;  // the delivery under way hands these out after its batch
    delivering_ = true;
  }
  std::vector<BrokerEvent> batch;
  for (;;) {
    {
      tarn::Lock lock(mutex_);
      batch.clear();
      batch.swap(pending_);
      if (batch.empty()) {
        delivering_ = false;
        return;
      }
    }
    listeners_.ForEach([&](IBrokerListener* l) { l->OnBrokerEvents(batch); });
  }
}

// ---- persistence -----------------------------------------------------------------------------

void Broker::Commit() {
  if (!store_ || (changes_.Empty() && pending_.empty())) return;
  JournalWrite w;
  changes_.TakeInto(w, ledger_, orders_, market_.GetCatalogue(), day_);
  w.events.swap(pending_);
  const bool statements = !w.statements.empty();
  const uint64_t seq = journal_->Queue(std::move(w));
  if (statements) statementsSeq_ = seq;
}

void Broker::Durable() {
  if (journal_) journal_->WaitDurable();
}

// ---- the market's events ---------------------------------------------------------------------

void Broker::OnMarketEvents(const std::vector<MarketEvent>& events) {
  // On the thread that advances the market: keep what concerns the broker and go.
  std::vector<MarketEvent> mine;
  for (const MarketEvent& e : events) {
    if (e.type == EventType::DayRoll || (e.type == EventType::Snapshot && e.id < books_.size() && interest_[e.id].load()))
      mine.push_back(e);
  }
  if (mine.empty()) return;
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    if (stop_) return;
    work_.push_back(std::move(mine));
    // The worker starts with the first market step the broker has to work off: a broker that
    // never hears of one (a store check, a fuzz input) costs no thread.
    if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  }
  workCv_.notify_one();
}

void Broker::WorkerLoop() {
  std::unique_lock<std::mutex> lock(workMutex_);
  for (;;) {
    workCv_.wait(lock, [this] { return stop_ || !work_.empty(); });
    if (work_.empty() && stop_) break;
    std::vector<MarketEvent> batch = std::move(work_.front());
    work_.pop_front();
    working_ = true;
    lock.unlock();
    ProcessBatch(batch);
    lock.lock();
    working_ = false;
    idleCv_.notify_all();
  }
  idleCv_.notify_all();
}

void Broker::ProcessBatch(const std::vector<MarketEvent>& events) {
  {
    tarn::Lock lock(mutex_);
    for (const MarketEvent& e : events) {
      if (e.type == EventType::DayRoll) {
        if (e.snap.tradingDay > day_) RollTo(e.snap.tradingDay);
      } else if (Book* b = FindBook(e.id)) {
        ProcessSnapshot(*b, e.snap);
      }
    }
    Finish();
  }
  Deliver();
}

void Broker::WaitIdle() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(workMutex_);
      idleCv_.wait(lock, [this] { return (work_.empty() && !working_) || stop_; });
    }
    if (journal_) journal_->WaitIdle();
    {
      tarn::Lock lock(mutex_);
      if (!delivering_ && pending_.empty()) {
        std::lock_guard<std::mutex> work(workMutex_);
        const bool written = !journal_ || journal_->OnJournalThread() || journal_->Idle();
        if (work_.empty() && !working_ && written) return;
        continue;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

}  // namespace tarn::exchange
