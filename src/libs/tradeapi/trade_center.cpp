#include "libs/tradeapi/trade_center.h"

#include <algorithm>
#include <cstring>

#include "data/trade_enums.h"
#include "libs/tradeapi/records.h"
#include "platform/text.h"

namespace tarn::tradeapi {

using exchange::BrokerEvent;
using exchange::BrokerEventType;

TradeCenter::TradeCenter(exchange::ITradeLink* embedded, exchange::ITradeLink* remote)
    : embedded_(embedded), remote_(remote), link_(embedded) {}

TradeCenter::~TradeCenter() {
  if (embedded_) embedded_->SetSink(nullptr);
  if (remote_) remote_->SetSink(nullptr);
  dispatcher_.WaitIdle();
}

// ---- helpers ---------------------------------------------------------------------------------

void TradeCenter::Post(std::function<void()> job) {
  exchange::ITradeLink* link = Link();
  const int latency = link ? link->LatencyMs() : 0;
  dispatcher_.PostAfter(latency, std::move(job));
}

exchange::ITradeLink* TradeCenter::Up() {
  tarn::Lock lock(mutex_);
  exchange::ITradeLink* link = Link();
  return loggedIn_ && link && link->IsUp() ? link : nullptr;
}

std::string TradeCenter::Current() {
  tarn::Lock lock(mutex_);
  return current_;
}

std::string TradeCenter::AccountFor(std::string_view named) {
  tarn::Lock lock(mutex_);
  if (!named.empty() && std::find(accounts_.begin(), accounts_.end(), named) != accounts_.end())
    return std::string(named);
  return current_;
}

const exchange::Catalogue* TradeCenter::Catalogue() { return catalogue_.load(); }

exchange::ContractId TradeCenter::IdOf(std::string_view key) {
  const exchange::Catalogue* cat = Catalogue();
  return cat && !key.empty() ? cat->Find(key) : exchange::kNoContract;
}

void TradeCenter::Say(const std::string& text) {
  const AccountTexts acc = TextsOf(Current());
  Post([this, text, acc] { Broadcast([&](ITradeNotify& n) { n.OnTradeText(text, acc); }); });
}

// ---- session ---------------------------------------------------------------------------------

void TradeCenter::Login(AccountTexts account, const std::string& tradeHost, int tradePort, const std::string& cloudHost,
                        int cloudPort) {
  (void)cloudHost;
  (void)cloudPort;
  dispatcher_.Post([this, account = std::move(account), host = tradeHost, tradePort]() mutable {
    LoginJob(std::move(account), std::move(host), tradePort);
  });
}

void TradeCenter::LoginJob(AccountTexts texts, std::string host, int port) {
  const AccountTexts who{"", texts.account, ""};
  auto say = [&](int code, const std::string& text) {
    Broadcast([&](ITradeNotify& n) { n.OnTradeLogin(code, text, who); });
  };
  say(0, TXT("正在连接交易服务器..."));
  exchange::ITradeLink* chosen = EqualsNoCase(Trim(host), kEmbeddedHost) ? embedded_ : remote_;
  if (!chosen) {
    say(-1, Format(TXT("无法连接交易服务器%s:%d: 本版本只提供内置交易所, 请将交易服务器设为 tarn-embedded"), host, port));
    return;
  }
  std::vector<std::string> accounts;
  std::string error;
  exchange::TradeLogin login{texts.account, texts.password, host, port};
  ready_ = false;
  exchange::ITradeLink* previous = link_.exchange(chosen);
  if (previous && previous != chosen) {
    previous->SetSink(nullptr);
    previous->Close();
  }
  if (!chosen->Open(login, [&](const std::string& t) { say(0, t); }, error, accounts)) {
    {
      tarn::Lock lock(mutex_);
      loggedIn_ = false;
    }
    say(-1, error);
    return;
  }
  catalogue_.store(&chosen->GetCatalogue());
  {
    tarn::Lock lock(mutex_);
    user_ = texts.account;
    accounts_ = accounts;
    if (std::find(accounts_.begin(), accounts_.end(), current_) == accounts_.end()) current_ = accounts_.front();
    loggedIn_ = true;
  }
  chosen->SetSink(this);
  // The day's lists, read once: from now on the library is ready.
  std::vector<OrderRecord> orders;
  std::vector<FillRecord> fills;
  std::vector<PositionRecord> positions;
  std::vector<PositionDetail> details;
  GetOrders(orders);
  GetFills(fills);
  GetPositions(positions);
  GetPositionDetails(details);
  ready_ = true;
  say(1, TXT("交易登录成功"));
  Broadcast([](ITradeNotify& n) { n.OnTradeRefresh(); });
}

void TradeCenter::OnTradeLinkDown(int reason) {
  (void)reason;
  ready_ = false;
  const AccountTexts acc = TextsOf(Current());
  dispatcher_.Post([this, acc] { Broadcast([&](ITradeNotify& n) { n.OnTradeDisconnected(acc); }); });
}

void TradeCenter::GetAccounts(std::vector<std::string>& out) {
  tarn::Lock lock(mutex_);
  out = accounts_;
}

void TradeCenter::GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& current) {
  tarn::Lock lock(mutex_);
  out.clear();
  for (const std::string& a : accounts_) out.push_back(TextsOf(a));
  current = loggedIn_ ? AccountTexts{"", user_, ""} : AccountTexts{};
}

