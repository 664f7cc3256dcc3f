// The grid window, the grid control and the two dialogs under the offscreen platform, against
// a fake quote library with a small catalogue.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <thread>

#include "catalogue_quote_center.h"
#include "data/fake_trade_api.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "quote/gui/block_tab_bar.h"
#include "quote/gui/dlg_sel_contract.h"
#include "quote/gui/dlg_set_grid_head.h"
#include "quote/gui/grid_messages.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/wnd_quote_gird.h"
#include "support/test_support.h"
#include "ui/frameless_window.h"
#include "ui/text_qt.h"

namespace tarn {
namespace {

using test::CatalogueQuoteCenter;
using test::SmallMarket;

struct RecordingTrade : test::FakeTradeApi {
  void SelectContract(DC_Contract c, int d, double p) override {
    selected.emplace_back(c.Key());
    test::FakeTradeApi::SelectContract(c, d, p);
  }
  std::vector<std::string> selected;
};

// A chart container as the workspace will have it: records what the grid window hands it.
struct FakeHost : QWidget, IQuoteGridHost {
  GridHostInfo info;
  std::vector<std::pair<std::string, bool>> shown;
  std::vector<std::string> followed;
  std::vector<int> commands;
  GridHostInfo HostInfo() const override { return info; }
  void ShowContract(const DC_Contract& c, const std::string&, bool chart) override {
    shown.push_back({std::string(c.Key()), chart});
  }
  void FollowContract(const DC_Contract& c) override { followed.emplace_back(c.Key()); }
  std::string HostContractKey() const override { return followed.empty() ? std::string() : followed.back(); }
  bool event(QEvent* e) override {
    if (static_cast<int>(e->type()) == kMsgGridWindowCommand) {
      commands.push_back(static_cast<int>(static_cast<WindowMessage*>(e)->WParam()));
      return true;
    }
    return QWidget::event(e);
  }
};

class QuoteWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    market = std::make_unique<SmallMarket>(quotes);
    GetUserBlockStore().Reset();
  }
  void TearDown() override {
    CWndQuoteGird::SetQuoteAlertHook(nullptr);
    GetUserBlockStore().Reset();
  }
  std::unique_ptr<CWndQuoteGird> OpenWindow(const std::string& block, QWidget* parent = nullptr,
                                            IQuoteGridHost* host = nullptr) {
    auto w = std::make_unique<CWndQuoteGird>(parent, host);
    w->resize(1400, 500);
    w->show();
    w->RefreshBlocks(block);
    QApplication::processEvents();
    return w;
  }
  static void Pump() {
    for (int i = 0; i < 5; ++i) {
      QApplication::processEvents();
      QTest::qWait(10);
    }
  }
  static QPoint Center(const QRect& r) { return r.center(); }
  std::vector<std::string> Codes(CQuoteGridCtrl* g) {
    std::vector<std::string> out;
    for (const DC_Contract& c : g->Model().Contracts()) out.emplace_back(c.Code());
    return out;
  }
  int ColumnOf(CQuoteGridCtrl* g, int kind) {
    for (int i = 0; i < g->Model().ColumnCount(); ++i)
      if (g->Model().KindAt(i) == kind) return i;
    return -1;
  }

  test::ScopedHome home;
  CatalogueQuoteCenter quotes;
  std::unique_ptr<SmallMarket> market;
  RecordingTrade trade;
  MessageBoxRecorder boxes;
};

TEST_F(QuoteWindows, TabBarListsTheBlocksAndTheWindowShowsAndRemembersOne) {
  GetUserBlockStore().Add(market->gcMonth, "USER");
  std::vector<std::string> remembered;
  auto w = std::make_unique<CWndQuoteGird>();
  w->onBlockChanged = [&](const std::string& b) { remembered.push_back(b); };
  w->resize(1000, 400);
  w->show();
  w->RefreshBlocks("");
  EXPECT_EQ(w->BlockName(), "USER");  // no block set: the first
  EXPECT_EQ(w->Grid()->objectName(), QStringLiteral("QGrid"));
  EXPECT_EQ(w->BlockBar()->objectName(), QStringLiteral("BLOCKBAR"));
  ASSERT_EQ(w->BlockBar()->Blocks().size(), 7u);
  EXPECT_EQ(w->BlockBar()->Blocks()[0].display, TXT("自选"));
  EXPECT_EQ(w->Grid()->Model().RowCount(), 1);
  // A click on the third tab (command 1003) shows ZCE.
  QTest::mouseClick(w->BlockBar(), Qt::LeftButton, {}, Center(w->BlockBar()->TabRect(2)));
  EXPECT_EQ(w->BlockName(), "ZCE");
  EXPECT_EQ(Codes(w->Grid()), (std::vector<std::string>{"SR509", "SR601", "SR605"}));
  EXPECT_EQ(remembered, (std::vector<std::string>{"USER", "ZCE"}));
  // A remembered block that is gone falls back to the first.
  w->RefreshBlocks("NOPE");
  EXPECT_EQ(w->BlockName(), "USER");
}

