// The network link's wire form: frames and the byte writer and reader their bodies use.
//
// A frame is a 4-byte little-endian body length, then the body: a 2-byte message type, a 4-byte
// sequence number (1, 2, 3, ... per direction and connection) and the payload. The decoder checks
// the length against its limit before it keeps anything, so a hostile length costs nothing.
// Every integer is little-endian; a text is a 4-byte length and its bytes; a list is a 4-byte
// count checked against the bytes left before anything is reserved.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tarn::net {

constexpr std::size_t kFrameHeaderBytes = 4;        // the body length
constexpr std::size_t kBodyHeaderBytes = 2 + 4;     // type and sequence number
constexpr uint32_t kMaxClientFrame = 64 * 1024;     // what a server accepts from a terminal
constexpr uint32_t kMaxServerFrame = 32u << 20;     // what a terminal accepts from a server

class ByteWriter {
 public:
  void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void U16(uint16_t v) { Raw(&v, 2); }
  void U32(uint32_t v) { Raw(&v, 4); }
  void U64(uint64_t v) { Raw(&v, 8); }
  void I32(int32_t v) { Raw(&v, 4); }
  void I64(int64_t v) { Raw(&v, 8); }
  void F64(double v) { Raw(&v, 8); }
  void Str(std::string_view s) {
    U32(static_cast<uint32_t>(s.size()));
    out_.append(s.data(), s.size());
  }
  // A record copied whole (plain records of fixed layout; both ends run the same build, which
  // the handshake checks).
  template <class T>
  void Pod(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    Raw(&v, sizeof(T));
  }
  template <class T>
  void PodList(const std::vector<T>& v) {
    U32(static_cast<uint32_t>(v.size()));
    for (const T& x : v) Pod(x);
  }
  std::string& Bytes() { return out_; }

 private:
  void Raw(const void* p, std::size_t n) { out_.append(static_cast<const char*>(p), n); }
  std::string out_;  // little-endian host (x86-64, arm64): the bytes are the wire form
};

// Reads a payload; the first failure sticks and every later read yields zeros.
class ByteReader {
 public:
  explicit ByteReader(std::string_view in) : in_(in) {}
  uint8_t U8() { uint8_t v = 0; Raw(&v, 1); return v; }
  bool Bool() { return U8() != 0; }
  uint16_t U16() { uint16_t v = 0; Raw(&v, 2); return v; }
  uint32_t U32() { uint32_t v = 0; Raw(&v, 4); return v; }
  uint64_t U64() { uint64_t v = 0; Raw(&v, 8); return v; }
  int32_t I32() { int32_t v = 0; Raw(&v, 4); return v; }
  int64_t I64() { int64_t v = 0; Raw(&v, 8); return v; }
  double F64() { double v = 0; Raw(&v, 8); return v; }
  std::string Str(std::size_t max = 1 << 20) {
    const uint32_t n = U32();
    if (!ok_ || n > max || n > Left()) return Fail(), std::string();
    std::string s(in_.substr(pos_, n));
    pos_ += n;
    return s;
  }
  template <class T>
  T Pod() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v{};
    Raw(&v, sizeof(T));
    return v;
  }
  // A count of records of at least `minBytes` each, checked against the bytes left.
  uint32_t Count(std::size_t minBytes) {
    const uint32_t n = U32();
    if (!ok_ || (minBytes > 0 && n > Left() / minBytes)) return Fail(), 0;
    return n;
  }
  template <class T>
  bool PodList(std::vector<T>& out) {
    const uint32_t n = Count(sizeof(T));
    out.clear();
    out.reserve(n);
    for (uint32_t i = 0; i < n && ok_; ++i) out.push_back(Pod<T>());
    return ok_;
  }
  bool Ok() const { return ok_; }
  // True when everything was read and nothing is left over.
  bool Done() const { return ok_ && pos_ == in_.size(); }
  std::size_t Left() const { return in_.size() - pos_; }
  void Fail() { ok_ = false; }

 private:
  void Raw(void* p, std::size_t n) {
    if (!ok_ || n > Left()) {
      ok_ = false;
      return;
    }
    std::memcpy(p, in_.data() + pos_, n);
    pos_ += n;
  }
  std::string_view in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

struct Frame {
  uint16_t type = 0;
  uint32_t sequence = 0;
  std::string payload;
};

// A whole frame's bytes (length, type, sequence, payload).
std::string EncodeFrame(uint16_t type, uint32_t sequence, std::string_view payload);
// The same appended to `out`, so that frames sent together leave in one write.
void AppendFrame(std::string& out, uint16_t type, uint32_t sequence, std::string_view payload);

// Cuts a byte stream into frames. Feed it what arrives; Next yields complete frames in order.
// A length below the body header or above the limit is a protocol error: the decoder stops
// for good and says why.
class FrameDecoder {
 public:
  explicit FrameDecoder(uint32_t maxBody) : maxBody_(maxBody) {}
  // False once the stream is broken (then nothing more is taken).
  bool Feed(const char* data, std::size_t n);
  // The next complete frame; false when none is complete (or the stream is broken).
  bool Next(Frame& out);
  bool Broken() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  // Bytes held waiting for the rest of a frame.
  std::size_t Pending() const { return buffer_.size() - pos_; }

 private:
  uint32_t maxBody_;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace tarn::net
