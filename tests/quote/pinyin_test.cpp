#include <gtest/gtest.h>

#include "platform/text.h"
#include "quote/exchange_names.h"
#include "quote/pinyin.h"

namespace tarn {
namespace {

uint16_t CodeOf(const std::string& gbkChar) {
  return static_cast<uint16_t>(static_cast<unsigned char>(gbkChar[0]) << 8 | static_cast<unsigned char>(gbkChar[1]));
}

TEST(Pinyin, TableRunsInCodeOrderOverLevelOne) {
  const auto syllables = PinyinSyllables();
  ASSERT_EQ(syllables.size(), 397u);
  EXPECT_EQ(syllables.front().firstCode, 0xB0A1);
  EXPECT_STREQ(syllables.front().text, "a");
  EXPECT_STREQ(syllables.back().text, "zuo");
  for (std::size_t i = 1; i < syllables.size(); ++i) {
    EXPECT_LT(syllables[i - 1].firstCode, syllables[i].firstCode) << syllables[i].text;
    // Each syllable's first character is its own, and the character just before it belongs to
    // the syllable before.
    EXPECT_EQ(PinyinOf(syllables[i].firstCode), std::string_view(syllables[i].text));
    uint16_t before = syllables[i].firstCode - 1;
    if ((before & 0xFF) < 0xA1) before = static_cast<uint16_t>(((before >> 8) - 1) << 8 | 0xFE);
    EXPECT_EQ(PinyinOf(before), std::string_view(syllables[i - 1].text)) << syllables[i].text;
  }
}

TEST(Pinyin, CharactersGetTheirSyllables) {
  EXPECT_EQ(PinyinOf(0xB0A1), "a");
  EXPECT_EQ(PinyinOf(CodeOf(TXT("钢"))), "gang");
  EXPECT_EQ(PinyinOf(CodeOf(TXT("女"))), "nv");
  EXPECT_EQ(PinyinOf(CodeOf(TXT("略"))), "lue");
  // The last level-1 characters are "zuo" too.
  EXPECT_EQ(PinyinOf(0xD7F9), "zuo");
  EXPECT_EQ(PinyinOf(CodeOf(TXT("座"))), "zuo");
  // Outside level 1: punctuation, level 2, and the unassigned end of the last row.
  EXPECT_EQ(PinyinOf(0xA1A1), "");
  EXPECT_EQ(PinyinOf(0xB0A0), "");
  EXPECT_EQ(PinyinOf(0xD7FA), "");
  EXPECT_EQ(PinyinOf(0xD8A1), "");
  EXPECT_EQ(PinyinOf(0x4141), "");
}

TEST(Pinyin, InitialsOfContractNames) {
  EXPECT_EQ(PinyinInitials(TXT("螺纹钢")), "LWG");
  const std::pair<const char8_t*, const char*> names[] = {
      {u8"豆粕", "DP"},     {u8"菜籽油", "CZY"},    {u8"铁矿石", "TKS"}, {u8"玻璃", "BL"},   {u8"纯碱", "CJ"},
      {u8"白糖", "BT"},     {u8"甲醇", "JC"},       {u8"热轧卷板", "RZJB"}, {u8"焦煤", "JM"}, {u8"沪铜", "HT"},
      {u8"橡胶", "XJ"},     {u8"燃料油", "RLY"},    {u8"聚氯乙烯", "JLYX"}, {u8"鸡蛋", "JD"}, {u8"生猪", "SZ"},
      {u8"苹果", "PG"},     {u8"尿素", "NS"},       {u8"锰硅", "MG"},     {u8"花生", "HS"},  {u8"烧碱", "SJ"},
      {u8"原油", "YY"},     {u8"十年国债", "SNGZ"}, {u8"工业硅", "GYG"},  {u8"氧化铝", "YHL"}, {u8"纳斯达克", "NSDK"},
  };
  for (const auto& [utf8, initials] : names)
    EXPECT_EQ(PinyinInitials(Utf8ToGbk(reinterpret_cast<const char*>(utf8))), initials) << initials;
}

TEST(Pinyin, InitialsKeepLettersAndDigitsAndSkipTheRest) {
  EXPECT_EQ(PinyinInitials(TXT("螺纹钢2605")), "LWG2605");
  EXPECT_EQ(PinyinInitials(TXT("沪深300")), "HS300");
  EXPECT_EQ(PinyinInitials("rb2605"), "RB2605");
  EXPECT_EQ(PinyinInitials(TXT("PTA 主连")), "PTAZL");
  // Punctuation and characters without a syllable give nothing; so does an empty text.
  EXPECT_EQ(PinyinInitials(TXT("（）")), std::nullopt);
  EXPECT_EQ(PinyinInitials(""), std::nullopt);
  // Level-2 characters (ordered by radical, not by pinyin) give no letter.
  EXPECT_EQ(PinyinInitials(TXT("棕榈油")), "ZY");
  // Half a character at the end is left out.
  std::string broken = TXT("钢");
  broken += '\xC2';
  EXPECT_EQ(PinyinInitials(broken), "G");
}

TEST(ExchangeNames, KnownCodesInAnyCaseOthersKeepTheLibrarysName) {
  EXPECT_EQ(ExchangeDisplayName("comex", "x"), TXT("芝加哥金属商品交易所"));
  EXPECT_EQ(ExchangeDisplayName("COMEX", "x"), TXT("芝加哥金属商品交易所"));
  EXPECT_EQ(ExchangeDisplayName("Cboe", ""), TXT("芝加哥期权交易所"));
  EXPECT_EQ(ExchangeDisplayName("eurex", ""), TXT("欧洲期货交易所"));
  EXPECT_EQ(ExchangeDisplayName("hkex", ""), TXT("香港交易所"));
  EXPECT_EQ(ExchangeDisplayName("SHFE", TXT("上海期货交易所")), TXT("上海期货交易所"));
  EXPECT_EQ(ExchangeDisplayName("HOT", "HOT"), "HOT");
}

}  // namespace
}  // namespace tarn
