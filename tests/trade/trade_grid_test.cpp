// The trade grid's logic: layout and widths in the user's settings, the remark file, the rows'
// texts and colours, and the model's refresh (which rows change, what it formats again).
#include <gtest/gtest.h>

#include "data/trade_enums.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/grid/position_remarks.h"
#include "trade/grid/trade_grid_model.h"
#include "trade/grid/trade_grid_tabs.h"
#include "trade_fakes.h"

namespace tarn::test {
namespace {

constexpr const char* kUser = "\\user\\setting.ini";

ContractInfo TestInfo(const DC_Contract&) { return ContractInfo{1, 10, 1}; }

// ---- layout and widths -------------------------------------------------------------------------

TEST(TradeGridLayout, OldVersionRestoresTheDefaultAndWritesFive) {
  ScopedHome home;
  Profile::WriteString(kUser, "TradeGrid1", "value", "3,2,1");
  Profile::WriteString(kUser, "TradeGrid2", "value", "0,4");
  Profile::WriteString(kUser, "TradeGridLayout", "version", "4");
  TradeGridLayout layout = RestoreTradeGridLayout();
  EXPECT_EQ(layout.first, DefaultTabGroup());
  EXPECT_TRUE(layout.second.empty());
  EXPECT_EQ(Profile::GetInt(kUser, "TradeGridLayout", "version", 0), 5);
  // The user drags a tab into a second group: the arrangement survives the next start.
  ASSERT_TRUE(SaveTradeGridLayout({{0, 1, 3, 4, 5, 6, 7}, {2}}));
  EXPECT_EQ(Profile::GetString(kUser, "TradeGrid1", "value", ""), "0,1,3,4,5,6,7");
  layout = RestoreTradeGridLayout();
  EXPECT_EQ(layout.first, (std::vector<int>{0, 1, 3, 4, 5, 6, 7}));
  EXPECT_EQ(layout.second, (std::vector<int>{2}));
}

TEST(TradeGridLayout, ItemsOutsideTheKindsAndRepeatsAreDropped) {
  EXPECT_EQ(ParseTabKinds("0,9,-1,x,2,,2,7"), (std::vector<int>{0, 2, 7}));
  std::vector<bool> taken(kTradeTabCount, false);
  EXPECT_EQ(ParseTabKinds("1,2", &taken), (std::vector<int>{1, 2}));
  EXPECT_EQ(ParseTabKinds("2,3", &taken), (std::vector<int>{3}));  // a tab is shown once
  ScopedHome home;
  Profile::WriteString(kUser, "TradeGrid1", "value", "12,13");
  Profile::WriteString(kUser, "TradeGridLayout", "version", "5");
  EXPECT_EQ(RestoreTradeGridLayout().first, DefaultTabGroup());  // nothing left to show
}

TEST(TradeGridLayout, WidthListMustMatchTheColumnCount) {
  ScopedHome home;
  const std::size_t n = TabColumns(kTabFills).size();
  ASSERT_EQ(n, 9u);
  Profile::WriteString(kUser, "TradeGridColWid", "103", "40,80,50,50,60,70,70,60");  // one too few
  EXPECT_FALSE(LoadColumnWidths(103, n));
  Profile::WriteString(kUser, "TradeGridColWid", "103", "40,80,50,50,60,70,70,60,120,5");  // one too many
  EXPECT_FALSE(LoadColumnWidths(103, n));
  ASSERT_TRUE(SaveColumnWidths(103, {40, 80, 50, 50, 60, 70, 70, 60, 120}));
  EXPECT_EQ(Profile::GetString(kUser, "TradeGridColWid", "103", ""), "40,80,50,50,60,70,70,60,120");
  EXPECT_EQ(*LoadColumnWidths(103, n), (std::vector<int>{40, 80, 50, 50, 60, 70, 70, 60, 120}));
  // Widths no window can use are brought into range.
  EXPECT_EQ(*ParseColumnWidths("0,-5,99999", 3), (std::vector<int>{8, 8, 2000}));
}

TEST(TradeGridTabs, TitlesIdsAndMenus) {
  EXPECT_EQ(TabTitleWithCount(kTabPositions, 3), TXT("F5持仓(3)"));
  EXPECT_EQ(TabTitleWithCount(kTabAutoStops, 0), TXT("自动止损(本地)(0)"));
  EXPECT_EQ(TabControlId(kTabFills), 103);
  EXPECT_EQ(TabOfControl(108), kTabDetails);
  EXPECT_EQ(TabOfControl(109), -1);
  EXPECT_EQ(TabColumns(kTabDetails).back().title, TXT("持仓号"));
  // A filled order's menu offers only "全部撤单".
  std::vector<GridButton> menu = TabContextMenu(kTabOrders, true, false);
  ASSERT_EQ(menu.size(), 1u);
  EXPECT_EQ(menu[0].code, 102);
  EXPECT_EQ(TabContextMenu(kTabOrders, true, true).size(), 3u);
  // A triggered OCO pair cannot be modified.
  menu = TabContextMenu(kTabOco, true, false);
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].code, 102);
}

