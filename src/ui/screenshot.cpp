#include "ui/screenshot.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>
#include <QWidget>

namespace tarn::ui {

void ScreenshotRegistry::Add(std::string name, std::function<QWidget*()> open, std::function<void(QWidget*)> close) {
  entries_.push_back({std::move(name), std::move(open), std::move(close)});
}

ScreenshotRegistry& Screenshots() {
  static ScreenshotRegistry registry;
  return registry;
}

void PumpEvents(int ms) {
  QElapsedTimer t;
  t.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (ms > 0) QThread::msleep(5);
  } while (t.elapsed() < ms);
}

bool GrabWindow(QWidget* window, const QString& file) {
  if (!window) return false;
  window->show();
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) window->raise();
  // Layouts settle and owner-drawn windows paint within a few passes of the event loop.
  PumpEvents(150);
  const QPixmap image = window->grab();
  if (image.isNull()) return false;
  QDir().mkpath(QFileInfo(file).absolutePath());
  return image.save(file, "PNG");
}

int ScreenshotRegistry::GrabAll(const QString& dir, std::vector<std::string>* failed) const {
  int written = 0;
  for (const ScreenshotEntry& e : entries_) {
    QWidget* w = e.open ? e.open() : nullptr;
    const bool ok = w && GrabWindow(w, QDir(dir).filePath(QString::fromStdString(e.name) + QStringLiteral(".png")));
    if (ok) ++written;
    else if (failed) failed->push_back(e.name);
    if (w) {
      if (e.close) e.close(w);
      else {
        w->hide();
        w->deleteLater();
      }
    }
    PumpEvents(0);
  }
  return written;
}

}  // namespace tarn::ui
