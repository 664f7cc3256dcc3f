// The server configuration and the login flow: lists, memory, the checks of OK, the quote
// login before the trade login, and every result's effects.
#include <gtest/gtest.h>

#include <mutex>

#include "app/address_cipher.h"
#include "app/login_flow.h"
#include "app/login_session.h"
#include "app/server_config.h"
#include "fake_libraries.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::ScopedHome;

std::string Enc(const std::string& s) { return AddressCipher().Encipher(s); }

void WriteServers(const ScopedHome& h, const std::string& body) {
  test::WriteFile(h.Native("\\config\\tradeserverlist.ini"), body);
}

TEST(ServerConfig, AddressesSplitAtTheAtSignOrTheColon) {
  EXPECT_EQ(SplitAddress("tarn-embedded@7200").host, "tarn-embedded");
  EXPECT_EQ(SplitAddress("tarn-embedded@7200").port, 7200);
  EXPECT_EQ(SplitAddress("10.1.2.3:7100").host, "10.1.2.3");
  EXPECT_EQ(SplitAddress("10.1.2.3:7100").port, 7100);
  EXPECT_EQ(SplitAddress("h@12x").port, 12);
  EXPECT_EQ(SplitAddress("host").host, "host");
  EXPECT_EQ(SplitAddress("host").port, 0);
  EXPECT_EQ(DecipherAddress("").host, "");
  EXPECT_EQ(DecipherAddress("%%%").host, "");
}

TEST(ServerConfig, TestServerFirstSkippedEntriesAndLastServer) {
  ScopedHome home;
  WriteServers(home, "[value]\r\nserverCount=4\r\n"
                     "[server1]\r\nname=\r\ntrade_addr=" + Enc("skip@1") + "\r\n"
                     "[server2]\r\nname=A\r\ntrade_addr=" + Enc("a-host@7200") + "\r\ncloud_addr=" + Enc("a-cloud:7300") + "\r\n"
                     "[server3]\r\nname=NoHost\r\ntrade_addr=garbage!\r\n"
                     "[server4]\r\nname=B\r\ntrade_addr=" + Enc("b-host@7201") + "\r\n");
  test::WriteFile(home.Native("\\config\\tradeserverTest.ini"), "[trade]\r\ntrade_addr=" + Enc("t-host@9000") + "\r\n");
  const auto list = LoadServerList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, TXT("测试服务器"));
  EXPECT_EQ(list[0].tradeHost, "t-host");
  EXPECT_EQ(list[1].name, "A");
  EXPECT_EQ(list[1].tradePort, 7200);
  EXPECT_EQ(list[1].cloudHost, "a-cloud");
  EXPECT_EQ(list[1].cloudPort, 7300);
  EXPECT_EQ(list[2].name, "B");  // the entry with an empty name and the undecipherable one skipped
  EXPECT_EQ(FindServerByHost(list, "b-host"), 2);
  EXPECT_EQ(FindServerByHost(list, "b-hos"), -1);
}

TEST(ServerConfig, DamagedListsNeitherHangNorCrash) {
  ScopedHome home;
  WriteServers(home, "[value]\r\nserverCount=2147483647\r\n[server1]\r\nname=A\r\ntrade_addr=" + Enc("a@1") + "\r\n");
  EXPECT_EQ(LoadServerList().size(), 1u);
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 31 + 7) & 0xFF);
  WriteServers(home, garbage);
  EXPECT_TRUE(LoadServerList().empty());
  // A file cut in the middle of the second entry keeps the first.
  const std::string two = "[value]\r\nserverCount=2\r\n[server1]\r\nname=A\r\ntrade_addr=" + Enc("a@1") +
                          "\r\n[server2]\r\nname=B\r\ntrade_addr=" + Enc("b-host@2");
  WriteServers(home, two.substr(0, two.size() - 20));
  const auto kept = LoadServerList();
  ASSERT_GE(kept.size(), 1u);
  EXPECT_EQ(kept[0].name, "A");
}

TEST(ServerConfig, QuoteLoginDefaultsAndMemory) {
  ScopedHome home;
  const QuoteLoginConfig d = LoadQuoteLogin();
  EXPECT_EQ(d.user, "opers");
  EXPECT_EQ(d.password, "472quark918");
  test::WriteFile(home.Native("\\config\\quoteserver.ini"), "[server]\r\naddr=" + Enc("q-host:7100") + "\r\n");
  EXPECT_EQ(LoadQuoteLogin().address.host, "q-host");
  EXPECT_EQ(LoadQuoteLogin().address.port, 7100);
  EXPECT_EQ(VersionText(), "1.0.0.1");
  ASSERT_TRUE(WriteLastTradeHost("b-host"));
  EXPECT_NE(Profile::GetString(home.Native("\\config\\tradeserver.ini"), "acc", "lastIp", ""), "b-host");
  EXPECT_EQ(LastTradeHost(), "b-host");
}

