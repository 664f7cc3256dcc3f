// The alert engine on the embedded exchange, driven by the manual clock: an alert fires once
// on the quote library's thread, survives a restart of the terminal (and of the market) as
// fired, and is armed again only by deleting it and adding it anew.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "engines/alert_center.h"
#include "libs/quotedata/embedded_fixture.h"

namespace tarn::test {
namespace {

class Ear : public IQuoteAlertListener {
 public:
  Ear() : IQuoteAlertListener(true) {}
  ~Ear() override { StopListening(); }
  void OnQuoteAlert(const DC_Contract&, const std::string& m) override {
    std::lock_guard<std::mutex> lock(mu);
    messages.push_back(m);
    threads.push_back(std::this_thread::get_id());
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mu);
    return messages.size();
  }
  std::mutex mu;
  std::vector<std::string> messages;
  std::vector<std::thread::id> threads;
};

class EmbeddedAlerts : public EmbeddedTest {
 protected:
  DC_Quote Snapshot(const DC_Contract& c) {
    DC_Quote q{};
    EXPECT_EQ(Q().SubscribeQuote(NotifyHandle(), &c, &q, 1), 0);
    return q;
  }
  void Restart() {
    lib.reset();
    Open();
    Recorder again;
    ASSERT_EQ(LoginDefault(again), 1);
  }
};

TEST_F(EmbeddedAlerts, FiresOnceSurvivesARestartAndReArmsOnlyAfterDeleteAndAdd) {
  Recorder login;
  ASSERT_EQ(LoginDefault(login), 1);
  const DC_Contract rb = Contract("SHFE|rbMI");
  const DC_Quote start = Snapshot(rb);
  ASSERT_GT(start.data.last, 0);
  auto makeAlert = [&] {
    QuoteAlert a{};
    a.contract = rb;
    a.volumeLimit = start.data.volume + 1;  // the next trade reaches it
    return a;
  };
  {
    ScopedEngine<CAlertCenter> alerts;
    Ear ear;
    alerts->AddOrReplace(makeAlert());
    EXPECT_EQ(ear.Count(), 0u);
    for (int i = 0; i < 40 && ear.Count() == 0; ++i) Step(1);
    ASSERT_EQ(ear.Count(), 1u) << "the main month did not trade";
    EXPECT_NE(ear.threads[0], std::this_thread::get_id());  // heard on the library's thread
    Step(40);  // the volume keeps growing: nothing more
    EXPECT_EQ(ear.Count(), 1u);
    std::vector<AlertLogEntry> history;
    alerts->CopyHistory(history);
    EXPECT_EQ(history.size(), 1u);
  }
  // The terminal and the market restart; the alert is loaded as fired.
  Restart();
  {
    ScopedEngine<CAlertCenter> alerts;
    Ear ear;
    alerts->Load();
    std::vector<QuoteAlert> list;
    alerts->CopyAlerts(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].volumeFired, 1);
    EXPECT_TRUE(alerts->IsSubscribed("SHFE|rbMI"));
    Step(40);
    EXPECT_EQ(ear.Count(), 0u);
    // Modifying keeps the flag; deleting and adding arms the limit again.
    alerts->AddOrReplace(list[0]);
    Step(10);
    EXPECT_EQ(ear.Count(), 0u);
    alerts->Remove(list[0]);
    QuoteAlert fresh{};
    fresh.contract = rb;
    fresh.volumeLimit = 1;
    alerts->AddOrReplace(fresh);  // the snapshot that comes with the subscription already meets it
    lib->WaitDelivered();
    EXPECT_EQ(ear.Count(), 1u);
    Step(10);
    EXPECT_EQ(ear.Count(), 1u);
  }
}

}  // namespace
}  // namespace tarn::test
