// The chart's logic without windows: periods and their file, candle colours, what a history
// event does to the bar list, a chart's indicators, menus, order lines, the saved record and
// the dialogs' checks.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "chart/chart_bars.h"
#include "chart/chart_forms.h"
#include "chart/chart_indicators.h"
#include "chart/chart_menu.h"
#include "chart/chart_period.h"
#include "chart/chart_state.h"
#include "chart/kline_color.h"
#include "chart/order_lines.h"
#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"
#include "libs/formula/formula_engine.h"
#include "platform/archive.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include <unistd.h>
#include <cmath>
#include <algorithm>

namespace tarn {
namespace {

DC_KData Bar(int64_t t, float close, int volume = 10) {
  DC_KData b{};
  b.time = t;
  b.open = close - 1;
  b.high = close + 2;
  b.low = close - 3;
  b.close = close;
  b.volume = volume;
  b.amount = close * volume * 10.0;
  return b;
}

std::vector<DC_KData> Series(int n, int64_t t0 = 1700000000) {
  std::vector<DC_KData> out;
  for (int i = 0; i < n; ++i) out.push_back(Bar(t0 + i * 60, 3000.0f + (i % 13) * 2 - (i % 5), 10 + i % 7));
  return out;
}

// ---- periods ----

TEST(ChartPeriods, TheSeventeenButtonsNameTheirPeriods) {
  const auto& p = ToolbarPeriods();
  ASSERT_EQ(p.size(), 17u);
  EXPECT_EQ(p.front().command, 1001);
  EXPECT_EQ(p.back().command, 1017);
  EXPECT_EQ(p[0].label, TXT("分时"));
  EXPECT_EQ(p[0].period, (ChartPeriod{0, 1}));
  EXPECT_EQ(p[1].label, "Tick");
  EXPECT_EQ(p[1].period, (ChartPeriod{1, 1}));
  EXPECT_EQ(*PeriodForCommand(1003), (ChartPeriod{2, 15}));
  EXPECT_EQ(*PeriodForCommand(1010), (ChartPeriod{3, 60}));  // "60分" is a minute period
  EXPECT_EQ(*PeriodForCommand(1012), (ChartPeriod{3, 240}));
  EXPECT_EQ(*PeriodForCommand(1016), (ChartPeriod{7, 3}));
  EXPECT_EQ(*PeriodForCommand(1017), (ChartPeriod{8, 1}));
  EXPECT_FALSE(PeriodForCommand(1000));
  EXPECT_FALSE(PeriodForCommand(1018));
  for (const ToolbarPeriod& t : p) EXPECT_EQ(CommandForPeriod(t.period), t.command);
  EXPECT_EQ(CommandForPeriod({3, 10}), 0);
}

TEST(ChartPeriods, UserPeriodsAreWholeValidPairsWithinNineHundredCharacters) {
  EXPECT_EQ(ParseUserPeriods("3,10,2,5,7"), (std::vector<ChartPeriod>{{3, 10}, {2, 5}}));  // the lone 7 is dropped
  EXPECT_EQ(ParseUserPeriods(" 3 , 10 ,9,1,3,0,3,10,x,2,5,2"), (std::vector<ChartPeriod>{{3, 10}, {5, 2}}));
  EXPECT_TRUE(ParseUserPeriods("").empty());
  // A pair that starts past the 900th character is not read.
  std::string text(896, ' ');
  text[0] = '3';
  text += ",7,3,9";
  const std::string head = "3,11," + text.substr(5);
  const std::vector<ChartPeriod> read = ParseUserPeriods(head);
  ASSERT_FALSE(read.empty());
  EXPECT_EQ(read.front(), (ChartPeriod{3, 11}));
  EXPECT_EQ(std::count(read.begin(), read.end(), ChartPeriod{3, 9}), 0);
  EXPECT_EQ(FormatUserPeriods({{3, 10}, {2, 5}}), "3,10,2,5");
}

TEST(ChartPeriods, TheUserFileAddsPeriodsAfterTheBuiltInOnes) {
  test::ScopedHome home;
  EXPECT_TRUE(LoadUserPeriods().empty());
  ASSERT_TRUE(SaveUserPeriods({{3, 10}, {3, 5}}));
  EXPECT_NE(test::ReadFile(home.Native(kUserPeriodFile)).find("data=3,10,3,5"), std::string::npos);
  const std::vector<ChartPeriod> offered = OfferedPeriods(LoadUserPeriods());
  ASSERT_EQ(offered.size(), 18u);  // (3,5) is a button already
  EXPECT_EQ(offered.back(), (ChartPeriod{3, 10}));
  EXPECT_EQ(PeriodSeconds({3, 5}), 300);
  EXPECT_EQ(PeriodSeconds({1, 1}), 0);
}

// ---- candle colours ----

struct KlineRecorder : IKlineSettingNotify {
  int told = 0;
  void OnKlineSettingChanged() override { ++told; }
};

TEST(KLineColors, DefaultsAndTheTwoSchemes) {
  test::ScopedHome home;
  EXPECT_EQ(LoadKLineColors(), (KLineColors{255, 16776960, 0}));
  KlineRecorder r;
  AddKlineSettingListener(&r);
  ASSERT_TRUE(ChooseCandleStyle(1));
  EXPECT_EQ(LoadKLineColors(), (KLineColors{255, 56320, 1}));
  ASSERT_TRUE(ChooseCandleStyle(0));
  EXPECT_EQ(LoadKLineColors(), (KLineColors{255, 15790080, 0}));
  EXPECT_EQ(r.told, 2);
  EXPECT_FALSE(ChooseCandleStyle(2));
  EXPECT_EQ(r.told, 2);
  RemoveKlineSettingListener(&r);
  ChooseCandleStyle(1);
  EXPECT_EQ(r.told, 2);
}

// ---- history events ----

TEST(ChartBarList, LatestModeTakesTheEventsNewestBarsThenCopiesFromTheLibrary) {
  ChartBarList list;
  std::vector<DC_KData> library = Series(30);
  int copies = 0, requests = 0;
  HistorySource source;
  source.copyHistory = [&] { ++copies; return library; };
  source.requestHistory = [&] { ++requests; return library; };
  BarChange c = list.OnHistoryEvent(kDataLatest, 20, Series(30), source);
  EXPECT_TRUE(c.changed);
  ASSERT_EQ(list.Size(), 20u);  // the newest capacity-many
  EXPECT_EQ(list.Bars().front().time, Series(30)[10].time);
  EXPECT_EQ(copies + requests, 0);
  // A quote: the library's bars with the last one changed.
  library.back().close += 5;
  library.back().volume += 3;
  c = list.OnHistoryEvent(kDataLatest, 20, {}, source);
  EXPECT_EQ(copies, 1);
  EXPECT_TRUE(c.changed);
  EXPECT_EQ(c.firstChanged, 19u);
  EXPECT_EQ(list.LastTime(), library.back().time);
  // Same count, first time and last volume: nothing more happens, even with another price.
  library.back().close += 1;
  c = list.OnHistoryEvent(kDataLatest, 20, {}, source);
  EXPECT_FALSE(c.changed);
  // A new bar.
  library.push_back(Bar(library.back().time + 60, 3050));
  c = list.OnHistoryEvent(kDataLatest, 20, {}, source);
  EXPECT_TRUE(c.changed);
  EXPECT_EQ(list.Size(), 20u);
  EXPECT_EQ(c.firstChanged, 0u);  // the window moved by one bar
  // A library copy that comes back empty keeps what is shown.
  library.clear();
  list.OnHistoryEvent(kDataLatest, 20, {}, source);
  EXPECT_EQ(list.Size(), 20u);
}

TEST(ChartBarList, AnEmptyListWithoutEventBarsAsksTheLibrary) {
  ChartBarList list;
  int requests = 0;
  HistorySource source;
  source.requestHistory = [&] { ++requests; return Series(5); };
  list.OnHistoryEvent(kDataLatest, 100, {}, source);
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(list.Size(), 5u);
  list.Reset();
  EXPECT_EQ(list.Size(), 0u);
  // After a reset the same bars count as a change again.
  EXPECT_TRUE(list.OnHistoryEvent(kDataLatest, 100, {}, source).changed);
}

TEST(ChartBarList, RangedModeMergesByTime) {
  ChartBarList list;
  const HistorySource none;
  std::vector<DC_KData> first = Series(10);
  list.OnHistoryEvent(kDataRange, 100, first, none);
  std::vector<DC_KData> more{Bar(first[3].time, 1), Bar(first[9].time, 4000, 99), Bar(first[9].time + 60, 4001)};
  const BarChange c = list.OnHistoryEvent(kDataRange, 100, more, none);
  ASSERT_EQ(list.Size(), 11u);
  EXPECT_FLOAT_EQ(list.Bars()[3].close, first[3].close);  // older than the last bar: skipped
  EXPECT_FLOAT_EQ(list.Bars()[9].close, 4000);            // the last bar replaced
  EXPECT_EQ(c.firstChanged, 9u);
  // Bars out of time order in a first reply: the ordered part is kept.
  ChartBarList other;
  std::vector<DC_KData> bad = Series(6);
  bad[4].time = bad[1].time;
  other.OnHistoryEvent(kDataDisplay, 100, bad, none);
  EXPECT_EQ(other.Size(), 4u);
}

// ---- indicators ----

class ChartIndicatorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(home.Native(kSystemFormulaFile),
                    test::ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat"));
    manager.Load();
  }
  test::ScopedHome home;
  formula::CFormulaEngine engine;
  FormulaManager manager{&engine};
};

TEST_F(ChartIndicatorsTest, UpdatingTheLastBarGivesWhatAFullComputationGives) {
  std::vector<DC_KData> bars = Series(400);
  ChartIndicators live(&manager);
  live.SetPaneCount(3);
  ASSERT_TRUE(live.AddOverlay("MA"));
  ASSERT_TRUE(live.Load(1, "VOL"));
  ASSERT_TRUE(live.Load(2, "MACD"));
  EXPECT_FALSE(live.Load(2, "NOSUCH"));
  EXPECT_EQ(live.PaneIndicator(2), "MACD");
  live.Compute(bars.data(), bars.size());
  bars.back().close += 7;
  bars.back().volume += 5;
  live.Update(bars.data(), bars.size(), bars.size() - 1);
  bars.push_back(Bar(bars.back().time + 60, 3100));
  live.Update(bars.data(), bars.size(), bars.size() - 1);

  ChartIndicators fresh(&manager);
  fresh.SetPaneCount(3);
  fresh.AddOverlay("MA");
  fresh.Load(1, "VOL");
  fresh.Load(2, "MACD");
  fresh.Compute(bars.data(), bars.size());
  for (int pane = 0; pane < 3; ++pane) {
    const candlechart::PaneContent a = live.Content(pane), b = fresh.Content(pane);
    ASSERT_EQ(a.series.size(), b.series.size());
    ASSERT_FALSE(a.series.empty());
    for (std::size_t s = 0; s < a.series.size(); ++s) {
      ASSERT_EQ(a.series[s].values.size(), bars.size());
      for (std::size_t i = 0; i < bars.size(); ++i) {
        const double x = a.series[s].values[i], y = b.series[s].values[i];
        if (std::isnan(y)) EXPECT_TRUE(std::isnan(x));
        else EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::fabs(y))) << pane << " " << s << " " << i;
      }
    }
  }
  EXPECT_EQ(live.Content(2).title, "MACD(12,26,9)");
  EXPECT_EQ(live.Content(1).series[0].kind, candlechart::SeriesKind::VolStick);
}

