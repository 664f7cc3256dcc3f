#include "tools/ping.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {

std::vector<PingTarget> PingTargets(const std::string& quoteHost, const std::string& tradeHost,
                                    const std::string& cloudHost) {
  std::vector<PingTarget> t;
  if (!quoteHost.empty()) t.emplace_back(TXT("行情服务器"), quoteHost);
  if (!tradeHost.empty()) t.emplace_back(TXT("交易服务器"), tradeHost);
  if (!cloudHost.empty()) t.emplace_back(TXT("云单服务器"), cloudHost);
  return t;
}

uint16_t InternetChecksum(const uint8_t* data, std::size_t size) {
  uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) {
    uint16_t w;
    std::memcpy(&w, data + i, 2);
    sum += w;
  }
  if (i < size) {
    uint16_t w = 0;
    std::memcpy(&w, data + i, 1);
    sum += w;
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint32_t sendTime) {
  std::array<uint8_t, kEchoRequestSize> p{};
  p[0] = 8;
  p[1] = 0;
  std::memcpy(&p[4], &identifier, 2);
  // sequence number 0 at 6
  std::memcpy(&p[8], &sendTime, 4);
  std::memset(&p[12], 0x45, 32);
  const uint16_t sum = InternetChecksum(p.data(), p.size());
  std::memcpy(&p[2], &sum, 2);
  return p;
}

bool CheckEchoReply(const uint8_t* data, std::size_t size, bool ipHeader, uint16_t identifier, uint32_t now,
                    int* delayMs) {
  if (size > 1024) size = 1024;
  if (size < 1) return false;
  const std::size_t header = ipHeader ? static_cast<std::size_t>(data[0] & 15) * 4 : 0;
  if (size < header + 8) return false;
  if (data[header] != 0) return false;  // not an echo reply
  uint16_t id;
  std::memcpy(&id, data + header + 4, 2);
  if (id != identifier) return false;
  // The send time sits after the 8-byte ICMP header; a reply too short to hold it is invalid.
  if (size < header + 12) return false;
  uint32_t sent;
  std::memcpy(&sent, data + header + 8, 4);
  if (delayMs) *delayMs = static_cast<int>(now - sent);
  return true;
}

bool IsOwnRequest(const uint8_t* data, std::size_t size, bool ipHeader, uint16_t identifier) {
  if (size < 1) return false;
  const std::size_t header = ipHeader ? static_cast<std::size_t>(data[0] & 15) * 4 : 0;
  if (size < header + 8 || data[header] != 8) return false;
  uint16_t id;
  std::memcpy(&id, data + header + 4, 2);
  return id == identifier;
}

IcmpSocket::IcmpSocket() {
  fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  raw_ = fd_ >= 0;
  if (fd_ < 0) fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ < 0) return;
  timeval tv{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if (raw_) {
    identifier_ = static_cast<uint16_t>(::getpid() & 0xFFFF);
  } else {
    // The datagram socket's identifier is the socket's own "port", chosen by the system.
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      identifier_ = ntohs(a.sin_port);
  }
}

IcmpSocket::~IcmpSocket() {
  if (fd_ >= 0) ::close(fd_);
}

ProbeResult IcmpSocket::Probe(const std::string& host) {
  ProbeResult r;
  if (host.empty() || fd_ < 0) return r;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  // The embedded exchange runs inside the terminal: its reserved host name is this machine.
  const std::string& target = host == kEmbeddedExchangeHost ? std::string("127.0.0.1") : host;
  if (::inet_pton(AF_INET, target.c_str(), &to.sin_addr) != 1) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (::getaddrinfo(target.c_str(), nullptr, &hints, &res) != 0 || !res) return r;
    to.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    ::freeaddrinfo(res);
  }
  const auto packet = BuildEchoRequest(identifier_, static_cast<uint32_t>(TickCount()));
  if (::sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
    r.code = (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
    return r;
  }
  // One reply within the time-out. A raw socket sees every ICMP datagram of the machine; on the
  // loopback interface that includes our own request on its way in, which is skipped (else a
  // ping of this machine could never succeed). Any other datagram decides the probe.
  const int64_t deadline = TickCount() + 1000;
  for (;;) {
    const int64_t left = deadline - TickCount();
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = left > 0 ? ::poll(&pfd, 1, static_cast<int>(left)) : 0;
    if (ready == 0) {
      r.code = -1;
      return r;
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      return r;
    }
    uint8_t buf[1024];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0) {
      r.code = (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
      return r;
    }
    if (IsOwnRequest(buf, static_cast<std::size_t>(n), raw_, identifier_)) continue;
    int delay = 0;
    if (CheckEchoReply(buf, static_cast<std::size_t>(n), raw_, identifier_, static_cast<uint32_t>(TickCount()),
                       &delay)) {
      r.code = 0;
      r.delayMs = delay;
    }
    return r;
  }
  return r;
}

