// The server ping: ICMP echo probes to the servers of the current login, one per second,
// cycling through them on a worker thread, one output line per probe. No Qt: the dialog that
// shows the lines implements IPingSink.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sync.h"

namespace tarn {

// The reserved host name of the embedded exchange: probes of it go to this machine.
constexpr const char* kEmbeddedExchangeHost = "tarn-embedded";

// One target: label (GBK) and host.
using PingTarget = std::pair<std::string, std::string>;

// The targets in their order, each only when its host is not empty: "行情服务器" (quote host),
// "交易服务器" (trade host), "云单服务器" (cloud order host).
std::vector<PingTarget> PingTargets(const std::string& quoteHost, const std::string& tradeHost,
                                    const std::string& cloudHost);

// The Internet checksum (RFC 1071) of `size` bytes: the one's complement of the one's
// complement sum of the 16-bit words in memory order (an odd last byte padded with zero).
uint16_t InternetChecksum(const uint8_t* data, std::size_t size);

constexpr std::size_t kEchoRequestSize = 44;
// The echo request: type 8, code 0, checksum, identifier, sequence 0, the 32-bit send time and
// 32 filler bytes 0x45. The 16- and 32-bit fields are in the machine's order, as the reply
// check reads them back.
std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint32_t sendTime);

// Checks a received datagram (at most 1024 bytes are looked at): `ipHeader` says whether it
// starts with the IPv4 header (raw sockets) or with the ICMP message (datagram sockets). A
// valid echo reply with our identifier gives true and the delay now - send time.
bool CheckEchoReply(const uint8_t* data, std::size_t size, bool ipHeader, uint16_t identifier, uint32_t now,
                    int* delayMs);

// True for an echo request carrying our identifier: our own request, seen by a raw socket when
// it crosses the loopback interface.
bool IsOwnRequest(const uint8_t* data, std::size_t size, bool ipHeader, uint16_t identifier);

// A probe's result: 0 a reply (with the delay), -1 a time-out, -2 any other failure.
struct ProbeResult {
  int code = -2;
  int delayMs = 0;
};

// The ICMP socket of one probe: raw when allowed, else the unprivileged datagram socket; the
// send and receive time-outs are 1000 ms. Not copyable.
class IcmpSocket {
 public:
  IcmpSocket();
  ~IcmpSocket();
  IcmpSocket(const IcmpSocket&) = delete;
  IcmpSocket& operator=(const IcmpSocket&) = delete;
  bool Ok() const { return fd_ >= 0; }
  bool Raw() const { return raw_; }
  // Sends one echo request to `host` (a dotted address is used as it is, without a lookup; a
  // name is resolved) and waits for the reply.
  ProbeResult Probe(const std::string& host);

 private:
  int fd_ = -1;
  bool raw_ = false;
  uint16_t identifier_ = 0;
};

// The output line of a probe: "%s   正在Ping  %s   " with the local time
// ("%Y-%m-%d  %H:%M:%S") and the label, then "延时%d毫秒  ", "超时" or "失败".
std::string PingLine(int64_t time, const std::string& label, const ProbeResult& r);

// Where a job's lines go (the dialog); called under the service's lock.
class IPingSink {
 public:
  virtual ~IPingSink() = default;
  virtual void PostLine(std::string line) = 0;
};

// The process-wide ping state: the generation of the current job and the sink. Each job runs
// on a thread of its own until it is no longer current (stopped, or replaced by a newer job)
// or has no sink; a stop wakes a job from its one-second wait.
class PingService {
 public:
  // The probe a job runs (tests replace it); default: IcmpSocket per probe.
  using ProbeFn = ProbeResult (*)(const std::string& host);

  static PingService& Instance();
  ~PingService();

  // Makes `sink` the receiver and starts a job of a new generation over `targets`. Returns the
  // generation. Does nothing (returns 0) when there are no targets.
  uint64_t Start(IPingSink* sink, const std::vector<PingTarget>& targets);
  // Clears the receiver: the running job ends at its next delivery.
  void Stop(IPingSink* sink);
  uint64_t CurrentGeneration() const;
  // Jobs still running (finished threads are joined).
  int RunningJobs();
  // Ends every job and waits for their threads (process exit, tests).
  void Shutdown();

  void SetProbe(ProbeFn probe) { probe_ = probe; }
  void SetIntervalMs(int ms) { intervalMs_ = ms; }

 private:
  struct Job {
    uint64_t generation;
    std::vector<PingTarget> targets;
    std::thread thread;
    bool done = false;
  };
  void Run(Job* job);
  void ReapLocked(bool all, std::unique_lock<std::recursive_mutex>& lock);

  mutable CriticalSection mutex_;
  std::condition_variable_any wake_;
  uint64_t counter_ = 0;
  uint64_t current_ = 0;
  IPingSink* sink_ = nullptr;
  std::list<Job> jobs_;
  ProbeFn probe_ = nullptr;
  int intervalMs_ = 1000;
};

}  // namespace tarn
