// The shell against the embedded exchange's quote library and its fault switch (built only
// when the library is part of the build): the login's progress texts and refusals, and the
// status bar's recovery of a dropped quote link.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/frame_state.h"
#include "app/gui/dlg_login.h"
#include "app/gui/main_frame.h"
#include "app/gui/mo_state_bar.h"
#include "app/login_session.h"
#include "data/fake_trade_api.h"
#include "libs/quotedata/embedded.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/wnd_quote_gird.h"
#include "support/test_support.h"
#include "ui/text_qt.h"

namespace tarn {
namespace {

bool WaitUntil(const std::function<bool()>& f, int ms) {
  for (int i = 0; i < ms / 10 && !f(); ++i) QTest::qWait(10);
  return f();
}

class EmbeddedQuotes : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::copy(fs::path(TARN_ASSETS_DIR) / "config", fs::path(home.path()) / "config", fs::copy_options::recursive);
    quotedata::EmbeddedOptions o;
    o.historyDays = 5;
    o.persist = false;
    quotes = quotedata::CreateEmbedded(o);
  }
  void TearDown() override { LoginSession::Clear(); }

  // Logs the quote link in as the login dialog does, and waits for the result.
  bool QuoteLogin() {
    struct Listener : CDataListener {
      std::atomic<int> code{-99};
      ~Listener() override { Detach(); }
      void OnLoginResult(int c, const std::string&) override {
        if (c != 0) code = c;
      }
    } l;
    l.Register();
    GetQuoteDataCenter()->Login(l.Handle(), {"opers", "472quark918", "tarn-embedded", 7100});
    return WaitUntil([&] { return l.code.load() != -99; }, 5000) && l.code.load() == 1;
  }

  test::ScopedHome home;
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  MessageBoxRecorder boxes;
};

TEST_F(EmbeddedQuotes, LoginShowsTheLibrarysTextsAndARefusalLogsOut) {
  test::FakeTradeApi trades;  // answers no login: the dialog stays at the trade step
  {
    CDlgLogin d(false);
    d.show();
    d.account->setText(QStringLiteral("8001"));
    d.server->setCurrentIndex(0);
    d.OnOk();
    ASSERT_TRUE(WaitUntil([&] { return d.progress->text() == QStringLiteral("登录交易服务器"); }, 5000));
    EXPECT_TRUE(GetQuoteDataCenter()->IsConnected());
    EXPECT_EQ(LoginSession::TradeLogin().tradeHost, "tarn-embedded");
  }
  GetQuoteDataCenter()->Logout();
  quotes->Link().SetRefuseLogins(true);
  CDlgLogin d(false);
  d.show();
  d.account->setText(QStringLiteral("8001"));
  d.server->setCurrentIndex(0);
  d.OnOk();
  ASSERT_TRUE(WaitUntil([&] { return boxes.Count() > 0 && d.okButton->isEnabled(); }, 5000));
  EXPECT_FALSE(boxes.LastText().empty());
  EXPECT_EQ(d.progress->text(), ui::ToQString(boxes.LastText()));
  EXPECT_FALSE(GetQuoteDataCenter()->IsConnected());
}

TEST_F(EmbeddedQuotes, StatusBarReconnectsADroppedQuoteLink) {
  ASSERT_TRUE(QuoteLogin());
  CMoStateBar bar;
  bar.resize(800, 22);
  bar.show();
  quotes->Link().DropLink();
  ASSERT_TRUE(WaitUntil([&] { return bar.RetryPending(); }, 2000));
  EXPECT_EQ(bar.RetryIntervalMs(), 3000);
  EXPECT_FALSE(GetQuoteDataCenter()->IsConnected());  // "行情:正在重连" meanwhile
  // After 3 s the bar asks for a reconnection (the delay becomes 10 s) and the link comes back.
  ASSERT_TRUE(WaitUntil([&] { return GetQuoteDataCenter()->IsConnected(); }, 5000));
  EXPECT_FALSE(bar.RetryPending());
  EXPECT_EQ(bar.Logic().RetryDelaySeconds(), 10);
  EXPECT_EQ(StatusBarLogic::QuoteState(GetQuoteDataCenter()->IsConnected()).text, TXT("行情:正常"));
}

TEST_F(EmbeddedQuotes, MainFrameShowsTheRememberedBlockMovingAndRemembersTheNextOne) {
  ASSERT_TRUE(QuoteLogin());
  FrameState state;
  state.blockName = "DCE";
  ASSERT_TRUE(SaveFrameState(state));
  {
    CMainFrame frame;
    frame.SetAskOnClose(false);
    frame.resize(1200, 700);
    frame.show();
    CWndQuoteGird* grid = frame.View()->QuoteGrid();
    EXPECT_EQ(grid->BlockName(), "DCE");
    const tarn::QuoteGridModel& model = grid->Grid()->Model();
    ASSERT_GT(model.RowCount(), 20);
    EXPECT_EQ(grid->Grid()->SubscriptionCount(), static_cast<std::size_t>(model.DrawnRows()));
    // The visible rows fill with the exchange's quotes and keep moving.
    ASSERT_TRUE(WaitUntil([&] { return model.RowsWithQuoteTime() >= model.PageRows(); }, 5000));
    const int64_t before = model.RowAt(0)->Quote().updateTime;
    ASSERT_TRUE(WaitUntil([&] { return model.RowAt(0)->Quote().updateTime > before; }, 5000));
    EXPECT_GT(model.RowAt(0)->Quote().last, 0.0f);
    grid->ShowBlock("ZCE");
    ASSERT_TRUE(frame.SaveState());
  }
  FrameState back;
  ASSERT_TRUE(LoadFrameState(&back));
  EXPECT_EQ(back.blockName, "ZCE");
}

}  // namespace
}  // namespace tarn
