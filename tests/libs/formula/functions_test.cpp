// Every function of the language on small series whose results are worked out by hand, and
// every function's incremental result against its full computation.
#include <gtest/gtest.h>

#include "libs/formula/formula_test_util.h"

namespace tarn::formula::test {
namespace {

std::vector<double> R(const std::string& text, const std::vector<double>& close) {
  return RunFormula(text, BarsFromClose(close));
}

TEST(Functions, MovingAverages) {
  std::vector<double> c = {1, 2, 3, 4, 5};
  EXPECT_TRUE(SeriesNear(R("MA(C,3);", c), {N_A, N_A, 2, 3, 4}));
  // EMA starts at the first value: Y = (2X + (N-1)Y') / (N+1).
  EXPECT_TRUE(SeriesNear(R("EMA(C,3);", c), {1, 1.5, 2.25, 3.125, 4.0625}));
  EXPECT_TRUE(SeriesNear(R("EXPMA(C,3);", c), {1, 1.5, 2.25, 3.125, 4.0625}));
  std::vector<double> sma = R("SMA(C,3,1);", c);
  double y = 1;
  for (std::size_t i = 1; i < c.size(); ++i) y = (c[i] + 2 * y) / 3;
  EXPECT_NEAR(sma[4], y, 1e-12);
  EXPECT_NEAR(sma[1], 4.0 / 3, 1e-12);
  EXPECT_NEAR(sma[2], 17.0 / 9, 1e-12);
  EXPECT_TRUE(SeriesNear(R("WMA(C,3);", c), {N_A, N_A, 14.0 / 6, 20.0 / 6, 26.0 / 6}));
  EXPECT_TRUE(SeriesNear(R("DMA(C,0.5);", c), R("EMA(C,3);", c)));
  // DMA with a series weight.
  EXPECT_TRUE(SeriesNear(R("DMA(C,C/10);", {10, 5}), {10, 0.5 * 5 + 0.5 * 10}));
  // Leading invalid values: the average starts with the first valid one.
  EXPECT_TRUE(SeriesNear(R("EMA(MA(C,2),3);", c), {N_A, 1.5, 2, 2.75, 3.625}));
  EXPECT_TRUE(SeriesNear(R("MA(MA(C,2),2);", c), {N_A, N_A, 2, 3, 4}));
  // A period that cannot be a bar count gives nothing.
  EXPECT_TRUE(SeriesNear(R("MA(C,0);", {1, 2}), {N_A, N_A}));
  EXPECT_TRUE(SeriesNear(R("MA(C,-1);", {1, 2}), {N_A, N_A}));
  EXPECT_TRUE(SeriesNear(R("MA(C,9);", {1, 2}), {N_A, N_A}));
  // Averages computed together: one with a period that cannot be used gives nothing, the
  // others are unaffected.
  auto bars = BarsFromClose(c);
  EXPECT_TRUE(SeriesNear(RunFormula("A:EMA(C,0); B:EMA(C,3); D:SMA(C,0,1);", bars, 0), std::vector<double>(5, N_A)));
  EXPECT_TRUE(SeriesNear(RunFormula("A:EMA(C,0); B:EMA(C,3); D:SMA(C,0,1);", bars, 1), {1, 1.5, 2.25, 3.125, 4.0625}));
  EXPECT_TRUE(SeriesNear(RunFormula("A:EMA(C,0); B:EMA(C,3); D:SMA(C,0,1);", bars, 2), std::vector<double>(5, N_A)));
  EXPECT_TRUE(SeriesNear(RunFormula("EMA(C,IF(C>2,3,0));", bars), {N_A, N_A, 3, 3.5, 4.25}));
}

TEST(Functions, References) {
  std::vector<double> c = {1, 2, 3, 4, 5};
  EXPECT_TRUE(SeriesNear(R("REF(C,1);", c), {N_A, 1, 2, 3, 4}));
  EXPECT_TRUE(SeriesNear(R("REF(C,0);", c), c));
  EXPECT_TRUE(SeriesNear(R("REF(C,2.9999999999);", c), {N_A, N_A, N_A, 1, 2}));
  EXPECT_TRUE(SeriesNear(R("REFX(C,1);", c), {2, 3, 4, 5, N_A}));
  // A series period: each bar looks back as far as its own value says.
  EXPECT_TRUE(SeriesNear(R("REF(C,C-1);", c), {1, 1, 1, 1, 1}));
  EXPECT_TRUE(SeriesNear(R("REF(C,BARSLAST(C=3));", c), {N_A, N_A, 3, 3, 3}));
}

TEST(Functions, ExtremesSumsAndCounts) {
  std::vector<double> c = {1, 3, 2, 5, 4};
  EXPECT_TRUE(SeriesNear(R("HHV(C,2);", c), {1, 3, 3, 5, 5}));
  EXPECT_TRUE(SeriesNear(R("LLV(C,2);", c), {1, 1, 2, 2, 4}));
  EXPECT_TRUE(SeriesNear(R("HHV(C,0);", c), {1, 3, 3, 5, 5}));
  EXPECT_TRUE(SeriesNear(R("LLV(C,0);", c), {1, 1, 1, 1, 1}));
  EXPECT_TRUE(SeriesNear(R("HHV(C,C);", c), {1, 3, 3, 5, 5}));
  EXPECT_TRUE(SeriesNear(R("HHV(IF(C>2,C,DRAWNULL),2);", c), {N_A, 3, 3, 5, 5}));
  EXPECT_TRUE(SeriesNear(R("SUM(C,2);", c), {N_A, 4, 5, 7, 9}));
  EXPECT_TRUE(SeriesNear(R("SUM(C,0);", c), {1, 4, 6, 11, 15}));
  EXPECT_TRUE(SeriesNear(R("SUM(REF(C,1),0);", c), {N_A, 1, 4, 6, 11}));
  EXPECT_TRUE(SeriesNear(R("COUNT(C>2,3);", c), {0, 1, 1, 2, 2}));
  EXPECT_TRUE(SeriesNear(R("COUNT(C>2,0);", c), {0, 1, 1, 2, 3}));
  EXPECT_TRUE(SeriesNear(R("HHVBARS(C,3);", {1, 3, 2, 1}), {0, 0, 1, 2}));
  EXPECT_TRUE(SeriesNear(R("LLVBARS(C,0);", {3, 1, 2, 1}), {0, 0, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("LLVBARS(C,2);", {3, 1, 2, 4}), {0, 0, 1, 1}));
  EXPECT_TRUE(SeriesNear(R("HHVBARS(C,0);", {1, 3, 2, 1}), {0, 0, 1, 2}));
  // The same functions over a bar field read directly, with a period known only when run.
  std::vector<ParamDef> n = {{"N", 0, 0, 100}};
  auto bars = BarsFromClose(c);
  EXPECT_TRUE(SeriesNear(RunFormula("SUM(C,N);", bars, 0, n), {1, 4, 6, 11, 15}));
  EXPECT_TRUE(SeriesNear(RunFormula("HHV(C,N);", bars, 0, n), {1, 3, 3, 5, 5}));
  EXPECT_TRUE(SeriesNear(RunFormula("LLV(C,N);", bars, 0, n, {2}), {1, 1, 2, 2, 4}));
  EXPECT_TRUE(SeriesNear(RunFormula("MA(C,N);", bars, 0, n, {2}), {N_A, 2, 2.5, 3.5, 4.5}));
  EXPECT_TRUE(SeriesNear(RunFormula("MA(C,N);", bars, 0, n), {N_A, N_A, N_A, N_A, N_A}));
}

TEST(Functions, Statistics) {
  std::vector<double> c = {1, 2, 3, 5};
  std::vector<double> std = R("STD(C,3);", c);
  EXPECT_TRUE(SeriesNear(std, {N_A, N_A, 1, std::sqrt(7.0 / 3)}));
  EXPECT_TRUE(SeriesNear(R("STDP(C,3);", c), {N_A, N_A, std::sqrt(2.0 / 3), std::sqrt(14.0 / 9)}));
  EXPECT_TRUE(SeriesNear(R("VAR(C,3);", c), {N_A, N_A, 1, 7.0 / 3}));
  EXPECT_TRUE(SeriesNear(R("VARP(C,3);", c), {N_A, N_A, 2.0 / 3, 14.0 / 9}));
  EXPECT_TRUE(SeriesNear(R("AVEDEV(C,3);", c), {N_A, N_A, 2.0 / 3, (4.0 / 3 + 1.0 / 3 + 5.0 / 3) / 3}));
  EXPECT_TRUE(SeriesNear(R("DEVSQ(C,3);", c), {N_A, N_A, 2, 14.0 / 3}));
  EXPECT_TRUE(SeriesNear(R("SLOPE(C,3);", c), {N_A, N_A, 1, 1.5}));
  EXPECT_TRUE(SeriesNear(R("FORCAST(C,3);", c), {N_A, N_A, 3, 5.5 / 3 + 3}));
  // An MA computed by the STD beside it is the same MA.
  auto bars = BarsFromClose(c);
  EXPECT_TRUE(SeriesNear(RunFormula("A:STD(C,3); B:MA(C,3);", bars, 1), {N_A, N_A, 2, 10.0 / 3}));
  EXPECT_TRUE(SeriesNear(RunFormula("B:MA(C,3)*2; A:VARP(C,3);", bars, 0), {N_A, N_A, 4, 20.0 / 3}));
  EXPECT_TRUE(SeriesNear(RunFormula("B:MA(C,0); A:STD(C,0);", bars, 0), {N_A, N_A, N_A, N_A}));
  // A flat window has no deviation (never a negative variance from rounding).
  EXPECT_TRUE(SeriesNear(R("STD(C,3);", {3000.5, 3000.5, 3000.5}), {N_A, N_A, 0}));
}

TEST(Functions, CrossAndConditions) {
  std::vector<double> c = {1, 2, 4, 3, 2, 5};
  EXPECT_TRUE(SeriesNear(R("CROSS(C,3);", c), {0, 0, 1, 0, 0, 1}));
  EXPECT_TRUE(SeriesNear(R("CROSS(3,C);", c), {0, 0, 0, 0, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("BARSLAST(C>2);", {3, 1, 1, 4, 1}), {0, 1, 2, 0, 1}));
  EXPECT_TRUE(SeriesNear(R("BARSLAST(C>2);", {1, 3}), {N_A, 0}));
  EXPECT_TRUE(SeriesNear(R("BARSCOUNT(C);", {5, 6, 7, 8}), {1, 2, 3, 4}));
  EXPECT_TRUE(SeriesNear(R("BARSCOUNT(MA(C,2));", {5, 6, 7, 8}), {N_A, 1, 2, 3}));
  EXPECT_TRUE(SeriesNear(R("EVERY(C>1,2);", {2, 2, 1, 2, 2}), {0, 1, 0, 0, 1}));
  EXPECT_TRUE(SeriesNear(R("EVERY(C>1,0);", {2, 2, 1, 2}), {1, 1, 0, 0}));
  EXPECT_TRUE(SeriesNear(R("EXIST(C>3,2);", {1, 4, 1, 1}), {0, 1, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("BACKSET(C>3,2);", {1, 1, 4, 1, 5}), {0, 1, 1, 1, 1}));
  EXPECT_TRUE(SeriesNear(R("BACKSET(C>3,2);", {1, 4, 5, 1, 1}), {1, 1, 1, 0, 0}));
  // A later, longer window reaches back past an earlier, shorter one.
  EXPECT_TRUE(SeriesNear(R("BACKSET(C>3,C-3);", {1, 1, 4, 6, 1}), {0, 1, 1, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("FILTER(C>1,2);", {2, 2, 2, 2, 1, 2}), {1, 0, 0, 1, 0, 0}));
  EXPECT_TRUE(SeriesNear(R("IF(C>2,1,-1);", {1, 3}), {-1, 1}));
  EXPECT_TRUE(SeriesNear(R("IFF(C>2,C,0);", {1, 3}), {0, 3}));
  EXPECT_TRUE(SeriesNear(R("BETWEEN(C,2,4);", {1, 2, 3, 5}), {0, 1, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("BETWEEN(C,4,2);", {1, 2, 3, 5}), {0, 1, 1, 0}));
  EXPECT_TRUE(SeriesNear(R("CONST(C);", {1, 2, 3}), {3, 3, 3}));
  EXPECT_TRUE(SeriesNear(R("CURRBARSCOUNT;", {1, 2, 3, 4}), {4, 3, 2, 1}));
  EXPECT_TRUE(SeriesNear(R("IF(C>2,C,DRAWNULL);", {1, 3}), {N_A, 3}));
  EXPECT_TRUE(SeriesNear(R("DRAWNULL;", {1, 3}), {N_A, N_A}));
}

TEST(Functions, Arithmetic) {
  std::vector<double> c = {1, 4, 9};
  EXPECT_TRUE(SeriesNear(R("MAX(C,4);", c), {4, 4, 9}));
  EXPECT_TRUE(SeriesNear(R("MIN(C,4);", c), {1, 4, 4}));
  EXPECT_TRUE(SeriesNear(R("ABS(C-4);", c), {3, 0, 5}));
  EXPECT_TRUE(SeriesNear(R("SQRT(C);", c), {1, 2, 3}));
  EXPECT_TRUE(SeriesNear(R("SQRT(C-5);", c), {N_A, N_A, 2}));
  EXPECT_TRUE(SeriesNear(R("POW(C,0.5);", c), {1, 2, 3}));
  EXPECT_TRUE(SeriesNear(R("LN(C);", c), {0, std::log(4.0), std::log(9.0)}));
  EXPECT_TRUE(SeriesNear(R("LOG(C*10);", {1, 10, 100}), {1, 2, 3}));
  EXPECT_TRUE(SeriesNear(R("LN(C-1);", c), {N_A, std::log(3.0), std::log(8.0)}));
  EXPECT_TRUE(SeriesNear(R("EXP(C-1);", c), {1, std::exp(3.0), std::exp(8.0)}));
  EXPECT_TRUE(SeriesNear(R("SIGN(C-4);", c), {-1, 0, 1}));
  EXPECT_TRUE(SeriesNear(R("ROUND(C/2);", {1, 2, 3}), {1, 1, 2}));
  EXPECT_TRUE(SeriesNear(R("INTPART(-C/2);", {3, 5}), {-1, -2}));
  EXPECT_TRUE(SeriesNear(R("MOD(C,3);", {4, 5, 7}), {1, 2, 1}));
  EXPECT_TRUE(SeriesNear(R("MOD(C,0);", {4}), {N_A}));
  EXPECT_TRUE(SeriesNear(R("C/(C-C);", {4}), {N_A}));
  EXPECT_TRUE(SeriesNear(R("EXP(C*1000);", {4}), {N_A}));
}

TEST(Functions, ZigzagJoinsTurningPoints) {
  std::vector<double> c = {100, 105, 111, 105, 99, 104, 110};
  EXPECT_TRUE(SeriesNear(R("ZIG(3,10);", c), {100, 105.5, 111, 105, 99, 104.5, 110}));
  EXPECT_TRUE(SeriesNear(R("ZIGZAG(C,10);", c), {100, 105.5, 111, 105, 99, 104.5, 110}));
  // Without a reversal as large as asked only the first bar is a turning point.
  std::vector<double> z = R("ZIG(3,50);", c);
  EXPECT_EQ(z[0], 100);
  EXPECT_TRUE(std::isnan(z[3]));
  // The last leg runs to the last bar.
  EXPECT_TRUE(SeriesNear(R("ZIG(3,10);", {100, 120, 115}), {100, 120, 115}));
}

TEST(Functions, SarFollowsTheTrendAndReverses) {
  // Rising bars: long from bar N-1 with the stop under the lows, then a collapse reverses.
  std::vector<double> close = {10, 11, 12, 13, 14, 15, 9};
  std::vector<double> high = {10.5, 11.5, 12.5, 13.5, 14.5, 15.5, 10};
  std::vector<double> low = {9.5, 10.5, 11.5, 12.5, 13.5, 14.5, 8};
  auto bars = BarsFromClose(close, close, high, low);
  std::vector<double> s = RunFormula("SAR(2,10,20);", bars);
  EXPECT_TRUE(std::isnan(s[0]));
  EXPECT_DOUBLE_EQ(s[1], 9.5);                      // lowest low of the first two bars
  double ep = 11.5, af = 0.1, sar = 9.5;
  for (int j = 2; j <= 5; ++j) {
    sar = std::min({sar + af * (ep - sar), low[j - 1], low[j - 2]});
    ep = high[j];
    af = std::min(af + 0.1, 0.2);
    EXPECT_NEAR(s[j], sar, 1e-6) << j;
  }
  EXPECT_NEAR(s[6], 15.5, 1e-6);                    // reversed: the stop is the old extreme
  EXPECT_TRUE(SeriesNear(RunFormula("SAR(0,2,20);", bars), std::vector<double>(7, N_A)));
}

TEST(Functions, IncrementalEqualsFull) {
  // Long enough to cross the anchors of the sliding sums and a block of the evaluator.
  auto bars = RandomBars(4400, 7);
  const char* formulas[] = {
      "MA(C,5);", "MA(C,40);", "EMA(C,12);", "SMA(C,9,2);", "WMA(C,6);", "DMA(C,0.2);", "DMA(C,V/10000);",
      "REF(C,3);", "REF(C,V/1000);", "REFX(C,2);", "HHV(H,9);", "LLV(L,9);", "HHV(H,0);", "HHV(H,V/500);",
      "SUM(V,7);", "SUM(V,0);", "COUNT(C>O,5);", "COUNT(C>O,0);", "CROSS(C,MA(C,5));", "STD(C,20);",
      "STDP(C,20);", "VAR(C,3);", "VARP(C,3);", "AVEDEV(C,14);", "DEVSQ(C,5);", "SLOPE(C,10);", "FORCAST(C,10);",
      "BARSLAST(C>REF(C,1));", "BARSCOUNT(MA(C,3));", "EVERY(C>O,3);", "EXIST(C>O,3);", "BACKSET(C>HHV(C,20),3);",
      "FILTER(C>O,3);", "HHVBARS(H,10);", "LLVBARS(L,0);", "CONST(C);", "SAR(10,2,20);", "ZIG(3,1);",
      "BETWEEN(C,O,H);", "MOD(V,7);", "CURRBARSCOUNT;", "MA(IF(C>O,C,DRAWNULL),3);", "EMA(IF(C>O,C,DRAWNULL),3);",
      "SUM(IF(C>O,V,DRAWNULL),0);", "X:=MA(ZIG(3,1),3); EMA(X,3);", "A:MA(H,5); B:HHV(H,30); D:STD(H,3); E:MA(H,3)+MA(C,4)+STDP(C,4);",
      "A:EMA(L,5); B:SMA(L,3,1); D:EMA(L,V/100);",
      "PARTLINE(C,C>O,COLORRED,C<O,COLORGREEN);", "STICKLINE(C>O,O,C,2,0);",
  };
  for (const char* f : formulas) {
    CompileResult r = Compile(f);
    ASSERT_TRUE(r.ok()) << f << ": " << r.error.message;
    EXPECT_TRUE(IncrementalMatchesFull(r.program, bars, 4000)) << f;
  }
}

TEST(Functions, BarCountShrinkingOrJumpingStillMatchesFull) {
  auto bars = RandomBars(400, 3);
  CompileResult r = Compile("A:MA(C,10); B:EMA(C,5); D:HHV(H,7);");
  ASSERT_TRUE(r.ok());
  Evaluation e(r.program), full(r.program);
  e.Compute(bars.data(), 400);
  e.Update(bars.data(), 350, 350);       // fewer bars: nothing after them is kept
  full.Compute(bars.data(), 350);
  for (std::size_t o = 0; o < 3; ++o) EXPECT_TRUE(SeriesIdentical(e.GetOutput(o).values, full.GetOutput(o).values));
  e.Update(bars.data(), 400, 380);       // a gap past the old end: computed afresh
  full.Compute(bars.data(), 400);
  for (std::size_t o = 0; o < 3; ++o) EXPECT_TRUE(SeriesIdentical(e.GetOutput(o).values, full.GetOutput(o).values));
  e.Update(bars.data(), 0, 0);
  EXPECT_EQ(e.GetOutput(0).values.size(), 0u);
}

}  // namespace
}  // namespace tarn::formula::test