// ---- remarks -----------------------------------------------------------------------------------

TEST(PositionRemarks, FileRoundTripEmptyRemarkAndDamage) {
  ScopedHome home;
  PositionRemarkStore store;
  store.Load();
  EXPECT_TRUE(store.All().empty());  // no file yet
  ASSERT_TRUE(store.Set("rb2601_B", TXT("长线")));
  ASSERT_TRUE(store.Set("S0001", "x"));
  ASSERT_TRUE(store.Set("au2602_S", "y"));
  const std::string bytes = ReadFile(home.Native("\\user\\pos_remark.dat"));
  // Version 1, three entries, keys in ascending byte order.
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\0\0\0\x03\0\0\0", 8));
  EXPECT_EQ(bytes.substr(8, 10), std::string("\x05S0001\x01x\x08" "a", 10));
  ASSERT_TRUE(store.Set("S0001", ""));  // an empty remark removes the entry from the file
  PositionRemarkStore again;
  again.Load();
  EXPECT_EQ(again.All().size(), 2u);
  EXPECT_EQ(again.Get("rb2601_B"), TXT("长线"));
  EXPECT_EQ(again.Get("S0001"), "");
  // A cut file keeps the entries before the cut; garbage gives nothing and no crash.
  const std::string full = SerializeRemarkFile(again.All());
  bool complete = true;
  RemarkMap cut = ParseRemarkFile(full.substr(0, full.size() - 2), &complete);
  EXPECT_FALSE(complete);
  EXPECT_EQ(cut.size(), 1u);
  EXPECT_TRUE(ParseRemarkFile(std::string("\x01\0\0\0\xff\xff\xff\x7f", 8), &complete).empty());
  EXPECT_FALSE(complete);
  WriteFile(home.Native("\\user\\pos_remark.dat"), "garbage!garbage!");
  again.Load();
  EXPECT_TRUE(again.All().empty());
}

TEST(PositionRemarks, KeysOfRowsAndCleanUp) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  EXPECT_EQ(PositionRemarkKey(TestPosition("rb2601", 2, 0)), "rb2601_B");
  EXPECT_EQ(PositionRemarkKey(TestPosition("rb2601", 0, 1)), "rb2601_S");
  store.Set("rb2601_B", "a");
  store.Set("cu2601_S", "gone");
  store.Set("P7", "lot");
  store.Set("P8", "lot gone");
  api.positions = {TestPosition("rb2601", 2, 0)};
  PositionDetail d{};
  d.contract = TestContract("rb2601");
  d.direction = 1;
  d.quantity = 2;
  SetField(d.positionNumber, "P7");
  api.details = {d};
  TradeGridModel model(store, TestInfo);
  // The first refresh cleans up against the library's details, even though the model has not
  // read them yet: the lot's remark stays.
  model.Refresh(api, true);
  EXPECT_EQ(store.All().size(), 2u);
  EXPECT_EQ(store.Get("P7"), "lot");
  EXPECT_EQ(model.CellText(kTabPositions, 0, 13), "a");
  EXPECT_EQ(model.CellText(kTabDetails, 0, 11), "lot");
  PositionRemarkStore reread;
  reread.Load();
  EXPECT_EQ(reread.All().size(), 2u);
  // With no position shown nothing is cleaned up.
  api.positions = {TestPosition("rb2601", 0, 0)};
  api.details.clear();
  model.Refresh(api, false);
  EXPECT_EQ(store.All().size(), 2u);
}

