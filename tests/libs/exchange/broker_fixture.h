// A broker over a scripted market: every book, trade, session and settlement of a scenario is
// set by the test. Named contracts and prices keep the scenarios readable.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn::test {

using namespace tarn::exchange;
using tarn::Field;

constexpr int32_t kDay1 = 20251208;  // a Monday
constexpr int64_t kDay1Ms = 1765159200000LL;  // 10:00 exchange time that day

class ScriptedMarket : public IBrokerMarket {
 public:
  ScriptedMarket() : calendar_(false), catalogue_(StandardSpecs(), StandardExchanges(), calendar_, DayNumOf(kDay1)) {}

  const Catalogue& GetCatalogue() const override { return catalogue_; }
  int64_t NowMs() override { return now_; }
  int32_t TradingDay() override { return day_; }
  int32_t NextTradingDay(int32_t day) override { return Yyyymmdd(DayNumOf(day) + 1); }
  bool InSession(ContractId, int64_t) override { return open_; }
  bool Tradable(ContractId id, int32_t tradingDay) override {
    const Contract& c = catalogue_.ContractAt(id);
    return c.kind == ContractKind::Month && c.expiry >= DayNumOf(tradingDay);
  }
  void Watch(ContractId id, bool on) override {
    std::lock_guard<std::mutex> lock(m_);
    watchers_[id] += on ? 1 : -1;
  }
  bool GetSnapshot(ContractId id, Snapshot& out) override {
    std::lock_guard<std::mutex> lock(m_);
    auto it = snaps_.find(id);
    if (it == snaps_.end()) return false;
    out = it->second;
    return true;
  }
  bool Settlement(ContractId id, int32_t tradingDay, int32_t& ticks) override {
    std::lock_guard<std::mutex> lock(m_);
    auto it = settlements_.find({id, tradingDay});
    if (it == settlements_.end()) return false;
    ticks = it->second;
    return true;
  }
  void AddListener(IMarketListener* l) override { listeners_.Add(l); }
  void RemoveListener(IMarketListener* l) override { listeners_.Remove(l); }

  // A snapshot with a book around bid/ask: each level one tick apart, `qty` lots a level.
  Snapshot Book(ContractId id, int32_t bid, int32_t ask, int32_t qty = 10, int32_t last = 0) {
    Snapshot s;
    s.id = id;
    s.tradingDay = day_;
    s.timeMs = now_;
    s.last = last ? last : (bid > 0 ? bid : ask);
    const int32_t ref = s.last;
    s.preSettle = s.preClose = ref;
    s.upper = ref + ref / 10;
    s.lower = ref - ref / 10;
    for (int i = 0; i < kBookLevels; ++i) {
      if (bid > 0) {
        s.bidPrice[i] = bid - i;
        s.bidQty[i] = qty;
      }
      if (ask > 0) {
        s.askPrice[i] = ask + i;
        s.askQty[i] = qty;
      }
    }
    return s;
  }
  // Makes `s` the contract's snapshot: the next step of the market, published.
  void Publish(Snapshot s) {
    now_ += 500;
    s.timeMs = now_;
    s.tradingDay = day_;
    {
      std::lock_guard<std::mutex> lock(m_);
      snaps_[s.id] = s;
    }
    MarketEvent e;
    e.type = EventType::Snapshot;
    e.id = s.id;
    e.snap = s;
    std::vector<MarketEvent> batch{e};
    listeners_.ForEach([&](IMarketListener* l) { l->OnMarketEvents(batch); });
  }
  // Sets the contract's snapshot without publishing it (the book a new watcher reads).
  void Set(const Snapshot& s) {
    std::lock_guard<std::mutex> lock(m_);
    snaps_[s.id] = s;
  }
  // The same book with one trade of `qty` lots at `price` (side 1 active buy, 2 active sell).
  void Trade(Snapshot s, int32_t price, int32_t qty, int8_t side) {
    s.last = price;
    s.lastQty = qty;
    s.side = side;
    Publish(s);
  }
  void SetSettlement(ContractId id, int32_t day, int32_t ticks) {
    std::lock_guard<std::mutex> lock(m_);
    settlements_[{id, day}] = ticks;
  }
  // The next trading day begins.
  void Roll() {
    day_ = NextTradingDay(day_);
    now_ += 86400000;
    MarketEvent e;
    e.type = EventType::DayRoll;
    e.snap.tradingDay = day_;
    std::vector<MarketEvent> batch{e};
    listeners_.ForEach([&](IMarketListener* l) { l->OnMarketEvents(batch); });
  }
  int Watchers(ContractId id) {
    std::lock_guard<std::mutex> lock(m_);
    return watchers_[id];
  }

