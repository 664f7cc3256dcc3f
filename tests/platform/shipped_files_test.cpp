// The choice of the program directory and the per-user copy of the shipped files: first start,
// restarts, upgrades that must keep what the user changed, and damaged or failing cases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/shipped_files.h"
#include "platform/single_instance.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

ProgramDirFacts InstalledFacts() {
  ProgramDirFacts f;
  f.exeDir = "/usr/bin";
  f.exeDirWritable = false;
  f.installedDataDir = "/usr/share/tarn";
  f.userHome = "/home/trader";
  return f;
}

TEST(ProgramDirChoice, HomeOptionThenEnvironmentThenExecutableFolder) {
  ProgramDirFacts f = InstalledFacts();
  f.homeOption = "/srv/a";
  f.homeEnv = "/srv/b";
  EXPECT_EQ(ChooseProgramDir(f).dir, "/srv/a");
  EXPECT_TRUE(ChooseProgramDir(f).shippedDir.empty());  // an explicit home is never seeded
  f.homeOption.clear();
  EXPECT_EQ(ChooseProgramDir(f).dir, "/srv/b");
  EXPECT_TRUE(ChooseProgramDir(f).shippedDir.empty());

  // A build tree: the writable folder of the executable, as it is.
  ProgramDirFacts build;
  build.exeDir = "/work/tarn/build/bin";
  build.userHome = "/home/trader";
  EXPECT_EQ(ChooseProgramDir(build).dir, "/work/tarn/build/bin");
  EXPECT_TRUE(ChooseProgramDir(build).shippedDir.empty());
}

TEST(ProgramDirChoice, InstalledTerminalGetsAFolderOfTheUsersOwn) {
  ProgramDirFacts f = InstalledFacts();
  ProgramDirChoice c = ChooseProgramDir(f);
  EXPECT_EQ(c.dir, "/home/trader/.local/share/tarn");
  EXPECT_EQ(c.shippedDir, "/usr/share/tarn");

  // An installed layout is per-user even where the user may write (root, an unpacked package).
  f.exeDirWritable = true;
  EXPECT_EQ(ChooseProgramDir(f).dir, "/home/trader/.local/share/tarn");

  f.xdgDataHome = "/data/trader/";
  EXPECT_EQ(ChooseProgramDir(f).dir, "/data/trader/tarn");
  f.xdgDataHome = "relative/share";  // not absolute: ignored, as the XDG rules say
  EXPECT_EQ(ChooseProgramDir(f).dir, "/home/trader/.local/share/tarn");

  // A copy with its data beside the executable in a folder the user may not write: seeded
  // from that folder.
  ProgramDirFacts ro;
  ro.exeDir = "/opt/tarn";
  ro.exeDirWritable = false;
  ro.userHome = "/home/trader";
  c = ChooseProgramDir(ro);
  EXPECT_EQ(c.dir, "/home/trader/.local/share/tarn");
  EXPECT_EQ(c.shippedDir, "/opt/tarn");

  f.userHome.clear();
  f.xdgDataHome.clear();
  c = ChooseProgramDir(f);
  EXPECT_TRUE(c.dir.empty());
  EXPECT_FALSE(c.error.empty());
}

TEST(ProgramDirChoice, InstalledLayoutIsRecognisedBesideTheExecutable) {
  TempDir root;
  MakeDirs(root.File("usr/bin"));
  EXPECT_EQ(InstalledDataDir(root.File("usr/bin")), "");  // no shipped data at all
  MakeDirs(root.File("usr/share/tarn/config"));
  EXPECT_EQ(InstalledDataDir(root.File("usr/bin")), root.File("usr/share/tarn"));
  // A program directory that holds its own data (a build tree) stays one.
  MakeDirs(root.File("usr/bin/config"));
  EXPECT_EQ(InstalledDataDir(root.File("usr/bin")), "");
}

// A shipped tree and a user's folder, for the seeding cases.
struct Seeding : ::testing::Test {
  TempDir shipped, user;
  void Ship(const std::string& rel, const std::string& bytes) { WriteFile(shipped.File(rel), bytes); }
  SeedReport Seed() { return SeedShippedFiles(shipped.path(), user.path()); }
};