// ---- rows --------------------------------------------------------------------------------------

TEST(TradeGridRows, PositionSidesQuantitiesAndMoney) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  PositionRecord both = TestPosition("rb2601", 3, 2, 1, 0);
  both.longAverage = 3512.345;
  both.longFloatProfit = 150.4;
  both.shortFloatProfit = -30;
  both.longPositionProfit = -0.004;
  both.longMargin = 4000;
  PositionRecord shortOnly = TestPosition("au2602", 0, 4, 0, 4);
  shortOnly.shortAverage = 560.5;
  shortOnly.shortFloatProfit = -120;
  shortOnly.shortMargin = 0;
  api.positions = {TestPosition("cu2601", 0, 0), both, shortOnly};
  TradeGridModel model(store, TestInfo);
  model.Refresh(api, true);
  ASSERT_EQ(model.RowCount(kTabPositions), 2);  // nothing held is not shown
  EXPECT_EQ(model.Title(kTabPositions), TXT("F5持仓(2)"));
  EXPECT_EQ(model.PositionAt(0)->contract.Code(), "rb2601");
  // Both sides open: the long side.
  EXPECT_EQ(model.CellText(kTabPositions, 0, 2), TXT("多头"));
  EXPECT_EQ(model.CellText(kTabPositions, 0, 3), "3");
  EXPECT_EQ(model.CellText(kTabPositions, 0, 4), "3512.345");  // decimals + 2, zeros trimmed
  EXPECT_EQ(model.Cell(kTabPositions, 0, 5)->text, "150");
  EXPECT_EQ(model.Cell(kTabPositions, 0, 5)->color, kProfitColor);
  // (150.4 - 30) / 5 lots / multiplier 10
  EXPECT_EQ(model.CellText(kTabPositions, 0, 6), "2.41");
  EXPECT_EQ(model.Cell(kTabPositions, 0, 7)->text, "0");
  EXPECT_EQ(model.Cell(kTabPositions, 0, 7)->color, kZeroMoneyColor);
  EXPECT_EQ(model.CellText(kTabPositions, 0, 10), "2");  // yesterday's lots
  EXPECT_EQ(model.CellText(kTabPositions, 0, 11), "1");
  EXPECT_EQ(model.CellText(kTabPositions, 0, 12), "3.76%");
  EXPECT_EQ(model.CellText(kTabPositions, 1, 2), TXT("空头"));
  EXPECT_EQ(model.CellText(kTabPositions, 1, 4), "560.5");
  EXPECT_EQ(model.Cell(kTabPositions, 1, 5)->color, kLossColor);
  EXPECT_EQ(model.CellText(kTabPositions, 1, 10), "0");
  EXPECT_EQ(model.CellText(kTabPositions, 1, 12), "");  // no margin, no rate
  EXPECT_EQ(model.CellText(kTabPositions, 1, 0), "2");
  EXPECT_EQ(model.PositionAt(2), nullptr);
}