TEST_F(ChartIndicatorsTest, TheTimeShareAverageIsMoneyOverLotsPerUnit) {
  std::vector<DC_KData> bars{Bar(0, 100, 10), Bar(60, 110, 30)};
  bars[0].amount = 100.0 * 10 * 10;
  bars[1].amount = 110.0 * 30 * 10;
  ChartIndicators c(&manager);
  c.SetAverageLine(true, 10);
  c.Compute(bars.data(), bars.size());
  const candlechart::PaneContent main = c.Content(0);
  ASSERT_EQ(main.series.size(), 1u);
  EXPECT_EQ(main.series[0].name, TXT("均价"));
  EXPECT_DOUBLE_EQ(main.series[0].values[0], 100);
  EXPECT_DOUBLE_EQ(main.series[0].values[1], (1000.0 + 3300) / 40);
  EXPECT_EQ(ChartIndicators::DefaultPanes(3, false), (std::vector<std::string>{"VOL", "MACD"}));
  EXPECT_EQ(ChartIndicators::DefaultPanes(2, true), (std::vector<std::string>{"VOL"}));
}

// ---- menus ----

TEST(ChartMenus, EntriesFollowTheObjectThePanesAndTheContract) {
  ChartMenuContext c;
  c.paneCount = 3;
  c.indicators = {{"MA", TXT("均线"), true}, {"MACD", "", false}, {"KDJ", "", false}};
  c.groups = {{TXT("趋势"), {"MACD", "NOSUCH"}}};
  std::vector<std::string> loads, overlays;
  auto ids = [](const std::vector<ChartMenuItem>& m) {
    std::vector<int> out;
    for (const ChartMenuItem& i : m) out.push_back(i.id);
    return out;
  };
  std::vector<ChartMenuItem> m = BuildChartMenu(c, &loads, &overlays);
  std::vector<int> top = ids(m);
  EXPECT_EQ(std::count(top.begin(), top.end(), kChartCmdDeleteObject), 0);
  EXPECT_EQ(std::count(top.begin(), top.end(), kChartCmdSplitTopBottom), 0);
  EXPECT_EQ(std::count(top.begin(), top.end(), kChartCmdQuoteAlert), 0);
  EXPECT_EQ(m[0].text, TXT("K线反转(Ctrl+F)"));
  ASSERT_EQ(m[1].children.size(), 6u);
  EXPECT_EQ(m[1].children[2].id, 2002);
  EXPECT_TRUE(m[1].children[2].checked);
  EXPECT_EQ(m[1].children[5].text, TXT("6图组合"));
  // Load: the group with what it knows of, then the rest; overlay: main-chart ones only.
  ASSERT_EQ(m[2].children.size(), 3u);
  EXPECT_EQ(m[2].children[0].text, TXT("趋势"));
  EXPECT_EQ(m[2].children[0].children.size(), 1u);
  EXPECT_EQ(loads, (std::vector<std::string>{"MACD", "MA", "KDJ"}));
  EXPECT_EQ(m[2].children[0].children[0].id, 5000);
  EXPECT_EQ(overlays, (std::vector<std::string>{"MA"}));
  bool found = false;
  for (const ChartMenuItem& i : m)
    if (i.id == kChartCmdToggleUser) found = i.text == TXT("加入自选(Ctrl+Z)");
  EXPECT_TRUE(found);

  c.objectKind = 21;
  c.inUserBlock = true;
  c.windowCommands = true;
  c.alertAvailable = true;
  m = BuildChartMenu(c, nullptr, nullptr);
  EXPECT_EQ(m[0].id, kChartCmdModifyText);
  EXPECT_EQ(m[0].text, TXT("修改"));
  EXPECT_EQ(m[1].id, kChartCmdDeleteObject);
  EXPECT_EQ(m[2].id, kChartCmdDeleteAll);
  top = ids(m);
  EXPECT_EQ(std::count(top.begin(), top.end(), kChartCmdSplitLeftRight), 1);
  EXPECT_EQ(std::count(top.begin(), top.end(), kChartCmdQuoteAlert), 1);
  for (const ChartMenuItem& i : m)
    if (i.id == kChartCmdToggleUser) {
      EXPECT_EQ(i.text, TXT("从自选移除"));
    }
  c.objectKind = 5;
  EXPECT_EQ(BuildChartMenu(c, nullptr, nullptr)[0].id, kChartCmdObjectStyle);
  const std::vector<ChartMenuItem> ind = BuildIndicatorMenu();
  EXPECT_EQ(ids(ind), (std::vector<int>{1001, 1004, 1003, 1006}));
}

