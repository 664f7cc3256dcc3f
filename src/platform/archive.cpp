#include "platform/archive.h"

#include <cstring>

#include "platform/text.h"

namespace tarn {

static_assert(sizeof(double) == 8 && sizeof(int64_t) == 8);
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The archive form is little-endian; a big-endian build needs byte swapping here."
#endif

void ArchiveWriter::String(std::string_view s) {
  const uint64_t n = s.size();
  if (n < 0xFF) {
    Byte(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    Byte(0xFF);
    UInt16(static_cast<uint16_t>(n));
  } else if (n < 0xFFFFFFFFull) {
    Byte(0xFF);
    UInt16(0xFFFF);
    UInt32(static_cast<uint32_t>(n));
  } else {
    Byte(0xFF);
    UInt16(0xFFFF);
    UInt32(0xFFFFFFFFu);
    Int64(static_cast<int64_t>(n));
  }
  Raw(s.data(), s.size());
}

bool ArchiveReader::Raw(void* p, std::size_t n) {
  if (!ok_ || n > Remaining()) return Fail();
  std::memcpy(p, data_.data() + pos_, n);
  pos_ += n;
  return true;
}

bool ArchiveReader::Bool(bool& v) {
  uint8_t b = 0;
  if (!Byte(b)) return false;
  v = b != 0;
  return true;
}

bool ArchiveReader::String(std::string& s) {
  if (!ok_) return false;
  const std::size_t start = pos_;
  auto failHere = [&] {
    pos_ = start;
    return Fail();
  };
  uint8_t b = 0;
  if (!Byte(b)) return failHere();
  uint64_t n = b;
  bool wide = false;
  if (b == 0xFF) {
    uint16_t w = 0;
    if (!UInt16(w)) return failHere();
    if (w == 0xFFFE) {
      // A UTF-16 text: its own length prefix follows, counting 16-bit units.
      wide = true;
      if (!Byte(b)) return failHere();
      n = b;
      if (b == 0xFF) {
        if (!UInt16(w)) return failHere();
        n = w;
      }
    } else {
      n = w;
    }
    if (n == 0xFFFF) {
      uint32_t d = 0;
      if (!UInt32(d)) return failHere();
      n = d;
      if (d == 0xFFFFFFFFu) {
        int64_t q = 0;
        if (!Int64(q) || q < 0) return failHere();
        n = static_cast<uint64_t>(q);
      }
    }
  }
  const uint64_t bytes = wide ? n * 2 : n;
  if (n > Remaining() || bytes > Remaining()) return failHere();
  std::string_view raw = data_.substr(pos_, static_cast<std::size_t>(bytes));
  pos_ += static_cast<std::size_t>(bytes);
  s = wide ? Utf16LeToGbk(raw) : std::string(raw);
  return true;
}

bool ArchiveReader::Count(int32_t& n, std::size_t minRecordBytes) {
  const std::size_t start = pos_;
  if (!Int32(n)) return false;
  if (n < 0 || (minRecordBytes > 0 && static_cast<uint64_t>(n) > Remaining() / minRecordBytes)) {
    pos_ = start;
    return Fail();
  }
  return true;
}

}  // namespace tarn
