// The broker's journal: writes what operations and market steps changed to the store on a thread
// of its own and only then hands their events on. Every write set queued while a transaction is
// under way goes into the next one (group commit); the events of a write set are delivered once
// it is committed, in the order the sets were queued, outside every lock of the broker. Nobody
// hears of a change the store could lose.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "libs/exchange/broker/broker_store.h"
#include "libs/exchange/broker/broker_types.h"

namespace tarn::exchange {

// What one commit writes, copied from the broker's state under its lock, and the events it
// releases.
struct JournalWrite {
  uint64_t seq = 0;  // set by the journal
  int32_t day = 0;   // 0: unchanged
  std::vector<BrokerStore::LoginRow> logins;
  std::vector<BrokerStore::AccountRow> accounts;
  std::vector<BrokerStore::OrderRow> orders;
  std::vector<BrokerStore::FillRow> fills;
  std::vector<std::pair<BrokerStore::SideRow, bool>> sides;  // bool: erase
  std::vector<std::pair<BrokerStore::LotRow, bool>> lots;
  std::vector<std::pair<std::string, std::vector<BrokerStore::StartRow>>> starts;
  std::vector<std::tuple<std::string, int32_t, std::string>> statements;
  std::vector<BrokerStore::StrategyRow> strategies;
  std::vector<BrokerStore::RefRow> refs;
  std::vector<BrokerEvent> events;
};

class BrokerJournal {
 public:
  using Deliver = std::function<void(const std::vector<BrokerEvent>&)>;

  // `inlineWrites`: no thread of its own; whoever waits on the journal (WaitRoom, WaitDurable,
  // WaitIdle, the destructor) writes and delivers what is queued on its own thread. Costs no
  // thread start and no hand-over per commit, for a broker opened briefly (a store check, a test).
  BrokerJournal(BrokerStore& store, Deliver deliver, bool inlineWrites = false);
  // Writes and delivers what is queued, then ends the thread.
  ~BrokerJournal();
  BrokerJournal(const BrokerJournal&) = delete;
  BrokerJournal& operator=(const BrokerJournal&) = delete;

  // Queues a write set; returns its sequence number.
  uint64_t Queue(JournalWrite w);
  // Everything queued so far is in the store (returns at once on the journal's own thread).
  void WaitDurable();
  // Blocks while the journal is far behind (returns at once on its own thread).
  void WaitRoom();
  // Nothing queued and nothing being written.
  bool Idle();
  void WaitIdle();
  // The last sequence number written (and delivered).
  uint64_t Written();
  bool OnJournalThread() const;

 private:
  static constexpr std::size_t kMaxQueued = 4096;
  void Loop();
  // Writes and delivers everything queued, with `lock` held on entry and on return.
  void WriteQueued(std::unique_lock<std::mutex>& lock);
  // Inline: writes what is queued on the calling thread, unless this thread is writing already
  // (a listener called back into the broker: the write under way takes its sets next).
  void WriteHere();
  bool WriteAll(const std::vector<JournalWrite>& sets);

  BrokerStore& store_;
  Deliver deliver_;
  mutable std::mutex mutex_;
  std::condition_variable queuedCv_, writtenCv_;
  std::deque<JournalWrite> queue_;
  uint64_t seq_ = 0, written_ = 0;
  bool writing_ = false;
  bool stop_ = false;
  const bool inline_;
  std::thread::id writer_;  // inline: the thread writing, while one is
  std::vector<JournalWrite> groupSets_;  // the group being written (only by the one writer)
  std::vector<BrokerEvent> groupEvents_;
  std::thread thread_;
};

}  // namespace tarn::exchange
