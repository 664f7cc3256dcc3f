// One TLS connection of a terminal's library to the exchange server: connect, check the
// server's certificate, handshake, log in; then requests answered by replies, events and
// heartbeats, on an I/O thread of its own.
//
// Requests block their caller until the reply arrives, the link drops or the time runs out.
// Events go to the event function on the I/O thread, in the server's order; the down function
// is called once when an open connection drops (not after Close). Silence from the server for
// longer than the silence limit counts as a drop, so a half-open connection is noticed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "libs/net/protocol.h"

namespace tarn::net {

struct ConnectOptions {
  std::string host;
  int port = 7200;
  int connectTimeoutMs = 5000;
  int requestTimeoutMs = 15000;
  int heartbeatMs = 2000;     // a heartbeat goes out after this long without sending
  int silenceMs = 10000;      // the link is dropped after this long without hearing anything
  std::string trustFile = "\\config\\servers_trust.ini";
};

class Connection {
 public:
  using EventFn = std::function<void(Msg type, const std::string& payload)>;
  using DownFn = std::function<void()>;

  Connection(EventFn onEvent, DownFn onDown);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects and logs in (blocking). False with `error` set (a text for the user) on failure;
  // a refusal's retry delay goes to `retryAfterMs` when given.
  bool Open(const ConnectOptions& options, const LoginMsg& login, LoginOkMsg& ok, std::string& error,
            uint32_t* retryAfterMs = nullptr);
  void Close();
  bool IsUp() const { return up_.load(); }

  // Sends a request and waits for its reply. False when the link is down, drops, or the reply
  // does not come in time.
  bool Call(Msg type, const std::string& payload, std::string& reply);
  // Sends several requests of one type at once (one write, no waiting between them) and waits
  // for all their replies; `replies` holds each one, or nothing for a request left unanswered
  // (the link dropped or the time ran out). Returns how many were answered.
  std::size_t CallMany(Msg type, std::span<const std::string> payloads,
                       std::vector<std::optional<std::string>>& replies);

 private:
  struct Io;
  void Drop(const std::string& why);
  void Enqueue(const std::string& frames);  // I/O thread: queue frames, start the writer
  // I/O thread: the heartbeat timer, the reader and the writer, each re-armed by its completion.
  void ArmHeartbeat(Io& s);
  void ReadNext(Io& s);
  void WriteNext(Io* s);

  EventFn onEvent_;
  DownFn onDown_;
  std::unique_ptr<Io> io_;
  std::thread thread_;
  std::atomic<bool> up_{false};
  ConnectOptions options_;

  std::mutex mutex_;  // the waiting requests
  std::condition_variable cv_;
  std::map<uint32_t, std::optional<std::string>> waiting_;
  uint64_t generation_ = 0;  // advances at every drop: waiters of an older one give up
};

}  // namespace tarn::net
