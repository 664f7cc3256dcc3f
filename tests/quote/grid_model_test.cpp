#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "catalogue_quote_center.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "quote/block_list.h"
#include "quote/quote_grid_model.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using test::CatalogueQuoteCenter;
using test::SmallMarket;

// Records what the model subscribes, as the quote client would hold it.
struct Subscriptions : IGridSubscriber {
  void SubscribeRow(const DC_Contract& c) override {
    live.insert(std::string(c.Key()));
    ++calls;
  }
  void UnsubscribeRow(const DC_Contract& c) override {
    live.erase(std::string(c.Key()));
    ++calls;
  }
  std::set<std::string> live;
  int calls = 0;
};

class GridModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock(&clock);
    market = std::make_unique<SmallMarket>(quotes);
    model.SetDefaultColumns();
    model.SetViewport(20, 21);
  }
  void TearDown() override { SetClock(nullptr); }

  std::vector<std::string> Codes() {
    std::vector<std::string> out;
    for (const DC_Contract& c : model.Contracts()) out.emplace_back(c.Code());
    return out;
  }
  DC_Quote Quote(const DC_Contract& c, float last, float preSettlement, float preClose = 0) {
    DC_Quote q{};
    q.contract = c;
    q.data.last = last;
    q.data.preSettlement = preSettlement;
    q.data.preClose = preClose;
    q.data.bidPrice[0] = last - 1;
    q.data.askPrice[0] = last + 1;
    q.data.updateTime = 1765159200;
    return q;
  }
  int ColumnOf(int kind) {
    for (int i = 0; i < model.ColumnCount(); ++i)
      if (model.KindAt(i) == kind) return i;
    return -1;
  }

  test::ScopedHome home;
  ManualClock clock;
  CatalogueQuoteCenter quotes;
  std::unique_ptr<SmallMarket> market;
  Subscriptions subs;
  QuoteGridModel model{&subs};
};

TEST(GridMonthOrder, MainIndexAndTheDecadeDigit) {
  EXPECT_EQ(GridMonthOrder("MI", 2026), 0);
  EXPECT_EQ(GridMonthOrder("IDX", 2026), 1);
  EXPECT_EQ(GridMonthOrder("2605", 2026), 2605);
  EXPECT_EQ(GridMonthOrder("605", 2026), 1605);
  EXPECT_EQ(GridMonthOrder("001", 2026), 2001);
  EXPECT_EQ(GridMonthOrder("605", 2014), 605);
  EXPECT_EQ(GridMonthOrder("012", 2014), 1012);
  EXPECT_EQ(GridMonthOrder("", 2026), 0);
}

TEST_F(GridModelTest, DefaultOrderIsCommodityThenMonthWithMainAndIndexFirst) {
  model.SetRows(LibraryList(&quotes, "SHFE"), false, 2026);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"cu2603", "cu2604", "rbMI", "rbIDX", "rb2601", "rb2605", "rb2610", "rb2701"}));
  model.SetRows(market->srMonths, false, 2026);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"SR509", "SR601", "SR605"}));
  // The user's own block keeps its own order as the default order.
  model.SetRows({market->rbMonths[0], market->cuMonths[0], market->rbMain}, true, 2026);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2605", "cu2603", "rbMI"}));
}

TEST_F(GridModelTest, HeaderClicksFlipTheDirectionAndRowNumberRestoresTheDefaultOrder) {
  model.SetRows(market->rbMonths, false, 2026);
  const float last[] = {3110, 3050, 3200, 3100};  // 2605 2610 2601 2701, previous settlement 3100
  for (int i = 0; i < 4; ++i) model.ApplyQuote(Quote(market->rbMonths[i], last[i], 3100));
  const int change = ColumnOf(kGridChange);
  ASSERT_TRUE(model.ClickHeader(change));
  EXPECT_FALSE(model.SortAscending());
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2601", "rb2605", "rb2701", "rb2610"}));
  ASSERT_TRUE(model.ClickHeader(change));
  EXPECT_TRUE(model.SortAscending());
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2610", "rb2701", "rb2605", "rb2601"}));
  ASSERT_TRUE(model.ClickHeader(0));
  EXPECT_TRUE(model.SortAscending());
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2601", "rb2605", "rb2610", "rb2701"}));
  // Positions 0 and 1 start ascending, the others descending; some kinds never sort.
  ASSERT_TRUE(model.ClickHeader(1));
  EXPECT_TRUE(model.SortAscending());
  ASSERT_TRUE(model.ClickHeader(ColumnOf(kGridCode)));
  EXPECT_FALSE(model.SortAscending());
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2701", "rb2610", "rb2605", "rb2601"}));
  for (int kind : {kGridLastQuantity, kGridBidQuantity, kGridAskQuantity, kGridUpdateTime}) {
    EXPECT_FALSE(model.ClickHeader(ColumnOf(kind)));
    EXPECT_EQ(model.KindAt(model.SortColumn()), kGridCode);
  }
}

