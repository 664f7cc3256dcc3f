// The broker over a store of any bytes: opening never crashes, hangs or overflows; it either
// loads what it can read or starts a new store in its place, and it trades afterwards.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exchange_sqlite_heap.h"
#include "libs/exchange/broker/broker.h"

namespace {

using namespace tarn::exchange;

constexpr int32_t kDay = 20251208;

class StillMarket : public IBrokerMarket {
 public:
  StillMarket() : calendar_(false), catalogue_(StandardSpecs(), StandardExchanges(), calendar_, DayNumOf(kDay)) {}
  const Catalogue& GetCatalogue() const override { return catalogue_; }
  int64_t NowMs() override { return 1765159200000LL; }
  int32_t TradingDay() override { return kDay; }
  int32_t NextTradingDay(int32_t day) override { return Yyyymmdd(DayNumOf(day) + 1); }
  bool InSession(ContractId, int64_t) override { return true; }
  bool Tradable(ContractId id, int32_t day) override {
    const Contract& c = catalogue_.ContractAt(id);
    return c.kind == ContractKind::Month && c.expiry >= DayNumOf(day);
  }
  void Watch(ContractId, bool) override {}
  bool GetSnapshot(ContractId id, Snapshot& out) override {
    out = Snapshot{};
    out.id = id;
    out.tradingDay = kDay;
    out.last = 3100;
    out.upper = 3400;
    out.lower = 2800;
    for (int i = 0; i < kBookLevels; ++i) {
      out.bidPrice[i] = 3100 - i;
      out.askPrice[i] = 3101 + i;
      out.bidQty[i] = out.askQty[i] = 10;
    }
    return true;
  }
  bool Settlement(ContractId, int32_t, int32_t& ticks) override {
    ticks = 3100;
    return true;
  }
  void AddListener(IMarketListener*) override {}
  void RemoveListener(IMarketListener*) override {}

 private:
  TradingCalendar calendar_;
  Catalogue catalogue_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tarn_fuzz::UseLibcHeapForSqlite();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static StillMarket market;
  // The store opens in memory over the bytes: no file, no fsync.
  auto store = BrokerStore::OpenImage(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!store) abort();  // a store must always be had
  BrokerOptions options;
  options.hashCost = HashCost::Minimal;
  options.inlineJournal = true;  // the same writes, without a thread per input
  Broker broker(market, options, std::move(store));
  if (!broker.Store()) abort();
  std::string why;
  broker.CheckInvariants(&why);
  for (const std::string& account : broker.AccountsOf(DemoAccounts::kLogin)) {
    FundsView f;
    broker.GetFunds(account, f);
    std::vector<PositionView> positions;
    broker.GetPositions(account, positions);
    OrderEntry s;
    s.account = account;
    s.contract = 0;
    s.direction = 1;
    s.offset = 1;
    s.quantity = 1;
    s.price = 3101;
    broker.InsertOrder(s);
  }
  broker.WaitIdle();
  return 0;
}
