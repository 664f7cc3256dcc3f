// The paper-trading broker's records in engine form: orders (ordinary and condition orders),
// fills, open lots, positions per contract and side, funds, the requests that create them and
// the events the broker publishes. Prices are ticks, money is cents of the account's currency
// (broker_terms.h), times are milliseconds since 1970 on the market clock; texts are GBK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

// Order states and offsets as the trading library shows them.
enum BrokerOrderState : int8_t {
  kStQueued = 2, kStPartFilled = 3, kStFilled = 4, kStCancelled = 7, kStPartCancelled = 8,
  kStFailed = 10, kStWaiting = 11, kStTriggered = 12, kStWithdrawn = 13,
};
constexpr int8_t kMaxOrderState = 14;  // the highest state the trading library knows
enum BrokerOffset : int8_t { kOffOpen = 1, kOffClose = 2, kOffCloseToday = 3 };

using AccountIndex = uint32_t;
constexpr AccountIndex kNoAccount = 0xFFFFFFFFu;
constexpr int kMaxOrderLots = 1000;  // lots one order may carry

// Refusals: the order's error code and its text (at most 23 bytes of GBK).
enum BrokerError : int32_t {
  kErrNone = 0,
  kErrFunds = 1,          // "资金不足"
  kErrNoPosition = 2,     // "可平仓位不足"
  kErrPriceLimit = 3,     // "价格超出涨跌停板"
  kErrClosed = 4,         // "非交易时间"
  kErrContract = 5,       // "合约不可交易"
  kErrTick = 6,           // "价格不是最小变动价位"
  kErrQuantity = 7,       // "报单手数错误"
  kErrCloseToday = 8,     // "平今仓须用平今指令"
  kErrTodayPosition = 9,  // "可平今仓不足"
  kErrSelfTrade = 10,     // "可能自成交"
  kErrNotWorking = 11,    // "委托已不可撤改"
  kErrParameter = 12,     // "报单参数错误"
  kErrNoCounter = 13,     // "市价单无对手盘"
  kErrUnknownOrder = 14,  // "委托不存在"
  kErrStopPosition = 15,  // "止损对应持仓不存在"
  kErrLogin = 16,         // "账户未登录"
};
const std::string& BrokerErrorText(int32_t code);

// An order. Ordinary orders live for their trading day; condition orders (condition = true)
// wait with state 11 until they fire (12) or end (13), for the day or until cancelled.
struct Order {
  uint64_t id = 0;               // unique for the broker's life
  int32_t tradingDay = 0;        // yyyymmdd of the day it was placed
  int32_t sequence = 0;          // number within that day
  char key[24] = {};             // "yyyymmdd-nnnnnnnn"
  AccountIndex account = kNoAccount;
  ContractId contract = kNoContract;
  int8_t direction = 0;          // 1 buy, 2 sell
  int8_t offset = 0;             // 1 open, 2 close, 3 close today
  bool market = false;           // fills against the book at once, the rest is cancelled
  bool condition = false;
  int8_t state = 0;              // 0-14, as the trading library shows them
  int32_t price = 0;             // limit price (ticks)
  int32_t quantity = 0;
  int32_t filled = 0;
  int32_t fillCount = 0;
  int64_t fillValue = 0;         // sum of fill price (ticks) times lots
  int32_t errorCode = 0;
  char errorText[24] = {};
  int64_t insertMs = 0;
  int64_t updateMs = 0;
  char positionNumber[24] = {};  // the lot or position it closes or protects
  // Condition orders.
  int8_t triggerBasis = 0;       // 0 last, 1 bid, 2 ask
  int8_t kind = 0;               // 0 >=, 1 <=, 4 trailing stop, 5 break-even
  int8_t sendMode = 0;           // 0 explicit, 1 last, 2 opposite, 3 queue, 4 market
  bool longTerm = false;
  int32_t trigger = 0;           // kinds 0, 1 (ticks)
  int32_t sendPrice = 0;         // mode 0; kinds 4, 5: initial stop / break-even reference
  int32_t ticks = 0;             // offset of the send price, or the distance of kinds 4, 5
  int32_t stop = 0;              // kind 4: the stop now; kind 5: set once armed (0: not yet)
  int32_t extreme = 0;           // kind 4: best price seen
  int32_t triggeredSequence = 0; // the order it fired
  uint64_t strategy = 0;         // the strategy order it is a leg order of (0: none)
  uint64_t clientRef = 0;        // the sender's reference (0: none), unique per account
  // Working state, not reported.
  int32_t ahead = 0;             // market lots ahead of it in its price level's queue
  Money frozenMargin = 0, frozenFee = 0;
  int8_t reserve = 0;            // close orders: lots reserved (see Ledger::ReserveClose)
  uint64_t reserveLot = 0;       // close orders of one lot: the lot