TEST_F(QuoteWindows, ABlockChosenBeforeTheBarHasItsSizeKeepsTheFirstTabsInSight) {
  // A remembered block is shown while the window is still being built (no size yet); once
  // laid out the bar still starts with "自选".
  auto w = std::make_unique<CWndQuoteGird>();
  w->RefreshBlocks("SHFE");
  EXPECT_EQ(w->BlockName(), "SHFE");
  w->resize(1000, 400);
  w->show();
  QApplication::processEvents();
  EXPECT_FALSE(w->BlockBar()->TabRect(0).isEmpty());
  EXPECT_FALSE(w->BlockBar()->TabRect(1).isEmpty());
}

TEST_F(QuoteWindows, QuotesRepaintOnlyTheirChangedCellsAndOnlyVisibleRowsAreSubscribed) {
  for (int i = 0; i < 200; ++i) quotes.AddContract(market->cu, Format("%04d", 3000 + i));
  auto w = OpenWindow("SHFE");
  CQuoteGridCtrl* g = w->Grid();
  const int visible = g->Model().DrawnRows();
  ASSERT_GT(visible, 5);
  ASSERT_LT(visible, g->Model().RowCount());
  EXPECT_EQ(g->SubscriptionCount(), static_cast<std::size_t>(visible));
  EXPECT_EQ(quotes.SubscriberCount(std::string(g->Model().RowAt(0)->contract.Key())), 1u);
  EXPECT_EQ(quotes.SubscriberCount(std::string(g->Model().RowAt(visible + 2)->contract.Key())), 0u);
  // Scrolling to the end keeps the count at the rows in sight.
  for (int i = 0; i < 80 && g->Model().Selected() != g->Model().RowCount() - 1; ++i) QTest::keyClick(g, Qt::Key_PageDown);
  ASSERT_EQ(g->Model().Selected(), g->Model().RowCount() - 1);
  EXPECT_LE(g->SubscriptionCount(), static_cast<std::size_t>(visible));
  QTest::keyClick(g, Qt::Key_Down);  // from the last row back to the first, at the top
  EXPECT_EQ(g->Model().FirstVisible(), 0);
  EXPECT_EQ(g->SubscriptionCount(), static_cast<std::size_t>(visible));
  Pump();

  const DC_Contract c = g->Model().RowAt(3)->contract;
  DC_Quote q = test::MakeQuote(c, 3000, 10);
  q.data.preSettlement = 2990;
  std::thread([&] { quotes.DeliverQuote(q); }).join();
  Pump();
  QTest::qWait(50);
  Pump();
  const int last = ColumnOf(g, kGridLast);
  EXPECT_EQ(g->Model().Cell(3, last).text, "3000");
  const QRegion firstFlush = g->LastFlushRegion();
  EXPECT_TRUE(firstFlush.contains(g->CellRect(3, last).center()));
  EXPECT_FALSE(firstFlush.contains(g->CellRect(3, ColumnOf(g, kGridName)).center()));
  EXPECT_FALSE(firstFlush.contains(g->CellRect(2, last).center()));

  // One more trade: only volume and last move; exactly their cells are drawn, in one repaint.
  const long long cellsBefore = g->PaintedCells();
  q.data.volume = 11;
  q.data.last = 3001;
  std::thread([&] { quotes.DeliverQuote(q); }).join();
  Pump();
  QTest::qWait(50);
  Pump();
  const QRegion flush = g->LastFlushRegion();
  for (int kind : {kGridLast, kGridVolume, kGridChange, kGridChangePercent})
    EXPECT_TRUE(flush.contains(g->CellRect(3, ColumnOf(g, kind)).center())) << kind;
  EXPECT_FALSE(flush.contains(g->CellRect(3, ColumnOf(g, kGridOpenInterest)).center()));
  EXPECT_GE(g->PaintedCells() - cellsBefore, 4);
  EXPECT_LE(g->PaintedCells() - cellsBefore, 6);
}

