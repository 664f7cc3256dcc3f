#include "tarnd/server.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <asio/ssl.hpp>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "libs/exchange/broker_link.h"
#include "libs/net/protocol.h"
#include "libs/net/tls.h"
#include "platform/text.h"
#include "tarnd/login_guard.h"

namespace tarn::tarnd {

using namespace tarn::exchange;
using namespace tarn::net;
using SteadyClock = std::chrono::steady_clock;

namespace {

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count();
}

constexpr int kMaxBars = 100000;
constexpr std::size_t kKeptBufferBytes = 256 * 1024;  // a session's write buffer kept between writes

}  // namespace

class Session;

struct Server::Impl {
  Impl(EmbeddedExchange& ex, ServerOptions o)
      : exchange(ex), options(std::move(o)), auth(static_cast<std::size_t>(std::max(1, options.authThreads))),
        addresses(options.maxPerAddress) {}

  void Log(const std::string& line) {
    if (options.log) options.log(line);
  }
  void Accept();
  void Remove(const std::shared_ptr<Session>& s);

  EmbeddedExchange& exchange;
  ServerOptions options;
  // Any thread (first: sessions still waiting in the I/O context when it goes update them).
  std::atomic<std::size_t> sessionCount{0};
  std::atomic<std::size_t> queued{0};
  std::atomic<uint64_t> dropped{0};
  asio::io_context io;
  asio::ssl::context ctx{asio::ssl::context::tls_server};
  asio::ip::tcp::acceptor acceptor{io};
  asio::thread_pool auth;
  std::thread thread;
  // I/O thread only:
  std::set<std::shared_ptr<Session>> sessions;
  AddressCounter addresses;
  FailureLimiter failures;
};

// ---- a session ---------------------------------------------------------------------------------

class Session : public std::enable_shared_from_this<Session>, public ILinkSink, public ITradeSink {
 public:
  Session(Server::Impl& server, asio::ip::tcp::socket socket, std::string address)
      : server_(server), stream_(std::move(socket), server.ctx), address_(std::move(address)), timer_(server.io) {}

  ~Session() override { server_.queued -= queued_; }

  void Start() {
    started_ = lastHeard_ = lastSent_ = SteadyClock::now();
    Watchdog();
    auto self = shared_from_this();
    stream_.async_handshake(asio::ssl::stream_base::server, [self](const asio::error_code& e) {
      if (e) return self->Close("TLS handshake failed");
      self->state_ = State::Hello;
      self->Read();
    });
  }

  void Close(const std::string& why) {
    if (state_ == State::Closed) return;
    const bool wasReady = state_ == State::Ready;
    state_ = State::Closed;
    closed_ = true;
    asio::error_code ignored;
    timer_.cancel();
    stream_.lowest_layer().close(ignored);
    if (quote_) {
      quote_->SetSink(nullptr);
      std::map<ContractId, int> watched;
      {
        std::lock_guard<std::mutex> lock(watchMutex_);
        watched.swap(watched_);
      }
      for (const auto& [id, n] : watched)
        for (int i = 0; i < n; ++i) quote_->Watch(id, false);
    }
    if (trade_) trade_->SetSink(nullptr);
    server_.Log(Format("session %s%s%s closed: %s", address_, user_.empty() ? "" : " ", user_, why));
    (void)wasReady;
    server_.Remove(shared_from_this());
  }

  const std::string& Address() const { return address_; }