TEST_F(Seeding, FirstStartCopiesEverythingAndARestartChangesNothing) {
  Ship("config/userblock.dat", "blocks v1");
  Ship("formula/config/fmlGroup.xml", "<groups/>");
  Ship("icon/trade/\xE9\x94\x81.png", "png");  // a UTF-8 name
  SeedReport first = Seed();
  EXPECT_TRUE(first.ok());
  EXPECT_EQ(first.added.size(), 3u);
  EXPECT_EQ(ReadFile(user.File("config/userblock.dat")), "blocks v1");
  EXPECT_EQ(ReadFile(user.File("icon/trade/\xE9\x94\x81.png")), "png");
  const ShippedManifest manifest = ParseShippedManifest(ReadFile(user.File(kShippedManifest)));
  EXPECT_EQ(manifest.size(), 3u);
  EXPECT_EQ(manifest.at("config/userblock.dat"), ContentHash("blocks v1"));

  SeedReport again = Seed();
  EXPECT_TRUE(again.added.empty());
  EXPECT_TRUE(again.updated.empty());
  EXPECT_TRUE(again.kept.empty());
}

TEST_F(Seeding, OnlyTheDataFoldersAreShipped) {
  // A read-only copy of a build tree: executables and a user folder beside the data.
  Ship("tarn", "\x7f" "ELF");
  Ship("user/exchange/broker.db", "accounts");
  Ship("update/update.exe", "updater");
  SeedReport r = Seed();
  EXPECT_EQ(r.added, std::vector<std::string>{"update/update.exe"});
  EXPECT_FALSE(Exists(user.File("tarn")));
  EXPECT_FALSE(Exists(user.File("user/exchange/broker.db")));
}

TEST_F(Seeding, UpgradeKeepsChangedFilesUpdatesUntouchedOnesAndAddsNewOnes) {
  Ship("config/userblock.dat", "blocks v1");
  Ship("config/setting.ini", "[a]\nx=1\n");
  Ship("config/update.ini", "version=1");
  Seed();
  // The user changes two files and deletes none.
  WriteFile(user.File("config/userblock.dat"), "my blocks");
  WriteFile(user.File("config/setting.ini"), "[a]\nx=7\n");
  // A file the user made that a later version happens to ship too.
  WriteFile(user.File("config/tradeserverTest.ini"), "mine");

  // The next version changes every shipped file and ships two more.
  Ship("config/userblock.dat", "blocks v2");
  Ship("config/setting.ini", "[a]\nx=2\n");
  Ship("config/update.ini", "version=2");
  Ship("config/tradeserverTest.ini", "shipped");
  Ship("sound/trade/7.wav", "RIFF");
  SeedReport up = Seed();
  EXPECT_TRUE(up.ok());
  EXPECT_EQ(ReadFile(user.File("config/userblock.dat")), "my blocks");
  EXPECT_EQ(ReadFile(user.File("config/setting.ini")), "[a]\nx=7\n");
  EXPECT_EQ(ReadFile(user.File("config/tradeserverTest.ini")), "mine");
  EXPECT_EQ(ReadFile(user.File("config/update.ini")), "version=2");
  EXPECT_EQ(ReadFile(user.File("sound/trade/7.wav")), "RIFF");
  EXPECT_TRUE(Contains(up.kept, "config/userblock.dat"));
  EXPECT_TRUE(Contains(up.kept, "config/tradeserverTest.ini"));
  EXPECT_TRUE(Contains(up.updated, "config/update.ini"));
  EXPECT_TRUE(Contains(up.added, "sound/trade/7.wav"));

  // The changed files stay the user's through every later version too.
  Ship("config/userblock.dat", "blocks v3");
  Seed();
  EXPECT_EQ(ReadFile(user.File("config/userblock.dat")), "my blocks");
}

