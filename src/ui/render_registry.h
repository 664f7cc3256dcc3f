// Coalesced redraws of chart windows.
//
// A chart updates its data on the quote library's thread many times a second but should paint
// at most once per service. A CRenderWnd marks itself with NeedRedraw (any thread); the first
// mark while no service is pending posts message 1096 to the servicing window (the main frame),
// which calls Service() on the UI thread, as it also does on every tick of its 1000 ms timer.
// Service redraws each marked window once, clears the marks, and then the pending flag.
#pragma once

#include <QWidget>
#include <atomic>
#include <vector>

#include "platform/sync.h"

namespace tarn::ui {

// The message that asks the servicing window to redraw the marked charts.
constexpr int kMsgRedrawCharts = 1096;

class CRenderWnd;

class RenderRegistry {
 public:
  static RenderRegistry& Instance();

  // The window that services the registry (nullptr: none; marks are kept, nothing is posted).
  void SetServiceWindow(QObject* window);
  QObject* ServiceWindow() const;

  void Add(CRenderWnd* w);
  void Remove(CRenderWnd* w);
  bool Contains(CRenderWnd* w) const;

  // Marks `w` (any thread); posts 1096 when no service is pending.
  void RequestRedraw(CRenderWnd* w);
  // Redraws every marked window once (UI thread). Returns how many were redrawn.
  int Service();
  bool RedrawPosted() const { return posted_.load(); }

 private:
  RenderRegistry() = default;
  mutable tarn::CriticalSection mutex_;
  std::vector<CRenderWnd*> windows_;
  QObject* service_ = nullptr;
  std::atomic<bool> posted_{false};
};

// A chart window whose redraws go through the registry. It enters the registry when created
// and leaves it when destroyed.
class CRenderWnd : public QWidget {
  Q_OBJECT
 public:
  explicit CRenderWnd(QWidget* parent = nullptr);
  ~CRenderWnd() override;

  // Asks for one redraw at the next service (any thread).
  void NeedRedraw() { RenderRegistry::Instance().RequestRedraw(this); }
  bool RedrawPending() const { return needsRedraw_.load(); }

 protected:
  // Draws now (UI thread, from the service). The default repaints the widget.
  virtual void Render() { repaint(); }

 private:
  friend class RenderRegistry;
  std::atomic<bool> needsRedraw_{false};
};

}  // namespace tarn::ui
