// What the chart's dialogs check and hand back, as plain functions: the indicator parameter
// dialog, the text of a text object, the style of a drawn object; and where the empty chart
// container's seven buttons go.
#pragma once

#include <string>
#include <vector>

#include "libs/candlechart/chart_types.h"
#include "libs/formula/formula_engine.h"

namespace tarn {

// The parameter dialog: one row per parameter with its name, range and current value.
struct ParamRow {
  std::string name;  // GBK
  double minValue = 0, maxValue = 0, defaultValue = 0;
  std::string value;  // the edit's text
};
std::vector<ParamRow> IndicatorParamRows(const formula::FormulaDef& def, const std::vector<double>& current);
// Reads the edits: each must be a number within its parameter's range. On failure `error`
// names the parameter (GBK) and nothing is returned.
bool ReadIndicatorParams(const std::vector<ParamRow>& rows, std::vector<double>* values, std::string* error);

// A text object's text: trimmed, not empty, at most 200 bytes (cut at a whole character).
bool CheckObjectText(const std::string& text, std::string* out, std::string* error);

// The style dialog's choices.
struct ObjectStyle {
  Colorref color = 0x00FFFF;
  int thickness = 1;  // 1..5
  int dash = 0;       // 0 solid, 1 dot, 2 dash
};
ObjectStyle StyleOf(const candlechart::DrawObject& o);
candlechart::DrawObject WithStyle(candlechart::DrawObject o, const ObjectStyle& style);

// The seven buttons of an empty chart container: "K线图", "分时图", "行情报价", "价格方块",
// "上下拆分", "左右拆分", "关闭窗口", four to a row when the container is wider than 399 pixels,
// two from 200 to 399, one below; each 70% of the width per button and 70% of the height per row
// (at most half its width) in size, the block centred.
struct ButtonBox {
  int x = 0, y = 0, w = 0, h = 0;
};
std::vector<ButtonBox> ContainerButtonBoxes(int width, int height);
// The labels in that order (GBK) and what each does: contents 1, 2, 0, 3, then the window
// commands 0, 1, 2 (as -1, -2, -3).
const std::vector<std::string>& ContainerButtonLabels();
int ContainerButtonAction(int index);

}  // namespace tarn
