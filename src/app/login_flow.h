// The login dialog's logic, without a window: the server list and login memory at opening,
// the checks of OK, the quote login first and the trade login after it, and what each result
// shows. The dialog (gui/dlg_login) presents the LoginView, forwards OK and the two result
// messages, and applies the returned LoginEffects.
//
// The two listeners run on the libraries' threads: they store the library's text under the
// flow's lock and post 1101 (quote result) or 1102 (trade result) through the poster the
// dialog installed; without a poster (the window is gone) they do nothing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/server_config.h"
#include "data/data_listener.h"
#include "data/trade_api.h"
#include "platform/sync.h"

namespace tarn {

constexpr int kMsgQuoteLoginResult = 1101;
constexpr int kMsgTradeLoginResult = 1102;

struct LoginView {
  std::vector<std::string> serverNames;  // the choice box, in list order
  int selected = -1;                     // the last server used, else the first; -1: no servers
  std::string account;                   // the last account
  std::string versionLine;               // "版本号:%s"
  bool focusPassword = false;            // an account was filled in
};

// What the dialog does after a step. Message boxes are shown by the flow itself.
struct LoginEffects {
  std::optional<std::string> progress;  // the new progress text
  std::optional<bool> buttonsEnabled;   // OK and Cancel
  bool closeOk = false;                 // close the dialog with OK
};

class LoginFlow {
 public:
  using Poster = std::function<void(int message, int code)>;

  explicit LoginFlow(bool tradeOnly);
  ~LoginFlow();
  LoginFlow(const LoginFlow&) = delete;
  LoginFlow& operator=(const LoginFlow&) = delete;

  // The window's poster; nullptr when the window goes (later notifications are dropped).
  void SetPoster(Poster poster);

  LoginView Open();
  LoginEffects Ok(const std::string& account, const std::string& password, int selected);
  LoginEffects OnQuoteResult(int code);  // message 1101
  LoginEffects OnTradeResult(int code);  // message 1102

  bool TradeOnly() const { return tradeOnly_; }
  const std::vector<ServerEntry>& Servers() const { return servers_; }
  std::string StoredText() const;

  // Listener entry points (library threads).
  void StoreAndPost(int message, int code, const std::string& text);

 private:
  class QuoteListener;
  class TradeListener;

  bool tradeOnly_;
  mutable CriticalSection mutex_;
  Poster poster_;
  std::string text_;  // the last notification text
  std::vector<ServerEntry> servers_;
  std::string account_, password_;
  ServerEntry chosen_;
  std::unique_ptr<QuoteListener> quote_;
  std::unique_ptr<TradeListener> trade_;
};

}  // namespace tarn
