#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/file_io.h"

namespace tarn {

std::string SingleInstanceLock::LockFolder() {
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  if (run && *run && access(run, W_OK) == 0) return run;
  return "/tmp";
}

std::string SingleInstanceLock::LockPath(const std::string& name) {
  std::string safe;
  for (char c : name) safe += (c == '/' || c == '\0') ? '_' : c;
  return LockFolder() + "/" + safe + "-" + std::to_string(::getuid()) + ".lock";
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& name) {
  Release();
  const std::string path = LockPath(name);
  // O_NOFOLLOW: in a shared /tmp a link planted under our name must not make us create or
  // lock another file. A file we may only read still takes a flock.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return Result::Error;
  // flock locks belong to the open file description, so a second open in this very process
  // conflicts too, as a second CreateMutex of a held name would report.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? Result::AlreadyHeld : Result::Error;
  }
  fd_ = fd;
  return Result::Acquired;
}

void SingleInstanceLock::Release() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace tarn
