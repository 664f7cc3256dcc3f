// The broker's store: a restart (also across a trading-day roll) finds everything as it was, a
// killed process loses no fill it told of, a damaged file is set aside, passwords are kept only
// as Argon2id hashes.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "broker_fixture.h"
#include "libs/exchange/market/market_store.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2;

std::string Query(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        out += t ? reinterpret_cast<const char*>(t) : "";
        out += "\n";
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

class StoreTest : public BrokerTest {
 protected:
  BrokerOptions Options() override {
    BrokerOptions o = BrokerTest::Options();
    o.storePath = dir.File("exchange/broker.db");
    o.createDemo = createDemo;
    return o;
  }
  std::string Db() const { return dir.File("exchange/broker.db"); }
  void ExpectSound() {
    ExpectInvariants();
    EXPECT_EQ(Query(Db(), "PRAGMA integrity_check"), "ok\n");
  }

  TempDir dir;
  bool createDemo = false;
};

TEST_F(StoreTest, ARestartFindsOrdersFillsLotsFundsAndConditionOrdersAsTheyWere) {
  const Snapshot book = market.Book(rb, 3099, 3100, 10);
  Step(book);
  Send("A", rb, kBuy, kOpen, 2, 3100);
  Send("A", rb, kBuy, kOpen, 1, 3100);
  const int resting = Send("A", rb, kBuy, kOpen, 3, 3098);
  ConditionEntry c;
  c.account = "A";
  c.contract = rb;
  c.direction = kSell;
  c.offset = kClose;
  c.kind = 1;
  c.trigger = 3000;
  c.quantity = 1;
  c.sendMode = 4;
  c.longTerm = true;
  c.positionNumber = std::string(Field(Position("A", rb, 1).number));
  const int stop = broker->InsertCondition(c);
  Step(market.Book(m, 2950, 2951, 10));
  Send("B", m, kSell, kOpen, 4, 2950);
  broker->Deposit("B", Y(1234.56));
  StrategyEntry strategy;
  strategy.account = "B";
  strategy.legCount = 2;
  strategy.legs[0] = {rb, 1, 0, 1, 0, false};
  strategy.legs[1] = {m, 2, 0, 1, 0, false};
  strategy.formula = "A-B";
  strategy.totalQuantity = strategy.triggerQuantity = 1;
  strategy.triggerPrice = -1000;  // far from the market: it keeps watching
  strategy.triggerCondition = 2;
  strategy.payload = std::string("\x01\x02strategy", 10);
  ASSERT_GT(broker->InsertStrategy(strategy), 0);

  std::vector<Order> orders;
  std::vector<LotView> lots;
  broker->GetOrders("A", orders);
  broker->GetLots("A", lots);
  const std::vector<Fill> fills = Fills("A");
  const FundsView fa = Funds("A"), fb = Funds("B");
  Reopen();
  std::vector<Order> orders2;
  std::vector<LotView> lots2;
  broker->GetOrders("A", orders2);
  broker->GetLots("A", lots2);
  ASSERT_EQ(orders2.size(), orders.size());
  for (std::size_t i = 0; i < orders.size(); ++i) {
    EXPECT_EQ(Field(orders2[i].key), Field(orders[i].key));
    EXPECT_EQ(orders2[i].state, orders[i].state);
    EXPECT_EQ(orders2[i].filled, orders[i].filled);
    EXPECT_EQ(orders2[i].fillValue, orders[i].fillValue);
    EXPECT_EQ(orders2[i].frozenMargin, orders[i].frozenMargin);
    EXPECT_EQ(Field(orders2[i].positionNumber), Field(orders[i].positionNumber));
  }
  ASSERT_EQ(lots2.size(), lots.size());
  for (std::size_t i = 0; i < lots.size(); ++i) EXPECT_EQ(Field(lots2[i].lot.number), Field(lots[i].lot.number));
  ASSERT_EQ(Fills("A").size(), fills.size());
  EXPECT_EQ(Field(Fills("A").back().number), Field(fills.back().number));
  const FundsView fa2 = Funds("A"), fb2 = Funds("B");
  EXPECT_EQ(fa2.Dynamic(), fa.Dynamic());
  EXPECT_EQ(fa2.Available(), fa.Available());
  EXPECT_EQ(fa2.fee, fa.fee);
  EXPECT_EQ(fb2.deposit, Y(1234.56));
  EXPECT_EQ(fb2.margin, fb.margin);
  std::vector<StrategyOrder> strategies;
  broker->GetStrategies("B", strategies);
  ASSERT_EQ(strategies.size(), 1u);
  EXPECT_EQ(strategies[0].payload, std::string("\x01\x02strategy", 10));
  ExpectSound();
  // The resting order is back in its queue, the stop still guards the position, and numbering
  // goes on.
  Trade(book, 3097, 5, kSell);
  EXPECT_EQ(Get("A", resting).filled, 3);
  EXPECT_GT(Send("A", rb, kBuy, kOpen, 1, 3000), resting);
  Step(market.Book(rb, 2999, 3000, 10, 3000));
  EXPECT_EQ(Get("A", stop).state, kStTriggered);
  ExpectSound();
}

TEST_F(StoreTest, ARestartAfterTheMarketRolledOnSettlesTheDaysMissed) {
  Step(market.Book(rb, 3099, 3100, 10));
  Send("A", rb, kBuy, kOpen, 1, 3100);
  broker->RemoveListener(&log);
  broker.reset();
  market.SetSettlement(rb, kDay1, 3110);
  market.Roll();
  market.SetSettlement(rb, market.day_, 3105);
  market.Roll();
  Open();
  EXPECT_EQ(broker->TradingDay(), market.day_);
  EXPECT_EQ(Funds("A").preBalance, Y(1000000 - 1.55 + 50));  // 3100 -> 3110 -> 3105
  EXPECT_EQ(Position("A", rb, 1).today, 0);
  std::string text;
  EXPECT_TRUE(broker->GetSettlement("A", kDay1, text));
  EXPECT_TRUE(broker->GetSettlement("A", Yyyymmdd(DayNumOf(kDay1) + 1), text));
  ExpectSound();
}

TEST_F(StoreTest, AKilledProcessLosesNoFillItHadToldOf) {
  broker->RemoveListener(&log);
  broker.reset();  // no thread of this process may run across the fork
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipefd[0]);
    // Fills are told of only once they are stored: count what the broker tells.
    struct Told : IBrokerListener {
      void OnBrokerEvents(const std::vector<BrokerEvent>& events) override {
        for (const BrokerEvent& e : events) fills += e.type == BrokerEventType::Fill ? 1 : 0;
      }
      std::atomic<int> fills{0};
    } toldOf;
    Broker b(market, Options());
    b.AddListener(&toldOf);
    for (int i = 0;; ++i) {
      if (i % 20 == 0) {
        market.Publish(market.Book(rb, 3099 + i % 7, 3100 + i % 7, 50));
        b.WaitIdle();
      }
      OrderEntry s;
      s.account = i % 2 ? "A" : "B";
      s.contract = rb;
      s.direction = (i / 2) % 4 < 2 ? kBuy : kSell;
      s.offset = (i / 2) % 4 < 2 ? kOpen : 3;
      s.quantity = 1;
      s.market = true;
      b.InsertOrder(s);
      const int told = toldOf.fills.load();
      if (write(pipefd[1], &told, sizeof told) != sizeof told) _exit(1);
    }
  }
  close(pipefd[1]);
  int told = 0, n = 0;
  while (told < 300 && read(pipefd[0], &n, sizeof n) == sizeof n) told = n;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  while (read(pipefd[0], &n, sizeof n) == sizeof n) told = n;  // what it said before it died
  close(pipefd[0]);
  EXPECT_TRUE(WIFSIGNALED(status));
  Open();
  EXPECT_GE(static_cast<int>(Fills("A").size() + Fills("B").size()), told);
  EXPECT_GE(told, 300);
  ExpectSound();
}

