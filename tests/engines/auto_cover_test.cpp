// The automatic stop engine: stops made from fully filled opening orders, the levels and their
// firing for long and short positions, the closing order, stops dropped with their position or
// the switch, and the settings with their file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "engine_fakes.h"
#include "engines/close_burst.h"
#include "engines/auto_cover.h"
#include "engines/auto_cover_forms.h"
#include "engines/close_orders.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "support/test_support.h"

namespace {

using namespace tarn::test;

class Changes : public IAutoCoverNotify {
 public:
  Changes() : IAutoCoverNotify(true) {}
  ~Changes() override { StopListening(); }
  void OnAutoCoverChanged() override { ++count; }
  std::atomic<int> count{0};
};

class AutoCoverTest : public ::testing::Test {
 protected:
  AutoCoverTest() {
    quotes.AddCommodity(10, 1, "rb", TXT("螺纹钢"), 1.0, 0);
    quotes.AddCommodity(11, 2, "rb", TXT("同码品种"), 1.0, 0);  // same code, other exchange
    quotes.AddCommodity(12, 1, "au", TXT("黄金"), 0.02, 2);
    rb = quotes.AddContract("SHFE|rb2601", 10);
    rbOther = quotes.AddContract("DCE|rb2601", 11);
    au = quotes.AddContract("SHFE|au2602", 12);
    engine->SetEnabled(true);
  }
  void Set(const std::string& commodity, const std::string& exchange, int sl, int tp, int trailing, int be) {
    AutoCoverSetting s;
    s.commodity = commodity;
    s.exchange = exchange;
    s.stopLossTicks = sl;
    s.takeProfitTicks = tp;
    s.trailingTicks = trailing;
    s.breakEvenTicks = be;
    engine->AddOrReplaceSetting(s);
  }
  void Fill(const std::string& key, const DC_Contract& c, int direction, int qty, double price) {
    OrderRecord o = FilledOpen(key, c, direction, qty, price);
    engine->OnOrder(&o, AccountTexts{});
  }
  void Quote(const DC_Contract& c, double last) {
    DC_Quote q = QuoteAt(c, last);
    engine->OnQuote(0, &q);
  }
  std::vector<AutoCoverStop> Active() {
    std::vector<AutoCoverStop> out;
    engine->CopyActiveStops(out);
    return out;
  }

  ScopedHome home;
  EngineQuoteCenter quotes;
  EngineTradeApi trade;
  DC_Contract rb, rbOther, au;
  tarn::ScopedEngine<tarn::CloseBurstLedger> bursts;  // no burst left over from another test
  tarn::ScopedEngine<CAutoCover> engine;
};

TEST_F(AutoCoverTest, LongStopLossAtExactlyItsLevelSendsTheClosingMarketOrder) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  Changes changes;
  Fill("o1", rb, 1, 3, 100);
  ASSERT_EQ(engine->StopCount(), 1u);
  EXPECT_EQ(changes.count, 1);
  EXPECT_TRUE(engine->IsSubscribed("SHFE|rb2601"));
  Quote(rb, 99);
  auto stops = Active();
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_DOUBLE_EQ(stops[0].stopLossPrice, 95);
  EXPECT_DOUBLE_EQ(stops[0].extremePrice, 99);
  EXPECT_TRUE(trade.inserted.empty());
  Quote(rb, 95.5);
  EXPECT_TRUE(trade.inserted.empty());
  Quote(rb, 95);
  ASSERT_EQ(trade.inserted.size(), 1u);
  const OrderRecord& close = trade.inserted[0];
  EXPECT_EQ(close.contract.Key(), "SHFE|rb2601");
  EXPECT_EQ(close.direction, 2);
  EXPECT_EQ(close.offset, 2);
  EXPECT_EQ(close.priceType, 1);
  EXPECT_EQ(close.hidden, 0);
  EXPECT_EQ(close.quantity, 3);
  EXPECT_EQ(close.price, 0.0);
  EXPECT_EQ(close.state, 0);
  EXPECT_EQ(tarn::Field(close.accountText1), "broker");
  EXPECT_EQ(tarn::Field(close.accountText2), "8001");
  EXPECT_EQ(tarn::Field(close.key), "");
  // The fired stop sends nothing more, and is gone at the next copy.
  Quote(rb, 90);
  EXPECT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(engine->StopCount(), 1u);
  EXPECT_TRUE(Active().empty());
  EXPECT_EQ(engine->StopCount(), 0u);
}

