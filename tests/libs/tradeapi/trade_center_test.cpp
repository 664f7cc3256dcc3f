// The trading library over the embedded broker: logins and their refusals, the dropped link,
// notifications in order on the library's thread, the records at the boundary, a local engine
// sending orders from inside notifications, condition and strategy orders, the account dialogs'
// answers, the contract bus, listener removal and persistence across a restart.
#include <atomic>
#include <chrono>
#include <cmath>

#include "data/data_listener.h"
#include "trade_fixture.h"

namespace tarn::test {
namespace {

using TradeApiTest = TradeTest;

TEST_F(TradeApiTest, ALoginReportsProgressThenSuccessOnTheLibrarysThread) {
  TradeRecorder r;
  EXPECT_FALSE(Api().IsReady());
  EXPECT_EQ(Login(r), 1);
  const auto logins = r.Of("login");
  ASSERT_GE(logins.size(), 3u);
  EXPECT_EQ(logins.front().text, TXT("正在连接交易服务器..."));
  for (std::size_t i = 0; i + 1 < logins.size(); ++i) EXPECT_EQ(logins[i].code, 0);
  EXPECT_EQ(logins.back().text, TXT("交易登录成功"));
  EXPECT_EQ(logins.back().account, "8001");
  EXPECT_TRUE(Api().IsReady());
  EXPECT_FALSE(r.Of("refresh").empty());
  for (const auto& e : r.All()) EXPECT_NE(e.thread, std::this_thread::get_id());
  std::vector<std::string> accounts;
  Api().GetAccounts(accounts);
  EXPECT_EQ(accounts, (std::vector<std::string>{"8001", "8002"}));
  std::vector<AccountTexts> info;
  AccountTexts current;
  Api().GetLoginInfo(info, current);
  EXPECT_EQ(info.size(), 2u);
  EXPECT_EQ(current.account, "8001");
  EXPECT_TRUE(current.password.empty());  // no password travels back
}

TEST_F(TradeApiTest, RefusedLoginsCarryATextAndLeaveTheLibraryNotReady) {
  TradeRecorder r;
  EXPECT_EQ(Login(r, "8001", "wrong"), -1);
  EXPECT_EQ(r.Of("login").back().text, TXT("账号或密码错误"));
  // Any other host is an exchange server on the network: none listens there.
  EXPECT_EQ(Login(r, "8001", "888888", "127.0.0.1"), -1);
  EXPECT_NE(r.Of("login").back().text.find("127.0.0.1:7200"), std::string::npos);
  trades->Link().SetRefuseLogins(true);
  EXPECT_EQ(Login(r), -1);
  EXPECT_EQ(r.Of("login").back().text, TXT("交易服务器拒绝登录"));
  EXPECT_FALSE(Api().IsReady());
  trades->Link().SetRefuseLogins(false);
  trades->Link().SetDelayMs(30);  // a slow link answers all the same
  EXPECT_EQ(Login(r), 1);
}

TEST_F(TradeApiTest, ADroppedLinkIsReportedAndALoginAgainBringsItBack) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  Step();
  Api().InsertOrder(Order(rb, 1, 1, 1));
  Wait();
  std::vector<OrderRecord> before;
  Api().GetOrders(before);
  ASSERT_EQ(before.size(), 1u);
  trades->Link().DropLink();
  Wait();
  EXPECT_EQ(r.Of("down").size(), 1u);
  EXPECT_FALSE(Api().IsReady());
  EXPECT_EQ(Api().InsertOrder(Order(rb, 1, 1, 1)), -1);
  std::vector<OrderRecord> during;
  Api().GetOrders(during);  // the lists as last read
  EXPECT_EQ(during.size(), 1u);
  EXPECT_EQ(Login(r), 1);
  EXPECT_TRUE(Api().IsReady());
  EXPECT_GT(Api().InsertOrder(Order(rb, 1, 1, 1)), 0);
}

TEST_F(TradeApiTest, AnOrdersNotificationsComeInOrderAndTheRecordsAddUp) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  Step();
  r.Clear();
  ASSERT_GT(Api().InsertOrder(Order(rb, 1, 1, 2)), 0);
  Wait();
  std::vector<std::string> seen;
  for (const auto& e : r.All()) seen.push_back(e.what + (e.what == "order" ? std::to_string(e.code) : ""));
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen[0], "order2");  // accepted
  const auto filled = std::find(seen.begin(), seen.end(), "order4");
  const auto fill = std::find(seen.begin(), seen.end(), "fill");
  const auto positions = std::find(seen.begin(), seen.end(), "positions");
  ASSERT_NE(filled, seen.end());
  EXPECT_LT(filled, fill);  // the order's OnOrder before the OnFill and OnPositions it caused
  EXPECT_LT(fill, positions);
  EXPECT_EQ(r.Of("positions").back().code, 1);  // complete

  std::vector<OrderRecord> orders;
  Api().GetOrders(orders);
  ASSERT_EQ(orders.size(), 1u);
  const OrderRecord& o = orders[0];
  EXPECT_EQ(o.state, 4);
  EXPECT_EQ(o.filledQuantity, 2);
  EXPECT_EQ(std::string(Field(o.accountText2)), "8001");
  EXPECT_GT(o.sequence, 0);
  std::vector<FillRecord> fills;
  Api().GetFills(fills);
  ASSERT_FALSE(fills.empty());
  // The fill notification carries the record the fills list holds.
  ASSERT_FALSE(r.Of("fill").empty());
  EXPECT_EQ(r.Of("fill").back().text, std::string(Field(fills.back().fillNumber)));
  EXPECT_EQ(r.Of("fill").back().code, fills.back().quantity);
  double value = 0;
  int lots = 0;
  for (const FillRecord& f : fills) {
    value += f.price * f.quantity;
    lots += f.quantity;
    EXPECT_GT(f.fee, 0);
  }
  EXPECT_NEAR(o.averageFillPrice, value / lots, 1e-9);
  std::vector<PositionRecord> positions2;
  Api().GetPositions(positions2);
  ASSERT_EQ(positions2.size(), 1u);
  const PositionRecord& p = positions2[0];
  EXPECT_EQ(p.longQuantity, 2);
  EXPECT_EQ(p.todayLong, 2);
  EXPECT_EQ(p.shortQuantity, 0);
  EXPECT_NEAR(p.longOpenAverage, o.averageFillPrice, 1e-9);
  EXPECT_GT(p.longMargin, 0);
  EXPECT_GT(p.currentPrice, 0);
  EXPECT_FALSE(p.PositionNumber().empty());
  std::vector<PositionDetail> details;
  Api().GetPositionDetails(details);
  ASSERT_EQ(details.size(), fills.size());
  EXPECT_EQ(std::string(Field(details[0].fillNumber)), std::string(Field(fills[0].fillNumber)));
  FundsRecord f{};
  ASSERT_EQ(Api().GetAccountFunds(f, "", "Base"), 1);
  EXPECT_EQ(std::string(Field(f.account)), "8001");
  EXPECT_NEAR(f.available, f.dynamicEquity - f.margin - f.frozen1 - f.frozen2, 1e-6);
  EXPECT_NEAR(f.dynamicEquity, f.previousEquity + f.netDeposit + f.closeProfit + f.positionProfit - f.fee, 1e-6);
  EXPECT_NEAR(f.margin, p.longMargin, 1e-9);
  FundsRecord usd{};
  ASSERT_EQ(Api().GetAccountFunds(usd, "", "USD"), 1);
  EXPECT_NEAR(usd.available, f.available / 7.1, 0.01);
  // The second account of the login is untouched; switching to it switches the lists.
  FundsRecord second{};
  ASSERT_EQ(Api().GetAccountFunds(second, "8002", "Base"), 1);
  EXPECT_DOUBLE_EQ(second.available, 200000.0);
  Api().SetCurrentAccount("8002");
  Wait();
  Api().GetPositions(positions2);
  EXPECT_TRUE(positions2.empty());
  EXPECT_EQ(Api().GetAccountFunds(f, "9999", "Base"), 0);
}