TEST_F(QuoteWindows, HeaderClicksResizeAndColumnDrags) {
  auto w = OpenWindow("SHFE");
  CQuoteGridCtrl* g = w->Grid();
  for (std::size_t i = 0; i < market->rbMonths.size(); ++i) {
    DC_Quote q = test::MakeQuote(market->rbMonths[i], 3000 + 37 * static_cast<float>((i * 3) % 4));
    q.data.preSettlement = 3000;
    g->OnQuote(0, &q);
  }
  const int change = ColumnOf(g, kGridChange);
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->HeaderRect(change)));
  EXPECT_EQ(g->Model().SortColumn(), change);
  EXPECT_FALSE(g->Model().SortAscending());
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->HeaderRect(change)));
  EXPECT_TRUE(g->Model().SortAscending());
  // A double click is two clicks.
  QTest::mouseDClick(g, Qt::LeftButton, {}, Center(g->HeaderRect(change)));
  EXPECT_TRUE(g->Model().SortAscending());
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->HeaderRect(change)));
  EXPECT_FALSE(g->Model().SortAscending());
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->HeaderRect(0)));
  EXPECT_EQ(Codes(g).front(), "cu2603");

  // Dragging the right edge of the "最新" column widens it and saves.
  const int last = ColumnOf(g, kGridLast);
  const QRect h = g->HeaderRect(last);
  const int before = g->Model().Columns()[last].width;
  const QPoint edge(h.right() + 1, h.center().y());
  QTest::mousePress(g, Qt::LeftButton, {}, edge);
  QTest::mouseMove(g, edge + QPoint(30, 0));
  QTest::mouseRelease(g, Qt::LeftButton, {}, edge + QPoint(30, 0));
  EXPECT_EQ(g->Model().Columns()[last].width, before + 30);
  EXPECT_NE(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "ColWidth", "").find(std::to_string(before + 30)),
            std::string::npos);

  // Column 5 dragged onto column 3; the name column never moves.
  const int kind5 = g->Model().KindAt(5);
  QTest::mousePress(g, Qt::LeftButton, {}, Center(g->HeaderRect(5)));
  QTest::mouseMove(g, Center(g->HeaderRect(3)));
  QTest::mouseRelease(g, Qt::LeftButton, {}, Center(g->HeaderRect(3)));
  EXPECT_EQ(g->Model().KindAt(3), kind5);
  QTest::mousePress(g, Qt::LeftButton, {}, Center(g->HeaderRect(1)));
  QTest::mouseMove(g, Center(g->HeaderRect(4)));
  QTest::mouseRelease(g, Qt::LeftButton, {}, Center(g->HeaderRect(4)));
  EXPECT_EQ(g->Model().KindAt(1), kGridName);
}

TEST_F(QuoteWindows, SelectionDoubleClickAndTheHost) {
  FakeHost host;
  host.info.inChartContainer = true;
  host.info.workspaceWindows = 1;
  auto w = OpenWindow("SHFE", &host, &host);
  CQuoteGridCtrl* g = w->Grid();
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->CellRect(2, 1)));
  Pump();
  const std::string key(g->Model().RowAt(2)->contract.Key());
  EXPECT_EQ(w->CurrentContract().Key(), key);
  EXPECT_EQ(trade.selected, std::vector<std::string>{key});
  EXPECT_EQ(host.followed, std::vector<std::string>{key});
  QTest::mouseDClick(g, Qt::LeftButton, {}, Center(g->CellRect(4, 1)));
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_TRUE(host.shown[0].second);
  host.info.workspaceWindows = 3;
  host.info.linkedGridContainer = true;
  QTest::mouseDClick(g, Qt::LeftButton, {}, Center(g->CellRect(4, 1)));
  EXPECT_FALSE(host.shown.back().second);  // handed over, no switch to the chart
  // Split and close from the menu and the caption go to the container as message 1014.
  w->RunMenuCommand(kGridCmdSplitLeftRight, 1);
  host.info.workspaceWindows = 1;
  w->SetHost(&host);
  EXPECT_FALSE(w->CloseButton()->isHidden());
  w->CloseButton()->click();
  Pump();
  EXPECT_EQ(host.commands, (std::vector<int>{kWindowSplitLeftRight, kWindowClose}));
  std::vector<int> ids;
  for (const auto& e : w->MenuEntries(1)) ids.push_back(e.id);
  EXPECT_NE(std::find(ids.begin(), ids.end(), kGridCmdCloseWindow), ids.end());
}

