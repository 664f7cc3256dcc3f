// The chart engine: one K-line (or time-share) chart of one contract and period.
//
// It holds the bars, the visible range (bar spacing and how far the chart is scrolled from its
// end), the panes (the main pane with the candles and its overlays, then indicator panes), the
// cursor, the drawn objects with the drawing tool in progress, and the user's order lines. It
// turns mouse and key input into changes of that state, reports what the window must act on
// through IChartEngineNotify, and lays the chart out into a ChartScene for a painter. No Qt, no
// threads: the chart control calls it on its window's thread.
//
// CreateChartEngine (ordinal 1) makes an engine, DestroyChartEngine (ordinal 2) ends it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "libs/candlechart/chart_types.h"

namespace tarn::candlechart {

// What the engine reports to its chart control (on the control's thread, from the input calls).
class IChartEngineNotify {
 public:
  virtual ~IChartEngineNotify() = default;
  // The right button on the chart; `objectKind` is the kind of the drawn object hit (-1: none)
  // and `object` its index.
  virtual void OnChartContextMenu(int x, int y, int objectKind, int object) = 0;
  // The right button on an indicator's title in a pane.
  virtual void OnIndicatorMenu(int x, int y, int pane) = 0;
  // A drawing tool finished an object (its index). A text object asks for its text here.
  virtual void OnObjectDrawn(int object) { (void)object; }
  // An order line was dragged and dropped at `price` (the line stays where it was until the
  // control sets the lines again).
  virtual void OnOrderLineDropped(int line, double price) { (void)line; (void)price; }
  // A drawn object was double-clicked.
  virtual void OnObjectDoubleClicked(int object) { (void)object; }
};

enum MouseButton : int { kLeftButton = 1, kRightButton = 2 };

class ChartEngine {
 public:
  ChartEngine();
  ChartEngine(const ChartEngine&) = delete;
  ChartEngine& operator=(const ChartEngine&) = delete;

  // ---- creation and settings ----
  // `text` names the chart (its window text); the two modes are the display mode (0 K-line,
  // 1 time-share) and the axis mode (the "AxisAlign" setting).
  void Create(const std::string& text, int displayMode, int axisMode);
  // The time value the chart starts at (kept for the control; 0 = now), the inverted price
  // axis, the pane arrangement (number of panes, 1..6) and whether the period has bar times
  // (false for tick by tick: every tick is a bar and the time axis shows times of day).
  void Configure(int64_t startTime, bool inverted, int paneCount, bool timedBars);
  void SetNotify(IChartEngineNotify* notify) { notify_ = notify; }
  void SetColors(const ChartColors& colors);
  void SetFontPixels(int pixels);
  // Text widths in pixels (the painter's font metrics); the default estimates.
  void SetTextMeasure(std::function<int(const std::string&)> measure);
  // Pixels kept empty right of the last bar ("RightBlank").
  void SetRightBlank(int pixels);
  // Snapping drawing points to the nearest price of the bar ("AutoXiFu").
  void SetSnap(bool on) { snap_ = on; }
  // 0: hollow rising candles, 1: filled ones.
  void SetCandleStyle(int style) { candleStyle_ = style; full_ = true; }
  // Shows the latest price as a line across the main pane.
  void SetLastPriceLine(bool on) { lastPriceLine_ = on; full_ = true; }

  const std::string& Text() const { return text_; }
  int DisplayMode() const { return displayMode_; }
  bool Inverted() const { return inverted_; }
  void SetInverted(bool on);
  int PaneCount() const { return static_cast<int>(panes_.size()); }
  void SetPaneCount(int count);  // 1..6; keeps the contents of the panes that stay

  // ---- data ----
  // The contract's price decimals, the period's seconds (0 for ticks and time-share minutes
  // are 60) and the period kind (time axis texts).
  void SetInstrument(const std::string& title, int decimals, int periodKind, int periodSeconds);
  // Replaces every bar.
  void SetBars(std::vector<DC_KData> bars);
  // Brings the bars up to `bars` where only bars from `firstChanged` on differ.
  void UpdateBars(const std::vector<DC_KData>& bars, std::size_t firstChanged);
  const std::vector<DC_KData>& Bars() const { return bars_; }
  // The price the time-share chart is measured against (previous settlement), 0 = none.
  void SetReferencePrice(double price) { reference_ = price; full_ = true; }
  // The contents of a pane (0: the main pane's overlays).
  void SetPaneContent(int pane, PaneContent content);
  const PaneContent& Content(int pane) const;

  // ---- visible range ----
  double BarSpacing() const { return spacing_; }
  void SetBarSpacing(double pixels);
  // Zooms in (steps > 0) or out around the last bar (or around the cursor's bar).
  void Zoom(int steps);
  // Scrolls by bars (positive: towards older bars).
  void Scroll(int bars);
  int ScrollOffset() const { return offset_; }
  // The visible bars [first, last] after the last layout (-1, -1 without bars).
  int FirstVisible() const { return first_; }
  int LastVisible() const { return last_; }

  // ---- input (window coordinates; return what to repaint) ----
  Invalidate MousePress(int button, int x, int y);
  Invalidate MouseMove(int x, int y, bool leftDown);
  Invalidate MouseRelease(int button, int x, int y);
  Invalidate DoubleClick(int x, int y);
  Invalidate MouseLeave();
  // Keys: 'L'eft / 'R'ight move the cursor one bar, 'U'p / 'D'own zoom, Delete removes the
  // selected object, Escape ends the tool or the cursor.
  enum Key : int { kKeyLeft = 1, kKeyRight, kKeyUp, kKeyDown, kKeyDelete, kKeyEscape, kKeyHome, kKeyEnd };
  Invalidate KeyPress(int key);

