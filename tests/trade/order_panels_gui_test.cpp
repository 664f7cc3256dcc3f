// The order panels, dialogs and containers under the offscreen platform over the scripted
// libraries: what the panels show, what they send, what they store, and how notifications from
// the library reach them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/orders/gui/keyboard_order_panel.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/orders/gui/order_panel_base.h"
#include "trade/gui/panel_containers.h"
#include "trade/orders/gui/three_key_panel.h"
#include "trade/orders/gui/vert_order_panel.h"
#include "trade/orders/key_order_table.h"
#include "trade/order_fakes.h"
#include "ui/screenshot.h"
#include "ui/text_qt.h"

namespace tarn::test {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }
constexpr const char* kUser = "\\user\\setting.ini";

class OrderPanelsGui : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKeyOrderTable();
    quotes.snapshots["SHFE|rb2605"] = QuoteOf(quotes.rb, 3500, 3499, 3501);
    quotes.snapshots["DCE|m2605"] = QuoteOf(quotes.m, 3012.4, 3012.2, 3012.6);
  }
  void TearDown() override {
    SetConfirmRunner(nullptr);
    ResetKeyOrderTable();
  }
  ScopedHome home;
  OrdersQuoteCenter quotes;
  OrdersTradeApi api;
  MessageBoxRecorder boxes;
};

TEST_F(OrderPanelsGui, ConfirmationDialogRunsOnlyWhenSwitchedOn) {
  const OrderRecord o = MakePanelOrder(quotes.rb, 1, 1, 2, 0, 3500);
  int shown = 0;
  SetConfirmRunner([&](CDlgConfirmSendOrder& d) {
    ++shown;
    EXPECT_EQ(d.price->text(), Q("3500"));
    d.keepConfirming->setChecked(false);
    return static_cast<int>(QDialog::Rejected);
  });
  EXPECT_FALSE(ConfirmSendOrder(o));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(Profile::GetString(kUser, "TradeConfirm", "Value", "none"), "none");  // Cancel writes nothing
  SetConfirmRunner([&](CDlgConfirmSendOrder& d) {
    ++shown;
    d.keepConfirming->setChecked(false);
    d.OnOk();
    return d.result();
  });
  EXPECT_TRUE(ConfirmSendOrder(o));
  EXPECT_EQ(Profile::GetString(kUser, "TradeConfirm", "Value", ""), "0");
  EXPECT_TRUE(ConfirmSendOrder(o));  // switched off: no dialog
  EXPECT_EQ(shown, 2);
  OrderRecord none = o;
  none.contract.commodity = 0;
  EXPECT_FALSE(ConfirmSendOrder(none));
}

TEST_F(OrderPanelsGui, ThreeKeyPanelShowsTheKeysPricesAndSends) {
  Profile::WriteString("\\config\\tradePanel.ini", "PriceType", "Value", std::string_view("2"));
  CWndThreeKeyOrderPanel panel;
  EXPECT_EQ(panel.PriceType(), 2);
  panel.confirm = [](const OrderRecord&) { return true; };
  panel.SetContract(quotes.rb);
  // The queue price: the buy key shows bid 1, the sell key ask 1.
  EXPECT_EQ(panel.buyKey->Price(), Q("3499"));
  EXPECT_EQ(panel.sellKey->Price(), Q("3501"));
  EXPECT_EQ(panel.closeKey->Title(), Q("平仓"));
  EXPECT_EQ(panel.closeKey->Subtitle(), Q("先开先平"));
  EXPECT_TRUE(panel.ask->text().contains(Q("3501")));
  panel.quantity->edit->setText(Q("3"));
  panel.SellOpen();
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].price, 3501);
  EXPECT_EQ(api.inserted[0].quantity, 3);
  // Choosing the market type is stored at once; the keys read "市价".
  panel.SetPriceType(kPriceMarket);
  EXPECT_EQ(StoredPriceType(), 3);
  EXPECT_EQ(panel.buyKey->Price(), Q("市价"));
  panel.quantity->edit->setText(Q("0"));
  panel.SellOpen();
  EXPECT_EQ(U(panel.Status()), "手数超过最大报单限制");
}

