// The records exchanged with the quote library. Plain values: they are copied, compared,
// stored and sent whole. Sizes and the offsets the terminal reads are fixed and asserted;
// little-endian, prices as 32-bit floats, quantities as 32-bit integers, texts NUL-terminated
// GBK in fixed-size fields.
//
// A record cannot hold a 64-bit pointer in a 4-byte field, so the commodity reference of a
// contract and the exchange reference of a commodity are 32-bit handles that the quote library
// resolves (IQuoteDataCenter::ResolveCommodity / ResolveExchange); 0 means none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/text.h"

using CommodityHandle = uint32_t;
using ExchangeHandle = uint32_t;

// One entry of the exchange list.
struct DC_Exchange {
  char code[12];     // 0: exchange code, e.g. "SHFE"
  char name[20];     // 12: display name (library's)
  ExchangeHandle handle;  // 32: the library's handle of this exchange

  std::string_view Code() const { return tarn::Field(code); }
  std::string_view Name() const { return tarn::Field(name); }
};

// A commodity (owned by the library; read-only for the terminal).
struct DC_Commodity {
  ExchangeHandle exchange;  // 0: the commodity's exchange
  char code[6];             // 4: commodity code, e.g. "rb"
  char display[38];         // 10: display text, e.g. the commodity's name
  double multiplier;        // 48: money per price point per lot
  double tickSize;          // 56: minimum price step
  int32_t decimals;         // 64: price decimals of every "%.*f" price text
  // The rest is the library's.
  CommodityHandle handle;   // 68: the library's handle of this commodity
  char exchangeCode[12];    // 72: copy of the exchange code
  char currency[12];        // 84: currency of the commodity's money values
  int32_t defaultQuantity;  // 96: lots a new order starts with
  int32_t kind;             // 100: library's classification
  char libraryBytes[64];    // 104

  std::string_view Code() const { return tarn::Field(code); }
  std::string_view Display() const { return tarn::Field(display); }
  std::string_view ExchangeCode() const { return tarn::Field(exchangeCode); }
};

// Contract identity. Its key text is the identity of the contract in every map; an empty key
// means no contract.
struct DC_Contract {
  CommodityHandle commodity;  // 0: the contract's commodity (0: none)
  char month[8];              // 4: month part; "MI" main continuous, "IDX" index
  char code[16];              // 12: contract code ("代码" column)
  char name[32];              // 28: contract name ("名称" column)
  int32_t value;              // 60: library value, repeated by history replies
  char key[28];               // 64: contract key

  std::string_view Key() const { return tarn::Field(key); }
  std::string_view Code() const { return tarn::Field(code); }
  std::string_view Name() const { return tarn::Field(name); }
  std::string_view Month() const { return tarn::Field(month); }
  bool Empty() const { return key[0] == '\0'; }
  bool SameKey(const DC_Contract& o) const { return Key() == o.Key(); }
};

// One quote snapshot of a contract (offsets from the record's own start).
struct DC_QuoteData {
  int32_t tradingDay;     // 0: a change means the volume count restarted
  int32_t sequence;       // 4: library: snapshot number within the day
  int64_t updateTime;     // 8: seconds since 1970
  int32_t updateMs;       // 16: library: milliseconds of the update time
  float preClose;         // 20: "昨收"
  float preSettlement;    // 24: "昨结算"
  int32_t preOpenInterest;// 28: "昨持仓"
  float open;             // 32: "今开"
  float last;             // 36: "最新"
  float high;             // 40: "最高价"
  float low;              // 44: "最低价"
  float upperLimit;       // 48: "涨停价"
  float lowerLimit;       // 52: "跌停价"
  int32_t volume;         // 56: "成交量"
  int32_t openInterest;   // 60: "持仓量"
  float settlement;       // 64: "结算价"
  int32_t lastQuantity;   // 68: "现手"
  float bidPrice[10];     // 72: level 1 first
  int32_t bidVolume[10];  // 112
  float askPrice[10];     // 152
  int32_t askVolume[10];  // 192
  double turnover;        // 232: library: money traded today
  float averagePrice;     // 240: library: average trade price today
  int32_t reserved;       // 244
};

struct DC_Quote {
  DC_Contract contract;   // 0
  int32_t unused;         // 92
  DC_QuoteData data;      // 96
};

// One history bar.
struct DC_KData {
  int64_t time;           // 0: bar time, seconds since 1970 (start of the bar)
  float open;             // 8
  float high;             // 12
  float low;              // 16
  float close;            // 20
  int32_t volume;         // 24: lots traded in the bar
  int32_t openInterest;   // 28: open interest at the bar's end
  double amount;          // 32: money traded in the bar
};

// A history reply as OnHistory carries it.
struct HistoryReply {
  DC_Contract contract;
  int32_t periodKind;
  int32_t periodCount;
  int32_t contractValue;
  int32_t a;
  int32_t b;
};