  // The nearest month of a commodity.
  ContractId Month(const char* exchange, const char* code, int index = 0) const {
    const Commodity& c = catalogue_.Commodities()[catalogue_.FindCommodity(exchange, code)];
    return c.months[static_cast<std::size_t>(index)];
  }

  bool open_ = true;
  int32_t day_ = kDay1;
  int64_t now_ = kDay1Ms;

 private:
  TradingCalendar calendar_;
  Catalogue catalogue_;
  std::mutex m_;
  std::map<ContractId, Snapshot> snaps_;
  std::map<std::pair<ContractId, int32_t>, int32_t> settlements_;
  std::map<ContractId, int> watchers_;
  tarn::ListenerSet<IMarketListener> listeners_;
};

// Records every event the broker publishes, with the thread it came on.
struct EventLog : IBrokerListener {
  void OnBrokerEvents(const std::vector<BrokerEvent>& e) override {
    std::lock_guard<std::mutex> lock(m);
    events.insert(events.end(), e.begin(), e.end());
  }
  std::vector<BrokerEvent> Take() {
    std::lock_guard<std::mutex> lock(m);
    std::vector<BrokerEvent> out;
    out.swap(events);
    return out;
  }
  std::mutex m;
  std::vector<BrokerEvent> events;
};

// Yuan -> cents.
constexpr Money Y(double yuan) { return static_cast<Money>(yuan * 100 + (yuan >= 0 ? 0.5 : -0.5)); }

class BrokerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rb = market.Month("SHFE", "rb");
    m = market.Month("DCE", "m");
    ifc = market.Month("CFFEX", "IF");
    market.Set(market.Book(rb, 3100, 3101));
    market.Set(market.Book(m, 2950, 2951));
    market.Set(market.Book(ifc, 22750, 22751));  // 4550.0 / 4550.2
    Open();
  }
  void TearDown() override {
    if (broker) {
      broker->RemoveListener(&log);
      broker.reset();
    }
  }
  virtual BrokerOptions Options() {
    BrokerOptions o;
    o.createDemo = false;
    o.hashCost = HashCost::Minimal;
    return o;
  }
  void Open() {
    broker = std::make_unique<Broker>(market, Options());
    broker->AddListener(&log);
    if (broker->FindAccount("A") == kNoAccount) {
      ASSERT_TRUE(broker->CreateLogin("u", "secret1", "tester"));
      ASSERT_TRUE(broker->CreateAccount("A", "u", "Alice", Y(1000000)));
      ASSERT_TRUE(broker->CreateAccount("B", "u", "Bob", Y(1000000)));
    }
  }
  void Reopen() {
    broker->RemoveListener(&log);
    broker.reset();
    Open();
  }

  int Send(const char* account, ContractId c, int dir, int offset, int qty, int32_t price, bool marketOrder = false,
           const std::string& number = "") {
    OrderEntry s;
    s.account = account;
    s.contract = c;
    s.direction = dir;
    s.offset = offset;
    s.quantity = qty;
    s.price = price;
    s.market = marketOrder;
    s.positionNumber = number;
    return broker->InsertOrder(s);
  }
  Order Get(const char* account, int seq) {
    std::vector<Order> list;
    broker->GetOrders(account, list);
    for (const Order& o : list)
      if (o.sequence == seq) return o;
    ADD_FAILURE() << "no order " << seq;
    return Order{};
  }
  std::vector<Fill> Fills(const char* account) {
    std::vector<Fill> f;
    broker->GetFills(account, f);
    return f;
  }
  PositionView Position(const char* account, ContractId c, int side) {
    std::vector<PositionView> list;
    broker->GetPositions(account, list);
    for (const PositionView& p : list)
      if (p.contract == c && p.side == side) return p;
    return PositionView{};
  }
  FundsView Funds(const char* account) {
    FundsView f;
    EXPECT_TRUE(broker->GetFunds(account, f));
    return f;
  }
  // Publishes a step and waits for the broker to work it off.
  void Step(const Snapshot& s) {
    market.Publish(s);
    broker->WaitIdle();
  }
  void Trade(const Snapshot& s, int32_t price, int32_t qty, int8_t side) {
    market.Trade(s, price, qty, side);
    broker->WaitIdle();
  }
  void ExpectInvariants() {
    std::string why;
    EXPECT_TRUE(broker->CheckInvariants(&why)) << why;
  }

  ScriptedMarket market;
  EventLog log;
  std::unique_ptr<Broker> broker;
  ContractId rb = kNoContract, m = kNoContract, ifc = kNoContract;
};

}  // namespace tarn::test