  // Events from the market and the broker (their threads): filtered, encoded and handed to the
  // I/O thread.
  void OnLinkEvents(const std::vector<MarketEvent>& events) override {
    std::vector<MarketEvent> mine;
    {
      std::lock_guard<std::mutex> lock(watchMutex_);
      for (const MarketEvent& e : events)
        if (e.type == EventType::DayRoll || watched_.count(e.id)) mine.push_back(e);
    }
    if (mine.empty()) return;
    ByteWriter w;
    Write(w, mine);
    Post(Msg::MarketEvents, std::move(w.Bytes()));
  }
  void OnLinkDown(int) override {}
  void OnTradeEvents(const std::vector<BrokerEvent>& events) override {
    // The broker delivers events once their changes are committed to its store: an order's
    // first event is the moment its answer may go out (see OnTrade, InsertOrder).
    std::vector<OrderKey> placed;
    for (const BrokerEvent& e : events)
      if (e.type == BrokerEventType::Order) placed.push_back({e.order.account, e.order.tradingDay, e.order.sequence});
    // A commit group often changes one account's positions and funds many times: the terminal
    // hears once per group (the last of each), and reads the state it names when it does.
    ByteWriter w;
    WriteCoalesced(w, events);
    std::weak_ptr<Session> weak = weak_from_this();
    asio::post(server_.io, [weak, placed = std::move(placed), payload = std::move(w.Bytes())]() mutable {
      auto s = weak.lock();
      if (!s || s->state_ != State::Ready) return;
      s->Send(Msg::BrokerEvents, std::move(payload));
      for (const OrderKey& key : placed) {
        auto it = s->awaiting_.find(key);
        if (it == s->awaiting_.end()) continue;
        ByteWriter answer;
        answer.I32(std::get<2>(key));
        s->Reply(it->second, answer.Bytes());
        s->awaiting_.erase(it);
      }
    });
  }
  void OnTradeLinkDown(int) override {}

 private:
  enum class State { Handshake, Hello, Login, Authenticating, Ready, Closed };
  using OrderKey = std::tuple<AccountIndex, int32_t, int32_t>;  // account, trading day, sequence

  void Post(Msg type, std::string payload) {
    std::weak_ptr<Session> weak = weak_from_this();
    asio::post(server_.io, [weak, type, payload = std::move(payload)]() mutable {
      if (auto s = weak.lock(); s && s->state_ == State::Ready) s->Send(type, std::move(payload));
    });
  }

  void Watchdog() {
    const int period = std::max(10, server_.options.heartbeatMs / 2);
    timer_.expires_after(std::chrono::milliseconds(period));
    auto self = shared_from_this();
    timer_.async_wait([self](const asio::error_code& e) {
      if (e || self->state_ == State::Closed) return;
      const auto now = SteadyClock::now();
      const auto& o = self->server_.options;
      if (self->state_ != State::Ready && now - self->started_ > std::chrono::milliseconds(o.loginTimeoutMs))
        return self->Close("no login in time");
      if (now - self->lastHeard_ > std::chrono::milliseconds(o.silenceMs)) return self->Close("silent");
      if (self->state_ == State::Ready && now - self->lastSent_ >= std::chrono::milliseconds(o.heartbeatMs))
        self->Send(Msg::Heartbeat, {});
      self->Watchdog();
    });
  }

  void Read() {
    auto self = shared_from_this();
    stream_.async_read_some(asio::buffer(buf_), [self](const asio::error_code& e, std::size_t n) {
      if (self->state_ == State::Closed) return;
      if (e) return self->Close(e == asio::error::eof ? "closed by the terminal" : e.message());
      self->lastHeard_ = SteadyClock::now();
      self->decoder_.Feed(self->buf_.data(), n);
      Frame f;
      while (self->state_ != State::Closed && !self->closing_ && self->decoder_.Next(f)) self->OnFrame(f);
      if (self->state_ == State::Closed || self->closing_) return;
      if (self->decoder_.Broken()) return self->Refuse(TXT("协议错误"), 0, self->decoder_.Error());
      self->Read();
    });
  }

  // Frames are appended to the output and leave together: whatever is sent while a write is
  // under way, or within the same turn of the I/O thread (the replies to a read's requests, the
  // answers of one commit), goes out in one TLS write.
  void Send(Msg type, std::string_view payload) {
    if (state_ == State::Closed) return;
    const std::size_t size = kFrameHeaderBytes + kBodyHeaderBytes + payload.size();
    if (queued_ + size > server_.options.maxQueuedBytes) {
      ++server_.dropped;
      return Close("output queue full (the terminal does not read)");
    }
    AppendFrame(out_, static_cast<uint16_t>(type), ++sendSeq_, payload);
    queued_ += size;
    server_.queued += size;
    if (writing_ || flushPosted_) return;
    flushPosted_ = true;
    auto self = shared_from_this();
    asio::post(server_.io, [self] {
      self->flushPosted_ = false;
      if (self->state_ == State::Closed || self->writing_) return;
      if (!self->out_.empty())
        self->WriteNext();
      else if (self->closing_)
        self->Close(self->closeWhy_);
    });
  }