TEST_F(QuoteWindows, TheMainFramesGridHasNoWindowCommands) {
  auto w = OpenWindow("SHFE");
  EXPECT_FALSE(w->CloseButton()->isVisible());
  EXPECT_FALSE(w->MaximizeButton()->isVisible());
  EXPECT_TRUE(w->SwitchButton()->isVisible());
  EXPECT_TRUE(QRect(0, 0, w->width(), w->Grid()->y()).contains(w->SwitchButton()->geometry()));
  for (const auto& e : w->MenuEntries(0)) EXPECT_TRUE(e.id < 1007 || e.id > 1010) << e.id;
  // The alert entry is there once the alert engine is.
  std::string alerted;
  CWndQuoteGird::SetQuoteAlertHook([&](QWidget*, const DC_Contract& c) { alerted = std::string(c.Key()); });
  EXPECT_EQ(w->MenuEntries(0).back().id, kGridCmdQuoteAlert);
  EXPECT_EQ(w->MenuEntries(-1).back().id, kGridCmdAutoFit);
  w->RunMenuCommand(kGridCmdQuoteAlert, 0);
  EXPECT_EQ(alerted, w->Grid()->Model().RowAt(0)->contract.Key());
}

TEST_F(QuoteWindows, UserBlockFromTheMenuTheKeysAndRowDrags) {
  auto w = OpenWindow("SHFE");
  CQuoteGridCtrl* g = w->Grid();
  UserBlockStore& store = GetUserBlockStore();
  const DC_Contract row0 = g->Model().RowAt(0)->contract;
  QMenu* menu = w->BuildContextMenu(0, w.get());
  ASSERT_GE(menu->actions().size(), 4);
  EXPECT_EQ(ui::ToGbk(menu->actions()[3]->text()), TXT("加入自选(Ctrl+Z)"));
  menu->actions()[3]->trigger();
  EXPECT_TRUE(store.Contains(row0, "USER"));
  EXPECT_EQ(w->MenuEntries(0)[3].text, TXT("从自选移除"));
  delete menu;
  // Ctrl+Z on the selected row adds another.
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->CellRect(1, 1)));
  QTest::keyClick(g, Qt::Key_Z, Qt::ControlModifier);
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->CellRect(6, 1)));
  QTest::keyClick(g, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(store.Contracts("USER").size(), 3u);

  w->ShowBlock("USER");
  EXPECT_EQ(g->Model().RowCount(), 3);
  std::vector<std::string> ids;
  for (const auto& e : w->MenuEntries(0)) ids.push_back(e.text);
  EXPECT_NE(std::find(ids.begin(), ids.end(), TXT("删除")), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), TXT("合约设置")), ids.end());

  // A row dragged to the end: the user's block takes the order.
  const std::string first(g->Model().RowAt(0)->contract.Key());
  QTest::mousePress(g, Qt::LeftButton, {}, Center(g->CellRect(0, 1)));
  QTest::mouseMove(g, Center(g->CellRect(1, 1)));
  QTest::mouseMove(g, Center(g->CellRect(2, 1)));
  QTest::mouseRelease(g, Qt::LeftButton, {}, Center(g->CellRect(2, 1)));
  Pump();
  ASSERT_EQ(store.Contracts("USER").size(), 3u);
  EXPECT_EQ(store.Contracts("USER")[2].Key(), first);
  EXPECT_EQ(g->Model().RowAt(2)->contract.Key(), first);

  // Delete removes the selected row's contract from "USER"; the grid reloads.
  QTest::mouseClick(g, Qt::LeftButton, {}, Center(g->CellRect(0, 1)));
  QTest::keyClick(g, Qt::Key_Delete);
  Pump();
  EXPECT_EQ(store.Contracts("USER").size(), 2u);
  EXPECT_EQ(g->Model().RowCount(), 2);

  // "合约设置" edits the list in the selection dialog.
  w->runDialog = [&](QDialog* d) {
    auto* sel = static_cast<CDlgSelContract*>(d);
    sel->Selection().Unchoose(0);
    sel->OnOk();
    return d->result();
  };
  w->RunMenuCommand(kGridCmdContractSettings, -1);
  Pump();
  EXPECT_EQ(store.Contracts("USER").size(), 1u);
  EXPECT_EQ(g->Model().RowCount(), 1);
}

TEST_F(QuoteWindows, DeletedBlockFallsBackToTheUsersBlock) {
  GetUserBlockStore().Add(market->gcMonth, "Mine");
  auto w = OpenWindow("Mine");
  EXPECT_EQ(w->BlockName(), "Mine");
  GetUserBlockStore().DeleteBlock("Mine");
  Pump();
  EXPECT_EQ(w->BlockName(), "USER");
  EXPECT_EQ(w->BlockBar()->IndexOf("Mine"), -1);
}

