// Any bytes as a formula file, a group file or a parameter value: the readers never crash,
// hang or exhaust the stack, and what they read compiles or fails cleanly.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "libs/indicators/formula_files.h"
#include "libs/indicators/indicator_params.h"
#include "libs/formula/formula.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const tarn::formula::FormulaDef& d : tarn::ParseFormulaXml(bytes)) (void)tarn::formula::Compile(d.source, d.params);
  (void)tarn::ParseGroupXml(bytes);
  (void)tarn::XmlNestingDepth(bytes);
  (void)tarn::ParseParamList(bytes);
  (void)tarn::ParsePeriodParams(bytes);
  return 0;
}
