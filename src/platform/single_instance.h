// The named mutex that keeps a second copy of the terminal from running: an exclusive flock on
// a lock file named after the mutex name and the user's id, in $XDG_RUNTIME_DIR (or /tmp). The
// system releases the lock when the process ends, however it ends. Each user has locks of
// their own, so a lock file another user left behind never blocks anyone.
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
  // one) holds it. Error: the lock file could not be opened or locked (the caller decides
  // whether to run without the lock).
  Result Acquire(const std::string& name);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // The folder the lock files live in, and the file of a lock name for this user.
  static std::string LockFolder();
  static std::string LockPath(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace tarn
