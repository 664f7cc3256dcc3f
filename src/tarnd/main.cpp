// tarnd: the exchange (market and broker) as a server for terminals on the network.
//
//   tarnd --data DIR [--port 7200] [--bind 0.0.0.0] [--max-per-address 32] [--history-days 365]
//         [--make-cert]
//
// DIR holds market.db, broker.db and the certificate tarnctl cert made (or tarnd itself with
// --make-cert when DIR has none, as the service does on its first start). Logs go to standard
// error; SIGTERM or SIGINT stops it cleanly (sessions closed, stores flushed).
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "libs/exchange/embedded_exchange.h"
#include "libs/net/tls.h"
#include "platform/file_io.h"
#include "tarnd/server.h"

namespace {

void Log(const std::string& line) {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  std::fprintf(stderr, "%s tarnd: %s\n", stamp, line.c_str());
}

int Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: tarnd --data DIR [--port N] [--bind ADDRESS] [--max-per-address N] [--history-days N]\n"
               "             [--make-cert]\n"
               "  --data DIR            the exchange's folder: market.db, broker.db, tarnd.crt, tarnd.key\n"
               "  --port N              TCP port to listen on (default 7200)\n"
               "  --bind ADDRESS        address to listen on (default 0.0.0.0)\n"
               "  --max-per-address N   connections at once from one address (default 32)\n"
               "  --history-days N      days of history of a new market (default 365)\n"
               "  --make-cert           make a self-signed certificate when DIR has none\n"
               "Make the certificate first (tarnctl cert --data DIR) or start with --make-cert.\n");
  return out == stdout ? 0 : 2;
}

bool IntArg(const char* text, int lo, int hi, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tarn::tarnd::ServerOptions options;
  int historyDays = 365;
  bool makeCert = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--help" || a == "-h") return Usage(stdout);
    if (a == "--data" && hasValue) {
      options.dataDir = argv[++i];
    } else if (a == "--port" && hasValue) {
      if (!IntArg(argv[++i], 1, 65535, options.port)) return Usage(stderr);
    } else if (a == "--history-days" && hasValue) {
      if (!IntArg(argv[++i], 1, 3650, historyDays)) return Usage(stderr);
    } else if (a == "--bind" && hasValue) {
      options.bindAddress = argv[++i];
    } else if (a == "--make-cert") {
      makeCert = true;
    } else if (a == "--max-per-address" && hasValue) {
      if (!IntArg(argv[++i], 1, 100000, options.maxPerAddress)) return Usage(stderr);
    } else {
      return Usage(stderr);
    }
  }
  if (options.dataDir.empty()) return Usage(stderr);
  if (!tarn::MakeDirs(options.dataDir)) {
    Log("cannot make the folder " + options.dataDir);
    return 1;
  }
  options.log = Log;
  // A missing certificate is made once; an existing one is never replaced, so the terminals that
  // trusted it keep trusting it.
  const std::string certPath = options.dataDir + "/" + tarn::net::kCertFile;
  if (makeCert && !tarn::FileExists(certPath)) {
    std::string error;
    if (!tarn::net::MakeCertificate(options.dataDir, "tarnd", false, error)) {
      Log("cannot make the certificate: " + error);
      return 1;
    }
    Log("made the certificate " + certPath + ", SHA-256 " + tarn::net::FingerprintOfFile(certPath));
  }

  // Signals are taken by a waiting thread (sigwait), not by a handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  tarn::exchange::ExchangeConfig config;
  config.dataDir = options.dataDir;
  config.historyDays = historyDays;
  tarn::exchange::EmbeddedExchange exchange(config);
  tarn::tarnd::Server server(exchange, options);
  std::string error;
  if (!server.Start(error)) {
    Log(error);
    return 1;
  }
  Log("exchange open in " + options.dataDir);
  int sig = 0;
  sigwait(&signals, &sig);
  Log(sig == SIGTERM ? "SIGTERM: stopping" : "SIGINT: stopping");
  server.Stop();
  return 0;  // the exchange closes its stores on the way out
}
