// The trade grid's windows under the offscreen platform: the container's groups, function keys,
// refresh by notification and timer, cells written only when they change, the layout and width
// files, the selected position; the funds window's cells and account list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/grid/gui/money_wnd.h"
#include "trade/grid/gui/my_color_grid.h"
#include "trade/orders/gui/order_dialogs.h"
#include "tools/setting_cfg.h"
#include "trade/grid/gui/trade_grid_container.h"
#include "trade_fakes.h"
#include "ui/fonts.h"
#include "ui/screenshot.h"
#include "ui/text_qt.h"

namespace tarn::test {
namespace {

constexpr const char* kUser = "\\user\\setting.ini";

class TradeGridWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    Profile::WriteString(kUser, "TradeGridLayout", "version", "5");
    Profile::WriteString(kUser, "TradeGrid1", "value", "0,1,3,4,5,6,7");
    Profile::WriteString(kUser, "TradeGrid2", "value", "2");
    api.positions = {TestPosition("rb2601", 2, 0), TestPosition("au2602", 0, 3)};
    api.orders = {TestOrder("A", "rb2601", 2)};
  }
  ScopedHome home;
  GridFakeApi api;
};

TEST_F(TradeGridWindow, GroupsFunctionKeysAndTitles) {
  CTradeGridContainer grid;
  grid.resize(1000, 300);
  grid.show();
  ASSERT_EQ(grid.GroupCount(), 2);
  EXPECT_EQ(grid.GroupTabs(1), std::vector<int>{kTabWorking});
  EXPECT_EQ(grid.CurrentTab(0), kTabPositions);
  EXPECT_EQ(grid.Group(0)->tabText(0), ui::ToQString(TXT("F5持仓(2)")));
  EXPECT_EQ(grid.Group(1)->tabText(0), ui::ToQString(TXT("F4挂单(1)")));
  QTest::keyClick(grid.Grid(kTabPositions), Qt::Key_F1);
  EXPECT_EQ(grid.CurrentTab(0), kTabFills);
  QTest::keyClick(grid.Grid(kTabFills), Qt::Key_F4);  // the second group already shows it
  EXPECT_EQ(grid.CurrentTab(0), kTabFills);
  EXPECT_EQ(grid.CurrentTab(1), kTabWorking);
  QTest::keyClick(grid.Grid(kTabFills), Qt::Key_F5);
  EXPECT_EQ(grid.CurrentTab(0), kTabPositions);
  // Hidden, the keys do nothing.
  grid.hide();
  QTest::keyClick(grid.Grid(kTabPositions), Qt::Key_F9);
  EXPECT_EQ(grid.CurrentTab(0), kTabPositions);
}

TEST_F(TradeGridWindow, NotificationsRefreshOnTheWindowsThread) {
  CTradeGridContainer grid;
  CMyColorGrid* orders = grid.Grid(kTabOrders);
  ASSERT_EQ(orders->RowCount(), 1);
  EXPECT_EQ(orders->CellAt(0, 0)->text, "1");
  EXPECT_EQ(orders->CellAt(0, 8)->text, TXT("已排队"));
  api.orders[0].state = 4;
  api.orders.push_back(TestOrder("B", "au2602", 11, 1));
  // The library's thread only posts: nothing changes until the window handles the message.
  api.Notify([](ITradeNotify* l) { l->OnOrder(nullptr, AccountTexts{}); });
  EXPECT_EQ(orders->CellAt(0, 8)->text, TXT("已排队"));
  QCoreApplication::sendPostedEvents(&grid);
  EXPECT_EQ(orders->CellAt(0, 8)->text, TXT("完全成交"));
  EXPECT_EQ(grid.Grid(kTabConditions)->RowCount(), 1);
  // A partial position list only marks the positions dirty; the timer reads them.
  api.positions[0].longQuantity = 5;
  api.Notify([](ITradeNotify* l) { l->OnPositions(AccountTexts{}, false); });
  QCoreApplication::sendPostedEvents(&grid);
  EXPECT_EQ(grid.Grid(kTabPositions)->CellAt(0, 3)->text, "2");
  grid.OnRefreshTimer();
  EXPECT_EQ(grid.Grid(kTabPositions)->CellAt(0, 3)->text, "5");
  // Unchanged lists repaint no cell.
  const long long before = grid.Grid(kTabPositions)->CellUpdates();
  grid.RefreshNow(true);
  EXPECT_EQ(grid.Grid(kTabPositions)->CellUpdates(), before);
}

