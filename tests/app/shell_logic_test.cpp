// The shell's other logic: the mutex name and the updater hand-over, the window state file,
// the two link watchers and the account dialogs' checks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/account_checks.h"
#include "app/frame_state.h"
#include "app/link_state.h"
#include "app/login_session.h"
#include "app/scratch_home.h"
#include "app/startup.h"
#include "app/state_writer.h"
#include "fake_libraries.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::ScopedHome;

TEST(Startup, MutexNameIsTheSignedByteSumPlusTheLength) {
  // "/a" = 47 + 97, plus 2.
  EXPECT_EQ(MutexName("/a"), "Tarn_MUTEX_146");
  // Bytes above 127 count as negative: 0xB0 = -80.
  EXPECT_EQ(MutexName(std::string("/\xB0")), "Tarn_MUTEX_" + std::to_string(47 - 80 + 2));
  EXPECT_NE(MutexName("/opt/tarn1"), MutexName("/opt/tarn2"));
  // The same folder never runs twice; two folders side by side do.
  SingleInstanceLock a, b, c;
  EXPECT_EQ(a.Acquire(MutexName("/tmp/tarn-test-folder-x")), SingleInstanceLock::Result::Acquired);
  EXPECT_EQ(b.Acquire(MutexName("/tmp/tarn-test-folder-x")), SingleInstanceLock::Result::AlreadyHeld);
  EXPECT_EQ(c.Acquire(MutexName("/tmp/tarn-test-folder-y")), SingleInstanceLock::Result::Acquired);
}

struct SpawnLog {
  std::vector<std::pair<std::string, std::vector<std::string>>> calls;
  bool result = true;
  Spawner Fn() {
    return [this](const std::string& p, const std::vector<std::string>& a) {
      calls.emplace_back(p, a);
      return result;
    };
  }
};

TEST(Startup, UpdaterHandOver) {
  ScopedHome home;
  SpawnLog log;
  // Nothing installed: nothing started.
  EXPECT_FALSE(HandOverToUpdater("tarn", 42, log.Fn()));
  EXPECT_TRUE(log.calls.empty());
  // An existing updater without a fresh copy still starts, with "parent=<pid>".
  test::WriteFile(home.Native("\\update.exe"), "old");
  EXPECT_TRUE(HandOverToUpdater("tarn", 42, log.Fn()));
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0].first, home.Native("\\update.exe"));
  EXPECT_EQ(log.calls[0].second, std::vector<std::string>{"parent=42"});
  // A fresh copy replaces it first.
  test::WriteFile(home.Native("\\update\\update.exe"), "new");
  EXPECT_TRUE(HandOverToUpdater("tarn --x", 7, log.Fn()));
  EXPECT_EQ(test::ReadFile(home.Native("\\update.exe")), "new");
  // "noinvoke" anywhere: neither copied nor started.
  test::WriteFile(home.Native("\\update\\update.exe"), "newer");
  EXPECT_FALSE(HandOverToUpdater("tarn --home /x noinvoke", 7, log.Fn()));
  EXPECT_FALSE(HandOverToUpdater("tarn xnoinvokey", 7, log.Fn()));
  EXPECT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(test::ReadFile(home.Native("\\update.exe")), "new");
  // A start that fails lets the terminal go on.
  log.result = false;
  EXPECT_FALSE(HandOverToUpdater("tarn", 7, log.Fn()));
}

TEST(FrameState, WritesTheFrameAndViewRecordsWithAnEmptyQuotePage) {
  ScopedHome home;
  FrameState s;
  s.contractKey = "SHFE|F|rb|2510";
  s.blockName = TXT("自选");
  ASSERT_TRUE(SaveFrameState(s));
  const std::string bytes = test::ReadFile(home.Native("\\user\\layout\\frm.dat"));
  ArchiveReader r(bytes);
  int32_t v = 0;
  std::string text;
  ASSERT_TRUE(r.Int32(v));
  EXPECT_EQ(v, 1);
  ASSERT_TRUE(r.Int32(v));
  EXPECT_EQ(v, 3);
  ASSERT_TRUE(r.String(text));
  EXPECT_EQ(text, s.contractKey);
  ASSERT_TRUE(r.Int32(v));
  EXPECT_EQ(v, 1);
  ASSERT_TRUE(r.String(text));
  EXPECT_EQ(text, s.blockName);
  int32_t page[4];
  for (int32_t& p : page) ASSERT_TRUE(r.Int32(p));
  EXPECT_EQ(page[0], 7);  // version
  EXPECT_EQ(page[1], 0);  // no workspaces
  EXPECT_EQ(page[3], 0);  // reserved
  EXPECT_TRUE(r.AtEnd());
}

