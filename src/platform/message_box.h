// The one entry point for message boxes. Logic that must tell the user something or ask for a
// confirmation calls MessageBox; the application installs a handler that shows a real box on
// the UI thread, and tests install a MessageBoxRecorder that records every box and answers as
// scripted. Texts are GBK.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tarn {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Info, Warning, Question, Error };
enum class MsgAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageBoxRequest {
  std::string text;   // GBK
  std::string title;  // GBK; empty: the application's title
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
};

using MessageBoxHandler = std::function<MsgAnswer(const MessageBoxRequest&)>;

// Shows a box and returns the answer. Without a handler the box is written to standard error
// and answered with its first button (Ok or Yes).
MsgAnswer MessageBox(const std::string& text, const std::string& title = std::string(),
                     MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None);
void SetMessageBoxHandler(MessageBoxHandler handler);

// Records every box; answers from a script (first in, first out), then with `fallback`.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(MsgAnswer fallback = MsgAnswer::Ok);
  ~MessageBoxRecorder();
  void Script(MsgAnswer answer);
  std::vector<MessageBoxRequest> Boxes() const;
  // The texts of every box shown so far.
  std::vector<std::string> Texts() const;
  std::string LastText() const;
  std::size_t Count() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<MessageBoxRequest> boxes_;
  std::deque<MsgAnswer> script_;
  MsgAnswer fallback_;
};

}  // namespace tarn
