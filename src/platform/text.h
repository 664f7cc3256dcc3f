// Text helpers of the terminal.
//
// Every text inside the terminal is GBK bytes in a std::string, exactly as its files and
// records hold it. Source files are UTF-8; a system text is written TXT("...") and converted
// to GBK once, on first use. Conversions between GBK and UTF-8 happen only through the two
// functions below (glibc iconv, codec GB18030, which has GBK's bytes for every GBK character).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarn {

// UTF-8 -> GBK. Characters GBK cannot hold become '?'; malformed input bytes are skipped.
std::string Utf8ToGbk(std::string_view utf8);
// GBK -> UTF-8. Malformed GBK bytes become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// UTF-16LE (as some archive writers store texts) -> GBK.
std::string Utf16LeToGbk(std::string_view utf16le);

// printf into a std::string. std::string arguments are passed on as their C strings, so a
// "%s" can never receive a std::string object by mistake.
std::string FormatV(const char* fmt, va_list args);
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

namespace detail {
template <class T>
inline auto FormatArg(const T& v) {
  if constexpr (std::is_same_v<T, std::string>) {
    return v.c_str();
  } else {
    static_assert(!std::is_class_v<T>, "Format takes numbers, pointers and strings only");
    return v;
  }
}
}  // namespace detail

template <class... Args>
std::string Format(const std::string& fmt, const Args&... args) {
  return FormatC(fmt.c_str(), detail::FormatArg(args)...);
}
template <class... Args>
std::string Format(const char* fmt, const Args&... args) {
  return FormatC(fmt, detail::FormatArg(args)...);
}

// ASCII-only helpers (GBK lead and trail bytes are never ASCII letters' upper half issues:
// the trail byte of a GBK pair may be an ASCII letter, so these skip double-byte pairs).
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Removes leading and trailing blanks (space, tab, CR, LF, vertical tab, form feed).
std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);

// Copies a text into a fixed-size, NUL-terminated record field, cutting it at a character
// boundary of GBK so that no half character is left at the end.
void CopyToField(char* field, std::size_t size, std::string_view text);
template <std::size_t N>
void SetField(char (&field)[N], std::string_view text) {
  CopyToField(field, N, text);
}
// Reads a fixed-size field up to its first NUL (or its whole size when there is none).
std::string_view FieldView(const char* field, std::size_t size);
template <std::size_t N>
std::string_view Field(const char (&field)[N]) {
  return FieldView(field, N);
}

}  // namespace tarn

// TXT("中文") yields the literal converted to GBK, as a const std::string&, converted once.
#define TXT(literal)                                                   \
  ([]() -> const std::string& {                                        \
    static const std::string tarn_txt_value_ = ::tarn::Utf8ToGbk(literal); \
    return tarn_txt_value_;                                            \
  }())