TEST_F(GridModelTest, SortingByChangeUsesThePreviousSettlementWhateverTheBase) {
  model.SetRows({market->rbMonths[0], market->rbMonths[1]}, false, 2026);
  model.SetChangeBase(ChangeBase::PreClose);
  // By the previous close 2605 rose 5 and 2610 rose 50; by the previous settlement 2605 rose 20
  // and 2610 rose 10.
  model.ApplyQuote(Quote(market->rbMonths[0], 3120, 3100, 3115));
  model.ApplyQuote(Quote(market->rbMonths[1], 3110, 3100, 3060));
  ASSERT_TRUE(model.ClickHeader(ColumnOf(kGridChange)));
  EXPECT_EQ(Codes(), (std::vector<std::string>{"rb2605", "rb2610"}));
  EXPECT_EQ(model.Cell(0, ColumnOf(kGridChange)).text, "5");
  EXPECT_EQ(model.Cell(1, ColumnOf(kGridChange)).text, "50");
}

TEST_F(GridModelTest, NamesSortByTheirBytes) {
  model.SetRows({market->srMonths[0], market->rbMonths[0], market->gcMonth}, false, 2026);
  ASSERT_TRUE(model.ClickHeader(1));
  std::vector<std::string> names;
  for (const DC_Contract& c : model.Contracts()) names.emplace_back(c.Name());
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
  });
  EXPECT_EQ(names, sorted);
}

TEST_F(GridModelTest, HighlightsOnlyRealChangesForOneSecond) {
  DC_Contract c = market->rbMonths[0];
  model.SetRows({c}, false, 2026);
  const int64_t t0 = TickCount();
  model.ApplyQuote(Quote(c, 1.0f, 0.9f));  // the row held no price yet: no highlight
  const QuoteGridRow& row = *model.RowAt(0);
  EXPECT_FALSE(model.HighlightOf(row, kGridLast, t0));
  DC_Quote tiny = Quote(c, 1.000008f, 0.9f);
  tiny.data.bidPrice[0] = 0.0f;  // bid and ask keep their values
  tiny.data.askPrice[0] = 2.0f;
  model.ApplyQuote(tiny);
  EXPECT_FALSE(model.HighlightOf(row, kGridLast, t0));
  DC_Quote up = tiny;
  up.data.last = 1.5f;
  model.ApplyQuote(up);
  EXPECT_EQ(model.HighlightOf(row, kGridLast, t0), kGridHighlightUp);
  EXPECT_FALSE(model.HighlightOf(row, kGridBid, t0));
  clock.AdvanceMs(999);
  EXPECT_FALSE(model.ExpireHighlights());
  EXPECT_TRUE(model.HighlightOf(row, kGridLast, TickCount()));
  clock.AdvanceMs(1);
  EXPECT_FALSE(model.HighlightOf(row, kGridLast, TickCount()));
  model.TakeDirty();
  EXPECT_TRUE(model.ExpireHighlights());
  const auto dirty = model.TakeDirty();
  ASSERT_EQ(dirty.size(), 1u);
  EXPECT_TRUE(dirty[0].kinds & (1u << kGridLast));
  DC_Quote down = up;
  down.data.last = 0.5f;  // below the previous settlement
  model.ApplyQuote(down);
  EXPECT_EQ(model.HighlightOf(row, kGridLast, TickCount()), kGridHighlightDown);
  // A quote for a contract without a row is ignored.
  EXPECT_FALSE(model.ApplyQuote(Quote(market->gcMonth, 5, 5)));
}

