// Wave files as the terminal's sounds are stored: RIFF "WAVE" with a "fmt " chunk (PCM, or the
// extensible form with a PCM sub-format; 8, 16, 24 or 32 bits; 1 to 8 channels) and a "data"
// chunk. The reader trusts nothing: every chunk size is checked against the bytes left, a data
// chunk longer than the file keeps what is there, and anything else gives no sound. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::ui {

struct WavSound {
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;  // 8 (unsigned), 16, 24 or 32 (signed, little-endian)
  std::string pcm;        // interleaved frames, whole frames only

  int FrameBytes() const { return channels * bitsPerSample / 8; }
  std::size_t Frames() const { return FrameBytes() ? pcm.size() / static_cast<std::size_t>(FrameBytes()) : 0; }
};

std::optional<WavSound> ParseWav(std::string_view bytes);

}  // namespace tarn::ui