TEST_F(AutoCoverTest, WhereTodaysLotsNeedTheirOwnCloseTheOrderIsSplitByThePosition) {
  trade.closeToday = true;
  Set("rb", "SHFE", 5, 0, 0, 0);
  Fill("o1", rb, 1, 4, 100);
  PositionRecord p = Position(rb, 5, 0);
  p.todayLong = 3;  // two older lots, three of today
  trade.positions = {p};
  Quote(rb, 95);
  ASSERT_EQ(trade.inserted.size(), 2u);
  EXPECT_EQ(trade.inserted[0].offset, 2);
  EXPECT_EQ(trade.inserted[0].quantity, 2);
  EXPECT_EQ(trade.inserted[1].offset, 3);
  EXPECT_EQ(trade.inserted[1].quantity, 2);
  EXPECT_EQ(trade.inserted[1].direction, 2);
  // All of today's: one close-today order.
  trade.inserted.clear();
  Fill("s1", rb, 2, 2, 100);
  p = Position(rb, 0, 2);
  p.todayShort = 2;
  trade.positions = {p};
  Quote(rb, 106);
  ASSERT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(trade.inserted[0].offset, 3);
  EXPECT_EQ(trade.inserted[0].quantity, 2);
  EXPECT_EQ(trade.inserted[0].direction, 1);
  // More than is held: the rest goes out as a plain close (the exchange decides).
  EXPECT_EQ(tarn::SplitClose(5, 3, 1).size(), 3u);
  EXPECT_EQ(tarn::SplitClose(5, 3, 1)[2].quantity, 2);
  EXPECT_TRUE(tarn::SplitClose(0, 3, 1).empty());
}

TEST_F(AutoCoverTest, TrailingStopMovesInWholeStepsThenFires) {
  Set("rb", "SHFE", 0, 0, 2, 0);
  Fill("o1", rb, 1, 1, 100);
  Quote(rb, 100);
  EXPECT_DOUBLE_EQ(Active()[0].trailingStopPrice, 98);
  Quote(rb, 104);
  EXPECT_DOUBLE_EQ(Active()[0].trailingStopPrice, 102);  // 104 >= 98+4, 104 >= 100+4, not 104 >= 102+4
  Quote(rb, 105);
  EXPECT_DOUBLE_EQ(Active()[0].trailingStopPrice, 102);
  Quote(rb, 102.5);
  EXPECT_TRUE(trade.inserted.empty());
  Quote(rb, 102);
  EXPECT_EQ(trade.inserted.size(), 1u);
}

TEST_F(AutoCoverTest, ShortPositionLevelsMirrorTheLongOnes) {
  Set("au", "SHFE", 10, 20, 5, 0);
  Fill("s1", au, 2, 2, 600);
  Quote(au, 600);
  AutoCoverStop s = Active().at(0);
  EXPECT_NEAR(s.stopLossPrice, 600.2, 1e-9);
  EXPECT_NEAR(s.takeProfitPrice, 599.6, 1e-9);
  EXPECT_NEAR(s.trailingStopPrice, 600.1, 1e-9);
  Quote(au, 599.7);  // two steps of 0.1 down: 2 D behind the last price
  s = Active().at(0);
  EXPECT_NEAR(s.trailingStopPrice, 599.9, 1e-6);
  EXPECT_FLOAT_EQ(static_cast<float>(s.extremePrice), 599.7f);
  Quote(au, 599.5);  // at or below the take-profit
  ASSERT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(trade.inserted[0].direction, 1);
  EXPECT_EQ(trade.inserted[0].quantity, 2);
}

TEST_F(AutoCoverTest, BreakEvenArmsAtItsDistanceAndFiresBackAtTheOpenPrice) {
  Set("rb", "SHFE", 0, 0, 0, 3);
  Changes changes;
  Fill("o1", rb, 1, 1, 100);
  Quote(rb, 102.9);
  EXPECT_FALSE(Active()[0].breakEvenArmed);
  Quote(rb, 100);  // not armed: nothing fires at the open price
  EXPECT_TRUE(trade.inserted.empty());
  const int before = changes.count;
  Quote(rb, 103);
  EXPECT_TRUE(Active()[0].breakEvenArmed);
  EXPECT_EQ(changes.count, before + 1);
  Quote(rb, 101);
  Quote(rb, 100);
  EXPECT_EQ(trade.inserted.size(), 1u);
}