TEST_F(QuoteWindows, CaptionSwitchesAreTickedAndStored) {
  auto w = OpenWindow("SHFE");
  std::unique_ptr<QMenu> menu(w->BuildSwitchMenu());
  ASSERT_EQ(menu->actions().size(), 6);
  EXPECT_EQ(ui::ToGbk(menu->actions()[0]->text()), TXT("变动高亮"));
  EXPECT_EQ(ui::ToGbk(menu->actions()[5]->text()), TXT("竖向网格"));
  EXPECT_FALSE(menu->actions()[0]->isChecked());
  EXPECT_TRUE(menu->actions()[3]->isChecked());  // the selection frame is on by default
  menu->actions()[4]->trigger();
  EXPECT_TRUE(w->Grid()->Model().Flags().horizonGrid);
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridLayout", "HorizonGrid", ""), "1");
  menu->actions()[3]->trigger();
  EXPECT_EQ(Profile::GetString("\\config\\setting.ini", "GridSelRowRect", "IsSelRowRect", ""), "0");
  std::unique_ptr<QMenu> again(w->BuildSwitchMenu());
  EXPECT_TRUE(again->actions()[4]->isChecked());
  EXPECT_FALSE(again->actions()[3]->isChecked());
}

TEST_F(QuoteWindows, SettingsChangeRecomputesWidthsAndRereadsTheSwitches) {
  auto w = OpenWindow("SHFE");
  tarn::QuoteGridModel& m = w->Grid()->Model();
  const int name = m.Columns()[1].width;
  m.SetColumnWidth(1, name + 200);
  test::WriteFile(Path("\\config\\setting.ini"), "[GridShowHighLight]\r\nHighLight=1\r\n");
  GetSettingCfg().Notify(false);  // the switches only
  EXPECT_TRUE(m.Flags().highLight);
  EXPECT_EQ(m.Columns()[1].width, name + 200);
  GetSettingCfg().Notify(true);
  EXPECT_EQ(m.Columns()[1].width, name);
  const std::string widths = Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "ColWidth", "");
  EXPECT_EQ(widths.rfind(std::to_string(m.Columns()[0].width) + "|" + std::to_string(name) + "|", 0), 0u) << widths;
}

TEST_F(QuoteWindows, DamagedColumnFilesLeaveTheDefaultColumns) {
  for (const char* text : {"[GridCol]\r\nDataIdx=0|1|2\r\nColW", "\x01\x02garbage[[[=\r\n\xff\xfe"}) {
    test::WriteFile(QuoteGridIniPath(), text);
    CWndQuoteGird w;
    EXPECT_EQ(w.Grid()->Model().ColumnCount(), 23);
    EXPECT_EQ(w.Grid()->Model().KindAt(20), kGridSettlement);
  }
}

TEST_F(QuoteWindows, HeaderSettingsDialog) {
  auto w = OpenWindow("SHFE");
  w->runDialog = [&](QDialog* d) {
    auto* dlg = static_cast<CDlgSetGridHead*>(d);
    dlg->chosen->setCurrentRow(-1);
    dlg->OnRemove();
    EXPECT_EQ(boxes.LastText(), TXT("没有行被选中!"));
    dlg->chosen->setCurrentRow(22);
    dlg->OnRemove();
    dlg->chosen->setCurrentRow(2);
    dlg->OnUp();
    dlg->OnOk();
    return d->result();
  };
  w->RunMenuCommand(kGridCmdHeaderSettings, -1);
  CQuoteGridCtrl* g = w->Grid();
  EXPECT_EQ(g->Model().ColumnCount(), 22);
  EXPECT_EQ(g->Model().KindAt(1), kGridLast);
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "DataIdx", "").substr(0, 5), "0|2|1");
}

TEST_F(QuoteWindows, ContractSelectionWantsAContractInSingleMode) {
  CDlgSelContract d(false);
  d.show();
  d.tabs->setCurrentIndex(1);
  ASSERT_EQ(d.contracts->topLevelItemCount(), 6);
  EXPECT_TRUE(d.commodities->isVisible());
  d.OnOk();
  EXPECT_EQ(boxes.LastText(), TXT("请选择一个合约"));
  EXPECT_NE(d.result(), QDialog::Accepted);
  d.commodities->setCurrentRow(1);
  ASSERT_EQ(d.contracts->topLevelItemCount(), 2);
  d.contracts->setCurrentItem(d.contracts->topLevelItem(1));
  d.OnOk();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.Contract().Key(), "SHFE|cu2604");
  CDlgSelContract hot(false);
  hot.show();
  hot.tabs->setCurrentIndex(4);  // "HOT": no commodity list
  EXPECT_FALSE(hot.commodities->isVisible());
  EXPECT_EQ(hot.contracts->topLevelItemCount(), 3);
}

}  // namespace
}  // namespace tarn
