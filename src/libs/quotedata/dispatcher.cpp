#include "libs/quotedata/dispatcher.h"

namespace tarn::quotedata {

Dispatcher::Dispatcher() { thread_ = std::thread([this] { Loop(); }); }

Dispatcher::~Dispatcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    delayed_.clear();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Dispatcher::Post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void Dispatcher::PostAfter(int delayMs, std::function<void()> job) {
  if (delayMs <= 0) return Post(std::move(job));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delayed_.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs), std::move(job));
  }
  wake_.notify_one();
}

void Dispatcher::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return (queue_.empty() && delayed_.empty() && !running_) || stop_; });
}

void Dispatcher::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    while (!delayed_.empty() && delayed_.begin()->first <= now) {
      queue_.push_back(std::move(delayed_.begin()->second));
      delayed_.erase(delayed_.begin());
    }
    if (!queue_.empty()) {
      std::function<void()> job = std::move(queue_.front());
      queue_.pop_front();
      running_ = true;
      lock.unlock();
      job();
      job = nullptr;
      lock.lock();
      running_ = false;
      continue;
    }
    if (stop_) break;
    idle_.notify_all();
    if (delayed_.empty())
      wake_.wait(lock);
    else
      wake_.wait_until(lock, delayed_.begin()->first);
  }
  idle_.notify_all();
}

}  // namespace tarn::quotedata
