// The quote alert engine: the trigger check with its five limits and messages, one sound and
// one save per update, firing once across restarts, replacing and removing, the alert file
// (versions, damage, atomic replacement) and what the alert windows show.
#include <gtest/gtest.h>

#include <mutex>

#include "engine_fakes.h"
#include "engines/alert_center.h"
#include "engines/alert_forms.h"
#include "platform/archive.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/sound.h"
#include "support/test_support.h"

namespace {

using namespace tarn::test;

class Heard : public IQuoteAlertListener {
 public:
  Heard() : IQuoteAlertListener(true) {}
  ~Heard() override { StopListening(); }
  void OnQuoteAlert(const DC_Contract& c, const std::string& m) override {
    std::lock_guard<std::mutex> lock(mu);
    keys.emplace_back(c.Key());
    messages.push_back(m);
  }
  std::mutex mu;
  std::vector<std::string> keys, messages;
};

class AlertTest : public ::testing::Test {
 protected:
  AlertTest() {
    quotes.AddCommodity(10, 1, "rb", TXT("螺纹钢"), 1.0, 0);
    quotes.AddCommodity(11, 1, "au", TXT("黄金"), 0.02, 2);
    rb = quotes.AddContract("SHFE|rb2601", 10, TXT("螺纹2601"));
    au = quotes.AddContract("SHFE|au2602", 11, TXT("黄金2602"));
    tarn::SetClock(&clock);
    WriteFile(home.Native("\\sound\\trade\\0.wav"), "RIFF");
  }
  ~AlertTest() override { tarn::SetClock(nullptr); }

  std::string FileBytes() { return ReadFile(home.Native("\\config\\alertdata.dat")); }
  QuoteAlert Alert(const DC_Contract& c) {
    QuoteAlert a{};
    a.contract = c;
    return a;
  }
  void Quote(const DC_Contract& c, double last, int lastQty = 0, int volume = 0, int oi = 0) {
    DC_Quote q = QuoteAt(c, last);
    q.data.lastQuantity = lastQty;
    q.data.volume = volume;
    q.data.openInterest = oi;
    alerts->OnQuote(0, &q);
  }
  std::vector<AlertLogEntry> History() {
    std::vector<AlertLogEntry> h;
    alerts->CopyHistory(h);
    return h;
  }
  QuoteAlert Stored(std::size_t i = 0) {
    std::vector<QuoteAlert> list;
    alerts->CopyAlerts(list);
    return list.at(i);
  }

