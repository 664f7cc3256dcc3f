#include "ui/sound_player_alsa.h"

#include <alsa/asoundlib.h>

#include <chrono>

#include "platform/file_io.h"

namespace tarn::ui {
namespace {

// Sound files are small; anything larger is not one of them.
constexpr std::size_t kMaxSoundFile = 32u << 20;

class AlsaOutput final : public PcmOutput {
 public:
  ~AlsaOutput() override { Close(); }

  bool Open(const WavSound& w) override {
    Close();
    if (snd_pcm_open(&pcm_, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
      pcm_ = nullptr;
      return false;
    }
    snd_pcm_format_t format = SND_PCM_FORMAT_S16_LE;
    switch (w.bitsPerSample) {
      case 8: format = SND_PCM_FORMAT_U8; break;
      case 24: format = SND_PCM_FORMAT_S24_3LE; break;
      case 32: format = SND_PCM_FORMAT_S32_LE; break;
      default: break;
    }
    if (snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(w.channels),
                           static_cast<unsigned>(w.sampleRate), 1, 100000) < 0) {
      Close();
      return false;
    }
    frameBytes_ = static_cast<std::size_t>(w.FrameBytes());
    return true;
  }

  bool Write(const char* frames, std::size_t count) override {
    while (pcm_ && count > 0) {
      snd_pcm_sframes_t n = snd_pcm_writei(pcm_, frames, count);
      if (n < 0) n = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
      if (n < 0) return false;
      frames += static_cast<std::size_t>(n) * frameBytes_;
      count -= static_cast<std::size_t>(n);
    }
    return pcm_ != nullptr;
  }

  void Drop() override {
    if (pcm_) snd_pcm_drop(pcm_);
    Close();
  }
  void Drain() override {
    if (pcm_) snd_pcm_drain(pcm_);
    Close();
  }

 private:
  void Close() {
    if (pcm_) snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }
  snd_pcm_t* pcm_ = nullptr;
  std::size_t frameBytes_ = 0;
};

}  // namespace

std::unique_ptr<PcmOutput> MakeAlsaOutput() { return std::make_unique<AlsaOutput>(); }

SoundPlayerAlsa::SoundPlayerAlsa(std::unique_ptr<PcmOutput> output, bool install)
    : output_(std::move(output)), installed_(install) {
  thread_ = std::thread([this] { Run(); });
  if (installed_) Sound::SetPlayer(this);
}

SoundPlayerAlsa::~SoundPlayerAlsa() {
  if (installed_) Sound::SetPlayer(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    ++generation_;
  }
  cv_.notify_all();
  thread_.join();
}

void SoundPlayerAlsa::Play(const std::string& nativePath) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = nativePath;
    ++generation_;
    busy_ = true;
  }
  cv_.notify_all();
}

int SoundPlayerAlsa::Started() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_;
}

int SoundPlayerAlsa::CutOff() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cutOff_;
}

bool SoundPlayerAlsa::WaitIdle(int ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !busy_; });
}

void SoundPlayerAlsa::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return stop_ || !pending_.empty(); });
    if (stop_) return;
    const std::string path = std::move(pending_);
    pending_.clear();
    const uint64_t generation = generation_;
    ++started_;
    lock.unlock();

    bool cut = false;
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxSoundFile);
    std::optional<WavSound> sound = bytes ? ParseWav(*bytes) : std::nullopt;
    if (sound && output_->Open(*sound)) {
      // Periods of 20 ms, so that a newer sound cuts this one off at once.
      const std::size_t period = std::max<std::size_t>(1, static_cast<std::size_t>(sound->sampleRate) / 50);
      const std::size_t frameBytes = static_cast<std::size_t>(sound->FrameBytes());
      const std::size_t frames = sound->Frames();
      bool ok = true;
      for (std::size_t at = 0; at < frames && ok; at += period) {
        {
          std::lock_guard<std::mutex> check(mutex_);
          if (generation_ != generation) {
            cut = true;
            break;
          }
        }
        ok = output_->Write(sound->pcm.data() + at * frameBytes, std::min(period, frames - at));
      }
      if (cut || !ok) output_->Drop();
      else output_->Drain();
    }

    lock.lock();
    if (cut) ++cutOff_;
    if (pending_.empty()) {
      busy_ = false;
      cv_.notify_all();
    }
  }
}

}  // namespace tarn::ui