// One tick of the day (GetTicks).
struct TickRecord {
  int64_t time;           // seconds since 1970
  int32_t subKey;         // orders ticks within one second; with time identifies the tick
  int32_t tradingDay;
  double last;
  double bid;
  double ask;
  int32_t quantity;       // lots of this tick
  int32_t reserved;
  int64_t openInterest;   // after the tick
  int64_t volume;         // cumulative volume of the day after the tick
};

// One entry of a contract's trade details (GetQuoteDetail), 8 bytes: the trade price and a
// packed word with the second of the day (bits 0-16), the active side (bits 17-18: 0 none,
// 1 buy, 2 sell) and the quantity (bits 19-31, capped at 8191).
struct QuoteDetail {
  float price;
  uint32_t packed;

  static QuoteDetail Make(float price, int secondOfDay, int side, int quantity) {
    uint32_t q = quantity < 0 ? 0u : (quantity > 8191 ? 8191u : static_cast<uint32_t>(quantity));
    uint32_t s = secondOfDay < 0 ? 0u : (secondOfDay > 86399 ? 86399u : static_cast<uint32_t>(secondOfDay));
    return QuoteDetail{price, s | (static_cast<uint32_t>(side & 3) << 17) | (q << 19)};
  }
  int SecondOfDay() const { return static_cast<int>(packed & 0x1FFFF); }
  int Side() const { return static_cast<int>((packed >> 17) & 3); }
  int Quantity() const { return static_cast<int>(packed >> 19); }
};

// Login parameters of the quote library.
struct QuoteLoginParams {
  std::string user;
  std::string password;
  std::string host;
  int32_t port = 0;
};

static_assert(sizeof(DC_Exchange) == 36);
static_assert(offsetof(DC_Exchange, code) == 0);
static_assert(sizeof(DC_Commodity) == 168);
static_assert(offsetof(DC_Commodity, exchange) == 0);
static_assert(offsetof(DC_Commodity, code) == 4);
static_assert(offsetof(DC_Commodity, display) == 10);
static_assert(offsetof(DC_Commodity, multiplier) == 48);
static_assert(offsetof(DC_Commodity, tickSize) == 56);
static_assert(offsetof(DC_Commodity, decimals) == 64);
static_assert(sizeof(DC_Contract) == 92);
static_assert(offsetof(DC_Contract, commodity) == 0);
static_assert(offsetof(DC_Contract, month) == 4);
static_assert(offsetof(DC_Contract, code) == 12);
static_assert(offsetof(DC_Contract, name) == 28);
static_assert(offsetof(DC_Contract, value) == 60);
static_assert(offsetof(DC_Contract, key) == 64);
static_assert(sizeof(DC_QuoteData) == 248);
static_assert(offsetof(DC_QuoteData, tradingDay) == 0);
static_assert(offsetof(DC_QuoteData, updateTime) == 8);
static_assert(offsetof(DC_QuoteData, preClose) == 20);
static_assert(offsetof(DC_QuoteData, preSettlement) == 24);
static_assert(offsetof(DC_QuoteData, preOpenInterest) == 28);
static_assert(offsetof(DC_QuoteData, open) == 32);
static_assert(offsetof(DC_QuoteData, last) == 36);
static_assert(offsetof(DC_QuoteData, high) == 40);
static_assert(offsetof(DC_QuoteData, low) == 44);
static_assert(offsetof(DC_QuoteData, upperLimit) == 48);
static_assert(offsetof(DC_QuoteData, lowerLimit) == 52);
static_assert(offsetof(DC_QuoteData, volume) == 56);
static_assert(offsetof(DC_QuoteData, openInterest) == 60);
static_assert(offsetof(DC_QuoteData, settlement) == 64);
static_assert(offsetof(DC_QuoteData, lastQuantity) == 68);
static_assert(offsetof(DC_QuoteData, bidPrice) == 72);
static_assert(offsetof(DC_QuoteData, bidVolume) == 112);
static_assert(offsetof(DC_QuoteData, askPrice) == 152);
static_assert(offsetof(DC_QuoteData, askVolume) == 192);
static_assert(offsetof(DC_QuoteData, turnover) == 232);
static_assert(sizeof(DC_Quote) == 344);
static_assert(offsetof(DC_Quote, contract) == 0);
static_assert(offsetof(DC_Quote, data) == 96);
static_assert(sizeof(DC_KData) == 40);
static_assert(offsetof(DC_KData, time) == 0);
static_assert(offsetof(DC_KData, volume) == 24);
static_assert(sizeof(QuoteDetail) == 8);

// A zeroed record of any of these kinds.
template <class T>
inline T ZeroRecord() {
  T t;
  std::memset(&t, 0, sizeof t);
  return t;
}

// A price below 1e-5 counts as no price.
inline bool HasPrice(double price) { return price >= 1e-5; }