// What the local stop engines do: send from inside OnOrder and OnQuote.
class ClosingEngine : public TradeRecorder {
 public:
  void OnOrder(const OrderRecord* o, const AccountTexts& a) override {
    TradeRecorder::OnOrder(o, a);
    if (o->offset == 1 && o->state == 4 && !sent.exchange(true)) {
      OrderRecord close = *o;
      std::memset(close.key, 0, sizeof close.key);
      close.direction = o->direction == 1 ? 2 : 1;
      close.offset = 3;
      close.quantity = o->filledQuantity;
      close.priceType = 1;
      closeResult = GetTradeApi()->InsertOrder(close);
    }
  }
  std::atomic<bool> sent{false};
  std::atomic<int> closeResult{0};
};

class QuoteSender : public CDataListener {
 public:
  ~QuoteSender() override { Detach(); }
  int OnQuote(int, const DC_Quote* q) override {
    if (!sent.exchange(true)) {
      OrderRecord o = ZeroRecord<OrderRecord>();
      o.contract = q->contract;
      o.direction = 2;
      o.offset = 1;
      o.quantity = 1;
      o.priceType = 1;
      result = GetTradeApi()->InsertOrder(o);
    }
    return 0;
  }
  std::atomic<bool> sent{false};
  std::atomic<int> result{0};
};

