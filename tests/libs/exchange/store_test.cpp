#include <sqlite3.h>

#include <filesystem>

#include "libs/exchange/embedded_exchange.h"
#include "market_fixture.h"
#include "support/test_support.h"

namespace tarn::test {
namespace {

ExchangeConfig Config(const std::string& dir, ManualClock& clock, uint64_t seed, int historyDays = 30) {
  ExchangeConfig c;
  c.dataDir = dir;
  c.seed = seed;
  c.historyDays = historyDays;
  c.clock = &clock;
  c.manualClock = true;
  return c;
}

TEST(Store, ARestartContinuesTheSameMarket) {
  TempDir dir;
  ManualClock clock(kMonday10);
  Snapshot first;
  std::vector<Bar> firstBars;
  int64_t origin = 0;
  {
    EmbeddedExchange ex(Config(dir.path(), clock, 1001));
    Market& m = ex.Open();
    const ContractId id = Id(m, "SHFE|rbMI");
    m.Watch(id);
    clock.AdvanceMs(30000);
    ex.AdvanceToClock();
    m.GetSnapshot(id, first);
    m.GetBars(id, Period{3, 1}, 0, 100, firstBars);
    origin = m.OriginDay();
  }
  // Another seed and history length in the configuration: the stored market wins.
  clock.AdvanceMs(0);
  EmbeddedExchange ex(Config(dir.path(), clock, 2002, 5));
  Market& m = ex.Open();
  EXPECT_EQ(m.Seed(), 1001u);
  EXPECT_EQ(m.OriginDay(), origin);
  Snapshot again;
  m.GetSnapshot(Id(m, "SHFE|rbMI"), again);
  EXPECT_EQ(again.last, first.last);
  EXPECT_EQ(again.volume, first.volume);
  EXPECT_EQ(again.openInterest, first.openInterest);
  std::vector<Bar> bars;
  m.GetBars(Id(m, "SHFE|rbMI"), Period{3, 1}, 0, 100, bars);
  ASSERT_EQ(bars.size(), firstBars.size());
  EXPECT_EQ(bars.back().close, firstBars.back().close);
  EXPECT_EQ(bars.front().time, firstBars.front().time);
}

TEST(Store, DamagedOrTruncatedFilesAreReplaced) {
  TempDir dir;
  const std::string path = dir.path() + "/market.db";
  WriteFile(path, std::string(5000, '\x5a'));
  auto s = MarketStore::Open(path);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->ReplacedDamagedFile());
  EXPECT_TRUE(Exists(path + ".damaged"));
  ASSERT_TRUE(s->SetMeta("seed", "77"));
  s.reset();

  // A store cut in half.
  std::string bytes = ReadFile(path);
  ASSERT_GT(bytes.size(), 0u);
  std::filesystem::remove(path + "-wal");
  WriteFile(path, bytes.substr(0, bytes.size() / 2));
  s = MarketStore::Open(path);
  ASSERT_TRUE(s);
  std::string v;
  if (!s->ReplacedDamagedFile()) {
    EXPECT_TRUE(s->GetMeta("seed", v) ? v == "77" : true);
  }
  EXPECT_TRUE(s->SetMeta("k", "v"));
  EXPECT_TRUE(s->GetMeta("k", v));
  EXPECT_EQ(v, "v");
}

// A readable store whose header asks for a newer writer (SQLite opens it for reading only) would
// fail every write: it is set aside like damage, both from an image and from a file.
TEST(Store, AStoreSqliteWouldOnlyReadIsReplaced) {
  TempDir dir;
  const std::string path = dir.path() + "/market.db";
  {
    auto s = MarketStore::Open(path);
    ASSERT_TRUE(s);
    ASSERT_TRUE(s->SetMeta("seed", "77"));
  }
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);  // every page in the file
    sqlite3_close(db);
  }
  std::string bytes = ReadFile(path);
  ASSERT_GT(bytes.size(), 100u);
  bytes[18] = 5;  // the file format's write version
  bytes[19] = 1;
  WriteFile(path, bytes);

  auto image = MarketStore::OpenImage(bytes);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->ReplacedDamagedFile());
  EXPECT_TRUE(image->SetMeta("probe", "1"));
  auto s = MarketStore::Open(path);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->ReplacedDamagedFile());
  EXPECT_TRUE(Exists(path + ".damaged"));
  EXPECT_TRUE(s->SetMeta("probe", "1"));
}

TEST(Store, EachSettledDayIsWrittenToTheLedger) {
  TempDir dir;
  ManualClock clock(At(0, 16, 58));
  EmbeddedExchange ex(Config(dir.path(), clock, 5));
  Market& m = ex.Open();
  const ContractId id = Id(m, "ZCE|SRMI");
  m.Watch(id);
  for (int i = 0; i < 300; ++i) {
    clock.AdvanceMs(500);
    ex.AdvanceToClock();
  }
  ASSERT_EQ(m.TradingDay(), 20251209);
  ex.WaitLedger();
  std::vector<MarketStore::SettlementRow> rows;
  ASSERT_TRUE(ex.Store()->LoadSettlements(20251208, rows));
  EXPECT_GT(rows.size(), 500u);
  Snapshot s;
  m.GetSnapshot(id, s);
  bool found = false;
  for (const auto& r : rows) {
    if (r.contract != "ZCE|SRMI") continue;
    found = true;
    EXPECT_DOUBLE_EQ(r.settlement, s.preSettle * 1.0);
    EXPECT_DOUBLE_EQ(r.close, s.preClose * 1.0);
    EXPECT_EQ(r.openInterest, s.preOpenInterest);
    EXPECT_GT(r.volume, 0);
  }
  EXPECT_TRUE(found);
}

// A damaged index passes SQLite's quick check while every write into it fails: the store must
// see it at opening and set the file aside, not keep a store that cannot be written.
TEST(Store, AnIndexThatNoLongerMatchesItsTableIsDamage) {
  TempDir dir;
  const std::string path = dir.path() + "/market.db";
  {
    auto s = MarketStore::Open(path);
    ASSERT_TRUE(s);
    ASSERT_TRUE(s->SaveSettlements({{20251208, "SHFE|cu2605", 1, 1, 1, 1}, {20251208, "SHFE|zn2605", 2, 2, 2, 2}}));
  }
  int rootPage = 0, pageSize = 0;
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    // Every page into the main file, so that the bytes below are the whole store.
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_schema"
                       " WHERE name = 'sqlite_autoindex_settlement_1'", -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW) {
      rootPage = sqlite3_column_int(st, 0);
      pageSize = sqlite3_column_int(st, 1);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  ASSERT_GT(rootPage, 1);
  ASSERT_FALSE(Exists(path + "-wal"));
  // The index's last key changes from zn2605 to zn2606: the order of the keys still holds, the
  // page is well formed, but the index no longer names the row.
  std::string bytes = ReadFile(path);
  const size_t page = static_cast<size_t>(rootPage - 1) * pageSize;
  const size_t at = bytes.find("zn2605", page);
  ASSERT_TRUE(at != std::string::npos && at < page + pageSize);
  bytes[at + 5] = '6';
  WriteFile(path, bytes);

  auto s = MarketStore::Open(path);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->ReplacedDamagedFile());
  EXPECT_TRUE(Exists(path + ".damaged"));
  EXPECT_TRUE(s->SetMeta("probe", "1"));
  s.reset();
  // The same bytes opened in memory.
  s = MarketStore::OpenImage(bytes);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->ReplacedDamagedFile());
  EXPECT_TRUE(s->SetMeta("probe", "1"));
}

}  // namespace
}  // namespace tarn::test