TEST(FrameState, KeepsAQuotePageItCannotReadAndSurvivesDamage) {
  ScopedHome home;
  FrameState s;
  s.contractKey = "k";
  s.quotePageRecord = std::string("\x07\0\0\0\x01\0\0\0whatever a page holds", 28);
  const std::string bytes = SerializeFrameState(s);
  FrameState back;
  ASSERT_TRUE(ParseFrameState(bytes, &back));
  EXPECT_EQ(back.quotePageRecord, s.quotePageRecord);
  EXPECT_EQ(SerializeFrameState(back), bytes);
  // Every truncation before the page record fails and keeps what was read before the cut
  // (the page record itself is kept as it is, for the page to judge).
  for (std::size_t cut = 0; cut < 19; ++cut) {
    FrameState t;
    EXPECT_FALSE(ParseFrameState(std::string_view(bytes).substr(0, cut), &t)) << cut;
    if (cut >= 10) {
      EXPECT_EQ(t.contractKey, "k");
    }
  }
  std::string garbage(300, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 73);
  FrameState g;
  EXPECT_FALSE(ParseFrameState(garbage, &g));
  test::WriteFile(home.Native("\\user\\layout\\frm.dat"), garbage);
  FrameState l;
  EXPECT_FALSE(LoadFrameState(&l));
  // A failed write keeps the old file.
  SetFileFaultHook([](FileStep step) { return step == FileStep::Rename; });
  EXPECT_FALSE(SaveFrameState(s));
  SetFileFaultHook(nullptr);
  EXPECT_EQ(test::ReadFile(home.Native("\\user\\layout\\frm.dat")), garbage);
}

TEST(StatusBarLogic, QuoteRetryDelaysAndStateTexts) {
  test::ShellQuoteCenter quotes;
  StatusBarLogic bar;
  EXPECT_EQ(bar.RetryDelayMs(), 3000);
  quotes.connected = false;
  bar.OnRetryTimer();
  EXPECT_EQ(quotes.reconnects.load(), 1);
  EXPECT_EQ(bar.RetryDelayMs(), 10000);
  // A loss report while the link is already back only resets the delay.
  quotes.connected = true;
  bar.OnRetryTimer();
  EXPECT_EQ(quotes.reconnects.load(), 1);
  EXPECT_EQ(bar.RetryDelayMs(), 3000);
  EXPECT_EQ(StatusBarLogic::QuoteState(true).text, TXT("行情:正常"));
  EXPECT_EQ(StatusBarLogic::QuoteState(false).text, TXT("行情:正在重连"));
  EXPECT_EQ(StatusBarLogic::QuoteState(false).color, Rgb(220, 220, 100));
}

TEST(StatusBarLogic, TradeStateBlinksRedAndYellowWhileDown) {
  StatusBarLogic bar;
  EXPECT_EQ(bar.NextTradeState().text, TXT("交易:正常"));
  bar.OnTradeDisconnected();
  const StateText a = bar.NextTradeState(), b = bar.NextTradeState(), c = bar.NextTradeState();
  EXPECT_EQ(a.text, TXT("交易:已断开"));
  EXPECT_NE(a.color, b.color);
  EXPECT_EQ(a.color, c.color);
  EXPECT_TRUE((a.color == Rgb(255, 0, 0) && b.color == Rgb(255, 255, 0)) ||
              (a.color == Rgb(255, 255, 0) && b.color == Rgb(255, 0, 0)));
  bar.OnTradeLogin(2);  // not a success
  EXPECT_FALSE(bar.TradeUp());
  bar.OnTradeLogin(1);
  EXPECT_EQ(bar.NextTradeState().color, Rgb(200, 200, 200));
  EXPECT_EQ(StatusBarLogic::ClockText(0).size(), 8u);
}

TEST(TradeReconnectLogic, RetriesAtMostOncePerAttemptAndDotsCycle) {
  test::ShellTradeApi trades;
  trades.loginCode = 0;  // the broker never answers
  LoginSession::SetTradeLogin({{"", "8001", "pw"}, "tarn-embedded", 7200, "tarn-embedded", 7300});
  TradeReconnectLogic::ResetAnimationCounter();
  TradeReconnectLogic r;
  EXPECT_TRUE(r.OnNoticeTimer(false).hide);
  EXPECT_FALSE(r.OnRetryTimer());
  r.OnTradeDisconnected();
  TradeReconnectLogic::NoticeStep s = r.OnNoticeTimer(false);
  EXPECT_TRUE(s.show);
  EXPECT_EQ(s.text, TXT("交易已断开，正在进行自动重连."));
  // No attempt pending: the dots do not advance.
  EXPECT_EQ(r.OnNoticeTimer(true).text, TXT("交易已断开，正在进行自动重连."));
  EXPECT_TRUE(r.OnRetryTimer());
  ASSERT_EQ(trades.logins.size(), 1u);
  EXPECT_EQ(trades.logins[0].texts.password, "pw");
  EXPECT_FALSE(r.OnRetryTimer());  // the attempt is pending
  EXPECT_EQ(trades.logins.size(), 1u);
  // The dots run 2..9, then back to 1.
  for (int n = 2; n <= 9; ++n)
    EXPECT_EQ(r.OnNoticeTimer(true).text, TXT("交易已断开，正在进行自动重连") + std::string(static_cast<std::size_t>(n), '.'));
  EXPECT_EQ(r.OnNoticeTimer(true).text, TXT("交易已断开，正在进行自动重连."));
  // A result other than 1 changes nothing; the attempt ends with timer 3 and the next goes out.
  r.OnTradeLogin(-1);
  EXPECT_TRUE(r.TradeDown());
  r.OnAttemptTimer();
  EXPECT_TRUE(r.OnRetryTimer());
  EXPECT_EQ(trades.logins.size(), 2u);
  r.OnTradeLogin(1);
  EXPECT_TRUE(r.OnNoticeTimer(true).hide);
  r.OnAttemptTimer();
  EXPECT_FALSE(r.OnRetryTimer());
  LoginSession::Clear();
}

