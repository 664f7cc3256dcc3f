// The evaluator: one pass per instruction over the bars it has to compute.
//
// Every kernel computes bars [from, to) given that bars before `from` hold the values a
// full computation gave them, and does so with exactly the arithmetic a full computation
// uses, so that an incremental update gives bit-identical results:
//  - recursive functions (EMA, SMA, DMA, cumulative SUM, BARSLAST ...) continue from the
//    value stored at from - 1;
//  - sliding sums (MA, SUM, STD, VAR) restart from a fresh sum at fixed anchor bars (every
//    max(256, 8N) bars, counted from bar 0) and slide from there, so that a bar's value
//    never depends on where a computation started;
//  - extremes and counts are exact whatever the order.
#include <algorithm>
#include <cmath>
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

// MA, SUM, STD, STDP, VAR, VARP with a fixed N >= 1, by sliding sums restarted at anchors.
void SlidingStat(Op op, double* o, const double* x, std::size_t from, std::size_t to, std::size_t N) {
  const std::size_t block = std::max<std::size_t>(256, 8 * N);
  const bool deviations = op != Op::Ma && op != Op::Sum;
  const double n = static_cast<double>(N);
  std::size_t i = from;
  while (i < to) {
    std::size_t a = i - i % block;
    std::size_t end = std::min(to, a + block);
    std::size_t lo = a + 1 >= N ? a + 1 - N : 0;
    double ref = 0;
    if (deviations) {
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
        q += d * d;
      } else {
        ++bad;
      }
    }
    for (std::size_t j = a; j < end; ++j) {
      if (j > a) {
        double v = x[j];
        if (v == v) {
          double d = v - ref;
          s += d;
          q += d * d;
        } else {
          ++bad;
        }
        if (j >= N) {
          double w = x[j - N];
          if (w == w) {
            double d = w - ref;
            s -= d;
            q -= d * d;
          } else {
            --bad;
          }
        } else {
          --bad;
        }
      }
      if (j < i) continue;
      if (bad) {
        o[j] = kNaN;
        continue;
      }
      switch (op) {
        case Op::Ma: o[j] = s / n; break;
        case Op::Sum: o[j] = s; break;
        default: {
          double dev = q - s * s / n;
          if (dev < 0) dev = 0;
          double var = (op == Op::Std || op == Op::Var) ? (N > 1 ? dev / (n - 1) : kNaN) : dev / n;
          o[j] = (op == Op::Std || op == Op::Stdp) ? std::sqrt(var) : var;
          break;
        }
      }
    }
    i = end;
  }
}