TEST(ColorGrid, NumberedRowsKeepTheSharedCellsAndRepaintOnlyWhatChangedInSight) {
  CMyColorGrid grid(1);
  grid.SetNumbered(true);
  grid.SetColumns({TradeColumn{TXT("序号"), 4, CellAlign::Left}, TradeColumn{TXT("合约"), 8, CellAlign::Left},
                   TradeColumn{TXT("数量"), 6, CellAlign::Right}});
  grid.resize(400, grid.HeaderHeight() + 3 * grid.RowHeight());  // three rows in sight
  grid.show();
  auto row = [](const char* code, const char* qty) {
    return std::make_shared<const CellRow>(CellRow{GridCell{code, 0}, GridCell{qty, 0}});
  };
  std::vector<std::shared_ptr<const CellRow>> list;
  for (int i = 0; i < 10; ++i) list.push_back(row(Format("c%d", i).c_str(), "1"));
  grid.SetRowCount(10);
  for (int r = 0; r < 10; ++r) grid.SetSharedRow(r, list[static_cast<std::size_t>(r)]);
  EXPECT_EQ(grid.CellAt(4, 0)->text, "5");  // the grid's own number
  EXPECT_EQ(grid.CellAt(4, 1)->text, "c4");
  EXPECT_EQ(grid.CellAt(4, 2)->text, "1");
  EXPECT_EQ(grid.CellAt(4, 3), nullptr);
  // The same cells again: nothing repaints.
  long long before = grid.CellUpdates();
  for (int r = 0; r < 10; ++r) grid.SetSharedRow(r, list[static_cast<std::size_t>(r)]);
  EXPECT_EQ(grid.CellUpdates(), before);
  // The first record leaves: every row takes the next one's cells, and only the rows in sight
  // repaint, only their changed cells (the code; the quantity is the same text).
  list.erase(list.begin());
  for (int r = 0; r < 9; ++r) grid.SetSharedRow(r, list[static_cast<std::size_t>(r)]);
  grid.SetRowCount(9);
  EXPECT_EQ(grid.CellUpdates() - before, 3);
  for (int r = 0; r < 9; ++r) EXPECT_EQ(grid.CellAt(r, 1)->text, Format("c%d", r + 1)) << r;
  EXPECT_EQ(grid.CellAt(8, 0)->text, "9");
  // A whole row written with its number (the plain form) reads the same.
  grid.SetRow(0, CellRow{GridCell{"99", 0}, GridCell{"c1", 0}, GridCell{"2", 0}});
  EXPECT_EQ(grid.CellAt(0, 0)->text, "1");
  EXPECT_EQ(grid.CellAt(0, 2)->text, "2");
  // Without numbering, the row holds every column.
  CMyColorGrid plain(2);
  plain.SetColumns({TradeColumn{TXT("合约"), 8, CellAlign::Left}});
  plain.SetRowCount(1);
  plain.SetRow(0, CellRow{GridCell{"rb", 0}});
  EXPECT_EQ(plain.CellAt(0, 0)->text, "rb");
}

TEST_F(TradeGridWindow, DraggedTabsAndColumnWidthsAreKept) {
  {
    CTradeGridContainer grid;
    // The last tab of the second group moves back: one group is left.
    EXPECT_TRUE(grid.MoveTab(kTabWorking, 0, 1));
    EXPECT_EQ(grid.GroupCount(), 1);
    EXPECT_EQ(Profile::GetString(kUser, "TradeGrid1", "value", ""), "0,2,1,3,4,5,6,7");
    EXPECT_EQ(Profile::GetString(kUser, "TradeGrid2", "value", "x"), "");
    // A drop at the right edge makes the second group again.
    EXPECT_TRUE(grid.MoveTab(kTabFills, 1, -1));
    EXPECT_EQ(grid.GroupCount(), 2);
    EXPECT_EQ(Profile::GetString(kUser, "TradeGrid2", "value", ""), "3");
    std::vector<int> widths = grid.Grid(kTabFills)->ColumnWidths();
    widths[2] = 123;
    grid.Grid(kTabFills)->SetColumnWidths(widths);
    GridNotify n;
    n.kind = GridNotify::WidthChanged;
    n.controlId = 103;
    n.column = 2;
    grid.HandleGridNotify(n);
  }
  CTradeGridContainer again;
  EXPECT_EQ(again.GroupTabs(1), std::vector<int>{kTabFills});
  EXPECT_EQ(again.Grid(kTabFills)->ColumnWidths()[2], 123);
}

