// Quote and trade threads drive the engines while the UI thread adds, modifies, removes and
// copies: no crash, no deadlock, and the books balance afterwards (each OCO pair sent at most
// one leg, exactly one when it fired; every alert message logged once and heard once). Run
// under the thread sanitizer with ./scripts/sanitize.sh thread.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "engine_fakes.h"
#include "engines/alert_center.h"
#include "engines/auto_cover.h"
#include "engines/combol_quote.h"
#include "engines/oco_order.h"
#include "support/test_support.h"

namespace {

using namespace tarn::test;

class LockedTradeApi : public FakeTradeApi {
 public:
  int InsertOrder(OrderRecord o) override {
    std::lock_guard<std::mutex> lock(mu);
    inserted.push_back(o);
    return 1;
  }
  void GetPositions(std::vector<PositionRecord>& out) override {
    std::lock_guard<std::mutex> lock(mu);
    out = positions;
  }
  std::mutex mu;
};

struct AlertEar : IQuoteAlertListener {
  AlertEar() : IQuoteAlertListener(true) {}
  ~AlertEar() override { StopListening(); }
  void OnQuoteAlert(const DC_Contract&, const std::string&) override { ++heard; }
  std::atomic<int> heard{0};
};
struct OcoEar : IOCOOrderNotify {
  OcoEar() : IOCOOrderNotify(true) {}
  ~OcoEar() override { StopListening(); }
  void OnOcoOrderChanged(const OcoOrder&) override { ++heard; }
  std::atomic<int> heard{0};
};
struct StopEar : IAutoCoverNotify {
  StopEar() : IAutoCoverNotify(true) {}
  ~StopEar() override { StopListening(); }
  void OnAutoCoverChanged() override { ++heard; }
  std::atomic<int> heard{0};
};
struct CombolEar : ICombolQuoteListener {
  void OnCombolQuote(double, const CombolStrategy&, double, double, double) override { ++heard; }
  std::atomic<int> heard{0};
};

TEST(EngineConcurrency, QuoteTradeAndUiThreadsTogether) {
  ScopedHome home;
  EngineQuoteCenter quotes;
  LockedTradeApi trade;
  quotes.AddCommodity(10, 1, "rb", "rb", 1.0, 0);
  std::vector<DC_Contract> contracts;
  for (int i = 0; i < 8; ++i) contracts.push_back(quotes.AddContract(tarn::Format("SHFE|rb26%02d", i + 1), 10));

  tarn::ScopedEngine<CAlertCenter> alerts;
  tarn::ScopedEngine<COCOOrderMgr> ocos;
  tarn::ScopedEngine<CAutoCover> stops;
  AutoCoverSetting setting;
  setting.commodity = "rb";
  setting.exchange = "SHFE";
  setting.stopLossTicks = 3;
  setting.trailingTicks = 2;
  setting.breakEvenTicks = 4;
  stops->AddOrReplaceSetting(setting);
  stops->SetEnabled(true);
  AlertEar alertEar;
  OcoEar ocoEar;
  StopEar stopEar;
  CombolEar combolEar;
  CCombolQuoteClient combos(&combolEar);
  for (const DC_Contract& c : contracts) {
    QuoteAlert a{};
    a.contract = c;
    a.upperPrice = 3600;
    a.volumeLimit = 500;
    alerts->AddOrReplace(a);
  }
  {
    std::lock_guard<std::mutex> lock(trade.mu);
    for (const DC_Contract& c : contracts) trade.positions.push_back(Position(c, 5, 5));
  }

  std::atomic<bool> done{false};
  auto quoteThread = [&](unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < 6000; ++i) {
      const DC_Contract& c = contracts[rng() % contracts.size()];
      DC_Quote q = QuoteAt(c, 3500 + static_cast<int>(rng() % 200));
      q.data.volume = i / 10;
      q.data.bidPrice[0] = q.data.last - 1;
      q.data.askPrice[0] = q.data.last + 1;
      quotes.DeliverQuote(q);
    }
  };
  std::thread q1(quoteThread, 1), q2(quoteThread, 2);
  std::thread tradeThread([&] {
    int n = 0;
    while (!done) {
      const DC_Contract& c = contracts[n % contracts.size()];
      OrderRecord o = FilledOpen(tarn::Format("o%d", n), c, 1 + n % 2, 1 + n % 9, 3550);
      trade.Notify([&](ITradeNotify* l) { l->OnOrder(&o, AccountTexts{}); });
      if (n % 7 == 0) trade.Notify([&](ITradeNotify* l) { l->OnPositions(AccountTexts{}, true); });
      ++n;
      std::this_thread::yield();
    }
  });

