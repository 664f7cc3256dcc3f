// The strategy windows and the condition and stop dialogs under the offscreen platform: what
// their buttons hand to the trading library, their messages, and the strategy order grid
// hearing the library from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <thread>

#include "engine_fakes.h"
#include "engines/gui/condition_windows.h"
#include "engines/gui/strategy_windows.h"
#include "platform/message_box.h"
#include "support/test_support.h"
#include "ui/text_qt.h"

namespace {

using namespace tarn::test;
using tarn::ui::ToQString;

// Records what the windows hand over.
class RecordingTradeApi : public EngineTradeApi {
 public:
  int InsertLoopOrder(const StrategyOrderRequest* r) override {
    loops.push_back(*r);
    return static_cast<int>(loops.size());
  }
  int InsertConditionOrder(ConditionOrderRequest r) override {
    conditions.push_back(r);
    return 1;
  }
  int CancelOrder(const OrderRecord* o) override {
    cancelled.push_back(std::string(o->Key()));
    return 1;
  }
  void GetStrategyOrders(std::vector<StrategyOrderRecord>& out) override { out = strategies; }
  void StrategyGridAction(int a, int b) override { actions.emplace_back(a, b); }

  std::vector<StrategyOrderRequest> loops;
  std::vector<ConditionOrderRequest> conditions;
  std::vector<std::string> cancelled;
  std::vector<StrategyOrderRecord> strategies;
  std::vector<std::pair<int, int>> actions;
};

// Lists its contracts under their exchange, as the definition dialog's combos read them.
class ListingQuoteCenter : public EngineQuoteCenter {
 public:
  int GetContractsOf(DC_Contract* out, int capacity, const char* exchange, int) override {
    if (std::string_view(exchange) != "SHFE") return 0;
    if (out)
      for (int i = 0; i < std::min<int>(capacity, static_cast<int>(listed.size())); ++i) out[i] = listed[static_cast<std::size_t>(i)];
    return static_cast<int>(listed.size());
  }
  std::vector<DC_Contract> listed;
};

class StrategyWindows : public ::testing::Test {
 protected:
  StrategyWindows() {
    quotes.AddCommodity(10, 1, "rb", TXT("螺纹钢"), 1.0, 0);
    quotes.AddCommodity(11, 1, "hc", TXT("热卷"), 1.0, 0);
    rb = quotes.AddContract("SHFE|rb2605", 10, TXT("螺纹2605"));
    hc = quotes.AddContract("SHFE|hc2605", 11, TXT("热卷2605"));
    quotes.listed = {rb, hc};
  }
  CombolStrategy RbHc(const char* formula = "A-B") {
    CombolStrategy s{};
    s.legs[0].contract = rb;
    s.legs[0].direction = 1;
    s.legs[0].lots = 1;
    s.legs[1].contract = hc;
    s.legs[1].direction = 2;
    s.legs[1].lots = 2;
    tarn::SetField(s.formula, formula);
    s.decimals = 1;
    s.type = 2;
    s.totalQuantity = 4;
    s.triggerQuantity = 2;
    return s;
  }
  std::string LastBox() { return boxes.Boxes().empty() ? std::string() : boxes.Boxes().back().text; }

