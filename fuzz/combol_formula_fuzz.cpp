// The spread formula over any text (deep parentheses included): no crash, no stack overflow,
// a message of at most 199 bytes on failure, and a formula that parses evaluates.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engines/combol_formula.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says which legs have a contract.
  const bool used[4] = {(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0, (data[0] & 8) != 0};
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  tarn::CombolFormula f;
  std::string message;
  const bool ok = f.Parse(text, used, &message);
  if (ok != f.Valid()) std::abort();
  if (!ok) {
    if (message.empty() || message.size() > 199) std::abort();
    return 0;
  }
  for (int i = 0; i < 4; ++i)
    if (f.UsesLeg(i) && !used[i]) std::abort();
  const double legs[4] = {101.5, -3.25, 0.0, 7.0};
  volatile double v = f.Evaluate(legs);
  (void)v;
  return 0;
}
