// The chart engine without a window: where bars, values and objects land, what input does to
// the state, and what the engine reports to its control.
#include "libs/candlechart/chart_engine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/text.h"

namespace tarn::candlechart {
namespace {

std::vector<DC_KData> Bars(int n, double start = 3000, int64_t t0 = 1700000000, int step = 60) {
  std::vector<DC_KData> out;
  double price = start;
  for (int i = 0; i < n; ++i) {
    DC_KData b{};
    b.time = t0 + static_cast<int64_t>(i) * step;
    b.open = static_cast<float>(price);
    price += (i % 7 < 4 ? 3 : -4);
    b.close = static_cast<float>(price);
    b.high = static_cast<float>(std::max(b.open, b.close) + 2);
    b.low = static_cast<float>(std::min(b.open, b.close) - 2);
    b.volume = 100 + i;
    out.push_back(b);
  }
  return out;
}

struct Recorder : IChartEngineNotify {
  int menuKind = -2, menuObject = -2, indicatorPane = -1, drawn = -1, dropped = -1, doubleClicked = -1;
  double dropPrice = 0;
  void OnChartContextMenu(int, int, int kind, int object) override { menuKind = kind, menuObject = object; }
  void OnIndicatorMenu(int, int, int pane) override { indicatorPane = pane; }
  void OnObjectDrawn(int object) override { drawn = object; }
  void OnOrderLineDropped(int line, double price) override { dropped = line, dropPrice = price; }
  void OnObjectDoubleClicked(int object) override { doubleClicked = object; }
};

class ChartEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    e.SetNotify(&rec);
    e.Configure(0, false, 2, true);
    e.SetInstrument("RB", 0, 3, 60);
    e.SetRightBlank(60);
    e.Resize(900, 600);
    e.SetBars(Bars(500));
    e.Scene();
  }
  int MidY(int pane) const { return (e.PaneBoxes()[pane].top + e.PaneBoxes()[pane].bottom) / 2; }
  ChartEngine e;
  Recorder rec;
};

TEST_F(ChartEngineTest, BarsLandRightToLeftFromTheBlankAndMapBack) {
  const int room = static_cast<int>((e.PlotRight() - 60) / e.BarSpacing());
  EXPECT_EQ(e.LastVisible(), 499);
  EXPECT_EQ(e.FirstVisible(), 500 - room);
  EXPECT_FLOAT_EQ(e.BarX(499), static_cast<float>(e.PlotRight() - 60 - e.BarSpacing() / 2));
  for (int i = e.FirstVisible(); i <= e.LastVisible(); i += 7) EXPECT_EQ(e.BarAt(static_cast<int>(e.BarX(i))), i);
  // The blank right of the last bar and the axis hold no bar.
  EXPECT_EQ(e.BarAt(e.PlotRight() - 10), -1);
  EXPECT_EQ(e.BarAt(e.PlotRight() + 5), -1);
}

TEST_F(ChartEngineTest, ThePriceRangeHoldsTheVisibleBarsAndInvertingFlipsIt) {
  const auto& box = e.PaneBoxes()[0];
  double lo = 1e9, hi = -1e9;
  for (int i = e.FirstVisible(); i <= e.LastVisible(); ++i) {
    lo = std::min(lo, double(e.Bars()[i].low));
    hi = std::max(hi, double(e.Bars()[i].high));
  }
  EXPECT_LT(box.min, lo);
  EXPECT_GT(box.max, hi);
  EXPECT_LT(e.ValueY(0, hi), e.ValueY(0, lo));
  EXPECT_NEAR(e.ValueAt(0, static_cast<int>(std::lround(e.ValueY(0, lo)))), lo, (box.max - box.min) / 100);
  e.SetInverted(true);
  e.Scene();
  EXPECT_GT(e.ValueY(0, hi), e.ValueY(0, lo));
  EXPECT_NEAR(e.ValueAt(0, static_cast<int>(std::lround(e.ValueY(0, hi)))), hi, (box.max - box.min) / 100);
}

TEST_F(ChartEngineTest, CandlesSplitByDirectionAndOnlyVisibleOnesAreDrawn) {
  const ChartScene& s = e.Scene();
  ASSERT_EQ(s.base.candles.size(), 2u);
  int up = 0, down = 0;
  for (int i = e.FirstVisible(); i <= e.LastVisible(); ++i) (e.Bars()[i].close >= e.Bars()[i].open ? up : down)++;
  EXPECT_EQ(static_cast<int>(s.base.candles[0].xs.size()), up);
  EXPECT_EQ(static_cast<int>(s.base.candles[1].xs.size()), down);
  EXPECT_TRUE(s.base.candles[0].hollow);  // style 0: hollow rising candles
  e.SetCandleStyle(1);
  EXPECT_FALSE(e.Scene().base.candles[0].hollow);
}