TEST_F(TradeGridWindow, SelectedPositionAndContextMenu) {
  CTradeGridContainer grid;
  std::vector<PositionRecord> selected;
  grid.onPositionSelected = [&](const PositionRecord& p) { selected.push_back(p); };
  ASSERT_EQ(GetSelPositionQueryer(), &grid);
  PositionRecord out{};
  EXPECT_FALSE(grid.QuerySelectedPosition(out));  // no row selected yet
  grid.resize(1000, 300);
  grid.show();
  CMyColorGrid* positions = grid.Grid(kTabPositions);
  const QRect cell = positions->CellRect(1, 1);
  QTest::mouseClick(positions->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0].contract.Code(), "au2602");
  ASSERT_TRUE(grid.QuerySelectedPosition(out));
  EXPECT_EQ(out.shortQuantity, 3);
  grid.ShowTab(kTabFills);  // the positions tab is no longer the visible one
  EXPECT_FALSE(grid.QuerySelectedPosition(out));
  QMenu* menu = grid.BuildContextMenu(102, 1);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 6);
  EXPECT_EQ(menu->actions()[1]->text(), ui::ToQString(TXT("快速平仓")));
  Profile::WriteString(kUser, "CoverConfirm", "Value", "0");
  menu->actions()[1]->trigger();
  ASSERT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(api.closed[0].contract.Code(), "au2602");
  delete menu;
  // The button bar's commands carry the selected row.
  positions->Button(204)->click();
  ASSERT_EQ(api.closed.size(), 2u);
  EXPECT_EQ(api.closed[1].shortQuantity, 2);  // 75 % of 3
}

TEST_F(TradeGridWindow, RemarkEditedByDoubleClick) {
  CTradeGridContainer grid;
  grid.runDialog = [](QDialog& d) {
    auto* input = d.findChild<QLineEdit*>();
    if (input) input->setText(QStringLiteral("观察仓"));
    return static_cast<int>(QDialog::Accepted);
  };
  GridNotify n;
  n.kind = GridNotify::DoubleClicked;
  n.controlId = 102;
  n.row = 0;
  n.column = TabColumnIndex(kTabPositions, TXT("备注"));
  grid.HandleGridNotify(n);
  EXPECT_EQ(grid.Grid(kTabPositions)->CellAt(0, n.column)->text, TXT("观察仓"));
  PositionRemarkStore stored;
  stored.Load();
  EXPECT_EQ(stored.Get("rb2601_B"), TXT("观察仓"));
}

TEST_F(TradeGridWindow, DoubleClicksOpenTheOrderPanelsCloseDialogs) {
  PositionDetail d{};
  d.contract = TestContract("rb2601");
  d.direction = 1;
  d.quantity = 2;
  SetField(d.positionNumber, "P1");
  api.details = {d};
  CTradeGridContainer grid;
  std::vector<std::string> shown;
  grid.runDialog = [&](QDialog& dialog) {
    shown.push_back(dialog.metaObject()->className());
    return static_cast<int>(QDialog::Rejected);
  };
  GetSettingCfg().dbClickPositionAction = 0;
  GridNotify n;
  n.kind = GridNotify::DoubleClicked;
  n.controlId = 102;
  n.row = 0;
  n.column = 1;
  grid.HandleGridNotify(n);
  n.controlId = 108;
  grid.HandleGridNotify(n);
  EXPECT_EQ(shown, (std::vector<std::string>{"CDlgCoverPosition", "CDlgCoverByPosNo"}));
  EXPECT_TRUE(api.inserted.empty());  // both refused: nothing sent
}