// HHV/LLV with a fixed N >= 1: a queue of candidate bars, oldest first.
void SlidingExtreme(bool high, double* o, const double* x, std::size_t from, std::size_t to, std::size_t N,
                    std::vector<uint32_t>& q) {
  std::size_t start = from + 1 >= N ? from + 1 - N : 0;
  q.resize(to - start + 1);
  std::size_t head = 0, tail = 0;
  for (std::size_t j = start; j < to; ++j) {
    double v = x[j];
    if (v == v) {
      if (high)
        while (tail > head && !(x[q[tail - 1]] > v)) --tail;
      else
        while (tail > head && !(x[q[tail - 1]] < v)) --tail;
      q[tail++] = static_cast<uint32_t>(j);
    }
    if (j + 1 >= N) {
      std::size_t low = j + 1 - N;
      while (head < tail && q[head] < low) ++head;
    }
    if (j >= from) o[j] = head < tail ? x[q[head]] : kNaN;
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
void Cumulative(Op op, double* o, const double* x, std::size_t from, std::size_t to) {
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

}  // namespace

double ApplyScalar(Op op, const double* args) { return Elem(op, args[0], args[1], args[2]); }

// ---- Evaluation ----

Evaluation::Evaluation(std::shared_ptr<const Program> program) : program_(std::move(program)) {
  const Program::Impl& p = *program_->impl_;
  slots_.resize(p.slotCount);
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
  scalars_ = p.scalarInit;
  for (std::size_t i = 0; i < p.paramRegs.size() && i < params_.size(); ++i) scalars_[p.paramRegs[i]] = params_[i];
  for (const Instr& in : p.scalarCode) {
    double v[kMaxArgs] = {0, 0, 0, 0, 0, 0};
    for (int a = 0; a < in.nargs; ++a) v[a] = scalars_[ScalarReg(in.args[a])];
    scalars_[in.out] = ApplyScalar(in.op, v);
  }
  for (auto& s : slots_) s.resize(count);
  for (auto& s : aux_) s.resize(count);
  for (std::size_t i = 0; i < p.code.size(); ++i) RunInstr(i, bars, p.code[i].full ? 0 : from, count);
  count_ = count;
  valid_ = true;
}

void Evaluation::RunInstr(std::size_t index, const DC_KData* bars, std::size_t from, std::size_t to) {
  const Instr& in = program_->impl_->code[index];
  if (from >= to && !LooksAhead(in.op)) return;
  double* o = slots_[in.out].data();
  Src a[kMaxArgs];
  for (int k = 0; k < in.nargs; ++k) {
    int op = in.args[k];
    if (IsSeries(op)) a[k].p = slots_[op].data();
    else a[k].s = scalars_[ScalarReg(op)];
  }
  const double* x = a[0].p;

  switch (in.op) {
    case Op::Load:
      for (std::size_t j = from; j < to; ++j) {
        const DC_KData& b = bars[j];
        switch (in.field) {
          case 0: o[j] = b.open; break;
          case 1: o[j] = b.high; break;
          case 2: o[j] = b.low; break;
          case 3: o[j] = b.close; break;
          case 4: o[j] = b.volume; break;
          case 5: o[j] = b.openInterest; break;
          default: o[j] = b.amount; break;
        }
      }
      return;
    case Op::Broadcast:
      Map1(o, a[0], from, to, [](double v) { return v; });
      return;
    case Op::Neg: Map1(o, a[0], from, to, [](double v) { return -v; }); return;
    case Op::Add: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p + q; }); return;
    case Op::Sub: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p - q; }); return;
    case Op::Mul: Map2(o, a[0], a[1], from, to, [](double p, double q) { return p * q; }); return;
    case Op::Div: Map2(o, a[0], a[1], from, to, [](double p, double q) { return q != 0 ? p / q : kNaN; }); return;
    case Op::Max: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Elem(Op::Max, p, q, 0); }); return;
    case Op::Min: Map2(o, a[0], a[1], from, to, [](double p, double q) { return Elem(Op::Min, p, q, 0); }); return;
    case Op::Abs: Map1(o, a[0], from, to, [](double v) { return std::fabs(v); }); return;
    case Op::Not: case Op::Sqrt: case Op::Ln: case Op::Log: case Op::Exp: case Op::Sign: case Op::Round:
    case Op::IntPart: {
      Op op = in.op;
      Map1(o, a[0], from, to, [op](double v) { return Elem(op, v, 0, 0); });
      return;
    }
    case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: case Op::Eq: case Op::Ne: case Op::And: case Op::Or:
    case Op::Pow: case Op::Mod: {
      Op op = in.op;
      Map2(o, a[0], a[1], from, to, [op](double p, double q) { return Elem(op, p, q, 0); });
      return;
    }
    case Op::If:
    case Op::Between:
      for (std::size_t j = from; j < to; ++j) o[j] = Elem(in.op, a[0][j], a[1][j], a[2][j]);
      return;

    case Op::Ma: case Op::Sum: case Op::Std: case Op::Stdp: case Op::Var: case Op::Varp:
    case Op::Wma: case Op::Avedev: case Op::Devsq: case Op::Slope: case Op::Forcast:
    case Op::Hhv: case Op::Llv: case Op::HhvBars: case Op::LlvBars:
    case Op::Count: case Op::Exist: case Op::Every: {
      if (a[1].series()) {
        for (std::size_t j = from; j < to; ++j) o[j] = WindowValue(in.op, x, j, PeriodOf(a[1][j]));
        return;
      }
      long long N = PeriodOf(a[1].s);
      bool cumulative = N == 0 && (in.op == Op::Sum || in.op == Op::Hhv || in.op == Op::Llv || in.op == Op::Count ||
                                   in.op == Op::Exist || in.op == Op::Every);
      if (cumulative) {
        Cumulative(in.op, o, x, from, to);
      } else if (N == 0 && (in.op == Op::HhvBars || in.op == Op::LlvBars)) {
        CumulativeBars(in.op == Op::HhvBars, o, x, from, to);
      } else if (N < 1) {
        std::fill(o + from, o + to, kNaN);
      } else {
        std::size_t n = static_cast<std::size_t>(std::min<long long>(N, static_cast<long long>(to) + 1));
        switch (in.op) {
          case Op::Ma: case Op::Sum: case Op::Std: case Op::Stdp: case Op::Var: case Op::Varp:
            if (static_cast<long long>(n) < N) std::fill(o + from, o + to, kNaN);
            else SlidingStat(in.op, o, x, from, to, n);
            break;
          case Op::Hhv: case Op::Llv:
            SlidingExtreme(in.op == Op::Hhv, o, x, from, to, n, scratch_);
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
      double prev = from > 0 ? o[from - 1] : kNaN;
      bool fixed = !a[1].series() && (in.op != Op::Sma || !a[2].series());
      double ca = kNaN, cb = kNaN;
      auto coefficients = [&](std::size_t j) {
        if (in.op == Op::Ema) {
          double n = a[1][j];
          if (n >= 1) { ca = 2 / (n + 1); cb = (n - 1) / (n + 1); } else { ca = cb = kNaN; }
        } else if (in.op == Op::Sma) {
          double n = a[1][j], m = a[2][j];
          if (n > 0 && Valid(m)) { ca = m / n; cb = (n - m) / n; } else { ca = cb = kNaN; }
        } else {
          double w = a[1][j];
          ca = w;
          cb = 1 - w;
        }
      };
      if (fixed) coefficients(0);
      for (std::size_t j = from; j < to; ++j) {
        if (!fixed) coefficients(j);
        double v = x[j];
        if (ca != ca) {
          o[j] = prev = kNaN;
          continue;
        }
        if (v == v) prev = prev == prev ? ca * v + cb * prev : v;
        o[j] = prev;
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
    case Op::BackSet:
      std::fill(o, o + to, 0.0);
      for (std::size_t j = 0; j < to; ++j) {
        if (!Truth(x[j])) continue;
        long long N = PeriodOf(a[1][j]);
        if (N < 1) continue;
        std::size_t lo = static_cast<long long>(j) + 1 >= N ? j + 1 - static_cast<std::size_t>(N) : 0;
        for (std::size_t k = lo; k <= j; ++k) o[k] = 1;
      }
      return;
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