TEST(ChartMenus, TheFormulaEditorStartsOnlyWhenItIsThere) {
  test::ScopedHome home;
  const EditorLaunch l = FormulaEditorLaunch("Tarn", "MACD");
  EXPECT_EQ(l.program, "MovoEditor.exe");
  EXPECT_EQ(l.parameters, "-ParentName Tarn -open MACD");
  EXPECT_EQ(l.directory, home.Native("\\formula"));
  EXPECT_FALSE(StartFormulaEditor(l));
  const std::string program = home.Native("\\formula\\MovoEditor.exe");
  const std::string marker = home.Native("\\formula\\started");
  test::WriteFile(program, "#!/bin/sh\necho \"$@\" > started\n");
  chmod(program.c_str(), 0755);
  ASSERT_TRUE(StartFormulaEditor(l));
  for (int i = 0; i < 200 && test::ReadFile(marker).empty(); ++i) usleep(10000);
  EXPECT_EQ(test::ReadFile(marker), "-ParentName Tarn -open MACD\n");  // run in the formula folder
}

// ---- order lines ----

OrderRecord Order(const char* key, const char* contract, int state, double price, int direction = 1) {
  OrderRecord o{};
  SetField(o.key, key);
  SetField(o.contract.key, contract);
  o.state = state;
  o.price = price;
  o.direction = direction;
  o.offset = 1;
  o.quantity = 3;
  return o;
}