TEST(AccountChecks, PasswordRulesAnswersAndDates) {
  EXPECT_EQ(*CheckPasswordChange("old", "Abc", "abc"), TXT("两次输入的新密码不一致"));
  EXPECT_EQ(*CheckPasswordChange("", "abc", "abc"), TXT("密码不能为空"));
  EXPECT_EQ(*CheckPasswordChange("old", "", ""), TXT("密码不能为空"));
  EXPECT_FALSE(CheckPasswordChange("old", "abc", "abc"));
  PasswordChangeResult r{};
  SetField(r.message, "whatever");
  r.code = 0;
  EXPECT_EQ(PasswordChangeAnswer(r), TXT("密码修改成功"));
  r.code = 3;
  EXPECT_EQ(PasswordChangeAnswer(r), "whatever");
  EXPECT_EQ(SettlementDate(2026, 3, 5), 20260305);
  EXPECT_EQ(SettlementDate(2025, 12, 31), 20251231);
  test::ShellTradeApi trades;
  ASSERT_TRUE(SendPasswordChange("old", "new"));
  ASSERT_EQ(trades.passwordChanges.size(), 1u);
  EXPECT_EQ(trades.passwordChanges[0], std::make_pair(std::string("old"), std::string("new")));
}

}  // namespace
}  // namespace tarn

namespace tarn {
namespace {

TEST(ScratchHomeTest, CopiesTheDataFoldersLeavesTheOriginalAloneAndGoesAway) {
  test::ScopedHome home;
  test::WriteFile(home.Native("\\config\\setting.ini"), "[a]\nb=1\n");
  test::WriteFile(home.Native("\\user\\exchange\\broker.db"), "db");
  test::WriteFile(home.Native("\\tarn"), "executable");
  std::string dir;
  {
    ScratchHome scratch(home.path());
    ASSERT_TRUE(scratch.Ok()) << scratch.Error();
    dir = scratch.Dir();
    EXPECT_NE(dir, home.path());
    EXPECT_EQ(test::ReadFile(dir + "/config/setting.ini"), "[a]\nb=1\n");
    EXPECT_EQ(test::ReadFile(dir + "/user/exchange/broker.db"), "db");
    EXPECT_FALSE(std::filesystem::exists(dir + "/tarn"));  // only the data folders
    // What the run changes stays in the copy.
    test::WriteFile(dir + "/user/exchange/broker.db", "changed");
    EXPECT_EQ(test::ReadFile(home.Native("\\user\\exchange\\broker.db")), "db");
  }
  EXPECT_FALSE(std::filesystem::exists(dir));
}

// The window state's writer: a slow disk never holds up the caller, the latest bytes win, and a
// failed write leaves the old file whole and is reported.
TEST(StateWriterTest, WritesOffTheCallersThreadAndKeepsTheOldFileOnFailure) {
  test::TempDir dir;
  const std::string path = dir.File("frm.dat");
  std::atomic<bool> slow{true}, fail{false};
  SetFileFaultHook([&](FileStep step) {
    if (step == FileStep::Write && slow) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return fail && step == FileStep::Rename;
  });
  {
    StateWriter writer;
    const auto start = std::chrono::steady_clock::now();
    writer.Post(path, "first");
    writer.Post(path, "second");
    writer.Post(path, "third");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(writer.Flush());
    EXPECT_EQ(test::ReadFile(path), "third");
    EXPECT_LE(writer.Writes(), 2);  // "second" was replaced while "first" was being written
    slow = false;
    fail = true;
    writer.Post(path, "torn?");
    EXPECT_FALSE(writer.Flush());
    EXPECT_EQ(test::ReadFile(path), "third");
    fail = false;
    writer.Post(path, "last");
  }  // the destructor writes what is waiting
  SetFileFaultHook(nullptr);
  EXPECT_EQ(test::ReadFile(path), "last");
}

}  // namespace
}  // namespace tarn