void TradeCenter::SetCurrentAccount(const std::string& account) {
  {
    tarn::Lock lock(mutex_);
    if (std::find(accounts_.begin(), accounts_.end(), account) == accounts_.end() || current_ == account) return;
    current_ = account;
    last_ = Lists{};
  }
  Post([this] { Broadcast([](ITradeNotify& n) { n.OnTradeRefresh(); }); });
}

void TradeCenter::AddListener(ITradeNotify* listener) {
  if (listener) listeners_.Add(listener);
}

void TradeCenter::RemoveListener(ITradeNotify* listener) {
  if (listener) listeners_.Remove(listener);
}

// ---- notifications ---------------------------------------------------------------------------

void TradeCenter::OnTradeEvents(const std::vector<BrokerEvent>& events) {
  Post([this, events] { Deliver(events); });
}

void TradeCenter::Deliver(const std::vector<BrokerEvent>& events) {
  const exchange::Catalogue* cat = Catalogue();
  exchange::ITradeLink* link = Link();
  if (!cat || !link) return;
  std::string account;
  exchange::AccountIndex index = exchange::kNoAccount;
  for (const BrokerEvent& e : events) {
    if (e.account != index) {
      index = e.account;
      account = link->AccountOf(index);
    }
    const AccountTexts acc = TextsOf(account);
    switch (e.type) {
      case BrokerEventType::Order: {
        const OrderRecord r = MakeOrderRecord(e.order, account, *cat);
        Broadcast([&](ITradeNotify& n) { n.OnOrder(&r, acc); });
        break;
      }
      case BrokerEventType::Fill: {
        const FillRecord r = MakeFillRecord(e.fill, account, *cat);
        Broadcast([&](ITradeNotify& n) { n.OnFill(&r, acc); });
        break;
      }
      case BrokerEventType::Positions:
        Broadcast([&](ITradeNotify& n) { n.OnPositions(acc, e.complete); });
        break;
      case BrokerEventType::Funds:
        Broadcast([&](ITradeNotify& n) { n.OnAccountUpdate(1, acc); });
        break;
      case BrokerEventType::Text:
        Broadcast([&](ITradeNotify& n) { n.OnTradeText(e.text, acc); });
        break;
      case BrokerEventType::Strategy:
        Broadcast([&](ITradeNotify& n) { n.OnStrategyChanged(1, acc); });
        break;
      case BrokerEventType::Refresh:
        Broadcast([](ITradeNotify& n) { n.OnTradeRefresh(); });
        break;
    }
  }
}