TEST_F(StoreTest, ATruncatedFileIsSetAsideToo) {
  Step(market.Book(rb, 3099, 3100, 10));
  for (int i = 0; i < 50; ++i) Send("A", rb, i % 2 ? kSell : kBuy, i % 2 ? 3 : kOpen, 1, i % 2 ? 3099 : 3100);
  broker->RemoveListener(&log);
  broker.reset();
  const std::string bytes = ReadFile(Db());
  ASSERT_GT(bytes.size(), 8192u);
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(Db() + suffix);
  WriteFile(Db(), bytes.substr(0, bytes.size() / 2));
  createDemo = true;
  broker = std::make_unique<Broker>(market, Options());
  EXPECT_TRUE(broker->ReplacedDamagedStore());
  EXPECT_NE(broker->FindAccount(DemoAccounts::kMain), kNoAccount);
  ExpectSound();
}

TEST_F(StoreTest, ADamagedFileIsSetAsideAndANewStoreWithTheDemoLoginBegins) {
  broker->RemoveListener(&log);
  broker.reset();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(Db() + suffix);
  WriteFile(Db(), std::string(4096, '\x5a'));
  createDemo = true;
  broker = std::make_unique<Broker>(market, Options());
  EXPECT_TRUE(broker->ReplacedDamagedStore());
  EXPECT_TRUE(Exists(Db() + ".damaged"));
  std::vector<std::string> accounts;
  std::string error;
  ASSERT_TRUE(broker->Authenticate(DemoAccounts::kLogin, DemoAccounts::kPassword, accounts, error)) << error;
  EXPECT_EQ(accounts, (std::vector<std::string>{DemoAccounts::kMain, DemoAccounts::kSecond}));
  EXPECT_EQ(Funds(DemoAccounts::kMain).preBalance, Y(1000000));
  EXPECT_EQ(Funds(DemoAccounts::kSecond).preBalance, Y(200000));
  ExpectSound();
}

