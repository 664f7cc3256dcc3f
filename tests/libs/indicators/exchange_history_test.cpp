// Every built-in indicator over the embedded exchange's own history: one-, five- and sixty-minute bars of a
// main-continuous contract, an index and a financial future. Each compiles, computes without an
// infinite value, draws something on a line output, and the live market's next bars extend the
// result incrementally to what a full computation gives.
#include <gtest/gtest.h>

#include <cmath>

#include "libs/indicators/formula_files.h"
#include "libs/formula/formula_engine.h"
#include "libs/quotedata/embedded_fixture.h"

namespace tarn::test {
namespace {

class ExchangeHistory : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(login), 1);
    list.SetFormulas(ParseFormulaXml(ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat")));
  }
  std::vector<DC_KData> Bars(const char* key, int kind, int count, int wanted) {
    CHisDataClient client;
    struct : IHisDataNotify {
      void OnHisDataEvent(const DC_Contract*, int, int, int) override {}
      void OnHisDataReset(int, int, int) override {}
    } owner;
    EXPECT_EQ(client.Request(Contract(key), wanted, &owner, kind, count), 0) << key;
    return client.Store().Snapshot();
  }
  Recorder login;
  formula::CFormulaList list;
};

TEST_F(ExchangeHistory, AllBuiltInsComputeOverTheMarketsBars) {
  const std::vector<std::string>& names = BuiltinIndicatorNames();
  ASSERT_EQ(names.size(), 56u);
  struct Case {
    const char* key;
    int kind, count, bars;
  };
  for (Case c : {Case{"SHFE|rbMI", 3, 1, 3000}, Case{"CFFEX|IFIDX", 3, 5, 1500}, Case{"DCE|PMI", 3, 60, 300}}) {
    std::vector<DC_KData> bars = Bars(c.key, c.kind, c.count, c.bars);
    ASSERT_GE(bars.size(), 40u) << c.key;
    for (const std::string& name : names) {
      std::shared_ptr<const formula::Program> p = list.GetProgram(name);
      ASSERT_TRUE(p) << name;
      formula::Evaluation full(p);
      full.Compute(bars.data(), bars.size());
      ASSERT_GT(full.OutputCount(), 0u) << name;
      bool drewSomething = false;
      for (std::size_t i = 0; i < full.OutputCount(); ++i) {
        for (double v : full.GetOutput(i).values) {
          EXPECT_FALSE(std::isinf(v)) << name << " on " << c.key;
          drewSomething |= !std::isnan(v);
        }
      }
      EXPECT_TRUE(drewSomething) << name << " on " << c.key;
      // The same bars, computed with the last one appended afterwards.
      formula::Evaluation inc(p);
      inc.Compute(bars.data(), bars.size() - 1);
      inc.Update(bars.data(), bars.size(), bars.size() - 1);
      for (std::size_t i = 0; i < full.OutputCount(); ++i) {
        auto a = full.GetOutput(i).values, b = inc.GetOutput(i).values;
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k)
          if (!(std::isnan(a[k]) && std::isnan(b[k]))) {
            ASSERT_EQ(a[k], b[k]) << name << " bar " << k;
          }
      }
    }
  }
}

}  // namespace
}  // namespace tarn::test