TEST_F(OrderPanelsGui, AQuoteFromTheLibraryThreadReachesThePanelByAPostedMessage) {
  CWndThreeKeyOrderPanel panel;
  panel.SetPriceType(kPriceLast);
  panel.SetContract(quotes.rb);
  EXPECT_EQ(panel.buyKey->Price(), Q("3500"));
  quotes.DeliverQuote(QuoteOf(quotes.rb, 3510, 3509, 3511));
  EXPECT_EQ(panel.buyKey->Price(), Q("3500"));  // not drawn on the delivering thread
  QApplication::processEvents();
  EXPECT_EQ(panel.buyKey->Price(), Q("3510"));
  // Another contract's quote changes nothing.
  quotes.DeliverQuote(QuoteOf(quotes.m, 1, 1, 1));
  QApplication::processEvents();
  EXPECT_EQ(panel.Quote().last, 3510);
}

TEST_F(OrderPanelsGui, SelectedContractsAndPositionsRespectTheLock) {
  CWndThreeKeyOrderPanel panel;
  panel.SetContract(quotes.rb);
  api.SelectContract(quotes.m, 1, 3012.4);
  QApplication::processEvents();
  EXPECT_EQ(panel.Contract().Key(), "DCE|m2605");
  EXPECT_EQ(panel.PriceType(), kPriceSpecified);
  EXPECT_EQ(panel.price->text(), Q("3012.4"));
  panel.SetLocked(true);
  api.SelectContract(quotes.rb, 2, 3500);
  QApplication::processEvents();
  EXPECT_EQ(panel.Contract().Key(), "DCE|m2605");
  // A locked panel takes a position of its own contract only.
  panel.OnPositionSelected(Position(quotes.rb, 4, 0));
  EXPECT_EQ(panel.Contract().Key(), "DCE|m2605");
  panel.OnPositionSelected(Position(quotes.m, 0, 6));
  EXPECT_EQ(panel.quantity->edit->text(), Q("6"));
  panel.SetLocked(false);
  panel.OnPositionSelected(Position(quotes.rb, 4, 0));
  EXPECT_EQ(panel.Contract().Key(), "SHFE|rb2605");
  EXPECT_EQ(panel.quantity->edit->text(), Q("4"));
}

TEST_F(OrderPanelsGui, PanelsTakeTheMainMonthOfAContinuousContract) {
  const DC_Contract rbMain = quotes.AddSeries("SHFE|rbMI", 1, "MI");
  quotes.hot = {quotes.rb};
  CWndThreeKeyOrderPanel three;
  CWndVertOrderPanel standard;
  three.SetContract(rbMain);
  EXPECT_EQ(three.Contract().Key(), "SHFE|rb2605");
  EXPECT_EQ(three.selector->code->text(), Q("SHFE|rb2605"));  // the main month's code
  // Picked elsewhere in the terminal (a grid or chart showing the series).
  api.SelectContract(rbMain, 0, 0);
  QCoreApplication::sendPostedEvents(&standard);
  EXPECT_EQ(standard.Contract().Key(), "SHFE|rb2605");
}

TEST_F(OrderPanelsGui, ANewContractTakesItsDefaultQuantity) {
  KeyOrderTable t = BuiltInKeyOrderTable();
  t.products["DCE|m"] = 5;
  ASSERT_TRUE(ReplaceKeyOrderTable(t));
  CWndThreeKeyOrderPanel panel;
  panel.SetContract(quotes.m);
  EXPECT_EQ(panel.quantity->edit->text(), Q("5"));
  panel.SetContract(quotes.rb);
  EXPECT_EQ(panel.quantity->edit->text(), Q("1"));
  panel.SetStatus(TXT("价格错误"));
  panel.SetContract(quotes.m);
  EXPECT_EQ(panel.Status(), "");
}

TEST_F(OrderPanelsGui, LockedPositionsLabelTheCloseKey) {
  api.positions = {Position(quotes.rb, 2, 0), Position(quotes.rb, 0, 2)};
  CWndThreeKeyOrderPanel panel;
  panel.SetContract(quotes.rb);
  EXPECT_EQ(panel.closeKey->Title(), Q("锁仓状态"));
  EXPECT_EQ(panel.buyKey->Subtitle(), Q("加多"));
  panel.Close();
  EXPECT_EQ(U(panel.Status()), "请在持仓列表中选择一个持仓");
  const PositionRecord shortOne = api.positions[1];
  SetSelectedPositionSource([shortOne](PositionRecord* p) {
    *p = shortOne;
    return true;
  });
  panel.RefreshPrices();
  EXPECT_EQ(panel.closeKey->Title(), Q("平空单"));
  SetSelectedPositionSource(nullptr);
}

