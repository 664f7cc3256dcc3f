// The catalogue of the simulated market: exchanges, commodities and their contracts.
//
// A commodity is described by a CommoditySpec (real code, Chinese name, tick size, multiplier,
// price decimals, the price level it trades around, its daily limit, volatility, volume and
// open interest, which months it lists and which of them are the busy ones, its sessions).
// From the specs and the trading day the market starts on, the catalogue lists each
// commodity's month contracts, its main-continuous contract ("MI") and its index ("IDX").
// The catalogue never changes after it is built: contract ids are indexes into it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "libs/exchange/calendar.h"

namespace tarn::exchange {

using ContractId = uint32_t;
constexpr ContractId kNoContract = 0xFFFFFFFFu;

// A delivery month.
struct MonthRef {
  int year = 0;
  int month = 0;  // 1..12
  int Key() const { return year * 12 + month - 1; }
  static MonthRef FromKey(int key) { return MonthRef{key / 12, key % 12 + 1}; }
  bool operator==(const MonthRef& o) const { return year == o.year && month == o.month; }
};

enum class SessionKind : uint8_t { DayOnly, Night23, Night01, Night0230, CffexIndex, CffexBond, Globex, Sgx, Hkex };
// Listed: the next listCount months of listMask. IndexFutures: the two nearest months and the
// next two quarter months.
enum class MonthRule : uint8_t { Listed, IndexFutures };

struct CommoditySpec {
  const char* exchange;
  const char* code;
  const char8_t* name;  // UTF-8; the catalogue holds it as GBK
  double tick;
  double multiplier;
  int decimals;
  double price;         // the level the commodity trades around
  double limit;         // daily limit, fraction of the previous settlement
  double volatility;    // daily volatility (fraction of the price)
  double volume;        // lots a day, all months together
  double openInterest;  // lots, all months together
  uint16_t listMask;    // bit m set: month m (1..12) is listed
  int listCount;        // months listed at a time
  uint16_t mainMask;    // months that become the main contract (0: any month)
  double rollLead;      // months before expiry at which the main moves on
  double carry;         // yearly price difference of farther months (contango > 0)
  SessionKind sessions;
  MonthRule rule;
  const char* currency;
  int kind;             // 0 domestic commodity, 1 domestic financial, 2 overseas
};

// The built-in specs: six domestic exchanges and six overseas ones.
const std::vector<CommoditySpec>& StandardSpecs();
// The exchanges' codes and names (GBK), in display order; overseas exchanges last.
struct ExchangeSpec {
  const char* code;
  const char8_t* name;
};
const std::vector<ExchangeSpec>& StandardExchanges();

SessionPlan RealSessionPlan(SessionKind kind);

enum class ContractKind : uint8_t { Month, Main, Index };

struct Exchange {
  int index = 0;
  std::string code;
  std::string name;  // GBK
  std::vector<int> commodities;
};

struct Commodity {
  int index = 0;
  int exchange = 0;
  CommoditySpec spec{};
  std::string code;
  std::string name;           // GBK
  SessionPlan sessions;       // the trading minutes the market runs (all day unless real sessions)
  SessionPlan realSessions;   // the exchange's own hours (shape the day's activity)
  std::vector<ContractId> months;  // month contracts, nearest first
  ContractId mainContract = kNoContract;   // "MI"
  ContractId indexContract = kNoContract;  // "IDX"
};

struct Contract {
  ContractId id = 0;
  int commodity = 0;
  ContractKind kind = ContractKind::Month;
  MonthRef month;       // Month contracts
  std::string monthText;  // "2510", "509", "MI", "IDX"
  std::string code;     // "rb2510"
  std::string name;     // GBK, "螺纹钢2510"
  std::string key;      // "SHFE|rb2510"
  int64_t expiry = 0;   // last trading date (day number), Month contracts
};

// The months a commodity lists on a date, nearest first.
std::vector<MonthRef> ListedMonths(const CommoditySpec& spec, const TradingCalendar& calendar, int64_t dayNum);
// The last trading date of a month contract: the 15th of the month, or the trading date before.
int64_t ExpiryOf(MonthRef m, const TradingCalendar& calendar);
// "2510" (four digits) or, for ZCE, "510" (one-digit year).
std::string MonthText(const CommoditySpec& spec, MonthRef m);

class Catalogue {
 public:
  // Builds the catalogue of `specs` as listed on trading day `dayNum`.
  Catalogue(const std::vector<CommoditySpec>& specs, const std::vector<ExchangeSpec>& exchanges,
            const TradingCalendar& calendar, int64_t dayNum);

  const std::vector<Exchange>& Exchanges() const { return exchanges_; }
  const std::vector<Commodity>& Commodities() const { return commodities_; }
  const std::vector<Contract>& Contracts() const { return contracts_; }
  const Contract& ContractAt(ContractId id) const { return contracts_[id]; }
  // The contract's key, or an empty text for an id the catalogue does not hold.
  const std::string& KeyOf(ContractId id) const;
  const Commodity& CommodityOf(ContractId id) const { return commodities_[contracts_[id].commodity]; }
  std::size_t Size() const { return contracts_.size(); }
  // The trading day (day number) whose listing it holds: with the same specs and calendar it
  // builds the same catalogue again (a network link rebuilds the server's this way).
  int64_t ListedOn() const { return listedOn_; }

  ContractId Find(std::string_view key) const;
  int FindExchange(std::string_view code) const;
  int FindCommodity(std::string_view exchangeCode, std::string_view code) const;

 private:
  int64_t listedOn_ = 0;
  std::vector<Exchange> exchanges_;
  std::vector<Commodity> commodities_;
  std::vector<Contract> contracts_;
  std::map<std::string, ContractId, std::less<>> byKey_;
};

}  // namespace tarn::exchange
