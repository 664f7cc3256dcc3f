// Wave files and the sound player: the parser survives damaged files and keeps what a short
// file holds; the player runs on its own thread and a new sound cuts off the one playing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sound.h"
#include "support/test_support.h"
#include "ui/sound_player_alsa.h"
#include "ui/wav_file.h"

namespace tarn::ui {
namespace {

std::string Le16(uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
std::string Le32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string MakeWav(int channels, int rate, int bits, const std::string& pcm, uint16_t format = 1,
                    uint32_t dataSize = 0xFFFFFFFF) {
  std::string fmt = Le16(format) + Le16(static_cast<uint16_t>(channels)) + Le32(static_cast<uint32_t>(rate)) +
                    Le32(static_cast<uint32_t>(rate * channels * bits / 8)) +
                    Le16(static_cast<uint16_t>(channels * bits / 8)) + Le16(static_cast<uint16_t>(bits));
  if (format == 0xFFFE) fmt += Le16(22) + Le16(static_cast<uint16_t>(bits)) + Le32(3) + Le16(1) + std::string(14, '\x10');
  std::string body = "WAVE" + std::string("LIST") + Le32(3) + "abc" + std::string(1, '\0') +  // odd chunk, padded
                     "fmt " + Le32(static_cast<uint32_t>(fmt.size())) + fmt + "data" +
                     Le32(dataSize == 0xFFFFFFFF ? static_cast<uint32_t>(pcm.size()) : dataSize) + pcm;
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

TEST(WavFile, ReadsPcmAndExtensibleAndSkipsOtherChunks) {
  auto w = ParseWav(MakeWav(2, 22050, 16, std::string(400, '\x01')));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->channels, 2);
  EXPECT_EQ(w->sampleRate, 22050);
  EXPECT_EQ(w->Frames(), 100u);
  auto e = ParseWav(MakeWav(1, 8000, 8, std::string(50, '\x80'), 0xFFFE));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->bitsPerSample, 8);
  EXPECT_EQ(e->Frames(), 50u);
  // The generated assets are valid.
  auto asset = ParseWav(test::ReadFile(TARN_ASSETS_DIR "/sound/trade/5.wav"));
  ASSERT_TRUE(asset);
  EXPECT_GT(asset->Frames(), 1000u);
}

TEST(WavFile, TruncatedFileKeepsItsWholeFramesAndGarbageGivesNothing) {
  // A data size larger than the file (a writer that never fixed it): what is there, whole frames.
  auto w = ParseWav(MakeWav(2, 22050, 16, std::string(401, '\x01'), 1, 100000));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->pcm.size(), 400u);
  const std::string good = MakeWav(1, 22050, 16, std::string(64, '\x02'));
  for (std::size_t cut = 0; cut < good.size() - 64; ++cut) EXPECT_FALSE(ParseWav(good.substr(0, cut))) << cut;
  EXPECT_FALSE(ParseWav(MakeWav(1, 22050, 16, std::string(64, '\x02'), 3)));  // float samples
  EXPECT_FALSE(ParseWav(MakeWav(0, 22050, 16, std::string(64, '\x02'))));
  EXPECT_FALSE(ParseWav(MakeWav(1, 22050, 12, std::string(64, '\x02'))));
  EXPECT_FALSE(ParseWav("RIFF\xff\xff\xff\xffWAVEfmt \xff\xff\xff\xff"));
  std::string garbage(4096, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919u) >> 3);
  EXPECT_FALSE(ParseWav(garbage));
}

// Records what would be played; each write takes a little time, as a device does.
class SlowOutput : public PcmOutput {
 public:
  std::atomic<int> opened{0}, dropped{0}, drained{0};
  std::atomic<std::size_t> frames{0};
  bool Open(const WavSound&) override {
    ++opened;
    return true;
  }
  bool Write(const char*, std::size_t count) override {
    frames += count;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
  }
  void Drop() override { ++dropped; }
  void Drain() override { ++drained; }
};

TEST(SoundPlayer, NewSoundCutsOffThePlayingOneAndDamagedFilesAreSilent) {
  test::ScopedHome home;
  const std::string longSound = home.Native("\\sound\\trade\\long.wav");
  const std::string shortSound = home.Native("\\sound\\trade\\short.wav");
  const std::string damaged = home.Native("\\sound\\trade\\bad.wav");
  test::WriteFile(longSound, MakeWav(1, 8000, 16, std::string(8000 * 2 * 5, '\0')));  // 5 s
  test::WriteFile(shortSound, MakeWav(1, 8000, 16, std::string(800, '\0')));          // 50 ms
  test::WriteFile(damaged, "RIFF\x04");
  auto out = std::make_unique<SlowOutput>();
  SlowOutput* rec = out.get();
  SoundPlayerAlsa player(std::move(out));
  std::thread([&] { EXPECT_TRUE(Sound::Play(longSound)); }).join();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  Sound::Play(shortSound);
  ASSERT_TRUE(player.WaitIdle(3000));
  EXPECT_EQ(player.Started(), 2);
  EXPECT_EQ(player.CutOff(), 1);
  EXPECT_EQ(rec->dropped.load(), 1);
  EXPECT_EQ(rec->drained.load(), 1);
  EXPECT_LT(rec->frames.load(), 8000u * 5);  // the long one did not play out
  Sound::Play(damaged);
  ASSERT_TRUE(player.WaitIdle(3000));
  EXPECT_EQ(player.Started(), 3);
  EXPECT_EQ(rec->opened.load(), 2);  // the damaged file never reached the device
}

TEST(SoundPlayer, TheRealDeviceOrItsAbsenceNeverBlocks) {
  SoundPlayerAlsa player(MakeAlsaOutput(), false);
  player.Play(TARN_ASSETS_DIR "/sound/trade/6.wav");
  EXPECT_TRUE(player.WaitIdle(5000));
}

}  // namespace
}  // namespace tarn::ui
