// An exchange server on loopback over a temporary folder with a fresh certificate, on a manual
// clock; and a raw client that speaks frames to it, for scripted sessions.
#pragma once

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "libs/exchange/embedded_exchange.h"
#include "libs/net/protocol.h"
#include "libs/net/tls.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tarnd/server.h"

namespace tarn::test {

// What SQLite's integrity check says of the database at `path` ("ok" when sound).
inline std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return "cannot open " + path;
  }
  std::string verdict;
  sqlite3_exec(
      db, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0] ? values[0] : "";
        return 0;
      },
      &verdict, nullptr);
  sqlite3_close(db);
  return verdict;
}

constexpr int64_t kMondayTenAmMs = 1765159200000LL;  // 2025-12-08 10:00

// Waits up to `ms` for `done`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class ServerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(net::MakeCertificate(data_.path(), "test", false, error)) << error;
    options_.dataDir = data_.path();
    options_.bindAddress = "127.0.0.1";
    options_.port = 0;
    options_.broker.hashCost = exchange::HashCost::Minimal;
  }
  void TearDown() override { StopServer(); }

  void StartServer() {
    exchange::ExchangeConfig config;
    config.dataDir = data_.path();
    config.clock = &clock_;
    config.manualClock = true;
    config.historyDays = 20;
    exchange_ = std::make_unique<exchange::EmbeddedExchange>(config);
    options_.port = port_;
    server_ = std::make_unique<tarnd::Server>(*exchange_, options_);
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
    port_ = server_->Port();
  }
  // Stops like a killed server as far as terminals can tell: every connection ends at once.
  void StopServer() {
    server_.reset();
    exchange_.reset();
  }
  exchange::Broker& Broker() { return *exchange_->GetBroker(); }
  void Advance(int64_t ms) {
    clock_.AdvanceMs(ms);
    exchange_->AdvanceToClock();
  }

  TempDir data_;
  ManualClock clock_{kMondayTenAmMs};
  tarnd::ServerOptions options_;
  std::unique_ptr<exchange::EmbeddedExchange> exchange_;
  std::unique_ptr<tarnd::Server> server_;
  int port_ = 0;
};

// A client that sends exactly what a test says, frame by frame or byte by byte.
class RawClient {
 public:
  explicit RawClient(int port, int receiveBuffer = 0) {
    asio::error_code ec;
    stream_.lowest_layer().open(asio::ip::tcp::v4(), ec);
    if (receiveBuffer > 0) stream_.lowest_layer().set_option(asio::socket_base::receive_buffer_size(receiveBuffer), ec);
    bool done = false;
    stream_.lowest_layer().async_connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)},
                                         [&](const asio::error_code& e) {
                                           ec = e;
                                           done = true;
                                         });
    if (!Run(done, 3000) || ec) return;
    done = false;
    stream_.async_handshake(asio::ssl::stream_base::client, [&](const asio::error_code& e) {
      ec = e;
      done = true;
    });
    connected_ = Run(done, 3000) && !ec;
  }
  bool Connected() const { return connected_; }

  bool SendBytes(const std::string& bytes) {
    bool done = false;
    asio::error_code ec;
    asio::async_write(stream_, asio::buffer(bytes), [&](const asio::error_code& e, std::size_t) {
      ec = e;
      done = true;
    });
    return Run(done, 3000) && !ec;
  }
  // A frame with the next sequence number (or the one given).
  bool Send(net::Msg type, const std::string& payload, uint32_t sequence = 0) {
    seq_ = sequence ? sequence : seq_ + 1;
    return SendBytes(net::EncodeFrame(static_cast<uint16_t>(type), seq_, payload));
  }
  // Frames of one type with the next sequence numbers, all in one write.
  bool SendAll(net::Msg type, const std::vector<std::string>& payloads) {
    std::string bytes;
    for (const std::string& p : payloads) net::AppendFrame(bytes, static_cast<uint16_t>(type), ++seq_, p);
    return SendBytes(bytes);
  }
  // The next frame; false when the server closed the connection or nothing came in time.
  bool Receive(net::Frame& f, int ms = 3000) {
    while (!decoder_.Next(f)) {
      if (closed_) return false;
      bool done = false;
      std::size_t got = 0;
      asio::error_code ec;
      stream_.async_read_some(asio::buffer(buf_), [&](const asio::error_code& e, std::size_t n) {
        ec = e;
        got = n;
        done = true;
      });
      if (!Run(done, ms)) return false;
      if (ec) {
        closed_ = true;
        return false;
      }
      decoder_.Feed(buf_.data(), got);
    }
    return true;
  }
  // The next frame that is not a heartbeat.
  bool ReceiveAnswer(net::Frame& f, int ms = 3000) {
    while (Receive(f, ms))
      if (f.type != static_cast<uint16_t>(net::Msg::Heartbeat)) return true;
    return false;
  }
  // True once the server has closed the connection (within `ms`).
  bool ClosedByServer(int ms = 3000) {
    net::Frame f;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      if (!Receive(f, 100) && closed_) return true;
    }
    return closed_;
  }
  bool Hello() {
    net::HelloMsg hello;
    hello.layout = net::RecordLayout();
    net::Frame f;
    return Send(net::Msg::Hello, net::Encode(hello)) && ReceiveAnswer(f) &&
           f.type == static_cast<uint16_t>(net::Msg::Welcome);
  }
  // Hello and login; the answer's frame in `answer`.
  bool Login(net::LinkKind kind, const std::string& user, const std::string& password, net::Frame* answer = nullptr) {
    net::Frame f;
    if (!Hello() || !Send(net::Msg::Login, net::Encode(net::LoginMsg{kind, user, password})) || !ReceiveAnswer(f))
      return false;
    if (answer) *answer = f;
    return f.type == static_cast<uint16_t>(net::Msg::LoginOk);
  }
  uint32_t LastSequence() const { return seq_; }

 private:
  bool Run(bool& done, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done) {
      if (io_.stopped()) io_.restart();
      if (io_.run_one_until(until) == 0 && !done) {
        asio::error_code ignored;
        stream_.lowest_layer().cancel(ignored);
        while (!done) {
          io_.restart();
          io_.run_one();
        }
        return false;
      }
    }
    return true;
  }

  asio::io_context io_;
  asio::ssl::context ctx_{asio::ssl::context::tls_client};
  asio::ssl::stream<asio::ip::tcp::socket> stream_{io_, ctx_};
  net::FrameDecoder decoder_{net::kMaxServerFrame};
  std::array<char, 64 * 1024> buf_{};
  uint32_t seq_ = 0;
  bool connected_ = false;
  bool closed_ = false;
};

}  // namespace tarn::test
