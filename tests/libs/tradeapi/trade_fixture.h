// The embedded quote and trading libraries over one exchange, on a manual clock, in a temporary
// program directory; and a listener that records what it hears, in order.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/trade_api.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "libs/tradeapi/records.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace tarn::test {

// 2025-12-08 10:00 exchange time, a Monday.
constexpr int64_t kMondayTenAm = 1765159200000LL;

class TradeRecorder : public CTradeListener {
 public:
  TradeRecorder() : CTradeListener(false) { StartListening(); }
  ~TradeRecorder() override { StopListening(); }

  void OnTradeText(const std::string& text, const AccountTexts& a) override { Note("text", a.account, 0, text); }
  void OnOrder(const OrderRecord* o, const AccountTexts& a) override {
    std::lock_guard<std::mutex> lock(m);
    orders.push_back(*o);
    NoteLocked("order", a.account, o->state, std::string(o->Key()));
  }
  void OnAccountUpdate(int, const AccountTexts& a) override { Note("funds", a.account, 0, ""); }
  // The fill's quantity and number (-1 and "" when the notification carries no record).
  void OnFill(const FillRecord* f, const AccountTexts& a) override {
    Note("fill", a.account, f ? f->quantity : -1, f ? std::string(Field(f->fillNumber)) : std::string());
  }
  void OnTradeLogin(int code, const std::string& text, const AccountTexts& a) override {
    Note("login", a.account, code, text);
  }
  void OnTradeRefresh() override { Note("refresh", "", 0, ""); }
  void OnContractSelected(DC_Contract c, int dir, double price) override {
    Note("selected", std::string(c.Key()), dir, Format("%.2f", price));
  }
  void OnPositions(const AccountTexts& a, bool complete) override { Note("positions", a.account, complete, ""); }
  void OnTradeDisconnected(const AccountTexts& a) override { Note("down", a.account, 0, ""); }
  void OnPasswordChanged(const AccountTexts& a, const PasswordChangeResult& r) override {
    Note("password", a.account, r.code, std::string(r.message));
  }
  void OnStrategyChanged(int, const AccountTexts& a) override { Note("strategy", a.account, 0, ""); }
  void OnSettlementInfo(int date, const std::string& text) override { Note("settlement", "", date, text); }

  struct Entry {
    std::string what, account;
    int code = 0;
    std::string text;
    std::thread::id thread;
  };
  std::vector<Entry> Of(const std::string& what) {
    std::lock_guard<std::mutex> lock(m);
    std::vector<Entry> out;
    for (const Entry& e : entries)
      if (e.what == what) out.push_back(e);
    return out;
  }
  std::vector<Entry> All() {
    std::lock_guard<std::mutex> lock(m);
    return entries;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m);
    entries.clear();
    orders.clear();
  }

  std::mutex m;
  std::vector<Entry> entries;
  std::vector<OrderRecord> orders;

 private:
  void Note(const char* what, const std::string& account, int code, const std::string& text) {
    std::lock_guard<std::mutex> lock(m);
    NoteLocked(what, account, code, text);
  }
  void NoteLocked(const char* what, const std::string& account, int code, const std::string& text) {
    entries.push_back({what, account, code, text, std::this_thread::get_id()});
  }
};

class TradeTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(); }
  void TearDown() override { Close(); }
  void Open() {
    quotedata::EmbeddedOptions q;
    q.seed = 11;
    q.historyDays = 30;
    q.manualClock = &clock;
    q.dataDir = home.path() + "/user/exchange";
    quotes = quotedata::CreateEmbedded(q);
    tradeapi::EmbeddedTradeOptions t;
    t.exchange = &quotes->Exchange();
    t.broker.hashCost = exchange::HashCost::Minimal;
    trades = tradeapi::CreateEmbedded(t);
  }
  void Close() {
    trades.reset();
    quotes.reset();
  }
  ITradeApi& Api() { return trades->Api(); }
  void Wait() { trades->WaitDelivered(); }
  // Logs in and waits for the answer; returns the last login code.
  int Login(TradeRecorder& r, const char* account = "8001", const char* password = "888888",
            const char* host = "tarn-embedded") {
    Api().Login(AccountTexts{"", account, password}, host, 7200, host, 7200);
    Wait();
    const auto logins = r.Of("login");
    return logins.empty() ? 99 : logins.back().code;
  }
  // Today's main month of a commodity.
  DC_Contract Main(const char* exchange, const char* code) {
    exchange::Market& m = quotes->Exchange().Open();
    const exchange::Catalogue& cat = m.GetCatalogue();
    return tradeapi::ContractRecord(cat, m.MainMonth(cat.FindCommodity(exchange, code)));
  }
  OrderRecord Order(const DC_Contract& c, int dir, int offset, int qty, double price = 0, bool market = true) {
    OrderRecord o = ZeroRecord<OrderRecord>();
    o.contract = c;
    o.direction = dir;
    o.offset = offset;
    o.quantity = qty;
    o.priceType = market ? 1 : 0;
    o.price = price;
    return o;
  }
  void Step(int steps = 1) {
    for (int i = 0; i < steps; ++i) quotes->Advance(500);
    Wait();
  }

  ScopedHome home;
  ManualClock clock{kMondayTenAm};
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  std::unique_ptr<tradeapi::EmbeddedTradeLibrary> trades;
};

}  // namespace tarn::test