TEST(OrderLines, WorkingOrdersConditionsAndPositionsOfTheContract) {
  std::vector<OrderRecord> orders{Order("a", "RB", 1, 3500), Order("b", "RB", 4, 3510), Order("c", "HC", 1, 3000),
                                  Order("d", "RB", 11, 0, 2), Order("e", "RB", 2, 0)};
  orders[3].triggerPrice = 3400;
  orders[3].conditionKind = 4;
  PositionRecord p{};
  SetField(p.contract.key, "RB");
  SetField(p.positionNumber, "P1");
  p.longQuantity = 2;
  p.longAverage = 3450;
  p.shortQuantity = 1;
  p.shortAverage = 3460;
  const std::vector<ChartOrderLine> lines = BuildOrderLines("RB", orders, {p}, {}, 0);
  ASSERT_EQ(lines.size(), 4u);  // a, d, and both sides; the filled b, the other contract, the market order e are out
  EXPECT_EQ(lines[0].line.id, "a");
  EXPECT_EQ(lines[0].line.label, TXT("买开 3手 3500"));
  EXPECT_EQ(lines[1].line.kind, candlechart::OrderLineKind::Condition);
  EXPECT_DOUBLE_EQ(lines[1].line.price, 3400);
  EXPECT_EQ(lines[2].line.kind, candlechart::OrderLineKind::Position);
  EXPECT_DOUBLE_EQ(lines[3].line.price, 3460);
  EXPECT_EQ(lines[3].line.direction, 2);
  OrderLineSwitches off{false, false, true};
  EXPECT_EQ(BuildOrderLines("RB", orders, {p}, off, 0).size(), 1u);
  EXPECT_TRUE(BuildOrderLines("", orders, {p}, {}, 0).empty());
}

