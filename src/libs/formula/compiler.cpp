// The formula compiler: a hand-written lexer and recursive-descent parser that emits the
// program's instructions directly, sharing equal subexpressions and folding constants.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <unordered_map>

#include "libs/formula/program_impl.h"
#include "platform/text.h"

namespace tarn::formula {

Program::Program() : impl_(std::make_unique<Impl>()) {}
Program::~Program() = default;
std::size_t Program::InstructionCount() const { return impl_->code.size() + impl_->scalarCode.size(); }

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Deeper nesting than this is refused, so that no text can exhaust the stack.
constexpr int kMaxDepth = 200;

enum class Tok {
  End, Ident, Number, String, Plus, Minus, Star, Slash, LParen, RParen, Comma, Semicolon,
  Colon, Assign, Lt, Le, Gt, Ge, Eq, Ne, AndAnd, OrOr, Bad
};

struct Token {
  Tok kind = Tok::End;
  std::size_t pos = 0;
  std::string text;   // identifiers: upper-cased; strings: the contents
  std::string raw;    // identifiers: as written
  double number = 0;
};

bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IdentStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IdentPart(unsigned char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  // Reads the next token; a comment that never ends or a stray character gives Tok::Bad.
  Token Next() {
    SkipBlanks();
    Token t;
    t.pos = i_;
    if (bad_) { t.kind = Tok::Bad; t.pos = badPos_; return t; }
    if (i_ >= s_.size()) return t;
    unsigned char c = static_cast<unsigned char>(s_[i_]);
    if (IdentStart(c)) {
      std::size_t start = i_;
      while (i_ < s_.size() && IdentPart(static_cast<unsigned char>(s_[i_]))) {
        if (IsLead(static_cast<unsigned char>(s_[i_])) && i_ + 1 < s_.size()) ++i_;
        ++i_;
      }
      t.kind = Tok::Ident;
      t.raw = std::string(s_.substr(start, i_ - start));
      t.text = ToUpperAscii(t.raw);
      return t;
    }
    if ((c >= '0' && c <= '9') || (c == '.' && i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9')) {
      std::size_t start = i_;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      if (i_ < s_.size() && s_[i_] == '.') {
        ++i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      }
      std::string digits(s_.substr(start, i_ - start));
      t.kind = Tok::Number;
      t.number = std::strtod(digits.c_str(), nullptr);
      return t;
    }
    if (c == '\'' || c == '"') {
      std::size_t close = s_.find(static_cast<char>(c), i_ + 1);
      if (close == std::string_view::npos) {
        t.kind = Tok::Bad;
        return t;
      }
      t.kind = Tok::String;
      t.text = std::string(s_.substr(i_ + 1, close - i_ - 1));
      i_ = close + 1;
      return t;
    }
    ++i_;
    auto next = [&](char want) {
      if (i_ < s_.size() && s_[i_] == want) { ++i_; return true; }
      return false;
    };
    switch (c) {
      case '+': t.kind = Tok::Plus; break;
      case '-': t.kind = Tok::Minus; break;
      case '*': t.kind = Tok::Star; break;
      case '/': t.kind = Tok::Slash; break;
      case '(': t.kind = Tok::LParen; break;
      case ')': t.kind = Tok::RParen; break;
      case ',': t.kind = Tok::Comma; break;
      case ';': t.kind = Tok::Semicolon; break;
      case ':': t.kind = next('=') ? Tok::Assign : Tok::Colon; break;
      case '<': t.kind = next('=') ? Tok::Le : next('>') ? Tok::Ne : Tok::Lt; break;
      case '>': t.kind = next('=') ? Tok::Ge : Tok::Gt; break;
      case '=': next('='); t.kind = Tok::Eq; break;
      case '!': t.kind = next('=') ? Tok::Ne : Tok::Bad; break;
      case '&': t.kind = next('&') ? Tok::AndAnd : Tok::Bad; break;
      case '|': t.kind = next('|') ? Tok::OrOr : Tok::Bad; break;
      default: t.kind = Tok::Bad; break;
    }
    t.raw = std::string(s_.substr(t.pos, i_ - t.pos));
    return t;
  }

 private:
  void SkipBlanks() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++i_;
      } else if (c == '{') {
        std::size_t close = s_.find('}', i_);
        if (close == std::string_view::npos) {
          bad_ = true;
          badPos_ = i_;
          i_ = s_.size();
          return;
        }
        i_ = close + 1;
      } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '/') {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else {
        return;
      }
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
  bool bad_ = false;
  std::size_t badPos_ = 0;
};

// How a function's arguments are taken.
enum class ArgKind : uint8_t {
  Elem,      // elementwise: scalars stay scalars
  Series,    // first argument(s) series, the rest scalar or series
  Drawing,   // DRAWTEXT, STICKLINE, DRAWICON, PARTLINE: only as a whole statement
};

struct FuncInfo {
  const char* name;
  Op op;
  int minArgs;
  int maxArgs;
  int seriesArgs;  // how many leading arguments must be series (broadcast when scalar)
  ArgKind kind;
};

constexpr FuncInfo kFunctions[] = {
    {"MA", Op::Ma, 2, 2, 1, ArgKind::Series},
    {"EMA", Op::Ema, 2, 2, 1, ArgKind::Series},
    {"EXPMA", Op::Ema, 2, 2, 1, ArgKind::Series},
    {"SMA", Op::Sma, 3, 3, 1, ArgKind::Series},
    {"WMA", Op::Wma, 2, 2, 1, ArgKind::Series},
    {"DMA", Op::Dma, 2, 2, 1, ArgKind::Series},
    {"REF", Op::Ref, 2, 2, 1, ArgKind::Series},
    {"REFX", Op::RefX, 2, 2, 1, ArgKind::Series},
    {"HHV", Op::Hhv, 2, 2, 1, ArgKind::Series},
    {"LLV", Op::Llv, 2, 2, 1, ArgKind::Series},
    {"SUM", Op::Sum, 2, 2, 1, ArgKind::Series},
    {"COUNT", Op::Count, 2, 2, 1, ArgKind::Series},
    {"CROSS", Op::Cross, 2, 2, 0, ArgKind::Series},
    {"IF", Op::If, 3, 3, 0, ArgKind::Elem},
    {"IFF", Op::If, 3, 3, 0, ArgKind::Elem},
    {"MAX", Op::Max, 2, 2, 0, ArgKind::Elem},
    {"MIN", Op::Min, 2, 2, 0, ArgKind::Elem},
    {"ABS", Op::Abs, 1, 1, 0, ArgKind::Elem},
    {"SQRT", Op::Sqrt, 1, 1, 0, ArgKind::Elem},
    {"POW", Op::Pow, 2, 2, 0, ArgKind::Elem},
    {"LN", Op::Ln, 1, 1, 0, ArgKind::Elem},
    {"LOG", Op::Log, 1, 1, 0, ArgKind::Elem},
    {"EXP", Op::Exp, 1, 1, 0, ArgKind::Elem},
    {"STD", Op::Std, 2, 2, 1, ArgKind::Series},
    {"STDP", Op::Stdp, 2, 2, 1, ArgKind::Series},
    {"VAR", Op::Var, 2, 2, 1, ArgKind::Series},
    {"VARP", Op::Varp, 2, 2, 1, ArgKind::Series},
    {"AVEDEV", Op::Avedev, 2, 2, 1, ArgKind::Series},
    {"DEVSQ", Op::Devsq, 2, 2, 1, ArgKind::Series},
    {"SLOPE", Op::Slope, 2, 2, 1, ArgKind::Series},
    {"FORCAST", Op::Forcast, 2, 2, 1, ArgKind::Series},
    {"BARSLAST", Op::BarsLast, 1, 1, 1, ArgKind::Series},
    {"BARSCOUNT", Op::BarsCount, 1, 1, 1, ArgKind::Series},
    {"EVERY", Op::Every, 2, 2, 1, ArgKind::Series},
    {"EXIST", Op::Exist, 2, 2, 1, ArgKind::Series},
    {"BACKSET", Op::BackSet, 2, 2, 1, ArgKind::Series},
    {"FILTER", Op::Filter, 2, 2, 1, ArgKind::Series},
    {"HHVBARS", Op::HhvBars, 2, 2, 1, ArgKind::Series},
    {"LLVBARS", Op::LlvBars, 2, 2, 1, ArgKind::Series},
    {"CONST", Op::Const, 1, 1, 1, ArgKind::Series},
    {"SAR", Op::Sar, 3, 3, 0, ArgKind::Series},
    {"ZIG", Op::Zig, 2, 2, 0, ArgKind::Series},
    {"ZIGZAG", Op::Zig, 2, 2, 0, ArgKind::Series},
    {"BETWEEN", Op::Between, 3, 3, 0, ArgKind::Elem},
    {"SIGN", Op::Sign, 1, 1, 0, ArgKind::Elem},
    {"ROUND", Op::Round, 1, 1, 0, ArgKind::Elem},
    {"INTPART", Op::IntPart, 1, 1, 0, ArgKind::Elem},
    {"MOD", Op::Mod, 2, 2, 0, ArgKind::Elem},
    {"NOT", Op::Not, 1, 1, 0, ArgKind::Elem},
    {"DRAWTEXT", Op::If, 3, 3, 0, ArgKind::Drawing},
    {"STICKLINE", Op::If, 5, 5, 0, ArgKind::Drawing},
    {"DRAWICON", Op::If, 3, 3, 0, ArgKind::Drawing},
    {"PARTLINE", Op::If, 2, 2 + 2 * 16, 0, ArgKind::Drawing},
};

const FuncInfo* FindFunction(const std::string& upper) {
  for (const FuncInfo& f : kFunctions)
    if (upper == f.name) return &f;
  return nullptr;
}

// Series of the bar record by name.
int SeriesField(const std::string& upper) {
  static const std::map<std::string, int> fields = {
      {"OPEN", 0}, {"O", 0}, {"HIGH", 1}, {"H", 1}, {"LOW", 2}, {"L", 2}, {"CLOSE", 3}, {"C", 3},
      {"VOL", 4}, {"V", 4}, {"VOLUME", 4}, {"OPI", 5}, {"AMOUNT", 6}, {"AMO", 6}};
  auto it = fields.find(upper);
  return it == fields.end() ? -1 : it->second;
}

}  // namespace