  ScopedHome home;
  tarn::ManualClock clock{1767225600000};  // 2026-01-01 00:00 UTC
  EngineQuoteCenter quotes;
  tarn::SoundRecorder sounds;
  DC_Contract rb, au;
  tarn::ScopedEngine<CAlertCenter> alerts;
};

TEST_F(AlertTest, PriceLimitsFireAtEqualityWithTheirMessages) {
  Heard heard;
  QuoteAlert a = Alert(au);
  a.upperPrice = 600.50;
  alerts->AddOrReplace(a);
  Quote(au, 600.48);
  EXPECT_TRUE(heard.messages.empty());
  Quote(au, 600.50);
  ASSERT_EQ(heard.messages.size(), 1u);
  EXPECT_EQ(heard.messages[0], TXT("黄金2602达到价格上限600.50\r\n当前价格:600.50"));
  EXPECT_EQ(heard.keys[0], "SHFE|au2602");

  QuoteAlert b = Alert(rb);
  b.lowerPrice = 3500;
  alerts->AddOrReplace(b);
  Quote(rb, 3500);
  ASSERT_EQ(heard.messages.size(), 2u);
  EXPECT_EQ(heard.messages[1], TXT("螺纹2601达到价格下限3500,\r\n当前价格；3500"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].colour, 255);
  EXPECT_EQ(History()[1].time, 1767225600);
}

TEST_F(AlertTest, NoTradeYetNeverFiresAPriceAlertAndOtherStatusesAreIgnored) {
  Heard heard;
  QuoteAlert a = Alert(rb);
  a.lowerPrice = 3500;  // a last price of 0 would be "below" it
  alerts->AddOrReplace(a);
  Quote(rb, 0);
  DC_Quote q = QuoteAt(rb, 3000);
  alerts->OnQuote(1, &q);
  alerts->OnQuote(0, nullptr);
  EXPECT_TRUE(heard.messages.empty());
  EXPECT_EQ(Stored().lowerFired, 0);
}

TEST_F(AlertTest, BothPricesInOneUpdateGiveTwoMessagesOneSoundAndOneSave) {
  Heard heard;
  QuoteAlert a = Alert(rb);
  a.upperPrice = 3500;
  a.lowerPrice = 3600;  // the lower limit above the upper one: both hold at 3550
  alerts->AddOrReplace(a);
  int saves = 0;
  tarn::SetFileFaultHook([&](tarn::FileStep s) {
    if (s == tarn::FileStep::Rename) ++saves;
    return false;
  });
  sounds.Clear();
  Quote(rb, 3550);
  tarn::SetFileFaultHook(nullptr);
  EXPECT_EQ(heard.messages.size(), 2u);
  EXPECT_EQ(History().size(), 2u);
  EXPECT_EQ(sounds.Played().size(), 1u);
  EXPECT_EQ(sounds.Played()[0], home.Native("\\sound\\trade\\0.wav"));
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(Stored().upperFired, 1);
  EXPECT_EQ(Stored().lowerFired, 1);
}

TEST_F(AlertTest, QuantityLimitsAndTheSoundSwitch) {
  Heard heard;
  QuoteAlert a = Alert(rb);
  a.lastQtyLimit = 1;  // a limit of 1 works (the list shows it blank)
  a.volumeLimit = 5000;
  a.openInterestLimit = 100000;
  alerts->AddOrReplace(a);
  alerts->SetSound(false);
  sounds.Clear();
  Quote(rb, 3550, 1, 4999, 99999);
  ASSERT_EQ(heard.messages.size(), 1u);
  EXPECT_EQ(heard.messages[0], TXT("螺纹2601现手达到1"));
  Quote(rb, 3550, 0, 5000, 100001);
  ASSERT_EQ(heard.messages.size(), 3u);
  EXPECT_EQ(heard.messages[1], TXT("螺纹2601成交量达到5000"));
  EXPECT_EQ(heard.messages[2], TXT("螺纹2601持仓量达到100000"));
  EXPECT_TRUE(sounds.Played().empty());
  // The sound file missing: no sound and no complaint.
  alerts->SetSound(true);
  std::remove(home.Native("\\sound\\trade\\0.wav").c_str());
  QuoteAlert b = Alert(au);
  b.volumeLimit = 1;
  alerts->AddOrReplace(b);
  Quote(au, 600, 0, 7);
  EXPECT_EQ(heard.messages.size(), 4u);
  EXPECT_TRUE(sounds.Played().empty());
}

TEST_F(AlertTest, ALimitFiresOnceAcrossRestartsAndModifyButReArmsAfterDeleteAndAdd) {
  Heard heard;
  QuoteAlert a = Alert(rb);
  a.upperPrice = 3600;
  alerts->AddOrReplace(a);
  Quote(rb, 3610);
  Quote(rb, 3620);
  EXPECT_EQ(heard.messages.size(), 1u);
  {
    // A restart: a new engine reads the file; the limit is still fired.
    tarn::ScopedEngine<CAlertCenter> restarted;
    Heard again;
    restarted->Load();
    std::vector<QuoteAlert> list;
    restarted->CopyAlerts(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].upperFired, 1);
    EXPECT_EQ(list[0].contract.Name(), TXT("螺纹2601"));  // the contract comes from the library
    DC_Quote q = QuoteAt(rb, 3700);
    restarted->OnQuote(0, &q);
    EXPECT_TRUE(again.messages.empty());
  }
  // Modify: the dialog edits a copy with its flags, add-or-replace keeps them.
  QuoteAlert copy = Stored();
  copy.upperPrice = 3650;
  alerts->AddOrReplace(copy);
  Quote(rb, 3700);
  EXPECT_EQ(heard.messages.size(), 1u);
  // Delete and add a fresh alert: armed again.
  alerts->Remove(copy);
  QuoteAlert fresh = Alert(rb);
  fresh.upperPrice = 3650;
  alerts->AddOrReplace(fresh);
  Quote(rb, 3700);
  EXPECT_EQ(heard.messages.size(), 2u);
}

