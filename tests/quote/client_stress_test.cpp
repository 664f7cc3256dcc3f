// The chart's history client and the information panel's tracer are stopped, re-aimed and
// destroyed on one thread while the embedded library streams quotes and ticks to them on its
// own. A stop or a destruction waits for a delivery in flight; that delivery takes the client's
// lock, so neither may be held while waiting. A hang here is a deadlock: the watchdog ends the
// process instead of letting ctest wait. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "libs/quotedata/embedded_fixture.h"
#include "quote/panel_data_tracer.h"

namespace tarn::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStressFor = std::chrono::seconds(2);
constexpr auto kWatchdog = std::chrono::seconds(60);

class CountingOwner : public IHisDataNotify {
 public:
  void OnHisDataEvent(const DC_Contract*, int, int, int) override { ++events; }
  void OnHisDataReset(int, int, int) override {}
  std::atomic<long> events{0};
};

class TalliesOwner : public IPanelTracerNotify {
 public:
  void OnPanelTallies() override { ++calls; }
  std::atomic<long> calls{0};
};

class ClientStressTest : public EmbeddedTest {
 protected:
  // Runs `work` on a thread of its own while another thread moves the market, and fails the
  // whole process when `work` does not finish in time.
  void WhileStreaming(const std::function<void()>& work) {
    std::atomic<bool> stop{false};
    std::thread market([&] {
      while (!stop.load()) lib->Advance(500);
    });
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread ui(std::move(task));
    if (done.wait_for(kWatchdog) != std::future_status::ready) {
      std::fprintf(stderr, "deadlock: the client thread did not finish within the watchdog\n");
      std::fflush(stderr);
      std::_Exit(1);
    }
    ui.join();
    stop = true;
    market.join();
    lib->WaitDelivered();
  }
};

TEST_F(ClientStressTest, HistoryClientChangesPeriodAndContractWhileQuotesStream) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  const DC_Contract contracts[2] = {Contract("SHFE|rbMI"), Contract("SHFE|cuMI")};
  const int periods[][2] = {{5, 1}, {3, 1}, {2, 5}, {0, 1}};
  CountingOwner owner;
  long requests = 0;
  WhileStreaming([&] {
    CHisDataClient his;
    const auto end = Clock::now() + kStressFor;
    for (int i = 0; Clock::now() < end; ++i) {
      const auto& p = periods[i % 4];
      his.Request(contracts[(i / 4) % 2], 120, &owner, p[0], p[1]);
      ++requests;
      std::this_thread::yield();
      if (i % 3 == 0) his.Stop();
    }
  });
  // The figures only show that the loop ran; under ThreadSanitizer it runs a few times only.
  EXPECT_GE(requests, 1);
}

TEST_F(ClientStressTest, PanelTracersComeAndGoWhileTicksStream) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  const DC_Contract contracts[2] = {Contract("SHFE|rbMI"), Contract("SHFE|cuMI")};
  TalliesOwner owner;
  long tracers = 0;
  WhileStreaming([&] {
    const auto end = Clock::now() + kStressFor;
    for (int i = 0; Clock::now() < end; ++i) {
      CPanelDataTracer tracer;
      tracer.SetOwner(&owner);
      tracer.Follow(contracts[i % 2], 5);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (i % 2) tracer.Follow(contracts[(i + 1) % 2], 3);
      ++tracers;
    }  // destroyed while ticks may be in flight to it
  });
  EXPECT_GE(tracers, 1);  // each one fetches the day's ticks: slow under ThreadSanitizer
  EXPECT_GE(owner.calls.load(), tracers);  // every Follow tells its owner at least once
}

}  // namespace
}  // namespace tarn::test