TEST_F(OrderPanelsGui, StandardPanelFollowsThePriceAndResets) {
  CWndVertOrderPanel panel;
  panel.confirm = [](const OrderRecord&) { return true; };
  panel.SetContract(quotes.m);
  panel.SetPriceType(kPriceCounter);
  panel.SetDirection(1);
  EXPECT_EQ(panel.price->text(), Q("3012.6"));
  EXPECT_EQ(panel.send->text(), Q("下单 (买 )"));
  panel.Send();
  EXPECT_EQ(U(panel.Status()), "请选择开平方向");
  panel.SetOffset(1);
  EXPECT_EQ(panel.send->text(), Q("下单 (买 开仓)"));
  panel.Send();
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_DOUBLE_EQ(api.inserted[0].price, 3012.6);
  panel.SetPriceType(kPriceMarket);
  EXPECT_EQ(panel.price->text(), Q("市价"));
  panel.SetPriceType(kPriceSpecified);
  EXPECT_EQ(panel.price->text(), Q(""));  // the leftover "市价" goes once
  panel.Reset();
  EXPECT_EQ(panel.Direction(), 0);
  EXPECT_EQ(panel.Offset(), 0);
  EXPECT_FALSE(panel.buy->isChecked());
  EXPECT_FALSE(panel.sell->isChecked());
}

TEST_F(OrderPanelsGui, KeyboardPanelTakesCharactersOnlyWhileShown) {
  KeyOrderTable t = BuiltInKeyOrderTable();
  t.products["SHFE|rb"] = 2;
  ASSERT_TRUE(ReplaceKeyOrderTable(t));
  CWndKeybordOrderPanel panel;
  panel.wait = [](int) {};
  panel.SetContract(quotes.rb);
  EXPECT_EQ(panel.quantity->text(), Q("2"));
  panel.multiplier->setText(Q("2.5"));
  EXPECT_EQ(panel.quantity->text(), Q("5"));
  EXPECT_FALSE(DispatchTypedCharacter('1'));  // hidden
  panel.show();
  EXPECT_FALSE(DispatchTypedCharacter('1'));  // switched off
  panel.ToggleEnabled();
  EXPECT_TRUE(panel.enable->isChecked());
  panel.activateWindow();
  panel.enable->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(DispatchTypedCharacter('1'));
  EXPECT_FALSE(DispatchTypedCharacter('2'));
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].quantity, 5);
  EXPECT_EQ(api.inserted[0].price, 3501);
  // A "1" typed into a text box (the panel's own multiplier box, a settings dialog's quantity)
  // or while a modal dialog is open is text, never an order.
  panel.multiplier->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), panel.multiplier);
  EXPECT_FALSE(DispatchTypedCharacter('1'));
  panel.enable->setFocus();
  QDialog modal(&panel);
  modal.setModal(true);
  modal.show();
  QApplication::processEvents();
  ASSERT_NE(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(DispatchTypedCharacter('1'));
  modal.hide();
  QApplication::processEvents();
  panel.enable->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(DispatchTypedCharacter('1'));  // the same key sends again once nothing holds it
  EXPECT_EQ(api.inserted.size(), 2u);
}

TEST_F(OrderPanelsGui, KeyboardSettingsDialogEditsACopy) {
  int runs = 0;
  auto run = [&](QDialog& d) {
    auto& dialog = static_cast<CDlgSetKeybordOrder&>(d);
    ++runs;
    dialog.key->setText(Q("5"));
    dialog.action->setCurrentIndex(1);
    dialog.offset->setCurrentIndex(0);
    dialog.AddBinding();
    EXPECT_EQ(U(boxes.Boxes().back().text), "无效价格类型");
    dialog.priceType->setCurrentIndex(1);
    dialog.AddBinding();
    dialog.RemoveProduct();
    EXPECT_EQ(U(boxes.Boxes().back().text), "请点击选择一条记录");
    return runs == 1 ? static_cast<int>(QDialog::Rejected) : static_cast<int>(QDialog::Accepted);
  };
  EXPECT_FALSE(ConfigureKeyOrders(nullptr, run));
  EXPECT_EQ(GetKeyOrderTable().bindings.count('5'), 0u);
  EXPECT_TRUE(ConfigureKeyOrders(nullptr, run));
  EXPECT_EQ(GetKeyOrderTable().bindings.at('5').priceType, 1);
  ResetKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable().bindings.at('5').action, 1);  // written at once
}

