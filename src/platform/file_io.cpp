#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace tarn {
namespace {

std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}
std::function<bool(FileStep)>& Hook() {
  static std::function<bool(FileStep)> hook;
  return hook;
}

bool Injected(FileStep step) {
  std::lock_guard<std::mutex> lock(HookMutex());
  return Hook() && Hook()(step);
}

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

std::string Parent(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void SetFileFaultHook(std::function<bool(FileStep)> hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}

bool MakeDirs(const std::string& nativePath) {
  std::error_code ec;
  std::filesystem::create_directories(nativePath, ec);
  return std::filesystem::is_directory(nativePath, ec);
}

bool FileExists(const std::string& nativePath) {
  struct stat st;
  return ::stat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteFileAtomic(const std::string& nativePath, std::string_view content, std::string* error) {
  const std::string dir = Parent(nativePath);
  if (!MakeDirs(dir)) return Fail(error, "cannot create folder " + dir);

  static std::atomic<unsigned> counter{0};
  const std::string temp = nativePath + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);

  int fd = Injected(FileStep::Open) ? -1 : ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Fail(error, "cannot create " + temp + ": " + std::strerror(errno ? errno : EIO));

  auto abandon = [&](const std::string& why) {
    ::close(fd);
    ::unlink(temp.c_str());
    return Fail(error, why);
  };

  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    if (Injected(FileStep::Write)) return abandon("write failed: " + temp);
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon(std::string("write failed: ") + std::strerror(errno));
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (content.empty() && Injected(FileStep::Write)) return abandon("write failed: " + temp);
  if (Injected(FileStep::Sync) || ::fsync(fd) != 0) return abandon("sync failed: " + temp);
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    return Fail(error, "close failed: " + temp);
  }
  if (Injected(FileStep::Rename) || ::rename(temp.c_str(), nativePath.c_str()) != 0) {
    ::unlink(temp.c_str());
    return Fail(error, "cannot replace " + nativePath);
  }
  // The new file is in place; a failed folder sync is reported, but the content is the new one.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool dirOk = dfd >= 0 && !Injected(FileStep::DirSync) && ::fsync(dfd) == 0;
  if (dfd >= 0) ::close(dfd);
  if (!dirOk) return Fail(error, "folder sync failed: " + dir);
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath, std::size_t maxBytes) {
  int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return std::nullopt;
  }
  std::string data;
  data.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < data.size()) {
    ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;  // the file shrank while we read it
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  return data;
}

}  // namespace tarn
