#include "engines/engine_support.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tarn {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips blanks and reads an optional sign; returns the rest.
std::string_view SignAndRest(std::string_view s, bool* negative) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  *negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    *negative = s[i] == '-';
    ++i;
  }
  return s.substr(i);
}

}  // namespace

double ParseDecimalText(std::string_view text) {
  bool negative = false;
  std::string_view s = SignAndRest(text, &negative);
  // Only the plain decimal form: digits, a point, digits, an exponent. from_chars would also
  // take "inf" and "nan", which no price box means.
  std::size_t i = 0, digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  double v = 0.0;
  const auto r = std::from_chars(s.data(), s.data() + i, v, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0.0;
  return negative ? -v : v;
}

int64_t ParseInt64Text(std::string_view text) {
  bool negative = false;
  std::string_view s = SignAndRest(text, &negative);
  std::size_t i = 0;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == 0) return 0;
  uint64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + i, v);
  const uint64_t maxPos = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (r.ec == std::errc::result_out_of_range || v > maxPos + (negative ? 1 : 0))
    return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  if (negative) return v == maxPos + 1 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(v);
  return static_cast<int64_t>(v);
}

int32_t ParseInt32Text(std::string_view text) {
  const int64_t v = ParseInt64Text(text);
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

bool UsablePrice(double price, double threshold) { return std::isfinite(price) && price > threshold; }

}  // namespace tarn
