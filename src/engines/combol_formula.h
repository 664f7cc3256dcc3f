// The spread formula of a strategy: legs A B C D, unsigned decimal numbers, + - * /, and
// parentheses, no spaces; "*" and "/" before "+" and "-", left to right within each level. A
// "-" at the start of a term directly before a digit makes the number negative (A*-2).
//
// A formula is parsed once into a postfix program that evaluates without allocating and without
// recursion: the parser walks nested groups with an explicit stack, so any text (deep
// parentheses included) is safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/strategy_records.h"

namespace tarn {

class CombolFormula {
 public:
  // Parses `text`; `legUsed[i]` says whether leg A + i has a contract (a letter of an unused
  // leg is an error). On failure returns false and sets *message (GBK, at most 199 bytes):
  //   "解析错误"                                   empty formula, or a term missing after an operator
  //   "不合法的字符:%c\r\n必须是以下字符:A B C D 数字 + - * /"   a character outside the set
  //   "括号不匹配:位置%d"                          a "(" without its ")"
  //   "解析错误:位置%d 字符:%c"                    a character that cannot stand there
  //   "公式引用的合约%c未设置"                      a letter whose leg has no contract
  // Positions are 0-based offsets into the whole text.
  bool Parse(std::string_view text, const bool legUsed[4], std::string* message);
  // The same against a strategy's legs.
  bool Parse(std::string_view text, const CombolStrategy& strategy, std::string* message);

  bool Valid() const { return !code_.empty(); }
  // Whether the formula names leg i.
  bool UsesLeg(int i) const { return i >= 0 && i < 4 && (usesLegs_ & (1u << i)) != 0; }

  // The value with legs[i] for leg A + i. Division follows floating-point rules. Not
  // reentrant (it works in the formula's own stack): callers hold their lock.
  double Evaluate(const double legs[4]) const;

 private:
  enum Kind : uint8_t { kNumber, kLeg, kAdd, kSub, kMul, kDiv };
  struct Step {
    Kind kind;
    uint8_t leg;
    double value;
  };
  void Compile();  // tokens_ (infix) -> code_ (postfix)

  struct Token {
    char c;        // 'n' number, 'l' leg, '(' ')' or an operator
    uint8_t leg;
    double value;
  };
  std::vector<Token> tokens_;
  std::vector<Step> code_;
  mutable std::vector<double> stack_;
  unsigned usesLegs_ = 0;
};

// Parses a strategy's formula against its legs: the definition dialog's check.
bool CheckCombolFormula(const CombolStrategy& strategy, std::string* message);

}  // namespace tarn
