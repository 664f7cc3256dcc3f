// The evaluator: one pass per instruction over the bars it has to compute.
//
// Every kernel computes bars [from, to) given that bars before `from` hold the values a
// full computation gave them, and does so with exactly the arithmetic a full computation
// uses, so that an incremental update gives bit-identical results:
//  - recursive functions (EMA, SMA, DMA, cumulative SUM, BARSLAST ...) continue from the
//    value stored at from - 1;
//  - sliding sums (MA, SUM, STD, VAR) restart from a fresh sum at fixed anchor bars (every
//    256 bars, or the power of two at least 8N, counted from bar 0) and slide from there,
//    so that a bar's value never depends on where a computation started;
//  - extremes and counts are exact whatever the order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "data/quote_records.h"
#include "libs/formula/program_impl.h"

namespace tarn::formula {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline bool Valid(double v) { return v == v; }
inline bool Truth(double v) { return v != 0 && v == v; }
inline double Bool(bool b) { return b ? 1.0 : 0.0; }
inline double Finite(double v) { return std::isfinite(v) ? v : kNaN; }

// A period argument as a bar count: -1 when invalid (NaN or negative), capped so that no
// count can overflow; fractions are cut off (with a tolerance for values like 4.9999999).
long long PeriodOf(double v) {
  if (!(v >= 0)) return -1;
  if (v > 1e12) return 1000000000000LL;
  return static_cast<long long>(v + 1e-9);
}

// An operand as the kernels read it: a series or one scalar for every bar.
struct Src {
  const double* p = nullptr;
  double s = 0;
  double operator[](std::size_t i) const { return p ? p[i] : s; }
  bool series() const { return p != nullptr; }
};

template <class F>
void Map1(double* o, Src a, std::size_t from, std::size_t to, F f) {
  if (a.p) {
    const double* x = a.p;
    for (std::size_t i = from; i < to; ++i) o[i] = f(x[i]);
  } else {
    double v = f(a.s);
    for (std::size_t i = from; i < to; ++i) o[i] = v;
  }
}

template <class F>
void Map2(double* o, Src a, Src b, std::size_t from, std::size_t to, F f) {
  if (a.p && b.p) {
    const double* x = a.p;
    const double* y = b.p;
    for (std::size_t i = from; i < to; ++i) o[i] = f(x[i], y[i]);
  } else if (a.p) {
    const double* x = a.p;
    double y = b.s;
    for (std::size_t i = from; i < to; ++i) o[i] = f(x[i], y);
  } else if (b.p) {
    double x = a.s;
    const double* y = b.p;
    for (std::size_t i = from; i < to; ++i) o[i] = f(x, y[i]);
  } else {
    double v = f(a.s, b.s);
    for (std::size_t i = from; i < to; ++i) o[i] = v;
  }
}

inline double Cmp(double a, double b, bool r) { return (a != a || b != b) ? kNaN : Bool(r); }

double Elem(Op op, double a, double b, double c) {
  switch (op) {
    case Op::Neg: return -a;
    case Op::Not: return a != a ? kNaN : Bool(a == 0);
    case Op::Abs: return std::fabs(a);
    case Op::Sqrt: return a >= 0 ? std::sqrt(a) : kNaN;
    case Op::Ln: return a > 0 ? std::log(a) : kNaN;
    case Op::Log: return a > 0 ? std::log10(a) : kNaN;
    case Op::Exp: return Finite(std::exp(a));
    case Op::Sign: return a != a ? kNaN : a > 0 ? 1.0 : a < 0 ? -1.0 : 0.0;
    case Op::Round: return std::round(a);
    case Op::IntPart: return std::trunc(a);
    case Op::Add: return a + b;
    case Op::Sub: return a - b;
    case Op::Mul: return a * b;
    case Op::Div: return b != 0 ? a / b : kNaN;
    case Op::DivScale: return b != 0 ? a / b * c : kNaN;
    case Op::Lt: return Cmp(a, b, a < b);
    case Op::Le: return Cmp(a, b, a <= b);
    case Op::Gt: return Cmp(a, b, a > b);
    case Op::Ge: return Cmp(a, b, a >= b);
    case Op::Eq: return Cmp(a, b, a == b);
    case Op::Ne: return Cmp(a, b, a != b);
    case Op::And: return Cmp(a, b, a != 0 && b != 0);
    case Op::Or: return Cmp(a, b, a != 0 || b != 0);
    case Op::Max: return (a != a || b != b) ? kNaN : std::max(a, b);
    case Op::Min: return (a != a || b != b) ? kNaN : std::min(a, b);
    case Op::Pow: return Finite(std::pow(a, b));
    case Op::Mod: return b != 0 ? std::fmod(a, b) : kNaN;
    case Op::If: return a != a ? kNaN : a != 0 ? b : c;
    case Op::Between:
      if (a != a || b != b || c != c) return kNaN;
      return Bool((b <= a && a <= c) || (c <= a && a <= b));
    default: return kNaN;
  }
}

// ---- windows over the last N bars ----

// One windowed value at bar j over the window [j-N+1, j], computed directly (used for
// period arguments that are series, and for the functions without a sliding form).
// N == 0 means "since the first bar" where the function allows it.
double WindowValue(Op op, const double* x, std::size_t j, long long N) {
  if (N < 0) return kNaN;
  bool all = N == 0;
  std::size_t lo = all ? 0 : (static_cast<long long>(j) + 1 >= N ? j + 1 - static_cast<std::size_t>(N) : 0);
  bool complete = !all && static_cast<long long>(j) + 1 >= N;
  switch (op) {
    case Op::Hhv:
    case Op::Llv: {
      double best = kNaN;
      for (std::size_t k = lo; k <= j; ++k) {
        double v = x[k];
        if (v == v && (best != best || (op == Op::Hhv ? v > best : v < best))) best = v;
      }
      return best;
    }
    case Op::HhvBars:
    case Op::LlvBars: {
      double best = kNaN;
      std::size_t at = 0;
      for (std::size_t k = lo; k <= j; ++k) {
        double v = x[k];
        if (v == v && (best != best || (op == Op::HhvBars ? v >= best : v <= best))) {
          best = v;
          at = k;
        }
      }
      return best != best ? kNaN : static_cast<double>(j - at);
    }
    case Op::Count:
    case Op::Exist:
    case Op::Every: {
      long long count = 0;
      for (std::size_t k = lo; k <= j; ++k) count += Truth(x[k]);
      if (op == Op::Count) return static_cast<double>(count);
      if (op == Op::Exist) return Bool(count > 0);
      return Bool((all || complete) && count == static_cast<long long>(j - lo + 1));
    }
    case Op::Sum:
      if (all) {
        double s = 0;
        bool any = false;
        for (std::size_t k = 0; k <= j; ++k)
          if (Valid(x[k])) {
            s += x[k];
            any = true;
          }
        return any ? s : kNaN;
      }
      break;
    default:
      break;
  }
  // The statistics need N valid values.
  if (all || !complete) return kNaN;
  double n = static_cast<double>(N);
  double s = 0;
  for (std::size_t k = lo; k <= j; ++k) {
    if (!Valid(x[k])) return kNaN;
    s += x[k];
  }
  double mean = s / n;
  switch (op) {
    case Op::Ma: return mean;
    case Op::Sum: return s;
    case Op::Wma: {
      double w = 0;
      for (std::size_t k = lo; k <= j; ++k) w += static_cast<double>(k - lo + 1) * x[k];
      return w / (n * (n + 1) / 2);
    }
    case Op::Avedev: {
      double d = 0;
      for (std::size_t k = lo; k <= j; ++k) d += std::fabs(x[k] - mean);
      return d / n;
    }
    case Op::Devsq:
    case Op::Std:
    case Op::Stdp:
    case Op::Var:
    case Op::Varp: {
      double d = 0;
      for (std::size_t k = lo; k <= j; ++k) d += (x[k] - mean) * (x[k] - mean);
      if (op == Op::Devsq) return d;
      double var = (op == Op::Std || op == Op::Var) ? (N > 1 ? d / (n - 1) : kNaN) : d / n;
      return (op == Op::Std || op == Op::Stdp) ? std::sqrt(var) : var;
    }
    case Op::Slope:
    case Op::Forcast: {
      if (N < 2) return kNaN;
      double st = 0, stt = 0, sty = 0;
      for (std::size_t k = lo; k <= j; ++k) {
        double t = static_cast<double>(k - lo);
        st += t;
        stt += t * t;
        sty += t * x[k];
      }
      double slope = (n * sty - st * s) / (n * stt - st * st);
      if (op == Op::Slope) return slope;
      double intercept = (s - slope * st) / n;
      return intercept + slope * (n - 1);
    }
    default:
      return kNaN;
  }
}

// The anchor spacing of the sliding sums of period N: 256 bars, or the power of two at
// least 8N (so that a fresh sum every block costs at most an eighth more).
std::size_t AnchorSpacing(std::size_t N) {
  std::size_t block = 256;
  while (block < 8 * N && block < (std::size_t(1) << 40)) block *= 2;
  return block;
}

// MA, SUM, STD, STDP, VAR, VARP with a fixed N >= 1, by sliding sums restarted at anchors.
template <Op kOp, class X>
void SlidingStatT(double* o, const X& x, std::size_t from, std::size_t to, std::size_t N, double* mean) {
  constexpr bool kDeviations = kOp != Op::Ma && kOp != Op::Sum;
  constexpr bool kSample = kOp == Op::Std || kOp == Op::Var;
  constexpr bool kRoot = kOp == Op::Std || kOp == Op::Stdp;
  const std::size_t block = AnchorSpacing(N);
  const double n = static_cast<double>(N);
  const double inv = 1 / n;
  const double invVar = kSample ? (N > 1 ? 1 / (n - 1) : kNaN) : 1 / n;
  auto emit = [&](std::size_t j, double s, double q, std::size_t bad, double ref) {
    if constexpr (kDeviations) {
      if (mean) mean[j] = bad ? kNaN : ref + s * inv;
    }
    if (bad) {
      o[j] = kNaN;
    } else if constexpr (kOp == Op::Ma) {
      o[j] = s * inv;
    } else if constexpr (kOp == Op::Sum) {
      o[j] = s;
    } else {
      double dev = q - s * s * inv;
      dev = dev < 0 ? 0 : dev;
      double var = dev * invVar;
      o[j] = kRoot ? std::sqrt(var) : var;
    }
  };
  std::size_t i = from;
  while (i < to) {
    std::size_t a = i - i % block;
    std::size_t end = std::min(to, a + block);
    std::size_t lo = a + 1 >= N ? a + 1 - N : 0;
    double ref = 0;
    if constexpr (kDeviations) {
      for (std::size_t k = lo; k <= a; ++k)
        if (Valid(x[k])) {
          ref = x[k];
          break;
        }
    }
    double s = 0, q = 0;
    std::size_t bad = a + 1 < N ? N - (a + 1) : 0;  // bars before the first, and invalid values
    for (std::size_t k = lo; k <= a; ++k) {
      double v = x[k];
      if (v == v) {
        double d = v - ref;
        s += d;
        if constexpr (kDeviations) q += d * d;
      } else {
        ++bad;
      }
    }
    if (a >= i) emit(a, s, q, bad, ref);
    // One add per sum and bar on the chain of dependent operations: the value that comes in
    // less the one that leaves (invalid values count as 0 and are counted apart).
    for (std::size_t j = a + 1; j < end; ++j) {
      double v = x[j];
      double w = j >= N ? x[j - N] : kNaN;
      bool vin = v == v, win = w == w;
      double dv = vin ? v - ref : 0, dw = win ? w - ref : 0;
      s += dv - dw;
      if constexpr (kDeviations) q += dv * dv - dw * dw;
      bad += static_cast<std::size_t>(!vin);
      bad -= static_cast<std::size_t>(!win);
      if (j >= i) emit(j, s, q, bad, ref);
    }
    i = end;
  }
}

template <class X>
void SlidingStat(Op op, double* o, const X& x, std::size_t from, std::size_t to, std::size_t N, double* mean) {
  switch (op) {
    case Op::Ma: SlidingStatT<Op::Ma>(o, x, from, to, N, nullptr); break;
    case Op::Sum: SlidingStatT<Op::Sum>(o, x, from, to, N, nullptr); break;
    case Op::Std: SlidingStatT<Op::Std>(o, x, from, to, N, mean); break;
    case Op::Stdp: SlidingStatT<Op::Stdp>(o, x, from, to, N, mean); break;
    case Op::Var: SlidingStatT<Op::Var>(o, x, from, to, N, mean); break;
    default: SlidingStatT<Op::Varp>(o, x, from, to, N, mean); break;
  }
}

// A bar field read as a series (the readers of a skipped load).
template <class Get>
struct FieldReader {
  const DC_KData* bars;
  Get get;
  double operator[](std::size_t j) const { return get(bars[j]); }
};

// HHV/LLV with a fixed N: the window's extreme as the larger of a suffix extreme and a
// prefix extreme of consecutive segments of N bars (three passes, whatever N). Extremes are
// exact, so the values do not depend on where the segments start. Invalid values are passed
// over; a window of invalid values only is invalid.
template <bool kHigh>
inline double Pick(double cur, double v) {
  return ((kHigh ? v > cur : v < cur) || cur != cur) ? v : cur;
}
// The same for values known to be valid: a single max/min instruction, no branch.
template <bool kHigh>
inline double PickValid(double cur, double v) {
  return kHigh ? (v > cur ? v : cur) : (v < cur ? v : cur);
}

template <bool kHigh, bool kValid>
void Segments(double* g, double* h, const double* y, std::size_t m, std::size_t N) {
  auto pick = [](double cur, double v) { return kValid ? PickValid<kHigh>(cur, v) : Pick<kHigh>(cur, v); };
  for (std::size_t s = 0; s < m; s += N) {
    std::size_t e = std::min(m, s + N);
    double run = y[s];
    g[s] = run;
    for (std::size_t t = s + 1; t < e; ++t) g[t] = run = pick(run, y[t]);
    run = y[e - 1];
    h[e - 1] = run;
    for (std::size_t t = e - 1; t-- > s;) h[t] = run = pick(run, y[t]);
  }
}

template <bool kHigh, class X>
void SegmentExtreme(double* o, const X& x, std::size_t from, std::size_t to, std::size_t N,
                    std::vector<double>& scratch) {
  std::size_t first = std::max(from, N - 1);
  const std::size_t lo = std::min(first, to) + 1 >= N ? std::min(first, to) + 1 - N : 0;
  const std::size_t m = to - lo;
  scratch.resize(3 * m + 1);
  double* y = scratch.data();
  double* g = y + m;
  double* h = g + m;
  std::size_t invalid = 0;
  for (std::size_t t = 0; t < m; ++t) {
    y[t] = x[lo + t];
    invalid += static_cast<std::size_t>(y[t] != y[t]);
  }
  // Windows that begin before the first bar (then lo is 0): the extreme so far.
  if (from < first) {
    double best = kNaN;
    for (std::size_t j = 0; j < std::min(first, to); ++j) {
      best = Pick<kHigh>(best, y[j]);
      if (j >= from) o[j] = best;
    }
  }
  if (first >= to) return;
  const std::size_t start = first - lo;  // the first full window ends at y[start]
  if (invalid == 0) {
    Segments<kHigh, true>(g, h, y, m, N);
    for (std::size_t t = start; t < m; ++t) o[lo + t] = PickValid<kHigh>(h[t + 1 - N], g[t]);
  } else {
    Segments<kHigh, false>(g, h, y, m, N);
    for (std::size_t t = start; t < m; ++t) o[lo + t] = Pick<kHigh>(h[t + 1 - N], g[t]);
  }
}

// COUNT/EXIST/EVERY with a fixed N >= 1: a sliding count of true values.
void SlidingCount(Op op, double* o, const double* x, std::size_t from, std::size_t to, std::size_t N) {
  // The window of bar from - 1: [from - N, from - 1].
  std::size_t lo = from >= N ? from - N : 0;
  long long count = 0;
  for (std::size_t k = lo; k < from; ++k) count += Truth(x[k]);
  for (std::size_t j = from; j < to; ++j) {
    count += Truth(x[j]);
    if (j >= N) count -= Truth(x[j - N]);
    if (op == Op::Count) o[j] = static_cast<double>(count);
    else if (op == Op::Exist) o[j] = Bool(count > 0);
    else o[j] = Bool(j + 1 >= N && count == static_cast<long long>(N));
  }
}

// Cumulative forms (N = 0) continue from the value at from - 1.
template <class X>
void Cumulative(Op op, double* o, const X& x, std::size_t from, std::size_t to) {
  double prev = from > 0 ? o[from - 1] : kNaN;
  for (std::size_t j = from; j < to; ++j) {
    double v = x[j];
    switch (op) {
      case Op::Sum:
        if (v == v) prev = (prev == prev ? prev : 0) + v;
        break;
      case Op::Hhv:
        if (v == v && (prev != prev || v > prev)) prev = v;
        break;
      case Op::Llv:
        if (v == v && (prev != prev || v < prev)) prev = v;
        break;
      case Op::Count:
        prev = (j == 0 ? 0 : prev) + Truth(v);
        break;
      case Op::Exist:
        prev = Bool((j > 0 && prev != 0) || Truth(v));
        break;
      case Op::Every:
        prev = Bool((j == 0 || prev != 0) && Truth(v));
        break;
      default:
        prev = kNaN;
        break;
    }
    o[j] = prev;
  }
}

// HHVBARS/LLVBARS since the first bar: the bar of the extreme is j - o[j-1] one bar earlier.
void CumulativeBars(bool high, double* o, const double* x, std::size_t from, std::size_t to) {
  long long at = -1;
  if (from > 0 && Valid(o[from - 1])) at = static_cast<long long>(from - 1) - static_cast<long long>(o[from - 1]);
  for (std::size_t j = from; j < to; ++j) {
    double v = x[j];
    if (v == v && (at < 0 || (high ? v >= x[at] : v <= x[at]))) at = static_cast<long long>(j);
    o[j] = at < 0 ? kNaN : static_cast<double>(static_cast<long long>(j) - at);
  }
}

// Zigzag over a price series with a reversal of `pct` percent: turning points joined by
// straight lines; the last leg runs to the last bar. Computed over all bars every time.
void Zigzag(double* o, const double* x, std::size_t to, Src pct) {
  std::fill(o, o + to, kNaN);
  std::size_t first = 0;
  while (first < to && !Valid(x[first])) ++first;
  if (first >= to) return;
  std::vector<std::size_t> pivots;
  int trend = 0;
  std::size_t hi = first, lo = first, cand = first;
  for (std::size_t j = first + 1; j < to; ++j) {
    double v = x[j];
    if (!Valid(v)) continue;
    double r = pct[j] / 100;
    if (!(r > 0)) r = 0;
    if (trend == 0) {
      if (v > x[hi]) hi = j;
      if (v < x[lo]) lo = j;
      if (v >= x[lo] * (1 + r) && lo < j) {
        pivots.push_back(lo);
        trend = 1;
        cand = j;
      } else if (v <= x[hi] * (1 - r) && hi < j) {
        pivots.push_back(hi);
        trend = -1;
        cand = j;
      }
    } else if (trend > 0) {
      if (v >= x[cand]) {
        cand = j;
      } else if (v <= x[cand] * (1 - r)) {
        pivots.push_back(cand);
        trend = -1;
        cand = j;
      }
    } else {
      if (v <= x[cand]) {
        cand = j;
      } else if (v >= x[cand] * (1 + r)) {
        pivots.push_back(cand);
        trend = 1;
        cand = j;
      }
    }
  }
  if (trend == 0) {
    o[first] = x[first];
    return;
  }
  pivots.push_back(cand);
  std::size_t last = to - 1;
  while (last > cand && !Valid(x[last])) --last;
  if (last > cand) pivots.push_back(last);
  for (std::size_t p = 0; p + 1 < pivots.size(); ++p) {
    std::size_t a = pivots[p], b = pivots[p + 1];
    double va = x[a], vb = x[b];
    for (std::size_t j = a; j <= b; ++j)
      o[j] = va + (vb - va) * static_cast<double>(j - a) / static_cast<double>(b - a);
  }
}

// Parabolic stop and reverse SAR(N,STEP,MAX) over high, low and close; step and maximum in
// percent. Starts at bar N-1: long when the close there is not below the first close, the
// stop at the lowest low (short: highest high) of the first N bars, the extreme point at the
// other end. Each bar: stop += AF * (EP - stop), kept beyond the two previous bars' lows
// (highs); a bar through the stop reverses: the stop becomes the old extreme point, the
// extreme point this bar's high or low, AF the step; a new extreme raises AF by the step up
// to the maximum. The state per bar (trend, EP, AF) is kept for incremental updates.
void Sar(double* o, double* trendA, double* epA, double* afA, const double* h, const double* l, const double* c,
         std::size_t from, std::size_t to, double nArg, double stepArg, double maxArg) {
  long long N = PeriodOf(nArg);
  double step = stepArg / 100, maxAf = maxArg / 100;
  if (N < 1 || !(step > 0) || !(maxAf > 0)) {
    for (std::size_t j = from; j < to; ++j) o[j] = trendA[j] = epA[j] = afA[j] = kNaN;
    return;
  }
  std::size_t s = static_cast<std::size_t>(std::min<long long>(N - 1, 1LL << 40));
  for (std::size_t j = from; j < to; ++j) {
    if (j < s) {
      o[j] = trendA[j] = epA[j] = afA[j] = kNaN;
      continue;
    }
    if (j == s) {
      double hh = h[0], ll = l[0];
      for (std::size_t k = 1; k <= s; ++k) {
        hh = std::max(hh, static_cast<double>(h[k]));
        ll = std::min(ll, static_cast<double>(l[k]));
      }
      bool up = c[s] >= c[0];
      trendA[j] = up ? 1 : -1;
      o[j] = up ? ll : hh;
      epA[j] = up ? hh : ll;
      afA[j] = step;
      continue;
    }
    double sar = o[j - 1], ep = epA[j - 1], af = afA[j - 1];
    bool up = trendA[j - 1] > 0;
    double next = sar + af * (ep - sar);
    double lo1 = l[j - 1], lo2 = j >= 2 ? l[j - 2] : l[j - 1];
    double hi1 = h[j - 1], hi2 = j >= 2 ? h[j - 2] : h[j - 1];
    if (up) {
      next = std::min(next, std::min(lo1, lo2));
      if (l[j] < next) {
        up = false;
        next = ep;
        ep = l[j];
        af = step;
      } else if (h[j] > ep) {
        ep = h[j];
        af = std::min(af + step, maxAf);
      }
    } else {
      next = std::max(next, std::max(hi1, hi2));
      if (h[j] > next) {
        up = true;
        next = ep;
        ep = h[j];
        af = step;
      } else if (l[j] < ep) {
        ep = l[j];
        af = std::min(af + step, maxAf);
      }
    }
    o[j] = next;
    trendA[j] = up ? 1 : -1;
    epA[j] = ep;
    afA[j] = af;
  }
}

// Calls f with a getter of one bar field (as a double), chosen once outside any loop.
template <class F>
void WithField(int field, F&& f) {
  switch (field) {
    case 0: f([](const DC_KData& b) { return static_cast<double>(b.open); }); break;
    case 1: f([](const DC_KData& b) { return static_cast<double>(b.high); }); break;
    case 2: f([](const DC_KData& b) { return static_cast<double>(b.low); }); break;
    case 3: f([](const DC_KData& b) { return static_cast<double>(b.close); }); break;
    case 4: f([](const DC_KData& b) { return static_cast<double>(b.volume); }); break;
    case 5: f([](const DC_KData& b) { return static_cast<double>(b.openInterest); }); break;
    default: f([](const DC_KData& b) { return b.amount; }); break;
  }
}

}  // namespace

