// The 56 built-in indicators: every one compiles and computes, incremental updates give the
// full result, and the indicators with a standard definition agree with a straightforward
// computation written here loop by loop.
//
// Conventions of the formula language that other libraries do not share:
//  - EMA and SMA start at the first valid value (Y0 = X0), where some libraries seed with
//    the simple average of the first N values; an invalid input keeps the previous value.
//  - HHV/LLV take the bars there are before N bars exist, so KDJ and WR start at bar 0.
//  - STD is the sample deviation (N - 1), so BOLL's bands are wider than those computed
//    with the population deviation.
//  - ATR is the simple average of the true range (not Wilder's smoothing); the true range
//    needs the previous close, so it starts at bar 1.
//  - RSI smooths with SMA(X,N,1), which is Wilder's smoothing, started at bar 1 with the
//    first change instead of an average of the first N changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "libs/indicators/formula_files.h"
#include "libs/formula/formula_engine.h"
#include "libs/formula/formula_test_util.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using formula::test::N_A;
using formula::test::RandomBars;
using formula::test::SeriesNear;
using Series = std::vector<double>;

class Builtins : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.SetFormulas(ParseFormulaXml(test::ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat")));
    bars_ = RandomBars(10000, 20240601);  // more than two blocks of the evaluator
    for (const DC_KData& b : bars_) {
      o_.push_back(b.open);
      h_.push_back(b.high);
      l_.push_back(b.low);
      c_.push_back(b.close);
      v_.push_back(b.volume);
    }
  }

  // The named indicator with its default parameters over the bars: one series per output.
  std::vector<Series> Compute(const std::string& name) {
    std::shared_ptr<const formula::Program> p = list_.GetProgram(name);
    EXPECT_TRUE(p) << name;
    if (!p) return {};
    formula::Evaluation e(p);
    e.Compute(bars_.data(), bars_.size());
    std::vector<Series> out;
    for (std::size_t i = 0; i < e.OutputCount(); ++i) {
      auto s = e.GetOutput(i).values;
      out.emplace_back(s.begin(), s.end());
    }
    return out;
  }

  // ---- the reference computations ----
  static Series Ma(const Series& x, int n) {
    Series y(x.size(), N_A);
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (static_cast<int>(i) + 1 < n) continue;
      double s = 0;
      for (int k = 0; k < n; ++k) s += x[i - k];
      y[i] = s / n;
    }
    return y;
  }
  // Y = (M*X + (N-M)*Y') / N from the first valid X; an invalid X keeps Y.
  static Series Sma(const Series& x, double n, double m) {
    Series y(x.size(), N_A);
    double prev = N_A;
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (!std::isnan(x[i])) prev = std::isnan(prev) ? x[i] : (m * x[i] + (n - m) * prev) / n;
      y[i] = prev;
    }
    return y;
  }
  static Series Ema(const Series& x, double n) { return Sma(x, n + 1, 2); }
  static Series Sum(const Series& x, int n) {
    Series y(x.size(), N_A);
    for (std::size_t i = static_cast<std::size_t>(n) - 1; i < x.size(); ++i) {
      double s = 0;
      for (int k = 0; k < n; ++k) s += x[i - k];
      y[i] = s;
    }
    return y;
  }
  static double Hhv(const Series& x, std::size_t i, int n) {
    double m = x[i];
    for (std::size_t k = i; k + n > i && k != static_cast<std::size_t>(-1); --k) m = std::max(m, x[k]);
    return m;
  }
  static double Llv(const Series& x, std::size_t i, int n) {
    double m = x[i];
    for (std::size_t k = i; k + n > i && k != static_cast<std::size_t>(-1); --k) m = std::min(m, x[k]);
    return m;
  }
  static Series Div(const Series& a, const Series& b, double scale = 1) {
    Series y(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) y[i] = b[i] == 0 ? N_A : a[i] / b[i] * scale;
    return y;
  }
  Series TrueRange() const {
    Series tr(c_.size(), N_A);
    for (std::size_t i = 1; i < c_.size(); ++i)
      tr[i] = std::max({h_[i] - l_[i], std::fabs(c_[i - 1] - h_[i]), std::fabs(c_[i - 1] - l_[i])});
    return tr;
  }

  formula::CFormulaList list_;
  std::vector<DC_KData> bars_;
  Series o_, h_, l_, c_, v_;
};

