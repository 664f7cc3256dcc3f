#include "libs/net/connection.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <array>
#include <asio.hpp>
#include <asio/ssl.hpp>
#include <chrono>

#include "libs/net/tls.h"
#include "platform/text.h"

namespace tarn::net {

using Clock = std::chrono::steady_clock;

struct Connection::Io {
  asio::io_context io;
  asio::ssl::context ctx{asio::ssl::context::tls_client};
  asio::ssl::stream<asio::ip::tcp::socket> stream{io, ctx};
  asio::steady_timer heartbeat{io};
  FrameDecoder decoder{kMaxServerFrame};
  std::array<char, 64 * 1024> readBuf{};
  std::string out;       // frames waiting for the next write (I/O thread)
  std::string inFlight;  // the frames being written
  bool writing = false;
  uint32_t sendSeq = 0;          // under Connection::mutex_
  uint32_t recvSeq = 0;          // I/O thread
  Clock::time_point lastSent = Clock::now(), lastHeard = Clock::now();

  // Runs the loop until `done` or the deadline; false on time-out.
  bool RunUntil(const bool& done, Clock::time_point deadline) {
    while (!done) {
      if (io.stopped()) io.restart();
      if (io.run_one_until(deadline) == 0 && !done) return false;
    }
    return true;
  }
};

Connection::Connection(EventFn onEvent, DownFn onDown) : onEvent_(std::move(onEvent)), onDown_(std::move(onDown)) {}

Connection::~Connection() { Close(); }

bool Connection::Open(const ConnectOptions& options, const LoginMsg& login, LoginOkMsg& ok, std::string& error,
                      uint32_t* retryAfterMs) {
  Close();
  options_ = options;
  io_ = std::make_unique<Io>();
  Io& s = *io_;
  s.ctx.set_verify_mode(asio::ssl::verify_none);  // the fingerprint is checked below, on first use
  SSL_CTX_set_min_proto_version(s.ctx.native_handle(), TLS1_2_VERSION);
  const auto deadline = Clock::now() + std::chrono::milliseconds(options.connectTimeoutMs);
  const std::string where = Format("%s:%d", options.host, options.port);
  auto fail = [&](const std::string& text) {
    error = text;
    asio::error_code ignored;
    s.stream.lowest_layer().close(ignored);
    s.io.restart();
    s.io.poll();
    io_.reset();
    return false;
  };

  // Connect.
  asio::ip::tcp::resolver resolver(s.io);
  bool done = false;
  asio::error_code ec;
  resolver.async_resolve(options.host, std::to_string(options.port),
                         [&](const asio::error_code& e, asio::ip::tcp::resolver::results_type results) {
                           if (e) {
                             ec = e;
                             done = true;
                             return;
                           }
                           asio::async_connect(s.stream.lowest_layer(), results,
                                               [&](const asio::error_code& e2, const asio::ip::tcp::endpoint&) {
                                                 ec = e2;
                                                 done = true;
                                               });
                         });
  if (!s.RunUntil(done, deadline) || ec)
    return fail(Format(TXT("连接服务器%s失败: %s"), where, ec ? ec.message() : std::string("timed out")));
  s.stream.lowest_layer().set_option(asio::ip::tcp::no_delay(true), ec);
  SSL_set_tlsext_host_name(s.stream.native_handle(), options.host.c_str());

  // TLS, and the server's certificate against the one seen before.
  done = false;
  s.stream.async_handshake(asio::ssl::stream_base::client, [&](const asio::error_code& e) {
    ec = e;
    done = true;
  });
  if (!s.RunUntil(done, deadline) || ec)
    return fail(Format(TXT("与服务器%s建立加密连接失败"), where));
  std::string fingerprint;
  if (X509* cert = SSL_get1_peer_certificate(s.stream.native_handle())) {
    unsigned char* der = nullptr;
    const int len = i2d_X509(cert, &der);
    fingerprint = FingerprintOfDer(der, len);
    OPENSSL_free(der);
    X509_free(cert);
  }
  const Trust trust = fingerprint.empty() ? Trust::Changed : CheckServer(options.trustFile, where, fingerprint);
  if (trust == Trust::Changed)
    return fail(Format(TXT("服务器%s的证书与上次连接时不同, 已拒绝连接"), where));

  // Writes one frame and reads the answer (before the I/O thread runs).
  auto exchange = [&](Msg type, const std::string& payload, Frame& answer) -> bool {
    const std::string bytes = EncodeFrame(static_cast<uint16_t>(type), ++s.sendSeq, payload);
    done = false;
    asio::async_write(s.stream, asio::buffer(bytes), [&](const asio::error_code& e, std::size_t) {
      ec = e;
      done = true;
    });
    if (!s.RunUntil(done, deadline) || ec) return false;
    while (!s.decoder.Next(answer)) {
      if (s.decoder.Broken()) return false;
      done = false;
      std::size_t got = 0;
      s.stream.async_read_some(asio::buffer(s.readBuf), [&](const asio::error_code& e, std::size_t n) {
        ec = e;
        got = n;
        done = true;
      });
      if (!s.RunUntil(done, deadline) || ec) return false;
      s.decoder.Feed(s.readBuf.data(), got);
    }
    return answer.sequence == ++s.recvSeq;
  };
  auto refusal = [&](const Frame& f) {
    RefusedMsg r;
    if (f.type == static_cast<uint16_t>(Msg::Refused) && Decode(f.payload, r)) {
      if (retryAfterMs) *retryAfterMs = r.retryAfterMs;
      return fail(r.text);
    }
    return fail(Format(TXT("服务器%s的应答无法识别"), where));
  };

  Frame answer;
  HelloMsg hello;
  hello.layout = RecordLayout();
  if (!exchange(Msg::Hello, Encode(hello), answer))
    return fail(Format(TXT("服务器%s没有应答"), where));
  if (answer.type != static_cast<uint16_t>(Msg::Welcome)) return refusal(answer);
  if (trust == Trust::New) RememberServer(options.trustFile, where, fingerprint);
  if (!exchange(Msg::Login, Encode(login), answer)) return fail(Format(TXT("服务器%s没有应答"), where));
  if (answer.type != static_cast<uint16_t>(Msg::LoginOk)) return refusal(answer);
  if (!Decode(answer.payload, ok)) return fail(Format(TXT("服务器%s的应答无法识别"), where));

  // Logged in: the I/O thread takes over.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.clear();
  }
  s.lastHeard = s.lastSent = Clock::now();
  up_ = true;
  ArmHeartbeat(s);
  ReadNext(s);
  thread_ = std::thread([&s] {
    s.io.restart();
    s.io.run();
  });
  return true;
}

