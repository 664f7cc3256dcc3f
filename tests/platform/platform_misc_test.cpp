// Program directory, clock, sound, single instance, message boxes and listener sets.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/wait.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/single_instance.h"
#include "platform/sound.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn {
namespace {

TEST(ProgramDir, PathsAreNativeAndUnderTheHome) {
  test::ScopedHome home;
  EXPECT_EQ(ProgramDirNative(), home.path());
  EXPECT_NE(ProgramDirNative().back(), '/');
  EXPECT_EQ(Path("\\config\\setting.ini"), home.path() + "/config/setting.ini");
  EXPECT_EQ(Path("user/x.dat"), home.path() + "/user/x.dat");
  // GBK names become UTF-8 on disk.
  EXPECT_EQ(Path("\\user\\layout\\quotepage\\" + TXT("工作区1") + ".lyt"),
            home.path() + "/user/layout/quotepage/\xE5\xB7\xA5\xE4\xBD\x9C\xE5\x8C\xBA" "1.lyt");
}

TEST(ProgramDir, TrailingSeparatorIsDropped) {
  test::TempDir dir;
  std::string previous = ProgramDirNative();
  SetProgramDir(dir.path() + "///");
  EXPECT_EQ(ProgramDirNative(), dir.path());
  SetProgramDir(previous);
}

TEST(Clock, ManualClockDrivesTickCountAndNow) {
  ManualClock clock(1700000000500, 42);
  SetClock(&clock);
  EXPECT_EQ(TickCount(), 42);
  EXPECT_EQ(Now(), 1700000000);
  clock.AdvanceMs(1500);
  EXPECT_EQ(TickCount(), 1542);
  EXPECT_EQ(Now(), 1700000002);
  SetClock(nullptr);
  EXPECT_GT(Now(), 1700000000);
}

TEST(Sound, MissingFileIsSilentAndOthersAreRecorded) {
  test::ScopedHome home;
  SoundRecorder rec;
  EXPECT_FALSE(Sound::Play(home.Native("\\sound\\trade\\0.wav")));
  test::WriteFile(home.Native("\\sound\\trade\\0.wav"), "RIFF");
  EXPECT_TRUE(Sound::Play(home.Native("\\sound\\trade\\0.wav")));
  ASSERT_EQ(rec.Played().size(), 1u);
  EXPECT_EQ(rec.Played()[0], home.Native("\\sound\\trade\\0.wav"));
}

TEST(SingleInstance, SameNameNeverTwiceOtherNamesSideBySide) {
  const std::string name = "Tarn_MUTEX_test_" + std::to_string(::getpid());
  SingleInstanceLock a, b, c;
  EXPECT_EQ(a.Acquire(name), SingleInstanceLock::Result::Acquired);
  EXPECT_EQ(b.Acquire(name), SingleInstanceLock::Result::AlreadyHeld);
  EXPECT_EQ(c.Acquire(name + "_other"), SingleInstanceLock::Result::Acquired);
  // Another process sees the lock as held too.
  pid_t pid = fork();
  if (pid == 0) {
    SingleInstanceLock child;
    _exit(child.Acquire(name) == SingleInstanceLock::Result::AlreadyHeld ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  a.Release();
  EXPECT_EQ(b.Acquire(name), SingleInstanceLock::Result::Acquired);
}

TEST(MessageBoxRecorder, RecordsAndAnswersAsScripted) {
  MessageBoxRecorder rec(MsgAnswer::Cancel);
  rec.Script(MsgAnswer::Ok);
  EXPECT_EQ(MessageBox(TXT("您确实要退出本系统吗?"), TXT("提示"), MsgButtons::OkCancel), MsgAnswer::Ok);
  EXPECT_EQ(MessageBox("second", "", MsgButtons::OkCancel), MsgAnswer::Cancel);
  ASSERT_EQ(rec.Count(), 2u);
  EXPECT_EQ(rec.Boxes()[0].title, TXT("提示"));
  EXPECT_EQ(rec.LastText(), "second");
}

struct Counter {
  std::atomic<int> calls{0};
};

TEST(ListenerSet, NoCallAfterRemoveReturnsEvenAcrossThreads) {
  ListenerSet<Counter> set;
  Counter a, b;
  set.Add(&a);
  set.Add(&a);  // once only
  set.Add(&b);
  EXPECT_EQ(set.Size(), 2u);
  std::atomic<bool> removed{false};
  std::atomic<bool> violation{false};
  std::thread deliver([&] {
    for (int i = 0; i < 20000; ++i)
      set.ForEach([&](Counter* c) {
        if (c == &b && removed.load()) violation = true;
        c->calls++;
      });
  });
  while (b.calls.load() < 100) std::this_thread::yield();
  set.Remove(&b);
  removed = true;
  deliver.join();
  EXPECT_FALSE(violation.load());
  EXPECT_EQ(a.calls.load(), 20000);
}

TEST(ListenerSet, ListenerRemovedDuringAWalkIsSkipped) {
  ListenerSet<Counter> set;
  Counter a, b;
  set.Add(&a);
  set.Add(&b);
  set.ForEach([&](Counter* c) {
    c->calls++;
    if (c == &a) set.Remove(&b);
  });
  EXPECT_EQ(a.calls.load(), 1);
  EXPECT_EQ(b.calls.load(), 0);
}

}  // namespace
}  // namespace tarn