TEST_F(GridModelTest, ChangedRowsAreCollectedOncePerBatchWithTheirKinds) {
  model.SetRows(market->rbMonths, false, 2026);
  int calls = 0;
  model.SetChangedCallback([&] { ++calls; });
  DC_Quote q = Quote(market->rbMonths[2], 3100, 3000);
  model.ApplyQuote(q);
  q.data.volume = 10;
  model.ApplyQuote(q);
  model.ApplyQuote(Quote(market->rbMonths[0], 3100, 3000));
  EXPECT_EQ(calls, 1);
  auto dirty = model.TakeDirty();
  ASSERT_EQ(dirty.size(), 2u);
  const int pos = model.FindRow(market->rbMonths[2].Key());
  auto it = std::find_if(dirty.begin(), dirty.end(), [&](const auto& d) { return d.position == pos; });
  ASSERT_NE(it, dirty.end());
  EXPECT_TRUE(it->kinds & (1u << kGridVolume));
  EXPECT_TRUE(it->kinds & (1u << kGridLast));
  EXPECT_FALSE(it->kinds & (1u << kGridOpenInterest));
  EXPECT_FALSE(it->kinds & (1u << kGridName));
  // The same snapshot again changes nothing; a new change starts a new batch.
  model.ApplyQuote(q);
  EXPECT_TRUE(model.TakeDirty().empty());
  q.data.openInterest = 5;
  model.ApplyQuote(q);
  EXPECT_EQ(calls, 2);
  dirty = model.TakeDirty();
  ASSERT_EQ(dirty.size(), 1u);
  EXPECT_EQ(dirty[0].kinds, 1u << kGridOpenInterest);
}

TEST_F(GridModelTest, OnlyVisibleRowsAreSubscribedWhileScrollingThroughFiveThousand) {
  std::vector<DC_Contract> many;
  for (int i = 0; i < 5000; ++i) many.push_back(quotes.AddContract(market->cu, Format("%04d", 1000 + i)));
  model.SetViewport(40, 41);
  model.SetRows(many, false, 2026);
  EXPECT_EQ(model.SubscriptionCount(), 41u);
  EXPECT_EQ(subs.live.size(), 41u);
  for (int first = 0; first <= model.MaxFirstVisible(); first += 7) {
    model.ScrollTo(first);
    const std::size_t visible = static_cast<std::size_t>(std::min(41, model.RowCount() - model.FirstVisible()));
    ASSERT_EQ(model.SubscriptionCount(), visible) << first;
    ASSERT_EQ(subs.live.size(), visible);
    ASSERT_TRUE(subs.live.count(std::string(model.RowAt(model.FirstVisible())->contract.Key())));
  }
  // Three empty rows at the end at most.
  EXPECT_EQ(model.MaxFirstVisible(), 5000 - 40 + 3);
  model.ScrollTo(100000);
  EXPECT_EQ(model.FirstVisible(), model.MaxFirstVisible());
  model.UnsubscribeAll();
  EXPECT_TRUE(subs.live.empty());
}

// The quote library's current snapshots, as the grid window reads them for rows out of view.
struct SnapshotSubscriptions : Subscriptions {
  bool ReadSnapshot(const DC_Contract& c, DC_QuoteData* out) override {
    auto it = snapshots.find(std::string(c.Key()));
    if (it == snapshots.end()) return false;
    *out = it->second;
    ++reads;
    return true;
  }
  std::map<std::string, DC_QuoteData> snapshots;
  int reads = 0;
};