void TradeCenter::SelectContract(DC_Contract contract, int direction, double price) {
  dispatcher_.Post([this, contract, direction, price] {
    Broadcast([&](ITradeNotify& n) { n.OnContractSelected(contract, direction, price); });
  });
}

void TradeCenter::RefreshPositions() {
  const AccountTexts acc = TextsOf(Current());
  Post([this, acc] {
    Broadcast([&](ITradeNotify& n) { n.OnPositions(acc, true); });
    Broadcast([&](ITradeNotify& n) { n.OnAccountUpdate(1, acc); });
  });
}

// ---- lists -----------------------------------------------------------------------------------

void TradeCenter::GetOrders(std::vector<OrderRecord>& out) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  const std::string account = Current();
  std::vector<exchange::Order> orders;
  exchange::ITradeLink* link = Up();
  if (!cat || !link || !link->GetOrders(account, orders)) {
    tarn::Lock lock(mutex_);
    out = last_.orders;
    return;
  }
  out.reserve(orders.size());
  for (const exchange::Order& o : orders) out.push_back(MakeOrderRecord(o, account, *cat));
  tarn::Lock lock(mutex_);
  if (account == current_) last_.orders = out;
}

void TradeCenter::GetFills(std::vector<FillRecord>& out) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  const std::string account = Current();
  std::vector<exchange::Fill> fills;
  exchange::ITradeLink* link = Up();
  if (!cat || !link || !link->GetFills(account, fills)) {
    tarn::Lock lock(mutex_);
    out = last_.fills;
    return;
  }
  out.reserve(fills.size());
  for (const exchange::Fill& f : fills) out.push_back(MakeFillRecord(f, account, *cat));
  tarn::Lock lock(mutex_);
  if (account == current_) last_.fills = out;
}

void TradeCenter::GetPositions(std::vector<PositionRecord>& out) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  const std::string account = Current();
  std::vector<exchange::PositionView> positions;
  exchange::ITradeLink* link = Up();
  if (!cat || !link || !link->GetPositions(account, positions)) {
    tarn::Lock lock(mutex_);
    out = last_.positions;
    return;
  }
  for (const exchange::PositionView& p : positions) out.push_back(MakePositionRecord(p, account, *cat));
  tarn::Lock lock(mutex_);
  if (account == current_) last_.positions = out;
}

void TradeCenter::GetPositionDetails(std::vector<PositionDetail>& out) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  const std::string account = Current();
  std::vector<exchange::LotView> lots;
  exchange::ITradeLink* link = Up();
  if (!cat || !link || !link->GetLots(account, lots)) {
    tarn::Lock lock(mutex_);
    out = last_.details;
    return;
  }
  for (const exchange::LotView& l : lots) out.push_back(MakePositionDetail(l, account, *cat));
  tarn::Lock lock(mutex_);
  if (account == current_) last_.details = out;
}

double TradeCenter::GetCurrencyRate(const std::string& currency) {
  if (currency.empty() || currency == "Base") return 1.0;
  const int64_t micro = exchange::CurrencyRateMicro(currency);
  return micro > 0 ? 1e6 / static_cast<double>(micro) : 0.0;
}

int TradeCenter::GetAccountFunds(FundsRecord& out, const std::string& account, const std::string& currency) {
  const std::string who = account.empty() ? Current() : account;
  {
    tarn::Lock lock(mutex_);
    if (std::find(accounts_.begin(), accounts_.end(), who) == accounts_.end()) return 0;
  }
  const bool base = currency.empty() || currency == "Base" || currency == exchange::kAccountCurrency;
  const int64_t micro = base ? 1000000 : exchange::CurrencyRateMicro(currency);
  if (micro <= 0) return 0;
  exchange::FundsView f;
  exchange::ITradeLink* link = Up();
  if (!link || !link->GetFunds(who, f)) {
    tarn::Lock lock(mutex_);
    if (!last_.haveFunds || who != current_ || !base) return 0;
    out = last_.funds;
    return 1;
  }
  out = MakeFundsRecord(f, base ? f.currency : currency, micro);
  if (base) {
    tarn::Lock lock(mutex_);
    if (who == current_) {
      last_.funds = out;
      last_.haveFunds = true;
    }
  }
  return 1;
}

