#include "platform/text.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(Text, GbkRoundTripAndKnownBytes) {
  // "啊" is the first GB2312 level-1 character, 0xB0A1.
  EXPECT_EQ(Utf8ToGbk("\xE5\x95\x8A"), "\xB0\xA1");
  const std::string utf8 = "\xE8\x9E\xBA\xE7\xBA\xB9\xE9\x92\xA2 rb2510";  // 螺纹钢 rb2510
  const std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.size(), 6u + 7u);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
  EXPECT_EQ(Utf8ToGbk("plain ascii"), "plain ascii");
}

TEST(Text, TxtConvertsOnceToGbk) {
  const std::string& a = TXT("请选择一行");
  EXPECT_EQ(a.size(), 10u);  // five characters, two bytes each
  EXPECT_EQ(GbkToUtf8(a), "\xE8\xAF\xB7\xE9\x80\x89\xE6\x8B\xA9\xE4\xB8\x80\xE8\xA1\x8C");
  // The same use site yields the same object every time.
  const std::string* first = nullptr;
  for (int i = 0; i < 2; ++i) {
    const std::string& t = TXT("提示");
    if (!first) first = &t;
    EXPECT_EQ(first, &t);
  }
}

TEST(Text, MalformedInputNeverThrowsOrLoops) {
  std::string bad = "\xFF\xFE\x81";  // not GBK, and a lead byte cut off at the end
  std::string out = GbkToUtf8(bad);
  EXPECT_FALSE(out.empty());
  EXPECT_FALSE(Utf8ToGbk("\xC3").empty());
}

TEST(Text, FormatPassesStdStringsAsCStrings) {
  std::string name = TXT("沪铜");
  std::string s = Format(TXT("%s达到价格上限%.*f"), name, 2, 70000.0);
  EXPECT_EQ(s, name + TXT("达到价格上限") + "70000.00");
  EXPECT_EQ(Format("%d|%d", 1, 22), "1|22");
  std::string longText(2000, 'x');
  EXPECT_EQ(Format("%s", longText).size(), 2000u);
}

TEST(Text, CaseMappingSkipsGbkPairs) {
  // 0xB0 0x61: a GBK pair whose trail byte is 'a'; it must not become 'A'.
  std::string s = std::string("ab\xB0") + "a" + "c";
  EXPECT_EQ(ToUpperAscii(s), std::string("AB\xB0") + "a" + "C");
  EXPECT_TRUE(EqualsNoCase("GridCol", "gridcol"));
  EXPECT_FALSE(EqualsNoCase("Grid", "Gridd"));
}

TEST(Text, TrimAndFields) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
  char field[5];
  SetField(field, "abcdefg");
  EXPECT_EQ(Field(field), "abcd");
  // A GBK character that does not fit whole is left out rather than cut in half.
  SetField(field, "abc" + TXT("中"));
  EXPECT_EQ(Field(field), "abc");
  char full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(Field(full), "xyz");  // no terminator: the whole field
}

}  // namespace
}  // namespace tarn