double ApplyScalar(Op op, const double* args) { return Elem(op, args[0], args[1], args[2]); }

// ---- Evaluation ----

// Bars computed together by every instruction in turn, so that intermediates stay in cache.
// A multiple of the sliding sums' anchor spacing up to 8N = 4096.
constexpr std::size_t kBlockBars = 4096;

Evaluation::Evaluation(std::shared_ptr<const Program> program) : program_(std::move(program)) {
  const Program::Impl& p = *program_->impl_;
  slots_.resize(p.slotCount);
  block_.resize(p.slotCount);
  ptr_.resize(p.slotCount, nullptr);
  tail_.resize(p.slotCount, {kNaN, kNaN});
  aux_.resize(p.auxCount);
  for (const ParamDef& d : program_->Params()) params_.push_back(d.defaultValue);
}

Evaluation::~Evaluation() = default;

void Evaluation::SetParams(std::span<const double> values) {
  std::vector<double> next;
  const auto& defs = program_->Params();
  for (std::size_t i = 0; i < defs.size(); ++i) next.push_back(i < values.size() ? values[i] : defs[i].defaultValue);
  if (next.size() == params_.size() &&
      std::equal(next.begin(), next.end(), params_.begin(), [](double a, double b) {
        return a == b || (a != a && b != b);
      }))
    return;
  params_ = std::move(next);
  valid_ = false;
}

