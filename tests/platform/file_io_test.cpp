#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace tarn {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Every step of a replacement is made to fail in turn; the file on disk must then be the old
// version or the new one, never anything else, and no temporary file may stay behind.
TEST(AtomicFile, EachFailingStepLeavesTheOldOrTheNewFile) {
  const FileStep steps[] = {FileStep::Open, FileStep::Write, FileStep::Sync, FileStep::Rename, FileStep::DirSync};
  for (FileStep failing : steps) {
    TempDir dir;
    const std::string path = dir.File("config/data.dat");
    ASSERT_TRUE(WriteFileAtomic(path, "old content"));
    SetFileFaultHook([failing](FileStep s) { return s == failing; });
    std::string error;
    bool ok = WriteFileAtomic(path, "new content, longer than the old one", &error);
    SetFileFaultHook(nullptr);
    EXPECT_FALSE(ok) << static_cast<int>(failing);
    EXPECT_FALSE(error.empty());
    const std::string now = ReadFile(path);
    if (failing == FileStep::DirSync) {
      EXPECT_EQ(now, "new content, longer than the old one");  // renamed, then the folder sync failed
    } else {
      EXPECT_EQ(now, "old content") << static_cast<int>(failing);
    }
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.File("config"))) {
      (void)e;
      ++files;
    }
    EXPECT_EQ(files, 1) << "a temporary file was left behind";
  }
}

TEST(AtomicFile, FailingTheNthWriteOfAManyStepSequence) {
  TempDir dir;
  const std::string path = dir.File("a.bin");
  std::string previous;
  for (int n = 0; n < 12; ++n) {
    int count = 0;
    SetFileFaultHook([&count, n](FileStep) { return count++ == n; });
    std::string content(100 + n, static_cast<char>('a' + n));
    bool ok = WriteFileAtomic(path, content);
    SetFileFaultHook(nullptr);
    std::string now = ReadFile(path);
    EXPECT_TRUE(now == previous || now == content);
    if (ok) {
      EXPECT_EQ(now, content);
    }
    previous = now;
  }
}

TEST(AtomicFile, CreatesFoldersAndReadsBack) {
  TempDir dir;
  const std::string path = dir.File("x/y/z.txt");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("\0bin\xFF", 5)));
  auto back = ReadWholeFile(path);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, std::string("\0bin\xFF", 5));
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(ReadWholeFile(dir.File("missing")).has_value());
  EXPECT_FALSE(ReadWholeFile(path, 4).has_value());  // larger than allowed
  EXPECT_FALSE(FileExists(dir.File("x")));          // a folder is not a file
}

}  // namespace
}  // namespace tarn
