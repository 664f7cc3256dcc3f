#include "libs/exchange/broker/broker_journal.h"

#include <chrono>
#include <cstdio>
#include <iterator>

namespace tarn::exchange {

BrokerJournal::BrokerJournal(BrokerStore& store, Deliver deliver, bool inlineWrites)
    : store_(store), deliver_(std::move(deliver)), inline_(inlineWrites) {
  if (!inline_) thread_ = std::thread([this] { Loop(); });
}

BrokerJournal::~BrokerJournal() {
  if (inline_) {
    WriteHere();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queuedCv_.notify_all();
  writtenCv_.notify_all();
  if (thread_.joinable()) thread_.join();  // it writes and delivers what is queued first
}

uint64_t BrokerJournal::Queue(JournalWrite w) {
  uint64_t seq;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seq = w.seq = ++seq_;
    queue_.push_back(std::move(w));
  }
  queuedCv_.notify_one();
  return seq;
}

bool BrokerJournal::OnJournalThread() const {
  if (!inline_) return std::this_thread::get_id() == thread_.get_id();
  std::lock_guard<std::mutex> lock(mutex_);
  return writer_ == std::this_thread::get_id();
}

void BrokerJournal::WriteHere() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!queue_.empty() || writing_) {
    if (writing_) {
      if (writer_ == std::this_thread::get_id()) return;
      writtenCv_.wait(lock);  // another thread writes; it may take ours along
      continue;
    }
    writer_ = std::this_thread::get_id();
    WriteQueued(lock);
    writer_ = std::thread::id();
  }
}

void BrokerJournal::WaitDurable() {
  if (inline_) return WriteHere();
  if (OnJournalThread()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t seq = seq_;
  writtenCv_.wait(lock, [&] { return written_ >= seq || stop_; });
}

void BrokerJournal::WaitRoom() {
  if (inline_) return WriteHere();
  if (OnJournalThread()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  writtenCv_.wait(lock, [this] { return queue_.size() < kMaxQueued || stop_; });
}

bool BrokerJournal::Idle() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.empty() && !writing_;
}

void BrokerJournal::WaitIdle() {
  if (inline_) return WriteHere();
  if (OnJournalThread()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  writtenCv_.wait(lock, [this] { return (queue_.empty() && !writing_) || stop_; });
}

uint64_t BrokerJournal::Written() {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

bool BrokerJournal::WriteAll(const std::vector<JournalWrite>& sets) {
  bool ok = store_.Begin();
  for (const JournalWrite& w : sets) {
    if (ok && w.day) ok = store_.SetMeta("trading_day", std::to_string(w.day));
    for (const auto& r : w.logins) ok = ok && store_.PutLogin(r);
    for (const auto& r : w.accounts) ok = ok && store_.PutAccount(r);
    for (const auto& r : w.orders) ok = ok && store_.PutOrder(r.order, r.account, r.contract);
    for (const auto& r : w.fills) ok = ok && store_.PutFill(r.fill, r.account, r.contract);
    for (const auto& [r, erase] : w.sides)
      ok = ok && (erase ? store_.DeleteSide(r.account, r.contract, r.side)
                        : store_.PutSide(r.account, r.contract, r.side, r.id, r.number));
    for (const auto& [r, erase] : w.lots)
      ok = ok && (erase ? store_.DeleteLot(r.lot.id) : store_.PutLot(r.lot, r.account, r.contract, r.side));
    for (const auto& [account, rows] : w.starts) {
      ok = ok && store_.ClearStarts(account);
      for (const auto& r : rows) ok = ok && store_.PutStart(r);
    }
    for (const auto& [account, day, text] : w.statements) ok = ok && store_.PutSettlement(account, day, text);
    for (const auto& r : w.strategies) ok = ok && store_.PutStrategy(r.order, r.account);
    for (const auto& r : w.refs) ok = ok && store_.PutOrderRef(r);
  }
  if (ok) return store_.Commit();
  store_.Rollback();
  return false;
}

void BrokerJournal::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queuedCv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) break;
    WriteQueued(lock);
  }
}

void BrokerJournal::WriteQueued(std::unique_lock<std::mutex>& lock) {
  // One writer at a time: the group buffers are kept across rounds, so that a busy journal reuses
  // their memory instead of allocating (and the allocator returning) room for every group.
  std::vector<JournalWrite>& sets = groupSets_;
  std::vector<BrokerEvent>& events = groupEvents_;
  sets.clear();
  std::size_t eventCount = 0;
  while (!queue_.empty()) {
    eventCount += queue_.front().events.size();
    sets.push_back(std::move(queue_.front()));
    queue_.pop_front();
  }
  writing_ = true;
  lock.unlock();
  writtenCv_.notify_all();
  for (int attempt = 0; !WriteAll(sets); ++attempt) {
    if (attempt == 0 && !store_.Damaged())
      std::fprintf(stderr, "tarn: the broker could not write its store; retrying\n");
    // A damaged database stays damaged: retrying would only hold every event back.
    if (attempt >= 50 || store_.Damaged()) {
      std::fprintf(stderr, "tarn: the broker gave up writing %zu changes to its store\n", sets.size());
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // The whole group's events go out in one delivery, in the order their sets were queued.
  events.clear();
  events.reserve(eventCount);
  for (JournalWrite& w : sets) std::move(w.events.begin(), w.events.end(), std::back_inserter(events));
  const uint64_t last = sets.back().seq;
  sets.clear();
  if (!events.empty()) deliver_(events);
  events.clear();
  lock.lock();
  written_ = last;
  writing_ = false;
  writtenCv_.notify_all();
}

}  // namespace tarn::exchange