  int32_t Remaining() const { return quantity - filled; }
};

// An order still working: a condition order waiting, or an order queued or part filled.
// An order's key within the broker: its trading day and its sequence number of that day.
inline uint64_t OrderKeyCode(int32_t day, int32_t seq) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(day)) << 32) | static_cast<uint32_t>(seq);
}

inline bool Working(const Order& o) { return o.condition ? o.state == kStWaiting : o.state >= 0 && o.state <= kStPartFilled; }

struct Fill {
  uint64_t id = 0;
  int32_t tradingDay = 0;
  int32_t sequence = 0;
  char number[24] = {};          // "yyyymmdd-Tnnnnnnn"
  AccountIndex account = kNoAccount;
  uint64_t orderId = 0;
  char orderKey[24] = {};
  ContractId contract = kNoContract;
  int8_t direction = 0, offset = 0;
  int32_t price = 0;
  int32_t quantity = 0;
  Money fee = 0;
  Money closeProfit = 0;         // against the holding prices of the lots it closed
  int64_t timeMs = 0;
  char positionNumber[24] = {};  // the lot it opened, or the first lot it closed
};

// One open lot: what is left of one opening fill.
struct Lot {
  uint64_t id = 0;
  char number[24] = {};          // position number "Lnnnnnnnn"
  char fillNumber[24] = {};      // the opening fill
  int32_t quantity = 0;
  int32_t reserved = 0;          // lots of it that close orders for this very lot hold
  bool today = true;
  int32_t open = 0;              // open price (ticks)
  int32_t hold = 0;              // holding price: the open price today, the settlement later
  int64_t openMs = 0;
  Money margin = 0;
};

// A position: one account, one contract, one side, its lots oldest first.
struct Side {
  char number[24] = {};          // position number "Snnnnnnnn", new each time it opens from flat
  uint64_t id = 0;
  std::vector<Lot> lots;
  int32_t quantity = 0, today = 0;
  int32_t reservedAll = 0, reservedOld = 0, reservedToday = 0;  // lots held by close orders
  int64_t holdValue = 0, openValue = 0;  // sums of price (ticks) times lots
  Money margin = 0;
};

struct PositionView {
  ContractId contract = kNoContract;
  int8_t side = 1;               // 1 long, 2 short
  int32_t quantity = 0, today = 0;
  int64_t holdValue = 0, openValue = 0;
  Money margin = 0, floatProfit = 0, positionProfit = 0;
  int32_t last = 0;              // latest price (ticks)
  char number[24] = {};
};

struct LotView {
  ContractId contract = kNoContract;
  int8_t side = 1;
  Lot lot;
  Money floatProfit = 0, positionProfit = 0;
  int32_t last = 0;
};

struct FundsView {
  std::string account, name, currency;
  Money preBalance = 0, deposit = 0, withdrawal = 0, closeProfit = 0, fee = 0;
  Money positionProfit = 0, floatProfit = 0, margin = 0, frozenMargin = 0, frozenFee = 0, credit = 0;
  Money Dynamic() const { return preBalance + deposit - withdrawal + closeProfit + positionProfit - fee; }
  Money Available() const { return Dynamic() - margin - frozenMargin - frozenFee; }
};