  // ---- cursor ----
  bool CursorShown() const { return cursorShown_; }
  int CursorBar() const { return cursorBar_; }

  // ---- drawn objects ----
  // Starts a drawing tool (tool id 4001..4022, or a kind 1..22); false for no such tool.
  bool BeginTool(int toolOrKind);
  int ActiveTool() const { return tool_; }
  void CancelTool();
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  const std::vector<DrawObject>& Objects() const { return objects_; }
  void SetObjects(std::vector<DrawObject> objects);
  const DrawObject* Object(int index) const;
  bool UpdateObject(int index, const DrawObject& object);
  bool DeleteObject(int index);
  void DeleteAllObjects();
  int SelectedObject() const { return selected_; }

  // ---- order lines ----
  void SetOrderLines(std::vector<OrderLine> lines);
  const std::vector<OrderLine>& OrderLines() const { return orderLines_; }
  int DraggedOrderLine() const { return dragLine_; }

  // ---- layout ----
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  ChartHit HitTest(int x, int y) const;
  // Lays the chart out (when something changed since the last time) and returns the scene.
  const ChartScene& Scene();
  // Rebuilds only the cursor layer (after a cursor move).
  const ChartScene& CursorScene();
  bool NeedsLayout() const { return full_; }

  // Geometry after the last layout.
  struct PaneBox {
    int top = 0, bottom = 0;   // the plot area (below the title)
    int titleTop = 0;
    double min = 0, max = 1;   // the value range shown
  };
  const std::vector<PaneBox>& PaneBoxes() const { return boxes_; }
  int PlotLeft() const { return 0; }
  int PlotRight() const { return plotRight_; }
  int AxisWidth() const { return axisWidth_; }
  // x of a bar's centre, the bar under an x (-1 outside the bars), y of a value in a pane and
  // back.
  float BarX(int bar) const;
  int BarAt(int x) const;
  float ValueY(int pane, double value) const;
  double ValueAt(int pane, int y) const;
  int PaneAt(int y) const;

  // The title text a pane shows for a bar (the cursor's, else the last).
  std::string PaneTitle(int pane, int bar) const;

 private:
  struct Pane {
    double weight = 1;
    PaneContent content;
  };
  void Layout();
  void ComputeVisible();
  void ComputeRanges();
  void BuildBase(ChartLayer& layer);
  void BuildCursor(ChartLayer& layer);
  void BuildCandles(ChartLayer& layer);
  void BuildTimeShare(ChartLayer& layer);
  void BuildSeries(ChartLayer& layer, int pane, const ChartSeries& s, Colorref color);
  void BuildPriceAxis(ChartLayer& layer, int pane);
  void BuildTimeAxis(ChartLayer& layer);
  void BuildObjects(ChartLayer& layer);
  void BuildObject(ChartLayer& layer, const DrawObject& o, bool selected) const;
  void BuildOrderLines(ChartLayer& layer);
  std::string FormatValue(int pane, double v) const;
  std::string FormatTime(int64_t t, bool full) const;
  int Measure(const std::string& s) const;
  int BarOfTime(int64_t t) const;
  float TimeX(int64_t t) const;
  DrawPoint PointAt(int x, int y) const;
  int HitObject(int x, int y) const;
  int HitOrderLine(int x, int y) const;
  int TitleEnd(int pane) const;

  IChartEngineNotify* notify_ = nullptr;
  std::string text_;
  int displayMode_ = 0;
  int axisMode_ = 2;
  int64_t startTime_ = 0;
  bool inverted_ = false;
  bool timedBars_ = true;
  ChartColors colors_;
  int fontPixels_ = 12;
  std::function<int(const std::string&)> measure_;
  int rightBlank_ = 60;
  bool snap_ = true;
  int candleStyle_ = 0;
  bool lastPriceLine_ = false;

  std::string title_;
  int decimals_ = 2;
  int periodKind_ = 5;
  int periodSeconds_ = 86400;
  std::vector<DC_KData> bars_;
  double reference_ = 0;
  std::vector<Pane> panes_;

  double spacing_ = 8;
  int offset_ = 0;
  int first_ = -1, last_ = -1;

  int width_ = 0, height_ = 0;
  int plotRight_ = 0;
  int axisWidth_ = 64;
  int timeAxisTop_ = 0;
  std::vector<PaneBox> boxes_;

  bool cursorShown_ = false;
  int cursorX_ = 0, cursorY_ = 0;
  int cursorBar_ = -1;

  std::vector<DrawObject> objects_;
  int selected_ = -1;
  int tool_ = 0;                    // the kind being drawn, 0 = none
  std::vector<DrawPoint> toolPoints_;
  DrawPoint toolHover_;
  bool toolHoverValid_ = false;
  int movingObject_ = -1;           // an object dragged whole
  DrawPoint moveFrom_;
  int moveFromBar_ = -1;

  std::vector<OrderLine> orderLines_;
  int dragLine_ = -1;
  double dragPrice_ = 0;
  bool dragMoved_ = false;

  bool panning_ = false;
  int panX_ = 0, panOffset_ = 0;

  bool full_ = true;
  ChartScene scene_;
};

// Ordinal 1 and 2 of the chart library.
ChartEngine* CreateChartEngine();
void DestroyChartEngine(ChartEngine* engine);

}  // namespace tarn::candlechart
