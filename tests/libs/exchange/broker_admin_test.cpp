// Administration of the broker's database while no broker runs: what it writes is what a broker
// then finds, what it lets an account withdraw matches the broker's own funds, and a broker that
// holds the database keeps it out.
#include <sqlite3.h>

#include "broker_fixture.h"
#include "libs/exchange/broker/broker_admin.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kOpen = 1;

class AdminTest : public BrokerTest {
 protected:
  BrokerOptions Options() override {
    BrokerOptions o = BrokerTest::Options();
    o.storePath = BrokerAdmin::StorePath(Dir());
    return o;
  }
  std::string Dir() const { return dir.File("exchange"); }
  std::unique_ptr<BrokerAdmin> Admin() {
    std::string error;
    auto admin = BrokerAdmin::Open(Dir(), error, HashCost::Minimal, &market.GetCatalogue());
    EXPECT_TRUE(admin) << error;
    return admin;
  }
  void Close() {
    broker->RemoveListener(&log);
    broker.reset();
  }
  BrokerAdmin::AccountLine Line(BrokerAdmin& admin, const std::string& id) {
    for (const auto& l : admin.List())
      if (l.id == id) return l;
    ADD_FAILURE() << "no account " << id;
    return {};
  }

  TempDir dir;
};

TEST_F(AdminTest, ARunningBrokerKeepsTheAdministratorOutAndTheOtherWayRound) {
  std::string error;
  EXPECT_EQ(BrokerAdmin::Open(Dir(), error, HashCost::Minimal, &market.GetCatalogue()), nullptr);
  EXPECT_NE(error.find("a broker is running"), std::string::npos) << error;
  Close();
  {
    auto admin = Admin();
    ASSERT_TRUE(admin);
    // A broker that starts meanwhile does not write under the administrator's hands.
    Broker second(market, Options());
    EXPECT_EQ(second.Store(), nullptr);
  }
  Open();
  EXPECT_NE(broker->Store(), nullptr);
}

TEST_F(AdminTest, WhatTheAdministratorWritesIsWhatTheBrokerFinds) {
  Close();
  {
    auto admin = Admin();
    ASSERT_TRUE(admin);
    std::string error;
    ASSERT_TRUE(admin->Add("C", "first-pass", Y(5000), error)) << error;
    ASSERT_TRUE(admin->SetPassword("C", "second-pass", error)) << error;
    ASSERT_TRUE(admin->Deposit("C", Y(100.5), error)) << error;
    ASSERT_TRUE(admin->Withdraw("C", Y(0.5), error)) << error;
    const auto line = Line(*admin, "C");
    EXPECT_EQ(line.balance, Y(5100));
    EXPECT_EQ(line.available, Y(5100));
  }
  Open();
  std::vector<std::string> accounts;
  std::string error;
  EXPECT_FALSE(broker->Authenticate("C", "first-pass", accounts, error));
  ASSERT_TRUE(broker->Authenticate("C", "second-pass", accounts, error)) << error;
  EXPECT_EQ(accounts, std::vector<std::string>{"C"});
  const FundsView f = Funds("C");
  EXPECT_EQ(f.preBalance, Y(5000));
  EXPECT_EQ(f.deposit, Y(100.5));
  EXPECT_EQ(f.withdrawal, Y(0.5));
  EXPECT_EQ(f.Available(), Y(5100));
  // Passwords are kept only as hashes.
  Close();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(BrokerAdmin::StorePath(Dir()).c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT hash FROM login WHERE user = 'C'", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  const std::string hash = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
  EXPECT_EQ(hash.find("second-pass"), std::string::npos);
}

TEST_F(AdminTest, AWithdrawalLeavesTheMarginAndTheFrozenMoney) {
  Step(market.Book(rb, 3099, 3100, 10));
  Send("A", rb, kBuy, kOpen, 3, 3100);   // fills: margin
  Send("A", rb, kBuy, kOpen, 2, 3090);   // rests: frozen margin and fee
  const FundsView f = Funds("A");
  ASSERT_GT(f.margin, 0);
  ASSERT_GT(f.frozenMargin, 0);
  Close();
  auto admin = Admin();
  ASSERT_TRUE(admin);
  const auto line = Line(*admin, "A");
  EXPECT_EQ(line.margin, f.margin);
  EXPECT_EQ(line.frozen, f.frozenMargin + f.frozenFee);
  EXPECT_EQ(line.balance, f.preBalance + f.deposit - f.withdrawal + f.closeProfit - f.fee);
  EXPECT_EQ(line.available, line.balance - f.margin - f.frozenMargin - f.frozenFee);
  EXPECT_EQ(line.lots, 3);
  EXPECT_EQ(line.working, 1);
  std::string error;
  EXPECT_FALSE(admin->Withdraw("A", line.available + 1, error));
  EXPECT_NE(error.find(MoneyText(line.available)), std::string::npos) << error;
  ASSERT_TRUE(admin->Withdraw("A", line.available, error)) << error;
  EXPECT_EQ(Line(*admin, "A").available, 0);
  admin.reset();
  Open();
  ExpectInvariants();
  EXPECT_EQ(Funds("A").withdrawal, line.available);
}

TEST_F(AdminTest, BadRequestsChangeNothing) {
  Close();
  auto admin = Admin();
  ASSERT_TRUE(admin);
  std::string error;
  EXPECT_FALSE(admin->Add("A", "password1", 0, error)) << "the login's account name is taken";
  EXPECT_FALSE(admin->Add("u", "password1", 0, error)) << "the login exists";
  EXPECT_FALSE(admin->Add("has space", "password1", 0, error));
  EXPECT_FALSE(admin->Add("x|y", "password1", 0, error));
  EXPECT_FALSE(admin->Add("D", "short", 0, error));
  EXPECT_FALSE(admin->Add("D", "password1", -1, error));
  EXPECT_FALSE(admin->SetPassword("nobody", "password1", error));
  EXPECT_FALSE(admin->SetPassword("u", "a b c d e", error));
  EXPECT_FALSE(admin->Deposit("nobody", 100, error));
  EXPECT_FALSE(admin->Deposit("A", 0, error));
  EXPECT_FALSE(admin->Withdraw("A", -5, error));
  EXPECT_EQ(admin->List().size(), 2u);
  EXPECT_EQ(Line(*admin, "A").balance, Y(1000000));
  admin.reset();
  Open();
  std::vector<std::string> accounts;
  EXPECT_TRUE(broker->Authenticate("u", "secret1", accounts, error)) << error;
}

TEST(MoneyText, ParsesWhatAnAdministratorTypesAndNothingElse) {
  Money m = -1;
  EXPECT_TRUE(ParseMoney("1000", m));
  EXPECT_EQ(m, 100000);
  EXPECT_TRUE(ParseMoney("1000.5", m));
  EXPECT_EQ(m, 100050);
  EXPECT_TRUE(ParseMoney("0.07", m));
  EXPECT_EQ(m, 7);
  EXPECT_TRUE(ParseMoney("100000000000", m));
  for (const char* bad : {"", ".5", "5.", "1.234", "-5", "+5", "1e5", "12a", "1,000", "100000000000.01",
                          "999999999999999999999"})
    EXPECT_FALSE(ParseMoney(bad, m)) << bad;
  EXPECT_EQ(MoneyText(7), "0.07");
  EXPECT_EQ(MoneyText(-100050), "-1000.50");
}

}  // namespace
}  // namespace tarn::test
