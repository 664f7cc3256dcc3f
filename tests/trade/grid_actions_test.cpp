// The trade grid's commands on a scripted library: what each sends, in which order, and which
// confirmations and settings stop it.
#include <gtest/gtest.h>

#include "engines/oco_order.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tools/setting_cfg.h"
#include "trade/grid/grid_actions.h"
#include "trade/grid/funds_cells.h"
#include "trade_fakes.h"

namespace tarn::test {
namespace {

class RecordingHost : public IGridActionHost {
 public:
  void OpenCoverPosition(const PositionRecord& p) override { coverPositions.push_back(p); }
  void OpenCoverByPosNo(const PositionDetail& d, double price) override {
    coverLots.push_back(d);
    lotPrice = price;
  }
  std::optional<Modified> OpenModifyOrder(const OrderRecord&, double tick, int decimals) override {
    ++modifyDialogs;
    lastTick = tick;
    lastDecimals = decimals;
    return modifyAnswer;
  }
  void OpenStopDialog(const StopContext& c, double, const std::string& number) override {
    stopContexts.push_back(c);
    stopNumbers.push_back(number);
  }
  void OpenAutoCoverSetting() override { ++autoCoverDialogs; }
  void OpenOcoDialog(const OcoOrder& o) override { ocoDialogs.push_back(o); }
  std::optional<std::string> EditRemark(const std::string& current) override {
    remarkShown = current;
    return remarkAnswer;
  }
  void Wait(int ms) override {
    waits.push_back(ms);
    if (onWait) onWait();
  }

  std::vector<PositionRecord> coverPositions;
  std::vector<PositionDetail> coverLots;
  double lotPrice = 0;
  int modifyDialogs = 0;
  double lastTick = 0;
  int lastDecimals = 0;
  std::optional<Modified> modifyAnswer;
  std::vector<StopContext> stopContexts;
  std::vector<std::string> stopNumbers;
  int autoCoverDialogs = 0;
  std::vector<OcoOrder> ocoDialogs;
  std::string remarkShown;
  std::optional<std::string> remarkAnswer;
  std::vector<int> waits;
  std::function<void()> onWait;
};

class GridActions : public ::testing::Test {
 protected:
  GridActions() : model(store, [](const DC_Contract&) { return ContractInfo{1, 10, 1}; }), actions(model, host, sender) {}
  void Load() { model.Refresh(api, true); }
  void SetUser(const char* section, const char* value) {
    Profile::WriteString("\\user\\setting.ini", section, "Value", value);
  }