TEST_F(AutoCoverTest, TwoStopsOfOneContractFireTogetherWithOneNotification) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  Fill("o1", rb, 1, 1, 100);
  Fill("o2", rb, 1, 2, 101);
  Fill("o3", au, 1, 1, 600);  // another contract: untouched
  Quote(rb, 100);
  Changes changes;
  Quote(rb, 99);  // a new extreme, but no level changed: nobody is told
  EXPECT_EQ(changes.count, 0);
  Quote(rb, 95);
  EXPECT_EQ(trade.inserted.size(), 2u);
  EXPECT_EQ(trade.inserted[1].quantity, 2);
  EXPECT_EQ(changes.count, 1);
}

TEST_F(AutoCoverTest, OnlyAFullyFilledOpeningOrderMakesAStopAndOnlyOnce) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  OrderRecord o = FilledOpen("o1", rb, 1, 4, 100);
  o.state = 3;  // partly filled
  o.filledQuantity = 2;
  engine->OnOrder(&o, AccountTexts{});
  EXPECT_EQ(engine->StopCount(), 0u);
  o.state = 4;
  o.filledQuantity = 4;
  engine->OnOrder(&o, AccountTexts{});
  engine->OnOrder(&o, AccountTexts{});  // the notification repeats
  EXPECT_EQ(engine->StopCount(), 1u);
  OrderRecord closing = FilledOpen("c1", rb, 2, 1, 100);
  closing.offset = 2;
  engine->OnOrder(&closing, AccountTexts{});
  OrderRecord empty = FilledOpen("e1", DC_Contract{}, 1, 1, 100);
  engine->OnOrder(&empty, AccountTexts{});
  engine->OnOrder(nullptr, AccountTexts{});
  EXPECT_EQ(engine->StopCount(), 1u);
  // The setting must match code and exchange: rb on the other exchange gets nothing.
  Fill("o9", rbOther, 1, 1, 100);
  EXPECT_EQ(engine->StopCount(), 1u);
}

TEST_F(AutoCoverTest, SwitchingOffDropsTheStopsAndOnAgainDoesNotRecreateThem) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  Fill("o1", rb, 1, 1, 100);
  Changes changes;
  engine->SetEnabled(false);
  EXPECT_EQ(engine->StopCount(), 0u);
  EXPECT_EQ(changes.count, 1);
  Fill("o2", rb, 1, 1, 100);  // while off: seen, but no stop
  engine->SetEnabled(true);
  Fill("o1", rb, 1, 1, 100);
  Fill("o2", rb, 1, 1, 100);
  EXPECT_EQ(engine->StopCount(), 0u);
}

TEST_F(AutoCoverTest, AStopGoesWithItsPositionOnACompletePositionNotification) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  Set("au", "SHFE", 5, 0, 0, 0);
  Fill("l1", rb, 1, 1, 100);
  Fill("s1", rb, 2, 1, 100);
  Fill("l2", au, 1, 1, 600);
  trade.positions = {Position(rb, 0, 1), Position(au, 1, 0), Position(au, 0, 0)};
  Changes changes;
  engine->OnPositions(AccountTexts{}, false);  // incomplete: nothing yet
  EXPECT_EQ(engine->StopCount(), 3u);
  engine->OnPositions(AccountTexts{}, true);
  auto stops = Active();
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_EQ(stops[0].order.direction, 2);
  EXPECT_EQ(stops[1].order.contract.Key(), "SHFE|au2602");
  EXPECT_EQ(changes.count, 1);
  // The index follows: the short rb stop still fires on its contract's quotes.
  Quote(rb, 105);
  EXPECT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(trade.inserted[0].direction, 1);
  EXPECT_EQ(changes.count, 2);  // the quote computed and fired
  trade.positions.clear();
  engine->OnPositions(AccountTexts{}, true);  // the fired stop goes with the rest
  EXPECT_EQ(engine->StopCount(), 0u);
  EXPECT_EQ(changes.count, 3);
}