TEST(OrderLines, DroppingALine) {
  ChartOrderLine order;
  order.isOrder = true;
  order.order = Order("a", "RB", 1, 3500);
  OrderLineDrop d = DropOrderLine(order, 3512.4, 1);
  EXPECT_EQ(d.action, OrderLineDrop::kModify);
  EXPECT_DOUBLE_EQ(d.price, 3512);
  EXPECT_EQ(d.quantity, 3);
  EXPECT_EQ(DropOrderLine(order, 3500.3, 1).action, OrderLineDrop::kNothing);  // the same tick
  EXPECT_EQ(DropOrderLine(order, -5, 1).action, OrderLineDrop::kNothing);
  for (int kind : {4, 5}) {
    ChartOrderLine stop = order;
    stop.order.state = 11;
    stop.order.conditionKind = kind;
    d = DropOrderLine(stop, 3300, 1);
    EXPECT_EQ(d.action, OrderLineDrop::kRefuse);
    EXPECT_EQ(d.message, TXT("保本单和浮动止损单不支持拖动"));
  }
  ChartOrderLine condition = order;
  condition.order.state = 11;
  condition.order.triggerPrice = 3400;
  d = DropOrderLine(condition, 3420, 1);
  EXPECT_EQ(d.action, OrderLineDrop::kModify);
  EXPECT_DOUBLE_EQ(d.price, 3420);
  ChartOrderLine position;
  EXPECT_EQ(DropOrderLine(position, 3420, 1).action, OrderLineDrop::kNothing);
}

