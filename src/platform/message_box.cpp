#include "platform/message_box.h"

#include <cstdio>

#include "platform/text.h"

namespace tarn {
namespace {
std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
MessageBoxHandler& Handler() {
  static MessageBoxHandler h;
  return h;
}
}  // namespace

MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  MessageBoxRequest req{text, title, buttons, icon};
  if (handler) return handler(req);
  std::fprintf(stderr, "[%s] %s\n", GbkToUtf8(title).c_str(), GbkToUtf8(text).c_str());
  return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes : MsgAnswer::Ok;
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  Handler() = std::move(handler);
}

MessageBoxRecorder::MessageBoxRecorder(MsgAnswer fallback) : fallback_(fallback) {
  SetMessageBoxHandler([this](const MessageBoxRequest& req) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back(req);
    if (!script_.empty()) {
      MsgAnswer a = script_.front();
      script_.pop_front();
      return a;
    }
    return fallback_;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHandler(nullptr); }

void MessageBoxRecorder::Script(MsgAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.push_back(answer);
}

std::vector<MessageBoxRequest> MessageBoxRecorder::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::vector<std::string> MessageBoxRecorder::Texts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const auto& b : boxes_) out.push_back(b.text);
  return out;
}

std::string MessageBoxRecorder::LastText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.empty() ? std::string() : boxes_.back().text;
}

std::size_t MessageBoxRecorder::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.size();
}

void MessageBoxRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.clear();
  script_.clear();
}

}  // namespace tarn
