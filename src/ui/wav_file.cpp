#include "ui/wav_file.h"

#include <cstring>

namespace tarn::ui {
namespace {

uint16_t U16(const char* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
uint32_t U32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

std::optional<WavSound> ParseWav(std::string_view b) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
  WavSound out;
  bool haveFormat = false;
  std::size_t pos = 12;
  while (b.size() - pos >= 8) {
    const std::string_view id = b.substr(pos, 4);
    const uint32_t size = U32(b.data() + pos + 4);
    pos += 8;
    const std::size_t left = b.size() - pos;
    if (id == "fmt ") {
      if (size < 16 || size > left) return std::nullopt;
      const char* f = b.data() + pos;
      uint16_t format = U16(f);
      if (format == kFormatExtensible) {
        // The sub-format GUID starts 24 bytes in; its first two bytes are the format code.
        if (size < 26) return std::nullopt;
        format = U16(f + 24);
      }
      if (format != kFormatPcm) return std::nullopt;
      out.channels = U16(f + 2);
      out.sampleRate = static_cast<int>(U32(f + 4));
      out.bitsPerSample = U16(f + 14);
      if (out.channels < 1 || out.channels > 8) return std::nullopt;
      if (out.sampleRate < 1000 || out.sampleRate > 384000) return std::nullopt;
      if (out.bitsPerSample != 8 && out.bitsPerSample != 16 && out.bitsPerSample != 24 && out.bitsPerSample != 32)
        return std::nullopt;
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) return std::nullopt;
      // Writers that never went back to fix the size leave it too large: keep what is there.
      const std::size_t n = size > left ? left : size;
      const std::size_t whole = n - n % static_cast<std::size_t>(out.FrameBytes());
      out.pcm.assign(b.data() + pos, whole);
      return out.pcm.empty() ? std::nullopt : std::optional<WavSound>(std::move(out));
    }
    if (size > left) return std::nullopt;
    pos += size + (size & 1);  // chunks are padded to an even size
    if (pos > b.size()) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace tarn::ui
