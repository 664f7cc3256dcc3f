// The chart windows over the embedded exchange on a manual clock: a double-click on a grid row
// shows the contract's chart in the same container, the chart follows live quotes, periods
// and "返回" switch it, order lines come from the trading library and dragging them modifies
// orders or is refused, and the objects drawn come back with the chart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QToolButton>

#include "chart/chart_menu.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "chart/order_lines.h"
#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"
#include "trade/orders/gui/order_dialogs.h"
#include "workspace/gui/chart_container.h"
#include "data/fake_trade_api.h"
#include "libs/quotedata/embedded_fixture.h"
#include "platform/message_box.h"
#include "quote/gui/grid_messages.h"
#include "quote/user_block_store.h"
#include "ui/render_registry.h"

namespace tarn::test {
namespace {

struct ModifyingTrade : FakeTradeApi {
  int ModifyOrder(OrderRecord o, double price, int quantity) override {
    modified.push_back({std::string(o.Key()), price, quantity});
    return 0;
  }
  struct Call {
    std::string key;
    double price;
    int quantity;
  };
  std::vector<Call> modified;
  int InsertConditionOrder(ConditionOrderRequest r) override {
    conditions.push_back(r);
    return 1;
  }
  std::vector<ConditionOrderRequest> conditions;
};

class ChartWindowsTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    WriteFile(home.Native(kSystemFormulaFile), ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat"));
    FormulaManager::Instance().Load();
    ASSERT_EQ(LoginDefault(recorder), 1);
    GetUserBlockStore().Reset();
    SetTradeApi(&trade);
    SetMessageBoxHandler([this](const MessageBoxRequest& r) {
      boxes.push_back(r.text);
      return MsgAnswer::Ok;
    });
    rb = Contract("SHFE|rbMI");
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    SetTradeApi(nullptr);
    GetUserBlockStore().Reset();
  }
  void StepAndRender(int steps) {
    Step(steps);
    QCoreApplication::sendPostedEvents();
    ui::RenderRegistry::Instance().Service();
  }
  OrderRecord WorkingOrder(const char* key, double price, int state = 1) {
    OrderRecord o{};
    SetField(o.key, key);
    o.contract = rb;
    o.state = state;
    o.price = price;
    o.direction = 1;
    o.offset = 1;
    o.quantity = 2;
    return o;
  }

