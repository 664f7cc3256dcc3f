#include "data/trade_api.h"

#include <atomic>

#include "platform/program_dir.h"
#include "platform/sound.h"

namespace {
std::atomic<ITradeApi*> g_api{nullptr};
}

ITradeApi* GetTradeApi() { return g_api.load(std::memory_order_acquire); }
void SetTradeApi(ITradeApi* api) { g_api.store(api, std::memory_order_release); }

CTradeListener::CTradeListener(bool listenNow) {
  if (listenNow) StartListening();
}

CTradeListener::~CTradeListener() { StopListening(); }

void CTradeListener::StartListening() {
  if (api_) return;
  api_ = GetTradeApi();
  if (api_) api_->AddListener(this);
}

void CTradeListener::StopListening() {
  if (!api_) return;
  api_->RemoveListener(this);
  api_ = nullptr;
}

std::string TradeSoundFile(int state) {
  switch (state) {
    case 4: return "\\sound\\trade\\5.wav";
    case 7:
    case 8: return "\\sound\\trade\\6.wav";
    case 10: return "\\sound\\trade\\2.wav";
    default: return std::string();
  }
}

std::string PlayTradeSound(const OrderRecord& order) {
  std::string file = TradeSoundFile(order.state);
  if (file.empty()) return std::string();
  ITradeApi* api = GetTradeApi();
  if (!api || !api->IsReady()) return std::string();
  // The player is asynchronous, so no worker thread is needed to keep the library's thread
  // free: a missing file is skipped silently.
  std::string path = tarn::Path(file);
  return tarn::Sound::Play(path) ? path : std::string();
}
