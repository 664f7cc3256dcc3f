// The information panel window over the embedded exchange, on a manual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

#include "data/fake_trade_api.h"
#include "libs/quotedata/embedded_fixture.h"
#include "platform/profile.h"
#include "quote/gui/ccx_info_panel_ctrl.h"
#include "quote/user_block_store.h"
#include "tools/gui/dlg_tick_statistic.h"
#include "ui/text_qt.h"

namespace tarn::test {
namespace {

struct SelectingTrade : FakeTradeApi {
  void SelectContract(DC_Contract c, int d, double p) override {
    selected.push_back({std::string(c.Key()), d, p});
  }
  struct Selection {
    std::string key;
    int direction;
    double price;
  };
  std::vector<Selection> selected;
};

class InfoPanelWindowTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(recorder), 1);
    GetUserBlockStore().Reset();
    GetAvgTradeVolumeStore().Reset();
    SetTradeApi(&trade);
    rb = Contract("SHFE|rbMI");
  }
  void TearDown() override {
    SetTradeApi(nullptr);
    GetUserBlockStore().Reset();
    GetAvgTradeVolumeStore().Reset();
  }
  // Steps the market and delivers what the window posted to itself.
  void StepAndPump(int steps) {
    Step(steps);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }

  Recorder recorder;
  SelectingTrade trade;
  DC_Contract rb{};
};

TEST_F(InfoPanelWindowTest, ShowsTheContractAndFollowsItsQuotesAndTrades) {
  CCXInfoPanelCtrl w;
  w.resize(260, 900);
  w.ShowContract(rb, true);
  const infopanel::InfoPanelModel& m = w.Panel()->Model();
  EXPECT_EQ(m.Contract().Key(), rb.Key());
  EXPECT_GT(m.Quote().last, 0.0f);
  EXPECT_EQ(m.Trades().size(), 30u);  // the library holds 200; the newest 30 are handed over
  EXPECT_EQ(m.Fields().size(), 16u);
  EXPECT_EQ(w.SubscriptionCount(), 1u);

  const int32_t volume = m.Quote().volume;
  StepAndPump(6);
  EXPECT_GT(m.Quote().volume, volume);  // the quotes reach the panel
  EXPECT_EQ(m.Trades().size(), 30u);
  QCoreApplication::sendPostedEvents();
  ASSERT_NE(w.Tracer(), nullptr);
  EXPECT_GT(w.Tracer()->TicksHandled(), 100u);

  // A contract without a commodity is ignored.
  DC_Contract none = ZeroRecord<DC_Contract>();
  SetField(none.key, "X|none");
  w.ShowContract(none, true);
  EXPECT_EQ(m.Contract().Key(), rb.Key());
}

TEST_F(InfoPanelWindowTest, PriceCommandsSelectTheContractForTheOrderPanels) {
  CCXInfoPanelCtrl w;
  w.ShowContract(rb, true);
  w.OnPanelCommand({infopanel::kPanelPrice, 0, 0.0, 1});  // no price: nothing
  w.OnPanelCommand({infopanel::kPanelPrice, 0, 0.00009, 0});
  EXPECT_TRUE(trade.selected.empty());
  w.OnPanelCommand({infopanel::kPanelPrice, 0, 3500.0, 1});
  w.OnPanelCommand({infopanel::kPanelPrice, 0, 3501.0, 0});
  ASSERT_EQ(trade.selected.size(), 2u);
  EXPECT_EQ(trade.selected[0].key, std::string(rb.Key()));
  EXPECT_EQ(trade.selected[0].direction, 2);  // a bid: the order panels sell
  EXPECT_DOUBLE_EQ(trade.selected[0].price, 3500.0);
  EXPECT_EQ(trade.selected[1].direction, 1);
}

TEST_F(InfoPanelWindowTest, BlockMarkSideBarSettingsAndTickStatistics) {
  CCXInfoPanelCtrl w;
  w.resize(260, 900);
  w.ShowContract(rb, true);
  const infopanel::InfoPanelModel& m = w.Panel()->Model();
  EXPECT_FALSE(m.InUserBlock());
  const std::size_t trades = m.Trades().size();
  ASSERT_TRUE(GetUserBlockStore().Add(rb, UserBlockStore::kUserBlock));
  EXPECT_TRUE(m.InUserBlock());              // marked without showing the contract again
  EXPECT_EQ(m.Trades().size(), trades);
  GetUserBlockStore().Remove(rb, UserBlockStore::kUserBlock);
  EXPECT_FALSE(m.InUserBlock());

  EXPECT_EQ(w.Panel()->Window()->x(), 12);
  w.OnPanelCommand({infopanel::kPanelSideBarOff, 0, 0, 0});
  EXPECT_FALSE(w.SideBar());
  EXPECT_EQ(w.Panel()->Window()->x(), 0);
  EXPECT_EQ(w.Panel()->Window()->width(), 260);
  w.OnPanelCommand({infopanel::kPanelSideBarOn, 1, 0, 0});
  EXPECT_TRUE(w.SideBar());
  EXPECT_EQ(w.Panel()->Window()->width(), 248);

  Profile::WriteString("\\user\\setting.ini", "InfoPanel", "Field", std::string_view("3,1,2"));
  Profile::WriteString("\\user\\setting.ini", "InfoPanelLevel", "Value", std::string_view("10"));
  GetSettingCfg().Notify(false);
  EXPECT_EQ(m.Fields(), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(m.Depth(), 10);

  QString title;
  std::size_t dayTicks = 0;
  w.runDialog = [&](QDialog* d) {
    auto* dlg = static_cast<CDlgTickStatistic*>(d);
    title = dlg->windowTitle();
    dayTicks = dlg->DayList().size();
    return 0;
  };
  w.OnPanelCommand({infopanel::kPanelTickStatistics, 0, 0, 0});
  EXPECT_EQ(title, ui::ToQString(TXT("当日逐笔数据统计分析 - ") + std::string(rb.Name())));
  EXPECT_GT(dayTicks, 100u);
}

}  // namespace
}  // namespace tarn::test