TEST_F(ChartEngineTest, ScrollingAndZoomingStayInBoundsAndAppendedBarsKeepAScrolledView) {
  e.Scroll(100000);
  e.Scene();
  EXPECT_EQ(e.LastVisible(), 0);
  e.Scroll(-100000);
  e.Scene();
  EXPECT_EQ(e.LastVisible(), 499);
  e.Scroll(50);
  std::vector<DC_KData> more = Bars(503);
  e.UpdateBars(more, 500);
  e.Scene();
  EXPECT_EQ(e.LastVisible(), 449);  // the same bars stay in sight
  const double before = e.BarSpacing();
  e.Zoom(1);
  e.Zoom(-1);
  EXPECT_DOUBLE_EQ(e.BarSpacing(), before);
  e.Zoom(100);
  EXPECT_DOUBLE_EQ(e.BarSpacing(), 48);
  e.Zoom(-100);
  EXPECT_DOUBLE_EQ(e.BarSpacing(), 1);
}

TEST_F(ChartEngineTest, AClickShowsTheCursorAndKeysMoveIt) {
  const int x = static_cast<int>(e.BarX(480));
  EXPECT_EQ(e.MousePress(kLeftButton, x, MidY(0)), Invalidate::None);
  EXPECT_EQ(e.MouseRelease(kLeftButton, x, MidY(0)), Invalidate::Cursor);
  EXPECT_TRUE(e.CursorShown());
  EXPECT_EQ(e.CursorBar(), 480);
  e.KeyPress(ChartEngine::kKeyLeft);
  EXPECT_EQ(e.CursorBar(), 479);
  EXPECT_NE(e.PaneTitle(0, 479).find(Format("%d", e.Bars()[479].volume)), std::string::npos);
  // The cursor layer carries the cross lines; a move rebuilds only that layer.
  EXPECT_EQ(e.MouseMove(static_cast<int>(e.BarX(470)), MidY(0), false), Invalidate::Cursor);
  EXPECT_EQ(e.CursorBar(), 470);
  EXPECT_FALSE(e.CursorScene().cursor.lines.empty());
  EXPECT_EQ(e.KeyPress(ChartEngine::kKeyEscape), Invalidate::Cursor);
  EXPECT_FALSE(e.CursorShown());
}

TEST_F(ChartEngineTest, ADrawingToolMakesAnObjectThatIsHitAndReported) {
  EXPECT_FALSE(e.BeginTool(4008));  // no tool of that id
  ASSERT_TRUE(e.BeginTool(4005));
  const int x1 = static_cast<int>(e.BarX(450)), x2 = static_cast<int>(e.BarX(490));
  const int y1 = MidY(0) + 40, y2 = MidY(0) - 40;
  e.MousePress(kLeftButton, x1, y1);
  e.MouseRelease(kLeftButton, x1, y1);
  EXPECT_EQ(e.ObjectCount(), 0);
  e.MousePress(kLeftButton, x2, y2);
  ASSERT_EQ(e.ObjectCount(), 1);
  EXPECT_EQ(rec.drawn, 0);
  EXPECT_EQ(e.ActiveTool(), 0);
  const DrawObject& o = e.Objects()[0];
  EXPECT_EQ(o.kind, kDrawSegment);
  ASSERT_EQ(o.points.size(), 2u);
  EXPECT_EQ(o.points[0].time, e.Bars()[450].time);
  EXPECT_EQ(o.points[1].time, e.Bars()[490].time);
  e.Scene();
  const ChartHit hit = e.HitTest((x1 + x2) / 2, (y1 + y2) / 2);
  EXPECT_EQ(hit.area, ChartHit::kObject);
  EXPECT_EQ(hit.index, 0);
  EXPECT_NE(e.HitTest((x1 + x2) / 2, (y1 + y2) / 2 + 30).area, ChartHit::kObject);
  e.MousePress(kRightButton, (x1 + x2) / 2, (y1 + y2) / 2);
  EXPECT_EQ(rec.menuKind, kDrawSegment);
  EXPECT_EQ(rec.menuObject, 0);
  e.MousePress(kRightButton, x1, y1 + 100);
  EXPECT_EQ(rec.menuKind, -1);
  // A selected object goes with Delete.
  e.MousePress(kLeftButton, (x1 + x2) / 2, (y1 + y2) / 2);
  e.MouseRelease(kLeftButton, (x1 + x2) / 2, (y1 + y2) / 2);
  EXPECT_EQ(e.SelectedObject(), 0);
  e.KeyPress(ChartEngine::kKeyDelete);
  EXPECT_EQ(e.ObjectCount(), 0);
}