void Connection::Drop(const std::string& why) {
  (void)why;
  if (!up_.exchange(false)) return;
  if (io_) {
    asio::error_code ignored;
    io_->stream.lowest_layer().close(ignored);
    io_->heartbeat.cancel();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
  if (onDown_) onDown_();
}

void Connection::Close() {
  up_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
  if (!io_) return;
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      io_->io.stop();  // from an event: the thread ends after it; the next Open or the destructor joins
      return;
    }
    Io* s = io_.get();
    asio::post(s->io, [s] {
      asio::error_code ignored;
      s->stream.lowest_layer().close(ignored);
      s->heartbeat.cancel();
      s->io.stop();
    });
    thread_.join();
  }
  io_.reset();
}

// Each step arms the next from its own completion (no handler keeps itself alive, so nothing
// is left behind when the I/O context stops).
void Connection::ArmHeartbeat(Io& s) {
  s.heartbeat.expires_after(std::chrono::milliseconds(std::max(10, options_.heartbeatMs / 2)));
  s.heartbeat.async_wait([this, &s](const asio::error_code& e) {
    if (e || !up_) return;
    const auto now = Clock::now();
    if (now - s.lastHeard > std::chrono::milliseconds(options_.silenceMs)) return Drop("silence");
    if (now - s.lastSent >= std::chrono::milliseconds(options_.heartbeatMs) && s.out.empty()) {
      // Numbered and queued under the lock, as requests are, so numbers stay in order.
      std::lock_guard<std::mutex> lock(mutex_);
      asio::post(s.io, [this, frame = EncodeFrame(static_cast<uint16_t>(Msg::Heartbeat), ++s.sendSeq, {})]() mutable {
        Enqueue(std::move(frame));
      });
    }
    ArmHeartbeat(s);
  });
}

