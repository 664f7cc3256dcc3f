#include "app/login_flow.h"

#include "app/login_session.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace tarn {

class LoginFlow::QuoteListener final : public CDataListener {
 public:
  explicit QuoteListener(LoginFlow* owner) : owner_(owner) {}
  ~QuoteListener() override { Detach(); }
  void OnLoginResult(int code, const std::string& text) override {
    owner_->StoreAndPost(kMsgQuoteLoginResult, code, text);
  }

 private:
  LoginFlow* owner_;
};

class LoginFlow::TradeListener final : public CTradeListener {
 public:
  explicit TradeListener(LoginFlow* owner) : CTradeListener(false), owner_(owner) { StartListening(); }
  ~TradeListener() override { StopListening(); }
  void OnTradeLogin(int code, const std::string& text, const AccountTexts&) override {
    owner_->StoreAndPost(kMsgTradeLoginResult, code, text);
  }
  void OnTradeDisconnected(const AccountTexts&) override {
    owner_->StoreAndPost(kMsgTradeLoginResult, -1, TXT("连接服务器失败"));
  }

 private:
  LoginFlow* owner_;
};

LoginFlow::LoginFlow(bool tradeOnly) : tradeOnly_(tradeOnly), trade_(std::make_unique<TradeListener>(this)) {}

LoginFlow::~LoginFlow() {
  SetPoster(nullptr);
  trade_.reset();
  quote_.reset();
}

void LoginFlow::SetPoster(Poster poster) {
  Lock lock(mutex_);
  poster_ = std::move(poster);
}

std::string LoginFlow::StoredText() const {
  Lock lock(mutex_);
  return text_;
}

void LoginFlow::StoreAndPost(int message, int code, const std::string& text) {
  Lock lock(mutex_);
  if (!poster_) return;  // the window is gone
  text_ = text;
  poster_(message, code);
}

LoginView LoginFlow::Open() {
  LoginView v;
  servers_ = LoadServerList();
  for (const ServerEntry& e : servers_) v.serverNames.push_back(Format("%s", e.name));
  v.account = LastAccount();
  v.selected = FindServerByHost(servers_, LastTradeHost());
  // No server remembered (a first start), or the remembered one is no longer listed: the
  // first entry is chosen, so that a one-server list logs in without a choice to make.
  if (v.selected < 0 && !servers_.empty()) v.selected = 0;
  v.versionLine = Format(TXT("版本号:%s"), VersionText());
  v.focusPassword = !v.account.empty();
  return v;
}

LoginEffects LoginFlow::Ok(const std::string& account, const std::string& password, int selected) {
  LoginEffects fx;
  if (!account.empty()) WriteLastAccount(account);
  if (selected < 0 || selected >= static_cast<int>(servers_.size())) {
    MessageBox(TXT("请选择交易服务器"));
    return fx;
  }
  chosen_ = servers_[static_cast<std::size_t>(selected)];
  WriteLastTradeHost(chosen_.tradeHost);
  const QuoteLoginConfig quote = LoadQuoteLogin();
  LoginSession::SetQuoteHost(quote.address.host);
  if (account.empty()) {
    MessageBox(TXT("帐户必须填写"));
    return fx;
  }
  account_ = account;
  password_ = password;
  fx.buttonsEnabled = false;
  if (tradeOnly_) {
    LoginEffects next = OnQuoteResult(1);
    next.buttonsEnabled = false;
    return next;
  }
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) {
    // No quote library in this build: a refusal, as a library would give one.
    StoreAndPost(kMsgQuoteLoginResult, -1, TXT("连接服务器失败"));
    return fx;
  }
  if (!quote_) quote_ = std::make_unique<QuoteListener>(this);
  quote_->Register();
  center->Login(quote_->Handle(), QuoteLoginParams{quote.user, quote.password, quote.address.host, quote.address.port});
  return fx;
}

LoginEffects LoginFlow::OnQuoteResult(int code) {
  LoginEffects fx;
  const std::string text = StoredText();
  fx.progress = text;
  if (code == 1) {
    fx.progress = TXT("登录交易服务器");
    TradeLoginParams p;
    p.texts = AccountTexts{"", account_, password_};
    p.tradeHost = chosen_.tradeHost;
    p.tradePort = chosen_.tradePort;
    p.cloudHost = chosen_.cloudHost;
    p.cloudPort = chosen_.cloudPort;
    LoginSession::SetTradeLogin(p);
    if (ITradeApi* api = GetTradeApi()) {
      api->Login(p.texts, p.tradeHost, p.tradePort, p.cloudHost, p.cloudPort);
    } else {
      StoreAndPost(kMsgTradeLoginResult, -1, TXT("连接服务器失败"));
    }
  } else if (code != 0) {
    MessageBox(text);
    if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->Logout();
    fx.buttonsEnabled = true;
  }
  return fx;
}

LoginEffects LoginFlow::OnTradeResult(int code) {
  LoginEffects fx;
  const std::string text = StoredText();
  fx.progress = text;
  if (code == 1) {
    fx.closeOk = true;
  } else if (code == -1) {
    MessageBox(text);
    fx.buttonsEnabled = true;
  }
  return fx;
}

}  // namespace tarn