TEST_F(ChartEngineTest, DraggingAnObjectMovesItsPointsByBarsAndPrice) {
  DrawObject s;
  s.kind = kDrawSegment;
  const double price = e.Bars()[470].close;
  s.points = {{e.Bars()[460].time, price}, {e.Bars()[480].time, price}};
  e.SetObjects({s});
  e.Scene();
  const int y = static_cast<int>(std::lround(e.ValueY(0, price)));
  const int x = static_cast<int>(e.BarX(470));
  ASSERT_EQ(e.HitTest(x, y).area, ChartHit::kObject);
  e.MousePress(kLeftButton, x, y);
  e.MouseMove(static_cast<int>(e.BarX(475)), y - 30, true);
  e.MouseRelease(kLeftButton, static_cast<int>(e.BarX(475)), y - 30);
  const DrawObject& moved = e.Objects()[0];
  EXPECT_NEAR(moved.points[0].price, e.ValueAt(0, y - 30), 1.0);
  EXPECT_GT(moved.points[0].price, price);
  EXPECT_EQ(moved.points[0].time, e.Bars()[465].time);  // five bars on
  EXPECT_EQ(moved.points[1].time, e.Bars()[485].time);
}

TEST_F(ChartEngineTest, AnOrderLineDropsAtTheNewPriceOnlyAfterADrag) {
  OrderLine l;
  l.id = "o1";
  l.price = e.Bars()[499].close;
  e.SetOrderLines({l});
  e.Scene();
  const int y = static_cast<int>(std::lround(e.ValueY(0, l.price)));
  EXPECT_EQ(e.HitTest(200, y).area, ChartHit::kOrderLine);
  e.MousePress(kLeftButton, 200, y);
  e.MouseRelease(kLeftButton, 200, y);
  EXPECT_EQ(rec.dropped, -1);
  e.MousePress(kLeftButton, 200, y);
  e.MouseMove(200, y + 50, true);
  e.MouseRelease(kLeftButton, 200, y + 50);
  EXPECT_EQ(rec.dropped, 0);
  EXPECT_NEAR(rec.dropPrice, e.ValueAt(0, y + 50), 1e-6);
  EXPECT_DOUBLE_EQ(e.OrderLines()[0].price, l.price);  // the line waits for the order's news
}

TEST_F(ChartEngineTest, TheIndicatorTitleRaisesItsMenuAndSeriesDraw) {
  PaneContent c;
  c.title = "VOL(5)";
  ChartSeries vol;
  vol.name = "VOL";
  vol.kind = SeriesKind::VolStick;
  for (const DC_KData& b : e.Bars()) vol.values.push_back(b.volume);
  ChartSeries ma;
  ma.name = "MA5";
  ma.values.assign(500, 150);
  ma.values[480] = std::nan("");
  c.series = {vol, ma};
  e.SetPaneContent(1, c);
  const ChartScene& s = e.Scene();
  EXPECT_EQ(static_cast<int>(s.base.rects.size()), e.LastVisible() - e.FirstVisible() + 1);
  ASSERT_FALSE(s.base.polylines.empty());
  const ScenePolyline& line = s.base.polylines.back();
  EXPECT_TRUE(std::isnan(line.ys[480 - e.FirstVisible()]));  // the gap breaks the line
  EXPECT_NE(e.PaneTitle(1, 499).find("MA5:150"), std::string::npos);
  // The volumes' range starts at zero.
  EXPECT_DOUBLE_EQ(e.PaneBoxes()[1].min, 0);
  e.MousePress(kRightButton, 10, e.PaneBoxes()[1].titleTop + 4);
  EXPECT_EQ(rec.indicatorPane, 1);
}

TEST_F(ChartEngineTest, DrawingStatementsAndColouredSticksLandWhereTheyHold) {
  PaneContent c;
  c.title = "X";
  ChartSeries stick;
  stick.kind = SeriesKind::ColorStick;
  stick.values.assign(500, std::nan(""));
  stick.values[490] = 5;
  stick.values[491] = -5;
  ChartSeries text;
  text.kind = SeriesKind::Text;
  text.text = "B";
  text.values.assign(500, std::nan(""));
  text.values[495] = 1;
  ChartSeries part;
  part.kind = SeriesKind::PartLine;
  part.values.assign(500, 2);
  part.colors.assign(500, std::nan(""));
  part.colors[498] = 255;
  part.colors[499] = -1;
  c.series = {stick, text, part};
  e.SetPaneContent(1, c);
  const ChartScene& s = e.Scene();
  int up = 0, down = 0, partRed = 0, partOwn = 0;
  for (const SceneLine& l : s.base.lines) {
    if (std::fabs(l.x1 - e.BarX(490)) < 0.01f && l.color == ChartColors{}.rising) ++up;
    if (std::fabs(l.x1 - e.BarX(491)) < 0.01f && l.color == ChartColors{}.falling) ++down;
    if (std::fabs(l.x2 - e.BarX(498)) < 0.01f && l.color == 255) ++partRed;
    if (std::fabs(l.x2 - e.BarX(499)) < 0.01f && l.color == ChartColors{}.lines[2]) ++partOwn;
  }
  EXPECT_EQ(up, 1);
  EXPECT_EQ(down, 1);
  EXPECT_EQ(partRed, 1);   // only where a colour is given
  EXPECT_EQ(partOwn, 1);   // -1: the line's own colour
  int texts = 0;
  for (const SceneText& t : s.base.texts)
    if (t.text == "B") {
      ++texts;
      EXPECT_EQ(t.x, static_cast<int>(e.BarX(495)));
    }
  EXPECT_EQ(texts, 1);
  // The indicator pane's value range keeps zero for sticks.
  EXPECT_LT(e.PaneBoxes()[1].min, -5);
}