// ---- the saved record ----

ChartContainerState SampleState() {
  ChartContainerState s;
  s.content = kContentKLine;
  s.contractKey = "SHFE|RB|2501";
  s.blockName = TXT("上期所");
  s.linked = true;
  s.period = {3, 15};
  s.inverted = true;
  s.paneCount = 4;
  s.barSpacing = 6.5;
  s.overlays = {"MA", "BOLL"};
  s.indicators = {"VOL", "", "KDJ"};
  s.cubeCards = {"SHFE|RB|2501", "DCE|M|2505"};
  s.cubeCardKinds = {kCubeCardContract, kCubeCardContract};
  candlechart::DrawObject o;
  o.kind = candlechart::kDrawText;
  o.text = TXT("压力");
  o.points = {{1700000000, 3500.5}};
  candlechart::DrawObject t;
  t.kind = candlechart::kDrawTriangle;
  t.points = {{1, 1}, {2, 2}, {3, 3}};
  t.dash = candlechart::Dash::Dash;
  s.objects = {o, t};
  return s;
}

TEST(OrderLines, AClickOnTheMainPanePointsAtATickPrice) {
  candlechart::ChartEngine e;
  e.Configure(0, false, 2, true);
  e.SetInstrument("RB", 1, 3, 60);
  e.Resize(900, 600);
  std::vector<DC_KData> bars;
  for (int i = 0; i < 200; ++i) {
    DC_KData b{};
    b.time = 1700000000 + i * 60;
    b.open = b.close = static_cast<float>(3000 + i);
    b.high = b.open + 5;
    b.low = b.open - 5;
    bars.push_back(b);
  }
  e.SetBars(bars);
  e.Scene();
  const auto& main = e.PaneBoxes()[0];
  const int mid = (main.top + main.bottom) / 2;
  const auto p = PriceAtClick(e, 100, mid, 0.2);
  ASSERT_TRUE(p);
  EXPECT_NEAR(*p, e.ValueAt(0, mid), 0.1 + 1e-9);
  EXPECT_NEAR(std::fmod(*p + 1e-9, 0.2), 0, 1e-6);  // on the tick
  // Higher on the screen is a higher price.
  EXPECT_GT(*PriceAtClick(e, 100, main.top + 2, 0), *PriceAtClick(e, 100, main.bottom - 2, 0));
  EXPECT_DOUBLE_EQ(*PriceAtClick(e, 100, mid, 0), e.ValueAt(0, mid));
  // The price axis, the indicator pane, above the plot: no price.
  EXPECT_FALSE(PriceAtClick(e, e.PlotRight() + 2, mid, 0.2));
  EXPECT_FALSE(PriceAtClick(e, 100, main.bottom + 3, 0.2));
  EXPECT_FALSE(PriceAtClick(e, 100, main.top - 1, 0.2));
  // An inverted chart turns the scale over, and the click follows it.
  e.SetInverted(true);
  e.Scene();
  EXPECT_LT(*PriceAtClick(e, 100, main.top + 2, 0), *PriceAtClick(e, 100, main.bottom - 2, 0));
}

TEST(ChartState, ARecordReadsBackWhole) {
  ArchiveWriter w;
  WriteChartState(w, SampleState());
  ArchiveReader r(w.Data());
  ChartContainerState back;
  ASSERT_TRUE(ReadChartState(r, &back));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(back, SampleState());
  int32_t version = 0;
  ArchiveReader head(w.Data());
  head.Int32(version);
  EXPECT_EQ(version, 20);
}