// One leg of a strategy order, as the trading library hands it over.
struct StrategyLegEntry {
  ContractId contract = kNoContract;
  int direction = 0;     // 1 buy, 2 sell, as the strategy defines the leg
  int offset = 0;        // 0 automatic (close what the account holds against it, else open), 1 open, 2 close
  int lots = 0;          // lots per strategy unit
  int spreadTicks = 0;   // the leg order's price: the other side's best, this many ticks further
  bool chase = false;    // an unfilled leg order follows the other side's best price
};

// What InsertStrategy is asked: legs A, B, ... (2 to 4), the spread formula over them, the
// trigger and, for a loop order, the price at which the units trade back.
struct StrategyEntry {
  std::string account;
  StrategyLegEntry legs[4];
  int legCount = 0;
  std::string formula;
  int orderSide = 1;           // 1 forward (legs as defined), 2 reverse (every leg's side swapped)
  int type = 1;                // 1 all legs at once, 2 leg A first, the others once it is filled
  int totalQuantity = 0;       // strategy units in all
  int triggerQuantity = 0;     // units per trigger
  double triggerPrice = 0;
  int triggerCondition = 1;    // 1 >=, 2 <=, 3 >, 4 <
  double loopPrice = 0;
  int loopCondition = 0;       // same codes; 0: no loop
  std::string payload;         // the library's record, kept and reported unchanged
};

// A strategy order: what the library lists. State '1' running, '3' error (errorText says why),
// '4' done, '5' stopped. `run` is the broker's encoded definition and progress (see
// strategy_runner.h), kept with the order in the store.
struct StrategyOrder {
  uint64_t id = 0;
  int32_t tradingDay = 0;
  int32_t sequence = 0;
  AccountIndex account = kNoAccount;
  char state = '0';
  int32_t unitsDone = 0;
  std::string payload;
  std::string errorText;
  int64_t insertMs = 0;
  std::string run;
};

// What InsertOrder is asked.
struct OrderEntry {
  std::string account;
  ContractId contract = kNoContract;
  int direction = 0, offset = 0;
  bool market = false;
  int64_t price = 0;             // ticks
  bool priceOnTick = true;       // false: the price given was no whole number of ticks
  int quantity = 0;
  std::string positionNumber;    // close this lot or position only
  // The sender's reference for the order (0: none). A second order of the account with the same
  // reference is a resend: the broker answers with the order it booked the first time.
  uint64_t clientRef = 0;
};

// What InsertConditionOrder is asked.
struct ConditionEntry {
  std::string account;
  ContractId contract = kNoContract;
  int direction = 0, offset = 0;
  int triggerBasis = 0, kind = 0;
  int64_t trigger = 0;
  int quantity = 0;
  int sendMode = 4;
  int64_t sendPrice = 0;
  bool sendPriceOnTick = true;
  int ticks = 0;
  std::string positionNumber;
  bool longTerm = false;
  uint64_t clientRef = 0;        // as OrderEntry::clientRef (one namespace for both kinds)
};

// The broker's answer to an order or condition order.
struct OrderReceipt {
  int sequence = -1;     // the order's sequence within its trading day; -1: unknown account
  bool repeat = false;   // the client reference was booked before: `order` is that order, nothing new
  Order order;           // the order as it stands after the operation
};

enum class BrokerEventType : uint8_t {
  Order,      // an order changed (order)
  Fill,       // a fill (fill)
  Positions,  // the account's positions changed (complete: by a fill, else by prices)
  Funds,      // the account's funds changed
  Text,       // a text for the account (text)
  Strategy,   // the account's strategy orders changed
  Refresh,    // the account's lists changed wholesale (the trading day rolled)
};

struct BrokerEvent {
  BrokerEventType type = BrokerEventType::Order;
  AccountIndex account = kNoAccount;
  bool complete = false;
  Order order;
  Fill fill;
  std::string text;
};

class IBrokerListener {
 public:
  virtual ~IBrokerListener() = default;
  // A batch of events in the order they happened; delivered outside the broker's locks.
  virtual void OnBrokerEvents(const std::vector<BrokerEvent>& events) = 0;
};

}  // namespace tarn::exchange