  void WriteNext() {
    writing_ = true;
    inFlight_.clear();
    inFlight_.swap(out_);
    auto self = shared_from_this();
    asio::async_write(stream_, asio::buffer(inFlight_), [self](const asio::error_code& e, std::size_t) {
      if (self->state_ == State::Closed) return;
      if (e) return self->Close(e.message());
      const std::size_t n = self->inFlight_.size();
      self->queued_ -= n;
      self->server_.queued -= n;
      self->lastSent_ = SteadyClock::now();
      if (!self->out_.empty()) return self->WriteNext();
      self->writing_ = false;
      // The buffers keep their capacity for the next writes, unless a burst made them large.
      if (self->inFlight_.capacity() > kKeptBufferBytes) std::string().swap(self->inFlight_);
      if (self->closing_) self->Close(self->closeWhy_);
    });
  }

  void Reply(uint32_t to, std::string_view body) {
    replyBuf_.assign(reinterpret_cast<const char*>(&to), 4);  // little-endian, as ByteWriter
    replyBuf_.append(body.data(), body.size());
    Send(Msg::Reply, replyBuf_);
  }

  // Says why and closes once that is written.
  void Refuse(const std::string& text, uint32_t retryAfterMs, const std::string& why) {
    Send(Msg::Refused, Encode(RefusedMsg{text, retryAfterMs}));
    closing_ = true;
    closeWhy_ = why;
    if (!writing_ && !flushPosted_) Close(why);
  }

  void OnFrame(const Frame& f) {
    if (f.sequence != ++recvSeq_) return Refuse(TXT("协议错误"), 0, "sequence gap");
    const Msg type = static_cast<Msg>(f.type);
    if (type == Msg::Heartbeat) return;
    if (type == Msg::Bye) return Close("logged out");
    switch (state_) {
      case State::Hello: return OnHello(f);
      case State::Login: return OnLogin(f);
      case State::Authenticating: return Refuse(TXT("协议错误"), 0, "request during login");
      case State::Ready: return kind_ == LinkKind::Quote ? OnQuote(f) : OnTrade(f);
      default: return;
    }
  }

  void OnHello(const Frame& f) {
    HelloMsg hello;
    if (f.type != static_cast<uint16_t>(Msg::Hello) || !Decode(f.payload, hello) || hello.magic != kMagic)
      return Refuse(TXT("协议错误"), 0, "no hello");
    if (hello.version != kProtocolVersion || hello.layout != RecordLayout())
      return Refuse(TXT("终端与服务器版本不一致, 请升级终端"), 0, "protocol version differs");
    state_ = State::Login;
    Send(Msg::Welcome, {});
  }

  void OnLogin(const Frame& f) {
    LoginMsg login;
    if (f.type != static_cast<uint16_t>(Msg::Login) || !Decode(f.payload, login))
      return Refuse(TXT("请先登录"), 0, "request before login");
    kind_ = login.kind;
    accountKey_ = (login.kind == LinkKind::Quote ? "quote:" : "trade:") + login.user;
    addressKey_ = "address:" + address_;
    const int64_t now = SteadyMs();
    const int64_t wait = std::max(server_.failures.WaitMs(accountKey_, now), server_.failures.WaitMs(addressKey_, now));
    if (wait > 0)
      return Refuse(Format(TXT("登录失败次数过多, 请%d秒后再试"), static_cast<int>((wait + 999) / 1000)),
                    static_cast<uint32_t>(wait), "login delayed after failures");
    state_ = State::Authenticating;
    auto self = shared_from_this();
    if (login.kind == LinkKind::Quote) {
      auto link = std::make_shared<InProcessLink>(server_.exchange);
      asio::post(server_.auth, [self, link, login] {
        std::string error;
        const bool ok = link->Open(LinkLogin{login.user, login.password, "", 0}, nullptr, error);
        asio::post(self->server_.io, [self, link, ok, error, user = login.user] {
          self->QuoteLoginDone(link, ok, error, user);
        });
      });
    } else {
      auto link = std::make_shared<InProcessTradeLink>(server_.exchange, server_.options.broker);
      asio::post(server_.auth, [self, link, login] {
        // A terminal that gave up waiting costs no password hash.
        if (self->closed_.load()) return;
        std::string error;
        std::vector<std::string> accounts;
        const bool ok = link->Open(TradeLogin{login.user, login.password, "", 0}, nullptr, error, accounts);
        asio::post(self->server_.io, [self, link, ok, error, accounts, user = login.user] {
          self->TradeLoginDone(link, ok, error, accounts, user);
        });
      });
    }
  }

