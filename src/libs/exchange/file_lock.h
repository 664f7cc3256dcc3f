// An exclusive lock on a file beside a database ("broker.db.lock"): whoever holds it owns the
// database for writing. It is an flock, so the system releases it when the holder ends, however
// it ends, and a second lock object of the same process conflicts too.
#pragma once

#include <string>

namespace tarn::exchange {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept {
    if (this != &other) {
      Release();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }

  enum class Result { Acquired, Held, Error };
  // Takes the lock on `path` (created when missing). Held: someone else has it.
  Result Acquire(const std::string& path);
  void Release();
  bool Owned() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tarn::exchange