  Recorder recorder;
  ModifyingTrade trade;
  std::vector<std::string> boxes;
  DC_Contract rb{};
};

TEST_F(ChartWindowsTest, ADoubleClickShowsTheChartAndBackReturnsToTheGrid) {
  CChartContainer c;
  c.resize(1000, 640);
  c.ShowContent(kContentQuoteGrid);
  ASSERT_NE(c.QuoteGrid(), nullptr);
  c.show();
  ContractMessage dbl(kMsgGridRowDoubleClicked, rb);
  QCoreApplication::sendEvent(c.QuoteGrid(), &dbl);
  ASSERT_EQ(c.Content(), kContentKLine);
  ASSERT_NE(c.Chart(), nullptr);
  EXPECT_FALSE(c.QuoteGrid()->isVisible());
  CCChartCtrl* chart = c.Chart();
  EXPECT_EQ(chart->Contract().Key(), rb.Key());
  EXPECT_EQ(chart->Period(), (ChartPeriod{5, 1}));
  ASSERT_GT(chart->BarCount(), 30u);
  ui::RenderRegistry::Instance().Service();
  QCoreApplication::processEvents();
  // The engine holds the chart's bars and its three panes' indicators over them.
  candlechart::ChartEngine* e = chart->Engine();
  EXPECT_EQ(e->Bars().size(), chart->BarCount());
  ASSERT_EQ(e->PaneCount(), 3);
  EXPECT_EQ(chart->Indicators().PaneIndicator(1), "VOL");
  EXPECT_EQ(chart->Indicators().PaneIndicator(2), "MACD");
  ASSERT_FALSE(e->Content(2).series.empty());
  EXPECT_EQ(e->Content(2).series[0].values.size(), e->Bars().size());
  EXPECT_EQ(e->Content(0).title.substr(0, 2), "MA");

  c.RunToolbarCommand(1007);  // "5分钟"
  EXPECT_EQ(chart->Period(), (ChartPeriod{3, 5}));
  const std::vector<DC_KData> bars = chart->Bars();
  ASSERT_GT(bars.size(), 2u);
  EXPECT_EQ(bars[bars.size() - 1].time - bars[bars.size() - 2].time, 300);
  c.RunToolbarCommand(1001);  // "分时"
  EXPECT_EQ(c.Content(), kContentTimeShare);
  ASSERT_NE(c.Chart(), nullptr);
  EXPECT_TRUE(c.Chart()->TimeShare());
  c.RunToolbarCommand(kToolbarBack);
  EXPECT_EQ(c.Content(), kContentQuoteGrid);
  EXPECT_EQ(c.Chart(), nullptr);
  EXPECT_TRUE(c.QuoteGrid()->isVisible());
  // The K-line chart comes back in the period it had.
  c.ShowContent(kContentKLine);
  EXPECT_EQ(c.Chart()->Period(), (ChartPeriod{3, 5}));
}

TEST_F(ChartWindowsTest, TheLastBarFollowsLiveQuotes) {
  CCChartCtrl chart(nullptr);
  chart.resize(900, 600);
  chart.SetPeriod({3, 1});
  chart.SetContract(rb);
  ui::RenderRegistry::Instance().Service();
  const std::size_t before = chart.BarCount();
  ASSERT_GT(before, 100u);
  StepAndRender(130);  // more than a minute of steps
  const std::vector<DC_KData> now = chart.Bars();
  BarStore library;
  Q().CopyHistory(&rb, 3, 1, &library);
  ASSERT_FALSE(library.bars.empty());
  EXPECT_EQ(now.back().time, library.bars.back().time);
  EXPECT_EQ(now.back().volume, library.bars.back().volume);
  EXPECT_FLOAT_EQ(now.back().close, library.bars.back().close);
  EXPECT_GT(now.back().time, 0);
  // The engine got them at the service, with the indicators brought up to the new bars.
  EXPECT_EQ(chart.Engine()->Bars().back().time, now.back().time);
  EXPECT_EQ(chart.Engine()->Content(1).series[0].values.size(), now.size());
}

TEST_F(ChartWindowsTest, OrderLinesComeFromTheTradingLibraryAndDragsModifyOrAreRefused) {
  OrderRecord stop = WorkingOrder("s1", 0, 11);
  stop.triggerPrice = 3000;
  stop.conditionKind = 4;  // trailing
  trade.orders = {WorkingOrder("o1", 3100), stop, WorkingOrder("x", 3200, 4)};
  CCChartCtrl chart(nullptr);
  chart.resize(900, 600);
  chart.SetContract(rb);
  ASSERT_EQ(chart.OrderLines().size(), 2u);
  EXPECT_EQ(chart.Engine()->OrderLines()[0].id, "o1");
  chart.OnOrderLineDropped(1, 2900);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], TXT("保本单和浮动止损单不支持拖动"));
  EXPECT_TRUE(trade.modified.empty());
  chart.OnOrderLineDropped(0, 3123.4);
  ASSERT_EQ(trade.modified.size(), 1u);
  EXPECT_EQ(trade.modified[0].key, "o1");
  EXPECT_DOUBLE_EQ(trade.modified[0].price, 3123);  // on the tick of 1
  EXPECT_EQ(trade.modified[0].quantity, 2);
  // An order notification rebuilds the lines once it is handled on the window's thread.
  trade.orders.clear();
  chart.OnOrder(nullptr, AccountTexts{});
  chart.OnOrder(nullptr, AccountTexts{});
  QCoreApplication::sendPostedEvents(&chart);
  EXPECT_TRUE(chart.OrderLines().empty());
}