void Connection::ReadNext(Io& s) {
  s.stream.async_read_some(asio::buffer(s.readBuf), [this, &s](const asio::error_code& e, std::size_t n) {
    if (e) return Drop(e.message());
    s.lastHeard = Clock::now();
    s.decoder.Feed(s.readBuf.data(), n);
    Frame f;
    bool replied = false;  // the waiters are woken once per read, however many replies it held
    while (s.decoder.Next(f)) {
      if (f.sequence != ++s.recvSeq) return Drop("sequence gap");
      const Msg type = static_cast<Msg>(f.type);
      if (type == Msg::Reply) {
        ByteReader r(f.payload);
        const uint32_t to = r.U32();
        if (!r.Ok()) return Drop("bad reply");
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = waiting_.find(to);
        if (it != waiting_.end()) {
          it->second = f.payload.substr(4);
          replied = true;
        }
      } else if (type == Msg::Heartbeat) {
      } else if (type == Msg::Bye || type == Msg::Refused) {
        return Drop("closed by the server");
      } else if (onEvent_) {
        onEvent_(type, f.payload);
      }
    }
    if (replied) cv_.notify_all();
    if (s.decoder.Broken()) return Drop(s.decoder.Error());
    ReadNext(s);
  });
}

// Frames queued while a write is under way leave together in the next one.
void Connection::Enqueue(const std::string& frames) {
  Io* s = io_.get();
  s->out += frames;
  if (s->writing || !up_) return;
  WriteNext(s);
}

void Connection::WriteNext(Io* s) {
  s->writing = true;
  s->inFlight.clear();
  s->inFlight.swap(s->out);
  asio::async_write(s->stream, asio::buffer(s->inFlight), [this, s](const asio::error_code& e, std::size_t) {
    if (e) {
      s->writing = false;
      return Drop(e.message());
    }
    s->lastSent = Clock::now();
    if (s->out.empty()) {
      s->writing = false;
      return;
    }
    WriteNext(s);
  });
}

bool Connection::Call(Msg type, const std::string& payload, std::string& reply) {
  std::vector<std::optional<std::string>> replies;
  CallMany(type, {&payload, 1}, replies);
  if (!replies[0]) return false;
  reply = std::move(*replies[0]);
  return true;
}

std::size_t Connection::CallMany(Msg type, std::span<const std::string> payloads,
                                 std::vector<std::optional<std::string>>& replies) {
  replies.assign(payloads.size(), std::nullopt);
  if (payloads.empty()) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!up_ || !io_) return 0;
  Io* s = io_.get();
  const uint32_t first = s->sendSeq + 1;
  const uint64_t generation = generation_;
  std::string frames;
  for (const std::string& payload : payloads) {
    const uint32_t seq = ++s->sendSeq;
    waiting_[seq];
    AppendFrame(frames, static_cast<uint16_t>(type), seq, payload);
  }
  // Posted under the lock, so frames leave in the order of their numbers.
  asio::post(s->io, [this, frames = std::move(frames)] { Enqueue(frames); });
  const auto deadline = Clock::now() + std::chrono::milliseconds(options_.requestTimeoutMs);
  // Replies come in about the order of the requests: `next` is the first not yet answered.
  std::size_t next = 0;
  cv_.wait_until(lock, deadline, [&] {
    for (; next < payloads.size(); ++next) {
      auto it = waiting_.find(first + static_cast<uint32_t>(next));
      if (it == waiting_.end() || !it->second) break;
    }
    return generation_ != generation || next == payloads.size();
  });
  std::size_t answered = 0;
  for (std::size_t i = 0; i < payloads.size(); ++i) {
    auto it = waiting_.find(first + static_cast<uint32_t>(i));
    if (it == waiting_.end()) continue;
    if (it->second && generation_ == generation) {
      replies[i] = std::move(it->second);
      ++answered;
    }
    waiting_.erase(it);
  }
  return answered;
}

}  // namespace tarn::net