TEST_F(Builtins, AllCompileComputeAndUpdateIncrementally) {
  ASSERT_EQ(list_.Count(), 56u);
  for (const std::string& name : BuiltinIndicatorNames()) {
    formula::CompileError error;
    std::shared_ptr<const formula::Program> p = list_.GetProgram(name, &error);
    ASSERT_TRUE(p) << name << ": " << error.message;
    std::vector<Series> out = Compute(name);
    ASSERT_FALSE(out.empty()) << name;
    bool anyValid = false;
    for (const Series& s : out) {
      ASSERT_EQ(s.size(), bars_.size()) << name;
      for (double v : s) {
        EXPECT_FALSE(std::isinf(v)) << name;
        anyValid |= !std::isnan(v);
      }
    }
    EXPECT_TRUE(anyValid) << name;
    EXPECT_TRUE(formula::test::IncrementalMatchesFull(p, bars_, 8150)) << name;
  }
}

TEST_F(Builtins, MovingAverages) {
  EXPECT_TRUE(SeriesNear(Compute("MA")[0], Ma(c_, 5)));
  EXPECT_TRUE(SeriesNear(Compute("MA")[3], Ma(c_, 60)));
  EXPECT_TRUE(SeriesNear(Compute("EMA")[2], Ema(c_, 20)));
  // EMA's first value is the first close (no average of the first N closes).
  EXPECT_EQ(Compute("EMA")[0][0], c_[0]);
}

TEST_F(Builtins, Macd) {
  std::vector<Series> out = Compute("MACD");
  Series e12 = Ema(c_, 12), e26 = Ema(c_, 26), dif(c_.size()), bar(c_.size());
  for (std::size_t i = 0; i < c_.size(); ++i) dif[i] = e12[i] - e26[i];
  Series dea = Ema(dif, 9);
  for (std::size_t i = 0; i < c_.size(); ++i) bar[i] = 2 * (dif[i] - dea[i]);
  EXPECT_TRUE(SeriesNear(out[0], dif, 1e-8));
  EXPECT_TRUE(SeriesNear(out[1], dea, 1e-8));
  EXPECT_TRUE(SeriesNear(out[2], bar, 1e-8));
}

TEST_F(Builtins, Kdj) {
  Series rsv(c_.size());
  for (std::size_t i = 0; i < c_.size(); ++i) {
    double hh = Hhv(h_, i, 9), ll = Llv(l_, i, 9);
    rsv[i] = hh == ll ? N_A : (c_[i] - ll) / (hh - ll) * 100;
  }
  Series k = Sma(rsv, 3, 1), d = Sma(k, 3, 1), j(c_.size());
  for (std::size_t i = 0; i < c_.size(); ++i) j[i] = 3 * k[i] - 2 * d[i];
  std::vector<Series> out = Compute("KDJ");
  EXPECT_TRUE(SeriesNear(out[0], k));
  EXPECT_TRUE(SeriesNear(out[1], d));
  EXPECT_TRUE(SeriesNear(out[2], j));
}

TEST_F(Builtins, Rsi) {
  Series up(c_.size(), N_A), ab(c_.size(), N_A);
  for (std::size_t i = 1; i < c_.size(); ++i) {
    up[i] = std::max(c_[i] - c_[i - 1], 0.0);
    ab[i] = std::fabs(c_[i] - c_[i - 1]);
  }
  std::vector<Series> out = Compute("RSI");
  EXPECT_TRUE(SeriesNear(out[0], Div(Sma(up, 6, 1), Sma(ab, 6, 1), 100)));
  EXPECT_TRUE(SeriesNear(out[2], Div(Sma(up, 24, 1), Sma(ab, 24, 1), 100)));
  EXPECT_TRUE(std::isnan(out[0][0]));
}

TEST_F(Builtins, Boll) {
  Series mid = Ma(c_, 20), ub(c_.size(), N_A), lb(c_.size(), N_A);
  for (std::size_t i = 19; i < c_.size(); ++i) {
    double d = 0;
    for (int k = 0; k < 20; ++k) d += (c_[i - k] - mid[i]) * (c_[i - k] - mid[i]);
    double sd = std::sqrt(d / 19);  // the sample deviation
    ub[i] = mid[i] + 2 * sd;
    lb[i] = mid[i] - 2 * sd;
  }
  std::vector<Series> out = Compute("BOLL");
  EXPECT_TRUE(SeriesNear(out[0], mid));
  EXPECT_TRUE(SeriesNear(out[1], ub, 1e-8));
  EXPECT_TRUE(SeriesNear(out[2], lb, 1e-8));
}

TEST_F(Builtins, Atr) {
  std::vector<Series> out = Compute("ATR");
  EXPECT_TRUE(SeriesNear(out[0], TrueRange()));
  EXPECT_TRUE(SeriesNear(out[1], Ma(TrueRange(), 14)));
  EXPECT_TRUE(std::isnan(out[1][13]));
  EXPECT_FALSE(std::isnan(out[1][14]));
}

