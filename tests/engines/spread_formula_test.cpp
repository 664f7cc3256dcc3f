// The broker reads a strategy's formula with its own parser: it must accept exactly what the
// terminal's parser accepts and compute the same values.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engines/combol_formula.h"
#include "libs/exchange/spread_formula.h"

namespace {

TEST(SpreadFormulaAgreement, TheBrokerReadsWhatTheTerminalReadsAndComputesTheSame) {
  const char alphabet[] = "ABCD0123456789.+-*/()";
  std::mt19937 rng(20251208);
  const bool used[4] = {true, true, true, false};
  const double legs[4] = {3.5, -2.25, 7, 11};
  int accepted = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    const int len = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) text += alphabet[rng() % (sizeof alphabet - 1)];
    tarn::CombolFormula engine;
    std::string message;
    const bool ok = engine.Parse(text, used, &message);
    tarn::exchange::SpreadFormula broker;
    ASSERT_EQ(broker.Parse(text, 7), ok) << text;
    if (!ok) continue;
    ++accepted;
    const double a = engine.Evaluate(legs), b = broker.Evaluate(legs);
    if (std::isnan(a)) {
      EXPECT_TRUE(std::isnan(b)) << text;
    } else {
      EXPECT_EQ(a, b) << text;
    }
  }
  EXPECT_GT(accepted, 1000);
}

}  // namespace