void Evaluation::Compute(const DC_KData* bars, std::size_t count) { Run(bars, count, 0); }

void Evaluation::Update(const DC_KData* bars, std::size_t count, std::size_t firstChanged) {
  if (!valid_ || firstChanged == 0 || firstChanged > count_) {
    Run(bars, count, 0);
    return;
  }
  Run(bars, count, std::min(firstChanged, count));
}

void Evaluation::Run(const DC_KData* bars, std::size_t count, std::size_t from) {
  const Program::Impl& p = *program_->impl_;
  using Impl = Program::Impl;
  scalars_ = p.scalarInit;
  for (std::size_t i = 0; i < p.paramRegs.size() && i < params_.size(); ++i) scalars_[p.paramRegs[i]] = params_[i];
  for (const Instr& in : p.scalarCode) {
    double v[kMaxArgs] = {0, 0, 0, 0, 0, 0};
    for (int a = 0; a < in.nargs; ++a) v[a] = scalars_[ScalarReg(in.args[a])];
    scalars_[in.out] = ApplyScalar(in.op, v);
  }
  const std::size_t slots = p.slotStorage.size();
  // A carried block slot knows its values at the last two bars only: enough to append a bar
  // or to compute the last one again, not to start further back.
  if (from > 0 && from != count_ && from + 1 != count_) {
    for (std::size_t s = 0; s < slots; ++s)
      if (p.slotStorage[s] == Impl::kBlockCarry) from = 0;
  }
  for (std::size_t s = 0; s < slots; ++s) {
    if (p.slotStorage[s] == Impl::kFull) {
      slots_[s].resize(count);
      ptr_[s] = slots_[s].data();
    } else {
      block_[s].resize(kBlockBars + 1);
    }
  }
  for (auto& a : aux_) a.resize(count);

  // Blocks of bars aligned on multiples of kBlockBars; each block slot's buffer holds the bar
  // before the block at [0], then the block.
  std::size_t start = from, previous = 0;
  for (bool first = true; start < count; first = false) {
    std::size_t end = std::min(count, (start / kBlockBars + 1) * kBlockBars);
    for (std::size_t s = 0; s < slots; ++s) {
      if (p.slotStorage[s] == Impl::kFull) continue;
      double* b = block_[s].data();
      if (!first) b[0] = b[previous];
      else if (p.slotStorage[s] == Impl::kBlockCarry && start > 0) b[0] = start == count_ ? tail_[s][1] : tail_[s][0];
      else b[0] = kNaN;
      // ptr_[s][j] is b[j - start + 1] for the bars of this block and the one before.
      ptr_[s] = reinterpret_cast<double*>(reinterpret_cast<uintptr_t>(b + 1) - start * sizeof(double));
    }
    for (std::size_t i = 0; i < p.code.size(); ++i) {
      if (p.code[i].full || p.code[i].skip || p.group[i] == 0) continue;
      if (p.group[i] > 1) RunGroup(bars, i, p.group[i], start, end);
      else RunInstr(i, bars, start, end);
    }
    previous = end - start;
    start = end;
  }
  if (count > 0 && from < count) {
    for (std::size_t s = 0; s < slots; ++s) {
      if (p.slotStorage[s] != Impl::kBlockCarry) continue;
      tail_[s][1] = ptr_[s][count - 1];
      tail_[s][0] = count >= 2 ? ptr_[s][count - 2] : kNaN;
    }
  }
  for (std::size_t i = 0; i < p.code.size(); ++i)
    if (p.code[i].full) RunInstr(i, bars, 0, count);
  count_ = count;
  valid_ = true;
}

