#include "libs/net/wire.h"

namespace tarn::net {

void AppendFrame(std::string& out, uint16_t type, uint32_t sequence, std::string_view payload) {
  const uint32_t length = static_cast<uint32_t>(kBodyHeaderBytes + payload.size());
  char header[kFrameHeaderBytes + kBodyHeaderBytes];
  std::memcpy(header, &length, 4);
  std::memcpy(header + 4, &type, 2);
  std::memcpy(header + 6, &sequence, 4);
  out.append(header, sizeof header);
  out.append(payload.data(), payload.size());
}

std::string EncodeFrame(uint16_t type, uint32_t sequence, std::string_view payload) {
  std::string out;
  AppendFrame(out, type, sequence, payload);
  return out;
}

bool FrameDecoder::Feed(const char* data, std::size_t n) {
  if (Broken()) return false;
  // Drop what was consumed before appending, so the buffer holds at most one frame and a
  // read's worth of bytes.
  if (pos_ > 0 && (pos_ == buffer_.size() || pos_ > 64 * 1024)) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  // Check the length of the frame in progress as soon as its four bytes are known, before the
  // body is kept.
  buffer_.append(data, n);
  if (Pending() >= kFrameHeaderBytes) {
    uint32_t len;
    std::memcpy(&len, buffer_.data() + pos_, 4);
    if (len < kBodyHeaderBytes || len > maxBody_) {
      error_ = len < kBodyHeaderBytes ? "frame shorter than its header" : "frame longer than the limit";
      buffer_.clear();
      pos_ = 0;
      return false;
    }
  }
  return true;
}

bool FrameDecoder::Next(Frame& out) {
  if (Broken() || Pending() < kFrameHeaderBytes) return false;
  uint32_t len;
  std::memcpy(&len, buffer_.data() + pos_, 4);
  if (len < kBodyHeaderBytes || len > maxBody_) {
    error_ = len < kBodyHeaderBytes ? "frame shorter than its header" : "frame longer than the limit";
    buffer_.clear();
    pos_ = 0;
    return false;
  }
  if (Pending() < kFrameHeaderBytes + len) return false;
  ByteReader r(std::string_view(buffer_).substr(pos_ + kFrameHeaderBytes, len));
  out.type = r.U16();
  out.sequence = r.U32();
  out.payload.assign(buffer_, pos_ + kFrameHeaderBytes + kBodyHeaderBytes, len - kBodyHeaderBytes);
  pos_ += kFrameHeaderBytes + len;
  // The next frame's length is checked now, so a stream that is already broken says so at once.
  if (Pending() >= kFrameHeaderBytes) {
    uint32_t next;
    std::memcpy(&next, buffer_.data() + pos_, 4);
    if (next < kBodyHeaderBytes || next > maxBody_)
      error_ = next < kBodyHeaderBytes ? "frame shorter than its header" : "frame longer than the limit";
  }
  return true;
}

}  // namespace tarn::net
