#include "ui/render_registry.h"

#include <algorithm>

#include "ui/window_message.h"

namespace tarn::ui {

RenderRegistry& RenderRegistry::Instance() {
  static RenderRegistry* registry = new RenderRegistry;  // outlives every window
  return *registry;
}

void RenderRegistry::SetServiceWindow(QObject* window) {
  tarn::Lock lock(mutex_);
  service_ = window;
  posted_ = false;
}

QObject* RenderRegistry::ServiceWindow() const {
  tarn::Lock lock(mutex_);
  return service_;
}

void RenderRegistry::Add(CRenderWnd* w) {
  tarn::Lock lock(mutex_);
  if (std::find(windows_.begin(), windows_.end(), w) == windows_.end()) windows_.push_back(w);
}

void RenderRegistry::Remove(CRenderWnd* w) {
  tarn::Lock lock(mutex_);
  windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
}

bool RenderRegistry::Contains(CRenderWnd* w) const {
  tarn::Lock lock(mutex_);
  return std::find(windows_.begin(), windows_.end(), w) != windows_.end();
}

void RenderRegistry::RequestRedraw(CRenderWnd* w) {
  w->needsRedraw_ = true;
  tarn::Lock lock(mutex_);
  if (!posted_ && service_) {
    posted_ = true;
    PostWindowMessage(service_, kMsgRedrawCharts);
  }
}

int RenderRegistry::Service() {
  tarn::Lock lock(mutex_);
  int drawn = 0;
  // Windows are created and destroyed on the UI thread, as this runs, so the list cannot lose
  // a window while it is walked; a copy still guards against a redraw that closes a window.
  const std::vector<CRenderWnd*> snapshot = windows_;
  for (CRenderWnd* w : snapshot) {
    if (std::find(windows_.begin(), windows_.end(), w) == windows_.end()) continue;
    if (w->needsRedraw_.exchange(false)) {
      w->Render();
      ++drawn;
    }
  }
  posted_ = false;
  return drawn;
}

CRenderWnd::CRenderWnd(QWidget* parent) : QWidget(parent) { RenderRegistry::Instance().Add(this); }

CRenderWnd::~CRenderWnd() { RenderRegistry::Instance().Remove(this); }

}  // namespace tarn::ui
