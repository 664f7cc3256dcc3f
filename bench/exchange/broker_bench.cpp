// Benchmarks of the paper-trading broker:
//  - orders inserted, matched and booked (fill, lot, position, funds, events) per second, in
//    memory and with the store on (each order committed before its events go out);
//  - the latency from a market step that crosses a resting order to the OnOrder of its fill,
//    through the whole embedded stack (market, broker thread, trade link, the trading library's
//    notification thread), as median and 99th percentile.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "libs/exchange/broker/broker.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "libs/tradeapi/records.h"
#include "still_market.h"

namespace {

using namespace tarn;
using namespace tarn::exchange;
using namespace tarn::exchange::bench;



struct EventCounter : IBrokerListener {
  void OnBrokerEvents(const std::vector<BrokerEvent>& events) override {
    n.fetch_add(static_cast<long>(events.size()), std::memory_order_relaxed);
    for (const BrokerEvent& e : events) refused += e.type == BrokerEventType::Text ? 1 : 0;
  }
  std::atomic<long> n{0}, refused{0};
};

// Ten accounts buy one lot to open and sell it to close, in turn, against the book: every order
// fills at once and books a fill, a lot opened or closed, the position and the funds.
void RunOrders(benchmark::State& state, const std::string& storePath) {
  StillMarket market;
  BrokerOptions options;
  options.createDemo = false;
  options.hashCost = HashCost::Minimal;
  options.storePath = storePath;
  Broker broker(market, options);
  EventCounter counter;
  broker.AddListener(&counter);
  broker.CreateLogin("bench", "bench1", "bench");
  const std::vector<std::string> accounts = {"B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9"};
  for (const std::string& a : accounts) broker.CreateAccount(a, "bench", "bench", 100000000000LL);
  const Catalogue& cat = market.GetCatalogue();
  // The farthest month: the day rolls every 100,000 orders and must not reach its expiry.
  const ContractId m = cat.Commodities()[cat.FindCommodity("DCE", "m")].months.back();
  long orders = 0;
  OrderEntry entry;
  entry.contract = m;
  entry.quantity = 1;
  for (auto _ : state) {
    const long k = orders++;
    entry.account = accounts[static_cast<std::size_t>(k % 10)];
    const bool open = (k / 10) % 2 == 0;
    entry.direction = open ? 1 : 2;
    entry.offset = open ? 1 : 2;
    entry.price = open ? 2951 : 2950;
    broker.InsertOrder(entry);
    // With the store on, the writer commits behind the orders: wait for it now and then, so
    // that the figure is what the store keeps up with.
    if (orders % 10000 == 0) broker.WaitIdle();
    if (orders % 100000 == 0) {
      // A new trading day keeps the day's lists (and the memory they take) bounded.
      state.PauseTiming();
      market.Roll();
      broker.WaitIdle();
      state.ResumeTiming();
    }
  }
  broker.WaitIdle();
  std::string why;
  if (!broker.CheckInvariants(&why)) state.SkipWithError(why.c_str());
  if (counter.refused.load() > 0) state.SkipWithError("orders were refused");
  state.SetItemsProcessed(orders);
  state.counters["orders/s"] = benchmark::Counter(static_cast<double>(orders), benchmark::Counter::kIsRate);
  state.counters["events/order"] = static_cast<double>(counter.n.load()) / static_cast<double>(std::max(1L, orders));
  broker.RemoveListener(&counter);
}

void BM_OrdersInMemory(benchmark::State& state) { RunOrders(state, std::string()); }
BENCHMARK(BM_OrdersInMemory)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_OrdersPersisted(benchmark::State& state) {
  char tmpl[] = "/tmp/tarn_broker_bench_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  RunOrders(state, dir + "/broker.db");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_OrdersPersisted)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The whole embedded stack on a manual clock. Each step, the demo accounts keep a resting order
// on either side of the last price; the step's trades and book fill some of them. The time from
// the start of the step to the OnOrder of each fill is one sample.
class FillTimer : public ITradeNotify {
 public:
  void OnOrder(const OrderRecord* o, const AccountTexts&) override {
    if (o->state != 3 && o->state != 4) return;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m);
    if (!armed) return;
    samples.push_back(std::chrono::duration<double, std::micro>(now - start).count());
  }
  std::mutex m;
  bool armed = false;
  std::chrono::steady_clock::time_point start;
  std::vector<double> samples;
};

void BM_QuoteToFillLatency(benchmark::State& state) {
  char tmpl[] = "/tmp/tarn_broker_latency_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  ManualClock clock(kMonday10);
  quotedata::EmbeddedOptions q;
  q.manualClock = &clock;
  q.install = false;
  q.historyDays = 30;
  q.dataDir = dir;
  q.persist = state.range(0) == 1;  // 1: the broker commits each fill before telling of it
  auto quotes = quotedata::CreateEmbedded(q);
  tradeapi::EmbeddedTradeOptions t;
  t.exchange = &quotes->Exchange();
  t.install = false;
  t.broker.hashCost = HashCost::Minimal;
  auto trades = tradeapi::CreateEmbedded(t);
  ITradeApi& api = trades->Api();
  FillTimer timer;
  api.AddListener(&timer);
  api.Login(AccountTexts{"", "8001", "888888"}, "tarn-embedded", 7200, "tarn-embedded", 7200);
  trades->WaitDelivered();
  Market& market = quotes->Exchange().Open();
  const Catalogue& cat = market.GetCatalogue();
  const ContractId id = market.MainMonth(cat.FindCommodity("SHFE", "rb"));
  const DC_Contract contract = tradeapi::ContractRecord(cat, id);
  auto place = [&](const char* account, int dir, int offset, double price) {
    OrderRecord o{};
    o.contract = contract;
    o.direction = dir;
    o.offset = offset;
    o.quantity = 1;
    o.price = price;
    SetField(o.accountText2, account);
    api.InsertOrder(o);
  };
  const double tick = cat.CommodityOf(id).spec.tick;
  for (auto _ : state) {
    for (int step = 0; step < 8000; ++step) {
      // Each demo account keeps one resting order a tick away from the last price: 8001 buys
      // to open below it and sells to close above it, 8002 the other way round, so that no
      // account ever has orders on both sides.
      Snapshot s;
      market.GetSnapshot(id, s);
      for (const char* account : {"8001", "8002"}) {
        api.SetCurrentAccount(account);
        std::vector<OrderRecord> orders;
        api.GetOrders(orders);
        bool working = false;
        for (const OrderRecord& o : orders) working = working || (o.state >= 0 && o.state <= 3);
        if (working) continue;
        std::vector<PositionRecord> positions;
        api.GetPositions(positions);
        const bool holding = !positions.empty();
        const bool buyer = (account[3] == '1') != holding;
        place(account, buyer ? 1 : 2, holding ? 3 : 1, (s.last + (buyer ? -1 : 1)) * tick);
      }
      {
        std::lock_guard<std::mutex> lock(timer.m);
        timer.armed = true;
        timer.start = std::chrono::steady_clock::now();
      }
      quotes->Advance(500);
      trades->WaitDelivered();
      std::lock_guard<std::mutex> lock(timer.m);
      timer.armed = false;
    }
  }
  std::vector<double> v;
  {
    std::lock_guard<std::mutex> lock(timer.m);
    v = timer.samples;
  }
  std::sort(v.begin(), v.end());
  if (v.empty()) {
    state.SkipWithError("no fill");
  } else {
    state.counters["fills"] = static_cast<double>(v.size());
    state.counters["median_us"] = v[v.size() / 2];
    state.counters["p99_us"] = v[std::min(v.size() - 1, v.size() * 99 / 100)];
  }
  api.RemoveListener(&timer);
  trades.reset();
  quotes.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_QuoteToFillLatency)->Arg(0)->Arg(1)->ArgName("store")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