TEST_F(GridModelTest, AValueSortTakesEveryRowsSnapshotNotOnlyTheVisibleOnes) {
  SnapshotSubscriptions snaps;
  QuoteGridModel grid{&snaps};
  grid.SetDefaultColumns();
  grid.SetViewport(2, 2);  // two rows in view: only they receive quotes
  const std::vector<DC_Contract> rows = {market->rbMonths[0], market->rbMonths[1], market->cuMonths[0],
                                         market->cuMonths[1]};
  // The default order puts copper first: its two rows are in view and quoted; the rebar rows
  // below have opened higher but receive nothing.
  const float opens[] = {5000, 4000, 3000, 2000};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    DC_QuoteData d{};
    d.open = opens[i];
    d.last = opens[i] + 1;
    snaps.snapshots[std::string(rows[i].Key())] = d;
  }
  grid.SetRows(rows, false, 2026);
  ASSERT_EQ(grid.SubscriptionCount(), 2u);
  for (const DC_Contract& c : {market->cuMonths[0], market->cuMonths[1]}) {
    ASSERT_TRUE(grid.IsSubscribed(c.Key()));
    DC_Quote q{};
    q.contract = c;
    q.data = snaps.snapshots[std::string(c.Key())];
    grid.ApplyQuote(q);
  }
  int open = -1;
  for (int i = 0; i < grid.ColumnCount(); ++i)
    if (grid.KindAt(i) == kGridOpen) open = i;
  ASSERT_GE(open, 0);
  grid.Sort(open, false);  // descending by "今开": the rebar rows, out of view, come first
  std::vector<std::string> codes;
  for (const DC_Contract& c : grid.Contracts()) codes.emplace_back(c.Code());
  EXPECT_EQ(codes, (std::vector<std::string>{"rb2605", "rb2610", "cu2603", "cu2604"}));
  EXPECT_EQ(snaps.reads, 2);  // the two rows without quotes, read once each, not subscribed
  EXPECT_EQ(grid.SubscriptionCount(), 2u);
  // Every row's cells come from its own contract: code, name and prices.
  const int last = ColumnOf(kGridLast), code = ColumnOf(kGridCode);
  for (int r = 0; r < grid.RowCount(); ++r) {
    const DC_Contract& c = grid.RowAt(r)->contract;
    const DC_QuoteData& d = snaps.snapshots[std::string(c.Key())];
    EXPECT_EQ(grid.Cell(r, 1).text, std::string(c.Name())) << r;
    if (code >= 0) {
      EXPECT_EQ(grid.Cell(r, code).text, std::string(c.Code())) << r;
    }
    EXPECT_EQ(grid.Cell(r, last).text, Format("%.*f", grid.RowAt(r)->decimals, d.last)) << r;
  }
  // A quote reaches the row of its contract wherever that row stands now.
  DC_Quote q{};
  q.contract = market->rbMonths[1];
  q.data = snaps.snapshots[std::string(q.contract.Key())];
  q.data.last = 3333;
  ASSERT_TRUE(grid.ApplyQuote(q));
  const int at = grid.FindRow(market->rbMonths[1].Key());
  EXPECT_EQ(grid.Cell(at, 1).text, std::string(market->rbMonths[1].Name()));
  EXPECT_EQ(grid.Cell(at, last).text, Format("%.*f", grid.RowAt(at)->decimals, 3333.0));
  for (int r = 0; r < grid.RowCount(); ++r)
    if (r != at) {
      EXPECT_NE(grid.Cell(r, last).text, grid.Cell(at, last).text) << r;
    }
}

TEST_F(GridModelTest, KeyboardSelectionWrapsAndStaysVisible) {
  std::vector<DC_Contract> many;
  for (int i = 0; i < 50; ++i) many.push_back(quotes.AddContract(market->cu, Format("%04d", 3000 + i)));
  model.SetViewport(10, 11);
  model.SetRows(many, false, 2026);
  using K = QuoteGridModel::NavKey;
  EXPECT_TRUE(model.Navigate(K::Down));
  EXPECT_EQ(model.Selected(), 0);
  EXPECT_TRUE(model.Navigate(K::Up));  // at the first row: the last
  EXPECT_EQ(model.Selected(), 49);
  EXPECT_LE(model.FirstVisible(), 49);
  EXPECT_GT(model.FirstVisible() + model.PageRows(), 49);
  EXPECT_TRUE(model.Navigate(K::Down));  // at the last row: the first, scrolled to the top
  EXPECT_EQ(model.Selected(), 0);
  EXPECT_EQ(model.FirstVisible(), 0);
  EXPECT_TRUE(model.Navigate(K::PageDown));
  EXPECT_EQ(model.Selected(), 10);
  EXPECT_EQ(model.FirstVisible(), 1);
  model.Select(45);
  EXPECT_TRUE(model.Navigate(K::PageDown));  // stops at the last row
  EXPECT_EQ(model.Selected(), 49);
  EXPECT_TRUE(model.Navigate(K::PageUp));
  EXPECT_EQ(model.Selected(), 39);
  model.Select(3);
  EXPECT_TRUE(model.Navigate(K::PageUp));
  EXPECT_EQ(model.Selected(), 0);
  EXPECT_TRUE(model.Navigate(K::PageUp));
  EXPECT_EQ(model.Selected(), 49);
}

