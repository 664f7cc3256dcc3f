// The network link's figures: orders acknowledged per second over loopback (one terminal, ten
// terminals), the latency the link adds to quotes fanned out to ten terminals watching 200
// contracts each, and tarnd's memory per connected terminal (a real tarnd process).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "libs/exchange/embedded_exchange.h"
#include "libs/net/net_links.h"
#include "libs/net/tls.h"
#include "platform/clock.h"
#include "support/test_support.h"
#include "tarnd/server.h"

namespace {

using namespace tarn;
using namespace tarn::exchange;
using Clock = std::chrono::steady_clock;

struct Bench {
  Bench() {
    std::string error;
    net::MakeCertificate(dir.path(), "bench", false, error);
    ExchangeConfig config;
    config.dataDir = dir.path();
    config.clock = &clock;
    config.manualClock = true;
    config.historyDays = 5;
    exchange = std::make_unique<EmbeddedExchange>(config);
    tarnd::ServerOptions o;
    o.dataDir = dir.path();
    o.bindAddress = "127.0.0.1";
    o.port = 0;
    o.maxPerAddress = 1000;
    o.broker.hashCost = HashCost::Minimal;
    server = std::make_unique<tarnd::Server>(*exchange, o);
    server->Start(error);
  }
  net::LinkSettings Settings() {
    net::LinkSettings s;
    s.connect.trustFile = dir.File("trust.ini");
    return s;
  }
  test::TempDir dir;
  ManualClock clock{1765159200000LL};
  std::unique_ptr<EmbeddedExchange> exchange;
  std::unique_ptr<tarnd::Server> server;
};

// Arguments: terminals, orders each terminal keeps in flight (1: each waits for its answer).
void Orders(benchmark::State& state) {
  const int terminals = static_cast<int>(state.range(0));
  const int window = static_cast<int>(state.range(1));
  const int perTerminal = window > 1 ? 20000 : 2000;
  Bench b;
  Broker& broker = *b.exchange->GetBroker();
  std::vector<std::unique_ptr<net::NetTradeLink>> links;
  for (int i = 0; i < terminals; ++i) {
    const std::string id = "b" + std::to_string(i);
    broker.CreateLogin(id, "pw", id);
    broker.CreateAccount(id, id, id, 1000000000000000LL);
    auto link = std::make_unique<net::NetTradeLink>(b.Settings());
    std::string error;
    std::vector<std::string> accounts;
    link->Open(TradeLogin{id, "pw", "127.0.0.1", b.server->Port()}, nullptr, error, accounts);
    links.push_back(std::move(link));
  }
  const Catalogue& cat = b.exchange->Open().GetCatalogue();
  const ContractId id = b.exchange->Get()->MainMonth(cat.FindCommodity("SHFE", "rb"));
  Snapshot s;
  b.exchange->Get()->GetSnapshot(id, s);
  const int32_t price = s.lower + 1;  // rests: never fills
  for (auto _ : state) {
    std::atomic<int> acked{0};
    const auto t0 = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < terminals; ++i)
      threads.emplace_back([&, i] {
        const OrderEntry entry{"b" + std::to_string(i), id, 1, 1, false, price, true, 1, ""};
        if (window == 1) {
          for (int n = 0; n < perTerminal; ++n)
            if (links[i]->InsertOrder(entry) > 0) ++acked;
          return;
        }
        const std::vector<OrderEntry> batch(static_cast<std::size_t>(window), entry);
        for (int n = 0; n < perTerminal; n += window)
          for (int result : links[i]->InsertOrders(batch))
            if (result > 0) ++acked;
      });
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(seconds);
    state.counters["acked"] = acked.load();
    state.counters["orders_per_s"] = acked.load() / seconds;
  }
}
BENCHMARK(Orders)->Args({1, 1})->Args({10, 1})->Args({1, 200})->Args({10, 200})->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

class TimedSink : public ILinkSink {
 public:
  void OnLinkEvents(const std::vector<MarketEvent>&) override {
    std::lock_guard<std::mutex> lock(m);
    arrivals.push_back(Clock::now());
  }
  void OnLinkDown(int) override {}
  std::mutex m;
  std::vector<Clock::time_point> arrivals;
};

class Stamp : public IMarketListener {
 public:
  void OnMarketEvents(const std::vector<MarketEvent>&) override { at = Clock::now(); }
  Clock::time_point at;
};