namespace {

// One recursive average of a group: Y = ca * X + cb * Y' from the first valid X.
struct Chain {
  double* o;
  const double* x;
  double ca, cb;
};

void Coefficients(Op op, double n, double m, double* ca, double* cb) {
  if (op == Op::Ema) {
    if (n >= 1) { *ca = 2 / (n + 1); *cb = (n - 1) / (n + 1); } else { *ca = *cb = kNaN; }
  } else {
    if (n > 0 && Valid(m)) { *ca = m / n; *cb = (n - m) / n; } else { *ca = *cb = kNaN; }
  }
}

// K chains bar by bar in one loop: each chain's arithmetic is exactly that of the single
// kernel, so a group gives bit-identical results.
// Y = ca * X + cb * Y': an invalid input keeps Y, the first valid one starts it.
inline double ChainStep(double v, double y, double ca, double cb) {
  double next = ca * v + cb * y;
  return v != v ? y : (y != y ? v : next);
}

// Invalid coefficients give NaN throughout; such a chain computes into `dummy` (a block of
// bars) and its own output is filled with NaN afterwards, so that the loop needs no check.
template <int K, class Input>
void RunChains(const Chain* chains, std::size_t from, std::size_t to, Input input) {
  double prev[K], ca[K], cb[K];
  double* o[K];
  bool invalid[K];
  static thread_local std::vector<double> dummy;
  for (int c = 0; c < K; ++c) {
    o[c] = chains[c].o;
    ca[c] = chains[c].ca;
    cb[c] = chains[c].cb;
    invalid[c] = ca[c] != ca[c] || cb[c] != cb[c];
    prev[c] = from > 0 && !invalid[c] ? o[c][from - 1] : kNaN;
    if (invalid[c]) {
      dummy.resize(to - from);
      o[c] = reinterpret_cast<double*>(reinterpret_cast<uintptr_t>(dummy.data()) - from * sizeof(double));
      ca[c] = cb[c] = 0;
    }
  }
  for (std::size_t j = from; j < to; ++j) {
    for (int c = 0; c < K; ++c) o[c][j] = prev[c] = ChainStep(input(c, j), prev[c], ca[c], cb[c]);
  }
  for (int c = 0; c < K; ++c)
    if (invalid[c]) std::fill(chains[c].o + from, chains[c].o + to, kNaN);
}

template <int K>
void RunChainsOn(const Chain* chains, std::size_t from, std::size_t to, const DC_KData* bars, int field) {
  if (field < 0) {
    const double* x[K];
    for (int c = 0; c < K; ++c) x[c] = chains[c].x;
    RunChains<K>(chains, from, to, [&](int c, std::size_t j) { return x[c][j]; });
  } else {
    WithField(field, [&](auto get) {
      RunChains<K>(chains, from, to, [&](int, std::size_t j) { return get(bars[j]); });
    });
  }
}

}  // namespace