TEST_F(Seeding, UserContentEqualToANewVersionFollowsLaterVersionsAgain) {
  Ship("config/update.ini", "v1");
  Seed();
  WriteFile(user.File("config/update.ini"), "v2");  // the user's edit ...
  Ship("config/update.ini", "v2");                   // ... is what the next version ships
  Seed();
  Ship("config/update.ini", "v3");
  SeedReport r = Seed();
  EXPECT_EQ(ReadFile(user.File("config/update.ini")), "v3");
  EXPECT_TRUE(Contains(r.updated, "config/update.ini"));
}

TEST_F(Seeding, DeletedFilesComeBackAndOddOrDamagedStateIsKept) {
  Ship("config/a.ini", "a1");
  Ship("config/b.ini", "b1");
  Ship("config/c.ini", "c1");
  Seed();
  std::filesystem::remove(user.File("config/a.ini"));
  std::filesystem::remove(user.File("config/b.ini"));
  MakeDirs(user.File("config/b.ini"));  // a folder where a file is shipped
  // A damaged manifest forgets what was laid out: the seeding must then keep, never overwrite.
  WriteFile(user.File(kShippedManifest), "garbage\nzz ../../etc/passwd\n");
  Ship("config/c.ini", "c2");
  SeedReport r = Seed();
  EXPECT_EQ(ReadFile(user.File("config/a.ini")), "a1");
  EXPECT_TRUE(std::filesystem::is_directory(user.File("config/b.ini")));
  EXPECT_EQ(ReadFile(user.File("config/c.ini")), "c1");
  EXPECT_TRUE(Contains(r.kept, "config/b.ini"));
  EXPECT_TRUE(Contains(r.kept, "config/c.ini"));
}

TEST_F(Seeding, AFailedWriteIsReportedAndRetriedAtTheNextStart) {
  Ship("config/a.ini", "a1");
  SetFileFaultHook([](FileStep step) { return step == FileStep::Rename; });
  SeedReport failed = Seed();
  SetFileFaultHook({});
  EXPECT_FALSE(failed.ok());
  EXPECT_FALSE(Exists(user.File("config/a.ini")));
  // Nothing recorded for the failed file, so it is not mistaken for the user's own later.
  SeedReport retry = Seed();
  EXPECT_TRUE(retry.ok());
  EXPECT_TRUE(Contains(retry.added, "config/a.ini"));
  EXPECT_EQ(ReadFile(user.File("config/a.ini")), "a1");
}

TEST(ShippedManifest, ParsesItsOwnFormatAndRejectsPathsOutOfTheFolder) {
  ShippedManifest m{{"config/a.ini", ContentHash("a")}, {"icon/x y.png", ContentHash("")}};
  EXPECT_EQ(ParseShippedManifest(FormatShippedManifest(m)), m);
  const ShippedManifest odd = ParseShippedManifest(
      "0123456789abcdef /etc/passwd\n0123456789abcdef ../x\nXYZ config/a\n0123456789abcdef\r\n"
      "0123456789abcdef ok.ini\r\n");
  EXPECT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd.count("ok.ini"), 1u);
  EXPECT_NE(ContentHash("a"), ContentHash("b"));
  EXPECT_EQ(ContentHash("").size(), 16u);
}

TEST(SingleInstanceLockFile, IsPerUserAndAnUnopenableLockIsAnErrorNotASecondCopy) {
  const std::string name = "Tarn_MUTEX_unopenable_" + std::to_string(::getpid());
  TempDir runtime;
  const char* previous = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = previous ? previous : "";
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  const std::string path = SingleInstanceLock::LockPath(name);
  EXPECT_EQ(path.rfind(runtime.path() + "/", 0), 0u);
  EXPECT_NE(path.find("-" + std::to_string(::getuid()) + ".lock"), std::string::npos);
  // Something that is no lock file sits where ours would be (as another user's file would).
  ASSERT_TRUE(MakeDirs(path));
  SingleInstanceLock lock;
  EXPECT_EQ(lock.Acquire(name), SingleInstanceLock::Result::Error);
  std::filesystem::remove(path);
  EXPECT_EQ(lock.Acquire(name), SingleInstanceLock::Result::Acquired);
  lock.Release();
  if (previous) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace tarn