bool ColorByName(std::string_view upper, Colorref* color) {
  struct Named { const char* name; Colorref value; };
  static constexpr Named kNamed[] = {
      {"COLORBLACK", Rgb(0, 0, 0)},        {"COLORWHITE", Rgb(255, 255, 255)},
      {"COLORRED", Rgb(255, 0, 0)},        {"COLORGREEN", Rgb(0, 255, 0)},
      {"COLORBLUE", Rgb(0, 0, 255)},       {"COLORYELLOW", Rgb(255, 255, 0)},
      {"COLORMAGENTA", Rgb(255, 0, 255)},  {"COLORCYAN", Rgb(0, 255, 255)},
      {"COLORGRAY", Rgb(128, 128, 128)},   {"COLORLIGRAY", Rgb(192, 192, 192)},
      {"COLORLIRED", Rgb(255, 128, 128)},  {"COLORLIGREEN", Rgb(128, 255, 128)},
      {"COLORLIBLUE", Rgb(128, 128, 255)}, {"COLORLIMAGENTA", Rgb(255, 128, 255)},
      {"COLORLICYAN", Rgb(128, 255, 255)}, {"COLORBROWN", Rgb(128, 64, 0)},
      {"COLORORANGE", Rgb(255, 165, 0)},   {"COLORPURPLE", Rgb(128, 0, 128)},
      {"COLORDARKGREEN", Rgb(0, 128, 0)},  {"COLORDARKRED", Rgb(128, 0, 0)},
  };
  for (const Named& n : kNamed) {
    if (upper == n.name) {
      *color = n.value;
      return true;
    }
  }
  // COLORBBGGRR: six hexadecimal digits, blue first, as a COLORREF is laid out.
  if (upper.size() == 11 && upper.substr(0, 5) == "COLOR") {
    Colorref v = 0;
    for (char c : upper.substr(5)) {
      int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = (v << 4) | static_cast<Colorref>(d);
    }
    *color = v;
    return true;
  }
  return false;
}