TEST_F(OrderPanelsGui, ContainerStartsOnTheThreeKeyTabOnceThenKeepsTheUsersTab) {
  {
    CMultiOrderPanelContainer c;
    EXPECT_EQ(c.Selected(), 1);
    EXPECT_EQ(Profile::GetString(kUser, "TradePanle", "PanelType", ""), "1");
    EXPECT_EQ(Profile::GetString(kUser, "TradePanle", "QiangZhiB", ""), "1");
    c.show();
    c.SelectTab(2);
    EXPECT_TRUE(c.Keyboard()->isVisible());
    EXPECT_FALSE(c.ThreeKey()->isVisible());
    EXPECT_EQ(c.tabs[0]->text(), Q("标准下单"));
  }
  CMultiOrderPanelContainer again;
  EXPECT_EQ(again.Selected(), 2);
}

// A refused order says why in the panel's message line: it stays whole and in sight at the
// trading area's usual height on a 1080p screen and at the lowest height the container allows.
TEST_F(OrderPanelsGui, MessageLineIsAlwaysFullyVisible) {
  CHorzTradePanel area;
  area.resize(1536, area.PreferredHeight());
  area.show();
  CMultiOrderPanelContainer* c = area.Panels();
  for (int tab : {1, 0, 2}) {
    c->SelectTab(tab);
    auto* panel = static_cast<OrderPanelBase*>(c->Panel(tab));
    panel->SetStatus(TXT("报单失败:平今仓须用平今指令"));
    for (int height : {c->height(), c->minimumHeight()}) {
      c->resize(c->width(), height);
      QLabel* line = c->StatusLine();
      SCOPED_TRACE(testing::Message() << "tab " << tab << " height " << height);
      ASSERT_EQ(line, panel->status);
      EXPECT_TRUE(line->isVisible());
      EXPECT_FALSE(c->ScrollArea(tab)->isAncestorOf(line));  // never scrolled away
      EXPECT_TRUE(c->rect().contains(line->geometry()));
      EXPECT_GE(line->height(), line->heightForWidth(line->width()));
      EXPECT_LE(c->ScrollArea(tab)->geometry().bottom(), line->geometry().top());
      EXPECT_EQ(line->text(), Q("报单失败:平今仓须用平今指令"));
    }
    c->resize(c->width(), area.Panels()->parentWidget()->height());
  }
  // A long message that wraps takes the lines it needs.
  auto* three = static_cast<OrderPanelBase*>(c->Panel(1));
  c->SelectTab(1);
  three->SetStatus(TXT("报单失败:合约不可交易 报单失败:合约不可交易 报单失败:合约不可交易 报单失败:合约不可交易"));
  EXPECT_GE(c->StatusLine()->height(), c->StatusLine()->heightForWidth(c->StatusLine()->width()));
  EXPECT_TRUE(c->rect().contains(c->StatusLine()->geometry()));
}

// At the trading area's default height on a 1080p screen every line of each order panel is in
// sight without scrolling, with and without a message in the message line below it.
TEST_F(OrderPanelsGui, EveryPanelLineIsInSightAtTheDefaultDockHeight) {
  CDlgTradePanelContainer dock;
  dock.resize(1920, dock.DockHeight());
  dock.show();
  CMultiOrderPanelContainer* c = dock.Panel()->Panels();
  for (const char* message : {"", "报单失败:平今仓须用平今指令"}) {
    for (int tab : {1, 0, 2}) {
      c->SelectTab(tab);
      auto* panel = static_cast<OrderPanelBase*>(c->Panel(tab));
      panel->SetStatus(Utf8ToGbk(message));
      QApplication::processEvents();
      QWidget* viewport = c->ScrollArea(tab)->viewport();
      const QRect visible = viewport->rect();
      SCOPED_TRACE(testing::Message() << "tab " << tab << " message '" << message << "' viewport " << visible.height());
      EXPECT_EQ(c->ScrollArea(tab)->verticalScrollBar()->maximum(), 0);  // nothing to scroll to
      int shown = 0;
      for (QWidget* w : panel->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(panel) || w->isWindow()) continue;
        ++shown;
        const QRect at(w->mapTo(viewport, QPoint(0, 0)), w->size());
        EXPECT_TRUE(visible.contains(at)) << w->metaObject()->className() << " '" << w->objectName().toStdString()
                                          << "' at " << at.top() << ".." << at.bottom();
      }
      EXPECT_GT(shown, 10);
      QLabel* line = c->StatusLine();
      EXPECT_TRUE(c->rect().contains(line->geometry()));
      EXPECT_GE(line->height(), line->heightForWidth(line->width()));
    }
  }
}