TEST(ChartState, CombinationCardsKeepTheirPlaceAndKind) {
  ChartContainerState s = SampleState();
  s.cubeCards = {"SHFE|RB|2501", "SHFE|rb2601_1_1|SHFE|rb2605_2_1", "DCE|M|2505"};
  s.cubeCardKinds = {kCubeCardContract, kCubeCardStrategy, kCubeCardContract};
  ArchiveWriter w;
  WriteChartState(w, s);
  ArchiveReader r(w.Data());
  ChartContainerState back;
  ASSERT_TRUE(ReadChartState(r, &back));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(back, s);
  ArchiveWriter again;
  WriteChartState(again, back);
  EXPECT_EQ(again.Data(), w.Data());  // byte for byte
  // Kinds missing in memory are written as contracts.
  s.cubeCardKinds.clear();
  ArchiveWriter w2;
  WriteChartState(w2, s);
  ArchiveReader r2(w2.Data());
  ASSERT_TRUE(ReadChartState(r2, &back));
  EXPECT_EQ(back.cubeCardKinds, (std::vector<int32_t>{0, 0, 0}));
  // A kind this terminal does not know, or a count that does not match the cards, is damage.
  std::string bad = w.Data();
  bad[bad.size() - 8] = 7;  // the second card's kind
  ArchiveReader r3(bad);
  EXPECT_FALSE(ReadChartState(r3, &back));
  EXPECT_EQ(back.cubeCards.size(), 3u);  // what was read stays
  std::string count = w.Data();
  count[count.size() - 16] = 2;
  ArchiveReader r4(count);
  EXPECT_FALSE(ReadChartState(r4, &back));
}

TEST(ChartState, AVersion19RecordsCardsAreContracts) {
  ArchiveWriter w;
  ChartContainerState s = SampleState();
  WriteChartState(w, s);
  std::string bytes = w.Data();
  bytes[0] = 19;
  bytes.resize(bytes.size() - 4 - 2 * 4);  // without the kinds
  ArchiveReader r(bytes);
  ChartContainerState back;
  ASSERT_TRUE(ReadChartState(r, &back));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(back.cubeCards, s.cubeCards);
  EXPECT_EQ(back.cubeCardKinds, (std::vector<int32_t>{0, 0}));
}

TEST(ChartState, AVersion18RecordHasNoCubeCards) {
  ArchiveWriter w;
  ChartContainerState s = SampleState();
  WriteChartState(w, s);
  std::string bytes = w.Data();
  bytes[0] = 18;
  bytes.resize(bytes.size() - 4 - 2 * 4 - 4 - 1 - 12 - 1 - 10);  // without the cards and their kinds
  ArchiveReader r(bytes);
  ChartContainerState back;
  ASSERT_TRUE(ReadChartState(r, &back));
  EXPECT_TRUE(back.cubeCards.empty());
  EXPECT_EQ(back.objects, s.objects);
}

TEST(ChartState, ACutOrDamagedRecordKeepsWhatItRead) {
  ArchiveWriter w;
  WriteChartState(w, SampleState());
  const std::string bytes = w.Data();
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    ArchiveReader r(std::string_view(bytes).substr(0, cut));
    ChartContainerState s;
    EXPECT_FALSE(ReadChartState(r, &s)) << cut;
    EXPECT_FALSE(r.Ok());
    if (cut > 40) {
      EXPECT_EQ(s.contractKey, "SHFE|RB|2501");
    }
  }
  // A newer terminal's record, and an object with more points than any tool takes.
  std::string newer = bytes;
  newer[0] = 21;
  ArchiveReader r1(newer);
  ChartContainerState s1;
  EXPECT_FALSE(ReadChartState(r1, &s1));
  EXPECT_FALSE(r1.Ok());
  ChartContainerState many = SampleState();
  many.objects[1].points.push_back({4, 4});
  ArchiveWriter w2;
  WriteChartState(w2, many);
  ArchiveReader r2(w2.Data());
  ChartContainerState s2;
  EXPECT_FALSE(ReadChartState(r2, &s2));
  EXPECT_EQ(s2.objects.size(), 1u);  // the sound object before it stays
  // Garbage.
  std::string garbage(300, '\xff');
  ArchiveReader r3(garbage);
  ChartContainerState s3;
  EXPECT_FALSE(ReadChartState(r3, &s3));
}