TEST(TradeGridRows, StopOrdersOfAPosition) {
  const DC_Contract rb = TestContract("rb2601");
  auto stop = [&](int kind, int direction, double trigger, const char* number) {
    OrderRecord o = TestOrder("c", "rb2601", 11, 1);
    o.direction = direction;
    o.offset = 2;
    o.conditionKind = kind;
    o.triggerPrice = trigger;
    o.quantity = 2;
    SetField(o.positionNumber, number);
    return o;
  };
  std::vector<OrderRecord> orders = {stop(1, 2, 3400, "P1"), stop(0, 2, 3600, "P2"), stop(1, 1, 3700, "P1")};
  OrderRecord trailing = stop(4, 2, 0, "P1");
  trailing.price = 3450;
  trailing.ticks = 5;
  OrderRecord breakEven = stop(5, 2, 0, "P1");
  breakEven.price = 3500;
  breakEven.ticks = 3;
  OrderRecord fired = stop(1, 2, 3300, "P1");
  fired.state = 12;
  orders.push_back(trailing);
  orders.push_back(breakEven);
  orders.push_back(fired);
  EXPECT_EQ(StopOrderText(orders, rb, true, "", 1),
            TXT("损:2手@3400.0   盈:2手@3600.0  浮:3450.0 价差:5  保:3500.0 价差:3(未满足)"));
  EXPECT_EQ(StopOrderText(orders, rb, true, "P2", 1), TXT("盈:2手@3600.0"));
  // A buy stop of kind 1 closes the short side at a profit.
  EXPECT_EQ(StopOrderText(orders, rb, false, "", 1), TXT("盈:2手@3700.0"));
  breakEven.stopPrice = 3501;
  EXPECT_EQ(StopOrderText({breakEven}, rb, true, "", 1), TXT("保:3501.0 价差:3(已满足)"));
  EXPECT_EQ(StopOrderText({stop(1, 2, 3400, "P1")}, rb, true, "", 1), TXT("损:2手@3400.0"));  // trailing space gone
}

TEST(TradeGridRows, OrdersWorkingAndConditionOrders) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  OrderRecord a = TestOrder("A", "rb2601", 4);
  a.filledQuantity = 1;
  a.averageFillPrice = 3501;
  OrderRecord b = TestOrder("B", "rb2601", 2);
  b.priceType = 1;
  b.direction = 2;
  b.offset = 3;
  OrderRecord c = TestOrder("C", "rb2601", 10);
  c.errorCode = 31;
  SetField(c.errorText, TXT("资金不足"));
  OrderRecord d = TestOrder("D", "rb2601", 11, 1);
  d.conditionKind = 1;
  d.triggerPrice = 3400;
  d.sendPriceMode = 2;
  d.ticks = 2;
  d.longTerm = 1;
  api.orders = {a, b, c, d};
  TradeGridModel model(store, TestInfo);
  model.Refresh(api, true);
  // All ordinary orders, newest first.
  ASSERT_EQ(model.RowCount(kTabOrders), 3);
  EXPECT_EQ(model.OrderAt(kTabOrders, 0)->Key(), "C");
  EXPECT_EQ(model.CellText(kTabOrders, 0, 8), TXT("指令失败"));
  EXPECT_EQ(model.CellText(kTabOrders, 0, 11), TXT("31:资金不足"));
  EXPECT_EQ(model.CellText(kTabOrders, 1, 5), TXT("市价"));
  EXPECT_EQ(model.CellText(kTabOrders, 1, 3), TXT("平今"));
  EXPECT_EQ(model.Cell(kTabOrders, 1, 2)->color, kSellColor);
  EXPECT_EQ(model.CellText(kTabOrders, 2, 7), "3501.0");
  EXPECT_EQ(model.CellText(kTabOrders, 1, 7), "");  // nothing filled, no fill price
  // Working: only the queued ordinary order (the condition order is not an ordinary one).
  ASSERT_EQ(model.RowCount(kTabWorking), 1);
  EXPECT_EQ(model.OrderAt(kTabWorking, 0)->Key(), "B");
  ASSERT_EQ(model.RowCount(kTabConditions), 1);
  EXPECT_EQ(model.CellText(kTabConditions, 0, 5), TXT("对盘价+2跳"));
  EXPECT_EQ(model.CellText(kTabConditions, 0, 7), TXT("最新价<=3400.0"));
  EXPECT_EQ(model.CellText(kTabConditions, 0, 8), TXT("长期"));
  EXPECT_EQ(model.Title(kTabConditions), TXT("条件单(1)"));
}