  bool LoginFailed(bool ok, const std::string& error) {
    if (state_ == State::Closed) return true;
    const int64_t now = SteadyMs();
    if (ok) {
      server_.failures.Succeeded(accountKey_);
      return false;
    }
    server_.failures.Failed(accountKey_, now);
    server_.failures.Failed(addressKey_, now);
    const int64_t wait = std::max(server_.failures.WaitMs(accountKey_, now), server_.failures.WaitMs(addressKey_, now));
    Refuse(error, static_cast<uint32_t>(wait), "login refused");
    return true;
  }

  LoginOkMsg Welcome() {
    LoginOkMsg ok;
    Market& m = server_.exchange.Open();
    ok.realSessions = m.Calendar().RealSessions();
    ok.listDay = m.GetCatalogue().ListedOn();
    return ok;
  }

  void QuoteLoginDone(std::shared_ptr<InProcessLink> link, bool ok, const std::string& error, const std::string& user) {
    if (LoginFailed(ok, error)) return;
    quote_ = std::move(link);
    user_ = user;
    state_ = State::Ready;
    quote_->SetSink(this);
    server_.Log(Format("session %s: quote login %s", address_, user));
    Send(Msg::LoginOk, Encode(Welcome()));
  }

  void TradeLoginDone(std::shared_ptr<InProcessTradeLink> link, bool ok, const std::string& error,
                      const std::vector<std::string>& accounts, const std::string& user) {
    if (LoginFailed(ok, error)) return;
    trade_ = std::move(link);
    user_ = user;
    accounts_ = accounts;
    state_ = State::Ready;
    LoginOkMsg welcome = Welcome();
    welcome.accounts = accounts;
    for (const std::string& a : accounts) welcome.indexes.push_back(trade_->GetBroker()->FindAccount(a));
    trade_->SetSink(this);
    server_.Log(Format("session %s: trade login %s (%d accounts)", address_, user, static_cast<int>(accounts.size())));
    Send(Msg::LoginOk, Encode(welcome));
  }

  bool ValidContract(ContractId id) { return id < server_.exchange.Open().GetCatalogue().Size(); }

  void Bad(const char* what) { Refuse(TXT("协议错误"), 0, what); }

  void OnQuote(const Frame& f) {
    ByteReader r(f.payload);
    ByteWriter w;
    switch (static_cast<Msg>(f.type)) {
      case Msg::Watch: {
        const ContractId id = r.U32();
        const bool on = r.Bool();
        if (!r.Done()) return Bad("bad watch");
        if (ValidContract(id)) {
          bool change = false;
          {
            std::lock_guard<std::mutex> lock(watchMutex_);
            int& n = watched_[id];
            change = on || n > 0;  // an unwatch of a contract not watched changes nothing
            if (change) n += on ? 1 : -1;
            if (n == 0) watched_.erase(id);
          }
          // The market's own calls outside the lock that its deliveries take.
          if (change) quote_->Watch(id, on);
        }
        break;
      }
      case Msg::GetSnapshot: {
        const ContractId id = r.U32();
        if (!r.Done()) return Bad("bad snapshot request");
        Snapshot s;
        w.Bool(ValidContract(id) && quote_->GetSnapshot(id, s));
        w.Pod(s);
        break;
      }
      case Msg::GetBars: {
        const ContractId id = r.U32();
        Period p;
        p.kind = r.I32();
        p.count = r.I32();
        const int64_t end = r.I64();
        const int count = r.I32();
        if (!r.Done()) return Bad("bad bars request");
        std::vector<Bar> bars;
        const bool valid = ValidContract(id) && p.kind >= 0 && p.kind <= 8 && p.kind != 4 && p.count >= 1 &&
                           p.count <= 10000 && count >= 1 && count <= kMaxBars;
        w.Bool(valid && quote_->GetBars(id, p, end, count, bars));
        w.PodList(bars);
        break;
      }
      case Msg::GetTicks: {
        const ContractId id = r.U32();
        if (!r.Done()) return Bad("bad ticks request");
        std::vector<Tick> ticks;
        w.Bool(ValidContract(id) && quote_->GetTicks(id, ticks));
        w.PodList(ticks);
        break;
      }
      case Msg::GetRecentTrades: {
        const ContractId id = r.U32();
        const int max = r.I32();
        if (!r.Done()) return Bad("bad trades request");
        std::vector<Tick> ticks;
        w.Bool(ValidContract(id) && max > 0 && max <= kMaxBars && quote_->GetRecentTrades(id, max, ticks));
        w.PodList(ticks);
        break;
      }
      case Msg::MainMonth: {
        const int commodity = r.I32();
        if (!r.Done()) return Bad("bad main month request");
        const auto& commodities = server_.exchange.Open().GetCatalogue().Commodities();
        w.U32(commodity >= 0 && static_cast<std::size_t>(commodity) < commodities.size() ? quote_->MainMonth(commodity)
                                                                                           : kNoContract);
        break;
      }
      case Msg::NowMs:
        if (!r.Done()) return Bad("bad time request");
        w.I64(quote_->NowMs());
        break;
      default:
        return Bad("unknown request");
    }
    Reply(f.sequence, w.Bytes());
  }

