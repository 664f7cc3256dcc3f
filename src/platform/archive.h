// The framework archive form of the terminal's data files: little-endian integers and
// doubles, and texts as GBK bytes behind a length prefix (one byte below 255; 0xFF and a
// 16-bit length below 0xFFFE; 0xFF, 0xFFFF and a 32-bit length; 0xFF, 0xFFFF, 0xFFFFFFFF and
// a 64-bit length). A prefix 0xFF 0xFFFE marks a UTF-16 text, which is read into GBK.
//
// The reader never trusts the file: every length and count is checked against the bytes that
// are left before anything is allocated. The first failure stops the reader for good (every
// later read fails too), and `Position()` tells where it stopped, so a caller keeps what it
// read before the damage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

class ArchiveWriter {
 public:
  void Int8(int8_t v) { Raw(&v, 1); }
  void Byte(uint8_t v) { Raw(&v, 1); }
  void Bool(bool v) { Byte(v ? 1 : 0); }
  void Int16(int16_t v) { Raw(&v, 2); }
  void UInt16(uint16_t v) { Raw(&v, 2); }
  void Int32(int32_t v) { Raw(&v, 4); }
  void UInt32(uint32_t v) { Raw(&v, 4); }
  void Int64(int64_t v) { Raw(&v, 8); }
  void Double(double v) { Raw(&v, 8); }
  // A text with its length prefix (the bytes as they are: GBK inside the terminal).
  void String(std::string_view s);
  void Raw(const void* p, std::size_t n) { data_.append(static_cast<const char*>(p), n); }

  const std::string& Data() const { return data_; }
  std::string Take() { return std::move(data_); }

 private:
  std::string data_;
};

class ArchiveReader {
 public:
  explicit ArchiveReader(std::string_view data) : data_(data) {}

  bool Int8(int8_t& v) { return Raw(&v, 1); }
  bool Byte(uint8_t& v) { return Raw(&v, 1); }
  bool Bool(bool& v);
  bool Int16(int16_t& v) { return Raw(&v, 2); }
  bool UInt16(uint16_t& v) { return Raw(&v, 2); }
  bool Int32(int32_t& v) { return Raw(&v, 4); }
  bool UInt32(uint32_t& v) { return Raw(&v, 4); }
  bool Int64(int64_t& v) { return Raw(&v, 8); }
  bool Double(double& v) { return Raw(&v, 8); }
  bool String(std::string& s);
  bool Raw(void* p, std::size_t n);

  // A record count that is plausible: not negative, and no more records than could fit in the
  // bytes left if each took at least `minRecordBytes`. A larger count fails the reader.
  bool Count(int32_t& n, std::size_t minRecordBytes);

  bool Ok() const { return ok_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  // Where the reader stopped (the offset of the read that failed), for reports.
  std::size_t FailedAt() const { return failedAt_; }
  // Marks the reader failed here (a value the record cannot hold); returns false.
  bool Fail() {
    if (ok_) failedAt_ = pos_;
    ok_ = false;
    return false;
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  std::size_t failedAt_ = 0;
  bool ok_ = true;
};

}  // namespace tarn
