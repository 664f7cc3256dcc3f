// The sound player behind tarn::Sound (platform/sound.h): wave files played through ALSA's
// default device on a thread of the player's own. Play may be called on any thread (trade
// notifications arrive on the library's thread) and returns at once; a new sound cuts off the
// one playing (within one 20 ms period). A file that cannot be read or parsed, or a machine
// without a sound device, is silent. No Qt.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sound.h"
#include "ui/wav_file.h"

namespace tarn::ui {

// Where samples go: the ALSA device, or a test's recorder.
class PcmOutput {
 public:
  virtual ~PcmOutput() = default;
  virtual bool Open(const WavSound& format) = 0;
  // Writes whole frames; false ends the sound.
  virtual bool Write(const char* frames, std::size_t count) = 0;
  // Discards what is queued (cut off) or plays it out (end of the sound); then closes.
  virtual void Drop() = 0;
  virtual void Drain() = 0;
};

std::unique_ptr<PcmOutput> MakeAlsaOutput();

class SoundPlayerAlsa final : public SoundPlayer {
 public:
  // Installs itself as the player (install = true); removes itself when destroyed.
  explicit SoundPlayerAlsa(std::unique_ptr<PcmOutput> output = MakeAlsaOutput(), bool install = true);
  ~SoundPlayerAlsa() override;
  SoundPlayerAlsa(const SoundPlayerAlsa&) = delete;
  SoundPlayerAlsa& operator=(const SoundPlayerAlsa&) = delete;

  void Play(const std::string& nativePath) override;

  // For tests: sounds started, and sounds cut off by a newer one.
  int Started() const;
  int CutOff() const;
  // Waits until no sound is queued or playing (at most `ms`); true when idle.
  bool WaitIdle(int ms) const;

 private:
  void Run();

  std::unique_ptr<PcmOutput> output_;
  bool installed_;
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::string pending_;
  uint64_t generation_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  int started_ = 0;
  int cutOff_ = 0;
  std::thread thread_;
};

}  // namespace tarn::ui
