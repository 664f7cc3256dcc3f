// The screenshot registry behind `tarn --screenshot DIR`: each subsystem registers the windows
// it wants looked at (a name and a function that opens the window ready to be seen), and the
// registry grabs each into DIR/<name>.png. Grabbing renders the widget itself, so it works
// under the offscreen platform as under a desktop.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace tarn::ui {

struct ScreenshotEntry {
  std::string name;                      // file name without ".png"
  std::function<QWidget*()> open;        // creates and fills the window (not yet shown); nullptr: skip
  std::function<void(QWidget*)> close;   // ends it (default: deleteLater)
};

class ScreenshotRegistry {
 public:
  void Add(std::string name, std::function<QWidget*()> open, std::function<void(QWidget*)> close = nullptr);
  const std::vector<ScreenshotEntry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

  // Opens, grabs and closes every entry in order. Returns the number of images written; the
  // names that failed go to *failed.
  int GrabAll(const QString& dir, std::vector<std::string>* failed = nullptr) const;

 private:
  std::vector<ScreenshotEntry> entries_;
};

// The registry of this process.
ScreenshotRegistry& Screenshots();

// Shows `window` (without activating a modal loop), lets it lay out and paint, and writes it to
// `file` as PNG. True when the file was written.
bool GrabWindow(QWidget* window, const QString& file);

// Runs the event loop for `ms` milliseconds (timers and posted messages are served).
void PumpEvents(int ms);

}  // namespace tarn::ui
