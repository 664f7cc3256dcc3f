// The server ping: packet, checksum, reply check, line formats, the worker's generations, and
// a real probe of 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/text.h"
#include "tools/ping.h"

namespace tarn {
namespace {

TEST(PingPacket, ChecksumKnownAnswerAndRequestLayout) {
  // The worked example of RFC 1071: the checksum bytes are 22 0D in memory order.
  const uint8_t bytes[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  const uint16_t sum = InternetChecksum(bytes, sizeof bytes);
  uint8_t out[2];
  std::memcpy(out, &sum, 2);
  EXPECT_EQ(out[0], 0x22);
  EXPECT_EQ(out[1], 0x0d);
  const uint8_t odd[] = {0x01, 0x02, 0x03};
  EXPECT_EQ(InternetChecksum(odd, 3), InternetChecksum((const uint8_t[]){0x01, 0x02, 0x03, 0x00}, 4));

  const auto p = BuildEchoRequest(0x1234, 0xA1B2C3D4u);
  EXPECT_EQ(p.size(), 44u);
  EXPECT_EQ(p[0], 8);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[6], 0);
  EXPECT_EQ(p[7], 0);
  uint16_t id;
  uint32_t t;
  std::memcpy(&id, &p[4], 2);
  std::memcpy(&t, &p[8], 4);
  EXPECT_EQ(id, 0x1234);
  EXPECT_EQ(t, 0xA1B2C3D4u);
  for (int i = 12; i < 44; ++i) EXPECT_EQ(p[i], 0x45);
  // A packet with its checksum in place sums to zero.
  EXPECT_EQ(InternetChecksum(p.data(), p.size()), 0);
}

std::vector<uint8_t> Reply(int ihlWords, uint8_t type, uint16_t id, uint32_t sent) {
  std::vector<uint8_t> d(static_cast<std::size_t>(ihlWords) * 4 + 44, 0);
  d[0] = static_cast<uint8_t>(0x40 | ihlWords);
  const std::size_t h = static_cast<std::size_t>(ihlWords) * 4;
  d[h] = type;
  std::memcpy(&d[h + 4], &id, 2);
  std::memcpy(&d[h + 8], &sent, 4);
  return d;
}

TEST(PingPacket, ReplyCheck) {
  int delay = -1;
  auto r = Reply(5, 0, 77, 1000);
  EXPECT_TRUE(CheckEchoReply(r.data(), r.size(), true, 77, 1012, &delay));
  EXPECT_EQ(delay, 12);
  // IP options: the header length comes from the first byte.
  r = Reply(7, 0, 77, 5000);
  EXPECT_TRUE(CheckEchoReply(r.data(), r.size(), true, 77, 5003, &delay));
  EXPECT_EQ(delay, 3);
  // Another process's ping (a different identifier), an echo request, a short datagram: invalid.
  r = Reply(5, 0, 78, 1000);
  EXPECT_FALSE(CheckEchoReply(r.data(), r.size(), true, 77, 1012, &delay));
  r = Reply(5, 8, 77, 1000);
  EXPECT_FALSE(CheckEchoReply(r.data(), r.size(), true, 77, 1012, &delay));
  r = Reply(5, 0, 77, 1000);
  EXPECT_FALSE(CheckEchoReply(r.data(), 27, true, 77, 1012, &delay));
  r = Reply(15, 0, 77, 1000);
  EXPECT_FALSE(CheckEchoReply(r.data(), 40, true, 77, 1012, &delay));  // header claims 60 bytes
  // Datagram sockets give the ICMP message without the IP header.
  r = Reply(5, 0, 9, 100);
  EXPECT_TRUE(CheckEchoReply(r.data() + 20, r.size() - 20, false, 9, 150, &delay));
  EXPECT_EQ(delay, 50);
  // Our own request seen on the way in is recognised (and skipped by the probe); another
  // process's request is not ours.
  r = Reply(5, 8, 77, 1000);
  EXPECT_TRUE(IsOwnRequest(r.data(), r.size(), true, 77));
  EXPECT_FALSE(IsOwnRequest(r.data(), r.size(), true, 78));
  r = Reply(5, 0, 77, 1000);
  EXPECT_FALSE(IsOwnRequest(r.data(), r.size(), true, 77));
}

TEST(PingLines, TargetsAndFormats) {
  auto t = PingTargets("", "10.0.0.1", "");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].first, TXT("交易服务器"));
  t = PingTargets("q", "t", "c");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].first, TXT("行情服务器"));
  EXPECT_EQ(t[2].first, TXT("云单服务器"));
  const int64_t when = 1767571200;  // a fixed time, shown in local time
  const std::string stamp = FormatTime(when, "%Y-%m-%d  %H:%M:%S");
  EXPECT_EQ(PingLine(when, TXT("行情服务器"), {0, 12}), stamp + TXT("   正在Ping  行情服务器   延时12毫秒  "));
  EXPECT_EQ(PingLine(when, TXT("交易服务器"), {-1, 0}), stamp + TXT("   正在Ping  交易服务器   超时"));
  EXPECT_EQ(PingLine(when, TXT("交易服务器"), {-2, 0}), stamp + TXT("   正在Ping  交易服务器   失败"));
}

