// The strategy windows and the condition and stop dialogs under the offscreen platform: what
// their buttons hand to the trading library, their messages, and the strategy order grid
// hearing the library from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <thread>

#include "engine_fakes.h"
#include "engines/gui/condition_windows.h"
#include "data/trade_enums.h"
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
  // A waiting stop-loss of one lot that closes a long rb position.
  OrderRecord RbStop(const char* key, double trigger) const {
    OrderRecord o{};
    tarn::SetField(o.key, key);
    o.contract = rb;
    o.direction = tarn::kSell;
    o.offset = tarn::kClose;
    o.hidden = 1;
    o.state = tarn::kStateNotTriggered;
    o.quantity = 1;
    o.conditionKind = 1;
    o.triggerPrice = trigger;
    return o;
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

TEST_F(StrategyWindows, TheStopListAddsANewStopAndModifiesOneWithItsSendPrice) {
  tarn::StopContext c;
  c.position = Position(rb, 3, 0);
  tarn::SetField(c.position.positionNumber, "P1");
  c.latest = 3100;
  c.decimals = 0;
  // A stop-loss that sends at an explicit 3040 and a take-profit at the opposite price + 2.
  auto stop = [&](const char* key, int kind, double trigger, int mode, double price, int ticks) {
    OrderRecord o{};
    tarn::SetField(o.key, key);
    tarn::SetField(o.positionNumber, "P1");
    o.contract = rb;
    o.direction = 2;
    o.offset = 2;
    o.hidden = 1;
    o.state = 11;
    o.quantity = 2;
    o.conditionKind = kind;
    o.triggerPrice = trigger;
    o.sendPriceMode = mode;
    o.price = price;
    o.ticks = ticks;
    o.longTerm = 1;
    return o;
  };
  trade.orders = {stop("sl", 1, 3050, 0, 3040, 0), stop("tp", 0, 3200, 2, 0, 2)};
  CDlgWinStop list(c, 0, "P1");
  ASSERT_EQ(list.list->rowCount(), 2);
  std::vector<std::string> seen;  // what each opened dialog showed and sent
  list.runStopDialog = [&](CDlgAddWinLose& d) {
    seen.push_back(tarn::ui::ToGbk(d.send->text()) + "|" + tarn::ui::ToGbk(d.quantity->text()) + "|" +
                   (d.sendPriceOn->isChecked() ? "basis" : "explicit") + "|" + tarn::ui::ToGbk(d.sendPrice->text()) +
                   "|" + std::to_string(d.sendPriceBasis->currentIndex()) + "|" + tarn::ui::ToGbk(d.tickOffset->text()) +
                   "|" + tarn::ui::ToGbk(d.triggerPrice->text()));
    if (seen.size() == 1) d.triggerPrice->setText(QStringLiteral("3000"));  // below the market
    d.OnOk();
  };
  // "添加": a new stop for the position, nothing cancelled.
  list.Add();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], TXT("发送") + "|3|basis||3|0|3100");
  ASSERT_EQ(trade.conditions.size(), 1u);
  EXPECT_TRUE(trade.cancelled.empty());
  EXPECT_EQ(trade.conditions[0].kind, 1);  // the stop-loss of a long position
  EXPECT_EQ(trade.conditions[0].quantity, 3);
  EXPECT_EQ(std::string(tarn::Field(trade.conditions[0].positionNumber)), "P1");
  // "修改" on the explicit-price stop keeps its send price.
  list.list->selectRow(0);
  list.Modify();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], TXT("修改") + "|2|explicit|3040|3|0|3050");
  ASSERT_EQ(trade.conditions.size(), 2u);
  EXPECT_EQ(trade.cancelled, (std::vector<std::string>{"sl"}));
  EXPECT_EQ(trade.conditions[1].sendPriceMode, 0);
  EXPECT_DOUBLE_EQ(trade.conditions[1].sendPrice, 3040);
  EXPECT_DOUBLE_EQ(trade.conditions[1].triggerPrice, 3050);
  EXPECT_EQ(trade.conditions[1].longTerm, 1);
  // ... and on the one sent at the opposite price + 2 ticks, its basis and offset.
  list.list->selectRow(1);
  list.Modify();
  ASSERT_EQ(trade.conditions.size(), 3u);
  EXPECT_EQ(seen[2], TXT("修改") + "|2|basis||1|2|3200");
  EXPECT_EQ(trade.conditions[2].sendPriceMode, 2);
  EXPECT_EQ(trade.conditions[2].ticks, 2);
  EXPECT_EQ(trade.conditions[2].kind, 0);
}

TEST_F(StrategyWindows, TheStopListsSelectionStaysWithItsOrderWhenTheRowsMove) {
  tarn::StopContext c;
  c.position = Position(rb, 3, 0);
  c.latest = 3100;
  trade.orders = {RbStop("s1", 3050), RbStop("s2", 3040), RbStop("s3", 3030)};
  CDlgWinStop list(c, 0, "");
  ASSERT_EQ(list.list->rowCount(), 3);
  list.list->selectRow(1);  // s2
  // The first stop fires before the trader presses 删除: the rows move up under the selection.
  trade.orders[0].state = 4;
  list.OnOrder(nullptr, AccountTexts{});
  QCoreApplication::sendPostedEvents(&list);
  ASSERT_EQ(list.list->rowCount(), 2);
  EXPECT_EQ(tarn::ui::SelectedRow(list.list), 0);
  list.Delete();
  EXPECT_EQ(trade.cancelled, (std::vector<std::string>{"s2"}));
  // A new stop listed before it keeps the selection on s2 as well.
  trade.orders.insert(trade.orders.begin(), RbStop("s0", 3060));
  list.Refresh();
  EXPECT_EQ(tarn::ui::SelectedRow(list.list), 1);
  // The selected stop gone: no row is selected, and 删除 cancels nothing.
  trade.orders.erase(trade.orders.begin() + 2);  // s2
  list.Refresh();
  EXPECT_EQ(tarn::ui::SelectedRow(list.list), -1);
  list.Delete();
  EXPECT_EQ(trade.cancelled.size(), 1u);
  ASSERT_FALSE(boxes.Boxes().empty());
  EXPECT_EQ(boxes.Boxes().back().text, TXT("请选择一行"));
}