void QuoteFanOut(benchmark::State& state) {
  Bench b;
  b.exchange->Open();
  // Listening before the terminals' sessions, it notes when the market starts delivering a step.
  Stamp stamp;
  b.exchange->Get()->AddListener(&stamp);
  const Catalogue& cat = b.exchange->Get()->GetCatalogue();
  std::vector<ContractId> watch;
  for (const Contract& c : cat.Contracts())
    if (c.kind == ContractKind::Month && watch.size() < 200) watch.push_back(c.id);
  std::vector<std::unique_ptr<net::NetMarketLink>> links;
  std::vector<std::unique_ptr<TimedSink>> sinks;
  for (int i = 0; i < 10; ++i) {
    auto link = std::make_unique<net::NetMarketLink>(b.Settings());
    std::string error;
    link->Open(LinkLogin{"opers", "472quark918", "127.0.0.1", b.server->Port()}, nullptr, error);
    for (ContractId id : watch) link->Watch(id, true);
    auto sink = std::make_unique<TimedSink>();
    link->SetSink(sink.get());
    links.push_back(std::move(link));
    sinks.push_back(std::move(sink));
  }
  std::vector<double> addedUs;
  int steps = 0;
  for (auto _ : state) {
    for (int step = 0; step < 200; ++step, ++steps) {
      for (auto& s : sinks) {
        std::lock_guard<std::mutex> lock(s->m);
        s->arrivals.clear();
      }
      b.clock.AdvanceMs(500);
      b.exchange->AdvanceToClock();
      const auto published = stamp.at;
      for (auto& s : sinks) {
        const auto until = Clock::now() + std::chrono::seconds(2);
        for (;;) {
          {
            std::lock_guard<std::mutex> lock(s->m);
            if (!s->arrivals.empty()) {
              addedUs.push_back(std::chrono::duration<double, std::micro>(s->arrivals.front() - published).count());
              break;
            }
          }
          if (Clock::now() > until) break;
          std::this_thread::yield();
        }
      }
    }
  }
  b.exchange->Get()->RemoveListener(&stamp);
  std::sort(addedUs.begin(), addedUs.end());
  if (!addedUs.empty()) {
    state.counters["p50_us"] = addedUs[addedUs.size() / 2];
    state.counters["p99_us"] = addedUs[addedUs.size() * 99 / 100];
    state.counters["samples"] = static_cast<double>(addedUs.size());
  }
  state.counters["steps"] = steps;
}
BENCHMARK(QuoteFanOut)->Iterations(1)->Unit(benchmark::kMillisecond);

long RssKb(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

void ServerMemoryPerTerminal(benchmark::State& state) {
  test::TempDir dir;
  std::string error;
  net::MakeCertificate(dir.path(), "bench", false, error);
  const int port = 27000 + getpid() % 1000;
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string p = std::to_string(port);
    execl(TARND_PATH, "tarnd", "--data", dir.path().c_str(), "--port", p.c_str(), "--bind", "127.0.0.1",
          "--max-per-address", "1000", static_cast<char*>(nullptr));
    _exit(127);
  }
  net::LinkSettings settings;
  settings.connect.trustFile = dir.File("trust.ini");
  std::this_thread::sleep_for(std::chrono::seconds(2));
  // One terminal first, so that the market and broker are loaded before the measure.
  std::vector<std::unique_ptr<net::NetMarketLink>> quotes;
  std::vector<std::unique_ptr<net::NetTradeLink>> trades;
  auto connect = [&] {
    auto q = std::make_unique<net::NetMarketLink>(settings);
    auto t = std::make_unique<net::NetTradeLink>(settings);
    std::string e;
    std::vector<std::string> accounts;
    q->Open(LinkLogin{"opers", "472quark918", "127.0.0.1", port}, nullptr, e);
    for (ContractId id = 0; id < 200; ++id) q->Watch(id, true);
    t->Open(TradeLogin{"8001", "888888", "127.0.0.1", port}, nullptr, e, accounts);
    quotes.push_back(std::move(q));
    trades.push_back(std::move(t));
  };
  connect();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const long before = RssKb(pid);
  const int terminals = 50;
  for (auto _ : state)
    for (int i = 0; i < terminals; ++i) connect();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long after = RssKb(pid);
  state.counters["rss_before_kb"] = before;
  state.counters["rss_after_kb"] = after;
  state.counters["kb_per_terminal"] = static_cast<double>(after - before) / terminals;
  quotes.clear();
  trades.clear();
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  state.counters["clean_exit"] = WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
BENCHMARK(ServerMemoryPerTerminal)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
