// The panel's tally tracer over the embedded exchange, on a manual clock.
#include <gtest/gtest.h>

#include <atomic>

#include "libs/quotedata/embedded_fixture.h"
#include "quote/panel_data_tracer.h"

namespace tarn::test {
namespace {

class TracerOwner : public IPanelTracerNotify {
 public:
  void OnPanelTallies() override { ++calls; }
  std::atomic<int> calls{0};
};

class PanelTracerTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    GetAvgTradeVolumeStore().Reset();
  }
  void TearDown() override { GetAvgTradeVolumeStore().Reset(); }
};

TEST_F(PanelTracerTest, FollowsTheContractsTradesIncrementally) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  DC_Contract c = Contract("SHFE|rbMI");
  TracerOwner owner;
  CPanelDataTracer tracer;
  tracer.SetOwner(&owner);
  tracer.Follow(c, 5);
  EXPECT_EQ(owner.calls.load(), 1);
  const std::size_t first = tracer.TicksHandled();
  ASSERT_GT(first, 100u);
  const TickTallies t = tracer.Tallies();
  EXPECT_GT(t.total, 0);
  EXPECT_EQ(tracer.BigOrderSize(), static_cast<int64_t>(tracer.AverageTradeSize()) * 5);
  int32_t stored = 0;
  EXPECT_TRUE(GetAvgTradeVolumeStore().Stored(CommodityKeyOf(c), &stored));
  EXPECT_EQ(stored, tracer.AverageTradeSize());

  // New trades reach the tracer through OnTickData; only they are walked.
  Step(20);
  EXPECT_GT(owner.calls.load(), 1);
  EXPECT_GT(tracer.TicksHandled(), first);
  EXPECT_GE(tracer.Tallies().total, t.total);

  // Detached owners hear nothing more.
  tracer.SetOwner(nullptr);
  const int calls = owner.calls.load();
  Step(4);
  EXPECT_EQ(owner.calls.load(), calls);
  tracer.Stop();
  EXPECT_EQ(tracer.TicksHandled(), 0u);
}

}  // namespace
}  // namespace tarn::test