TEST(TradeGridRows, FillSummaryAveragesAndMergesCloseToday) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  auto fill = [](const char* number, int offset, int qty, double price, double fee) {
    FillRecord f{};
    SetField(f.fillNumber, number);
    f.contract = TestContract("rb2601");
    f.direction = 1;
    f.offset = offset;
    f.quantity = qty;
    f.price = price;
    f.fee = fee;
    f.closeProfit = -0.001;
    return f;
  };
  api.fills = {fill("1", 1, 1, 100, 1), fill("2", 1, 3, 104, 3), fill("3", 3, 1, 110, 1), fill("4", 2, 1, 112, 1)};
  TradeGridModel model(store, TestInfo);
  model.Refresh(api, true);
  ASSERT_EQ(model.RowCount(kTabFills), 4);
  EXPECT_EQ(model.CellText(kTabFills, 0, 6), "0.00");  // "-0.00" reads "0.00"
  model.SetFillSummary(true);
  ASSERT_EQ(model.RowCount(kTabFills), 2);
  EXPECT_EQ(model.Title(kTabFills), TXT("F1成交(2)"));
  EXPECT_EQ(model.CellText(kTabFills, 0, 4), "4");
  EXPECT_EQ(model.CellText(kTabFills, 0, 5), "103.0");
  EXPECT_EQ(model.CellText(kTabFills, 1, 3), TXT("平仓"));
  EXPECT_EQ(model.CellText(kTabFills, 1, 4), "2");
  EXPECT_EQ(model.CellText(kTabFills, 1, 5), "111.0");
  EXPECT_EQ(model.CellText(kTabFills, 1, 7), "2.00");
  EXPECT_EQ(model.FillAt(0), nullptr);  // summary rows are no fills
  model.SetFillSummary(false);
  EXPECT_EQ(model.RowCount(kTabFills), 4);
}

TEST(TradeGridRows, LocalEngines) {
  ScopedHome home;
  PositionRemarkStore store;
  TradeGridModel model(store, TestInfo);
  OcoOrder o;
  o.id = 1;
  o.contract = TestContract("au2602");
  o.price1 = 570;
  o.price2 = 550;
  o.quantity = 2;
  o.state = 2;
  model.RefreshOco({o});
  EXPECT_EQ(model.CellText(kTabOco, 0, 2), "570.0");
  EXPECT_EQ(model.CellText(kTabOco, 0, 10), TXT("已触发_B"));
  AutoCoverStop s;
  s.order = TestOrder("A", "rb2601", 4);
  s.order.filledQuantity = 3;
  s.direction = 2;
  s.openPrice = 3500;
  s.stopLossPrice = 3510;
  s.breakEvenTicks = 4;
  model.RefreshAutoStops({s});
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 2), TXT("空头"));
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 3), "3");
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 4), "3500.00");
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 5), "3510.0");
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 6), "");
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 8), TXT("未生效"));
  s.breakEvenArmed = true;
  model.RefreshAutoStops({s});
  EXPECT_EQ(model.CellText(kTabAutoStops, 0, 8), "3500.0");
}

// ---- refresh -----------------------------------------------------------------------------------

TEST(TradeGridModelRefresh, OnlyChangedRecordsAreFormattedAndReported) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  for (int i = 0; i < 50; ++i) api.orders.push_back(TestOrder(Format("K%d", i).c_str(), "rb2601", 2));
  TradeGridModel model(store, TestInfo);
  model.Refresh(api, true);
  TabChanges first = model.TakeChanges(kTabOrders);
  EXPECT_TRUE(first.countChanged);
  EXPECT_EQ(first.rows.size(), 50u);
  const long long formatted = model.FormattedRows();
  // One order fills: one row of each tab it is shown in is formatted again.
  api.orders[10].state = 4;
  model.Refresh(api, true);
  EXPECT_EQ(model.FormattedRows() - formatted, 1);  // all orders; it left the working tab
  TabChanges changes = model.TakeChanges(kTabOrders);
  EXPECT_FALSE(changes.countChanged);
  EXPECT_EQ(changes.rows, std::vector<int>{39});
  EXPECT_EQ(model.CellText(kTabOrders, 39, 8), TXT("完全成交"));
  EXPECT_EQ(model.RowCount(kTabWorking), 49);
  // A new order goes on top: every row moves, none is formatted again but the new one.
  const long long before = model.FormattedRows();
  api.orders.push_back(TestOrder("K50", "rb2601", 2));
  model.Refresh(api, true);
  EXPECT_EQ(model.FormattedRows() - before, 2);  // its row in all orders and in working orders
  EXPECT_EQ(model.OrderAt(kTabOrders, 0)->Key(), "K50");
  EXPECT_EQ(model.OrderAt(kTabOrders, 40)->Key(), "K10");
  // Orders that are gone: the tab shrinks and their rows no longer map.
  api.orders.clear();
  model.Refresh(api, true);
  EXPECT_EQ(model.RowCount(kTabOrders), 0);
  EXPECT_TRUE(model.TakeChanges(kTabOrders).countChanged);
  EXPECT_EQ(model.OrderAt(kTabOrders, 0), nullptr);
  EXPECT_EQ(model.Title(kTabOrders), TXT("F9委托(0)"));
}