void TradeCenter::GetAccountText(std::string& out, const std::string& key) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  if (cat) {
    const exchange::ContractId id = cat->Find(key);
    if (id != exchange::kNoContract) {
      out = cat->CommodityOf(id).spec.currency;
      return;
    }
  }
  exchange::FundsView f;
  if (exchange::ITradeLink* link = Up(); link && link->GetFunds(key, f)) out = f.name;
}

void TradeCenter::GetStrategyOrders(std::vector<StrategyOrderRecord>& out) {
  out.clear();
  const exchange::Catalogue* cat = Catalogue();
  std::vector<exchange::StrategyOrder> list;
  exchange::ITradeLink* link = Up();
  if (!cat || !link || !link->GetStrategies(Current(), list)) return;
  for (const exchange::StrategyOrder& s : list) out.push_back(MakeStrategyRecord(s, *cat));
}

int TradeCenter::GetContractRates(ContractRates& out, DC_Contract contract) {
  const exchange::ContractId id = IdOf(contract.Key());
  exchange::ContractTerms t;
  exchange::ITradeLink* link = Link();
  if (id == exchange::kNoContract || !link || !link->GetTerms(id, t)) return 0;
  out = ContractRates{};
  out.marginMode = 1;
  out.marginValue = static_cast<double>(t.marginPpm) / 1e6;
  out.margin2Mode = 1;
  out.margin2Value = 1.0;
  if (t.perLotFee) {
    out.feeMode = 2;
    out.feeA = static_cast<double>(t.openFeeLot) / 100.0;
  } else {
    out.feeMode = 1;
    out.feeA = static_cast<double>(t.openFeePpm) / 1e6;
  }
  out.feeB = 0.0;
  return 1;
}

bool TradeCenter::NeedsCloseToday(DC_Contract contract) {
  const std::string_view key = contract.Key();
  const std::string_view exchange = key.substr(0, key.find('|'));
  return exchange == "SHFE" || exchange == "INE";
}

// ---- orders ----------------------------------------------------------------------------------

int TradeCenter::InsertOrder(OrderRecord order) {
  exchange::ITradeLink* link = Up();
  if (!link) {
    Say(TXT("报单失败:交易未登录"));
    return -1;
  }
  const exchange::Catalogue* cat = Catalogue();
  exchange::OrderEntry entry;
  entry.account = AccountFor(Field(order.accountText2));
  entry.contract = IdOf(order.contract.Key());
  entry.direction = order.direction;
  entry.offset = order.offset;
  entry.market = order.priceType == kMarketPrice;
  entry.quantity = order.quantity;
  entry.positionNumber = std::string(Field(order.positionNumber));
  if (!entry.market && entry.contract != exchange::kNoContract)
    entry.priceOnTick = PriceToTicks(order.price, cat->CommodityOf(entry.contract).spec.tick, entry.price);
  entry.clientRef = refs_.Next();
  return link->InsertOrder(entry);
}