TEST_F(ChartWindowsTest, DrawnObjectsComeBackWithTheChartAndThePaintShowsCandles) {
  ChartObjectStore::Instance().Clear();
  CChartContainer c;
  c.resize(1000, 640);
  c.SetContract(rb);
  c.ShowContent(kContentKLine);
  c.show();
  ui::RenderRegistry::Instance().Service();
  QCoreApplication::processEvents();
  CCChartCtrl* chart = c.Chart();
  ASSERT_NE(chart, nullptr);
  const std::vector<DC_KData> bars = chart->Bars();
  candlechart::DrawObject h;
  h.kind = candlechart::kDrawHorizontal;
  h.points = {{bars.back().time, bars.back().close}};
  chart->Engine()->SetObjects({h});
  c.ShowContent(kContentQuoteGrid);
  ASSERT_EQ(ChartObjectStore::Instance().Get(std::string(rb.Key()), {5, 1}).size(), 1u);
  c.ShowContent(kContentKLine);
  ASSERT_EQ(c.Chart()->Engine()->ObjectCount(), 1);
  // The record keeps them too.
  const ChartContainerState s = c.State();
  EXPECT_EQ(s.content, kContentKLine);
  EXPECT_EQ(s.contractKey, std::string(rb.Key()));
  EXPECT_EQ(s.objects.size(), 1u);

  ui::RenderRegistry::Instance().Service();
  const QImage image = c.Chart()->grab().toImage();
  int up = 0, down = 0;
  const KLineColors k = LoadKLineColors();
  const QColor upColor(RedOf(k.up), GreenOf(k.up), BlueOf(k.up));
  const QColor downColor(RedOf(k.down), GreenOf(k.down), BlueOf(k.down));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor px = image.pixelColor(x, y);
      if (px == upColor) ++up;
      if (px == downColor) ++down;
    }
  EXPECT_GT(up, 50);
  EXPECT_GT(down, 50);
}

TEST_F(ChartWindowsTest, TheMenusCommandsChangeTheChart) {
  CCChartCtrl chart(nullptr);
  chart.resize(900, 600);
  chart.SetContract(rb);
  chart.RunCommand(kChartCmdPanes1 + 4);
  EXPECT_EQ(chart.Engine()->PaneCount(), 5);
  EXPECT_EQ(chart.Indicators().PaneIndicator(4), "RSI");
  chart.RunCommand(kChartCmdInvert);
  EXPECT_TRUE(chart.Engine()->Inverted());
  chart.RunCommand(kChartCmdToggleUser);
  EXPECT_TRUE(GetUserBlockStore().Contains(rb, UserBlockStore::kUserBlock));
  chart.RunCommand(kChartCmdToggleUser);
  EXPECT_FALSE(GetUserBlockStore().Contains(rb, UserBlockStore::kUserBlock));
  // Loading a main-chart indicator replaces the overlays; a sub-chart one goes to its pane.
  EXPECT_TRUE(chart.LoadIndicator(0, "BOLL"));
  EXPECT_EQ(chart.Indicators().Overlays(), (std::vector<std::string>{"BOLL"}));
  EXPECT_TRUE(chart.LoadIndicator(2, "KDJ"));
  EXPECT_EQ(chart.Indicators().PaneIndicator(2), "KDJ");
  chart.RunIndicatorCommand(kIndicatorRemove, 2);
  EXPECT_EQ(chart.Indicators().PaneIndicator(2), "");
  chart.RunIndicatorCommand(kIndicatorEditor, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], TXT("打开编辑器失败"));
  chart.RunCommand(kChartCmdScheme2);
  EXPECT_EQ(LoadKLineColors().style, 1);
  ui::RenderRegistry::Instance().Service();
  EXPECT_EQ(chart.Engine()->Content(0).title.substr(0, 4), "BOLL");
}

TEST_F(ChartWindowsTest, TheEmptyContainerAndItsWindowCommands) {
  CChartContainer c;
  c.resize(800, 500);
  c.show();
  ASSERT_EQ(c.EmptyButtons().size(), 7u);
  EXPECT_TRUE(c.EmptyButtons()[0]->isVisible());
  EXPECT_TRUE(c.EmptyButtons()[3]->isEnabled());   // "价格方块"
  EXPECT_FALSE(c.EmptyButtons()[4]->isEnabled());  // splitting needs a workspace
  EXPECT_TRUE(c.EmptyButtons()[6]->isEnabled());
  // A chart without a contract takes the terminal's current one.
  c.currentContract = [this] { return rb; };
  c.EmptyButtons()[0]->click();
  ASSERT_EQ(c.Content(), kContentKLine);
  EXPECT_EQ(c.Contract().Key(), rb.Key());
  EXPECT_FALSE(c.EmptyButtons()[0]->isVisible());
  // The only window: closing resets it to the buttons; maximising changes nothing.
  c.WindowCommand(kWindowMaximize);
  EXPECT_EQ(c.Content(), kContentKLine);
  c.WindowCommand(kWindowClose);
  EXPECT_EQ(c.Content(), kContentNone);
  EXPECT_EQ(c.Chart(), nullptr);
  EXPECT_TRUE(c.EmptyButtons()[2]->isVisible());
  // With a workspace the commands go to it, and the chart's menu offers them.
  std::vector<int> sent;
  c.onWindowCommand = [&sent](int command) { sent.push_back(command); };
  c.ShowContent(kContentKLine);
  c.WindowCommand(kWindowSplitLeftRight);
  EXPECT_EQ(sent, (std::vector<int>{kWindowSplitLeftRight}));
  bool offered = false;
  for (const ChartMenuItem& i : c.Chart()->MenuEntries(-1)) offered = offered || i.id == kChartCmdSplitTopBottom;
  EXPECT_TRUE(offered);
  c.Chart()->RunCommand(kChartCmdCloseWindow);
  EXPECT_EQ(sent.back(), kWindowClose);
}