  ScopedHome home;
  GridFakeApi api;
  PositionRemarkStore store;
  TradeGridModel model;
  RecordingHost host;
  PanelOrderSender sender;
  TradeGridActions actions;
  MessageBoxRecorder boxes;
};

TEST_F(GridActions, PartialClosesTruncateRaiseToOneAndKeepTodayWithin) {
  EXPECT_EQ(PartialCloseRecord(TestPosition("rb", 5, 0), 0.1).longQuantity, 1);  // 0.5 truncates to 0
  EXPECT_EQ(PartialCloseRecord(TestPosition("rb", 3, 0), 0.75).longQuantity, 2);
  api.positions = {TestPosition("rb2601", 4, 0, 1, 0), TestPosition("au2602", 0, 7, 0, 5)};
  Load();
  actions.Command(102, 0, 0, 203);  // "平50%"
  actions.Command(102, 1, 0, 202);  // "平30%"
  ASSERT_EQ(api.closed.size(), 2u);
  EXPECT_EQ(api.closed[0].longQuantity, 2);
  EXPECT_EQ(api.closed[0].todayLong, 1);
  EXPECT_EQ(api.closed[1].shortQuantity, 2);
  EXPECT_EQ(api.closed[1].todayShort, 2);
  EXPECT_EQ(boxes.Count(), 0u);  // partial closes never ask
}

TEST_F(GridActions, CloseAllUsesTheLibrarysListAndAsksUnlessSwitchedOff) {
  api.positions = {TestPosition("rb2601", 2, 0)};
  Load();
  api.positions.push_back(TestPosition("au2602", 0, 1));  // not yet in the grid
  boxes.Script(MsgAnswer::Cancel);
  actions.Command(102, -1, 0, 102);
  EXPECT_TRUE(api.closed.empty());
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, TXT("您确实要平掉所有持仓吗?"));
  EXPECT_EQ(boxes.Boxes()[0].title, "");  // the application's title
  SetUser("CoverConfirm", "0");
  actions.Command(102, -1, 0, 102);
  EXPECT_EQ(boxes.Count(), 1u);
  ASSERT_EQ(api.closed.size(), 2u);
  EXPECT_EQ(api.closed[1].contract.Code(), "au2602");
}

TEST_F(GridActions, CloseLockAndReverse) {
  api.positions = {TestPosition("rb2601", 0, 3)};
  Load();
  SetUser("CoverConfirm", "2");  // any non-zero value asks
  boxes.Script(MsgAnswer::Ok);
  actions.Command(102, 0, 0, 302);  // lock a short of 3: a market buy-open of 3
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(boxes.LastText(), TXT("您确实要执行锁仓吗?"));
  EXPECT_EQ(boxes.Boxes()[0].title, TXT("提示"));
  EXPECT_EQ(api.inserted[0].direction, 1);
  EXPECT_EQ(api.inserted[0].offset, 1);
  EXPECT_EQ(api.inserted[0].priceType, 1);
  EXPECT_EQ(api.inserted[0].price, 0.0);
  EXPECT_EQ(api.inserted[0].quantity, 3);
  EXPECT_TRUE(api.closed.empty());
  // Reverse: the close, the wait, then the same open order.
  host.onWait = [&] { EXPECT_EQ(api.closed.size(), 1u); EXPECT_EQ(api.inserted.size(), 1u); };
  actions.Command(102, 0, 0, 301);
  EXPECT_EQ(host.waits, std::vector<int>{100});
  EXPECT_EQ(api.inserted.size(), 2u);
  EXPECT_EQ(boxes.LastText(), TXT("您确实要执行反手吗?"));
  boxes.Script(MsgAnswer::Cancel);
  actions.Command(102, 0, 0, 101);
  EXPECT_EQ(boxes.LastText(), TXT("您确实要平掉当前持仓吗?"));
  EXPECT_EQ(api.closed.size(), 1u);
  // A row that no longer maps does nothing.
  actions.Command(102, 5, 0, 101);
  EXPECT_EQ(api.closed.size(), 1u);
  actions.Command(102, 0, 0, 104);
  EXPECT_EQ(api.refreshes, 1);
}

TEST_F(GridActions, CancelRulesOfTheOrderTabs) {
  OrderRecord filled = TestOrder("F", "rb2601", 4);
  OrderRecord queued = TestOrder("Q", "rb2601", 2);
  OrderRecord waiting = TestOrder("W", "rb2601", 11, 1);
  OrderRecord fired = TestOrder("T", "rb2601", 12, 1);
  api.orders = {filled, queued, waiting, fired};
  Load();
  // All orders tab, newest first: Q is row 0, F row 1.
  actions.Command(101, 1, 0, 101);
  EXPECT_TRUE(api.cancelled.empty());  // not working: not sent
  actions.Command(101, 0, 0, 101);
  ASSERT_EQ(api.cancelled.size(), 1u);
  EXPECT_EQ(api.cancelled[0].Key(), "Q");
  // "全部撤单" on all orders also cancels the untriggered condition order.
  api.cancelled.clear();
  actions.Command(101, -1, 0, 102);
  ASSERT_EQ(api.cancelled.size(), 2u);
  EXPECT_EQ(api.cancelled[1].Key(), "W");
  // On the condition tab only state 11 goes; a single cancel skips the working test.
  api.cancelled.clear();
  actions.Command(105, -1, 0, 102);
  ASSERT_EQ(api.cancelled.size(), 1u);
  EXPECT_EQ(api.cancelled[0].Key(), "W");
  actions.Command(105, 1, 0, 101);
  EXPECT_EQ(api.cancelled.back().Key(), "T");
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(GridActions, ModifyNeedsAKnownContract) {
  api.orders = {TestOrder("Q", "rb2601", 2)};
  Load();
  host.modifyAnswer = IGridActionHost::Modified{3490, 2};
  actions.Command(104, 0, 0, 104);  // the test contract has no commodity the quote library knows
  EXPECT_EQ(host.modifyDialogs, 0);
  EXPECT_TRUE(api.modified.empty());
}

TEST_F(GridActions, DoubleClicksOnOrders) {
  api.orders = {TestOrder("F", "rb2601", 4), TestOrder("Q", "rb2601", 2)};
  Load();
  GetSettingCfg().dbClickOrderAction = 0;
  actions.DoubleClick(101, 1, 2);  // filled: nothing, whatever the setting
  EXPECT_EQ(boxes.Count(), 0u);
  boxes.Script(MsgAnswer::Cancel);
  actions.DoubleClick(101, 0, 2);
  EXPECT_EQ(boxes.LastText(), TXT("您确实要撤掉当前挂单吗?"));
  EXPECT_TRUE(api.cancelled.empty());
  actions.DoubleClick(104, 0, 2);  // working tab: its own question, with the question icon
  EXPECT_EQ(boxes.LastText(), TXT("您确实要撤销挂单吗?"));
  EXPECT_EQ(boxes.Boxes().back().icon, MsgIcon::Question);
  EXPECT_EQ(api.cancelled.size(), 1u);
  GetSettingCfg().dbClickOrderAction = 1;
  actions.DoubleClick(101, 0, 2);
  EXPECT_EQ(api.cancelled.size(), 2u);
  EXPECT_EQ(boxes.Count(), 2u);
  GetSettingCfg().dbClickOrderAction = 2;
  actions.DoubleClick(101, 0, 2);
  EXPECT_EQ(api.cancelled.size(), 2u);
  GetSettingCfg().dbClickOrderAction = 1;
}

TEST_F(GridActions, DoubleClicksOnPositionsAndDetails) {
  api.positions = {TestPosition("rb2601", 2, 0)};
  PositionDetail d{};
  d.contract = TestContract("rb2601");
  d.direction = 2;
  d.quantity = 1;
  d.floatProfit = -40;
  SetField(d.positionNumber, "P9");
  api.details = {d};
  Load();
  const int stops = TabColumnIndex(kTabPositions, TXT("止盈止损"));
  const int remark = TabColumnIndex(kTabPositions, TXT("备注"));
  GetSettingCfg().dbClickPositionAction = 0;
  actions.DoubleClick(102, 0, 1);
  ASSERT_EQ(host.coverPositions.size(), 1u);
  // Action 1 closes at once, without the close question even while it is on.
  GetSettingCfg().dbClickPositionAction = 1;
  actions.DoubleClick(102, 0, 1);
  EXPECT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(boxes.Count(), 0u);
  GetSettingCfg().dbClickPositionAction = 2;
  actions.DoubleClick(102, 0, 1);
  EXPECT_EQ(api.closed.size(), 1u);
  actions.DoubleClick(102, 0, stops);
  ASSERT_EQ(host.stopContexts.size(), 1u);
  EXPECT_EQ(host.stopContexts[0].latest, 3510);
  EXPECT_EQ(host.stopNumbers[0], "");
  // The remark editor: the entered text is stored under the row's key and shown.
  host.remarkAnswer = std::string(TXT("观察"));
  EXPECT_TRUE(actions.DoubleClick(102, 0, remark));
  EXPECT_EQ(store.Get("rb2601_B"), TXT("观察"));
  EXPECT_EQ(model.CellText(kTabPositions, 0, remark), TXT("观察"));
  host.remarkAnswer = std::string();
  actions.DoubleClick(102, 0, remark);
  EXPECT_EQ(host.remarkShown, TXT("观察"));
  EXPECT_TRUE(store.All().empty());
  // Details: the stop dialog of the lot (short, from its record), its remark, else the close.
  actions.DoubleClick(108, 0, TabColumnIndex(kTabDetails, TXT("止盈止损")));
  ASSERT_EQ(host.stopContexts.size(), 2u);
  EXPECT_EQ(host.stopNumbers[1], "P9");
  EXPECT_EQ(host.stopContexts[1].position.shortQuantity, 1);
  EXPECT_EQ(host.stopContexts[1].position.PositionNumber(), "P9");
  host.remarkAnswer = std::string("lot");
  actions.DoubleClick(108, 0, TabColumnIndex(kTabDetails, TXT("备注")));
  EXPECT_EQ(store.Get("P9"), "lot");
  actions.DoubleClick(108, 0, 1);
  ASSERT_EQ(host.coverLots.size(), 1u);
  EXPECT_EQ(host.lotPrice, 3510);  // the contract's current price, from its position
  GetSettingCfg().dbClickPositionAction = 0;
}

TEST_F(GridActions, OcoPairsAndTheLocalStopSettings) {
  ScopedEngine<COCOOrderMgr> engine;
  OcoOrder o;
  o.contract = TestContract("au2602");
  o.price1 = 570;
  o.price2 = 550;
  o.quantity = 1;
  const int first = COCOOrderMgr::Instance().Add(o);
  COCOOrderMgr::Instance().Add(o);
  std::vector<OcoOrder> all;
  COCOOrderMgr::Instance().CopyAll(all);
  model.RefreshOco(all);
  actions.Command(106, 0, 0, 101);
  ASSERT_EQ(host.ocoDialogs.size(), 1u);
  EXPECT_EQ(host.ocoDialogs[0].id, first);
  actions.Command(106, 0, 0, 102);
  COCOOrderMgr::Instance().CopyAll(all);
  EXPECT_EQ(all[0].state, 3);
  EXPECT_EQ(all.size(), 2u);  // a cancelled pair stays listed
  model.RefreshOco(all);
  actions.Command(106, 0, 0, 101);  // no longer watching: not modified
  EXPECT_EQ(host.ocoDialogs.size(), 1u);
  EXPECT_EQ(actions.ContextMenu(106, 0).size(), 2u);
  actions.Command(106, -1, 0, 103);
  COCOOrderMgr::Instance().CopyAll(all);
  EXPECT_EQ(all[1].state, 3);
  actions.Command(107, -1, 0, 301);
  EXPECT_EQ(host.autoCoverDialogs, 1);
}

// ---- funds cells -------------------------------------------------------------------------------

TEST(FundsCells, RatiosSignsAndZeroChange) {
  FundsRecord f{};
  f.margin = 5000;
  f.dynamicEquity = 20000;
  f.previousEquity = 20000;
  EXPECT_EQ(FundsCellText(11, f).text, "0.25");
  FundsCellValue change = FundsCellText(10, f);
  EXPECT_EQ(change.text, "0");
  EXPECT_EQ(change.color, kFundsNeutralColor);
  f.positionProfit = -120;
  f.margin = 4000;
  FundsCellValue rate = FundsCellText(12, f);
  EXPECT_EQ(rate.text, "-3.000%");
  EXPECT_EQ(rate.color, kFundsDownColor);
  EXPECT_EQ(FundsCellText(4, f).color, kFundsDownColor);
  f.frozen1 = 10.5;
  f.frozen2 = 2.25;
  EXPECT_EQ(FundsCellText(9, f).text, "12.75");
  // No record yet: the ratios read "0".
  FundsRecord none{};
  EXPECT_EQ(FundsCellText(11, none).text, "0");
  EXPECT_EQ(FundsCellText(12, none).text, "0");
  EXPECT_EQ(FundsCellText(10, none).text, "0");
  EXPECT_EQ(FundsSignColor(0.02), kFundsUpColor);
  EXPECT_EQ(FundsCellLabel(14), TXT("授信资金"));
}

TEST(FundsCells, StoredChoiceGetsTheCreditCellOnce) {
  ScopedHome home;
  Profile::WriteString("\\user\\setting.ini", "TradePanelDynamicWord", "DynamicWordIndex", "3|5|8");
  EXPECT_EQ(LoadFundsCellList(), (std::vector<int>{3, 5, 8, 14}));
  EXPECT_EQ(Profile::GetInt("\\user\\setting.ini", "AddSXZJ", "Value", 0), 1);
  EXPECT_EQ(Profile::GetString("\\user\\setting.ini", "TradePanelDynamicWord", "DynamicWordIndex", ""), "3|5|8");
  EXPECT_EQ(LoadFundsCellList(), (std::vector<int>{3, 5, 8}));  // once only
  Profile::WriteString("\\user\\setting.ini", "TradePanelDynamicWord", "DynamicWordIndex", std::nullopt);
  EXPECT_EQ(LoadFundsCellList().size(), 15u);
  EXPECT_EQ(Profile::GetString("\\user\\setting.ini", "TradePanelDynamicWord", "DynamicWordIndex", ""),
            "0|1|2|3|4|5|6|7|8|9|10|11|12|13|14");
  EXPECT_EQ(ShownFundsCells(ParseFundsCellList("2|99|x|-1|4")), (std::vector<int>{2, 4}));
}

// The selection and every command's target are the record the user chose, whatever the
// refreshes between the choice and the command did to the rows.
TEST_F(GridActions, SelectionAndCommandsFollowTheRecordNotTheRow) {
  SetUser("CoverConfirm", "0");
  api.positions = {TestPosition("rb2601", 4, 0), TestPosition("au2602", 0, 3), TestPosition("cu2603", 2, 0)};
  Load();
  model.Select(kTabPositions, 2);  // cu2603
  const std::string cu = model.SelectedIdentity(kTabPositions);
  // A fill closes rb2601: the rows shrink, cu2603 moves up, the row number 2 is gone.
  api.positions.erase(api.positions.begin());
  Load();
  EXPECT_EQ(model.SelectedRow(kTabPositions), 1);
  ASSERT_NE(model.SelectedPosition(), nullptr);
  EXPECT_EQ(model.SelectedPosition()->contract.Code(), "cu2603");
  actions.CommandOn(102, cu, -1, 201);  // "平10%"
  actions.CommandOn(102, cu, -1, 302);  // "锁仓"
  ASSERT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(api.closed[0].contract.Code(), "cu2603");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].contract.Code(), "cu2603");
  EXPECT_EQ(api.inserted[0].direction, 2);
  // The side is part of the identity: a position that turned short is another record.
  api.positions[1] = TestPosition("cu2603", 0, 1);
  Load();
  EXPECT_EQ(model.SelectedRow(kTabPositions), -1);
  EXPECT_EQ(model.SelectedPosition(), nullptr);
  actions.CommandOn(102, cu, -1, 301);  // "反手" on a record that is gone does nothing
  actions.CommandOn(102, cu, -1, 101);
  EXPECT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(api.inserted.size(), 1u);
  EXPECT_TRUE(host.waits.empty());
  // The commands on the whole tab still apply.
  actions.CommandOn(102, cu, -1, 102);
  EXPECT_EQ(api.closed.size(), 3u);
}

