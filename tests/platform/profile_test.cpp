#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::ReadFile;
using test::ScopedHome;
using test::WriteFile;

TEST(Profile, MissingFileSectionOrKeyGivesDefault) {
  ScopedHome home;
  EXPECT_EQ(Profile::GetString("\\config\\none.ini", "a", "b", "def"), "def");
  EXPECT_EQ(Profile::GetInt("\\config\\none.ini", "a", "b", 7), 7);
  WriteFile(home.Native("\\config\\x.ini"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(Profile::GetString("\\config\\x.ini", "T", "k", "d"), "d");
  EXPECT_EQ(Profile::GetString("\\config\\x.ini", "S", "z", "d"), "d");
  EXPECT_EQ(Profile::GetString("\\config\\x.ini", "S", "k", "d"), "v");
}

TEST(Profile, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
  ProfileDocument doc("  [ GridCol ]  \r\n  DataIdx  =   0|1|2  \r\nName=\"quoted value\"\r\nEmpty=\r\n");
  EXPECT_EQ(doc.GetString("gridcol", "dataidx", ""), "0|1|2");
  EXPECT_EQ(doc.GetString("GRIDCOL", "name", ""), "quoted value");
  EXPECT_EQ(doc.GetString("GridCol", "Empty", "x"), "");
  EXPECT_EQ(doc.GetInt("GridCol", "Empty", 5), 5);  // empty value: the default
}

TEST(Profile, FirstOfDuplicateKeysAndSectionsWins) {
  ProfileDocument doc("[a]\nk=1\nk=2\n[A]\nk=3\nj=4\n");
  EXPECT_EQ(doc.GetInt("a", "k", 0), 1);
  EXPECT_EQ(doc.GetInt("a", "j", 0), 0);  // only the first [a] counts
}

TEST(Profile, IntegerReaders) {
  ProfileDocument doc("[s]\na=12abc\nb=abc\nc=-7\nd=0x1F\ne= 42 \n");
  EXPECT_EQ(doc.GetInt("s", "a", 9), 12);
  EXPECT_EQ(doc.GetInt("s", "b", 9), 0);   // Win32: a non-numeric value reads 0
  EXPECT_EQ(doc.GetIntOr("s", "b", 9), 9); // the settings reader keeps the default
  EXPECT_EQ(doc.GetIntOr("s", "missing", 9), 9);
  EXPECT_EQ(doc.GetInt("s", "c", 0), -7);
  EXPECT_EQ(doc.GetInt("s", "d", 0), 31);
  EXPECT_EQ(doc.GetIntOr("s", "e", 0), 42);
}

TEST(Profile, WritingOneKeyKeepsEveryOtherLine) {
  ScopedHome home;
  const std::string original =
      "; comment line\r\n[first]\r\nx=1\r\n\r\n[Second]\r\ny = 2 ; not a comment\r\nz=3\r\n\r\n[third]\r\nw=4\r\n";
  WriteFile(home.Native("\\config\\s.ini"), original);
  ASSERT_TRUE(Profile::WriteString("\\config\\s.ini", "second", "Y", "20"));
  EXPECT_EQ(ReadFile(home.Native("\\config\\s.ini")),
            "; comment line\r\n[first]\r\nx=1\r\n\r\n[Second]\r\nY=20\r\nz=3\r\n\r\n[third]\r\nw=4\r\n");
  // A new key goes to the end of its section, before the blank line that separates sections.
  ASSERT_TRUE(Profile::WriteString("\\config\\s.ini", "first", "n", "new"));
  EXPECT_EQ(ReadFile(home.Native("\\config\\s.ini")),
            "; comment line\r\n[first]\r\nx=1\r\nn=new\r\n\r\n[Second]\r\nY=20\r\nz=3\r\n\r\n[third]\r\nw=4\r\n");
}

TEST(Profile, WritingToAMissingFileCreatesItAndItsFolders) {
  ScopedHome home;
  ASSERT_TRUE(Profile::WriteString("\\user\\deep\\new.ini", "acc", "user", "8001"));
  EXPECT_EQ(ReadFile(home.Native("\\user\\deep\\new.ini")), "[acc]\r\nuser=8001\r\n");
  ASSERT_TRUE(Profile::WriteString("\\user\\deep\\new.ini", "other", "k", "v"));
  EXPECT_EQ(ReadFile(home.Native("\\user\\deep\\new.ini")), "[acc]\r\nuser=8001\r\n\r\n[other]\r\nk=v\r\n");
  EXPECT_EQ(Profile::GetString("\\user\\deep\\new.ini", "OTHER", "K", ""), "v");
}

TEST(Profile, NullValueDeletesKeyAndNullKeyDeletesSection) {
  ScopedHome home;
  WriteFile(home.Native("\\c.ini"), "[a]\nk=1\nj=2\n[b]\nm=3\n");
  ASSERT_TRUE(Profile::WriteString("\\c.ini", "a", "k", std::nullopt));
  EXPECT_EQ(ReadFile(home.Native("\\c.ini")), "[a]\nj=2\n[b]\nm=3\n");
  ASSERT_TRUE(Profile::WriteString("\\c.ini", "A", std::nullopt, std::nullopt));
  EXPECT_EQ(ReadFile(home.Native("\\c.ini")), "[b]\nm=3\n");
  // Deleting what is not there changes nothing.
  ASSERT_TRUE(Profile::WriteString("\\c.ini", "zz", "k", std::nullopt));
  EXPECT_EQ(ReadFile(home.Native("\\c.ini")), "[b]\nm=3\n");
}

TEST(Profile, GbkNamesAndValuesStayBytes) {
  ScopedHome home;
  const std::string name = TXT("工作区1");
  ASSERT_TRUE(Profile::WriteString("\\u.ini", name, TXT("名称"), TXT("螺纹钢")));
  EXPECT_EQ(Profile::GetString("\\u.ini", name, TXT("名称"), ""), TXT("螺纹钢"));
}

TEST(Profile, FailedWriteKeepsTheOldFile) {
  ScopedHome home;
  WriteFile(home.Native("\\f.ini"), "[a]\r\nk=old\r\n");
  SetFileFaultHook([](FileStep s) { return s == FileStep::Rename; });
  EXPECT_FALSE(Profile::WriteString("\\f.ini", "a", "k", "new"));
  SetFileFaultHook(nullptr);
  EXPECT_EQ(Profile::GetString("\\f.ini", "a", "k", ""), "old");
}

}  // namespace
}  // namespace tarn
