// The broker's journal on its own: events are handed on only once what they tell of is
// committed, in the order their write sets were queued, and nothing queued is lost at the end.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_journal.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

JournalWrite Statement(const std::string& account, int32_t day, const std::string& text) {
  JournalWrite w;
  w.statements.emplace_back(account, day, text);
  BrokerEvent e;
  e.type = BrokerEventType::Text;
  e.text = account + "/" + std::to_string(day);
  w.events.push_back(e);
  return w;
}

TEST(BrokerJournal, DeliversInOrderOnlyWhatIsCommittedAndLosesNothingAtTheEnd) {
  auto store = BrokerStore::OpenImage("");
  ASSERT_TRUE(store);
  std::mutex m;
  std::vector<std::string> delivered;
  std::vector<std::string> unseen;  // events whose statement the store did not have yet
  {
    BrokerJournal journal(*store, [&](const std::vector<BrokerEvent>& events) {
      EXPECT_TRUE(journal.OnJournalThread());
      for (const BrokerEvent& e : events) {
        const std::string account = e.text.substr(0, e.text.find('/'));
        const int32_t day = std::stoi(e.text.substr(e.text.find('/') + 1));
        std::string text;
        std::lock_guard<std::mutex> lock(m);
        if (!store->GetSettlement(account, day, text)) unseen.push_back(e.text);
        delivered.push_back(e.text);
      }
    });
    EXPECT_FALSE(journal.OnJournalThread());
    uint64_t last = 0;
    for (int day = 1; day <= 300; ++day) {
      const uint64_t seq = journal.Queue(Statement("A", day, "text"));
      EXPECT_EQ(seq, last + 1);
      last = seq;
    }
    journal.WaitDurable();
    EXPECT_EQ(journal.Written(), last);
    EXPECT_TRUE(journal.Idle());
    for (int day = 301; day <= 400; ++day) journal.Queue(Statement("B", day, "late"));
    // Destroyed with work queued: it is written and delivered first.
  }
  std::lock_guard<std::mutex> lock(m);
  EXPECT_TRUE(unseen.empty()) << unseen.front();
  ASSERT_EQ(delivered.size(), 400u);
  for (int i = 0; i < 400; ++i) EXPECT_EQ(delivered[i], (i < 300 ? "A/" : "B/") + std::to_string(i + 1));
  std::string text;
  EXPECT_TRUE(store->GetSettlement("B", 400, text));
  EXPECT_EQ(text, "late");
}

TEST(BrokerJournal, WhatIsQueuedDuringACommitGoesOutInOneCommitAndOneDelivery) {
  auto store = BrokerStore::OpenImage("");
  ASSERT_TRUE(store);
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  std::vector<std::vector<std::string>> deliveries;
  {
    BrokerJournal journal(*store, [&](const std::vector<BrokerEvent>& events) {
      std::unique_lock<std::mutex> lock(m);
      deliveries.emplace_back();
      for (const BrokerEvent& e : events) deliveries.back().push_back(e.text);
      // The first delivery holds the journal while the rest is queued.
      cv.notify_all();
      cv.wait(lock, [&] { return release; });
    });
    journal.Queue(Statement("A", 1, "first"));
    {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return !deliveries.empty(); });
    }
    for (int day = 2; day <= 201; ++day) journal.Queue(Statement("A", day, "text"));
    EXPECT_EQ(journal.Written(), 0u);  // the first is delivered only once its delivery returns
    {
      std::lock_guard<std::mutex> lock(m);
      release = true;
    }
    cv.notify_all();
    journal.WaitDurable();
    EXPECT_EQ(journal.Written(), 201u);
  }
  ASSERT_EQ(deliveries.size(), 2u);
  ASSERT_EQ(deliveries[1].size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(deliveries[1][i], "A/" + std::to_string(i + 2));
  std::string text;
  EXPECT_TRUE(store->GetSettlement("A", 201, text));
}

}  // namespace
}  // namespace tarn::test