int TradeCenter::InsertConditionOrder(ConditionOrderRequest request) {
  exchange::ITradeLink* link = Up();
  if (!link) {
    Say(TXT("条件单失败:交易未登录"));
    return -1;
  }
  const exchange::Catalogue* cat = Catalogue();
  exchange::ConditionEntry entry;
  entry.account = Current();
  entry.contract = IdOf(request.contract.Key());
  entry.direction = request.direction;
  entry.offset = request.offset;
  entry.triggerBasis = request.triggerBasis;
  entry.kind = request.kind;
  entry.quantity = request.quantity;
  entry.sendMode = request.sendPriceMode;
  entry.ticks = request.ticks;
  request.positionNumber[sizeof request.positionNumber - 1] = '\0';
  entry.positionNumber = std::string(Field(request.positionNumber));
  entry.longTerm = request.longTerm != 0;
  if (entry.contract != exchange::kNoContract) {
    const double tick = cat->CommodityOf(entry.contract).spec.tick;
    // A trigger between two ticks fires at the nearer one.
    PriceToTicks(request.triggerPrice, tick, entry.trigger);
    entry.sendPriceOnTick = PriceToTicks(request.sendPrice, tick, entry.sendPrice);
  }
  entry.clientRef = refs_.Next();
  return link->InsertCondition(entry);
}

int TradeCenter::CancelOrder(const OrderRecord* order) {
  if (!order) return -1;
  exchange::ITradeLink* link = Up();
  if (!link) {
    Say(TXT("撤单失败:交易未登录"));
    return -1;
  }
  std::string error;
  const int code = link->CancelOrder(AccountFor(Field(order->accountText2)), std::string(order->Key()), &error);
  if (code != 0) Say(Format(TXT("撤单失败:%s"), error));
  return code == 0 ? 0 : -1;
}

int TradeCenter::ModifyOrder(OrderRecord order, double price, int quantity) {
  exchange::ITradeLink* link = Up();
  if (!link) {
    Say(TXT("改单失败:交易未登录"));
    return -1;
  }
  const exchange::ContractId id = IdOf(order.contract.Key());
  int64_t ticks = 0;
  const bool onTick = id != exchange::kNoContract && PriceToTicks(price, Catalogue()->CommodityOf(id).spec.tick, ticks);
  std::string error;
  const int code =
      link->ModifyOrder(AccountFor(Field(order.accountText2)), std::string(order.Key()), ticks, onTick, quantity, &error);
  return code == 0 ? 0 : -1;
}

void TradeCenter::SendClose(const PositionRecord& p, const std::string& account, int side) {
  const bool closesLong = side == kBuy;
  const int quantity = closesLong ? p.longQuantity : p.shortQuantity;
  if (quantity <= 0) return;
  const int today = std::clamp(closesLong ? p.todayLong : p.todayShort, 0, quantity);
  OrderRecord o = ZeroRecord<OrderRecord>();
  o.contract = p.contract;
  o.direction = closesLong ? kSell : kBuy;
  o.priceType = kMarketPrice;
  SetField(o.accountText2, account);
  auto send = [&](int lots, int offset) {
    while (lots > 0) {
      o.quantity = std::min(lots, exchange::kMaxOrderLots);
      o.offset = offset;
      InsertOrder(o);
      lots -= o.quantity;
    }
  };
  if (NeedsCloseToday(p.contract)) {
    send(quantity - today, kClose);
    send(today, kCloseToday);
  } else {
    send(quantity, kClose);
  }
}

void TradeCenter::ClosePosition(PositionRecord position) {
  const std::string account = AccountFor(Field(position.account));
  SendClose(position, account, kBuy);
  SendClose(position, account, kSell);
}