void Evaluation::RunGroup(const DC_KData* bars, std::size_t first, std::size_t count, std::size_t from,
                          std::size_t to) {
  const Program::Impl& p = *program_->impl_;
  Chain chains[8];
  for (std::size_t c = 0; c < count && c < 8; ++c) {
    const Instr& in = p.code[first + c];
    chains[c].o = ptr_[in.out];
    chains[c].x = ptr_[in.args[0]];
    double n = scalars_[ScalarReg(in.args[1])];
    double m = in.op == Op::Sma ? scalars_[ScalarReg(in.args[2])] : 0;
    Coefficients(in.op, n, m, &chains[c].ca, &chains[c].cb);
  }
  int field = p.slotField[p.code[first].args[0]];
  switch (count) {
    case 2: RunChainsOn<2>(chains, from, to, bars, field); break;
    case 3: RunChainsOn<3>(chains, from, to, bars, field); break;
    case 4: RunChainsOn<4>(chains, from, to, bars, field); break;
    case 5: RunChainsOn<5>(chains, from, to, bars, field); break;
    case 6: RunChainsOn<6>(chains, from, to, bars, field); break;
    case 7: RunChainsOn<7>(chains, from, to, bars, field); break;
    default: RunChainsOn<8>(chains, from, to, bars, field); break;
  }
}