TEST_F(AlertTest, AddingForAContractWithAnAlertReplacesItAndTheFirstInListOrderIsChecked) {
  QuoteAlert a = Alert(rb);
  a.upperPrice = 4000;
  alerts->AddOrReplace(a);
  a.upperPrice = 3600;
  alerts->AddOrReplace(a);
  EXPECT_EQ(alerts->AlertCount(), 1u);
  EXPECT_DOUBLE_EQ(Stored().upperPrice, 3600);
  // A file holding the same contract twice: only the first record is tested.
  tarn::ArchiveWriter w;
  w.Int32(2);
  w.Int32(1);
  w.Int32(3);
  auto record = [&](const std::string& key, double upper) {
    w.String(key);
    w.Double(upper);
    w.Double(0);
    w.Int64(0);
    w.Int64(0);
    w.Int64(0);
    for (int i = 0; i < 5; ++i) w.Int32(0);
  };
  record("SHFE|rb2601", 5000);
  record("SHFE|au2602", 700);
  record("SHFE|rb2601", 3000);
  WriteFile(home.Native("\\config\\alertdata.dat"), w.Data());
  alerts->Load();
  EXPECT_EQ(alerts->AlertCount(), 3u);
  Heard heard;
  Quote(rb, 3500);
  EXPECT_TRUE(heard.messages.empty());
  Quote(rb, 5000);
  EXPECT_EQ(heard.messages.size(), 1u);
  EXPECT_EQ(Stored(0).upperFired, 1);
  EXPECT_EQ(Stored(2).upperFired, 0);
  // Removing by key takes both records of the contract.
  alerts->Remove(Alert(rb));
  EXPECT_EQ(alerts->AlertCount(), 1u);
  EXPECT_EQ(Stored(0).contract.Key(), "SHFE|au2602");
  Quote(au, 701);
  EXPECT_EQ(heard.messages.size(), 2u);  // the index follows the shifted list
}

TEST_F(AlertTest, FileRoundTripAndVersionOne) {
  QuoteAlert a = Alert(au);
  a.upperPrice = 612.34;
  a.lowerPrice = 590.02;
  a.lastQtyLimit = 10;
  a.volumeLimit = 1LL << 40;
  a.openInterestLimit = 7;
  a.lowerFired = 1;
  alerts->AddOrReplace(a);
  alerts->SetSound(false);
  const std::string bytes = FileBytes();
  EXPECT_EQ(bytes.size(), 12u + 1 + 11 + 60);
  const tarn::AlertFileContents f = tarn::ParseAlertFile(bytes);
  ASSERT_TRUE(f.complete);
  EXPECT_EQ(f.version, 2);
  EXPECT_EQ(f.soundOn, 0);
  ASSERT_EQ(f.records.size(), 1u);
  EXPECT_EQ(f.records[0].key, "SHFE|au2602");
  EXPECT_EQ(f.records[0].alert.volumeLimit, 1LL << 40);
  EXPECT_EQ(f.records[0].alert.lowerFired, 1);
  tarn::ScopedEngine<CAlertCenter> other;
  other->Load();
  EXPECT_FALSE(other->SoundOn());

  // Version 1 has no sound field: the sound stays on.
  tarn::ArchiveWriter w;
  w.Int32(1);
  w.Int32(1);
  w.String("SHFE|rb2601");
  w.Double(3600);
  w.Double(0);
  for (int i = 0; i < 3; ++i) w.Int64(0);
  for (int i = 0; i < 5; ++i) w.Int32(0);
  WriteFile(home.Native("\\config\\alertdata.dat"), w.Data());
  tarn::ScopedEngine<CAlertCenter> v1;
  v1->Load();
  EXPECT_TRUE(v1->SoundOn());
  ASSERT_EQ(v1->AlertCount(), 1u);
}

