#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue_quote_center.h"
#include "platform/archive.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "quote/key_wizard_index.h"
#include "quote/keyboard_commands.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::CatalogueQuoteCenter;
using test::SmallMarket;

std::vector<std::string> Keys(const std::vector<WizardItem>& items) {
  std::vector<std::string> out;
  for (const WizardItem& i : items) out.push_back(i.key);
  return out;
}

// The keys of the rows a search lists.
std::vector<std::string> Listed(const KeyWizardIndex& index, const std::string& typed, IQuoteDataCenter* center) {
  std::vector<std::string> out;
  for (int row : index.Search(typed, center)) out.push_back(index.At(static_cast<std::size_t>(row)).key);
  return out;
}

// ---- keyboard commands ---------------------------------------------------------------------------

TEST(KeyboardCommands, MissingFileGivesTheDefaultsCompletedWithSecondsQuarterAndCustomPeriods) {
  test::ScopedHome home;
  std::vector<WizardItem> list = LoadKeyboardCommands();
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "05", "06", ".",
                                                  "07", "11", "+"}));
  EXPECT_EQ(list[12].display, TXT("行情报价"));
  EXPECT_EQ(list[12].kind, kWizardWindow);
  EXPECT_EQ(list[6].display, TXT("日线"));
  EXPECT_EQ(list[6].extra1, 5);
  EXPECT_EQ(list[14].display, TXT("30秒"));
  EXPECT_EQ(list[14].extra1, 2);
  EXPECT_EQ(list[14].extra2, 30);
  EXPECT_EQ(list[15].display, TXT("季线"));
  EXPECT_EQ(list[15].extra1, 7);
  EXPECT_EQ(list[15].extra2, 3);

  // Custom periods: keyed by 12 plus their place in the list; one that exists already (1 minute)
  // and one without a name are skipped but keep their places.
  ASSERT_TRUE(Profile::WriteString(kCustomPeriodFile, "Period", "data", "2,15,3,1,42,1,5,5,3,7"));
  list = LoadKeyboardCommands();
  ASSERT_EQ(list.size(), 19u);
  EXPECT_EQ(list[16].key, "12");
  EXPECT_EQ(list[16].display, TXT("15秒"));
  EXPECT_EQ(list[17].key, "15");
  EXPECT_EQ(list[17].display, TXT("5日线"));
  EXPECT_EQ(list[18].key, "16");
  EXPECT_EQ(list[18].display, TXT("7分钟"));
  EXPECT_EQ(list[18].extra2, 7);
}

TEST(KeyboardCommands, CustomPeriodTextIsPairedAndCut) {
  EXPECT_TRUE(ParseCustomPeriods("").empty());
  std::vector<CustomPeriod> p = ParseCustomPeriods(" 3, 10 ,5,2,7");
  ASSERT_EQ(p.size(), 2u);  // the unpaired 7 is dropped
  EXPECT_EQ(p[1].kind, 5);
  EXPECT_EQ(p[1].multiplier, 2);
  // Only the first 900 characters are read: a pair cut at 900 is dropped.
  std::string text;
  while (text.size() < 896) text += "3,10,";
  text += "3,20";
  ASSERT_GT(text.size(), 900u);
  p = ParseCustomPeriods(text);
  EXPECT_EQ(p.back().multiplier, 10);
}

TEST(KeyboardCommands, FileRoundTripOlderVersionsRenamesAndNoDuplicatePeriods) {
  test::ScopedHome home;
  std::vector<WizardItem> mine(2);
  mine[0].key = "88";
  mine[0].display = TXT("08 行情报价 旧");
  mine[0].kind = kWizardWindow;
  mine[0].flag = 1;
  mine[1].key = "31";
  mine[1].searchText = "SS";
  mine[1].display = TXT("30秒钟");
  mine[1].kind = kWizardPeriod;
  mine[1].extra1 = 2;
  mine[1].extra2 = 30;
  const std::string bytes = SerializeKeyboardCommandFile(mine);
  KeyboardCommandParse p = ParseKeyboardCommandFile(bytes);
  ASSERT_TRUE(p.complete);
  EXPECT_EQ(p.version, 2);
  ASSERT_EQ(p.items.size(), 2u);
  EXPECT_EQ(p.items[0].flag, 1);
  EXPECT_EQ(p.items[1].searchText, "SS");
  EXPECT_EQ(p.items[1].extra2, 30);
  // Entries of empty texts are the smallest a file holds: their count is not refused.
  p = ParseKeyboardCommandFile(SerializeKeyboardCommandFile(std::vector<WizardItem>(3)));
  EXPECT_TRUE(p.complete);
  EXPECT_EQ(p.items.size(), 3u);

  test::WriteFile(home.Native(kKeyboardCommandFile), bytes);
  std::vector<WizardItem> list = LoadKeyboardCommands();
  // The file's entries replace the defaults; 30 seconds is there, so only "+" is added.
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"88", "31", "+"}));
  EXPECT_EQ(list[0].display, TXT("行情报价"));

  // Version 1 has no flag byte.
  ArchiveWriter w;
  w.Int32(1);
  w.Int32(1);
  w.String("05");
  w.String("");
  w.Int32(kWizardWindow);
  w.String(TXT("05 图形切换"));
  w.Int32(0);
  w.Int32(0);
  test::WriteFile(home.Native(kKeyboardCommandFile), w.Data());
  list = LoadKeyboardCommands();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].display, TXT("图形切换"));
  EXPECT_EQ(list[0].flag, 0);
}

