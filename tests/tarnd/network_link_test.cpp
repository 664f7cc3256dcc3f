// The libraries' network links against a real server on loopback: quotes and subscriptions
// across a server restart, two terminals trading against each other, resends that never double
// an order, and the server's certificate checked on every connection after the first.
#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "libs/net/net_links.h"
#include "server_fixture.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;
using net::NetMarketLink;
using net::NetTradeLink;

class QuoteSink : public ILinkSink {
 public:
  void OnLinkEvents(const std::vector<MarketEvent>& events) override {
    std::lock_guard<std::mutex> lock(m);
    for (const MarketEvent& e : events)
      if (e.type == EventType::Snapshot) ids.insert(e.id), ++snapshots;
  }
  void OnLinkDown(int) override { ++downs; }
  int Snapshots() {
    std::lock_guard<std::mutex> lock(m);
    return snapshots;
  }
  std::set<ContractId> Ids() {
    std::lock_guard<std::mutex> lock(m);
    return ids;
  }
  std::mutex m;
  std::set<ContractId> ids;
  int snapshots = 0;
  std::atomic<int> downs{0};
};

class TradeSink : public ITradeSink {
 public:
  void OnTradeEvents(const std::vector<BrokerEvent>& events) override {
    std::lock_guard<std::mutex> lock(m);
    for (const BrokerEvent& e : events) {
      accounts.insert(e.account);
      if (e.type == BrokerEventType::Fill) ++fills;
    }
  }
  void OnTradeLinkDown(int) override { ++downs; }
  int Fills() {
    std::lock_guard<std::mutex> lock(m);
    return fills;
  }
  std::mutex m;
  std::set<AccountIndex> accounts;
  int fills = 0;
  std::atomic<int> downs{0};
};

class NetworkLink : public ServerFixture {
 protected:
  net::LinkSettings Settings() {
    net::LinkSettings s;
    s.connect.trustFile = data_.File("client/servers_trust.ini");
    s.connect.heartbeatMs = 200;
    s.connect.silenceMs = 2000;
    s.connect.connectTimeoutMs = 2000;
    return s;
  }
  LinkLogin QuoteLogin() { return LinkLogin{"opers", "472quark918", "127.0.0.1", port_}; }
  TradeLogin Login(const std::string& user, const std::string& password) {
    return TradeLogin{user, password, "127.0.0.1", port_};
  }
  // A second login with one account of its own.
  void AddTrader(const std::string& id) {
    ASSERT_TRUE(Broker().CreateLogin(id, "pw" + id, "trader " + id));
    ASSERT_TRUE(Broker().CreateAccount(id, id, "trader " + id, 100000000000LL));
  }
  // The main month of a busy commodity (quiet months may go steps without a change).
  ContractId SomeMonth() {
    const Catalogue& cat = exchange_->Open().GetCatalogue();
    return exchange_->Get()->MainMonth(cat.FindCommodity("SHFE", "rb"));
  }
};

TEST_F(NetworkLink, QuotesFlowAndSubscriptionsSurviveAServerRestart) {
  StartServer();
  NetMarketLink link(Settings());
  QuoteSink sink;
  std::string error;
  EXPECT_FALSE(link.Open(LinkLogin{"opers", "wrong", "127.0.0.1", port_}, nullptr, error));
  EXPECT_EQ(error, TXT("行情账号或密码错误"));
  ASSERT_TRUE(link.Open(QuoteLogin(), nullptr, error)) << error;
  link.SetSink(&sink);
  // The terminal builds the server's catalogue.
  const Catalogue& server = exchange_->Open().GetCatalogue();
  ASSERT_EQ(link.GetCatalogue().Size(), server.Size());
  EXPECT_EQ(link.GetCatalogue().ContractAt(5).key, server.ContractAt(5).key);

  const ContractId id = SomeMonth();
  link.Watch(id, true);
  Advance(2000);
  ASSERT_TRUE(WaitFor([&] { return sink.Snapshots() > 0; }));
  EXPECT_EQ(sink.Ids(), std::set<ContractId>{id});  // only what it watches
  Snapshot mine, theirs;
  ASSERT_TRUE(link.GetSnapshot(id, mine));
  ASSERT_TRUE(exchange_->Get()->GetSnapshot(id, theirs));
  EXPECT_EQ(mine.last, theirs.last);
  EXPECT_EQ(mine.timeMs, theirs.timeMs);
  std::vector<Bar> bars, serverBars;
  ASSERT_TRUE(link.GetBars(id, Period{3, 5}, 0, 50, bars));
  ASSERT_TRUE(exchange_->Get()->GetBars(id, Period{3, 5}, 0, 50, serverBars));
  ASSERT_EQ(bars.size(), serverBars.size());
  EXPECT_EQ(bars.back().close, serverBars.back().close);
  EXPECT_FALSE(link.GetSnapshot(kNoContract - 1, mine));  // an id the server does not have

  StopServer();
  ASSERT_TRUE(WaitFor([&] { return sink.downs.load() == 1; }));
  EXPECT_FALSE(link.IsUp());
  EXPECT_FALSE(link.Reopen(error));
  StartServer();  // same folder, same port
  ASSERT_TRUE(link.Reopen(error)) << error;
  const int before = sink.Snapshots();
  Advance(2000);
  EXPECT_TRUE(WaitFor([&] { return sink.Snapshots() > before; }));  // watched again by itself
}

