// Sound playback behind one small interface. Play is asynchronous: it returns at once, a new
// sound cuts off the one still playing, and a missing file is silent. The terminal installs
// its real player at start; tests install a SoundRecorder and look at what would have played.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace tarn {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // `nativePath` is a file that exists (Sound::Play checks).
  virtual void Play(const std::string& nativePath) = 0;
};

namespace Sound {
// Plays a wave file given as a native path, asynchronously. Returns false (and plays nothing)
// when the file does not exist.
bool Play(const std::string& nativePath);
// Installs the player (nullptr: none, every sound is silent). The caller keeps it alive.
void SetPlayer(SoundPlayer* player);
}  // namespace Sound

// Records every sound instead of playing it.
class SoundRecorder final : public SoundPlayer {
 public:
  SoundRecorder() { Sound::SetPlayer(this); }
  ~SoundRecorder() override { Sound::SetPlayer(nullptr); }
  void Play(const std::string& nativePath) override {
    std::lock_guard<std::mutex> lock(mutex_);
    played_.push_back(nativePath);
  }
  std::vector<std::string> Played() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    played_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> played_;
};

}  // namespace tarn
