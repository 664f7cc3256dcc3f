#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "catalogue_quote_center.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "quote/block_list.h"
#include "quote/user_block_file.h"
#include "quote/user_block_store.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::CatalogueQuoteCenter;
using test::SmallMarket;

// A file of any version with these blocks (and, for versions 2 and 5, the extra lists).
std::string BlockFile(int version, const std::vector<UserBlockFileBlock>& blocks,
                      const std::vector<std::string>& extra1 = {}, const std::vector<std::string>& extra2 = {}) {
  ArchiveWriter w;
  w.Int32(version);
  w.Int32(static_cast<int32_t>(blocks.size()));
  for (const auto& b : blocks) {
    w.String(b.name);
    w.Int32(static_cast<int32_t>(b.keys.size()));
    for (const auto& k : b.keys) w.String(k);
  }
  if (version >= 2) {
    w.Int32(static_cast<int32_t>(extra1.size()));
    for (const auto& s : extra1) w.String(s);
  }
  if (version >= 5) {
    w.Int32(static_cast<int32_t>(extra2.size()));
    for (const auto& s : extra2) w.String(s);
  }
  return w.Take();
}

TEST(UserBlockFile, RoundTripAndVersionsReadFieldByField) {
  UserBlockFile f;
  f.blocks = {{"USER", {"SHFE|rb2605", "ZCE|SR605"}}, {TXT("我的"), {"SHFE|cu2603"}}};
  f.extraList1 = {"a", "b"};
  f.extraList2 = {TXT("第二")};
  UserBlockParse p = ParseUserBlockFile(SerializeUserBlockFile(f));
  ASSERT_TRUE(p.complete);
  EXPECT_FALSE(p.trailing);
  EXPECT_EQ(p.file.version, 5);
  ASSERT_EQ(p.file.blocks.size(), 2u);
  EXPECT_EQ(p.file.blocks[1].name, TXT("我的"));
  EXPECT_EQ(p.file.blocks[0].keys, f.blocks[0].keys);
  EXPECT_EQ(p.file.extraList1, f.extraList1);
  EXPECT_EQ(p.file.extraList2, f.extraList2);

  // Version 1 has no extra lists, version 2 only the first; what follows is not read as one.
  p = ParseUserBlockFile(BlockFile(1, {{"USER", {"k"}}}));
  EXPECT_TRUE(p.complete);
  EXPECT_TRUE(p.file.extraList1.empty());
  p = ParseUserBlockFile(BlockFile(2, {{"USER", {"k"}}}, {"x"}) + std::string(4, '\0'));
  EXPECT_TRUE(p.complete);
  EXPECT_TRUE(p.trailing);
  EXPECT_EQ(p.file.extraList1, std::vector<std::string>{"x"});
  EXPECT_TRUE(p.file.extraList2.empty());
}

TEST(UserBlockFile, TruncatedFilesKeepWhatWasReadBeforeTheCut) {
  const std::string whole = BlockFile(5, {{"USER", {"SHFE|rb2605", "SHFE|rb2610"}}, {"B", {"SHFE|cu2603"}}}, {"e"}, {"f"});
  std::size_t lastBlocks = 0, lastKeys = 0;
  for (std::size_t n = 0; n < whole.size(); ++n) {
    const UserBlockParse p = ParseUserBlockFile(std::string_view(whole).substr(0, n));
    ASSERT_FALSE(p.complete) << n;
    EXPECT_LE(p.failedAt, n);
    EXPECT_FALSE(p.failedField.empty());
    // Never less than a shorter cut gave.
    std::size_t keys = 0;
    for (const auto& b : p.file.blocks) keys += b.keys.size();
    EXPECT_GE(p.file.blocks.size(), lastBlocks);
    EXPECT_GE(keys, lastKeys);
    lastBlocks = p.file.blocks.size();
    lastKeys = keys;
  }
  // Cut inside the second block's key: the first block whole, the second with its name.
  const std::size_t cut = whole.find("SHFE|cu") + 3;
  const UserBlockParse p = ParseUserBlockFile(std::string_view(whole).substr(0, cut));
  ASSERT_EQ(p.file.blocks.size(), 2u);
  EXPECT_EQ(p.file.blocks[0].keys.size(), 2u);
  EXPECT_EQ(p.file.blocks[1].name, "B");
  EXPECT_TRUE(p.file.blocks[1].keys.empty());
  EXPECT_EQ(p.failedField, "block 2 contract 1 key");
}