TEST_F(TradeApiTest, ALocalEngineSendsOrdersFromInsideOnOrderAndOnQuote) {
  ClosingEngine engine;
  ASSERT_EQ(Login(engine), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  Step();
  ASSERT_GT(Api().InsertOrder(Order(rb, 1, 1, 1)), 0);
  Wait();
  EXPECT_TRUE(engine.sent.load());
  EXPECT_GT(engine.closeResult.load(), 0);
  std::vector<PositionRecord> positions;
  Api().GetPositions(positions);
  EXPECT_TRUE(positions.empty());  // opened and closed again from inside the notification

  QuoteSender sender;
  sender.Register();
  GetQuoteDataCenter()->Login(sender.Handle(), QuoteLoginParams{"opers", "472quark918", "tarn-embedded", 0});
  quotes->WaitDelivered();
  DC_Quote q{};
  ASSERT_EQ(GetQuoteDataCenter()->SubscribeQuote(sender.Handle(), &rb, &q, 1), 0);
  for (int i = 0; i < 20 && !sender.sent.load(); ++i) Step();
  quotes->WaitDelivered();
  Wait();
  EXPECT_GT(sender.result.load(), 0);
  Api().GetPositions(positions);
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].shortQuantity, 1);
  std::string why;
  EXPECT_TRUE(trades->Broker().CheckInvariants(&why)) << why;
}

TEST_F(TradeApiTest, RatesRulesCurrenciesAndRefusalsAtTheBoundary) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  const DC_Contract mm = Main("DCE", "m");
  const DC_Contract es = Main("CME", "ES");
  ContractRates rates{};
  ASSERT_EQ(Api().GetContractRates(rates, rb), 1);
  EXPECT_EQ(rates.marginMode, 1);
  EXPECT_DOUBLE_EQ(rates.marginValue, 0.09);
  EXPECT_EQ(rates.feeMode, 1);
  EXPECT_DOUBLE_EQ(rates.feeA, 0.00005);
  ASSERT_EQ(Api().GetContractRates(rates, mm), 1);
  EXPECT_EQ(rates.feeMode, 2);
  EXPECT_DOUBLE_EQ(rates.feeA, 2.0);
  EXPECT_EQ(Api().GetContractRates(rates, ZeroRecord<DC_Contract>()), 0);
  EXPECT_TRUE(Api().NeedsCloseToday(rb));
  EXPECT_TRUE(Api().NeedsCloseToday(Main("INE", "sc")));
  EXPECT_FALSE(Api().NeedsCloseToday(mm));
  EXPECT_DOUBLE_EQ(Api().GetCurrencyRate("Base"), 1.0);
  EXPECT_NEAR(Api().GetCurrencyRate("USD"), 1 / 7.1, 1e-12);
  EXPECT_DOUBLE_EQ(Api().GetCurrencyRate("XYZ"), 0.0);
  std::string text;
  Api().GetAccountText(text, std::string(rb.Key()));
  EXPECT_EQ(text, "CNY");
  Api().GetAccountText(text, std::string(es.Key()));
  EXPECT_EQ(text, "USD");
  Api().GetAccountText(text, "8002");
  EXPECT_EQ(text, TXT("演示账户二"));
  // A price between two ticks is refused, with its code and text in the record.
  Step();
  exchange::Snapshot s;
  quotes->Exchange().Get()->GetSnapshot(quotes->Exchange().Get()->GetCatalogue().Find(rb.Key()), s);
  r.Clear();
  Api().InsertOrder(Order(rb, 1, 1, 1, s.last + 0.5, false));
  Wait();
  ASSERT_FALSE(r.orders.empty());
  EXPECT_EQ(r.orders.back().state, 10);
  EXPECT_EQ(r.orders.back().errorCode, exchange::kErrTick);
  EXPECT_FALSE(r.Of("text").empty());
  // ClosePosition turns a record into closing orders: today's lots close today on SHFE.
  Api().InsertOrder(Order(rb, 2, 1, 3));
  Wait();
  std::vector<PositionRecord> positions;
  Api().GetPositions(positions);
  ASSERT_EQ(positions.size(), 1u);
  r.Clear();
  Api().ClosePosition(positions[0]);
  Wait();
  EXPECT_EQ(r.orders.front().offset, 3);
  EXPECT_EQ(r.orders.front().direction, 1);
  Api().GetPositions(positions);
  EXPECT_TRUE(positions.empty());
}