  void OnTrade(const Frame& f) {
    ByteReader r(f.payload);
    ByteWriter w;
    auto codeAndText = [&](int code, const std::string& text) {
      w.I32(code);
      w.Str(text);
    };
    switch (static_cast<Msg>(f.type)) {
      case Msg::InsertOrder: {
        // The broker books an entry whose client reference it has seen once only (also across
        // restarts): a resend is answered with the first order's sequence. A new order is
        // answered only once the broker has committed it (its first event), so that an answer
        // never names an order a crash could still lose.
        OrderEntry e;
        if (!net::Read(r, e) || !r.Done()) return Bad("bad order");
        if (!Mine(e.account)) {
          w.I32(-1);
          break;
        }
        const OrderReceipt receipt = trade_->GetBroker()->PlaceOrder(e);
        if (Await(receipt, f.sequence)) return;
        w.I32(receipt.sequence);
        break;
      }
      case Msg::InsertCondition: {
        ConditionEntry e;
        if (!net::Read(r, e) || !r.Done()) return Bad("bad condition order");
        if (!Mine(e.account)) {
          w.I32(-1);
          break;
        }
        const OrderReceipt receipt = trade_->GetBroker()->PlaceCondition(e);
        if (Await(receipt, f.sequence)) return;
        w.I32(receipt.sequence);
        break;
      }
      case Msg::CancelOrder: {
        const std::string account = r.Str(256), key = r.Str(256);
        if (!r.Done()) return Bad("bad cancel");
        std::string text;
        const int code = trade_->CancelOrder(account, key, &text);
        codeAndText(code, text);
        break;
      }
      case Msg::ModifyOrder: {
        const std::string account = r.Str(256), key = r.Str(256);
        const int64_t price = r.I64();
        const bool onTick = r.Bool();
        const int quantity = r.I32();
        if (!r.Done()) return Bad("bad modify");
        std::string text;
        const int code = trade_->ModifyOrder(account, key, price, onTick, quantity, &text);
        codeAndText(code, text);
        break;
      }
      case Msg::InsertStrategy: {
        StrategyEntry e;
        if (!net::Read(r, e) || !r.Done()) return Bad("bad strategy");
        std::string text;
        const int code = trade_->InsertStrategy(e, &text);
        codeAndText(code, text);
        break;
      }
      case Msg::StopStrategy: {
        const std::string account = r.Str(256);
        const int32_t sequence = r.I32();
        if (!r.Done()) return Bad("bad strategy stop");
        std::string text;
        const int code = trade_->StopStrategy(account, sequence, &text);
        codeAndText(code, text);
        break;
      }
      case Msg::GetOrders: case Msg::GetFills: case Msg::GetPositions: case Msg::GetLots: case Msg::GetFunds:
      case Msg::GetStrategies: {
        const std::string account = r.Str(256);
        if (!r.Done()) return Bad("bad list request");
        ListReply(static_cast<Msg>(f.type), account, w);
        break;
      }
      case Msg::GetSettlement: {
        const std::string account = r.Str(256);
        const int32_t day = r.I32();
        if (!r.Done()) return Bad("bad settlement request");
        std::string text;
        w.Bool(trade_->GetSettlement(account, day, text));
        w.Str(text);
        break;
      }
      case Msg::ChangePassword: {
        const std::string oldPassword = r.Str(256), newPassword = r.Str(256);
        if (!r.Done()) return Bad("bad password change");
        std::string text;
        const int code = trade_->ChangePassword(oldPassword, newPassword, text);
        codeAndText(code, text);
        break;
      }
      case Msg::GetTerms: {
        const ContractId id = r.U32();
        if (!r.Done()) return Bad("bad terms request");
        ContractTerms t;
        w.Bool(trade_->GetTerms(id, t));
        net::Write(w, t);
        break;
      }
      case Msg::TradingDay:
        if (!r.Done()) return Bad("bad trading day request");
        w.I32(trade_->TradingDay());
        break;
      default:
        return Bad("unknown request");
    }
    Reply(f.sequence, w.Bytes());
  }