TEST_F(ChartWindowsTest, ARestoredRecordShowsTheSameChart) {
  ChartContainerState s;
  s.content = kContentKLine;
  s.contractKey = std::string(rb.Key());
  s.period = {3, 15};
  s.inverted = true;
  s.paneCount = 2;
  s.overlays = {"BOLL"};
  s.indicators = {"KDJ"};
  candlechart::DrawObject o;
  o.kind = candlechart::kDrawVertical;
  o.points = {{1765159200, 3000}};
  s.objects = {o};
  CChartContainer c;
  c.resize(900, 600);
  c.Restore(s);
  ASSERT_NE(c.Chart(), nullptr);
  EXPECT_EQ(c.Chart()->Contract().Key(), rb.Key());
  EXPECT_EQ(c.Chart()->Period(), (ChartPeriod{3, 15}));
  EXPECT_TRUE(c.Chart()->Engine()->Inverted());
  EXPECT_EQ(c.Chart()->Engine()->PaneCount(), 2);
  EXPECT_EQ(c.Chart()->Indicators().Overlays(), (std::vector<std::string>{"BOLL"}));
  EXPECT_EQ(c.Chart()->Indicators().PaneIndicator(1), "KDJ");
  EXPECT_EQ(c.Chart()->Engine()->ObjectCount(), 1);
  const ChartContainerState back = c.State();
  EXPECT_EQ(back.period, s.period);
  EXPECT_EQ(back.overlays, s.overlays);
  EXPECT_EQ(back.indicators, s.indicators);
  EXPECT_EQ(back.objects, s.objects);
  // A key the library does not know leaves the container without a contract.
  s.contractKey = "X|none";
  CChartContainer other;
  other.Restore(s);
  EXPECT_TRUE(other.Contract().Empty());
  EXPECT_EQ(other.Chart()->BarCount(), 0u);
}

// A line drawn on one contract, "返回" and a double-click on another in the same container: the
// second chart shows its own objects, and the first contract's line stays with the first.
TEST_F(ChartWindowsTest, EachContractKeepsItsOwnDrawnObjectsInTheSameContainer) {
  ChartObjectStore::Instance().Clear();
  const DC_Contract other = Contract("SHFE|cuMI");
  candlechart::DrawObject mine;
  mine.kind = candlechart::kDrawHorizontal;
  mine.points = {{1765159200, 70000}};
  ChartObjectStore::Instance().Put(std::string(other.Key()), {5, 1}, {mine});
  CChartContainer c;
  c.resize(1000, 640);
  c.ShowContent(kContentQuoteGrid);
  ContractMessage first(kMsgGridRowDoubleClicked, rb);
  QCoreApplication::sendEvent(c.QuoteGrid(), &first);
  ASSERT_NE(c.Chart(), nullptr);
  candlechart::DrawObject line;
  line.kind = candlechart::kDrawHorizontal;
  line.points = {{1765159200, 3000}};
  c.Chart()->Engine()->SetObjects({line});
  c.RunToolbarCommand(kToolbarBack);
  ContractMessage second(kMsgGridRowDoubleClicked, other);
  QCoreApplication::sendEvent(c.QuoteGrid(), &second);
  ASSERT_NE(c.Chart(), nullptr);
  ASSERT_EQ(c.Chart()->Contract().Key(), other.Key());
  EXPECT_EQ(c.Chart()->Engine()->Objects(), (std::vector<candlechart::DrawObject>{mine}));
  EXPECT_EQ(c.State().objects, (std::vector<candlechart::DrawObject>{mine}));
  c.RunToolbarCommand(kToolbarBack);
  EXPECT_EQ(c.State().objects, (std::vector<candlechart::DrawObject>{mine}));
  EXPECT_EQ(ChartObjectStore::Instance().Get(std::string(other.Key()), {5, 1}),
            (std::vector<candlechart::DrawObject>{mine}));
  EXPECT_EQ(ChartObjectStore::Instance().Get(std::string(rb.Key()), {5, 1}),
            (std::vector<candlechart::DrawObject>{line}));
}

