// The broker's journal on its own: events are handed on only once what they tell of is
// committed, in the order their write sets were queued, and nothing queued is lost at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
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

// Without a thread of its own: nothing is written until someone waits, the waiter writes and
// delivers on its own thread, a listener that queues more from inside the delivery has it written
// by the same pass (not recursively), and the end writes what is left.
TEST(BrokerJournal, InlineWritesOnTheWaitingThreadAndTakesNestedSetsAlong) {
  auto store = BrokerStore::OpenImage("");
  ASSERT_TRUE(store);
  std::vector<std::string> delivered;
  int depth = 0, deepest = 0;
  const std::thread::id caller = std::this_thread::get_id();
  {
    BrokerJournal* self = nullptr;
    BrokerJournal journal(
        *store,
        [&](const std::vector<BrokerEvent>& events) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          EXPECT_TRUE(self->OnJournalThread());
          deepest = std::max(deepest, ++depth);
          for (const BrokerEvent& e : events) {
            std::string text;
            EXPECT_TRUE(store->GetSettlement(e.text.substr(0, 1), std::stoi(e.text.substr(2)), text)) << e.text;
            delivered.push_back(e.text);
            // A listener answering an event: its write set follows, its wait returns at once.
            if (e.text == "A/2") {
              self->Queue(Statement("C", 9, "nested"));
              self->WaitDurable();
            }
          }
          --depth;
        },
        true);
    self = &journal;
    EXPECT_FALSE(journal.OnJournalThread());
    journal.Queue(Statement("A", 1, "one"));
    journal.Queue(Statement("A", 2, "two"));
    std::string text;
    EXPECT_FALSE(store->GetSettlement("A", 1, text));  // queued, not written yet
    EXPECT_FALSE(journal.Idle());
    journal.WaitRoom();
    EXPECT_TRUE(journal.Idle());
    EXPECT_EQ(journal.Written(), 3u);
    ASSERT_EQ(delivered, (std::vector<std::string>{"A/1", "A/2", "C/9"}));
    journal.Queue(Statement("B", 5, "last"));
  }
  EXPECT_EQ(deepest, 1);
  ASSERT_EQ(delivered.size(), 4u);
  EXPECT_EQ(delivered.back(), "B/5");
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