int TradeCenter::InsertLoopOrder(const StrategyOrderRequest* request) {
  exchange::ITradeLink* link = Up();
  if (!request || !link) {
    if (!link) Say(TXT("策略单失败:交易未登录"));
    return -1;
  }
  const CombolStrategy& s = request->strategy;
  std::string reason;
  int used = 0;
  bool gap = false;
  for (const CombolLeg& leg : s.legs) {
    if (!leg.Used()) {
      gap = true;
      continue;
    }
    DC_Contract c = leg.contract;
    c.key[sizeof c.key - 1] = '\0';
    if (gap || IdOf(c.Key()) == exchange::kNoContract || leg.lots < 0 || (leg.direction != kBuy && leg.direction != kSell))
      reason = TXT("策略腿无效");
    ++used;
  }
  if (used < 2) reason = TXT("策略至少需要2个合约");
  if (s.totalQuantity <= 0 || s.triggerQuantity <= 0 || s.triggerQuantity > s.totalQuantity) reason = TXT("策略数量错误");
  if (request->triggerCondition < 1 || request->triggerCondition > 4 || request->loopCondition < 0 ||
      request->loopCondition > 4)
    reason = TXT("策略触发条件错误");
  if (!reason.empty()) {
    Say(Format(TXT("策略单失败:%s"), reason));
    return -1;
  }
  exchange::StrategyEntry entry;
  entry.account = Current();
  for (const CombolLeg& leg : s.legs) {
    if (!leg.Used()) break;
    DC_Contract c = leg.contract;
    c.key[sizeof c.key - 1] = '\0';
    exchange::StrategyLegEntry& l = entry.legs[entry.legCount++];
    l.contract = IdOf(c.Key());
    l.direction = leg.direction;
    l.offset = leg.offset;
    l.lots = leg.lots;
    l.spreadTicks = leg.spreadTicks;
    l.chase = leg.chase;
  }
  entry.formula = std::string(Field(s.formula));
  entry.orderSide = s.orderSide == 2 ? 2 : 1;
  entry.type = s.type == 2 ? 2 : 1;
  entry.totalQuantity = s.totalQuantity;
  entry.triggerQuantity = s.triggerQuantity;
  entry.triggerPrice = request->triggerPrice;
  entry.triggerCondition = request->triggerCondition;
  entry.loopPrice = request->loopPrice;
  entry.loopCondition = request->loopCondition;
  entry.payload.assign(reinterpret_cast<const char*>(request), sizeof *request);
  std::string error;
  const int seq = link->InsertStrategy(entry, &error);
  if (seq < 0) Say(Format(TXT("策略单失败:%s"), error));
  return seq;
}

void TradeCenter::KeyboardPanelText(const std::string& block) {
  // The keyboard panel's text block asks nothing of the broker.
  (void)block;
}

void TradeCenter::StrategyGridAction(int sequence, int action) {
  // The strategy grid's "操作": action 1 stops the running strategy order of that sequence (the
  // number in its key); other actions ask nothing.
  exchange::ITradeLink* link = Up();
  if (!link || action != 1) return;
  std::string error;
  if (link->StopStrategy(Current(), sequence, &error) != 0) Say(Format(TXT("停止策略单失败:%s"), error));
}

// ---- account dialogs -------------------------------------------------------------------------

void TradeCenter::ChangePassword(AccountTexts account, const std::string& oldPassword, const std::string& newPassword,
                                 int zero) {
  (void)zero;
  dispatcher_.Post([this, account = std::move(account), oldPassword, newPassword] {
    PasswordChangeResult result{};
    std::string message;
    exchange::ITradeLink* link = Up();
    if (!link) {
      result.code = -1;
      message = TXT("交易未登录");
    } else {
      result.code = link->ChangePassword(oldPassword, newPassword, message);
    }
    CopyToField(result.message, sizeof result.message, message);
    const AccountTexts who{account.first, account.account, ""};
    Broadcast([&](ITradeNotify& n) { n.OnPasswordChanged(who, result); });
  });
}

void TradeCenter::QuerySettlement(int date) {
  const std::string account = Current();
  Post([this, account, date] {
    std::string text;
    exchange::ITradeLink* link = Up();
    if (!link)
      text = TXT("交易未登录, 无法查询结算单");
    else if (!link->GetSettlement(account, date, text) && text.empty())
      text = Format(TXT("没有%d的结算单"), date);
    Broadcast([&](ITradeNotify& n) { n.OnSettlementInfo(date, text); });
  });
}

}  // namespace tarn::tradeapi