TEST_F(TradeGridWindow, FillModeButtons) {
  FillRecord f{};
  f.contract = TestContract("rb2601");
  f.direction = 1;
  f.offset = 1;
  f.quantity = 1;
  SetField(f.fillNumber, "1");
  api.fills = {f, f};
  SetField(api.fills[1].fillNumber, "2");
  CTradeGridContainer grid;
  CMyColorGrid* fills = grid.Grid(kTabFills);
  EXPECT_EQ(fills->RowCount(), 2);
  EXPECT_TRUE(fills->Button(kCodeFillDetail)->isChecked());
  fills->Button(kCodeFillSummary)->click();
  EXPECT_EQ(fills->RowCount(), 1);
  EXPECT_EQ(fills->CellAt(0, 4)->text, "2");
  EXPECT_TRUE(fills->Button(kCodeFillSummary)->isChecked());
  EXPECT_FALSE(fills->Button(kCodeFillDetail)->isChecked());
  EXPECT_EQ(grid.Group(0)->tabText(2), ui::ToQString(TXT("F1成交(1)")));
}

// Right clicks, clicks and double-clicks land where the user sees the rows: the grids carry a
// button bar above the viewport, and the events come in the viewport's coordinates.
TEST_F(TradeGridWindow, HitTestsAtTheRowsRealPositions) {
  api.positions = {TestPosition("rb2601", 2, 0)};
  api.orders = {TestOrder("A", "rb2601", 2), TestOrder("B", "rb2601", 2)};
  CTradeGridContainer grid;
  grid.resize(1000, 300);
  grid.show();
  std::vector<QStringList> menus;
  grid.showMenu = [&](QMenu* m) {
    QStringList texts;
    for (QAction* a : m->actions()) texts << a->text();
    menus.push_back(texts);
    delete m;
  };
  auto rightClick = [](CMyColorGrid* g, QPoint at) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, g->viewport()->mapToGlobal(at));
    QApplication::sendEvent(g->viewport(), &e);
  };
  CMyColorGrid* positions = grid.Grid(kTabPositions);
  ASSERT_TRUE(positions->ButtonBar()->isVisible());
  ASSERT_GT(positions->viewport()->geometry().top(), 0);
  // The only position row, right-clicked in its middle and near its top edge, offers its actions.
  rightClick(positions, positions->CellRect(0, 1).center());
  rightClick(positions, positions->CellRect(0, 1).topLeft() + QPoint(2, 1));
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].size(), 6);
  EXPECT_EQ(menus[0][1], ui::ToQString(TXT("快速平仓")));
  EXPECT_EQ(menus[1], menus[0]);
  EXPECT_EQ(positions->SelectedRow(), 0);
  // Below the rows: the menu without row actions.
  rightClick(positions, positions->CellRect(0, 1).center() + QPoint(0, positions->RowHeight()));
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[2].size(), 2);
  // On the orders tab, a double-click on the second row cancels the order shown there (A; the
  // newest, B, is first) and nothing else.
  grid.ShowTab(kTabOrders);
  CMyColorGrid* orders = grid.Grid(kTabOrders);
  GetSettingCfg().dbClickOrderAction = 1;
  QTest::mouseDClick(orders->viewport(), Qt::LeftButton, {}, orders->CellRect(1, 2).center());
  ASSERT_EQ(api.cancelled.size(), 1u);
  EXPECT_EQ(api.cancelled[0].Key(), "A");
  // Empty space below the rows offers only "全部撤单".
  rightClick(orders, orders->CellRect(1, 2).center() + QPoint(0, 2 * orders->RowHeight()));
  ASSERT_EQ(menus.size(), 4u);
  EXPECT_EQ(menus[3], QStringList{ui::ToQString(TXT("全部撤单"))});
}

