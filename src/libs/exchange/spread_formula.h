// The broker's reading of a strategy's spread formula: legs A B C D, unsigned decimal numbers,
// + - * / and parentheses; "*" and "/" before "+" and "-", left to right within a level; a "-"
// at the start of a term directly before a digit makes that number negative. The terminal checks
// formulas (with their messages) before it hands them over; the broker refuses whatever does not
// read, without saying more.
//
// Parsed once into a postfix program; evaluating it allocates nothing and does not recurse, so
// the trigger check on every quote costs a few additions.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarn::exchange {

class SpreadFormula {
 public:
  static constexpr std::size_t kMaxText = 109;  // the record's field holds 110 bytes

  // Reads `text`; `usedLegs` has bit i set when leg A + i has a contract. False for anything
  // outside the language, a letter of an unused leg, or a text longer than kMaxText.
  bool Parse(std::string_view text, unsigned usedLegs);
  bool Valid() const { return !code_.empty(); }
  // Bit i set when the formula names leg A + i.
  unsigned Legs() const { return legs_; }
  // The value with legs[i] for leg A + i (floating-point division, no check for zero).
  double Evaluate(const double legs[4]) const;

 private:
  enum Kind : uint8_t { kNumber, kLeg, kAdd, kSub, kMul, kDiv };
  struct Step {
    Kind kind;
    uint8_t leg;
    double value;
  };
  std::vector<Step> code_;
  unsigned legs_ = 0;
};

}  // namespace tarn::exchange
