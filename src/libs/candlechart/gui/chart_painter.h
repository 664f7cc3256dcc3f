// Paints a chart engine's scene with QPainter: the base layer (cached by the caller when it
// likes), the drawn objects clipped to the main pane, and the cursor layer. Nothing here
// decides what is drawn; the engine's scene says it all.
#pragma once

#include <QFont>
#include <functional>
#include <string>

#include "libs/candlechart/chart_types.h"

class QPainter;

namespace tarn::candlechart {

// The font the chart draws its texts with (WenQuanYi Micro Hei at `pixels`).
QFont ChartFont(int pixels);
// Text widths of that font, for ChartEngine::SetTextMeasure (texts are GBK).
std::function<int(const std::string&)> ChartTextMeasure(const QFont& font);

void PaintLayer(QPainter& p, const ChartLayer& layer, const QFont& font);
// Background, base layer, objects (clipped) and cursor.
void PaintScene(QPainter& p, const ChartScene& scene, const QFont& font);
// Everything but the cursor layer (what a cache holds).
void PaintSceneBase(QPainter& p, const ChartScene& scene, const QFont& font);

}  // namespace tarn::candlechart