TEST(KeyboardCommands, DamagedFilesKeepWhatWasReadOrFallBackToTheDefaults) {
  test::ScopedHome home;
  std::vector<WizardItem> three = DefaultKeyboardCommands();
  three.resize(3);
  const std::string bytes = SerializeKeyboardCommandFile(three);
  // Cut inside the third entry: the first two stay.
  KeyboardCommandParse p = ParseKeyboardCommandFile(bytes.substr(0, bytes.size() - 3));
  EXPECT_FALSE(p.complete);
  EXPECT_EQ(Keys(p.items), (std::vector<std::string>{"1", "2"}));
  EXPECT_LE(p.failedAt, bytes.size());

  // A count larger than the file could hold is refused before anything is allocated.
  ArchiveWriter w;
  w.Int32(2);
  w.Int32(0x7FFFFFFF);
  p = ParseKeyboardCommandFile(w.Data());
  EXPECT_FALSE(p.complete);
  EXPECT_TRUE(p.items.empty());

  // Garbage, an empty file and a file of no entries all give the defaults.
  for (const std::string& file : {std::string("\xFF\xFF\xFF\xFF garbage \x01\x02", 16), std::string(),
                                  SerializeKeyboardCommandFile({})}) {
    test::WriteFile(home.Native(kKeyboardCommandFile), file);
    EXPECT_EQ(LoadKeyboardCommands().size(), 16u);
  }
}

// ---- the index -----------------------------------------------------------------------------------

struct WizardMarket {
  CatalogueQuoteCenter q;
  SmallMarket m{q};
  CommodityHandle palm = 0, meal = 0;
  WizardMarket() {
    const ExchangeHandle dce = q.AddExchange("DCE", TXT("大连商品交易所"));
    palm = q.AddCommodity(dce, "P", TXT("棕榈油"));
    meal = q.AddCommodity(dce, "m", TXT("豆粕"));
    q.AddContract(palm, "2609", TXT("棕榈油2609"));
    q.AddContract(palm, "MI", TXT("棕榈油主连"));
    q.AddContract(palm, "IDX", TXT("棕榈油指数"));
    q.AddContract(meal, "MI", TXT("豆粕主连"));
    q.AddContract(meal, "2609", TXT("豆粕2609"));
  }
};

std::vector<IndicatorEntry> SomeIndicators() {
  return {{"MACD", TXT("平滑异同平均"), false}, {"MA", TXT("均线"), true}, {"KDJ", TXT("随机指标"), false}};
}

TEST(KeyWizardIndex, BuildsIndicatorsCommandsWorkspacesAndContractsInOrder) {
  test::ScopedHome home;
  WizardMarket w;
  KeyWizardIndex index;
  index.Build(SomeIndicators(), LoadKeyboardCommands(), &w.q);
  const std::vector<WizardItem>& items = index.Items();
  ASSERT_EQ(items.size(), 3u + 16u + 10u + w.q.contracts.size());
  EXPECT_EQ(items[0].display, TXT("MACD 平滑异同平均 副图"));
  EXPECT_EQ(items[1].display, TXT("MA 均线 主图"));
  EXPECT_EQ(items[1].kind, kWizardIndicator);
  EXPECT_EQ(items[3].display, TXT("1  1分钟线"));
  EXPECT_EQ(items[3].extra2, 1);
  // The ten workspace switches follow the quote grid's command.
  EXPECT_EQ(items[15].display, TXT(".  行情报价"));
  EXPECT_EQ(items[16].key, ".1");
  EXPECT_EQ(items[16].searchText, "_V__V__1");
  EXPECT_EQ(items[16].kind, kWizardWorkspace);
  EXPECT_EQ(items[25].key, ".10");
  EXPECT_EQ(items[25].display, TXT(".10 切换工作区"));
  EXPECT_EQ(WorkspaceIndexOf(items[25]), 9);
  EXPECT_EQ(items[26].key, "07");

  // Contracts, exchange by exchange, each by month text descending with MI and IDX last.
  const auto at = [&](const std::string& key) -> const WizardItem& {
    for (const WizardItem& i : items)
      if (i.key == key) return i;
    ADD_FAILURE() << key;
    return items[0];
  };
  std::vector<std::string> order;
  for (const WizardItem& i : items)
    if (i.kind == kWizardContract && std::string_view(i.contract.Key()).starts_with("SHFE")) order.push_back(i.key);
  EXPECT_EQ(order, (std::vector<std::string>{"rb2701", "rb2610", "rb2605", "cu2604", "cu2603", "rb2601", "rbMI",
                                             "rbIDX"}));
  const WizardItem& rb = at("rb2605");
  EXPECT_EQ(rb.searchText, "LWG2605");
  EXPECT_EQ(rb.display, TXT("2605 螺纹钢2605   螺纹钢"));
  EXPECT_EQ(rb.contract.Key(), "SHFE|rb2605");
  EXPECT_EQ(rb.flag, 0);
  EXPECT_EQ(at("PMI").searchText, "ZLZL");
  EXPECT_EQ(at("PIDX").searchText, "ZLZS");
  EXPECT_EQ(at("P2609").searchText, "ZL2609");
  EXPECT_EQ(at("GC2612").searchText, "NYHJ2612");
}