TEST_F(GridActions, ANewOrderBetweenSelectionAndCommandNeverChangesTheTarget) {
  api.orders = {TestOrder("A", "rb2601", 2), TestOrder("B", "rb2601", 2)};
  Load();
  // Newest first: row 0 shows B, row 1 shows A.
  model.Select(kTabOrders, 1);
  model.Select(kTabWorking, 0);
  const std::string a = model.SelectedIdentity(kTabOrders);
  EXPECT_EQ(a, "A");
  api.orders.push_back(TestOrder("C", "au2602", 2));
  Load();
  EXPECT_EQ(model.SelectedRow(kTabOrders), 2);
  EXPECT_EQ(model.SelectedRow(kTabWorking), 1);
  actions.CommandOn(101, a, -1, 101);  // "撤单" on the all-orders tab
  actions.CommandOn(104, model.SelectedIdentity(kTabWorking), -1, 101);  // and on the working tab
  ASSERT_EQ(api.cancelled.size(), 2u);
  EXPECT_EQ(api.cancelled[0].Key(), "A");
  EXPECT_EQ(api.cancelled[1].Key(), "B");
  // Filled meanwhile, the order leaves the working tab: the command there does nothing.
  api.orders[1].state = 4;
  Load();
  EXPECT_EQ(model.SelectedRow(kTabWorking), -1);
  actions.CommandOn(104, "B", -1, 101);
  EXPECT_EQ(api.cancelled.size(), 2u);
}

