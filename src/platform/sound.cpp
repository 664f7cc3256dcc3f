#include "platform/sound.h"

#include <atomic>

#include "platform/file_io.h"

namespace tarn {
namespace {
std::atomic<SoundPlayer*> g_player{nullptr};
}

namespace Sound {
bool Play(const std::string& nativePath) {
  if (!FileExists(nativePath)) return false;
  if (SoundPlayer* p = g_player.load(std::memory_order_acquire)) p->Play(nativePath);
  return true;
}
void SetPlayer(SoundPlayer* player) { g_player.store(player, std::memory_order_release); }
}  // namespace Sound

}  // namespace tarn