TEST_F(NetworkLink, TwoTerminalsOnTwoAccountsTradeAgainstEachOther) {
  StartServer();
  AddTrader("9101");
  AddTrader("9102");
  NetTradeLink a(Settings()), b(Settings());
  TradeSink sa, sb;
  std::string error;
  std::vector<std::string> accounts;
  ASSERT_TRUE(a.Open(Login("9101", "pw9101"), nullptr, error, accounts)) << error;
  EXPECT_EQ(accounts, std::vector<std::string>{"9101"});
  ASSERT_TRUE(b.Open(Login("9102", "pw9102"), nullptr, error, accounts)) << error;
  a.SetSink(&sa);
  b.SetSink(&sb);

  // A sells above the market's bid (so it rests); B buys enough to clear the market's lots at
  // that price and reach A's.
  const ContractId id = SomeMonth();
  exchange_->Get()->Watch(id);
  Advance(1000);
  Snapshot s;
  ASSERT_TRUE(exchange_->Get()->GetSnapshot(id, s));
  ASSERT_GT(s.bidPrice[0], 0);
  const int32_t price = s.bidPrice[0] + 1;
  const int marketLots = s.askPrice[0] == price ? s.askQty[0] : 0;
  OrderEntry sell{"9101", id, 2, 1, false, price, true, 1, ""};
  OrderEntry buy{"9102", id, 1, 1, false, price, true, marketLots + 1, ""};
  ASSERT_GE(a.InsertOrder(sell), 0);
  ASSERT_GE(b.InsertOrder(buy), 0);
  ASSERT_TRUE(WaitFor([&] { return sa.Fills() == 1 && sb.Fills() >= 1; }));

  std::vector<Fill> fa, fb;
  ASSERT_TRUE(a.GetFills("9101", fa));
  ASSERT_TRUE(b.GetFills("9102", fb));
  ASSERT_EQ(fa.size(), 1u);
  EXPECT_EQ(fa[0].price, price);
  EXPECT_EQ(fa[0].direction, 2);
  EXPECT_EQ(fb.back().price, price);
  // Each sees its own account only: in its events and in what it may ask for.
  EXPECT_EQ(sa.accounts, std::set<AccountIndex>{Broker().FindAccount("9101")});
  EXPECT_EQ(sb.accounts, std::set<AccountIndex>{Broker().FindAccount("9102")});
  std::vector<Order> theirs;
  EXPECT_FALSE(a.GetOrders("9102", theirs));
  EXPECT_FALSE(b.GetFills("9101", fa));
  EXPECT_LT(a.InsertOrder(OrderEntry{"9102", id, 1, 1, false, price, true, 1, ""}), 0);
  std::vector<Order> orders;
  ASSERT_TRUE(b.GetOrders("9102", orders));
  EXPECT_EQ(orders.size(), 1u);
}

TEST_F(NetworkLink, AnOrderSentAgainWithItsReferenceIsPlacedOnce) {
  StartServer();
  const ContractId id = SomeMonth();
  auto send = [&](RawClient& c, uint64_t ref) {
    net::ByteWriter w;
    OrderEntry e{"8001", id, 1, 1, false, 1, true, 1, ""};
    e.clientRef = 0xABCDEF000 + ref;
    net::Write(w, e);
    EXPECT_TRUE(c.Send(net::Msg::InsertOrder, w.Bytes()));
    net::Frame f;
    // The order's events come first: its answer waits for the broker's commit.
    while (c.ReceiveAnswer(f) && f.type != static_cast<uint16_t>(net::Msg::Reply)) {
    }
    net::ByteReader r(f.payload);
    EXPECT_EQ(r.U32(), c.LastSequence());
    return r.I32();
  };
  int first, again, other;
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(net::LinkKind::Trade, "8001", "888888"));
    first = send(c, 1);
  }
  {
    // The answer was "lost": the terminal logs in again and sends the same reference.
    RawClient c(port_);
    ASSERT_TRUE(c.Login(net::LinkKind::Trade, "8001", "888888"));
    again = send(c, 1);
    other = send(c, 2);
  }
  EXPECT_EQ(again, first);
  EXPECT_NE(other, first);
  std::vector<Order> orders;
  ASSERT_TRUE(Broker().GetOrders("8001", orders));
  EXPECT_EQ(orders.size(), 2u);

  // With the link down an order is refused at once, not kept for later.
  NetTradeLink link(Settings());
  EXPECT_LT(link.InsertOrder(OrderEntry{"8001", id, 1, 1, false, 1, true, 1, ""}), 0);
  EXPECT_EQ(link.PendingOrders(), 0u);
}