TEST_F(AutoCoverTest, PositionsOfTheCurrentAccountJudgeOnlyThatAccountsStops) {
  Set("rb", "SHFE", 5, 0, 0, 0);
  Fill("a1", rb, 1, 1, 100);  // account 8001
  OrderRecord other = FilledOpen("b1", rb, 1, 1, 100);
  tarn::SetField(other.accountText2, "8002");
  engine->OnOrder(&other, AccountTexts{});
  ASSERT_EQ(engine->StopCount(), 2u);
  // The funds window made 8002 current; it holds nothing. 8001's stop is not its to judge.
  trade.currentAccount = "8002";
  trade.positions.clear();
  engine->OnPositions(AccountTexts{"", "8001", ""}, true);
  auto stops = Active();
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_EQ(tarn::Field(stops[0].order.accountText2), "8001");
  // Back on 8001, whose position is still there: the stop stays and still fires.
  trade.currentAccount = "8001";
  PositionRecord p = Position(rb, 1, 0);
  tarn::SetField(p.account, "8001");
  trade.positions = {p};
  engine->OnPositions(AccountTexts{"", "8001", ""}, true);
  EXPECT_EQ(engine->StopCount(), 1u);
  Quote(rb, 95);
  ASSERT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(tarn::Field(trade.inserted[0].accountText2), "8001");
}

TEST_F(AutoCoverTest, AListenerMayWaitForAnotherThreadThatCallsTheEngine) {
  // A window that, told of a change, waits for a worker reading the engine (as a blocking
  // hand-over to the UI thread would) must not find the engine locked by its own notice.
  class Waiting : public IAutoCoverNotify {
   public:
    explicit Waiting(CAutoCover& e) : IAutoCoverNotify(true), engine(e) {}
    ~Waiting() override {
      StopListening();
      for (std::thread& t : workers) t.join();
    }
    void OnAutoCoverChanged() override {
      auto done = std::make_shared<std::promise<std::size_t>>();
      std::future<std::size_t> f = done->get_future();
      workers.emplace_back([this, done] { done->set_value(engine.StopCount()); });
      if (f.wait_for(std::chrono::seconds(2)) == std::future_status::ready) ++answered;
      else ++blocked;
    }
    CAutoCover& engine;
    std::vector<std::thread> workers;
    int answered = 0, blocked = 0;
  };
  Set("rb", "SHFE", 5, 0, 0, 0);
  Waiting w(*engine);
  Fill("o1", rb, 1, 1, 100);   // created
  Quote(rb, 95);               // fired
  engine->SetEnabled(false);   // dropped
  EXPECT_EQ(w.blocked, 0);
  EXPECT_EQ(w.answered, 3);
}

TEST_F(AutoCoverTest, WildPricesAndUnknownTickSizesNeverHangOrFire) {
  Set("rb", "SHFE", 0, 0, 1, 0);
  Fill("o1", rb, 1, 1, 100);
  Quote(rb, 100);
  const auto start = std::chrono::steady_clock::now();
  Quote(rb, 3.0e9);  // thirty million steps ahead
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  const double t = Active()[0].trailingStopPrice;
  EXPECT_LE(t + 1, 3.0e9);
  EXPECT_GT(t + 2, 3.0e9);  // between D and 2 D behind, as the stepping leaves it
  Quote(rb, std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(Active()[0].trailingStopPrice, t);
  EXPECT_TRUE(trade.inserted.empty());
  // A commodity without a tick size: the levels would sit on the open price; nothing is done.
  quotes.AddCommodity(13, 1, "zz", "zz", 0.0, 0);
  DC_Contract zz = quotes.AddContract("SHFE|zz2601", 13);
  Set("zz", "SHFE", 5, 5, 5, 0);
  Fill("z1", zz, 1, 1, 100);
  Quote(zz, 100);
  Quote(zz, 50);
  EXPECT_TRUE(trade.inserted.empty());
}

TEST_F(AutoCoverTest, SettingsReplaceRemoveAndTheirFile) {
  Set("rb", "SHFE", 1, 2, 3, 4);
  Set("rb", "DCE", 5, 0, 0, 0);
  Set("au", "SHFE", 0, 0, 0, 0);
  Set("rb", "SHFE", 9, 9, 9, 9);  // replaces the first
  std::vector<AutoCoverSetting> list;
  engine->CopySettings(list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].stopLossTicks, 9);
  const std::string bytes = ReadFile(home.Native("\\config\\AutoCover.dat"));
  const auto f = tarn::ParseAutoCoverFile(bytes);
  ASSERT_TRUE(f.complete);
  EXPECT_EQ(f.settings, list);
  EXPECT_EQ(bytes.size(), 4u + 3 * 16 + (1 + 2 + 1 + 4) * 2 + (1 + 2 + 1 + 3));
  engine->RemoveSetting("rb");  // every exchange's
  engine->CopySettings(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].commodity, "au");
  // Loaded once: a second load keeps what is in memory.
  {
    tarn::ScopedEngine<CAutoCover> other;
    other->LoadSettings();
    other->CopySettings(list);
    EXPECT_EQ(list.size(), 1u);
    tarn::test::WriteFile(home.Native("\\config\\AutoCover.dat"), tarn::SerializeAutoCoverFile({}));
    other->LoadSettings();
    other->CopySettings(list);
    EXPECT_EQ(list.size(), 1u);
  }
  engine->RemoveAllSettings();
  EXPECT_EQ(ReadFile(home.Native("\\config\\AutoCover.dat")), std::string(4, '\0'));
}

