#include "chart/chart_forms.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/text.h"

namespace tarn {

std::vector<ParamRow> IndicatorParamRows(const formula::FormulaDef& def, const std::vector<double>& current) {
  std::vector<ParamRow> rows;
  for (std::size_t i = 0; i < def.params.size(); ++i) {
    const formula::ParamDef& p = def.params[i];
    ParamRow r;
    r.name = p.name;
    r.minValue = p.minValue;
    r.maxValue = p.maxValue;
    r.defaultValue = p.defaultValue;
    r.value = Format("%g", i < current.size() ? current[i] : p.defaultValue);
    rows.push_back(std::move(r));
  }
  return rows;
}

bool ReadIndicatorParams(const std::vector<ParamRow>& rows, std::vector<double>* values, std::string* error) {
  std::vector<double> out;
  for (const ParamRow& r : rows) {
    const std::string text = Trim(r.value);
    char* end = nullptr;
    const double v = text.empty() ? 0 : std::strtod(text.c_str(), &end);
    const bool number = !text.empty() && end && *end == '\0' && std::isfinite(v);
    const bool ranged = r.maxValue > r.minValue;
    if (!number || (ranged && (v < r.minValue || v > r.maxValue))) {
      if (error) *error = Format(TXT("参数%s应为%g到%g之间的数值"), r.name, r.minValue, r.maxValue);
      return false;
    }
    out.push_back(v);
  }
  *values = std::move(out);
  return true;
}

bool CheckObjectText(const std::string& text, std::string* out, std::string* error) {
  std::string t = Trim(text);
  if (t.empty()) {
    if (error) *error = TXT("文字不能为空");
    return false;
  }
  if (t.size() > 200) {
    // Cut before a lead byte so that no half GBK character is left.
    std::size_t cut = 0;
    for (std::size_t i = 0; i < t.size();) {
      const std::size_t len = static_cast<unsigned char>(t[i]) >= 0x81 && i + 1 < t.size() ? 2 : 1;
      if (i + len > 200) break;
      i += len;
      cut = i;
    }
    t.resize(cut);
  }
  *out = std::move(t);
  return true;
}

ObjectStyle StyleOf(const candlechart::DrawObject& o) {
  return {o.color, std::clamp(o.thickness, 1, 5), static_cast<int>(o.dash)};
}

candlechart::DrawObject WithStyle(candlechart::DrawObject o, const ObjectStyle& s) {
  o.color = s.color & 0xFFFFFF;
  o.thickness = std::clamp(s.thickness, 1, 5);
  o.dash = s.dash == 1 ? candlechart::Dash::Dot : s.dash == 2 ? candlechart::Dash::Dash : candlechart::Dash::Solid;
  return o;
}

std::vector<ButtonBox> ContainerButtonBoxes(int width, int height) {
  constexpr int kButtons = 7;
  const int perRow = width > 399 ? 4 : (width >= 200 ? 2 : 1);
  const int rows = (kButtons + perRow - 1) / perRow;
  const int w = static_cast<int>(width * 0.7 / perRow);
  const int h = std::min(static_cast<int>(height * 0.7 / rows), w / 2);
  const int left = (width - w * perRow) / 2;
  const int top = (height - h * rows) / 2;
  std::vector<ButtonBox> out;
  for (int i = 0; i < kButtons; ++i) {
    const int row = i / perRow, col = i % perRow;
    // A last row with fewer buttons is centred as well.
    const int inRow = std::min(perRow, kButtons - row * perRow);
    const int rowLeft = left + (perRow - inRow) * w / 2;
    out.push_back({rowLeft + col * w, top + row * h, w, h});
  }
  return out;
}

const std::vector<std::string>& ContainerButtonLabels() {
  static const std::vector<std::string> kLabels{TXT("K线图"),   TXT("分时图"),   TXT("行情报价"), TXT("价格方块"),
                                                TXT("上下拆分"), TXT("左右拆分"), TXT("关闭窗口")};
  return kLabels;
}

int ContainerButtonAction(int index) {
  static const int kActions[] = {1, 2, 0, 3, -1, -2, -3};
  return index >= 0 && index < 7 ? kActions[index] : -100;
}

}  // namespace tarn