TEST(ChartEngine, AnEmptyChartSaysSoAndHitsNothing) {
  ChartEngine e;
  e.Resize(400, 300);
  const ChartScene& s = e.Scene();
  bool said = false;
  for (const SceneText& t : s.base.texts) said = said || t.text == TXT("暂无数据");
  EXPECT_TRUE(said);
  EXPECT_EQ(e.BarAt(100), -1);
  EXPECT_EQ(e.KeyPress(ChartEngine::kKeyLeft), Invalidate::None);
  EXPECT_TRUE(e.BeginTool(4001));
  e.MousePress(kLeftButton, 100, 100);  // nothing to anchor to: no crash, a point at time 0
}

TEST(ChartEngine, TheTimeShareChartSpansTheDayAroundItsReference) {
  ChartEngine e;
  e.Create("ts", 1, 2);
  e.Configure(0, false, 2, true);
  e.SetInstrument("RB", 0, 0, 60);
  e.Resize(800, 500);
  e.SetBars(Bars(120, 3000));
  e.SetReferencePrice(3010);
  e.Scene();
  const auto& box = e.PaneBoxes()[0];
  EXPECT_NEAR((box.min + box.max) / 2, 3010, 1e-6);
  EXPECT_EQ(e.FirstVisible(), 0);
  // Fewer bars than a day's: the chart leaves room for the rest.
  EXPECT_LT(e.BarX(119), e.PlotRight() * 0.6f);
  EXPECT_EQ(e.BarAt(static_cast<int>(e.BarX(60))), 60);
}

TEST(ChartEngine, PaneCountsAreClampedAndKeepTheirContents) {
  ChartEngine e;
  e.SetPaneCount(9);
  EXPECT_EQ(e.PaneCount(), 6);
  PaneContent c;
  c.title = "MACD";
  e.SetPaneContent(2, c);
  e.SetPaneCount(3);
  EXPECT_EQ(e.Content(2).title, "MACD");
  e.SetPaneCount(0);
  EXPECT_EQ(e.PaneCount(), 1);
  EXPECT_TRUE(e.Content(2).title.empty());
}

TEST(ChartEngine, EveryDrawingToolKnowsItsPoints) {
  const int tools[] = {4001, 4002, 4003, 4004, 4005, 4006, 4007, 4009, 4010, 4011, 4012, 4015, 4016, 4020, 4021, 4022};
  for (int t : tools) EXPECT_GT(DrawKindPoints(t - 4000), 0) << t;
  EXPECT_EQ(DrawKindPoints(8), 0);
  EXPECT_EQ(DrawKindPoints(6), 3);
  EXPECT_EQ(DrawKindPoints(9), 3);
  // Each kind lays out over bars without trouble.
  ChartEngine e;
  e.Resize(800, 500);
  e.SetBars(Bars(100));
  e.Scene();
  std::vector<DrawObject> objects;
  for (int t : tools) {
    DrawObject o;
    o.kind = t - 4000;
    for (int i = 0; i < DrawKindPoints(o.kind); ++i) o.points.push_back({e.Bars()[60 + i * 10].time, 3000.0 + i * 20});
    objects.push_back(o);
  }
  // A price far off the chart maps to a far-off pixel, not to an overflow.
  DrawObject far;
  far.kind = kDrawHorizontal;
  far.points = {{e.Bars()[50].time, 1e300}};
  objects.push_back(far);
  e.SetObjects(objects);
  EXPECT_FALSE(e.Scene().objects.Empty());
  const SceneText& label = e.Scene().objects.texts.back();
  EXPECT_LE(std::abs(label.y), 10000100);
}

}  // namespace
}  // namespace tarn::candlechart