  // The UI thread.
  std::mt19937 rng(3);
  std::vector<int> ocoIds;
  for (int round = 0; round < 400; ++round) {
    const std::size_t ci = rng() % contracts.size();
    const DC_Contract& c = contracts[ci];
    OcoOrder o;
    o.contract = c;
    o.price1 = 3550 + static_cast<int>(rng() % 100);
    o.price2 = o.price1 - 60;
    o.quantity = 1000 + round + 1;  // the id it will get: the order tells which pair sent it
    const int id = ocos->Add(o);
    ASSERT_EQ(id, round + 1);
    ocoIds.push_back(id);
    OcoOrder edit = o;
    edit.id = id;
    edit.quantity = 1000 + id;
    ocos->Modify(edit);
    if (round % 5 == 0) ocos->Cancel(ocoIds[rng() % ocoIds.size()]);
    std::vector<OcoOrder> copy;
    ocos->CopyAll(copy);

    QuoteAlert a{};
    a.contract = c;
    a.upperPrice = 3550 + static_cast<int>(rng() % 100);
    if (round % 3 == 0) alerts->Remove(a);
    alerts->AddOrReplace(a);
    std::vector<QuoteAlert> alertCopy;
    alerts->CopyAlerts(alertCopy);
    std::vector<AlertLogEntry> history;
    alerts->CopyHistory(history);

    std::vector<AutoCoverStop> active;
    stops->CopyActiveStops(active);
    if (round % 50 == 0) stops->SetEnabled(round % 100 != 0);
    if (round % 20 == 0) stops->AddOrReplaceSetting(setting);

    CombolStrategy s{};
    s.legs[0].contract = c;
    s.legs[0].direction = 1;
    s.legs[0].lots = 1;
    s.legs[1].contract = contracts[(ci + 1 + rng() % (contracts.size() - 1)) % contracts.size()];
    s.legs[1].direction = 2;
    s.legs[1].lots = 1;
    tarn::SetField(s.formula, "(A+B)/2-A*3");
    combos.Toggle(s);
    double last, bid, ask;
    combos.CurrentValues(s, &last, &bid, &ask);
  }
  q1.join();
  q2.join();
  done = true;
  tradeThread.join();

  // Each pair sent at most one leg, and one exactly when it fired.
  std::vector<OcoOrder> all;
  ocos->CopyAll(all);
  std::map<int, int> sent;
  {
    std::lock_guard<std::mutex> lock(trade.mu);
    for (const OrderRecord& o : trade.inserted)
      if (o.quantity > 1000) ++sent[o.quantity - 1000];
  }
  int fired = 0;
  for (const OcoOrder& o : all) {
    const bool didFire = o.state == 1 || o.state == 2;
    fired += didFire;
    EXPECT_EQ(sent[o.id], didFire ? 1 : 0) << "pair " << o.id << " state " << o.state;
  }
  EXPECT_GT(fired, 0);
  std::vector<AlertLogEntry> history;
  alerts->CopyHistory(history);
  EXPECT_GT(history.size(), 0u);
  EXPECT_EQ(static_cast<std::size_t>(alertEar.heard.load()), history.size());
  EXPECT_GT(combolEar.heard.load(), 0);
}

}  // namespace