TEST_F(TradeGridWindow, SelectionAndMenusKeepTheirRecordWhileRowsMove) {
  Profile::WriteString(kUser, "CoverConfirm", "Value", "0");
  CTradeGridContainer grid;
  grid.resize(1000, 300);
  grid.show();
  QMenu* menu = nullptr;
  grid.showMenu = [&](QMenu* m) { menu = m; };
  // The orders tab shows the newest first: every new order moves the rows down.
  grid.ShowTab(kTabOrders);
  CMyColorGrid* orders = grid.Grid(kTabOrders);
  QContextMenuEvent e(QContextMenuEvent::Mouse, orders->CellRect(0, 1).center(), QPoint());
  QApplication::sendEvent(orders->viewport(), &e);
  ASSERT_NE(menu, nullptr);  // the menu of order A, still open while
  api.orders.push_back(TestOrder("B", "au2602", 2));  // a new order arrives and the grid refreshes
  api.Notify([](ITradeNotify* l) { l->OnOrder(nullptr, AccountTexts{}); });
  QCoreApplication::sendPostedEvents(&grid);
  EXPECT_EQ(orders->CellAt(0, 1)->text, "au2602");
  EXPECT_EQ(orders->SelectedRow(), 1);  // the selection went with A
  menu->actions()[0]->trigger();        // "撤单"
  ASSERT_EQ(api.cancelled.size(), 1u);
  EXPECT_EQ(api.cancelled[0].Key(), "A");
  delete menu;
  // The positions shrink under the selection: it follows its position, and goes when it does.
  CMyColorGrid* positions = grid.Grid(kTabPositions);
  grid.ShowTab(kTabPositions);
  grid.SelectRow(kTabPositions, 1);  // au2602
  api.positions.erase(api.positions.begin());
  grid.RefreshNow(false);
  EXPECT_EQ(positions->SelectedRow(), 0);
  positions->Button(201)->click();  // "平10%"
  ASSERT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(api.closed[0].contract.Code(), "au2602");
  api.positions = {TestPosition("rb2601", 1, 0)};
  grid.RefreshNow(false);
  EXPECT_EQ(positions->SelectedRow(), -1);
  PositionRecord out{};
  EXPECT_FALSE(grid.QuerySelectedPosition(out));
  positions->Button(302)->click();  // "锁仓" with nothing selected sends nothing
  EXPECT_TRUE(api.inserted.empty());
}

TEST(MoneyWindow, CellsFitTheWidthAndAccountsSwitch) {
  ScopedHome home;
  GridFakeApi api;
  api.funds.margin = 5000;
  api.funds.dynamicEquity = 20000;
  api.accounts = {"8001", "8002"};
  Profile::WriteString(kUser, "TradePanelDynamicWord", "DynamicWordIndex", "0|11|99|3");
  Profile::WriteString(kUser, "AddSXZJ", "Value", "1");
  CMoneyWnd w;
  w.resize(ui::Scaled(100) * 2 + ui::Scaled(30), 40);
  EXPECT_EQ(w.Cells(), (std::vector<int>{0, 11, 99, 3}));
  EXPECT_EQ(w.VisibleCells(), (std::vector<int>{0, 11}));  // the third does not fit; 99 is no cell
  EXPECT_EQ(FundsCellText(11, w.Funds()).text, "0.25");
  QMenu* menu = w.BuildAccountMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[1]->data().toInt(), 1001);
  api.funds.margin = 7000;
  menu->actions()[1]->trigger();
  EXPECT_EQ(api.current, std::vector<std::string>{"8002"});
  EXPECT_EQ(FundsCellText(5, w.Funds()).text, "7000.00");  // the new current account's record
  delete menu;
  api.accounts = {"8001"};
  EXPECT_EQ(w.BuildAccountMenu(), nullptr);
  // A refresh notification re-reads the record on the window's thread.
  api.funds.margin = 1000;
  api.Notify([](ITradeNotify* l) { l->OnAccountUpdate(0, AccountTexts{}); });
  QCoreApplication::sendPostedEvents(&w);
  EXPECT_EQ(FundsCellText(5, w.Funds()).text, "1000.00");
  // The cell choice: the ticked cells in the list's order are stored.
  w.runDialog = [](QDialog& d) {
    auto& dlg = static_cast<CDlgFundsCells&>(d);
    dlg.list->setCurrentRow(1);
    dlg.MoveUp();
    return static_cast<int>(QDialog::Accepted);
  };
  w.ChooseCells();
  EXPECT_EQ(w.Cells(), (std::vector<int>{11, 0, 3}));
  EXPECT_EQ(Profile::GetString(kUser, "TradePanelDynamicWord", "DynamicWordIndex", ""), "11|0|3");
}

}  // namespace
}  // namespace tarn::test
