// The plain values the chart engine takes and gives: series for its panes, drawn objects,
// order lines, colours, hit results and the drawing list (ChartScene) a painter turns into
// pixels. No Qt: the engine lays a chart out into a ChartScene and the painter in gui/ only
// paints it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/color.h"

namespace tarn::candlechart {

// How an indicator output is drawn.
enum class SeriesKind : uint8_t {
  Line,
  Stick,       // from 0 to the value
  ColorStick,  // from 0, red above and green below
  VolStick,    // volume bars in the candle's colour
  LineStick,   // a line and sticks
  CircleDot,
  PointDot,
  CrossDot,
  Text,        // `text` at the value where it is valid
  StickLine,   // a bar from `values` to `second`, `width` wide, hollow when `empty` is not 0
  Icon,        // icon number `icon` at the value
  PartLine,    // a line drawn where `colors` holds a colour (>= 0)
};

enum class Dash : uint8_t { Solid, Dot, Dash };

// One output line of an indicator, as the chart draws it. Values are per bar; NaN = not drawn.
struct ChartSeries {
  std::string name;           // GBK, shown in the pane's title with its value ("" = not shown)
  SeriesKind kind = SeriesKind::Line;
  Dash dash = Dash::Solid;
  bool hasColor = false;      // false: the pane's line colour of the series' position
  Colorref color = 0;
  int thickness = 1;
  bool noDraw = false;        // listed in the title only
  std::vector<double> values;
  std::vector<double> second;  // StickLine
  std::vector<double> colors;  // PartLine: COLORREF per bar, -1 = the series' own colour
  std::string text;            // Text
  double width = 0;            // StickLine: 0..; above 0 a bar of that many tenths of the spacing
  double empty = 0;
  int icon = 0;
};

// What one pane shows besides the candles (pane 0 overlays; other panes their indicator).
struct PaneContent {
  std::string title;                // GBK, "MACD(12,26,9)"; "" for none
  std::vector<ChartSeries> series;
};

// A drawn object. Its kind is the drawing tool's id less 4000 (1 horizontal line ... 22 the
// measuring tool). Points are anchored to a bar time and a price.
enum DrawKind : int {
  kDrawHorizontal = 1,
  kDrawVertical = 2,
  kDrawLine = 3,
  kDrawRay = 4,
  kDrawSegment = 5,
  kDrawChannel = 6,
  kDrawArrow = 7,
  kDrawTriangle = 9,
  kDrawRectangle = 10,
  kDrawGolden = 11,
  kDrawPercent = 12,
  kDrawSpeedLines = 15,
  kDrawGannFan = 16,
  kDrawIcon = 20,
  kDrawText = 21,
  kDrawMeasure = 22,
};
// The points a kind takes (0 for a kind that is not a drawing tool).
int DrawKindPoints(int kind);

struct DrawPoint {
  int64_t time = 0;   // the bar's time
  double price = 0;
  bool operator==(const DrawPoint&) const = default;
};
struct DrawObject {
  int kind = 0;
  std::vector<DrawPoint> points;
  Colorref color = 0x00FFFF;  // yellow
  int thickness = 1;
  Dash dash = Dash::Solid;
  std::string text;            // kDrawText: the text (GBK); kDrawIcon: unused
  int icon = 0;                // kDrawIcon: the icon number
  bool operator==(const DrawObject&) const = default;
};

// A horizontal line of the user's trading: a working order, a position or a condition order.
enum class OrderLineKind : uint8_t { Order, Position, Condition };
struct OrderLine {
  std::string id;              // the order key or the position's number
  OrderLineKind kind = OrderLineKind::Order;
  double price = 0;
  int direction = 1;           // 1 buy, 2 sell
  std::string label;           // GBK, drawn on the line
  bool operator==(const OrderLine&) const = default;
};

struct ChartColors {
  Colorref background = 0;
  Colorref axis = 4209203;       // frames and axis lines
  Colorref scale = 8421504;      // axis texts
  Colorref text = 15129800;
  Colorref title = 5063997;
  Colorref indicatorName = 711900;
  Colorref hint = 65535;
  Colorref rising = 3947775;     // up texts
  Colorref falling = 56320;      // down texts
  Colorref flat = 13882323;
  Colorref candleUp = 255;       // "ClrUp"
  Colorref candleDown = 16776960;  // "ClrDn"
  std::array<Colorref, 10> lines{15198183, 711900, 16711935, 61440, 7895160, 3947775, 33023, 32896, 8388736, 8421376};
  Colorref buyLine = 255;
  Colorref sellLine = 65280;
  Colorref positionLine = 65535;
  Colorref conditionLine = 16711935;
};

// Where a point of the chart is.
struct ChartHit {
  enum Area : uint8_t { kNone, kPane, kTitle, kPriceAxis, kTimeAxis, kObject, kOrderLine };
  Area area = kNone;
  int pane = -1;       // kPane, kTitle, kObject, kOrderLine, kPriceAxis: the pane
  int index = -1;      // kObject: the object; kOrderLine: the line
  int bar = -1;        // the bar under x (-1: none)
  double price = 0;    // the price (or value) under y in that pane
};

// ---- the drawing list ---------------------------------------------------------------------------

struct SceneRect {
  int x = 0, y = 0, w = 0, h = 0;
  Colorref color = 0;
  bool filled = true;   // false: the outline
};
struct SceneLine {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  Colorref color = 0;
  uint8_t thickness = 1;
  Dash dash = Dash::Solid;
};
// A line through points; NaN y breaks it.
struct ScenePolyline {
  std::vector<float> xs, ys;
  Colorref color = 0;
  uint8_t thickness = 1;
  Dash dash = Dash::Solid;
};
struct SceneText {
  int x = 0, y = 0;          // the anchor
  std::string text;          // GBK
  Colorref color = 0;
  uint8_t align = 0;         // 0 left, 1 right, 2 centre (of x)
  bool background = false;   // drawn on a filled box of `boxColor`
  Colorref boxColor = 0;
};
struct SceneMarker {
  enum Kind : uint8_t { kCircle, kPoint, kCross, kIcon, kArrowHead };
  Kind kind = kCircle;
  float x = 0, y = 0;
  float dx = 0, dy = 0;      // kArrowHead: the direction it points
  int icon = 0;
  Colorref color = 0;
};
// Candles of one colour and style, in bulk: each a wick and a body.
struct SceneCandles {
  std::vector<float> xs;         // centre
  std::vector<float> open, close, high, low;  // y
  float bodyWidth = 1;
  Colorref color = 0;
  bool hollow = false;
};

struct ChartLayer {
  std::vector<SceneRect> rects;
  std::vector<SceneCandles> candles;
  std::vector<SceneLine> lines;
  std::vector<ScenePolyline> polylines;
  std::vector<SceneMarker> markers;
  std::vector<SceneText> texts;
  void Clear();
  bool Empty() const;
};

// A laid-out chart: the base layer (everything but the cursor) and the cursor layer, which a
// mouse move rebuilds alone.
struct ChartScene {
  int width = 0, height = 0;
  Colorref background = 0;
  int fontPixels = 12;
  ChartLayer base;
  ChartLayer objects;     // the drawn objects and the tool in progress, clipped to objectClip
  SceneRect objectClip;   // the main pane's plot area
  ChartLayer cursor;
};

// How much a change asks to repaint.
enum class Invalidate : uint8_t { None, Cursor, Full };

}  // namespace tarn::candlechart