// Builds one program from one text. A member of Program's friends so that it can fill it.
class Compiler {
 public:
  Compiler(std::string_view source, const std::vector<ParamDef>& params) : src_(source), lex_(source) {
    prog_.reset(new Program());
    prog_->params_ = params;
    impl_ = prog_->impl_.get();
    for (std::size_t i = 0; i < params.size(); ++i) {
      int reg = NewScalar(kNaN, false);
      impl_->paramRegs.push_back(reg);
      std::string key = ToUpperAscii(params[i].name);
      if (!key.empty()) names_[key] = ScalarOperand(reg);
    }
  }

  CompileResult Run() {
    CompileResult result;
    Advance();
    while (ok_ && tok_.kind != Tok::End) Statement();
    if (ok_ && prog_->outputs_.empty()) Fail(tok_.pos, TXT("输出线"), TXT("公式没有输出线"));
    if (!ok_) {
      result.error = error_;
      return result;
    }
    Schedule(*impl_);
    ShareMeans(*impl_);
    PlanStorage(*impl_);
    SkipLoads(*impl_);
    Group(*impl_);
    result.program = std::move(prog_);
    return result;
  }

  // Orders the instructions by their depth (an instruction after everything it reads, the
  // emission order kept within a depth), so that independent recursive averages sit side by
  // side, and marks the groups the evaluator computes in one loop.
  static void Schedule(Program::Impl& impl) {
    std::vector<int> producer(impl.slotCount, -1), depth(impl.code.size(), 0);
    for (std::size_t i = 0; i < impl.code.size(); ++i) {
      const Instr& in = impl.code[i];
      for (int k = 0; k < in.nargs; ++k)
        if (IsSeries(in.args[k]) && producer[in.args[k]] >= 0)
          depth[i] = std::max(depth[i], depth[producer[in.args[k]]] + 1);
      producer[in.out] = static_cast<int>(i);
    }
    std::vector<std::size_t> order(impl.code.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return depth[a] < depth[b]; });
    std::vector<Instr> code;
    for (std::size_t i : order) code.push_back(impl.code[i]);
    impl.code = std::move(code);
  }

  static constexpr std::size_t kMaxGroup = 8;

  // MA(X,N) beside STD(X,N) (or STDP, VAR, VARP) of the same operands: the deviation's
  // sliding sums give the mean too, so the MA is not computed on its own (Bollinger bands).
  static void ShareMeans(Program::Impl& impl) {
    for (Instr& ma : impl.code) {
      if (ma.op != Op::Ma || ma.full || ma.skip || IsSeries(ma.args[1])) continue;
      for (Instr& dev : impl.code) {
        bool spread = dev.op == Op::Std || dev.op == Op::Stdp || dev.op == Op::Var || dev.op == Op::Varp;
        if (!spread || dev.full || dev.mean >= 0 || dev.args[0] != ma.args[0] || dev.args[1] != ma.args[1]) continue;
        dev.mean = ma.out;
        ma.skip = true;
        break;
      }
    }
  }

  // Marks the groups of recursive averages the evaluator computes in one loop: adjacent
  // EMA/SMA instructions with scalar periods that read the same kind of source.
  static void Group(Program::Impl& impl) {
    auto source = [&](const Instr& in) { return impl.slotField[in.args[0]]; };
    auto groupable = [&](const Instr& in) {
      return !in.full && (in.op == Op::Ema || in.op == Op::Sma) && !IsSeries(in.args[1]) &&
             (in.op == Op::Ema || !IsSeries(in.args[2]));
    };
    impl.group.assign(impl.code.size(), 1);
    for (std::size_t i = 0; i < impl.code.size();) {
      std::size_t j = i;
      while (j < impl.code.size() && j - i < kMaxGroup && groupable(impl.code[j]) &&
             source(impl.code[j]) == source(impl.code[i]))
        ++j;
      if (j - i >= 2) {
        impl.group[i] = static_cast<uint8_t>(j - i);
        for (std::size_t k = i + 1; k < j; ++k) impl.group[k] = 0;
        i = j;
      } else {
        ++i;
      }
    }
  }

  // A load whose slot is read only by functions that can take a bar field themselves (EMA,
  // SMA, and MA, SUM, STD, STDP, VAR, VARP, HHV, LLV with a scalar period) is not run: the
  // bars hold its whole history already, and a pass over them is saved.
  static void SkipLoads(Program::Impl& impl) {
    impl.slotField.assign(impl.slotCount, -1);
    std::vector<int> readers(impl.slotCount, 0), direct(impl.slotCount, 0);
    for (const Instr& in : impl.code)
      for (int k = 0; k < in.nargs; ++k) {
        if (!IsSeries(in.args[k])) continue;
        ++readers[in.args[k]];
        bool average = in.op == Op::Ema || in.op == Op::Sma;
        bool window = in.op == Op::Ma || in.op == Op::Sum || in.op == Op::Std || in.op == Op::Stdp ||
                      in.op == Op::Var || in.op == Op::Varp || in.op == Op::Hhv || in.op == Op::Llv;
        if (k == 0 && !in.full && (average || (window && !IsSeries(in.args[1])))) ++direct[in.args[k]];
      }
    for (const OutputOperands& o : impl.outputOperands)
      for (int op : {o.values, o.second, o.colors, o.width, o.empty, o.icon})
        if (op != kNone && IsSeries(op)) ++readers[op];
    for (Instr& in : impl.code) {
      if (in.op != Op::Load || readers[in.out] == 0 || readers[in.out] != direct[in.out]) continue;
      in.skip = true;
      impl.slotField[in.out] = static_cast<int8_t>(in.field);
      impl.slotStorage[in.out] = Program::Impl::kBlock;  // nothing reads its memory
    }
  }


  // Decides the storage of every slot once the program is complete.
  static void PlanStorage(Program::Impl& impl) {
  using Impl = Program::Impl;
  impl.slotStorage.assign(impl.slotCount, Impl::kBlock);
  auto full = [&](int operand) {
    if (operand != kNone && IsSeries(operand)) impl.slotStorage[operand] = Impl::kFull;
  };
  for (const Instr& in : impl.code) {
    bool windowed = in.op >= Op::Ma && in.op <= Op::Exist;
    // Own earlier values: read at the bar before the first one computed (carried), or
    // further back (kept whole).
    if (in.full || in.op == Op::Filter || in.op == Op::Sar) full(in.out);
    else if (windowed || in.op == Op::Ema || in.op == Op::Sma || in.op == Op::Dma || in.op == Op::BarsLast ||
             in.op == Op::BarsCount)
      impl.slotStorage[in.out] = std::max<uint8_t>(impl.slotStorage[in.out], Impl::kBlockCarry);
    for (int k = 0; k < in.nargs; ++k) {
      int a = in.args[k];
      if (!IsSeries(a)) continue;
      bool history = in.full || (windowed && k == 0) || (in.op == Op::Ref && k == 0) || in.op == Op::Cross ||
                     (in.op == Op::Sar && k >= 3);
      if (history) full(a);
    }
  }
  for (const OutputOperands& o : impl.outputOperands) {
    // Width, empty flag and icon are read at the last bar, after the run: kept whole too.
    for (int op : {o.values, o.second, o.colors, o.width, o.empty, o.icon}) full(op);
  }
}


 private:
  // ---- errors ----
  void Fail(std::size_t pos, const std::string& expected, const std::string& what = std::string()) {
    if (!ok_) return;
    ok_ = false;
    error_.offset = pos;
    int line = 1, col = 1;
    for (std::size_t i = 0; i < pos && i < src_.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(src_[i]);
      if (c == '\n') {
        ++line;
        col = 1;
      } else {
        if (IsLead(c) && i + 1 < pos) ++i;
        ++col;
      }
    }
    error_.line = line;
    error_.column = col;
    error_.expected = expected;
    std::string found = Describe(tok_);
    if (!what.empty())
      error_.message = Format(TXT("第%d行第%d列：%s"), line, col, what);
    else
      error_.message = Format(TXT("第%d行第%d列：应为%s，遇到%s"), line, col, expected, found);
  }
  static std::string Describe(const Token& t) {
    switch (t.kind) {
      case Tok::End: return TXT("公式结尾");
      case Tok::Ident: return "'" + t.raw + "'";
      case Tok::Number: return TXT("数字");
      case Tok::String: return TXT("字符串");
      case Tok::Bad: return TXT("无法识别的字符");
      default: return "'" + t.raw + "'";
    }
  }

  void Advance() {
    tok_ = lex_.Next();
    if (tok_.kind == Tok::Bad) Fail(tok_.pos, std::string(), TXT("无法识别的字符或未结束的注释、字符串"));
  }
  bool Accept(Tok k) {
    if (tok_.kind != k) return false;
    Advance();
    return true;
  }
  void Expect(Tok k, const char* what) {
    if (tok_.kind != k) {
      Fail(tok_.pos, std::string("'") + what + "'");
      return;
    }
    Advance();
  }

  // ---- registers and instructions ----
  int NewScalar(double init, bool isConst) {
    impl_->scalarInit.push_back(init);
    scalarConst_.push_back(isConst);
    return static_cast<int>(impl_->scalarInit.size()) - 1;
  }
  int Constant(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    auto it = constants_.find(bits);
    if (it != constants_.end()) return it->second;
    int op = ScalarOperand(NewScalar(v, true));
    constants_[bits] = op;
    return op;
  }
  bool IsConst(int operand) const { return !IsSeries(operand) && scalarConst_[ScalarReg(operand)]; }
  double ConstValue(int operand) const { return impl_->scalarInit[ScalarReg(operand)]; }

  // Emits one instruction (or finds the equal one already emitted) and returns its operand.
  int Emit(Op op, std::vector<int> args, int field = 0) {
    if (args.size() > static_cast<std::size_t>(kMaxArgs)) return Constant(kNaN);
    bool anySeries = false;
    for (int a : args) anySeries |= IsSeries(a);
    if (IsElementwise(op) && !anySeries) {
      bool allConst = true;
      for (int a : args) allConst &= IsConst(a);
      if (allConst) {
        double v[kMaxArgs] = {0, 0, 0, 0, 0, 0};
        for (std::size_t i = 0; i < args.size(); ++i) v[i] = ConstValue(args[i]);
        return Constant(ApplyScalar(op, v));
      }
    }
    std::string key = Key(op, args, field);
    if (auto it = cse_.find(key); it != cse_.end()) {
      for (int a : args) Use(a);
      return it->second;
    }
    // x / y * k with x / y used nowhere else: one instruction instead of two.
    if (op == Op::Mul && args.size() == 2 && !impl_->code.empty()) {
      for (int side = 0; side < 2; ++side) {
        int q = args[side], k = args[1 - side];
        Instr& last = impl_->code.back();
        if (IsSeries(q) && !IsSeries(k) && last.out == q && last.op == Op::Div && Uses(q) == 0) {
          cse_.erase(cseKey_[q]);
          last.op = Op::DivScale;
          last.args[last.nargs++] = k;
          cse_[key] = q;
          cseKey_[q] = key;
          return q;
        }
      }
    }
    for (int a : args) Use(a);

    Instr in;
    in.op = op;
    in.field = field;
    in.nargs = static_cast<int>(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) in.args[i] = args[i];
    int result;
    if (IsElementwise(op) && !anySeries) {
      int reg = NewScalar(kNaN, false);
      in.out = reg;
      impl_->scalarCode.push_back(in);
      result = ScalarOperand(reg);
    } else {
      in.out = impl_->slotCount++;
      in.full = LooksAhead(op);
      for (int a : args)
        if (IsSeries(a) && slotFull_[a]) in.full = true;
      if (op == Op::Sar) {
        in.aux = impl_->auxCount;
        impl_->auxCount += 3;
      }
      slotFull_.push_back(in.full);
      impl_->code.push_back(in);
      result = in.out;
    }
    cse_[key] = result;
    if (IsSeries(result)) cseKey_[result] = key;
    return result;
  }
  static std::string Key(Op op, const std::vector<int>& args, int field) {
    std::string key(1, static_cast<char>(op));
    key += std::to_string(field);
    for (int a : args) key += "," + std::to_string(a);
    return key;
  }
  // Uses of a series slot by instructions, names and outputs (scalars are not counted).
  void Use(int operand) {
    if (IsSeries(operand)) ++uses_[operand];
  }
  int Uses(int operand) const {
    auto it = uses_.find(operand);
    return it == uses_.end() ? 0 : it->second;
  }
  int AsSeries(int operand) { return IsSeries(operand) ? operand : Emit(Op::Broadcast, {operand}); }
  int Load(int field) { return Emit(Op::Load, {}, field); }

  // ---- grammar ----
  void Statement() {
    if (Accept(Tok::Semicolon)) return;
    std::string name, rawName;
    bool assign = false, named = false;
    if (tok_.kind == Tok::Ident) {
      // NAME: or NAME:= needs one token of look-ahead past the name.
      Lexer save = lex_;
      Token ident = tok_;
      Token after = lex_.Next();
      if (after.kind == Tok::Colon || after.kind == Tok::Assign) {
        named = true;
        assign = after.kind == Tok::Assign;
        name = ident.text;
        rawName = ident.raw;
        Advance();
      } else {
        lex_ = save;
        tok_ = ident;
      }
    }
    if (!ok_) return;
    OutputInfo info;
    OutputOperands ops;
    int value = 0;
    bool drawing = false;
    if (tok_.kind == Tok::Ident) {
      const FuncInfo* f = FindFunction(tok_.text);
      if (f && f->kind == ArgKind::Drawing) {
        if (assign) {
          Fail(tok_.pos, std::string(), TXT("绘图函数不能赋给中间变量"));
          return;
        }
        drawing = true;
        Drawing(*f, &info, &ops);
        if (!ok_) return;
        value = ops.values;
      }
    }
    if (!drawing) {
      value = Expression(0);
      if (!ok_) return;
      ops.values = value;
    }
    while (ok_ && Accept(Tok::Comma)) Style(&info.style);
    if (!ok_) return;
    if (tok_.kind != Tok::End) Expect(Tok::Semicolon, ";");
    if (!ok_) return;
    Use(value);
    if (assign) {
      names_[name] = value;
      return;
    }
    if (named) names_[name] = value;
    info.name = rawName;
    ops.values = AsSeries(ops.values);
    prog_->outputs_.push_back(std::move(info));
    impl_->outputOperands.push_back(ops);
  }

  void Style(LineStyle* style) {
    if (tok_.kind != Tok::Ident) {
      Fail(tok_.pos, TXT("线型或颜色"));
      return;
    }
    const std::string& s = tok_.text;
    Colorref color;
    if (ColorByName(s, &color)) {
      style->hasColor = true;
      style->color = color;
    } else if (s.size() == 10 && s.compare(0, 9, "LINETHICK") == 0 && s[9] >= '0' && s[9] <= '9') {
      style->thickness = s[9] - '0';
    } else if (s == "STICK") {
      style->kind = DrawKind::Stick;
    } else if (s == "COLORSTICK") {
      style->kind = DrawKind::ColorStick;
    } else if (s == "VOLSTICK") {
      style->kind = DrawKind::VolStick;
    } else if (s == "LINESTICK") {
      style->kind = DrawKind::LineStick;
    } else if (s == "CIRCLEDOT") {
      style->kind = DrawKind::CircleDot;
    } else if (s == "POINTDOT") {
      style->kind = DrawKind::PointDot;
    } else if (s == "CROSSDOT") {
      style->kind = DrawKind::CrossDot;
    } else if (s == "NODRAW") {
      style->noDraw = true;
    } else if (s == "DOTLINE") {
      style->dash = LineDash::Dot;
    } else if (s == "DASHLINE") {
      style->dash = LineDash::Dash;
    } else {
      Fail(tok_.pos, TXT("线型或颜色"), Format(TXT("未知的线型或颜色 %s"), tok_.raw));
      return;
    }
    Advance();
  }

  // DRAWTEXT(COND,PRICE,TEXT), STICKLINE(COND,P1,P2,WIDTH,EMPTY), DRAWICON(COND,PRICE,TYPE),
  // PARTLINE(PRICE,COND1[,COLOR1,COND2,COLOR2...]).
  void Drawing(const FuncInfo& f, OutputInfo* info, OutputOperands* ops) {
    std::string fname = f.name;
    std::size_t fpos = tok_.pos;
    Advance();
    Expect(Tok::LParen, "(");
    std::vector<int> args;
    std::string text;
    bool haveText = false;
    while (ok_) {
      if (fname == "DRAWTEXT" && args.size() == 2) {
        if (tok_.kind != Tok::String) {
          Fail(tok_.pos, TXT("字符串"));
          return;
        }
        text = tok_.text;
        haveText = true;
        Advance();
      } else {
        args.push_back(Expression(0));
      }
      if (!ok_) return;
      if (Accept(Tok::Comma)) continue;
      Expect(Tok::RParen, ")");
      break;
    }
    if (!ok_) return;
    int count = static_cast<int>(args.size()) + (haveText ? 1 : 0);
    bool countOk = count >= f.minArgs && count <= f.maxArgs;
    if (fname == "PARTLINE" && count > 2 && count % 2 == 0) countOk = false;
    if (!countOk) {
      Fail(fpos, std::string(), Format(TXT("函数%s的参数个数不对"), fname));
      return;
    }
    int nan = Constant(kNaN);
    if (fname == "DRAWTEXT") {
      info->style.kind = DrawKind::Text;
      info->text = text;
      ops->values = AsSeries(Emit(Op::If, {args[0], args[1], nan}));
    } else if (fname == "STICKLINE") {
      info->style.kind = DrawKind::StickLine;
      ops->values = AsSeries(Emit(Op::If, {args[0], args[1], nan}));
      ops->second = AsSeries(Emit(Op::If, {args[0], args[2], nan}));
      ops->width = args[3];
      ops->empty = args[4];
    } else if (fname == "DRAWICON") {
      info->style.kind = DrawKind::Icon;
      ops->values = AsSeries(Emit(Op::If, {args[0], args[1], nan}));
      ops->icon = args[2];
    } else {  // PARTLINE
      info->style.kind = DrawKind::PartLine;
      int price = args[0];
      if (args.size() == 2) {
        ops->values = AsSeries(Emit(Op::If, {args[1], price, nan}));
        ops->colors = AsSeries(Emit(Op::If, {args[1], Constant(-1), nan}));
      } else {
        int any = Constant(0);
        int colors = nan;
        for (std::size_t i = args.size() - 2; i >= 1; i -= 2) {
          colors = Emit(Op::If, {args[i], args[i + 1], colors});
          any = Emit(Op::Or, {args[i], any});
          if (i < 3) break;
        }
        ops->values = AsSeries(Emit(Op::If, {any, price, nan}));
        ops->colors = AsSeries(colors);
      }
    }
  }

  // Precedence climbing: 0 OR, 1 AND, 2 comparisons, 3 + -, 4 * /.
  int Expression(int level) {
    if (++depth_ > kMaxDepth) {
      Fail(tok_.pos, std::string(), TXT("表达式嵌套太深"));
      --depth_;
      return Constant(kNaN);
    }
    int left = level >= 5 ? Unary() : Expression(level + 1);
    while (ok_) {
      Op op;
      Tok k = tok_.kind;
      bool isWord = k == Tok::Ident;
      if (level == 0 && (k == Tok::OrOr || (isWord && tok_.text == "OR"))) op = Op::Or;
      else if (level == 1 && (k == Tok::AndAnd || (isWord && tok_.text == "AND"))) op = Op::And;
      else if (level == 2 && k == Tok::Lt) op = Op::Lt;
      else if (level == 2 && k == Tok::Le) op = Op::Le;
      else if (level == 2 && k == Tok::Gt) op = Op::Gt;
      else if (level == 2 && k == Tok::Ge) op = Op::Ge;
      else if (level == 2 && k == Tok::Eq) op = Op::Eq;
      else if (level == 2 && k == Tok::Ne) op = Op::Ne;
      else if (level == 3 && k == Tok::Plus) op = Op::Add;
      else if (level == 3 && k == Tok::Minus) op = Op::Sub;
      else if (level == 4 && k == Tok::Star) op = Op::Mul;
      else if (level == 4 && k == Tok::Slash) op = Op::Div;
      else break;
      Advance();
      int right = level >= 4 ? Unary() : Expression(level + 1);
      if (!ok_) break;
      left = Emit(op, {left, right});
    }
    --depth_;
    return left;
  }

  int Unary() {
    if (++depth_ > kMaxDepth) {
      Fail(tok_.pos, std::string(), TXT("表达式嵌套太深"));
      --depth_;
      return Constant(kNaN);
    }
    int result;
    if (Accept(Tok::Minus)) {
      result = Emit(Op::Neg, {Unary()});
    } else if (Accept(Tok::Plus)) {
      result = Unary();
    } else if (tok_.kind == Tok::Ident && tok_.text == "NOT") {
      Advance();
      result = Emit(Op::Not, {Unary()});
    } else {
      result = Primary();
    }
    --depth_;
    return result;
  }

  int Primary() {
    Token t = tok_;
    if (t.kind == Tok::Number) {
      Advance();
      return Constant(t.number);
    }
    if (t.kind == Tok::LParen) {
      Advance();
      int v = Expression(0);
      Expect(Tok::RParen, ")");
      return v;
    }
    if (t.kind != Tok::Ident) {
      Fail(t.pos, TXT("表达式"));
      return Constant(kNaN);
    }
    Advance();
    if (tok_.kind == Tok::LParen) return Call(t);
    if (auto it = names_.find(t.text); it != names_.end()) return it->second;
    if (int field = SeriesField(t.text); field >= 0) return Load(field);
    if (t.text == "DRAWNULL") return Constant(kNaN);
    if (t.text == "CURRBARSCOUNT") return Emit(Op::CurrBarsCount, {});
    Colorref color;
    if (ColorByName(t.text, &color)) return Constant(static_cast<double>(color));
    if (FindFunction(t.text)) {
      Fail(tok_.pos, "'('", Format(TXT("函数%s后应为'('"), t.raw));
      return Constant(kNaN);
    }
    Fail(t.pos, std::string(), Format(TXT("未知的名称 %s"), t.raw));
    return Constant(kNaN);
  }

  int Call(const Token& name) {
    const FuncInfo* f = FindFunction(name.text);
    if (!f) {
      Fail(name.pos, std::string(), Format(TXT("未知的函数 %s"), name.raw));
      return Constant(kNaN);
    }
    if (f->kind == ArgKind::Drawing) {
      Fail(name.pos, std::string(), Format(TXT("绘图函数%s只能单独成句"), name.raw));
      return Constant(kNaN);
    }
    Advance();  // '('
    std::vector<int> args;
    if (tok_.kind != Tok::RParen) {
      while (ok_) {
        args.push_back(Expression(0));
        if (!ok_) return Constant(kNaN);
        if (!Accept(Tok::Comma)) break;
      }
    }
    Expect(Tok::RParen, ")");
    if (!ok_) return Constant(kNaN);
    int n = static_cast<int>(args.size());
    if (n < f->minArgs || n > f->maxArgs) {
      Fail(name.pos, std::string(), Format(TXT("函数%s需要%d个参数"), name.raw, f->minArgs));
      return Constant(kNaN);
    }
    for (int i = 0; i < f->seriesArgs && i < n; ++i) args[i] = AsSeries(args[i]);
    switch (f->op) {
      case Op::Cross:
        if (!IsSeries(args[0]) && !IsSeries(args[1])) return Constant(0);
        break;
      case Op::Sar:
        for (int a : args)
          if (IsSeries(a)) {
            Fail(name.pos, std::string(), TXT("函数SAR的参数应为数值"));
            return Constant(kNaN);
          }
        args.push_back(Load(1));
        args.push_back(Load(2));
        args.push_back(Load(3));
        break;
      case Op::Zig:
        // ZIG(K,N): K 0..3 names open, high, low, close; any other value is the series itself.
        if (IsConst(args[0])) {
          double k = ConstValue(args[0]);
          int field = (k >= 0 && k <= 3) ? static_cast<int>(k) : 3;
          args[0] = Load(field);
        } else {
          args[0] = AsSeries(args[0]);
        }
        break;
      default:
        break;
    }
    return Emit(f->op, std::move(args));
  }

  std::string_view src_;
  Lexer lex_;
  Token tok_;
  std::unique_ptr<Program> prog_;
  Program::Impl* impl_ = nullptr;
  std::unordered_map<std::string, int> names_;
  std::unordered_map<std::string, int> cse_;
  std::unordered_map<int, std::string> cseKey_;  // series slot -> its key in cse_
  std::unordered_map<int, int> uses_;
  std::unordered_map<uint64_t, int> constants_;
  std::vector<bool> scalarConst_;
  std::vector<bool> slotFull_;
  int depth_ = 0;
  bool ok_ = true;
  CompileError error_;
};

CompileResult Compile(std::string_view source, const std::vector<ParamDef>& params) {
  return Compiler(source, params).Run();
}

}  // namespace tarn::formula