TEST_F(StoreTest, AStoreImageOpensInMemoryAsTheFileWouldAndLeavesTheFileAlone) {
  Step(market.Book(rb, 3099, 3100, 10));
  ASSERT_EQ(Get("A", Send("A", rb, kBuy, kOpen, 3, 3100)).state, kStFilled);
  broker->RemoveListener(&log);
  broker.reset();
  const std::string bytes = ReadFile(Db());
  ASSERT_FALSE(bytes.empty());
  broker = std::make_unique<Broker>(market, Options(), BrokerStore::OpenImage(bytes));
  ASSERT_NE(broker->Store(), nullptr);
  EXPECT_FALSE(broker->ReplacedDamagedStore());
  EXPECT_EQ(Position("A", rb, 1).quantity, 3);
  EXPECT_EQ(Fills("A").size(), 1u);
  ASSERT_EQ(Get("A", Send("A", rb, kSell, 3, 3, 3099)).state, kStFilled);
  ExpectInvariants();
  broker.reset();
  EXPECT_EQ(ReadFile(Db()), bytes);
  // Bytes that are no database give a new store in memory, with the demo login.
  createDemo = true;
  broker = std::make_unique<Broker>(market, Options(), BrokerStore::OpenImage(std::string(4096, '\x5a')));
  ASSERT_NE(broker->Store(), nullptr);
  EXPECT_TRUE(broker->ReplacedDamagedStore());
  EXPECT_NE(broker->FindAccount(DemoAccounts::kMain), kNoAccount);
  EXPECT_FALSE(Exists(Db() + ".damaged"));
}

TEST_F(StoreTest, PasswordsAreKeptOnlyAsArgon2idHashes) {
  const std::string hashes = Query(Db(), "SELECT hash FROM login");
  EXPECT_EQ(hashes.rfind("$argon2id$", 0), 0u) << hashes;
  EXPECT_EQ(hashes.find("secret1"), std::string::npos);
  std::vector<std::string> accounts;
  std::string error;
  EXPECT_FALSE(broker->Authenticate("u", "secret2", accounts, error));
  EXPECT_EQ(error, TXT("账号或密码错误"));
  EXPECT_FALSE(broker->Authenticate("nobody", "secret1", accounts, error));
  EXPECT_EQ(error, TXT("账号或密码错误"));  // the same answer: it tells no login apart
  std::string message;
  EXPECT_EQ(broker->ChangePassword("u", "wrong", "newpass1", message), 1);
  EXPECT_EQ(message, TXT("原密码错误"));
  EXPECT_EQ(broker->ChangePassword("u", "secret1", "short", message), 2);
  EXPECT_EQ(broker->ChangePassword("u", "secret1", "secret1", message), 3);
  EXPECT_EQ(broker->ChangePassword("u", "secret1", "newpass1", message), 0);
  EXPECT_EQ(message, TXT("密码修改成功"));
  Reopen();
  EXPECT_FALSE(broker->Authenticate("u", "secret1", accounts, error));
  EXPECT_TRUE(broker->Authenticate("u", "newpass1", accounts, error));
  EXPECT_EQ(accounts, (std::vector<std::string>{"A", "B"}));
  // A hash made with other parameters still verifies, and is renewed with the broker's own.
  const std::string weak = HashPassword("newpass1", HashCost::Interactive);
  EXPECT_TRUE(VerifyPassword(weak, "newpass1"));
  EXPECT_TRUE(NeedsRehash(weak, HashCost::Minimal));
  EXPECT_FALSE(NeedsRehash(HashPassword("x", HashCost::Minimal), HashCost::Minimal));
}

