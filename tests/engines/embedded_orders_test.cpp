// The order engines on the embedded exchange with its paper-trading broker, driven by the
// manual clock: an opening order fills, CAutoCover attaches a stop, the market crosses it, the
// closing market order goes out and the position is gone; an OCO pair fires one leg and never
// the other.
#include <gtest/gtest.h>

#include <mutex>

#include "data/data_listener.h"
#include "engines/auto_cover.h"
#include "engines/oco_order.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "support/test_support.h"

namespace tarn::test {
namespace {

// 2025-12-08 10:00 exchange time, a Monday.
constexpr int64_t kMonday = 1765159200000LL;

class QuoteLogin : public CDataListener {
 public:
  ~QuoteLogin() override { Detach(); }
  void OnLoginResult(int code, const std::string&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class TradeLogin : public CTradeListener {
 public:
  TradeLogin() : CTradeListener(false) { StartListening(); }
  ~TradeLogin() override { StopListening(); }
  void OnTradeLogin(int code, const std::string&, const AccountTexts&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class EmbeddedOrders : public ::testing::Test {
 protected:
  void SetUp() override {
    quotedata::EmbeddedOptions q;
    q.seed = 5;
    q.historyDays = 30;
    q.manualClock = &clock;
    q.dataDir = home.path() + "/user/exchange";
    quotes = quotedata::CreateEmbedded(q);
    tradeapi::EmbeddedTradeOptions t;
    t.exchange = &quotes->Exchange();
    t.broker.hashCost = exchange::HashCost::Minimal;
    trades = tradeapi::CreateEmbedded(t);
    tradeLogin.StartListening();  // the library exists only now
    quoteLogin.Register();
    quotes->Center().Login(quoteLogin.Handle(), QuoteLoginParams{"opers", "472quark918", "tarn-embedded", 0});
    quotes->WaitDelivered();
    {
      std::lock_guard<std::mutex> lock(quoteLogin.m);
      ASSERT_EQ(quoteLogin.last, 1);
    }
    GetTradeApi()->Login(AccountTexts{"", "8001", "888888"}, "tarn-embedded", 7200, "tarn-embedded", 7200);
    Wait();
    std::lock_guard<std::mutex> lock(tradeLogin.m);
    ASSERT_EQ(tradeLogin.last, 1);
  }
  void TearDown() override {
    quoteLogin.Detach();
    tradeLogin.StopListening();
    trades.reset();
    quotes.reset();
  }
  void Wait() {
    quotes->WaitDelivered();
    trades->WaitDelivered();
  }
  void Step(int steps = 1) {
    for (int i = 0; i < steps; ++i) quotes->Advance(500);
    Wait();
  }
  DC_Contract Contract(const char* key) {
    DC_Contract c{};
    EXPECT_GT(quotes->Center().FindContract(&c, key), 0) << key;
    return c;
  }
  // A commodity's main month ("EXCHANGE|code"), from the library's "HOT" list.
  DC_Contract MainMonth(const std::string& prefix) {
    const int n = quotes->Center().GetContracts(nullptr, 0, "HOT");
    std::vector<DC_Contract> list(static_cast<std::size_t>(std::max(n, 0)));
    quotes->Center().GetContracts(list.data(), n, "HOT");
    for (const DC_Contract& c : list) {
      const std::string_view key = c.Key();
      if (key.substr(0, prefix.size()) == prefix && key.size() > prefix.size() && key[prefix.size()] >= '0' &&
          key[prefix.size()] <= '9')
        return c;
    }
    return DC_Contract{};
  }
  double Last(const DC_Contract& c) {
    DC_Quote q{};
    quotes->Center().SubscribeQuote(NotifyHandle(), &c, &q, 1);
    return q.data.last;
  }
  std::vector<OrderRecord> OrdersOf(const DC_Contract& c) {
    std::vector<OrderRecord> all, out;
    GetTradeApi()->GetOrders(all);
    for (const OrderRecord& o : all)
      if (o.contract.SameKey(c)) out.push_back(o);
    return out;
  }
  int64_t Held(const DC_Contract& c) {
    std::vector<PositionRecord> positions;
    GetTradeApi()->GetPositions(positions);
    int64_t n = 0;
    for (const PositionRecord& p : positions)
      if (p.contract.SameKey(c)) n += p.longQuantity + p.shortQuantity;
    return n;
  }
  static OrderRecord Market(const DC_Contract& c, int direction, int offset, int quantity) {
    OrderRecord o = ZeroRecord<OrderRecord>();
    o.contract = c;
    o.direction = direction;
    o.offset = offset;
    o.quantity = quantity;
    o.priceType = 1;
    return o;
  }

  ScopedHome home;
  ManualClock clock{kMonday};
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  std::unique_ptr<tradeapi::EmbeddedTradeLibrary> trades;
  QuoteLogin quoteLogin;
  TradeLogin tradeLogin;
};

TEST_F(EmbeddedOrders, AFilledOpeningOrderGetsAStopThatClosesThePositionWhenTheMarketCrossesIt) {
  ScopedEngine<CAutoCover> stops;
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 2;
  s.takeProfitTicks = 2;  // whichever way the market goes, two ticks close it
  stops->AddOrReplaceSetting(s);
  stops->SetEnabled(true);
  const DC_Contract month = MainMonth("SHFE|rb");
  ASSERT_FALSE(month.Empty());
  Step();
  ASSERT_GT(GetTradeApi()->InsertOrder(Market(month, 1, 1, 2)), 0);
  Step();
  ASSERT_EQ(Held(month), 2);
  ASSERT_EQ(stops->StopCount(), 1u);  // made by the fill, on the trading library's thread
  EXPECT_TRUE(stops->IsSubscribed(month.Key()));
  for (int i = 0; i < 2000 && Held(month) > 0; ++i) Step();
  EXPECT_EQ(Held(month), 0) << "the market never crossed the levels";
  const std::vector<OrderRecord> orders = OrdersOf(month);
  ASSERT_EQ(orders.size(), 2u);
  const OrderRecord& close = orders[0].offset == 1 ? orders[1] : orders[0];
  EXPECT_EQ(close.direction, 2);
  EXPECT_EQ(close.offset, 3);  // today's lots on SHFE close with "平今"
  EXPECT_EQ(close.priceType, 1);
  EXPECT_EQ(close.quantity, 2);
  EXPECT_EQ(close.state, 4);
  // The position is gone: so is the stop.
  EXPECT_EQ(stops->StopCount(), 0u);
  std::vector<AutoCoverStop> active;
  stops->CopyActiveStops(active);
  EXPECT_TRUE(active.empty());
}

TEST_F(EmbeddedOrders, AnOcoPairFiresOneLegAndNeverTheOther) {
  ScopedEngine<COCOOrderMgr> ocos;
  const DC_Contract month = MainMonth("SHFE|cu");
  ASSERT_FALSE(month.Empty());
  Step();
  const double last = Last(month);
  ASSERT_GT(last, 0);
  const DC_Commodity* commodity = CommodityOf(month);
  ASSERT_NE(commodity, nullptr);
  OcoOrder o;
  o.contract = month;
  o.price1 = last + commodity->tickSize / 2;  // the first move either way breaks a level
  o.price2 = last - commodity->tickSize / 2;
  o.directionA = 1;
  o.offsetA = 1;
  o.directionB = 2;
  o.offsetB = 1;
  o.quantity = 1;
  const int id = ocos->Add(o);
  int state = 0;
  for (int i = 0; i < 2000 && state == 0; ++i) {
    Step();
    std::vector<OcoOrder> all;
    ocos->CopyAll(all);
    state = all.at(0).state;
  }
  ASSERT_NE(state, 0) << "the market never moved";
  Step(200);  // the price wanders past the other level too
  std::vector<OcoOrder> all;
  ocos->CopyAll(all);
  EXPECT_EQ(all.at(0).id, id);
  EXPECT_EQ(all[0].state, state);
  const std::vector<OrderRecord> orders = OrdersOf(month);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].direction, state == 1 ? 1 : 2);
  EXPECT_EQ(orders[0].offset, 1);
  EXPECT_EQ(orders[0].priceType, 1);
  EXPECT_EQ(orders[0].state, 4);
  EXPECT_EQ(Held(month), 1);
}

}  // namespace
}  // namespace tarn::test