// ---------------------------------------------------------------------------------------------

// Collects what the flow posts, as the dialog's window would receive it.
struct Posted {
  std::mutex m;
  std::vector<std::pair<int, int>> messages;
  LoginFlow::Poster Poster() {
    return [this](int msg, int code) {
      std::lock_guard<std::mutex> l(m);
      messages.emplace_back(msg, code);
    };
  }
  std::vector<std::pair<int, int>> Take() {
    std::lock_guard<std::mutex> l(m);
    auto v = messages;
    messages.clear();
    return v;
  }
};

class LoginFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteServers(home, "[value]\r\nserverCount=1\r\n[server1]\r\nname=Embedded\r\ntrade_addr=" +
                           Enc("tarn-embedded@7200") + "\r\ncloud_addr=" + Enc("tarn-embedded@7300") + "\r\n");
    test::WriteFile(home.Native("\\config\\quoteserver.ini"),
                    "[acc]\r\nuser=opers\r\npwd=472quark918\r\n[server]\r\naddr=" + Enc("tarn-embedded@7100") + "\r\n");
    LoginSession::Clear();
  }
  ScopedHome home;
  test::ShellQuoteCenter quotes;
  test::ShellTradeApi trades;
  MessageBoxRecorder boxes;
  Posted posted;
};

TEST_F(LoginFlowTest, OpenShowsTheListTheLastAccountAndTheVersion) {
  Profile::WriteString(home.Native("\\config\\tradeserver.ini"), "acc", "user", "8001");
  WriteLastTradeHost("tarn-embedded");
  LoginFlow flow(false);
  const LoginView v = flow.Open();
  ASSERT_EQ(v.serverNames.size(), 1u);
  EXPECT_EQ(v.selected, 0);
  EXPECT_EQ(v.account, "8001");
  EXPECT_TRUE(v.focusPassword);
  EXPECT_EQ(v.versionLine, TXT("版本号:1.0.0.1"));
}

TEST_F(LoginFlowTest, WithoutARememberedServerTheFirstListedOneIsChosen) {
  // A first start: nothing remembered. The only server is chosen and OK gets past the check.
  LoginFlow flow(false);
  flow.SetPoster(posted.Poster());
  const LoginView v = flow.Open();
  ASSERT_EQ(v.serverNames.size(), 1u);
  EXPECT_EQ(v.selected, 0);
  flow.Ok("8001", "pw", v.selected);
  EXPECT_NE(boxes.LastText(), TXT("请选择交易服务器"));
  EXPECT_EQ(quotes.logins.size(), 1u);
  // A remembered server that is no longer listed falls back to the first entry as well;
  // a remembered one that is listed further down stays chosen.
  WriteServers(home, "[value]\r\nserverCount=2\r\n[server1]\r\nname=A\r\ntrade_addr=" + Enc("hostA@1") +
                         "\r\n[server2]\r\nname=B\r\ntrade_addr=" + Enc("hostB@2") + "\r\n");
  WriteLastTradeHost("elsewhere");
  EXPECT_EQ(LoginFlow(false).Open().selected, 0);
  WriteLastTradeHost("hostB");
  EXPECT_EQ(LoginFlow(false).Open().selected, 1);
  // No servers at all: nothing to choose.
  WriteServers(home, "[value]\r\nserverCount=0\r\n");
  EXPECT_EQ(LoginFlow(false).Open().selected, -1);
}

TEST_F(LoginFlowTest, OkChecksInOrderAndWritesTheAccountOnlyWhenGiven) {
  LoginFlow flow(false);
  flow.SetPoster(posted.Poster());
  flow.Open();
  LoginEffects fx = flow.Ok("8001", "pw", -1);
  EXPECT_EQ(boxes.LastText(), TXT("请选择交易服务器"));
  EXPECT_FALSE(fx.buttonsEnabled.has_value());
  EXPECT_EQ(LastAccount(), "8001");  // written before the server check
  Profile::WriteString(home.Native("\\config\\tradeserver.ini"), "acc", "user", "old");
  fx = flow.Ok("", "pw", 0);
  EXPECT_EQ(boxes.LastText(), TXT("帐户必须填写"));
  EXPECT_EQ(LastAccount(), "old");           // an empty account is not written
  EXPECT_EQ(LastTradeHost(), "tarn-embedded");  // the server was remembered
  EXPECT_EQ(LoginSession::QuoteHost(), "tarn-embedded");
  EXPECT_TRUE(quotes.logins.empty());
}