TEST(TradeGridModelRefresh, PositionsOnlyRefreshLeavesOrdersAlone) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  TradeGridModel model(store, TestInfo);
  api.orders = {TestOrder("A", "rb2601", 2)};
  api.positions = {TestPosition("rb2601", 1, 0)};
  model.Refresh(api, true);
  const int calls = api.listCalls;
  api.positions[0].longFloatProfit = 10;
  model.Refresh(api, false);
  EXPECT_EQ(api.listCalls, calls);  // no order list read
  EXPECT_EQ(model.CellText(kTabPositions, 0, 5), "10");
  EXPECT_EQ(model.TakeChanges(kTabPositions).rows, std::vector<int>{0});
}

TEST(TradeGridModelRefresh, ChangedCommodityTermsFormatTheRowsAgain) {
  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  int decimals = 2;  // as the quote library knows the contract at first
  TradeGridModel model(store, [&](const DC_Contract&) { return ContractInfo{decimals, 10, 1}; });
  api.orders = {TestOrder("A", "rb2601", 2)};
  FillRecord f{};
  f.contract = TestContract("rb2601");
  f.price = 3500;
  api.fills = {f};
  model.Refresh(api, true);
  EXPECT_EQ(model.CellText(kTabOrders, 0, 5), "3500.00");
  model.Refresh(api, true);
  decimals = 0;
  model.Refresh(api, true);
  EXPECT_EQ(model.CellText(kTabOrders, 0, 5), "3500");
  EXPECT_EQ(model.CellText(kTabWorking, 0, 5), "3500");
  EXPECT_EQ(model.CellText(kTabFills, 0, 5), "3500");
}

TEST(TradeRefreshSignal, BurstsPostOnceAndPartialPositionsOnlyMarkDirty) {
  TradeRefreshSignal s;
  EXPECT_TRUE(s.FullChange());
  EXPECT_FALSE(s.FullChange());  // one message waits already
  EXPECT_FALSE(s.LightChange());
  s.MessageTaken();
  EXPECT_TRUE(s.TakeFull());
  EXPECT_FALSE(s.TakeFull());
  EXPECT_FALSE(s.PositionsChanged(false));
  EXPECT_TRUE(s.TakeDirty());
  EXPECT_FALSE(s.TakeDirty());
  EXPECT_TRUE(s.PositionsChanged(true));
  EXPECT_FALSE(s.TakeFull());  // a complete position list is no full refresh
}

// ---- the trade feed's change sets -------------------------------------------------------------