std::string PingLine(int64_t time, const std::string& label, const ProbeResult& r) {
  std::string line = Format(TXT("%s   正在Ping  %s   "), FormatTime(time, "%Y-%m-%d  %H:%M:%S"), label);
  if (r.code == 0) line += Format(TXT("延时%d毫秒  "), r.delayMs);
  else if (r.code == -1) line += TXT("超时");
  else line += TXT("失败");
  return line;
}

namespace {
ProbeResult SocketProbe(const std::string& host) {
  IcmpSocket socket;
  return socket.Probe(host);
}
}  // namespace

PingService& PingService::Instance() {
  static PingService service;
  return service;
}

PingService::~PingService() { Shutdown(); }

uint64_t PingService::Start(IPingSink* sink, const std::vector<PingTarget>& targets) {
  UniqueLock lock(mutex_);
  sink_ = sink;
  ReapLocked(false, lock);
  if (targets.empty()) return 0;
  current_ = ++counter_;
  jobs_.push_back(Job{current_, targets, std::thread(), false});
  Job* job = &jobs_.back();
  job->thread = std::thread([this, job] { Run(job); });
  wake_.notify_all();  // an older job waiting out its second ends now
  return current_;
}

void PingService::Stop(IPingSink* sink) {
  Lock lock(mutex_);
  if (sink_ == sink) sink_ = nullptr;
  wake_.notify_all();
}

uint64_t PingService::CurrentGeneration() const {
  Lock lock(mutex_);
  return current_;
}

int PingService::RunningJobs() {
  UniqueLock lock(mutex_);
  ReapLocked(false, lock);
  return static_cast<int>(jobs_.size());
}

void PingService::Shutdown() {
  UniqueLock lock(mutex_);
  sink_ = nullptr;
  ++current_;  // no job is current any more
  counter_ = current_;
  wake_.notify_all();
  ReapLocked(true, lock);
}

void PingService::ReapLocked(bool all, UniqueLock& lock) {
  for (auto it = jobs_.begin(); it != jobs_.end();) {
    if (it->done || all) {
      std::thread t = std::move(it->thread);
      // Joining without the lock: the job takes it to finish.
      lock.unlock();
      if (t.joinable()) t.join();
      lock.lock();
      it = jobs_.erase(it);
    } else {
      ++it;
    }
  }
}

void PingService::Run(Job* job) {
  std::size_t index = 0;
  const ProbeFn probe = probe_ ? probe_ : &SocketProbe;
  for (;;) {
    PingTarget target;
    {
      Lock lock(mutex_);
      if (job->generation != current_) break;
      target = job->targets[index];
    }
    const ProbeResult r = probe(target.second);
    const std::string line = PingLine(Now(), target.first, r);
    UniqueLock lock(mutex_);
    if (job->generation != current_ || !sink_) break;
    sink_->PostLine(line);
    index = (index + 1) % job->targets.size();
    const uint64_t generation = job->generation;
    wake_.wait_for(lock, std::chrono::milliseconds(intervalMs_),
                   [&] { return current_ != generation || !sink_; });
    if (current_ != generation || !sink_) break;
  }
  Lock lock(mutex_);
  job->done = true;
}

}  // namespace tarn