  ScopedHome home;
  ListingQuoteCenter quotes;
  RecordingTradeApi trade;
  tarn::MessageBoxRecorder boxes;
  DC_Contract rb{}, hc{};
};

TEST_F(StrategyWindows, TheListAddsRefusesADuplicateModifiesAndDeletesWithItsFile) {
  CDlgCeLue list;
  std::vector<std::vector<CombolStrategy>> heard;
  list.onChanged = [&](const std::vector<CombolStrategy>& l) { heard.push_back(l); };
  // The definition dialog answers as a user would: the legs and a lower-case formula.
  list.runDefinition = [&](CDlgAddCmbOrder& d) {
    d.contract[0]->setCurrentIndex(1);
    d.contract[1]->setCurrentIndex(2);
    d.side[1]->setCurrentIndex(1);
    d.formula->setText(QStringLiteral("a-b"));
    d.OnOk();
    return d.result() == QDialog::Accepted;
  };
  list.Add();
  ASSERT_EQ(list.List().All().size(), 1u);
  EXPECT_EQ(list.List().All()[0].Formula(), "A-B");
  EXPECT_TRUE(list.Values().Has(list.List().All()[0]));
  EXPECT_EQ(list.grid->rowCount(), 1);
  ASSERT_FALSE(heard.empty());
  list.Add();  // the same legs again
  EXPECT_EQ(LastBox(), TXT("该合约组合已经存在,不能重复添加"));
  EXPECT_EQ(list.List().All().size(), 1u);
  list.grid->clearSelection();
  list.Modify();
  EXPECT_EQ(LastBox(), TXT("请选择一个策略"));
  list.grid->selectRow(0);
  list.runDefinition = [&](CDlgAddCmbOrder& d) {
    EXPECT_EQ(d.formula->text(), QStringLiteral("A-B"));
    d.formula->setText(QStringLiteral("A-B*2"));
    d.OnOk();
    return d.result() == QDialog::Accepted;
  };
  list.Modify();
  EXPECT_EQ(list.List().All()[0].Formula(), "A-B*2");
  {
    CDlgCeLue again;  // the file holds the change
    ASSERT_EQ(again.List().All().size(), 1u);
    EXPECT_EQ(again.List().All()[0].Formula(), "A-B*2");
  }
  boxes.Script(tarn::MsgAnswer::Cancel);
  list.grid->selectRow(0);
  list.Delete();
  EXPECT_EQ(LastBox(), TXT("您确实要删除该策略吗?"));
  EXPECT_EQ(list.List().All().size(), 1u);
  list.grid->selectRow(0);
  list.Delete();
  EXPECT_TRUE(list.List().All().empty());
}

TEST_F(StrategyWindows, ThePanelSendsOneRequestOrAGridAndCyclesALegsOffset) {
  CDlgCombSendOrder panel;
  EXPECT_EQ(CDlgCombSendOrder::Instance(), &panel);
  panel.Fill(RbHc(), false, 12.34);
  EXPECT_EQ(panel.tabs->currentIndex(), 1);
  EXPECT_EQ(panel.triggerPrice->text(), QStringLiteral("12.3"));
  EXPECT_EQ(panel.legs->item(0, 0)->text(), ToQString(TXT("A:SHFE|rb2605-螺纹2605 卖")));
  QTest::mouseClick(panel.legs->viewport(), Qt::LeftButton, {}, panel.legs->visualItemRect(panel.legs->item(1, 4)).center());
  EXPECT_EQ(panel.legs->item(1, 4)->text(), ToQString(TXT("开仓")));
  panel.Send();
  ASSERT_EQ(trade.loops.size(), 1u);
  EXPECT_EQ(trade.loops[0].strategy.orderSide, 2);
  EXPECT_EQ(trade.loops[0].strategy.type, 2);
  EXPECT_EQ(trade.loops[0].strategy.legs[1].offset, 1);
  EXPECT_DOUBLE_EQ(trade.loops[0].triggerPrice, 12.3);
  panel.triggerPrice->clear();
  panel.Send();
  EXPECT_EQ(LastBox(), TXT("请填写价格"));
  EXPECT_EQ(trade.loops.size(), 1u);

  panel.triggerPrice->setText(QStringLiteral("10"));
  panel.runGrid = [](CDlgSendGridOrder& d) {
    d.OnOk();  // no direction chosen yet
    d.direction->setCurrentIndex(1);
    d.count->setText(QStringLiteral("3"));
    d.step->setText(QStringLiteral("2"));
    d.OnOk();
    return d.result() == QDialog::Accepted ? d.Requests() : std::vector<StrategyOrderRequest>{};
  };
  panel.SendGrid();
  EXPECT_EQ(boxes.Boxes()[boxes.Boxes().size() - 1].text, TXT("请选择网格方向"));
  ASSERT_EQ(trade.loops.size(), 4u);
  EXPECT_DOUBLE_EQ(trade.loops[1].triggerPrice, 10);
  EXPECT_DOUBLE_EQ(trade.loops[3].triggerPrice, 6);
}

TEST_F(StrategyWindows, TheOrderGridRefreshesWhenTheLibraryTellsAndStopsARunningOrder) {
  CWndCombolGrid grid;
  EXPECT_EQ(grid.grid->rowCount(), 0);
  StrategyOrderRecord r{};
  r.request.strategy = RbHc();
  r.request.triggerCondition = 1;
  r.state = '1';
  r.unitsDone = 2;
  tarn::SetField(r.key, "20251208-S000007");
  trade.strategies = {r};
  std::thread([&] { trade.listeners.ForEach([](ITradeNotify* n) { n->OnStrategyChanged(1, AccountTexts{}); }); }).join();
  QApplication::sendPostedEvents(&grid);
  ASSERT_EQ(grid.grid->rowCount(), 3);  // the order and its two legs
  EXPECT_EQ(grid.grid->item(0, 3)->text(), QStringLiteral("2/4"));
  EXPECT_EQ(grid.grid->item(0, 7)->text(), ToQString(TXT("停止")));
  grid.Act(1);  // a leg row offers nothing
  EXPECT_TRUE(trade.actions.empty());
  grid.Act(0);
  ASSERT_EQ(trade.actions.size(), 1u);
  EXPECT_EQ(trade.actions[0], std::make_pair(7, 1));
}

TEST_F(StrategyWindows, ConditionAndStopDialogsHandOverTheirRequests) {
  {
    CDlgConditionOrder d(rb, 2, 2, 3, 3100, nullptr);
    EXPECT_TRUE(d.sell->isChecked());
    EXPECT_TRUE(d.close->isChecked());
    d.contract->setText(QStringLiteral("shfe|rb2605"));
    d.OnOk();
    EXPECT_EQ(LastBox(), TXT("合约无效"));
    d.contract->setText(QStringLiteral("SHFE|rb2605"));
    d.explicitPrice->setChecked(true);
    EXPECT_FALSE(d.priceBasisOn->isChecked());
    d.price->setText(QStringLiteral("3098"));
    d.OnOk();
    ASSERT_EQ(trade.conditions.size(), 1u);
    EXPECT_EQ(trade.conditions[0].sendPriceMode, 0);
    EXPECT_EQ(trade.conditions[0].direction, 2);
    EXPECT_EQ(d.result(), QDialog::Accepted);
  }
  tarn::StopContext c;
  c.position = Position(rb, 2, 0);
  c.latest = 3100;
  c.decimals = 0;
  c.modify = true;
  tarn::SetField(c.old.key, "old-stop");
  c.old.conditionKind = 1;
  c.old.triggerPrice = 3050;
  c.old.quantity = 1;
  CDlgAddWinLose d(c);
  EXPECT_EQ(d.send->text(), ToQString(TXT("修改")));
  EXPECT_EQ(d.triggerPrice->text(), QStringLiteral("3050"));
  d.SpinDistance(false);
  EXPECT_EQ(d.distance->text(), QStringLiteral("1"));
  d.OnOk();
  ASSERT_EQ(trade.cancelled.size(), 1u);  // the old one first
  EXPECT_EQ(trade.cancelled[0], "old-stop");
  ASSERT_EQ(trade.conditions.size(), 2u);
  EXPECT_EQ(trade.conditions[1].kind, 1);
  EXPECT_EQ(trade.conditions[1].quantity, 1);
}

}  // namespace