TEST_F(LoginFlowTest, QuoteLoginFirstThenTradeLoginThenClose) {
  LoginFlow flow(false);
  flow.SetPoster(posted.Poster());
  flow.Open();
  LoginEffects fx = flow.Ok("8001", "secret", 0);
  ASSERT_TRUE(fx.buttonsEnabled.has_value());
  EXPECT_FALSE(*fx.buttonsEnabled);
  ASSERT_EQ(quotes.logins.size(), 1u);
  EXPECT_EQ(quotes.logins[0].params.user, "opers");
  EXPECT_EQ(quotes.logins[0].params.host, "tarn-embedded");
  EXPECT_EQ(quotes.logins[0].params.port, 7100);
  auto msgs = posted.Take();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0], std::make_pair(kMsgQuoteLoginResult, 0));
  // A progress code only shows its text (the last stored one is shown for each message).
  fx = flow.OnQuoteResult(0);
  ASSERT_TRUE(fx.progress);
  EXPECT_FALSE(fx.buttonsEnabled.has_value());
  EXPECT_TRUE(trades.logins.empty());
  fx = flow.OnQuoteResult(1);
  EXPECT_EQ(*fx.progress, TXT("登录交易服务器"));
  ASSERT_EQ(trades.logins.size(), 1u);
  EXPECT_EQ(trades.logins[0].texts, (AccountTexts{"", "8001", "secret"}));
  EXPECT_EQ(trades.logins[0].tradePort, 7200);
  EXPECT_EQ(trades.logins[0].cloudPort, 7300);
  EXPECT_EQ(LoginSession::TradeLogin().tradeHost, "tarn-embedded");
  msgs = posted.Take();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0], std::make_pair(kMsgTradeLoginResult, 1));
  fx = flow.OnTradeResult(1);
  EXPECT_TRUE(fx.closeOk);
  EXPECT_EQ(*fx.progress, "login ok");
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(LoginFlowTest, RefusalsShowTheLibrarysTextAndEnableTheButtons) {
  quotes.loginAnswers = {{-3, "refused: bad user"}};
  LoginFlow flow(false);
  flow.SetPoster(posted.Poster());
  flow.Open();
  flow.Ok("8001", "pw", 0);
  LoginEffects fx = flow.OnQuoteResult(-3);
  EXPECT_EQ(boxes.LastText(), "refused: bad user");
  EXPECT_EQ(quotes.logouts.load(), 1);
  ASSERT_TRUE(fx.buttonsEnabled);
  EXPECT_TRUE(*fx.buttonsEnabled);
  // A trade failure (-1) also shows the text; another code is progress only.
  trades.loginCode = -1;
  trades.loginText = "wrong password";
  flow.StoreAndPost(kMsgTradeLoginResult, 5, "still trying");
  fx = flow.OnTradeResult(5);
  EXPECT_FALSE(fx.closeOk);
  EXPECT_FALSE(fx.buttonsEnabled.has_value());
  trades.Disconnect();
  fx = flow.OnTradeResult(-1);
  EXPECT_EQ(boxes.LastText(), TXT("连接服务器失败"));
  EXPECT_TRUE(*fx.buttonsEnabled);
}

TEST_F(LoginFlowTest, TradeOnlyModeSkipsTheQuoteLogin) {
  LoginFlow flow(true);
  flow.SetPoster(posted.Poster());
  flow.Open();
  const LoginEffects fx = flow.Ok("8001", "pw", 0);
  EXPECT_TRUE(quotes.logins.empty());
  ASSERT_EQ(trades.logins.size(), 1u);
  EXPECT_EQ(*fx.progress, TXT("登录交易服务器"));
  EXPECT_FALSE(*fx.buttonsEnabled);
}

TEST_F(LoginFlowTest, NotificationsAfterTheWindowIsGoneAreDropped) {
  auto flow = std::make_unique<LoginFlow>(false);
  flow->SetPoster(posted.Poster());
  flow->Open();
  flow->SetPoster(nullptr);
  trades.Disconnect();
  EXPECT_TRUE(posted.Take().empty());
  flow.reset();
  trades.Disconnect();  // the listener is gone: nothing reaches it
  EXPECT_EQ(trades.listeners.Size(), 0u);
}

}  // namespace
}  // namespace tarn