TEST_F(GridModelTest, ColumnMovesKeepTheFirstTwoAndSave) {
  model.SetRows(market->rbMonths, false, 2026);
  EXPECT_FALSE(model.MoveColumn(0, 5));
  EXPECT_FALSE(model.MoveColumn(5, 1));
  ASSERT_TRUE(model.ClickHeader(5));  // sort by the ask column
  ASSERT_TRUE(model.MoveColumn(5, 2));
  EXPECT_EQ(model.KindAt(2), kGridAsk);
  EXPECT_EQ(model.KindAt(3), kGridLast);
  EXPECT_EQ(model.SortColumn(), 2);
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "DataIdx", "").substr(0, 7), "0|1|5|2");
  // The file's columns come back on load.
  QuoteGridModel other;
  other.SetDefaultColumns();
  EXPECT_TRUE(other.LoadColumns(true));
  EXPECT_EQ(other.KindAt(2), kGridAsk);
  EXPECT_EQ(other.ColumnCount(), 23);
}

TEST_F(GridModelTest, InconsistentColumnFileKeepsTheDefaults) {
  test::WriteFile(QuoteGridIniPath(), "[GridCol]\r\nDataIdx=0|1|2\r\nColWidth=40|80\r\nVersion=1\r\n");
  QuoteGridModel m;
  m.SetDefaultColumns();
  EXPECT_FALSE(m.LoadColumns(true));
  EXPECT_EQ(m.ColumnCount(), 23);
}

TEST_F(GridModelTest, AutoFitMeasuresHeadersAndVisibleCells) {
  GridWidthMetrics metrics;
  metrics.unit = 10;
  metrics.headerTextWidth = [](const std::string& t) { return static_cast<int>(t.size()) * 5; };
  model.SetWidthMetrics(metrics);
  model.SetDefaultColumns();
  model.SetRows(market->rbMonths, false, 2026);
  model.ApplyQuote(Quote(market->rbMonths[0], 3100, 3000));
  const auto measure = [](const std::string& t, int) { return static_cast<int>(t.size()) * 7; };
  const int nameWidth = model.Columns()[1].width;
  const int lastWidth = model.Columns()[2].width;
  model.AutoFit(true, measure);
  // The name column: the widest name ("螺纹钢2605", 10 bytes) * 7 + 22.
  EXPECT_EQ(model.Columns()[1].width, 92);
  EXPECT_NE(model.Columns()[1].width, nameWidth);
  EXPECT_EQ(model.Columns()[2].width, lastWidth);
  model.AutoFit(false, measure);
  EXPECT_EQ(model.Columns()[2].width, std::max(4 * 5 + 12, 4 * 7 + 22));
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "Version", ""), "1");
}

TEST_F(GridModelTest, ReloadingKeepsPlaceSelectionAndSnapshots) {
  model.SetRows({market->rbMonths[0], market->rbMonths[1], market->rbMonths[2]}, true, 2026);
  model.ApplyQuote(Quote(market->rbMonths[1], 3150, 3100));
  model.Select(1);
  model.SetRows({market->rbMonths[2], market->rbMonths[1]}, true, 2026, true);
  EXPECT_EQ(model.Selected(), 1);
  EXPECT_FLOAT_EQ(model.RowAt(1)->Quote().last, 3150);
  model.SetRows({market->rbMonths[2]}, true, 2026, true);
  EXPECT_EQ(model.Selected(), -1);
  // Moving a row in the user's block makes that the grid's order.
  model.SetRows(market->rbMonths, true, 2026);
  model.ClickHeader(ColumnOf(kGridCode));
  ASSERT_TRUE(model.MoveRow(0, 3));
  EXPECT_EQ(model.SortColumn(), -1);
  const std::vector<std::string> moved = Codes();
  model.Sort(-1, true);
  EXPECT_EQ(Codes(), moved);
}

TEST_F(GridModelTest, QuotesFromAnotherThreadWhileTheRowsChange) {
  std::vector<DC_Contract> many;
  for (int i = 0; i < 300; ++i) many.push_back(quotes.AddContract(market->cu, Format("%04d", 5000 + i)));
  model.SetRows(many, false, 2026);
  std::atomic<bool> stop{false};
  std::thread feeder([&] {
    float p = 100;
    while (!stop.load()) {
      for (const DC_Contract& c : many) model.ApplyQuote(Quote(c, p, 100));
      p += 1;
    }
  });
  for (int i = 0; i < 200; ++i) {
    if (i % 3 == 0) model.SetRows(std::vector<DC_Contract>(many.begin() + (i % 50), many.end()), false, 2026, true);
    model.ClickHeader(ColumnOf(kGridLast));
    model.ScrollTo(i % 40);
    for (const auto& d : model.TakeDirty()) ASSERT_LT(d.position, model.RowCount());
    model.ExpireHighlights();
  }
  stop = true;
  feeder.join();
}

}  // namespace
}  // namespace tarn
