#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarn {
namespace {

// One converter per direction and thread: iconv_t is not thread-safe, and opening one per call
// would cost more than most conversions.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an unconvertible or malformed sequence writes `replacement` and skips
  // `skip` input bytes.
  std::string Run(std::string_view in, std::string_view replacement, std::size_t skip) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
        out.append(replacement);
        std::size_t n = skip < srcLeft ? skip : srcLeft;
        src += n;
        srcLeft -= n;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter conv("GB18030", "UTF-8");
  return conv.Run(utf8, "?", 1);
}

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  thread_local Converter conv("UTF-8", "GB18030");
  return conv.Run(gbk, "\xEF\xBF\xBD", 1);
}

std::string Utf16LeToGbk(std::string_view utf16le) {
  thread_local Converter conv("GB18030", "UTF-16LE");
  return conv.Run(utf16le, "?", 2);
}

std::string FormatV(const char* fmt, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string FormatC(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = FormatV(fmt, args);
  va_end(args);
  return out;
}

namespace {
template <class F>
std::string MapAscii(std::string_view s, F f) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;  // a GBK pair: its trail byte may look like an ASCII letter
      continue;
    }
    out[i] = f(c);
  }
  return out;
}
}  // namespace

std::string ToUpperAscii(std::string_view s) {
  return MapAscii(s, [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
}

std::string ToLowerAscii(std::string_view s) {
  return MapAscii(s, [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return ToUpperAscii(a) == ToUpperAscii(b);
}

std::string_view TrimView(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  std::size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

void CopyToField(char* field, std::size_t size, std::string_view text) {
  if (size == 0) return;
  std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  // Do not leave the lead byte of a GBK pair as the last byte.
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x81 && c <= 0xFE) {
      if (i + 1 >= n) break;
      i += 2;
    } else {
      ++i;
    }
  }
  std::memcpy(field, text.data(), i);
  std::memset(field + i, 0, size - i);
}

std::string_view FieldView(const char* field, std::size_t size) {
  const void* nul = std::memchr(field, 0, size);
  return std::string_view(field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size);
}

}  // namespace tarn
