// The shell's trade link watchers against the embedded broker and its fault switch (built only
// when the trading library is part of the build): the status bar and the reconnection notice
// while the trade link is down, a refused re-login retried only after the 10 s attempt, and the
// notice hiding once the link is back.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <memory>

#include "app/gui/dlg_trade_reconect.h"
#include "app/gui/mo_state_bar.h"
#include "app/login_session.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn {
namespace {

bool WaitUntil(const std::function<bool()>& f, int ms) {
  for (int i = 0; i < ms / 10 && !f(); ++i) QTest::qWait(10);
  return f();
}

// Counts the broker's answers to trade logins (not their progress texts), by result.
class LoginCounter : public CTradeListener {
 public:
  LoginCounter() : CTradeListener(false) { StartListening(); }
  ~LoginCounter() override { StopListening(); }
  void OnTradeLogin(int code, const std::string&, const AccountTexts&) override {
    if (code == 0) return;  // progress
    ++answers;
    if (code == 1) ++successes;
  }
  void OnTradeDisconnected(const AccountTexts&) override { ++drops; }
  std::atomic<int> answers{0}, successes{0}, drops{0};
};

class EmbeddedTrades : public ::testing::Test {
 protected:
  void SetUp() override {
    quotedata::EmbeddedOptions q;
    q.historyDays = 2;
    q.persist = false;
    quotes = quotedata::CreateEmbedded(q);
    tradeapi::EmbeddedTradeOptions t;
    t.exchange = &quotes->Exchange();
    t.broker.hashCost = exchange::HashCost::Minimal;
    trades = tradeapi::CreateEmbedded(t);
    LoginSession::SetTradeLogin({{"", "8001", "888888"}, "tarn-embedded", 7200, "tarn-embedded", 7200});
  }
  void TearDown() override {
    LoginSession::Clear();
    trades.reset();
    quotes.reset();
  }
  bool LogIn(LoginCounter& c) {
    const TradeLoginParams l = LoginSession::TradeLogin();
    GetTradeApi()->Login(l.texts, l.tradeHost, l.tradePort, l.cloudHost, l.cloudPort);
    return WaitUntil([&] { return c.successes.load() > 0; }, 5000);
  }

  test::ScopedHome home;
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  std::unique_ptr<tradeapi::EmbeddedTradeLibrary> trades;
};

TEST_F(EmbeddedTrades, ADroppedTradeLinkBlinksIsRetriedOncePerAttemptAndTheNoticeHidesWhenItIsBack) {
  LoginCounter counter;
  ASSERT_TRUE(LogIn(counter));
  CMoStateBar bar;
  bar.resize(800, 22);
  bar.show();
  CDlgTradeReconect notice;
  ASSERT_TRUE(GetTradeApi()->IsReady());
  EXPECT_EQ(bar.Logic().NextTradeState().text, TXT("交易:正常"));

  // The link drops and the broker refuses logins for now.
  trades->Link().SetRefuseLogins(true);
  trades->Link().DropLink();
  ASSERT_TRUE(WaitUntil([&] { return counter.drops.load() == 1; }, 2000));
  EXPECT_FALSE(GetTradeApi()->IsReady());
  const StateText first = bar.Logic().NextTradeState();
  const StateText second = bar.Logic().NextTradeState();
  EXPECT_EQ(first.text, TXT("交易:已断开"));
  EXPECT_EQ(second.text, TXT("交易:已断开"));
  EXPECT_NE(first.color, second.color);  // red and yellow in turn
  ASSERT_TRUE(WaitUntil([&] { return notice.isVisible(); }, 1500));
  EXPECT_TRUE(notice.NoticeText().startsWith(QStringLiteral("交易已断开，正在进行自动重连.")));

  // One re-login goes out and is refused; none follows while the 10 s attempt runs.
  const int answersBefore = counter.answers.load();
  ASSERT_TRUE(WaitUntil([&] { return counter.answers.load() == answersBefore + 1; }, 3000));
  EXPECT_EQ(counter.successes.load(), 1);
  EXPECT_TRUE(notice.AttemptTimerActive());
  QTest::qWait(2200);
  EXPECT_EQ(counter.answers.load(), answersBefore + 1);
  EXPECT_TRUE(notice.isVisible());

  // The broker takes logins again; the attempt's time is up and the next retry logs in.
  trades->Link().SetRefuseLogins(false);
  notice.OnAttemptTimer();
  ASSERT_TRUE(WaitUntil([&] { return counter.successes.load() == 2; }, 3000));
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(WaitUntil([&] { return !notice.isVisible(); }, 1000));
  EXPECT_LE(t.elapsed(), 750);  // the notice's timer runs every 500 ms
  EXPECT_TRUE(GetTradeApi()->IsReady());
  EXPECT_EQ(bar.Logic().NextTradeState().text, TXT("交易:正常"));
}

}  // namespace
}  // namespace tarn
