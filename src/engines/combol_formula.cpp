#include "engines/combol_formula.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/text.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxMessageBytes = 199;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/'; }
bool IsLetter(char c) { return c >= 'A' && c <= 'D'; }
bool Allowed(char c) { return IsDigit(c) || IsLetter(c) || IsOperator(c) || c == '.' || c == '(' || c == ')'; }

std::string Limit(std::string s) {
  if (s.size() > kMaxMessageBytes) {
    std::size_t cut = 0;
    // Cut at a character boundary of GBK.
    for (std::size_t i = 0; i < kMaxMessageBytes;) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      const std::size_t w = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
      if (i + w > kMaxMessageBytes) break;
      i += w;
      cut = i;
    }
    s.resize(cut);
  }
  return s;
}

std::string SyntaxError(std::size_t pos, char c) {
  return Format(TXT("解析错误:位置%d 字符:%c"), static_cast<int>(pos), c);
}

// The illegal-character message; a GBK character (two bytes) is shown whole.
std::string IllegalCharacter(std::string_view text, std::size_t i) {
  std::string m = Format(TXT("不合法的字符:%c\r\n必须是以下字符:A B C D 数字 + - * /"), text[i]);
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead >= 0x81 && lead <= 0xFE && i + 1 < text.size()) {
    const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
    if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) m.insert(TXT("不合法的字符:").size() + 1, 1, text[i + 1]);
  }
  return m;
}

double NumberValue(std::string_view digits) {
  // Digits with at most one point: from_chars reads it without the locale. A trailing point
  // ("2.") is read as the digits before it.
  if (!digits.empty() && digits.back() == '.') digits.remove_suffix(1);
  double v = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return v;
}

}  // namespace

bool CombolFormula::Parse(std::string_view text, const CombolStrategy& strategy, std::string* message) {
  bool used[4];
  for (int i = 0; i < 4; ++i) used[i] = strategy.legs[i].Used();
  return Parse(text, used, message);
}

bool CombolFormula::Parse(std::string_view text, const bool legUsed[4], std::string* message) {
  tokens_.clear();
  code_.clear();
  stack_.clear();
  usesLegs_ = 0;
  std::string error;
  auto fail = [&](std::string m) {
    tokens_.clear();
    usesLegs_ = 0;
    if (message) *message = Limit(std::move(m));
    return false;
  };
  if (text.empty()) return fail(TXT("解析错误"));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!Allowed(text[i])) return fail(IllegalCharacter(text, i));
  }

  // Every "(" with its ")", found once (counting the depth from each "(" again would take
  // quadratic time on deep nesting); npos for one that is never closed.
  std::vector<std::size_t> match(text.size(), std::string_view::npos);
  {
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '(') {
        open.push_back(i);
      } else if (text[i] == ')' && !open.empty()) {
        match[open.back()] = i;
        open.pop_back();
      }
    }
  }

  // The chain of terms, walked without recursion: a group pushes what follows it (the rest
  // after its operator) and its inside is parsed first, as the nested reading would do.
  struct After {
    std::size_t restStart;
    std::size_t end;
    char op;  // 0: the group is the last term of its chain
  };
  std::vector<After> pending;
  std::size_t pos = 0, end = text.size();
  for (;;) {
    if (pos >= end) return fail(TXT("解析错误"));  // a term is missing
    const char c = text[pos];
    bool chainEnded = false;
    if (c == '(') {
      // The ")" where the depth counted from this "(" comes back to zero, if inside the segment.
      const std::size_t close = match[pos];
      if (close >= end) return fail(Format(TXT("括号不匹配:位置%d"), static_cast<int>(pos)));
      After after{end, end, 0};
      if (close + 1 < end) {
        if (!IsOperator(text[close + 1])) return fail(SyntaxError(pos, '('));
        after = After{close + 2, end, text[close + 1]};
      }
      pending.push_back(after);
      tokens_.push_back(Token{'(', 0, 0});
      pos = pos + 1;
      end = close;
      continue;
    }
    if (c == ')' || c == '.' || c == '+' || c == '*' || c == '/') return fail(SyntaxError(pos, c));
    if (c == '-' || IsDigit(c)) {
      std::size_t start = pos;
      if (c == '-') {
        if (pos + 1 >= end || !IsDigit(text[pos + 1])) return fail(SyntaxError(pos, '-'));
        start = pos + 1;
      }
      std::size_t i = start;
      bool dot = false;
      for (; i < end; ++i) {
        const char d = text[i];
        if (IsDigit(d)) continue;
        if (d == '.') {
          if (dot) return fail(SyntaxError(i, '.'));
          dot = true;
          continue;
        }
        if (IsOperator(d)) break;
        return fail(SyntaxError(i, d));
      }
      const double v = NumberValue(text.substr(start, i - start));
      tokens_.push_back(Token{'n', 0, c == '-' ? -1.0 * v : v});
      if (i == end) {
        chainEnded = true;
      } else {
        tokens_.push_back(Token{text[i], 0, 0});
        pos = i + 1;
      }
    } else {
      // A letter A to D (the character check left nothing else).
      const int leg = c - 'A';
      if (!legUsed[leg]) return fail(Format(TXT("公式引用的合约%c未设置"), c));
      usesLegs_ |= 1u << leg;
      tokens_.push_back(Token{'l', static_cast<uint8_t>(leg), 0});
      if (pos + 1 == end) {
        chainEnded = true;
      } else if (IsOperator(text[pos + 1])) {
        tokens_.push_back(Token{text[pos + 1], 0, 0});
        pos += 2;
      } else {
        return fail(SyntaxError(pos, c));
      }
    }
    if (!chainEnded) continue;
    // The chain ended: close the groups it ends, and go on with the first rest that follows.
    bool resumed = false;
    while (!pending.empty()) {
      const After a = pending.back();
      pending.pop_back();
      tokens_.push_back(Token{')', 0, 0});
      if (a.op != 0) {
        tokens_.push_back(Token{a.op, 0, 0});
        pos = a.restStart;
        end = a.end;
        resumed = true;
        break;
      }
    }
    if (!resumed) break;
  }
  Compile();
  return true;
}

