#include <chrono>

#include "embedded_fixture.h"
#include "platform/text.h"

namespace tarn::test {
namespace {

using LoginTest = EmbeddedTest;

TEST_F(LoginTest, ProgressTextsComeBeforeTheFinalSuccessOnTheLibraryThread) {
  Recorder r;
  EXPECT_FALSE(Q().IsConnected());
  EXPECT_EQ(Q().GetExchanges(nullptr, 0), 0);  // nothing is known before the login
  EXPECT_EQ(LoginDefault(r), 1);
  ASSERT_GE(r.logins.size(), 2u);
  for (std::size_t i = 0; i + 1 < r.logins.size(); ++i) EXPECT_EQ(r.logins[i].first, 0);
  EXPECT_EQ(r.logins.back().second, TXT("行情登录成功"));
  EXPECT_TRUE(Q().IsConnected());
  ASSERT_FALSE(r.states.empty());
  EXPECT_EQ(r.states.back(), std::make_pair(1, 1));
  EXPECT_EQ(Q().GetServerTime(0), kMondayTenAm / 1000);
  lib->Advance(1500);
  EXPECT_EQ(Q().GetServerTime(0), kMondayTenAm / 1000 + 1);
}

TEST_F(LoginTest, ASecondLoginOrALogoutKeepsTheWatchCountsRight) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  DC_Contract c = Contract("SHFE|rbMI");
  DC_Quote q{};
  ASSERT_EQ(Q().SubscribeQuote(r.Handle(), &c, &q, 1), 0);
  exchange::Market* m = lib->Exchange().Get();
  const exchange::ContractId id = m->GetCatalogue().Find("SHFE|rbMI");
  EXPECT_EQ(m->Watchers(id), 1);
  EXPECT_EQ(LoginDefault(r), 1);
  EXPECT_EQ(m->Watchers(id), 1);
  Q().Logout();
  lib->WaitDelivered();
  EXPECT_FALSE(Q().IsConnected());
  EXPECT_EQ(m->Watchers(id), 0);
  EXPECT_EQ(r.states.back(), std::make_pair(0, -1));
  EXPECT_EQ(LoginDefault(r), 1);
  EXPECT_EQ(m->Watchers(id), 1);  // the subscription came back with the login
  Q().SubscribeQuote(r.Handle(), &c, nullptr, 0);
  EXPECT_EQ(m->Watchers(id), 0);
}

TEST_F(LoginTest, RefusalsCarryATextAndLeaveTheLinkDown) {
  Recorder r;
  r.Register();
  Q().Login(r.Handle(), QuoteLoginParams{"opers", "wrong", "tarn-embedded", 0});
  lib->WaitDelivered();
  ASSERT_FALSE(r.logins.empty());
  EXPECT_EQ(r.logins.back().first, -1);
  EXPECT_EQ(r.logins.back().second, TXT("行情账号或密码错误"));
  EXPECT_FALSE(Q().IsConnected());

  // Any other host is an exchange server on the network: none listens there.
  Q().Login(r.Handle(), QuoteLoginParams{"opers", "472quark918", "127.0.0.1", 1});
  lib->WaitDelivered();
  EXPECT_EQ(r.logins.back().first, -1);
  EXPECT_NE(r.logins.back().second.find("127.0.0.1:1"), std::string::npos);
  EXPECT_FALSE(Q().IsConnected());

  lib->Link().SetRefuseLogins(true);
  Q().Login(r.Handle(), QuoteLoginParams{"opers", "472quark918", "TARN-EMBEDDED", 9});
  lib->WaitDelivered();
  EXPECT_EQ(r.logins.back().second, TXT("行情服务器拒绝登录"));
  lib->Link().SetRefuseLogins(false);
  EXPECT_EQ(LoginDefault(r), 1);
}

TEST_F(LoginTest, TheMarketAnswersWithin200MsOfTheLogin) {
  Recorder r;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(LoginDefault(r), 1);
  DC_Contract c = Contract("SHFE|rbMI");
  DC_Quote q{};
  ASSERT_EQ(Q().SubscribeQuote(r.Handle(), &c, &q, 1), 0);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GT(q.data.last, 0.0f);
  EXPECT_LT(ms, 200.0);
}

TEST_F(LoginTest, ADroppedLinkIsReportedAndReconnectBringsQuotesBack) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  DC_Contract c = Contract("SHFE|rbMI");
  DC_Quote q{};
  ASSERT_EQ(Q().SubscribeQuote(r.Handle(), &c, &q, 1), 0);
  Step(2);
  ASSERT_GT(r.QuoteCount(), 0u);

