// The broker's reading of a spread formula against the terminal's, over any text: both accept
// the same texts and compute the same values; neither crashes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engines/combol_formula.h"
#include "libs/exchange/spread_formula.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned used = data[0] & 15u;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool legs[4] = {(used & 1) != 0, (used & 2) != 0, (used & 4) != 0, (used & 8) != 0};
  tarn::CombolFormula engine;
  std::string message;
  const bool ok = engine.Parse(text, legs, &message);
  tarn::exchange::SpreadFormula broker;
  const bool brokerOk = broker.Parse(text, used);
  // The broker also refuses texts longer than a record's field holds.
  if (text.size() <= tarn::exchange::SpreadFormula::kMaxText && ok != brokerOk) std::abort();
  if (ok && brokerOk) {
    const double values[4] = {3.25, -7.5, 11, 0.125};
    const double a = engine.Evaluate(values), b = broker.Evaluate(values);
    if (!(a == b || (std::isnan(a) && std::isnan(b)))) std::abort();
  }
  return 0;
}