void CombolFormula::Compile() {
  // Shunting-yard over the checked tokens: "*" "/" bind tighter than "+" "-", all left to right.
  auto precedence = [](char op) { return (op == '*' || op == '/') ? 2 : 1; };
  auto emitOp = [this](char op) {
    Kind k = op == '+' ? kAdd : op == '-' ? kSub : op == '*' ? kMul : kDiv;
    code_.push_back(Step{k, 0, 0});
  };
  std::vector<char> ops;
  code_.reserve(tokens_.size());
  for (const Token& t : tokens_) {
    switch (t.c) {
      case 'n': code_.push_back(Step{kNumber, 0, t.value}); break;
      case 'l': code_.push_back(Step{kLeg, t.leg, 0}); break;
      case '(': ops.push_back('('); break;
      case ')':
        while (!ops.empty() && ops.back() != '(') {
          emitOp(ops.back());
          ops.pop_back();
        }
        if (!ops.empty()) ops.pop_back();
        break;
      default:
        while (!ops.empty() && ops.back() != '(' && precedence(ops.back()) >= precedence(t.c)) {
          emitOp(ops.back());
          ops.pop_back();
        }
        ops.push_back(t.c);
        break;
    }
  }
  while (!ops.empty()) {
    if (ops.back() != '(') emitOp(ops.back());
    ops.pop_back();
  }
  tokens_.clear();
  tokens_.shrink_to_fit();
  // The deepest the evaluation stack gets.
  std::size_t depth = 0, deepest = 0;
  for (const Step& s : code_) {
    if (s.kind == kNumber || s.kind == kLeg) deepest = std::max(deepest, ++depth);
    else --depth;
  }
  stack_.assign(deepest, 0.0);
}

double CombolFormula::Evaluate(const double legs[4]) const {
  if (code_.empty()) return 0.0;
  double* st = stack_.data();
  std::size_t n = 0;
  for (const Step& s : code_) {
    switch (s.kind) {
      case kNumber: st[n++] = s.value; break;
      case kLeg: st[n++] = legs[s.leg]; break;
      case kAdd: st[n - 2] = st[n - 2] + st[n - 1]; --n; break;
      case kSub: st[n - 2] = st[n - 2] - st[n - 1]; --n; break;
      case kMul: st[n - 2] = st[n - 2] * st[n - 1]; --n; break;
      case kDiv: st[n - 2] = st[n - 2] / st[n - 1]; --n; break;
    }
  }
  return st[0];
}

bool CheckCombolFormula(const CombolStrategy& strategy, std::string* message) {
  CombolFormula f;
  return f.Parse(strategy.Formula(), strategy, message);
}

}  // namespace tarn