TEST_F(GridActions, IdentitiesOfEveryTab) {
  api.positions = {TestPosition("rb2601", 2, 0)};
  api.orders = {TestOrder("K1", "rb2601", 11, 1)};
  PositionDetail d{};
  d.contract = TestContract("rb2601");
  d.direction = 1;
  d.quantity = 1;
  SetField(d.positionNumber, "P7");
  PositionDetail unnumbered = d;
  SetField(unnumbered.positionNumber, "");
  SetField(unnumbered.fillNumber, "F9");
  api.details = {d, unnumbered};
  FillRecord f{};
  f.contract = TestContract("rb2601");
  f.direction = 1;
  f.offset = 3;
  f.quantity = 1;
  SetField(f.fillNumber, "T1");
  api.fills = {f};
  Load();
  EXPECT_EQ(model.RowIdentity(kTabPositions, 0), "SHFE|rb2601|B");
  EXPECT_EQ(model.RowIdentity(kTabConditions, 0), "K1");
  EXPECT_EQ(model.RowIdentity(kTabDetails, 0), "P7");
  EXPECT_EQ(model.RowIdentity(kTabDetails, 1), "SHFE|rb2601#F9");
  EXPECT_EQ(model.RowIdentity(kTabFills, 0), "T1");
  model.SetFillSummary(true);
  EXPECT_EQ(model.RowIdentity(kTabFills, 0), "rb2601_1_2");
  EXPECT_EQ(model.RowIdentity(kTabFills, 1), "");
  EXPECT_EQ(model.RowOfIdentity(kTabDetails, "SHFE|rb2601#F9"), 1);
  EXPECT_EQ(model.RowOfIdentity(kTabDetails, ""), -1);
}

}  // namespace
}  // namespace tarn::test
