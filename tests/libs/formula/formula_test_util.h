// Helpers of the formula tests: bars from plain series, running a formula, comparing series
// that hold invalid (NaN) values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "libs/formula/formula.h"

namespace tarn::formula::test {

constexpr double N_A = std::numeric_limits<double>::quiet_NaN();

// Bars whose close is the given series; open, high and low follow it unless given.
inline std::vector<DC_KData> BarsFromClose(const std::vector<double>& close, const std::vector<double>& open = {},
                                           const std::vector<double>& high = {}, const std::vector<double>& low = {}) {
  std::vector<DC_KData> bars;
  for (std::size_t i = 0; i < close.size(); ++i) {
    DC_KData b = ZeroRecord<DC_KData>();
    b.time = 1700000000 + 60 * static_cast<int64_t>(i);
    b.close = static_cast<float>(close[i]);
    b.open = static_cast<float>(i < open.size() ? open[i] : close[i]);
    b.high = static_cast<float>(i < high.size() ? high[i] : std::max<double>(b.open, b.close));
    b.low = static_cast<float>(i < low.size() ? low[i] : std::min<double>(b.open, b.close));
    b.volume = static_cast<int32_t>(100 + i);
    b.openInterest = static_cast<int32_t>(5000 + 2 * i);
    b.amount = 1000.5 * static_cast<double>(i + 1);
    bars.push_back(b);
  }
  return bars;
}

// A seeded random walk of bars with prices on a 0.5 tick, like a futures contract.
inline std::vector<DC_KData> RandomBars(std::size_t count, uint32_t seed, double start = 3500) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> step(-12, 12), wick(0, 8), vol(1, 5000), opi(-40, 40), gap(0, 15);
  std::vector<DC_KData> bars;
  double price = start;
  int32_t interest = 100000;
  for (std::size_t i = 0; i < count; ++i) {
    DC_KData b = ZeroRecord<DC_KData>();
    b.time = 1700000000 + 60 * static_cast<int64_t>(i);
    double open = gap(rng) == 0 ? std::max(10.0, price + 2.0 * step(rng)) : price;  // now and then a gap
    double close = std::max(10.0, open + 0.5 * step(rng));
    b.open = static_cast<float>(open);
    b.close = static_cast<float>(close);
    b.high = static_cast<float>(std::max(open, close) + 0.5 * wick(rng));
    b.low = static_cast<float>(std::min(open, close) - 0.5 * wick(rng));
    b.volume = vol(rng);
    interest += opi(rng);
    b.openInterest = interest;
    b.amount = b.volume * close * 10;
    bars.push_back(b);
    price = close;
  }
  return bars;
}

// Compiles (failing the test on an error) and evaluates over all bars; the output's values.
inline std::vector<double> RunFormula(const std::string& text, const std::vector<DC_KData>& bars, std::size_t output = 0,
                               const std::vector<ParamDef>& params = {}, const std::vector<double>& values = {}) {
  CompileResult r = Compile(text, params);
  EXPECT_TRUE(r.ok()) << text << ": " << r.error.message;
  if (!r.ok()) return {};
  Evaluation e(r.program);
  if (!values.empty()) e.SetParams(values);
  e.Compute(bars.data(), bars.size());
  if (output >= e.OutputCount()) return {};
  auto s = e.GetOutput(output).values;
  return std::vector<double>(s.begin(), s.end());
}

inline bool SameValue(double a, double b, double tol) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::fabs(a - b) <= tol * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

// Equal series: the same length, NaN where the other is NaN, values within a relative tolerance.
inline ::testing::AssertionResult SeriesNear(const std::vector<double>& got, const std::vector<double>& want,
                                            double tol = 1e-9) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << "length " << got.size() << " instead of " << want.size();
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!SameValue(got[i], want[i], tol))
      return ::testing::AssertionFailure() << "bar " << i << ": " << got[i] << " instead of " << want[i];
  return ::testing::AssertionSuccess();
}

// Bit-identical series (NaN equal to NaN).
inline ::testing::AssertionResult SeriesIdentical(std::span<const double> got, std::span<const double> want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << "length " << got.size() << " instead of " << want.size();
  for (std::size_t i = 0; i < got.size(); ++i) {
    bool same = (std::isnan(got[i]) && std::isnan(want[i])) || got[i] == want[i];
    if (!same) return ::testing::AssertionFailure() << "bar " << i << ": " << got[i] << " instead of " << want[i];
  }
  return ::testing::AssertionSuccess();
}

// Computes a program over all bars at once, and again by growing the bars one at a time from
// `start` on (each new bar first appended with a different close, then updated to its real
// value); every output must be bit-identical.
inline ::testing::AssertionResult IncrementalMatchesFull(const std::shared_ptr<const Program>& program,
                                                         const std::vector<DC_KData>& bars, std::size_t start,
                                                         const std::vector<double>& params = {}) {
  Evaluation full(program), step(program);
  if (!params.empty()) {
    full.SetParams(params);
    step.SetParams(params);
  }
  full.Compute(bars.data(), bars.size());
  std::vector<DC_KData> grow(bars.begin(), bars.begin() + static_cast<long>(start));
  step.Compute(grow.data(), grow.size());
  for (std::size_t i = start; i < bars.size(); ++i) {
    DC_KData provisional = bars[i];
    provisional.close = provisional.open;
    provisional.high = std::max(provisional.high, provisional.open);
    grow.push_back(provisional);
    step.Update(grow.data(), grow.size(), grow.size() - 1);
    grow.back() = bars[i];
    step.Update(grow.data(), grow.size(), grow.size() - 1);
  }
  for (std::size_t o = 0; o < full.OutputCount(); ++o) {
    Output a = step.GetOutput(o), b = full.GetOutput(o);
    for (auto [x, y] : {std::pair{a.values, b.values}, std::pair{a.second, b.second}, std::pair{a.colors, b.colors}}) {
      ::testing::AssertionResult r = SeriesIdentical(x, y);
      if (!r) return r << " (output " << o << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tarn::formula::test