TEST_F(AutoCoverTest, DamagedSettingsFilesLoadWhatCanBeRead) {
  std::vector<AutoCoverSetting> three(3);
  three[0].commodity = "rb", three[0].exchange = "SHFE", three[0].stopLossTicks = 5;
  three[1].commodity = "au", three[1].exchange = "SHFE";
  three[2].commodity = "m", three[2].exchange = "DCE";
  const std::string good = tarn::SerializeAutoCoverFile(three);
  auto cut = tarn::ParseAutoCoverFile(good.substr(0, good.size() - 1));
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(cut.settings.size(), 2u);
  std::string huge = good;
  huge[0] = huge[1] = huge[2] = '\xff';
  huge[3] = '\x7f';
  auto h = tarn::ParseAutoCoverFile(huge);
  EXPECT_EQ(h.settings.size(), 3u);
  EXPECT_LE(h.settings.capacity(), good.size() / tarn::kAutoCoverRecordMinBytes);
  EXPECT_TRUE(tarn::ParseAutoCoverFile(std::string("\x05\x00\x00\x00\xff\xff\xff\xff\xff", 9)).settings.empty());
  EXPECT_TRUE(tarn::ParseAutoCoverFile("").settings.empty());
  tarn::test::WriteFile(home.Native("\\config\\AutoCover.dat"), good.substr(0, good.size() - 1));
  tarn::ScopedEngine<CAutoCover> fresh;
  fresh->LoadSettings();
  std::vector<AutoCoverSetting> list;
  fresh->CopySettings(list);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].stopLossTicks, 5);
}

TEST_F(AutoCoverTest, SettingsDialogRowsAndTheSetButton) {
  const std::vector<tarn::CommodityChoice> choices = tarn::ListCommodities();
  ASSERT_EQ(choices.size(), 3u);
  EXPECT_EQ(choices[0].ComboText(), TXT("rb 螺纹钢"));
  EXPECT_EQ(choices[0].exchange, "SHFE");
  EXPECT_EQ(choices[2].exchange, "DCE");
  AutoCoverSetting s;
  EXPECT_EQ(tarn::BuildAutoCoverSetting(nullptr, {}, &s), TXT("请选择品种"));
  ASSERT_FALSE(tarn::BuildAutoCoverSetting(&choices[2], {"5", "", "x", "-2"}, &s));
  EXPECT_EQ(s.commodity, "rb");
  EXPECT_EQ(s.exchange, "DCE");
  EXPECT_EQ(s.stopLossTicks, 5);
  EXPECT_EQ(s.takeProfitTicks, 0);
  EXPECT_EQ(s.breakEvenTicks, -2);
  const std::vector<std::string> row = tarn::AutoCoverRowTexts(s, choices);
  EXPECT_EQ(row, (std::vector<std::string>{TXT("同码品种(rb)"), "5", "", "", ""}));
  s.exchange = "CZCE";
  EXPECT_EQ(tarn::AutoCoverRowTexts(s, choices)[0], "(rb)");
}

}  // namespace