TEST(ChartObjectStore, ObjectsAreKeptByContractAndPeriod) {
  ChartObjectStore& store = ChartObjectStore::Instance();
  store.Clear();
  store.Put("RB", {5, 1}, SampleState().objects);
  EXPECT_EQ(store.Get("RB", {5, 1}).size(), 2u);
  EXPECT_TRUE(store.Get("RB", {3, 1}).empty());
  EXPECT_TRUE(store.Get("HC", {5, 1}).empty());
  store.Put("RB", {5, 1}, {});
  EXPECT_TRUE(store.Get("RB", {5, 1}).empty());
}

// ---- dialog checks and the empty container ----

TEST(ChartForms, IndicatorParametersAreNumbersInTheirRange) {
  formula::FormulaDef def;
  def.params = {{"N", 12, 2, 200}, {"M", 26, 2, 200}};
  std::vector<ParamRow> rows = IndicatorParamRows(def, {10});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].value, "10");
  EXPECT_EQ(rows[1].value, "26");
  std::vector<double> values;
  std::string error;
  ASSERT_TRUE(ReadIndicatorParams(rows, &values, &error));
  EXPECT_EQ(values, (std::vector<double>{10, 26}));
  rows[1].value = "201";
  EXPECT_FALSE(ReadIndicatorParams(rows, &values, &error));
  EXPECT_NE(error.find("M"), std::string::npos);
  rows[1].value = "2x";
  EXPECT_FALSE(ReadIndicatorParams(rows, &values, &error));
  rows[1].value = " 7 ";
  EXPECT_TRUE(ReadIndicatorParams(rows, &values, &error));
}

TEST(ChartForms, ObjectTextsAreTrimmedAndCutOnACharacter) {
  std::string out, error;
  EXPECT_FALSE(CheckObjectText("   ", &out, &error));
  EXPECT_EQ(error, TXT("文字不能为空"));
  ASSERT_TRUE(CheckObjectText("  ab ", &out, &error));
  EXPECT_EQ(out, "ab");
  std::string longText = "a";
  for (int i = 0; i < 150; ++i) longText += TXT("中");
  ASSERT_TRUE(CheckObjectText(longText, &out, &error));
  EXPECT_EQ(out.size(), 199u);  // "a" and 99 whole characters
}

TEST(ChartForms, TheSevenButtonsFollowTheContainersWidth) {
  auto perRow = [](int w) {
    const std::vector<ButtonBox> b = ContainerButtonBoxes(w, 400);
    int n = 0;
    while (n < 7 && b[n].y == b[0].y) ++n;
    return n;
  };
  EXPECT_EQ(perRow(400), 4);
  EXPECT_EQ(perRow(399), 2);
  EXPECT_EQ(perRow(200), 2);
  EXPECT_EQ(perRow(199), 1);
  const std::vector<ButtonBox> b = ContainerButtonBoxes(800, 400);
  EXPECT_EQ(b[0].w, 140);                 // 70% of 800 over four
  EXPECT_EQ(b[0].h, 70);                  // at most half the width (140 of 70% of 400 over 2)
  EXPECT_EQ(b[0].x, (800 - 4 * 140) / 2);  // centred
  EXPECT_EQ(ContainerButtonBoxes(800, 100)[0].h, 35);
  EXPECT_EQ(ContainerButtonLabels()[0], TXT("K线图"));
  EXPECT_EQ(ContainerButtonLabels()[6], TXT("关闭窗口"));
  EXPECT_EQ(ContainerButtonAction(2), kContentQuoteGrid);
  EXPECT_EQ(ContainerButtonAction(5), -2);
}

}  // namespace
}  // namespace tarn
