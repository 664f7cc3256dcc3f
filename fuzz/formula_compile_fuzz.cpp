// Any bytes as a formula: compiling never crashes, hangs or exhausts the stack, and a program
// that compiles evaluates over bars, appends a bar and updates the last one.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/quote_records.h"
#include "libs/formula/formula.h"

namespace {
std::vector<DC_KData> MakeBars() {
  std::vector<DC_KData> bars;
  uint32_t r = 12345;
  double price = 3000;
  for (int i = 0; i < 80; ++i) {
    r = r * 1103515245 + 12345;
    DC_KData b = ZeroRecord<DC_KData>();
    b.time = 1700000000 + 60 * i;
    b.open = static_cast<float>(price);
    price += static_cast<int>((r >> 16) % 21) - 10;
    b.close = static_cast<float>(price);
    b.high = static_cast<float>(std::max<double>(b.open, b.close) + (r >> 8) % 5);
    b.low = static_cast<float>(std::min<double>(b.open, b.close) - (r >> 4) % 5);
    b.volume = static_cast<int32_t>(r % 1000);
    b.openInterest = 5000 + i;
    bars.push_back(b);
  }
  return bars;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<DC_KData> bars = MakeBars();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<tarn::formula::ParamDef> params = {{"N", 5, 1, 100}, {"M", 3, 1, 100}, {"P", 0.5, 0, 1}};
  tarn::formula::CompileResult r = tarn::formula::Compile(text, params);
  if (!r.ok()) return 0;
  tarn::formula::Evaluation e(r.program);
  e.Compute(bars.data(), bars.size() - 1);
  e.Update(bars.data(), bars.size(), bars.size() - 1);
  e.Update(bars.data(), bars.size(), bars.size() - 1);
  for (std::size_t i = 0; i < e.OutputCount(); ++i) (void)e.GetOutput(i);
  return 0;
}
