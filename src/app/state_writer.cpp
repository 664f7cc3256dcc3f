#include "app/state_writer.h"

#include "platform/file_io.h"

namespace tarn {

StateWriter::StateWriter() : thread_([this] { Run(); }) {}

StateWriter::~StateWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void StateWriter::Post(std::string path, std::string bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.emplace(std::move(path), std::move(bytes));
  }
  wake_.notify_all();
}

bool StateWriter::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return !pending_ && !busy_; });
  return lastOk_;
}

int StateWriter::Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

void StateWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stop_; });
    if (!pending_) break;  // stopping with nothing left
    const std::pair<std::string, std::string> job = std::move(*pending_);
    pending_.reset();
    busy_ = true;
    lock.unlock();
    const bool ok = WriteFileAtomic(job.first, job.second);
    lock.lock();
    busy_ = false;
    lastOk_ = ok;
    ++writes_;
    idle_.notify_all();
  }
  idle_.notify_all();
}

}  // namespace tarn
