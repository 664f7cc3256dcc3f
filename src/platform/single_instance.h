// The named mutex that keeps a second copy of the terminal from running: an exclusive flock on
// a lock file named after the mutex name, in $XDG_RUNTIME_DIR (or /tmp). The system releases
// the lock when the process ends, however it ends.
#pragma once

#include <string>

namespace tarn {

class SingleInstanceLock {
 public:
  SingleInstanceLock() = default;
  ~SingleInstanceLock() { Release(); }
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  enum class Result { Acquired, AlreadyHeld, Error };
  // Takes the lock named `name`. AlreadyHeld: another process (or another lock object of this
  // one) holds it.
  Result Acquire(const std::string& name);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // The folder the lock files live in.
  static std::string LockFolder();

 private:
  int fd_ = -1;
};

}  // namespace tarn