// A terminal may send many orders without waiting: each is answered exactly once, only after
// its events (its commit), and a burst sent again with the same references books nothing new.
TEST_F(NetworkLink, PipelinedOrdersAreEachAnsweredOnceAfterTheirCommit) {
  StartServer();
  const ContractId id = SomeMonth();
  constexpr int kOrders = 300;
  std::vector<std::string> payloads;
  for (int i = 0; i < kOrders; ++i) {
    OrderEntry e{"8001", id, 1, 1, false, 1, true, 1, ""};
    // The last ten repeat references of the burst: answered as their first, after its commit.
    e.clientRef = 0x5EED000 + (i < kOrders - 10 ? i : i - 100);
    net::ByteWriter w;
    net::Write(w, e);
    payloads.push_back(std::move(w.Bytes()));
  }
  // Sends the burst in one write; the answers by position in the burst.
  auto burst = [&](RawClient& c, bool fresh) {
    std::vector<int> results(kOrders, 0);
    const uint32_t first = c.LastSequence() + 1;
    EXPECT_TRUE(c.SendAll(net::Msg::InsertOrder, payloads));
    std::set<int32_t> committed;  // sequences of the orders whose events came
    int answered = 0;
    net::Frame f;
    while (answered < kOrders && c.ReceiveAnswer(f)) {
      net::ByteReader r(f.payload);
      if (f.type == static_cast<uint16_t>(net::Msg::BrokerEvents)) {
        std::vector<BrokerEvent> events;
        EXPECT_TRUE(net::Read(r, events));
        for (const BrokerEvent& e : events)
          if (e.type == BrokerEventType::Order) committed.insert(e.order.sequence);
        continue;
      }
      EXPECT_EQ(f.type, static_cast<uint16_t>(net::Msg::Reply));
      const uint32_t request = r.U32();
      const int32_t result = r.I32();
      EXPECT_TRUE(r.Done());
      EXPECT_TRUE(request >= first && request < first + kOrders) << request;
      if (request < first || request >= first + kOrders) continue;
      int& slot = results[request - first];
      EXPECT_EQ(slot, 0) << "request " << request << " answered twice";
      slot = result;
      ++answered;
      if (fresh) {
        EXPECT_TRUE(committed.count(result)) << "order " << result << " answered before its commit";
      }
    }
    EXPECT_EQ(answered, kOrders);
    // Nothing more: a request sent now is the next answer.
    EXPECT_TRUE(c.Send(net::Msg::TradingDay, {}));
    while (c.ReceiveAnswer(f) && f.type != static_cast<uint16_t>(net::Msg::Reply)) {
    }
    net::ByteReader r(f.payload);
    EXPECT_EQ(r.U32(), c.LastSequence());
    return results;
  };
  std::vector<int> first, again;
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(net::LinkKind::Trade, "8001", "888888"));
    first = burst(c, true);
  }
  const int distinct = kOrders - 10;
  for (int i = 0; i < kOrders; ++i) {
    EXPECT_GT(first[i], 0);
    if (i > 0 && i < distinct) {
      EXPECT_GT(first[i], first[i - 1]);  // booked in the order sent
    }
    if (i >= distinct) {
      EXPECT_EQ(first[i], first[i - 100]);
    }
  }
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(net::LinkKind::Trade, "8001", "888888"));
    again = burst(c, false);
  }
  EXPECT_EQ(again, first);
  std::vector<Order> orders;
  ASSERT_TRUE(Broker().GetOrders("8001", orders));
  EXPECT_EQ(orders.size(), static_cast<std::size_t>(distinct));
}

