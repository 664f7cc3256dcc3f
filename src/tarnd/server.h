// tarnd's network front: TLS sessions on one I/O thread, each a terminal's quote or trade link,
// serving the exchange's market and broker.
//
// A session answers nothing before its login: first Hello (protocol version and record
// layout), then Login, checked on a worker thread (the broker's password hash is slow on
// purpose) behind the failure limits per account and per address. Every frame's length is
// checked before it is read, sequence numbers must follow without gaps, and a session's output
// queue is bounded: a terminal that stops reading is dropped, not buffered without end. A
// session that stays silent past the silence limit is dropped too (half-open connections).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "libs/exchange/broker/broker.h"
#include "libs/exchange/embedded_exchange.h"

namespace tarn::tarnd {

struct ServerOptions {
  std::string dataDir;            // holds the certificate (tarnd.crt, tarnd.key)
  std::string bindAddress = "0.0.0.0";
  int port = 7200;                // 0: any free port (tests)
  int maxPerAddress = 32;         // connections at once from one address
  std::size_t maxQueuedBytes = 8u << 20;  // a session's unsent output before it is dropped
  int sendBufferBytes = 0;        // the sockets' send buffer (0: the system's)
  int heartbeatMs = 2000;
  int silenceMs = 15000;
  int loginTimeoutMs = 10000;     // from accepting to a successful login
  int authThreads = 2;
  exchange::BrokerOptions broker;
  std::function<void(const std::string&)> log;  // one line per event; empty: silent
};

class Server {
 public:
  Server(exchange::EmbeddedExchange& exchange, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Loads the certificate, opens the market and broker, listens and starts the I/O thread.
  bool Start(std::string& error);
  // Closes every session and stops; the stores stay with the exchange, which the owner closes.
  void Stop();
  int Port() const { return port_.load(); }

  // Counters (tests and the log).
  std::size_t Sessions() const;
  std::size_t QueuedBytes() const;
  uint64_t Dropped() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  std::atomic<int> port_{0};
};

}  // namespace tarn::tarnd
