// The quote library's notification thread: jobs run one at a time, in the order they were
// posted (a delayed job when its time has come), never on a caller's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace tarn::quotedata {

class Dispatcher {
 public:
  Dispatcher();
  ~Dispatcher();  // runs what is queued, then stops
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;

  void Post(std::function<void()> job);
  void PostAfter(int delayMs, std::function<void()> job);
  // Returns once nothing is queued, delayed or running. Not for the dispatcher thread itself.
  void WaitIdle();
  bool OnDispatcherThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> queue_;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> delayed_;
  bool running_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tarn::quotedata
