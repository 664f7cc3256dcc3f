// The quote and trading libraries as the shell's tests need them: logins that answer as
// scripted on a thread of their own (as a library's notification thread would), a quote link
// that can be dropped and restored, and a broker that records logins, password changes and
// settlement queries and answers them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "data/fake_quote_center.h"
#include "data/fake_trade_api.h"

namespace tarn::test {

// Runs `f` on a short-lived thread and waits for it: a notification from "another thread".
template <class F>
void OnLibraryThread(F&& f) {
  std::thread t(std::forward<F>(f));
  t.join();
}

class ShellQuoteCenter : public FakeQuoteCenter {
 public:
  struct LoginCall {
    QuoteLoginParams params;
  };
  // The answers a login gets: (code, text) pairs, delivered in order.
  std::vector<std::pair<int, std::string>> loginAnswers{{0, "connecting"}, {1, "ok"}};
  std::vector<LoginCall> logins;
  std::atomic<bool> connected{true};
  std::atomic<int> reconnects{0};
  std::atomic<int> logouts{0};

  void Login(const NotifyHandle& listener, QuoteLoginParams params) override {
    logins.push_back({params});
    const auto answers = loginAnswers;
    OnLibraryThread([&] {
      for (const auto& a : answers) listener->OnLoginResult(a.first, a.second);
    });
  }
  bool IsConnected() override { return connected; }
  void Reconnect() override { ++reconnects; }
  void Logout() override { ++logouts; }
  // The link drops: every registered listener hears OnConnectionLost.
  void DropLink() {
    connected = false;
    for (const NotifyHandle& h : Registered()) OnLibraryThread([&] { h->OnConnectionLost(0); });
  }
};

class ShellTradeApi : public FakeTradeApi {
 public:
  struct LoginCall {
    AccountTexts texts;
    std::string tradeHost;
    int tradePort;
    std::string cloudHost;
    int cloudPort;
  };
  // The answer a login gets (code, text); code 0 means no answer at all.
  int loginCode = 1;
  std::string loginText = "login ok";
  std::vector<LoginCall> logins;
  std::vector<std::pair<std::string, std::string>> passwordChanges;  // (old, new)
  std::vector<int> settlementQueries;
  AccountTexts current{"", "8001", "pw"};
  int passwordCode = 0;
  std::string passwordMessage = "refused";
  std::string statement = "statement";

  void Login(AccountTexts texts, const std::string& th, int tp, const std::string& ch, int cp) override {
    logins.push_back({texts, th, tp, ch, cp});
    if (loginCode == 0) return;
    const int code = loginCode;
    const std::string text = loginText;
    OnLibraryThread([&] { Notify([&](ITradeNotify* l) { l->OnTradeLogin(code, text, texts); }); });
  }
  void GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& cur) override {
    out = {current};
    cur = current;
  }
  void ChangePassword(AccountTexts a, const std::string& o, const std::string& n, int) override {
    passwordChanges.emplace_back(o, n);
    PasswordChangeResult r{};
    r.code = passwordCode;
    SetField(r.message, passwordMessage);
    OnLibraryThread([&] { Notify([&](ITradeNotify* l) { l->OnPasswordChanged(a, r); }); });
  }
  void QuerySettlement(int date) override {
    settlementQueries.push_back(date);
    const std::string s = statement;
    OnLibraryThread([&] { Notify([&](ITradeNotify* l) { l->OnSettlementInfo(0, s); }); });
  }
  void Disconnect() {
    OnLibraryThread([&] { Notify([&](ITradeNotify* l) { l->OnTradeDisconnected(current); }); });
  }
};

}  // namespace tarn::test