  lib->Link().DropLink();
  lib->WaitDelivered();
  EXPECT_FALSE(Q().IsConnected());
  ASSERT_EQ(r.lost.size(), 1u);
  EXPECT_EQ(r.states.back(), std::make_pair(0, 0));
  EXPECT_LT(Q().SubscribeQuote(NotifyHandle(), &c, &q, 1), 0);
  const std::size_t before = r.QuoteCount();
  Step(4);
  EXPECT_EQ(r.QuoteCount(), before);  // nothing comes over a dead link

  // A refused reconnection is reported as another loss, so that the caller tries again.
  lib->Link().SetRefuseLogins(true);
  Q().Reconnect();
  lib->WaitDelivered();
  EXPECT_EQ(r.lost.size(), 2u);
  EXPECT_FALSE(Q().IsConnected());

  lib->Link().SetRefuseLogins(false);
  Q().Reconnect();
  lib->WaitDelivered();
  EXPECT_TRUE(Q().IsConnected());
  EXPECT_EQ(r.states.back(), std::make_pair(1, 1));
  Step(2);
  EXPECT_GT(r.QuoteCount(), before);  // the subscription survived the drop
}

TEST_F(LoginTest, DelayedAnswersComeByNotification) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  lib->Link().SetDelayMs(30);
  DC_Contract c = Contract("DCE|PMI");
  BarStore store;
  EXPECT_EQ(Q().RequestHistory(r.Handle(), &c, 3, 1, &store, 50, 0), 1);
  lib->WaitDelivered();
  ASSERT_EQ(r.histories.size(), 1u);
  EXPECT_EQ(r.histories[0].first, 0);
  EXPECT_EQ(r.histories[0].second.contract.Key(), c.Key());
  EXPECT_EQ(r.histories[0].second.contractValue, c.value);
  EXPECT_EQ(store.Size(), 50u);
}

TEST_F(LoginTest, NoNotificationAfterUnregisterReturns) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  lib->Link().SetDelayMs(20);
  DC_Contract c = Contract("SHFE|cuMI");
  BarStore store;
  ASSERT_EQ(Q().RequestHistory(r.Handle(), &c, 3, 1, &store, 10, 0), 1);
  r.Unregister();
  Q().UnregisterListener(r.Handle());
  lib->WaitDelivered();
  EXPECT_TRUE(r.histories.empty());
  EXPECT_EQ(store.Size(), 0u);  // the store of a withdrawn request is never touched
}

}  // namespace
}  // namespace tarn::test

namespace tarn::test {
namespace {

// With the terminal's own clock the market runs by itself: quotes arrive every 500 ms.
TEST(RealClock, TheDriverThreadKeepsTheMarketMoving) {
  ScopedHome home;
  quotedata::EmbeddedOptions o;
  o.persist = false;
  auto lib = quotedata::CreateEmbedded(o);
  Recorder r;
  r.Register();
  lib->Center().Login(r.Handle(), QuoteLoginParams{"opers", "472quark918", "tarn-embedded", 0});
  lib->WaitDelivered();
  DC_Contract c{};
  ASSERT_GT(lib->Center().FindContract(&c, "SHFE|rbMI"), 0);
  ASSERT_EQ(lib->Center().SubscribeQuote(r.Handle(), &c, nullptr, 1), 1);  // the snapshot follows
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (r.QuoteCount() < 4 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_GE(r.QuoteCount(), 4u);
  std::lock_guard<std::mutex> lock(r.m);
  EXPECT_GT(r.quotes.back().data.updateTime, r.quotes.front().data.updateTime - 1);
  EXPECT_LE(std::llabs(r.quotes.back().data.updateTime - tarn::Now()), 2);
}

}  // namespace
}  // namespace tarn::test