// A model fed change sets shows what a model that reads every list again shows, and formats only
// the rows the set touches.
TEST(TradeGridModelApply, ChangeSetsMatchAFullReadAndFormatOnlyWhatChanged) {
  GridFakeApi api;
  api.orders = {TestOrder("A", "rb2601", 2), TestOrder("B", "au2602", 2), TestOrder("S", "rb2601", 11, 1)};
  api.orders[2].offset = 2;
  api.orders[2].direction = 2;
  api.positions = {TestPosition("rb2601", 2, 0), TestPosition("au2602", 0, 1)};
  FillRecord f{};
  f.contract = TestContract("rb2601");
  f.direction = 1;
  f.offset = 1;
  f.quantity = 1;
  SetField(f.fillNumber, "F1");
  api.fills = {f};
  PositionRemarkStore store;
  TradeGridModel model(store, TestInfo);
  TradeChangeSet reload;
  reload.reload = true;
  reload.orders = api.orders;
  reload.fills = api.fills;
  model.Apply(reload, &api, true);
  for (int t = 0; t < kTradeTabCount; ++t) model.TakeChanges(t);
  auto sameAsFullRead = [&] {
    PositionRemarkStore otherStore;
    TradeGridModel full(otherStore, TestInfo);
    full.Refresh(api, true);
    for (int tab : {kTabPositions, kTabOrders, kTabWorking, kTabFills, kTabConditions, kTabDetails}) {
      ASSERT_EQ(model.RowCount(tab), full.RowCount(tab)) << "tab " << tab;
      for (int r = 0; r < full.RowCount(tab); ++r)
        for (int c = 0; c < static_cast<int>(TabColumns(tab).size()); ++c)
          ASSERT_EQ(model.CellText(tab, r, c), full.CellText(tab, r, c)) << "tab " << tab << " row " << r << " col " << c;
    }
  };
  sameAsFullRead();
  // B fills: its row on the all-orders tab (row 0, newest first) is formatted again, it leaves
  // the working tab; its fill is added at the end of the fills; one position changes.
  const long long formatted = model.FormattedRows();
  api.orders[1].state = 4;
  api.orders[1].filledQuantity = 1;
  FillRecord f2 = f;
  f2.contract = TestContract("au2602");
  SetField(f2.fillNumber, "F2");
  api.fills.push_back(f2);
  api.positions[1].shortQuantity = 2;
  TradeChangeSet set;
  set.orders = {api.orders[1]};
  set.fills = {f2};
  set.positions = set.positionsComplete = true;
  model.Apply(set, &api, true);
  EXPECT_EQ(model.FormattedRows() - formatted, 3);  // B's row, F2's row, the short position's row
  EXPECT_EQ(model.TakeChanges(kTabOrders).rows, std::vector<int>{0});
  const TabChanges working = model.TakeChanges(kTabWorking);
  EXPECT_TRUE(working.countChanged);
  const TabChanges fills = model.TakeChanges(kTabFills);
  EXPECT_TRUE(fills.countChanged);
  EXPECT_EQ(fills.rows, std::vector<int>{1});
  EXPECT_EQ(model.TakeChanges(kTabPositions).rows, std::vector<int>{1});
  sameAsFullRead();
  // A new order goes on top of the newest-first tabs; the stop order's new trigger shows in the
  // position's stops column.
  api.orders.push_back(TestOrder("C", "cu2603", 0));
  api.orders[2].triggerPrice = 3600;
  TradeChangeSet more;
  more.orders = {api.orders[3], api.orders[2]};
  model.Apply(more, &api, false);
  EXPECT_EQ(model.CellText(kTabOrders, 0, 1), "cu2603");
  EXPECT_FALSE(model.TakeChanges(kTabPositions).rows.empty());
  sameAsFullRead();
}

