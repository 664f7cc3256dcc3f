#include "libs/exchange/spread_formula.h"

#include <charconv>
#include <string>

namespace tarn::exchange {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int Precedence(char op) { return op == '*' || op == '/' ? 2 : 1; }

}  // namespace

bool SpreadFormula::Parse(std::string_view text, unsigned usedLegs) {
  code_.clear();
  legs_ = 0;
  if (text.empty() || text.size() > kMaxText) return false;
  std::vector<Step> out;
  std::vector<char> ops;  // operators and "(" waiting (shunting-yard)
  out.reserve(text.size());
  ops.reserve(text.size());
  auto pop = [&] {
    const char op = ops.back();
    ops.pop_back();
    out.push_back({op == '+' ? kAdd : op == '-' ? kSub : op == '*' ? kMul : kDiv, 0, 0.0});
  };
  bool expectTerm = true;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (expectTerm) {
      if (c == '(') {
        ops.push_back('(');
        ++i;
        continue;
      }
      bool negative = false;
      if (c == '-') {
        if (i + 1 >= text.size() || !IsDigit(text[i + 1])) return false;
        negative = true;
        ++i;
      }
      const char t = text[i];
      if (t >= 'A' && t <= 'D' && !negative) {
        const int leg = t - 'A';
        if ((usedLegs & (1u << leg)) == 0) return false;
        legs_ |= 1u << leg;
        out.push_back({kLeg, static_cast<uint8_t>(leg), 0.0});
        ++i;
      } else if (IsDigit(t)) {
        std::size_t j = i;
        int dots = 0;
        while (j < text.size() && (IsDigit(text[j]) || text[j] == '.')) dots += text[j++] == '.' ? 1 : 0;
        if (dots > 1) return false;
        std::string digits(text.substr(i, j - i));
        if (digits.back() == '.') digits.pop_back();  // "5." reads as 5
        double v = 0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (r.ec != std::errc()) return false;
        out.push_back({kNumber, 0, negative ? -v : v});
        i = j;
      } else {
        return false;
      }
      expectTerm = false;
      continue;
    }
    if (c == ')') {
      while (!ops.empty() && ops.back() != '(') pop();
      if (ops.empty()) return false;
      ops.pop_back();
      ++i;
      continue;
    }
    if (c != '+' && c != '-' && c != '*' && c != '/') return false;
    while (!ops.empty() && ops.back() != '(' && Precedence(ops.back()) >= Precedence(c)) pop();
    ops.push_back(c);
    expectTerm = true;
    ++i;
  }
  if (expectTerm) return false;
  while (!ops.empty()) {
    if (ops.back() == '(') return false;
    pop();
  }
  code_ = std::move(out);
  return true;
}

double SpreadFormula::Evaluate(const double legs[4]) const {
  // At most kMaxText / 2 + 1 operands are ever on the stack.
  double stack[kMaxText / 2 + 2];
  std::size_t n = 0;
  for (const Step& s : code_) {
    switch (s.kind) {
      case kNumber: stack[n++] = s.value; break;
      case kLeg: stack[n++] = legs[s.leg]; break;
      default: {
        const double b = stack[--n];
        double& a = stack[n - 1];
        a = s.kind == kAdd ? a + b : s.kind == kSub ? a - b : s.kind == kMul ? a * b : a / b;
      }
    }
  }
  return n == 1 ? stack[0] : 0.0;
}

}  // namespace tarn::exchange