TEST_F(AlertTest, UnknownContractsAreDroppedAndVanishAtTheNextSave) {
  tarn::ArchiveWriter w;
  w.Int32(2);
  w.Int32(1);
  w.Int32(2);
  for (const char* key : {"SHFE|xx9901", "SHFE|rb2601"}) {
    w.String(key);
    w.Double(3600);
    w.Double(0);
    for (int i = 0; i < 3; ++i) w.Int64(0);
    for (int i = 0; i < 5; ++i) w.Int32(0);
  }
  WriteFile(home.Native("\\config\\alertdata.dat"), w.Data());
  alerts->Load();
  ASSERT_EQ(alerts->AlertCount(), 1u);
  EXPECT_TRUE(alerts->IsSubscribed("SHFE|rb2601"));
  EXPECT_EQ(tarn::ParseAlertFile(FileBytes()).records.size(), 2u);  // nothing written yet
  alerts->SetSound(true);
  const auto f = tarn::ParseAlertFile(FileBytes());
  ASSERT_EQ(f.records.size(), 1u);
  EXPECT_EQ(f.records[0].key, "SHFE|rb2601");
}

TEST_F(AlertTest, DamagedFilesLoadWhatCanBeReadAndNeverOverAllocate) {
  QuoteAlert a = Alert(rb);
  a.upperPrice = 3600;
  alerts->AddOrReplace(a);
  QuoteAlert b = Alert(au);
  b.lowerPrice = 500;
  alerts->AddOrReplace(b);
  const std::string good = FileBytes();
  // Truncated inside the second record: the first stays.
  WriteFile(home.Native("\\config\\alertdata.dat"), good.substr(0, good.size() - 5));
  alerts->Load();
  ASSERT_EQ(alerts->AlertCount(), 1u);
  EXPECT_EQ(Stored().contract.Key(), "SHFE|rb2601");
  const auto cut = tarn::ParseAlertFile(good.substr(0, good.size() - 5));
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(cut.damagedRecordAt, 12u + 1 + 11 + 60);
  EXPECT_EQ(cut.failedAt, 12u + 2 * (1 + 11 + 60) - 8);  // the last flag but one starts there
  // A count of two billion over two records: both load, nothing is reserved for the rest.
  std::string huge = good;
  const int32_t big = 0x7FFFFFFF;
  std::memcpy(huge.data() + 8, &big, 4);
  const auto h = tarn::ParseAlertFile(huge);
  EXPECT_EQ(h.records.size(), 2u);
  EXPECT_LE(h.records.capacity(), 2u);
  WriteFile(home.Native("\\config\\alertdata.dat"), huge);
  alerts->Load();
  EXPECT_EQ(alerts->AlertCount(), 2u);
  // Garbage: nothing loads; the sound flag reads as 0/1.
  WriteFile(home.Native("\\config\\alertdata.dat"), std::string("\x07\x00\x00\x00\x05\x00\x00\x00\xff\xff\xff", 11));
  alerts->Load();
  EXPECT_EQ(alerts->AlertCount(), 0u);
  EXPECT_TRUE(alerts->SoundOn());
  // A key longer than a contract key (or with a NUL in it) names no contract.
  tarn::ArchiveWriter w;
  w.Int32(2);
  w.Int32(1);
  w.Int32(2);
  for (std::string key : {std::string("SHFE|rb2601") + std::string(30, 'x'), std::string("SHFE|rb2601\0x", 13)}) {
    w.String(key);
    w.Double(3600);
    w.Double(0);
    for (int i = 0; i < 3; ++i) w.Int64(0);
    for (int i = 0; i < 5; ++i) w.Int32(0);
  }
  WriteFile(home.Native("\\config\\alertdata.dat"), w.Data());
  alerts->Load();
  EXPECT_EQ(alerts->AlertCount(), 0u);
}

TEST_F(AlertTest, AFailedSaveLeavesTheOldFile) {
  QuoteAlert a = Alert(rb);
  a.upperPrice = 3600;
  alerts->AddOrReplace(a);
  const std::string before = FileBytes();
  for (tarn::FileStep step : {tarn::FileStep::Open, tarn::FileStep::Write, tarn::FileStep::Sync, tarn::FileStep::Rename}) {
    tarn::SetFileFaultHook([step](tarn::FileStep s) { return s == step; });
    QuoteAlert b = Alert(au);
    b.upperPrice = 700;
    alerts->AddOrReplace(b);
    tarn::SetFileFaultHook(nullptr);
    EXPECT_EQ(FileBytes(), before);
    alerts->Remove(b);
  }
}

