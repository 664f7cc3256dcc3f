// A real tarnd process killed (SIGKILL) 20 times while two terminals send orders: after each
// restart it serves the same state, the terminals log in again by themselves, and at the end
// every order the terminals sent is in the broker once, in a database SQLite finds sound.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>

#include "libs/net/net_links.h"
#include "server_fixture.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

class TarndProcess {
 public:
  TarndProcess(std::string dir, int port, bool makeCert = false)
      : dir_(std::move(dir)), port_(port), makeCert_(makeCert) {}
  ~TarndProcess() { Kill(SIGKILL); }
  void Start() {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string p = std::to_string(port_);
      const int devnull = ::open("/dev/null", O_WRONLY);
      if (devnull >= 0) dup2(devnull, 2);
      execl(TARND_PATH, "tarnd", "--data", dir_.c_str(), "--port", p.c_str(), "--bind", "127.0.0.1",
            "--history-days", "10", makeCert_ ? "--make-cert" : static_cast<char*>(nullptr),
            static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  // The exit status (-1 when it was killed by a signal).
  int Kill(int sig) {
    if (pid_ <= 0) return -1;
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string dir_;
  int port_;
  bool makeCert_;
  pid_t pid_ = 0;
};

// A service's first start has no certificate: --make-cert makes one and serves with it, and a
// restart keeps it, so a terminal that trusted the server on first use still logs in.
TEST(TarndProcess, MakesItsCertificateOnceAndKeepsIt) {
  TempDir dir;
  const int port = 30000 + (getpid() + 7) % 20000;
  net::LinkSettings settings;
  settings.connect.trustFile = dir.File("trust.ini");
  std::string error;
  std::string first;
  for (int run = 0; run < 2; ++run) {
    TarndProcess tarnd(dir.path(), port, true);
    tarnd.Start();
    net::NetTradeLink link(settings);
    std::vector<std::string> accounts;
    ASSERT_TRUE(WaitFor([&] { return link.Open(TradeLogin{"8001", "888888", "127.0.0.1", port}, nullptr, error, accounts); },
                        20000))
        << "run " << run << ": " << error;
    const std::string fp = net::FingerprintOfFile(dir.path() + "/" + net::kCertFile);
    ASSERT_FALSE(fp.empty());
    if (run == 0) first = fp;
    EXPECT_EQ(fp, first);
    link.Close();
    EXPECT_EQ(tarnd.Kill(SIGTERM), 0);
  }
}

TEST(TarndProcess, KilledWhileTerminalsSendLosesNothingAndDoublesNothing) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(net::MakeCertificate(dir.path(), "test", false, error)) << error;
  const int port = 30000 + getpid() % 20000;
  TarndProcess tarnd(dir.path(), port);
  net::LinkSettings settings;
  settings.connect.trustFile = dir.File("trust.ini");
  net::NetTradeLink a(settings), b(settings);
  // Logs in again until the server is back (as the terminal's reconnection does).
  auto login = [&](net::NetTradeLink& link) {
    std::vector<std::string> accounts;
    return WaitFor([&] { return link.Open(TradeLogin{"8001", "888888", "127.0.0.1", port}, nullptr, error, accounts); },
                   20000);
  };
  std::map<std::string, int> placed;
  std::mt19937 rng(11);
  const auto begin = std::chrono::steady_clock::now();
  for (int cycle = 0; cycle < 20; ++cycle) {
    tarnd.Start();
    ASSERT_TRUE(login(a)) << error;
    ASSERT_TRUE(login(b)) << error;
    auto sender = [&](net::NetTradeLink& link, const std::string& account, int& count) {
      for (int i = 0; i < 500; ++i) {
        if (link.InsertOrder(OrderEntry{account, 0, 1, 1, false, 1, true, 1, ""}) < 0) break;
        ++count;  // answered, or pending until the next login
      }
    };
    int na = 0, nb = 0;
    std::thread ta([&] { sender(a, "8001", na); });
    std::thread tb([&] { sender(b, "8002", nb); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + rng() % 60));
    tarnd.Kill(SIGKILL);
    ta.join();
    tb.join();
    placed["8001"] += na;
    placed["8002"] += nb;
  }
  // Back once more: the pending orders go out; then a clean stop.
  tarnd.Start();
  ASSERT_TRUE(login(a)) << error;
  ASSERT_TRUE(login(b)) << error;
  EXPECT_EQ(a.PendingOrders() + b.PendingOrders(), 0u);
  a.Close();
  b.Close();
  EXPECT_EQ(tarnd.Kill(SIGTERM), 0);
  // Most of the time goes to the server's password hashes (two logins a cycle) and its start.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(240));

  // The broker's store, opened here: every order once.
  {
    ExchangeConfig config;
    config.dataDir = dir.path();
    config.manualClock = true;
    EmbeddedExchange exchange(config);
    Broker& broker = exchange.OpenBroker({});
    for (const char* account : {"8001", "8002"}) {
      std::vector<Order> orders;
      ASSERT_TRUE(broker.GetOrders(account, orders));
      std::set<uint64_t> refs;
      for (const Order& o : orders) EXPECT_TRUE(refs.insert(o.clientRef).second) << "doubled " << o.key;
      EXPECT_EQ(static_cast<int>(orders.size()), placed[account]) << account;
      EXPECT_GT(placed[account], 0);
    }
  }
  EXPECT_EQ(IntegrityCheck(dir.File("broker.db")), "ok");
}

}  // namespace
}  // namespace tarn::test