TEST_F(StrategyWindows, TheStopListShowsEveryColumnWholeWithoutScrolling) {
  tarn::StopContext c;
  c.position = Position(rb, 3, 0);
  c.latest = 3100;
  OrderRecord o = RbStop("s1", 3050);
  o.insertTime = 1765159200;  // shown as a whole date and time
  trade.orders = {o};
  CDlgWinStop list(c, 0, "");
  list.show();
  QApplication::processEvents();
  ASSERT_EQ(list.list->rowCount(), 1);
  const QFontMetrics fm(list.list->font());
  int total = 0;
  for (int col = 0; col < list.list->columnCount(); ++col) {
    const int width = list.list->horizontalHeader()->sectionSize(col);
    EXPECT_GE(width, fm.horizontalAdvance(list.list->item(0, col)->text())) << "column " << col;
    total += width;
  }
  // The state, the last column, is in sight: no column lies beyond the list's width.
  EXPECT_LE(total, list.list->viewport()->width());
  EXPECT_FALSE(list.list->horizontalScrollBar()->isVisible());
}

TEST_F(StrategyWindows, TheConditionDialogsContractBoxFindsWhatIsTyped) {
  CDlgConditionOrder d(DC_Contract{}, 1, 1, 1, 3100, nullptr);
  d.show();
  // Typing lists the contracts the text finds; Enter picks the first.
  d.contract->setFocus();
  QTest::keyClicks(d.contract, QStringLiteral("hc"));
  ASSERT_TRUE(d.search->isVisible());
  ASSERT_EQ(d.search->Shown().size(), 1u);
  QTest::keyClick(d.contract, Qt::Key_Return);
  EXPECT_FALSE(d.search->isVisible());
  EXPECT_EQ(d.contract->text(), ToQString(hc.Code()));
  d.OnOk();
  ASSERT_EQ(trade.conditions.size(), 1u);
  EXPECT_TRUE(trade.conditions[0].contract.SameKey(hc));
  // A code typed in full and confirmed with OK is the listed entry it names.
  CDlgConditionOrder e(DC_Contract{}, 1, 1, 1, 3100, nullptr);
  e.show();
  e.contract->setFocus();
  QTest::keyClicks(e.contract, ToQString(rb.Code()));
  e.OnOk();
  ASSERT_EQ(trade.conditions.size(), 2u);
  EXPECT_TRUE(trade.conditions[1].contract.SameKey(rb));
  // Text that names no listed contract is still refused.
  CDlgConditionOrder f(DC_Contract{}, 1, 1, 1, 3100, nullptr);
  f.contract->setText(QStringLiteral("nothing"));
  f.OnOk();
  EXPECT_EQ(LastBox(), TXT("合约无效"));
  EXPECT_EQ(trade.conditions.size(), 2u);
}

TEST_F(StrategyWindows, ThePanelLoadsAStrategyFromTheSpreadSelection) {
  CDlgCeLue list(nullptr, true);
  ASSERT_TRUE(list.AddStrategy(RbHc()));  // saved to the file the selection reads
  CDlgCombSendOrder panel;
  panel.triggerPrice->setText(QStringLiteral("5"));
  panel.Send();
  EXPECT_EQ(LastBox(), TXT("请选择一个策略"));
  EXPECT_TRUE(trade.loops.empty());
  int shownKind = -1;
  panel.runSelect = [&](CDlgSelContract2& d) {
    shownKind = d.kinds->currentIndex();
    EXPECT_FALSE(d.kinds->isTabEnabled(0));  // a panel sends strategies only
    d.OnOk();  // nothing selected
    EXPECT_EQ(LastBox(), TXT("请选择一个合约"));
    d.list->selectRow(0);
    d.OnOk();
    return d.result() == QDialog::Accepted;
  };
  panel.ChooseStrategy();
  EXPECT_EQ(shownKind, 1);
  EXPECT_EQ(panel.legs->rowCount(), 2);
  panel.triggerPrice->setText(QStringLiteral("5"));
  panel.Send();
  ASSERT_EQ(trade.loops.size(), 1u);
  EXPECT_TRUE(trade.loops[0].strategy.legs[1].contract.SameKey(hc));
}

TEST_F(StrategyWindows, ALegTakesAFuturesContractFromTheSelection) {
  CDlgAddCmbOrder d(CombolStrategy{});
  d.runSelect = [&](CDlgSelContract2& s) {
    EXPECT_EQ(s.kinds->currentIndex(), 0);
    s.filter->setText(QStringLiteral("hc"));
    emit s.filter->textEdited(s.filter->text());
    EXPECT_EQ(s.list->rowCount(), 1);
    s.list->selectRow(0);
    s.OnOk();
    return s.result() == QDialog::Accepted;
  };
  d.PickLeg(1);
  EXPECT_EQ(d.contract[1]->currentText(), ToQString(tarn::ContractEntryText(hc)));
  EXPECT_EQ(d.contract[0]->currentIndex(), 0);
}

}  // namespace