TEST_F(OrderPanelsGui, DockHeightIsStoredWithinItsLimits) {
  CDlgTradePanelContainer dock;
  EXPECT_EQ(dock.DockHeight(), dock.Panel()->PreferredHeight());
  dock.DragTo(5000, 700);
  EXPECT_EQ(dock.DockHeight(), 700);
  EXPECT_EQ(Profile::GetString(kUser, "TradePanel", "DeftHet", ""), "700");
  dock.DragTo(1, 700);
  EXPECT_GE(dock.DockHeight(), 5);
  CDlgTradePanelContainer again;
  EXPECT_EQ(again.DockHeight(), dock.DockHeight());
  again.Panel()->ToggleSide();
  EXPECT_EQ(Profile::GetString(kUser, "TradePanelAlign", "Align", ""), "0");
}

TEST_F(OrderPanelsGui, CloseDialogsSendOneOrderAndShowTheirChecks) {
  PositionRecord p = Position(quotes.m, 3, 0);
  p.currentPrice = 3512.4;
  CDlgCoverPosition cover(p);
  EXPECT_EQ(cover.price->text(), Q("3511.4"));
  EXPECT_FALSE(cover.price->isEnabled());
  cover.quantity->setText(Q("0"));
  cover.OnOk();
  EXPECT_EQ(U(boxes.Boxes().back().text), "平仓数量错误");
  EXPECT_TRUE(api.inserted.empty());
  cover.quantity->setText(Q("2"));
  cover.market->setChecked(false);
  cover.OnOk();
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_DOUBLE_EQ(api.inserted[0].price, 3511.4);
  EXPECT_EQ(cover.result(), QDialog::Accepted);
  CDlgModifyOrder modify(3500, 2, 1, 0);
  modify.priceEdit->setText(Q("0"));
  modify.OnOk();
  EXPECT_EQ(U(boxes.Boxes().back().text), "价格无效");
  modify.priceEdit->setText(Q("3500"));
  modify.SpinPrice(true);
  EXPECT_EQ(modify.priceEdit->text(), Q("3501"));
  modify.OnOk();
  EXPECT_EQ(modify.Price(), 3501);
}

TEST_F(OrderPanelsGui, CloseDialogSplitsTodaysLotsWhereTheExchangeTellsThemApart) {
  // Long 5, of which 2 opened today, on an exchange that refuses a plain close of today's lots.
  api.closeToday = true;
  api.positions = {Position(quotes.rb, 5, 0)};
  api.positions[0].todayLong = 2;
  CDlgCoverPosition cover(api.positions[0]);
  cover.OnOk();
  ASSERT_EQ(api.inserted.size(), 2u);
  EXPECT_EQ(api.inserted[0].offset, 2);
  EXPECT_EQ(api.inserted[0].quantity, 3);
  EXPECT_EQ(api.inserted[1].offset, 3);
  EXPECT_EQ(api.inserted[1].quantity, 2);
  EXPECT_EQ(api.inserted[1].direction, 2);
  EXPECT_EQ(api.inserted[1].priceType, 1);  // the market box starts ticked
}

TEST_F(OrderPanelsGui, PriceCubeDoubleClicksSelectTheSideClicked) {
  CWndPriceCube cube;
  cube.resize(600, 300);
  cube.AddCard(quotes.rb);
  ASSERT_EQ(cube.Cube().Cards().size(), 1u);
  EXPECT_EQ(cube.Cube().Cards()[0].ask, 3501);  // the snapshot at subscription
  CWndThreeKeyOrderPanel panel;
  const QRect r = cube.CardRect(0);
  cube.DoubleClickAt(QPoint(r.left() + 4, r.bottom() - 4));
  QApplication::processEvents();
  EXPECT_EQ(panel.Contract().Key(), "SHFE|rb2605");
  EXPECT_EQ(panel.price->text(), Q("3499"));  // the bid: a sell at it
  cube.DoubleClickAt(QPoint(r.right() - 4, r.bottom() - 4));
  QApplication::processEvents();
  EXPECT_EQ(panel.price->text(), Q("3501"));
  quotes.DeliverQuote(QuoteOf(quotes.rb, 3520, 3519, 3521));
  QApplication::processEvents();
  EXPECT_EQ(cube.Cube().Cards()[0].last, 3520);
}

}  // namespace
}  // namespace tarn::test