TEST(UserBlockFile, HugeCountsFailWithoutAllocatingAndGarbageNeverCrashes) {
  ArchiveWriter w;
  w.Int32(5);
  w.Int32(0x7FFFFFFF);  // blocks
  UserBlockParse p = ParseUserBlockFile(w.Data());
  EXPECT_FALSE(p.complete);
  EXPECT_EQ(p.failedAt, 4u);
  EXPECT_EQ(p.failedField, "block count");

  ArchiveWriter w2;
  w2.Int32(5);
  w2.Int32(1);
  w2.String("USER");
  w2.Int32(0x40000000);  // contracts
  p = ParseUserBlockFile(w2.Data());
  ASSERT_EQ(p.file.blocks.size(), 1u);
  EXPECT_EQ(p.failedField, "block 1 contract count");

  std::mt19937 rng(11);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(rng() % 200, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    if (i % 2 && bytes.size() >= 4) bytes.replace(0, 4, std::string("\x05\0\0\0", 4));  // a valid version
    p = ParseUserBlockFile(bytes);
    if (!p.complete) {
      EXPECT_LE(p.failedAt, bytes.size());
    }
  }
}

TEST(UserBlockFile, DescriptionListsEverythingAndWhereADamagedFileStops) {
  const std::string whole = BlockFile(5, {{"USER", {"SHFE|rb2605"}}, {"B", {"ZCE|SR605"}}}, {"x"}, {});
  std::string d = DescribeUserBlockFile(whole);
  EXPECT_NE(d.find("version 5, 2 block(s)"), std::string::npos);
  EXPECT_NE(d.find("block \"B\": 1 contract(s)\n  ZCE|SR605\n"), std::string::npos);
  EXPECT_NE(d.find("first extra list: 1 text(s)\n  x\n"), std::string::npos);
  EXPECT_NE(d.find("second extra list: 0 text(s)"), std::string::npos);
  EXPECT_EQ(d.find("damaged"), std::string::npos);
  d = DescribeUserBlockFile(whole.substr(0, whole.find("ZCE") + 2));
  EXPECT_NE(d.find("damaged: reading stops at byte 35 (block 2 contract 1 key)"), std::string::npos) << d;
  EXPECT_EQ(d.find("extra list"), std::string::npos);
  EXPECT_NE(DescribeUserBlockFile(whole + "zz").find("bytes follow"), std::string::npos);
}

class UserBlockStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { market = std::make_unique<SmallMarket>(quotes); }
  std::string Path() { return UserBlockFilePath(); }
  void Write(const std::string& bytes) { test::WriteFile(Path(), bytes); }
  std::vector<std::string> Keys(UserBlockStore& s, const std::string& block) {
    std::vector<std::string> keys;
    for (const DC_Contract& c : s.Contracts(block)) keys.emplace_back(c.Key());
    return keys;
  }

  test::ScopedHome home;
  CatalogueQuoteCenter quotes;
  std::unique_ptr<SmallMarket> market;
};

struct BlockEvents : IBlockNotify {
  void OnUserBlockChanged(const std::string& b) override { changed.push_back(b); }
  void OnBlockEvent(const std::string& b, int code) override { events.push_back({b, code}); }
  std::vector<std::string> changed;
  std::vector<std::pair<std::string, int>> events;
};