TEST_F(TradeApiTest, ConditionOrdersComeBackHiddenWaitingAndCancelled) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  Step();
  ConditionOrderRequest c = ZeroRecord<ConditionOrderRequest>();
  c.contract = rb;
  c.direction = 1;
  c.offset = 1;
  c.triggerBasis = 0;
  c.kind = 0;
  c.triggerPrice = 99999;
  c.quantity = 2;
  c.sendPriceMode = 2;
  c.ticks = 1;
  c.longTerm = 1;
  ASSERT_GT(Api().InsertConditionOrder(c), 0);
  Wait();
  std::vector<OrderRecord> orders;
  Api().GetOrders(orders);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].hidden, 1);
  EXPECT_EQ(orders[0].state, 11);
  EXPECT_DOUBLE_EQ(orders[0].triggerPrice, 99999);
  EXPECT_EQ(orders[0].sendPriceMode, 2);
  EXPECT_EQ(orders[0].ticks, 1);
  EXPECT_EQ(orders[0].longTerm, 1);
  EXPECT_EQ(Api().CancelOrder(&orders[0]), 0);
  Wait();
  Api().GetOrders(orders);
  EXPECT_EQ(orders[0].state, 13);
  EXPECT_EQ(Api().CancelOrder(&orders[0]), -1);
  Wait();
  EXPECT_FALSE(r.Of("text").empty());
}

TEST_F(TradeApiTest, StrategyOrdersAreAcceptedAndListed) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  StrategyOrderRequest req = ZeroRecord<StrategyOrderRequest>();
  req.strategy.legs[0].contract = Main("SHFE", "rb");
  req.strategy.legs[0].direction = 1;
  req.strategy.legs[0].lots = 1;
  req.strategy.legs[1].contract = Main("SHFE", "hc");
  req.strategy.legs[1].direction = 2;
  req.strategy.legs[1].lots = 1;
  req.strategy.totalQuantity = 4;
  req.strategy.triggerQuantity = 2;
  SetField(req.strategy.formula, "A-B");
  req.triggerPrice = -100000;  // far from the market
  req.triggerCondition = 2;
  ASSERT_GT(Api().InsertLoopOrder(&req), 0);
  Wait();
  EXPECT_EQ(r.Of("strategy").size(), 1u);
  std::vector<StrategyOrderRecord> list;
  Api().GetStrategyOrders(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].request.strategy.Formula(), "A-B");
  EXPECT_EQ(list[0].request.strategy.legs[1].contract.Key(), Main("SHFE", "hc").Key());
  EXPECT_EQ(list[0].request.strategy.legs[1].contract.commodity, Main("SHFE", "hc").commodity);
  EXPECT_EQ(list[0].state, '1');  // running: the market is far from the trigger
  req.strategy.legs[1] = CombolLeg{};
  EXPECT_EQ(Api().InsertLoopOrder(&req), -1);
  Wait();
  EXPECT_FALSE(r.Of("text").empty());
}

TEST_F(TradeApiTest, PasswordChangeAndSettlementAnswerByNotification) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  AccountTexts current;
  std::vector<AccountTexts> info;
  Api().GetLoginInfo(info, current);
  Api().ChangePassword(current, "000000", "654321", 0);
  Wait();
  ASSERT_EQ(r.Of("password").size(), 1u);
  EXPECT_EQ(r.Of("password")[0].code, 1);
  EXPECT_EQ(r.Of("password")[0].text, TXT("原密码错误"));
  Api().ChangePassword(current, "888888", "654321", 0);
  Wait();
  EXPECT_EQ(r.Of("password")[1].code, 0);
  EXPECT_EQ(Login(r, "8001", "888888"), -1);
  EXPECT_EQ(Login(r, "8001", "654321"), 1);
  const int today = trades->Broker().TradingDay();
  Api().QuerySettlement(today);
  Wait();
  ASSERT_EQ(r.Of("settlement").size(), 1u);
  EXPECT_EQ(r.Of("settlement")[0].code, today);
  EXPECT_NE(r.Of("settlement")[0].text.find("8001"), std::string::npos);
  Api().QuerySettlement(20200101);
  Wait();
  EXPECT_NE(r.Of("settlement")[1].text.find("20200101"), std::string::npos);
}