TEST(KeyWizardIndex, ContractWithoutPinyinOrSpacesInCodeAndName) {
  CatalogueQuoteCenter q;
  const CommodityHandle c = q.AddCommodity(q.AddExchange("SGX", "SGX"), "FE", "Iron Ore");
  DC_Contract k = q.AddContract(c, "2605", "iron  ore 2605");
  SetField(k.code, "FE 2605");
  // No level-1 character: the initials are the letters and digits, upper case.
  WizardItem item = ContractItem(k, &q.commodities[0], "SGX");
  EXPECT_EQ(item.key, "FE2605");
  EXPECT_EQ(item.searchText, "IRONORE2605");
  // A name of symbols only has no initials: the name without spaces, upper case.
  SetField(k.name, "- / -");
  EXPECT_EQ(ContractItem(k, &q.commodities[0], "SGX").searchText, "-/-");
}

TEST(KeyWizardSearch, PrefixOfKeyOrInitialsIndicatorsFirstThenByFirstWord) {
  test::ScopedHome home;
  WizardMarket w;
  KeyWizardIndex index;
  index.Build(SomeIndicators(), LoadKeyboardCommands(), &w.q);
  EXPECT_TRUE(index.Search("", &w.q).empty());
  // Lower case typed, lower case codes: the case does not matter.
  EXPECT_EQ(Listed(index, "rb26", &w.q), (std::vector<std::string>{"rb2601", "rb2605", "rb2610"}));
  // Sort words are the month texts: same length, by bytes.
  EXPECT_EQ(Listed(index, "RB26", &w.q), (std::vector<std::string>{"rb2601", "rb2605", "rb2610"}));
  // By pinyin initials.
  EXPECT_EQ(Listed(index, "lwg2605", &w.q), (std::vector<std::string>{"rb2605"}));
  // "M": the indicators first in index order, then the rest by the first word: "MI" (2) before
  // "2609" (4).
  EXPECT_EQ(Listed(index, "M", &w.q), (std::vector<std::string>{"MACD", "MA", "mMI", "m2609"}));
  EXPECT_EQ(Listed(index, "MA", &w.q), (std::vector<std::string>{"MACD", "MA"}));
  // Commands and workspaces.
  EXPECT_EQ(Listed(index, ".3", &w.q), (std::vector<std::string>{".3"}));
  EXPECT_EQ(Listed(index, ".1", &w.q), (std::vector<std::string>{".1", ".10"}));
  EXPECT_EQ(Listed(index, "1", &w.q), (std::vector<std::string>{"1", "10", "11"}));
  EXPECT_EQ(Listed(index, "_V__V__7", &w.q), (std::vector<std::string>{".7"}));
}