TEST_F(AlertTest, AListenerMayCallTheEngineFromItsNotification) {
  struct Reader : IQuoteAlertListener {
    Reader() : IQuoteAlertListener(true) {}
    ~Reader() override { StopListening(); }
    void OnQuoteAlert(const DC_Contract&, const std::string&) override {
      CAlertCenter::Instance().CopyHistory(seen);
    }
    std::vector<AlertLogEntry> seen;
  } reader;
  QuoteAlert a = Alert(rb);
  a.upperPrice = 3600;
  a.volumeLimit = 10;
  alerts->AddOrReplace(a);
  Quote(rb, 3600, 0, 10);
  EXPECT_EQ(reader.seen.size(), 2u);  // both entries were logged before any listener heard
}

TEST(AlertForms, DialogBoxesAndListRows) {
  QuoteAlert a{};
  tarn::SetField(a.contract.code, "au2602");
  tarn::SetField(a.contract.name, TXT("黄金2602"));
  a.upperPrice = 612.3;
  a.volumeLimit = 1;
  tarn::AlertInputTexts t = tarn::AlertInputFor(a, 2);
  EXPECT_EQ(t.upperPrice, "612.30");
  EXPECT_EQ(t.lowerPrice, "");
  EXPECT_EQ(t.volume, "1");
  EXPECT_EQ(t.lastQty, "");

  a.upperFired = 1;
  a.volumeFired = 1;
  t.lowerPrice = "abc";
  t.lastQty = " 25x";
  t.openInterest = "99999999999999999999";
  t.volume = "";
  QuoteAlert b = tarn::ApplyAlertInput(a, t);
  EXPECT_DOUBLE_EQ(b.upperPrice, 612.30);
  EXPECT_EQ(b.lowerPrice, 0);
  EXPECT_EQ(b.lastQtyLimit, 25);
  EXPECT_EQ(b.volumeLimit, 0);
  EXPECT_EQ(b.openInterestLimit, INT64_MAX);
  EXPECT_EQ(b.upperFired, 1);  // flags stay
  EXPECT_EQ(tarn::ParseDecimalText("inf"), 0);
  EXPECT_EQ(tarn::ParseDecimalText("-1.5e2x"), -150);

  std::vector<std::string> row = tarn::AlertRowTexts(a, 2);
  ASSERT_EQ(row.size(), 8u);
  EXPECT_EQ(row[0], "au2602");
  EXPECT_EQ(row[2], TXT("612.30 √"));
  EXPECT_EQ(row[3], "");
  EXPECT_EQ(row[5], "");  // a quantity limit of 1 shows blank, so its mark does not show
  EXPECT_EQ(row[7], TXT("(已触发)"));
  a.upperFired = 0;
  EXPECT_EQ(tarn::AlertRowTexts(a, 2)[7], TXT("(未触发)"));
  a.openInterestLimit = 2;
  EXPECT_EQ(tarn::AlertRowTexts(a, 2)[6], "2");
  EXPECT_EQ(tarn::AlertColumnTitles()[5], TXT("成交量上限"));
}

TEST(AlertForms, HistoryTextAndTipModel) {
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  std::vector<AlertLogEntry> h = {{"one", 255, 1767225600}, {"two\r\nlines", 255, 1767225661}};
  EXPECT_EQ(tarn::AlertHistoryText(h),
            "==============================\r\n\r\n2026-01-01 08:00:00\r\none\r\n\r\n"
            "==============================\r\n\r\n2026-01-01 08:01:01\r\ntwo\r\nlines\r\n\r\n");
  tarn::AlertTipModel tip;
  EXPECT_EQ(tip.CurrentEntry(), nullptr);
  tip.Add("a", 1767225600);
  tip.Add("b", 1767225601);
  tip.Add("c", 1767225602);
  EXPECT_EQ(tip.PositionText(), "3/3");
  EXPECT_FALSE(tip.CanGoForward());
  tip.Back();
  tip.Back();
  tip.Back();
  EXPECT_EQ(tip.PositionText(), "1/3");
  EXPECT_FALSE(tip.CanGoBack());
  EXPECT_EQ(tip.CurrentEntry()->text, "a");
  EXPECT_EQ(tip.TimeText(), "2026-01-01 08:00:00");
  tip.Add("d", 1767225603);
  EXPECT_EQ(tip.PositionText(), "4/4");
}

}  // namespace