TEST_F(UserBlockStoreTest, LoadDropsUnknownKeysAndKeepsTheExtraLists) {
  Write(BlockFile(5, {{"USER", {"SHFE|rb2605", "SHFE|gone9901", "ZCE|SR605"}}, {"B", {"COMEX|GC2612"}}}, {"x", "y"}, {"z"}));
  UserBlockStore s;
  EXPECT_EQ(Keys(s, "USER"), (std::vector<std::string>{"SHFE|rb2605", "ZCE|SR605"}));
  EXPECT_EQ(s.BlockNames(), (std::vector<std::string>{"B", "USER"}));
  EXPECT_EQ(s.ExtraList1(), (std::vector<std::string>{"x", "y"}));
  // A change writes every block and both lists back, the unknown key no longer.
  ASSERT_TRUE(s.Add(market->cuMonths[0], "B"));
  const UserBlockParse p = ParseUserBlockFile(test::ReadFile(Path()));
  ASSERT_TRUE(p.complete);
  EXPECT_EQ(p.file.version, 5);
  EXPECT_EQ(p.file.blocks[1].keys, (std::vector<std::string>{"SHFE|rb2605", "ZCE|SR605"}));
  EXPECT_EQ(p.file.extraList1, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(p.file.extraList2, (std::vector<std::string>{"z"}));
}

TEST_F(UserBlockStoreTest, OldFilesWithMoreThanFiftyContractsInUserLoadItEmpty) {
  std::vector<std::string> keys;
  for (int i = 0; i < 51; ++i) keys.push_back(std::string(quotes.AddContract(market->rb, Format("%d", 3000 + i)).Key()));
  Write(BlockFile(2, {{"USER", keys}, {"B", keys}}));
  UserBlockStore old;
  EXPECT_TRUE(old.Contracts("USER").empty());
  EXPECT_EQ(old.Contracts("B").size(), 51u);  // only "USER" is emptied
  Write(BlockFile(3, {{"USER", keys}}));
  UserBlockStore v3;
  EXPECT_EQ(v3.Contracts("USER").size(), 51u);
  keys.pop_back();
  Write(BlockFile(1, {{"USER", keys}}));
  UserBlockStore fifty;
  EXPECT_EQ(fifty.Contracts("USER").size(), 50u);
}

TEST_F(UserBlockStoreTest, AddKeepsCommoditiesTogetherAndWritesNothingForADuplicate) {
  UserBlockStore s;
  BlockEvents events;
  s.AddListener(&events);
  EXPECT_TRUE(s.Add(market->rbMonths[0], "USER"));
  EXPECT_TRUE(s.Add(market->srMonths[0], "USER"));
  EXPECT_TRUE(s.Add(market->rbMonths[1], "USER"));  // next to the other rb
  EXPECT_TRUE(s.Add(market->gcMonth, "USER"));
  EXPECT_EQ(Keys(s, "USER"), (std::vector<std::string>{"SHFE|rb2605", "SHFE|rb2610", "ZCE|SR605", "COMEX|GC2612"}));
  EXPECT_TRUE(s.Contains(market->srMonths[0], "USER"));
  EXPECT_EQ(events.changed.size(), 4u);

  const std::string before = test::ReadFile(Path());
  ASSERT_TRUE(FileExists(Path()));
  std::filesystem::remove(Path());
  EXPECT_FALSE(s.Add(market->rbMonths[1], "USER"));
  EXPECT_FALSE(FileExists(Path())) << "a duplicate must not rewrite the file";
  EXPECT_EQ(events.changed.size(), 4u);
  test::WriteFile(Path(), before);

  EXPECT_TRUE(s.Remove(market->srMonths[0], "USER"));
  EXPECT_FALSE(s.Remove(market->srMonths[0], "USER"));
  EXPECT_TRUE(s.Set("USER", {market->gcMonth, market->gcMonth, market->cuMonths[1]}));
  EXPECT_EQ(Keys(s, "USER"), (std::vector<std::string>{"COMEX|GC2612", "SHFE|cu2604"}));
  UserBlockStore again;
  EXPECT_EQ(Keys(again, "USER"), (std::vector<std::string>{"COMEX|GC2612", "SHFE|cu2604"}));

  EXPECT_TRUE(s.Add(market->gcMonth, "Other"));
  EXPECT_TRUE(s.DeleteBlock("Other"));
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_EQ(events.events[0], (std::pair<std::string, int>{"Other", kBlockDeleted}));
  s.RemoveListener(&events);
}

TEST_F(UserBlockStoreTest, NothingLoadsOrIsWrittenBeforeTheLibraryKnowsItsContracts) {
  Write(BlockFile(5, {{"USER", {"SHFE|rb2605"}}}));
  const std::string before = test::ReadFile(Path());
  const std::vector<DC_Exchange> exchanges = quotes.exchanges;
  quotes.exchanges.clear();  // not logged in yet: the library lists nothing
  UserBlockStore s;
  EXPECT_TRUE(s.Contracts("USER").empty());
  EXPECT_FALSE(s.Add(market->cuMonths[0], "USER"));
  EXPECT_FALSE(s.Loaded());
  EXPECT_EQ(test::ReadFile(Path()), before);
  quotes.exchanges = exchanges;
  EXPECT_EQ(Keys(s, "USER"), std::vector<std::string>{"SHFE|rb2605"});
}

TEST_F(UserBlockStoreTest, DamagedFilesLoadWhatCanBeReadAndAFailedWriteKeepsTheOldFile) {
  const std::string whole = BlockFile(5, {{"USER", {"SHFE|rb2605", "ZCE|SR605"}}, {"Z", {"SHFE|cu2603"}}});
  Write(whole.substr(0, whole.find("ZCE|SR605") + 4));
  {
    UserBlockStore s;
    EXPECT_EQ(Keys(s, "USER"), std::vector<std::string>{"SHFE|rb2605"});
  }
  Write(std::string("\x05\0\0\0\xff\xff\xff\x7f garbage", 16));
  {
    UserBlockStore s;
    EXPECT_TRUE(s.BlockNames().empty());
    EXPECT_TRUE(s.Add(market->rbMain, "USER"));
  }
  const std::string good = test::ReadFile(Path());
  for (FileStep step : {FileStep::Open, FileStep::Write, FileStep::Sync, FileStep::Rename}) {
    SetFileFaultHook([step](FileStep s) { return s == step; });
    UserBlockStore s;
    EXPECT_FALSE(s.Add(market->gcMonth, "USER"));
    SetFileFaultHook(nullptr);
    EXPECT_EQ(test::ReadFile(Path()), good);
  }
}

TEST_F(UserBlockStoreTest, BlockListPutsTheUsersBlocksFirstAndNamesExchanges) {
  UserBlockStore s;
  ASSERT_TRUE(s.Add(market->gcMonth, TXT("期货")));
  ASSERT_TRUE(s.Add(market->gcMonth, "A"));
  const std::vector<BlockListEntry> list = BuildBlockList(s, &quotes);
  std::vector<std::string> codes, names;
  for (const auto& e : list) {
    codes.push_back(e.code);
    names.push_back(e.display);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"USER", "A", TXT("期货"), "SHFE", "ZCE", "COMEX", "HOT", "MI", "IDX"}));
  EXPECT_EQ(names[0], TXT("自选"));
  EXPECT_EQ(names[3], TXT("上海期货交易所"));
  EXPECT_EQ(names[5], TXT("芝加哥金属商品交易所"));
  EXPECT_EQ(names[6], "HOT");
  EXPECT_TRUE(IsUserBlock(s, "USER"));
  EXPECT_TRUE(IsUserBlock(s, "A"));
  EXPECT_FALSE(IsUserBlock(s, "SHFE"));
  EXPECT_EQ(BlockContracts(s, &quotes, "SHFE").size(), 8u);
  EXPECT_EQ(BlockContracts(s, &quotes, "A").size(), 1u);
}

}  // namespace
}  // namespace tarn