  bool Mine(const std::string& account) const {
    return std::find(accounts_.begin(), accounts_.end(), account) != accounts_.end();
  }
  // A new order's answer waits for its first event; true when it waits. A resend's first order
  // may still be on its way to the store (sent just before the link dropped, or twice in one
  // pipelined burst): its answer waits on a worker until the store holds everything so far.
  bool Await(const OrderReceipt& receipt, uint32_t request) {
    if (receipt.sequence <= 0) return false;
    if (receipt.repeat) {
      std::weak_ptr<Session> weak = weak_from_this();
      Broker* broker = trade_->GetBroker();
      asio::io_context& io = server_.io;
      asio::post(server_.auth, [weak, broker, &io, request, sequence = receipt.sequence] {
        broker->WaitDurable();
        // The session is only touched (and released) on the I/O thread.
        asio::post(io, [weak, request, sequence] {
          auto s = weak.lock();
          if (!s || s->state_ != State::Ready) return;
          ByteWriter answer;
          answer.I32(sequence);
          s->Reply(request, answer.Bytes());
        });
      });
      return true;
    }
    awaiting_[{receipt.order.account, receipt.order.tradingDay, receipt.order.sequence}] = request;
    return true;
  }

  void ListReply(Msg type, const std::string& account, ByteWriter& w) {
    switch (type) {
      case Msg::GetOrders: {
        std::vector<Order> v;
        w.Bool(trade_->GetOrders(account, v));
        w.PodList(v);
        break;
      }
      case Msg::GetFills: {
        std::vector<Fill> v;
        w.Bool(trade_->GetFills(account, v));
        w.PodList(v);
        break;
      }
      case Msg::GetPositions: {
        std::vector<PositionView> v;
        w.Bool(trade_->GetPositions(account, v));
        w.PodList(v);
        break;
      }
      case Msg::GetLots: {
        std::vector<LotView> v;
        w.Bool(trade_->GetLots(account, v));
        w.PodList(v);
        break;
      }
      case Msg::GetFunds: {
        FundsView v;
        w.Bool(trade_->GetFunds(account, v));
        net::Write(w, v);
        break;
      }
      default: {
        std::vector<StrategyOrder> v;
        w.Bool(trade_->GetStrategies(account, v));
        w.U32(static_cast<uint32_t>(v.size()));
        for (const StrategyOrder& s : v) net::Write(w, s);
        break;
      }
    }
  }

  Server::Impl& server_;
  asio::ssl::stream<asio::ip::tcp::socket> stream_;
  std::string address_;
  asio::steady_timer timer_;
  State state_ = State::Handshake;
  std::atomic<bool> closed_{false};  // state_ == Closed, for the login workers
  FrameDecoder decoder_{kMaxClientFrame};
  std::array<char, 16 * 1024> buf_{};
  std::string out_;        // frames waiting for the next write
  std::string inFlight_;   // the frames being written
  std::string replyBuf_;   // a reply's payload, reused
  std::size_t queued_ = 0;
  bool writing_ = false;
  bool flushPosted_ = false;
  bool closing_ = false;
  std::string closeWhy_;
  uint32_t sendSeq_ = 0, recvSeq_ = 0;
  SteadyClock::time_point started_, lastHeard_, lastSent_;
  LinkKind kind_ = LinkKind::Quote;
  std::string user_, accountKey_, addressKey_;
  std::vector<std::string> accounts_;           // the login's (trade sessions)
  std::map<OrderKey, uint32_t> awaiting_;       // new orders waiting for their commit: request number
  std::mutex watchMutex_;
  std::map<ContractId, int> watched_;
  // Last, so that they go first: a delivery they wait for still finds the members above.
  std::shared_ptr<InProcessLink> quote_;
  std::shared_ptr<InProcessTradeLink> trade_;
};