// A contract the quote library does not know keeps its key and drawn objects in the record.
TEST_F(ChartWindowsTest, AnUnknownContractKeepsItsKeyAndObjectsInTheRecord) {
  ChartContainerState s;
  s.content = kContentKLine;
  s.contractKey = "X|gone";
  s.period = {3, 15};
  candlechart::DrawObject o;
  o.kind = candlechart::kDrawVertical;
  o.points = {{1765159200, 3000}};
  s.objects = {o};
  CChartContainer c;
  c.Restore(s);
  const ChartContainerState back = c.State();
  EXPECT_EQ(back.contractKey, "X|gone");
  EXPECT_EQ(back.objects, s.objects);
  EXPECT_EQ(back.period, s.period);
}

TEST_F(ChartWindowsTest, AnArmedPaletteTurnsTheNextClickOnTheChartIntoAConditionOrder) {
  CChartContainer c;
  c.resize(1000, 640);
  c.SetContract(rb);
  c.ShowContent(kContentKLine);
  c.show();
  StepAndRender(0);
  QToolButton* open = c.ToolBar()->Button(kToolbarLineOrder);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text(), QStringLiteral("画线下单"));
  open->click();
  CDlgLineOrderPanel* panel = c.LineOrderPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  open->click();
  EXPECT_EQ(c.LineOrderPanel(), panel);  // one palette per chart
  CCChartCtrl* chart = c.Chart();
  ASSERT_NE(chart, nullptr);
  ASSERT_GT(chart->BarCount(), 30u);
  ui::RenderRegistry::Instance().Service();
  QCoreApplication::processEvents();
  ASSERT_FALSE(chart->Engine()->PaneBoxes().empty());
  const auto box = chart->Engine()->PaneBoxes()[0];
  const QPoint at(chart->Engine()->PlotRight() / 2, (box.top + box.bottom) / 2);
  const DC_Commodity* commodity = CommodityOf(rb);
  ASSERT_NE(commodity, nullptr);
  const double price = *PriceAtClick(*chart->Engine(), at.x(), at.y(), commodity->tickSize);

  // Nothing armed: the click is the chart's own.
  QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_TRUE(trade.conditions.empty());
  // "卖开", 4 lots, "长期".
  panel->quantity->setText(QStringLiteral("4"));
  panel->validity->setCurrentIndex(1);
  panel->modes[2]->click();
  ASSERT_EQ(panel->Palette().Armed(), 2);
  // The price axis is not a price to order at: the key stays armed.
  QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, QPoint(chart->Engine()->PlotRight() + 4, at.y()));
  EXPECT_TRUE(trade.conditions.empty());
  EXPECT_EQ(panel->Palette().Armed(), 2);
  QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, at);
  ASSERT_EQ(trade.conditions.size(), 1u);
  const ConditionOrderRequest& r = trade.conditions[0];
  EXPECT_EQ(r.direction, 2);
  EXPECT_EQ(r.offset, 1);
  EXPECT_EQ(r.quantity, 4);
  EXPECT_EQ(r.longTerm, 1);
  EXPECT_NEAR(r.triggerPrice, price, 1e-6);
  EXPECT_NE(std::string(r.contract.Month()), "MI");  // the series chart orders its main month
  EXPECT_EQ(r.contract.commodity, rb.commodity);
  // The key disarmed: the next click orders nothing.
  EXPECT_EQ(panel->Palette().Armed(), -1);
  EXPECT_FALSE(panel->modes[2]->isChecked());
  QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(trade.conditions.size(), 1u);
  // The time-share chart takes no line orders.
  panel->modes[0]->click();
  c.ShowContent(kContentTimeShare);
  StepAndRender(0);
  ASSERT_NE(c.Chart(), nullptr);
  QTest::mouseClick(c.Chart(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(trade.conditions.size(), 1u);
}

}  // namespace
}  // namespace tarn::test
