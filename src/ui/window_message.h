// The window messages of the terminal (1001, 1011, 1096, 8122, ...) as Qt events: a
// WindowMessage carries (message, wParam, lParam) to a window on the UI thread. The design's
// numbers are valid Qt user event types, so they are used as they stand. Posting is
// thread-safe, and Qt drops the events of a window that is gone.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <string>
#include <utility>

namespace tarn {

class WindowMessage : public QEvent {
 public:
  WindowMessage(int message, intptr_t wParam = 0, intptr_t lParam = 0)
      : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam) {}
  int Message() const { return static_cast<int>(type()); }
  intptr_t WParam() const { return wParam_; }
  intptr_t LParam() const { return lParam_; }

 private:
  intptr_t wParam_;
  intptr_t lParam_;
};

// PostMessage: queues the message for `target`'s thread and returns at once.
inline void PostWindowMessage(QObject* target, int message, intptr_t wParam = 0, intptr_t lParam = 0) {
  if (target) QCoreApplication::postEvent(target, new WindowMessage(message, wParam, lParam));
}

// SendMessage: delivers at once on the calling (UI) thread.
inline bool SendWindowMessage(QObject* target, int message, intptr_t wParam = 0, intptr_t lParam = 0) {
  if (!target) return false;
  WindowMessage msg(message, wParam, lParam);
  return QCoreApplication::sendEvent(target, &msg);
}

}  // namespace tarn

namespace tarn {

// A window message that carries a text (GBK) with it, such as a worker's output line: the text
// is freed with the event, so a message Qt drops for a window that is gone leaks nothing.
class TextMessage : public WindowMessage {
 public:
  TextMessage(int message, std::string text) : WindowMessage(message), text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

inline void PostTextMessage(QObject* target, int message, std::string text) {
  if (target) QCoreApplication::postEvent(target, new TextMessage(message, std::move(text)));
}

}  // namespace tarn