TEST_F(Builtins, Cci) {
  Series typ(c_.size()), cci(c_.size(), N_A);
  for (std::size_t i = 0; i < c_.size(); ++i) typ[i] = (h_[i] + l_[i] + c_[i]) / 3;
  Series ma = Ma(typ, 14);
  for (std::size_t i = 13; i < c_.size(); ++i) {
    double md = 0;
    for (int k = 0; k < 14; ++k) md += std::fabs(typ[i - k] - ma[i]);
    md /= 14;
    cci[i] = md == 0 ? N_A : (typ[i] - ma[i]) / (0.015 * md);
  }
  EXPECT_TRUE(SeriesNear(Compute("CCI")[0], cci, 1e-8));
}

TEST_F(Builtins, Wr) {
  Series wr(c_.size());
  for (std::size_t i = 0; i < c_.size(); ++i) {
    double hh = Hhv(h_, i, 10), ll = Llv(l_, i, 10);
    wr[i] = hh == ll ? N_A : 100 * (hh - c_[i]) / (hh - ll);
  }
  EXPECT_TRUE(SeriesNear(Compute("WR")[0], wr));
}

TEST_F(Builtins, Obv) {
  Series obv(c_.size(), N_A);
  double total = 0;
  for (std::size_t i = 1; i < c_.size(); ++i) {
    total += c_[i] > c_[i - 1] ? v_[i] : c_[i] < c_[i - 1] ? -v_[i] : 0;
    obv[i] = total;
  }
  std::vector<Series> out = Compute("OBV");
  EXPECT_TRUE(SeriesNear(out[0], obv));
  // MA of OBV needs 30 valid values: bars 1..30.
  EXPECT_TRUE(std::isnan(out[1][29]));
  EXPECT_NEAR(out[1][30], std::accumulate(obv.begin() + 1, obv.begin() + 31, 0.0) / 30, 1e-9);
}

TEST_F(Builtins, Dmi) {
  std::size_t n = c_.size();
  Series dmp(n, N_A), dmm(n, N_A);
  for (std::size_t i = 1; i < n; ++i) {
    double hd = h_[i] - h_[i - 1], ld = l_[i - 1] - l_[i];
    dmp[i] = hd > 0 && hd > ld ? hd : 0;
    dmm[i] = ld > 0 && ld > hd ? ld : 0;
  }
  Series mtr = Sum(TrueRange(), 14), pdi = Div(Sum(dmp, 14), mtr, 100), mdi = Div(Sum(dmm, 14), mtr, 100);
  Series dx(n, N_A), adxr(n, N_A);
  for (std::size_t i = 0; i < n; ++i)
    dx[i] = (mdi[i] + pdi[i]) == 0 ? N_A : std::fabs(mdi[i] - pdi[i]) / (mdi[i] + pdi[i]) * 100;
  Series adx = Ma(dx, 6);
  for (std::size_t i = 6; i < n; ++i) adxr[i] = (adx[i] + adx[i - 6]) / 2;
  std::vector<Series> out = Compute("DMI");
  EXPECT_TRUE(SeriesNear(out[0], pdi));
  EXPECT_TRUE(SeriesNear(out[1], mdi));
  EXPECT_TRUE(SeriesNear(out[2], adx));
  EXPECT_TRUE(SeriesNear(out[3], adxr));
}

TEST_F(Builtins, Sar) {
  // Wilder's parabolic SAR(10, 2%, 20%), started at bar 9: long when close[9] >= close[0].
  std::size_t n = c_.size(), s = 9;
  Series sar(n, N_A);
  bool up = c_[s] >= c_[0];
  double hh = h_[0], ll = l_[0];
  for (std::size_t k = 0; k <= s; ++k) {
    hh = std::max(hh, h_[k]);
    ll = std::min(ll, l_[k]);
  }
  double stop = up ? ll : hh, ep = up ? hh : ll, af = 0.02;
  sar[s] = stop;
  int reversals = 0;
  for (std::size_t i = s + 1; i < n; ++i) {
    stop += af * (ep - stop);
    if (up) {
      stop = std::min({stop, l_[i - 1], l_[i - 2]});
      if (l_[i] < stop) {
        up = false, stop = ep, ep = l_[i], af = 0.02, ++reversals;
      } else if (h_[i] > ep) {
        ep = h_[i], af = std::min(af + 0.02, 0.2);
      }
    } else {
      stop = std::max({stop, h_[i - 1], h_[i - 2]});
      if (h_[i] > stop) {
        up = true, stop = ep, ep = h_[i], af = 0.02, ++reversals;
      } else if (l_[i] < ep) {
        ep = l_[i], af = std::min(af + 0.02, 0.2);
      }
    }
    sar[i] = stop;
  }
  EXPECT_GT(reversals, 20);
  EXPECT_TRUE(SeriesNear(Compute("SAR")[0], sar));
}

}  // namespace
}  // namespace tarn