// ---- the server --------------------------------------------------------------------------------

void Server::Impl::Accept() {
  acceptor.async_accept([this](const asio::error_code& e, asio::ip::tcp::socket socket) {
    if (e == asio::error::operation_aborted || !acceptor.is_open()) return;
    if (!e) {
      asio::error_code ec;
      const auto remote = socket.remote_endpoint(ec);
      const std::string address = ec ? std::string("?") : remote.address().to_string();
      if (!addresses.Acquire(address)) {
        Log(Format("connection from %s refused: %d connections from there already", address, options.maxPerAddress));
        socket.close(ec);
      } else {
        socket.set_option(asio::ip::tcp::no_delay(true), ec);
        if (options.sendBufferBytes > 0) socket.set_option(asio::socket_base::send_buffer_size(options.sendBufferBytes), ec);
        auto s = std::make_shared<Session>(*this, std::move(socket), address);
        sessions.insert(s);
        sessionCount = sessions.size();
        s->Start();
      }
    }
    Accept();
  });
}

void Server::Impl::Remove(const std::shared_ptr<Session>& s) {
  if (sessions.erase(s)) addresses.Release(s->Address());
  sessionCount = sessions.size();
}

Server::Server(EmbeddedExchange& exchange, ServerOptions options)
    : impl_(std::make_unique<Impl>(exchange, std::move(options))) {}

Server::~Server() { Stop(); }

bool Server::Start(std::string& error) {
  Impl& s = *impl_;
  const std::string cert = s.options.dataDir + "/" + kCertFile;
  const std::string key = s.options.dataDir + "/" + kKeyFile;
  asio::error_code ec;
  s.ctx.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                    asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
  s.ctx.use_certificate_chain_file(cert, ec);
  if (!ec) s.ctx.use_private_key_file(key, asio::ssl::context::pem, ec);
  if (ec) {
    error = "cannot load the certificate " + cert + " (make one with: tarnctl cert --data " + s.options.dataDir + ")";
    return false;
  }
  // The market and the broker open now, so that the first login does not wait for them.
  s.exchange.OpenBroker(s.options.broker);
  const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(s.options.bindAddress, ec),
                                         static_cast<unsigned short>(s.options.port));
  if (ec) {
    error = "bad address " + s.options.bindAddress;
    return false;
  }
  s.acceptor.open(endpoint.protocol(), ec);
  if (!ec) s.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) s.acceptor.bind(endpoint, ec);
  if (!ec) s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = Format("cannot listen on %s:%d: %s", s.options.bindAddress, s.options.port, ec.message());
    return false;
  }
  port_ = s.acceptor.local_endpoint().port();
  s.Log(Format("listening on %s:%d", s.options.bindAddress, port_.load()));
  s.Accept();
  s.thread = std::thread([&s] { s.io.run(); });
  return true;
}

void Server::Stop() {
  Impl& s = *impl_;
  if (!s.thread.joinable()) return;
  asio::post(s.io, [&s] {
    asio::error_code ignored;
    s.acceptor.close(ignored);
    auto sessions = s.sessions;
    for (const auto& session : sessions) session->Close("server stopping");
  });
  // Logins in progress finish on the pool; their answers find their sessions closed.
  s.auth.join();
  asio::post(s.io, [&s] { s.io.stop(); });
  s.thread.join();
  s.Log("stopped");
}

std::size_t Server::Sessions() const { return impl_->sessionCount.load(); }
std::size_t Server::QueuedBytes() const { return impl_->queued.load(); }
uint64_t Server::Dropped() const { return impl_->dropped.load(); }

}  // namespace tarn::tarnd