TEST_F(TradeApiTest, SelectContractReachesEveryListenerAndARemovedOneHearsNothingMore) {
  TradeRecorder a, b;
  const DC_Contract c = Main("SHFE", "rb");
  Api().SelectContract(c, 2, 3100.5);
  Wait();
  ASSERT_EQ(a.Of("selected").size(), 1u);
  EXPECT_EQ(a.Of("selected")[0].account, std::string(c.Key()));
  EXPECT_EQ(a.Of("selected")[0].code, 2);
  EXPECT_EQ(a.Of("selected")[0].text, "3100.50");
  EXPECT_EQ(b.Of("selected").size(), 1u);
  b.StopListening();
  Api().SelectContract(c, 1, 0);
  Wait();
  EXPECT_EQ(a.Of("selected").size(), 2u);
  EXPECT_EQ(b.Of("selected").size(), 1u);

  // RemoveListener waits for a delivery to that listener in flight.
  struct Slow : TradeRecorder {
    void OnContractSelected(DC_Contract, int, double) override {
      inside = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      done = true;
    }
    std::atomic<bool> inside{false}, done{false};
  } slow;
  Api().SelectContract(c, 1, 0);
  while (!slow.inside.load()) std::this_thread::yield();
  slow.StopListening();
  EXPECT_TRUE(slow.done.load());
}

TEST_F(TradeApiTest, OrdersFillsAndPositionsSurviveARestartOfBothLibraries) {
  {
    TradeRecorder r;
    ASSERT_EQ(Login(r), 1);
    Step();
    Api().InsertOrder(Order(Main("DCE", "m"), 1, 1, 2));
    Wait();
  }
  Close();
  Open();
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  std::vector<OrderRecord> orders;
  std::vector<PositionRecord> positions;
  Api().GetOrders(orders);
  Api().GetPositions(positions);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].state, 4);
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].longQuantity, 2);
  std::string why;
  EXPECT_TRUE(trades->Broker().CheckInvariants(&why)) << why;
}

}  // namespace
}  // namespace tarn::test

namespace tarn::test {
namespace {

TEST_F(TradeApiTest, TheMarketsDayRollSettlesPositionsAtTheNextDaysPreviousSettlement) {
  TradeRecorder r;
  ASSERT_EQ(Login(r), 1);
  const DC_Contract rb = Main("SHFE", "rb");
  Step();
  ASSERT_GT(Api().InsertOrder(Order(rb, 1, 1, 2)), 0);
  Api().RefreshPositions();
  Wait();
  EXPECT_EQ(r.Of("positions").back().code, 1);
  const int before = trades->Broker().TradingDay();
  r.Clear();
  quotes->Advance(8 * 3600 * 1000);  // 10:00 -> 18:00: past the 17:00 roll
  Wait();
  EXPECT_GT(trades->Broker().TradingDay(), before);
  EXPECT_FALSE(r.Of("refresh").empty());
  std::vector<PositionRecord> positions;
  Api().GetPositions(positions);
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].longQuantity, 2);
  EXPECT_EQ(positions[0].todayLong, 0);
  exchange::Market& m = *quotes->Exchange().Get();
  exchange::Snapshot s;
  m.GetSnapshot(m.GetCatalogue().Find(rb.Key()), s);
  EXPECT_DOUBLE_EQ(positions[0].longAverage, s.preSettle * 1.0);  // held at the settlement (tick 1)
  std::vector<FillRecord> fills;
  Api().GetFills(fills);
  EXPECT_TRUE(fills.empty());  // a new day's list
  Api().QuerySettlement(before);
  Wait();
  ASSERT_EQ(r.Of("settlement").size(), 1u);
  EXPECT_NE(r.Of("settlement")[0].text.find(TXT("已结算")), std::string::npos);
  std::string why;
  EXPECT_TRUE(trades->Broker().CheckInvariants(&why)) << why;
}

}  // namespace
}  // namespace tarn::test