class Sink : public IPingSink {
 public:
  void PostLine(std::string line) override {
    std::lock_guard<std::mutex> l(m);
    lines.push_back(std::move(line));
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> l(m);
    return lines;
  }
  std::mutex m;
  std::vector<std::string> lines;
};

std::atomic<int> g_probes{0};
ProbeResult FakeProbe(const std::string& host) {
  ++g_probes;
  return host == "slow" ? ProbeResult{-1, 0} : ProbeResult{0, 5};
}

bool WaitFor(const std::function<bool()>& f, int ms = 3000) {
  for (int i = 0; i < ms / 5; ++i) {
    if (f()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return f();
}

TEST(PingService, JobCyclesTargetsAndStopsForGood) {
  PingService& s = PingService::Instance();
  s.SetProbe(&FakeProbe);
  s.SetIntervalMs(5);
  Sink sink;
  s.Start(&sink, PingTargets("q", "slow", ""));
  ASSERT_TRUE(WaitFor([&] { return sink.Lines().size() >= 4; }));
  s.Stop(&sink);
  ASSERT_TRUE(WaitFor([&] { return s.RunningJobs() == 0; }));
  const auto lines = sink.Lines();
  EXPECT_NE(lines[0].find(TXT("行情服务器")), std::string::npos);
  EXPECT_NE(lines[0].find(TXT("延时5毫秒")), std::string::npos);
  EXPECT_NE(lines[1].find(TXT("交易服务器")), std::string::npos);
  EXPECT_NE(lines[1].find(TXT("超时")), std::string::npos);
  EXPECT_NE(lines[2].find(TXT("行情服务器")), std::string::npos);
  const std::size_t n = sink.Lines().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_EQ(sink.Lines().size(), n);  // nothing after the stop
  EXPECT_EQ(s.Start(&sink, {}), 0u);  // no targets: no job
  s.Shutdown();
  s.SetProbe(nullptr);
  s.SetIntervalMs(1000);
}

TEST(PingService, SecondStartLeavesExactlyOneWorker) {
  PingService& s = PingService::Instance();
  s.SetProbe(&FakeProbe);
  s.SetIntervalMs(5);
  Sink first, second;
  const uint64_t g1 = s.Start(&first, PingTargets("", "t", ""));
  const uint64_t g2 = s.Start(&second, PingTargets("", "t", ""));
  EXPECT_EQ(g2, g1 + 1);
  EXPECT_EQ(s.CurrentGeneration(), g2);
  ASSERT_TRUE(WaitFor([&] { return second.Lines().size() >= 3 && s.RunningJobs() == 1; }));
  const std::size_t firstLines = first.Lines().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_EQ(first.Lines().size(), firstLines);  // the old job's sink gets nothing more
  for (const auto& l : second.Lines()) EXPECT_NE(l.find(TXT("交易服务器")), std::string::npos);
  s.Shutdown();
  EXPECT_EQ(s.RunningJobs(), 0);
  s.SetProbe(nullptr);
  s.SetIntervalMs(1000);
}

TEST(IcmpProbe, LoopbackAnswersWhenASocketCanBeOpened) {
  IcmpSocket socket;
  const ProbeResult r = socket.Probe("127.0.0.1");
  if (socket.Ok()) {
    EXPECT_EQ(r.code, 0);
    EXPECT_GE(r.delayMs, 0);
    EXPECT_LT(r.delayMs, 1000);
  } else {
    EXPECT_EQ(r.code, -2);  // neither a raw nor a datagram socket: "失败"
  }
  if (socket.Ok()) {
    EXPECT_EQ(IcmpSocket().Probe(kEmbeddedExchangeHost).code, 0);
  }
  EXPECT_EQ(IcmpSocket().Probe("").code, -2);
  EXPECT_EQ(IcmpSocket().Probe("no-such-host.invalid").code, -2);
}

}  // namespace
}  // namespace tarn