// Two terminals' libraries each with many orders in flight at once.
TEST_F(NetworkLink, TradeLinksInsertManyOrdersAtOnce) {
  StartServer();
  AddTrader("9001");
  const ContractId id = SomeMonth();
  constexpr int kOrders = 400;
  std::vector<int> results[2];
  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<NetTradeLink>> links;
  const std::string users[2] = {"8001", "9001"}, passwords[2] = {"888888", "pw9001"};
  for (int t = 0; t < 2; ++t) {
    links.push_back(std::make_unique<NetTradeLink>(Settings()));
    std::string error;
    std::vector<std::string> accounts;
    ASSERT_TRUE(links[t]->Open(Login(users[t], passwords[t]), nullptr, error, accounts)) << error;
  }
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      std::vector<OrderEntry> batch(kOrders, OrderEntry{users[t], id, 1, 1, false, 1, true, 1, ""});
      batch[kOrders - 1].clientRef = batch[kOrders - 2].clientRef = 0xBEEF00 + t;  // one order, sent twice
      results[t] = links[t]->InsertOrders(batch);
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < 2; ++t) {
    ASSERT_EQ(results[t].size(), static_cast<std::size_t>(kOrders));
    std::set<int> distinct(results[t].begin(), results[t].end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kOrders - 1));
    EXPECT_GT(*distinct.begin(), 0);
    EXPECT_EQ(results[t][kOrders - 1], results[t][kOrders - 2]);
    EXPECT_EQ(links[t]->PendingOrders(), 0u);
    std::vector<Order> orders;
    ASSERT_TRUE(Broker().GetOrders(users[t], orders));
    EXPECT_EQ(orders.size(), static_cast<std::size_t>(kOrders - 1));
  }
  // With the link down nothing is sent and nothing is kept.
  links[0]->Close();
  EXPECT_EQ(links[0]->InsertOrders({OrderEntry{"8001", id, 1, 1, false, 1, true, 1, ""}}), std::vector<int>{-1});
  EXPECT_EQ(links[0]->PendingOrders(), 0u);
}

TEST_F(NetworkLink, AChangedServerCertificateIsRefused) {
  StartServer();
  NetMarketLink link(Settings());
  std::string error;
  ASSERT_TRUE(link.Open(QuoteLogin(), nullptr, error)) << error;
  link.Close();
  EXPECT_TRUE(Exists(data_.File("client/servers_trust.ini")));
  ASSERT_TRUE(link.Open(QuoteLogin(), nullptr, error)) << error;  // the same certificate again
  link.Close();

  StopServer();
  ASSERT_TRUE(net::MakeCertificate(data_.path(), "impostor", true, error)) << error;
  StartServer();
  EXPECT_FALSE(link.Open(QuoteLogin(), nullptr, error));
  EXPECT_NE(error.find(TXT("证书")), std::string::npos) << error;
}

// Stops the server 20 times in the middle of two terminals' sending; after every restart the
// broker's state is the one it stopped with, and once the terminals have logged in again every
// order they sent is there exactly once, in a database that passes SQLite's own check.
TEST_F(NetworkLink, StopsInTheMiddleOfSendingLoseNoOrderAndDoubleNone) {
  StartServer();
  const ContractId id = SomeMonth();
  NetTradeLink a(Settings()), b(Settings());
  std::string error;
  std::vector<std::string> accounts;
  std::map<std::string, int> placed;  // per account: orders answered or left pending
  std::mt19937 rng(7);
  for (int cycle = 0; cycle < 20; ++cycle) {
    ASSERT_TRUE(a.Open(Login("8001", "888888"), nullptr, error, accounts)) << error;
    ASSERT_TRUE(b.Open(Login("8001", "888888"), nullptr, error, accounts)) << error;
    auto sender = [&](NetTradeLink& link, const std::string& account, int& count) {
      for (int i = 0; i < 200; ++i) {
        const int result = link.InsertOrder(OrderEntry{account, id, 1, 1, false, 1, true, 1, ""});
        if (result < 0) break;  // the link was down before it was sent: never placed
        ++count;                // answered, or pending until the next login
      }
    };
    int na = 0, nb = 0;
    std::thread ta([&] { sender(a, "8001", na); });
    std::thread tb([&] { sender(b, "8002", nb); });
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 30));
    server_.reset();  // every connection ends now, whatever is in flight
    ta.join();
    tb.join();
    placed["8001"] += na;
    placed["8002"] += nb;
    const uint64_t before = Broker().StateHash();
    exchange_.reset();
    StartServer();
    EXPECT_EQ(Broker().StateHash(), before) << "cycle " << cycle;
  }
  // The last logins send what was left pending.
  ASSERT_TRUE(a.Open(Login("8001", "888888"), nullptr, error, accounts)) << error;
  ASSERT_TRUE(b.Open(Login("8001", "888888"), nullptr, error, accounts)) << error;
  EXPECT_EQ(a.PendingOrders() + b.PendingOrders(), 0u);
  for (const char* account : {"8001", "8002"}) {
    std::vector<Order> orders;
    ASSERT_TRUE(Broker().GetOrders(account, orders));
    std::set<uint64_t> refs;
    for (const Order& o : orders) EXPECT_TRUE(refs.insert(o.clientRef).second) << "doubled " << o.key;
    EXPECT_EQ(static_cast<int>(orders.size()), placed[account]) << account;
    EXPECT_GT(placed[account], 0);
  }
  a.Close();
  b.Close();
  StopServer();
  EXPECT_EQ(IntegrityCheck(data_.File("broker.db")), "ok");
}

}  // namespace
}  // namespace tarn::test