// An unknown login is checked against a fixed hash of the broker's own cost (the same work as a
// known login's check) that no password opens, not even an empty one or the text it was made of.
TEST(UnknownLoginHash, HasTheCostsParametersAndMatchesNoPassword) {
  for (HashCost cost : {HashCost::Minimal, HashCost::Interactive}) {
    const std::string& h = UnknownLoginHash(cost);
    EXPECT_EQ(h.rfind("$argon2id$", 0), 0u);
    EXPECT_FALSE(NeedsRehash(h, cost)) << h;
    EXPECT_TRUE(NeedsRehash(h, cost == HashCost::Minimal ? HashCost::Interactive : HashCost::Minimal));
    for (const char* p : {"", "888888", "secret1", "tarn-unknown-login-"}) EXPECT_FALSE(VerifyPassword(h, p)) << p;
  }
}

// New stores in memory start from one image of the empty schema: each is a database of its own,
// a store written to is read back in full, and the market's store gets its own schema's image.
TEST(BrokerStoreImage, NewStoresAreSeparateAndReadBackWhatWasWritten) {
  auto first = BrokerStore::OpenImage("");
  auto damaged = BrokerStore::OpenImage(std::string(4096, '\x5a'));
  ASSERT_TRUE(first && damaged);
  EXPECT_FALSE(first->ReplacedDamagedFile());
  EXPECT_TRUE(damaged->ReplacedDamagedFile());
  BrokerStore::Loaded loaded;
  ASSERT_TRUE(first->Load(loaded));
  EXPECT_EQ(loaded.tradingDay, 0);
  EXPECT_TRUE(loaded.logins.empty());

  Order o;
  o.id = 7;
  o.tradingDay = 20251208;
  o.sequence = 3;
  o.quantity = 2;
  o.price = 3100;
  ASSERT_TRUE(first->Begin());
  ASSERT_TRUE(first->SetMeta("trading_day", "20251208"));
  ASSERT_TRUE(first->PutLogin({"u", "hash", "name"}));
  ASSERT_TRUE(first->PutOrder(o, "A", "rb2601"));
  ASSERT_TRUE(first->Commit());
  ASSERT_TRUE(first->Load(loaded));
  EXPECT_EQ(loaded.tradingDay, 20251208);
  ASSERT_EQ(loaded.logins.size(), 1u);
  EXPECT_EQ(loaded.logins[0].user, "u");
  ASSERT_EQ(loaded.orders.size(), 1u);
  EXPECT_EQ(loaded.orders[0].order.id, 7u);
  EXPECT_EQ(loaded.orders[0].contract, "rb2601");
  EXPECT_EQ(loaded.maxId, 7u);
  EXPECT_EQ(loaded.maxOrderSequence, 3);

  // Neither the other store made at the same time nor one made afterwards sees those rows.
  auto later = BrokerStore::OpenImage("");
  for (BrokerStore* other : {damaged.get(), later.get()}) {
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(other->Load(loaded));
    EXPECT_TRUE(loaded.logins.empty());
    EXPECT_TRUE(loaded.orders.empty());
    BrokerStore::OrderRow row;
    EXPECT_FALSE(other->GetOrder(7, row));
    EXPECT_TRUE(other->PutOrder(o, "B", "rb2601"));  // and each takes writes of its own
  }
  auto market = MarketStore::OpenImage("");
  ASSERT_TRUE(market);
  EXPECT_TRUE(market->SaveSettlements({{20251208, "rb2601", 3100, 3105, 10, 20}}));
  EXPECT_TRUE(market->HasSettlements(20251208));
}

}  // namespace
}  // namespace tarn::test