TEST(KeyWizardSearch, AtMost101PrefixMatchesWithOneLetterMainContractsAfterThem) {
  KeyWizardIndex index;
  WizardItem main;
  main.kind = kWizardContract;
  main.key = "AMI";
  main.display = "MI x";
  SetField(main.contract.month, "MI");
  index.Append(main, "a");  // found first, held back
  for (int i = 0; i < 150; ++i) {
    WizardItem item;
    item.kind = kWizardContract;
    item.key = Format("A%03d", i);
    item.display = Format("%03d x", i);
    index.Append(item, "ab");
  }
  std::vector<int> rows = index.Search("A", nullptr);
  ASSERT_EQ(rows.size(), 102u);  // the first 101 found, then the held-back main contract
  EXPECT_EQ(index.At(static_cast<std::size_t>(rows[0])).key, "AMI");  // its word "MI" is the shortest
  EXPECT_EQ(index.At(static_cast<std::size_t>(rows.back())).key, "A100");
  // A main contract of a two-letter commodity is not held back: it counts towards the limit.
  KeyWizardIndex two;
  main.key = "ABMI";
  two.Append(main, "ab");
  for (int i = 0; i < 150; ++i) {
    WizardItem item;
    item.key = Format("A%03d", i);
    item.display = item.key;
    two.Append(item);
  }
  rows = two.Search("A", nullptr);
  ASSERT_EQ(rows.size(), 101u);
  EXPECT_EQ(two.At(static_cast<std::size_t>(rows.back())).key, "A099");
}

TEST(KeyWizardSearch, ZceYearDigitIsDroppedOnlyForZceCommodityLetters) {
  test::ScopedHome home;
  WizardMarket w;
  KeyWizardIndex index;
  index.Build(SomeIndicators(), LoadKeyboardCommands(), &w.q);
  EXPECT_EQ(Listed(index, "SR2605", &w.q), (std::vector<std::string>{"SR605"}));
  EXPECT_EQ(Listed(index, "sr1509", &w.q), (std::vector<std::string>{"SR509"}));
  // Shortened to "SR": every SR month, but neither main nor index contracts, nor non-contracts.
  w.q.AddContract(w.m.sr, "MI", TXT("白糖主连"));
  index.Build(SomeIndicators(), LoadKeyboardCommands(), &w.q);
  EXPECT_EQ(Listed(index, "SR2", &w.q), (std::vector<std::string>{"SR509", "SR601", "SR605"}));
  // "CU" is no ZCE commodity: "CU1" is never shortened to "CU", so nothing is listed.
  EXPECT_TRUE(Listed(index, "CU1", &w.q).empty());
  // Without the library there are no ZCE commodities.
  EXPECT_TRUE(Listed(index, "SR2", nullptr).empty());
  // A third character other than '1' or '2' is kept.
  EXPECT_TRUE(Listed(index, "SR3", &w.q).empty());
}

TEST(KeyWizardSearch, OneCharacterMoreOrLessFindsTheCodeWhenTheTextBeginsWithALetter) {
  test::ScopedHome home;
  WizardMarket w;
  KeyWizardIndex index;
  index.Build(SomeIndicators(), LoadKeyboardCommands(), &w.q);
  EXPECT_EQ(Listed(index, "RB22605", &w.q), (std::vector<std::string>{"rb2605"}));  // one extra
  EXPECT_EQ(Listed(index, "RB265", &w.q), (std::vector<std::string>{"rb2605"}));    // one missing
  EXPECT_EQ(Listed(index, "MACDX", &w.q), (std::vector<std::string>{"MACD"}));
  EXPECT_EQ(Listed(index, "LWG605", &w.q), (std::vector<std::string>{"rb2605"}));   // by initials
  // A text beginning with a digit gets no such match ("100" would otherwise find "10").
  EXPECT_TRUE(Listed(index, "100", &w.q).empty());
  // Two characters off is no match.
  EXPECT_TRUE(Listed(index, "RB2X605X", &w.q).empty());
}

TEST(KeyWizardSearch, OneInsertionRule) {
  EXPECT_TRUE(DiffersByOneInsertion("AB605", "AB2605"));
  EXPECT_TRUE(DiffersByOneInsertion("AB2605", "AB605"));
  EXPECT_TRUE(DiffersByOneInsertion("ABC", "ABCD"));  // inserted at the end
  EXPECT_TRUE(DiffersByOneInsertion("", "X"));
  EXPECT_FALSE(DiffersByOneInsertion("ABC", "ABC"));
  EXPECT_FALSE(DiffersByOneInsertion("ABC", "ABD"));
  EXPECT_FALSE(DiffersByOneInsertion("ABC", "XABD"));
  EXPECT_FALSE(DiffersByOneInsertion("AC", "ABCD"));
}

TEST(KeyWizardKeys, PrintableCharactersOpenTheWizardControlCharactersAndSpaceDoNot) {
  for (char32_t c : {U'a', U'Z', U'0', U'.', U'+', U'~', U'螺'}) EXPECT_TRUE(OpensKeyWizard(c)) << static_cast<int>(c);
  for (char32_t c : {U' ', U'\r', U'\n', U'\b', U'\t', U'\x1b', U'\x1a', U'\x03', U'\x7f', U'\0'})
    EXPECT_FALSE(OpensKeyWizard(c)) << static_cast<int>(c);
}

}  // namespace
}  // namespace tarn