void Evaluation::RunInstr(std::size_t index, const DC_KData* bars, std::size_t from, std::size_t to) {
  const Instr& in = program_->impl_->code[index];
  if (from >= to && !LooksAhead(in.op)) return;
  double* o = ptr_[in.out];
  Src a[kMaxArgs];
  for (int k = 0; k < in.nargs; ++k) {
    int op = in.args[k];
    if (IsSeries(op)) a[k].p = ptr_[op];
    else a[k].s = scalars_[ScalarReg(op)];
  }
  const double* x = a[0].p;

  switch (in.op) {
    case Op::Load: {
      auto load = [&](auto field) {
        for (std::size_t j = from; j < to; ++j) o[j] = field(bars[j]);
      };
      switch (in.field) {
        case 0: load([](const DC_KData& b) { return static_cast<double>(b.open); }); break;
        case 1: load([](const DC_KData& b) { return static_cast<double>(b.high); }); break;
        case 2: load([](const DC_KData& b) { return static_cast<double>(b.low); }); break;
        case 3: load([](const DC_KData& b) { return static_cast<double>(b.close); }); break;
        case 4: load([](const DC_KData& b) { return static_cast<double>(b.volume); }); break;
        case 5: load([](const DC_KData& b) { return static_cast<double>(b.openInterest); }); break;
        default: load([](const DC_KData& b) { return b.amount; }); break;
      }
      return;
    }
    case Op::Broadcast:
      Map1(o, a[0], from, to, [](double v) { return v; });
      return;
    case Op::Neg: Map1(o, a[0], from, to, [](double v) { return -v; }); return;
    case Op::Add: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p + q; }); return;
    case Op::Sub: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p - q; }); return;
    case Op::Mul: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p * q; }); return;
    // The quotient is computed whatever the divisor and then dropped, so that the loop has no
    // branch and runs on vector instructions.
    case Op::Div: Map2(o, a[0], a[1], from, to, [](double p, double q) { double r = p / q; return q != 0 ? r : kNaN; }); return;
    case Op::DivScale: {
      double k = a[2][0];
      Map2(o, a[0], a[1], from, to, [k](double p, double q) { double r = p / q * k; return q != 0 ? r : kNaN; });
      return;
    }
    case Op::Max: Map2(o, a[0], a[1], from, to, [](double p, double q) { return (p != p || q != q) ? kNaN : p > q ? p : q; }); return;
    case Op::Min: Map2(o, a[0], a[1], from, to, [](double p, double q) { return (p != p || q != q) ? kNaN : p < q ? p : q; }); return;
    case Op::Abs: Map1(o, a[0], from, to, [](double v) { return std::fabs(v); }); return;
    case Op::Not: Map1(o, a[0], from, to, [](double v) { return v != v ? kNaN : Bool(v == 0); }); return;
    case Op::Sqrt: case Op::Ln: case Op::Log: case Op::Exp: case Op::Sign: case Op::Round: case Op::IntPart: {
      Op op = in.op;
      Map1(o, a[0], from, to, [op](double v) { return Elem(op, v, 0, 0); });
      return;
    }
    case Op::Lt: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p < q); }); return;
    case Op::Le: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p <= q); }); return;
    case Op::Gt: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p > q); }); return;
    case Op::Ge: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p >= q); }); return;
    case Op::Eq: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p == q); }); return;
    case Op::Ne: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p != q); }); return;
    case Op::And: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p != 0 && q != 0); }); return;
    case Op::Or: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Cmp(p, q, p != 0 || q != 0); }); return;
    case Op::Pow: case Op::Mod: {
      Op op = in.op;
      Map2(o, a[0], a[1], from, to, [op](double p, double q) { return Elem(op, p, q, 0); });
      return;
    }
    case Op::If:
      if (a[0].p && a[1].p && a[2].p) {
        const double *c = a[0].p, *t = a[1].p, *f = a[2].p;
        for (std::size_t j = from; j < to; ++j) o[j] = c[j] != c[j] ? kNaN : c[j] != 0 ? t[j] : f[j];
      } else if (a[0].p && !a[1].p && a[2].p) {
        const double *c = a[0].p, *f = a[2].p;
        double t = a[1].s;
        for (std::size_t j = from; j < to; ++j) o[j] = c[j] != c[j] ? kNaN : c[j] != 0 ? t : f[j];
      } else if (a[0].p && a[1].p && !a[2].p) {
        const double *c = a[0].p, *t = a[1].p;
        double f = a[2].s;
        for (std::size_t j = from; j < to; ++j) o[j] = c[j] != c[j] ? kNaN : c[j] != 0 ? t[j] : f;
      } else {
        for (std::size_t j = from; j < to; ++j) o[j] = Elem(Op::If, a[0][j], a[1][j], a[2][j]);
      }
      return;
    case Op::Between:
      for (std::size_t j = from; j < to; ++j) o[j] = Elem(in.op, a[0][j], a[1][j], a[2][j]);
      return;

    case Op::Ma: case Op::Sum: case Op::Std: case Op::Stdp: case Op::Var: case Op::Varp:
    case Op::Wma: case Op::Avedev: case Op::Devsq: case Op::Slope: case Op::Forcast:
    case Op::Hhv: case Op::Llv: case Op::HhvBars: case Op::LlvBars:
    case Op::Count: case Op::Exist: case Op::Every: {
      double* mean = in.mean >= 0 ? ptr_[in.mean] : nullptr;
      if (a[1].series()) {
        for (std::size_t j = from; j < to; ++j) o[j] = WindowValue(in.op, x, j, PeriodOf(a[1][j]));
        return;
      }
      long long N = PeriodOf(a[1].s);
      bool cumulative = N == 0 && (in.op == Op::Sum || in.op == Op::Hhv || in.op == Op::Llv || in.op == Op::Count ||
                                   in.op == Op::Exist || in.op == Op::Every);
      int field = program_->impl_->slotField[in.args[0]];
      if (cumulative) {
        if (field < 0) Cumulative(in.op, o, x, from, to);
        else WithField(field, [&](auto get) { Cumulative(in.op, o, FieldReader<decltype(get)>{bars, get}, from, to); });
      } else if (N == 0 && (in.op == Op::HhvBars || in.op == Op::LlvBars)) {
        CumulativeBars(in.op == Op::HhvBars, o, x, from, to);
      } else if (N < 1) {
        std::fill(o + from, o + to, kNaN);
        if (mean) std::fill(mean + from, mean + to, kNaN);
      } else {
        std::size_t n = static_cast<std::size_t>(std::min<long long>(N, static_cast<long long>(to) + 1));
        switch (in.op) {
          case Op::Ma: case Op::Sum: case Op::Std: case Op::Stdp: case Op::Var: case Op::Varp:
            if (static_cast<long long>(n) < N) {
              std::fill(o + from, o + to, kNaN);
              if (mean) std::fill(mean + from, mean + to, kNaN);
            } else if (field < 0) {
              SlidingStat(in.op, o, x, from, to, n, mean);
            } else {
              WithField(field, [&](auto get) {
                SlidingStat(in.op, o, FieldReader<decltype(get)>{bars, get}, from, to, n, mean);
              });
            }
            break;
          case Op::Hhv: case Op::Llv:
            if (field < 0) {
              if (in.op == Op::Hhv) SegmentExtreme<true>(o, x, from, to, n, scratch_);
              else SegmentExtreme<false>(o, x, from, to, n, scratch_);
            } else {
              WithField(field, [&](auto get) {
                FieldReader<decltype(get)> r{bars, get};
                if (in.op == Op::Hhv) SegmentExtreme<true>(o, r, from, to, n, scratch_);
                else SegmentExtreme<false>(o, r, from, to, n, scratch_);
              });
            }
            break;
          case Op::Count: case Op::Exist: case Op::Every:
            SlidingCount(in.op, o, x, from, to, static_cast<long long>(n) < N ? to + 2 : n);
            break;
          default:
            for (std::size_t j = from; j < to; ++j) o[j] = WindowValue(in.op, x, j, static_cast<long long>(n) < N ? N : static_cast<long long>(n));
            break;
        }
      }
      return;
    }

    case Op::Ref:
      if (!a[1].series()) {
        long long N = PeriodOf(a[1].s);
        std::size_t start = from;
        if (N < 0) {
          std::fill(o + from, o + to, kNaN);
          return;
        }
        std::size_t n = static_cast<std::size_t>(std::min<long long>(N, static_cast<long long>(to)));
        for (; start < to && start < n; ++start) o[start] = kNaN;
        for (std::size_t j = start; j < to; ++j) o[j] = x[j - n];
        return;
      }
      for (std::size_t j = from; j < to; ++j) {
        long long N = PeriodOf(a[1][j]);
        o[j] = (N >= 0 && N <= static_cast<long long>(j)) ? x[j - static_cast<std::size_t>(N)] : kNaN;
      }
      return;
    case Op::RefX:
      for (std::size_t j = 0; j < to; ++j) {
        long long N = PeriodOf(a[1][j]);
        o[j] = (N >= 0 && N < static_cast<long long>(to - j)) ? x[j + static_cast<std::size_t>(N)] : kNaN;
      }
      return;

    case Op::Ema:
    case Op::Sma:
    case Op::Dma: {
      bool fixed = !a[1].series() && (in.op != Op::Sma || !a[2].series());
      int field = IsSeries(in.args[0]) ? program_->impl_->slotField[in.args[0]] : -1;
      double ca = kNaN, cb = kNaN;
      auto coefficients = [&](std::size_t j) {
        if (in.op == Op::Dma) {
          ca = a[1][j];
          cb = 1 - ca;
        } else {
          Coefficients(in.op, a[1][j], in.op == Op::Sma ? a[2][j] : 0, &ca, &cb);
        }
      };
      if (fixed) {
        coefficients(0);
        Chain chain{o, x, ca, cb};
        RunChainsOn<1>(&chain, from, to, bars, field);
        return;
      }
      double prev = from > 0 ? o[from - 1] : kNaN;
      for (std::size_t j = from; j < to; ++j) {
        coefficients(j);
        double v = 0;
        if (field >= 0) WithField(field, [&](auto get) { v = get(bars[j]); });
        else v = x[j];
        o[j] = prev = ca != ca ? kNaN : ChainStep(v, prev, ca, cb);
      }
      return;
    }

    case Op::Cross:
      for (std::size_t j = from; j < to; ++j)
        o[j] = j == 0 ? 0.0 : Bool(a[0][j - 1] <= a[1][j - 1] && a[0][j] > a[1][j]);
      return;
    case Op::BarsLast: {
      double prev = from > 0 ? o[from - 1] : kNaN;
      for (std::size_t j = from; j < to; ++j) o[j] = prev = Truth(x[j]) ? 0.0 : prev + 1;
      return;
    }
    case Op::BarsCount: {
      double prev = from > 0 ? o[from - 1] : kNaN;
      for (std::size_t j = from; j < to; ++j) o[j] = prev = Valid(prev) ? prev + 1 : Valid(x[j]) ? 1.0 : kNaN;
      return;
    }
    case Op::Filter:
      for (std::size_t j = from; j < to; ++j) {
        long long N = PeriodOf(a[1][j]);
        bool keep = Truth(x[j]) && N >= 0;
        for (long long k = 1; keep && k <= N && k <= static_cast<long long>(j); ++k)
          if (o[j - static_cast<std::size_t>(k)] == 1) keep = false;
        o[j] = Bool(keep);
      }
      return;
    case Op::BackSet: {
      std::fill(o, o + to, 0.0);
      // With a fixed period the windows only move forward: bars before `done` are set already.
      // A series period may reach further back than an earlier window.
      std::size_t done = 0;
      const bool fixed = !a[1].series();
      for (std::size_t j = 0; j < to; ++j) {
        if (!Truth(x[j])) continue;
        long long N = PeriodOf(a[1][j]);
        if (N < 1) continue;
        std::size_t lo = static_cast<long long>(j) + 1 >= N ? j + 1 - static_cast<std::size_t>(N) : 0;
        for (std::size_t k = fixed ? std::max(lo, done) : lo; k <= j; ++k) o[k] = 1;
        done = j + 1;
      }
      return;
    }
    case Op::Const: {
      double v = to > 0 ? x[to - 1] : kNaN;
      std::fill(o, o + to, v);
      return;
    }
    case Op::CurrBarsCount:
      for (std::size_t j = 0; j < to; ++j) o[j] = static_cast<double>(to - j);
      return;
    case Op::Zig:
      Zigzag(o, x, to, a[1]);
      return;
    case Op::Sar: {
      double* t = aux_[in.aux].data();
      double* ep = aux_[in.aux + 1].data();
      double* af = aux_[in.aux + 2].data();
      Sar(o, t, ep, af, a[3].p, a[4].p, a[5].p, from, to, a[0].s, a[1].s, a[2].s);
      return;
    }
  }
}

std::size_t Evaluation::OutputCount() const { return program_->Outputs().size(); }

std::span<const double> Evaluation::SeriesSpan(int operand) const {
  if (operand == kNone || !IsSeries(operand)) return {};
  return std::span<const double>(slots_[operand].data(), count_);
}

Output Evaluation::GetOutput(std::size_t index) const {
  Output out;
  if (index >= OutputCount()) return out;
  const OutputOperands& ops = program_->impl_->outputOperands[index];
  out.info = &program_->Outputs()[index];
  out.values = SeriesSpan(ops.values);
  out.second = SeriesSpan(ops.second);
  out.colors = SeriesSpan(ops.colors);
  auto scalar = [&](int op) {
    if (op == kNone) return 0.0;
    if (IsSeries(op)) return count_ > 0 ? slots_[op][count_ - 1] : 0.0;
    return scalars_.empty() ? program_->impl_->scalarInit[ScalarReg(op)] : scalars_[ScalarReg(op)];
  };
  out.width = scalar(ops.width);
  out.empty = scalar(ops.empty);
  out.icon = scalar(ops.icon);
  return out;
}

}  // namespace tarn::formula