// Change sets that move orders in and out of the working tab, change positions in place, empty
// and refill them, and add fills and orders: after each the model shows what a full read shows,
// and a grid that takes only the reported changes shows the same rows.
TEST(TradeGridModelApply, IncrementalRowsMatchAFullReadAndTheReportedChanges) {
  GridFakeApi api;
  for (int i = 0; i < 60; ++i)
    api.orders.push_back(TestOrder(Format("K%02d", i).c_str(), i % 2 ? "rb2601" : "au2602", i % 3 ? 4 : 2, i % 7 == 0));
  for (int i = 0; i < 12; ++i) api.positions.push_back(TestPosition(Format("c%02d", i).c_str(), i % 2 ? 2 : 0, i % 3 ? 1 : 0));
  for (int i = 0; i < 10; ++i) {
    PositionDetail d{};
    d.contract = TestContract(Format("c%02d", i).c_str());
    d.direction = kBuy;
    d.quantity = 1;
    SetField(d.positionNumber, Format("P%02d", i));
    api.details.push_back(d);
  }
  PositionRemarkStore store;
  TradeGridModel model(store, TestInfo);
  TradeChangeSet reload;
  reload.reload = true;
  reload.orders = api.orders;
  model.Apply(reload, &api, true);
  // What a grid holds that writes only the rows the model reports.
  std::vector<std::vector<std::shared_ptr<const CellRow>>> mirror(kTradeTabCount);
  const std::vector<int> tabs = {kTabPositions, kTabOrders, kTabWorking, kTabFills, kTabConditions, kTabDetails};
  auto takeChanges = [&] {
    for (int tab : tabs) {
      const TabChanges changes = model.TakeChanges(tab);
      auto& rows = mirror[static_cast<std::size_t>(tab)];
      if (changes.countChanged) rows.resize(static_cast<std::size_t>(model.RowCount(tab)));
      for (int r : changes.rows) rows[static_cast<std::size_t>(r)] = model.Rows(tab)[static_cast<std::size_t>(r)].cells;
    }
  };
  takeChanges();
  auto check = [&](int step) {
    takeChanges();
    PositionRemarkStore otherStore;
    TradeGridModel full(otherStore, TestInfo);
    full.Refresh(api, true);
    for (int tab : tabs) {
      const auto& rows = mirror[static_cast<std::size_t>(tab)];
      ASSERT_EQ(model.RowCount(tab), full.RowCount(tab)) << "step " << step << " tab " << tab;
      ASSERT_EQ(static_cast<int>(rows.size()), full.RowCount(tab)) << "step " << step << " tab " << tab;
      for (int r = 0; r < full.RowCount(tab); ++r) {
        ASSERT_EQ(model.RowIdentity(tab, r), full.RowIdentity(tab, r)) << "step " << step << " tab " << tab << " row " << r;
        ASSERT_TRUE(rows[static_cast<std::size_t>(r)]) << "step " << step << " tab " << tab << " row " << r;
        for (int c = 1; c < static_cast<int>(TabColumns(tab).size()); ++c) {
          const std::size_t cell = static_cast<std::size_t>(c - 1);
          const std::string& shown = cell < rows[static_cast<std::size_t>(r)]->size() ? (*rows[static_cast<std::size_t>(r)])[cell].text : std::string();
          ASSERT_EQ(model.CellText(tab, r, c), full.CellText(tab, r, c)) << "step " << step << " tab " << tab << " row " << r;
          ASSERT_EQ(shown, full.CellText(tab, r, c)) << "step " << step << " tab " << tab << " row " << r << " col " << c;
        }
      }
    }
  };
  unsigned seed = 12345;
  auto next = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const int states[] = {0, 2, 3, 4, 5, 11};
  for (int step = 0; step < 300; ++step) {
    TradeChangeSet set;
    const unsigned changes = 1 + next(3);
    for (unsigned k = 0; k < changes; ++k) {
      if (next(10) == 0) {  // a new order
        api.orders.push_back(TestOrder(Format("N%03d-%u", step, k).c_str(), "rb2601", 2, next(4) == 0));
        set.orders.push_back(api.orders.back());
        continue;
      }
      OrderRecord& o = api.orders[next(static_cast<unsigned>(api.orders.size()))];
      o.state = states[next(6)];
      o.filledQuantity = o.state == 4 ? o.quantity : 0;
      o.updateTime += 1;
      set.orders.push_back(o);
    }
    if (next(3) == 0) {
      FillRecord f{};
      f.contract = TestContract("rb2601");
      f.direction = 1 + static_cast<int>(next(2));
      f.quantity = 1;
      f.price = 3500 + next(20);
      SetField(f.fillNumber, Format("F%03d", step));
      api.fills.push_back(f);
      set.fills.push_back(f);
    }
    // A position's figures change; now and then one is closed out or opened again, or a lot goes.
    PositionRecord& p = api.positions[next(static_cast<unsigned>(api.positions.size()))];
    p.longFloatProfit += 1;
    if (next(5) == 0) p.longQuantity = p.longQuantity ? 0 : 1 + static_cast<int>(next(3));
    if (next(6) == 0) api.details[next(static_cast<unsigned>(api.details.size()))].quantity = 1 + static_cast<int>(next(4));
    if (next(15) == 0 && api.details.size() > 3) api.details.pop_back();
    set.positions = set.positionsComplete = true;
    model.Apply(set, &api, true);
    check(step);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tarn::test
