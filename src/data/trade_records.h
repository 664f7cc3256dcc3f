// The records exchanged with the trading library, and the small texts and requests that go
// with them. Plain values; sizes and the offsets the terminal reads are fixed and asserted.
// Money and prices are doubles here; inside the broker they are exact whole numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/quote_records.h"

// The account identity block: every notification that concerns an account carries it; a login
// passes (empty, account, password).
struct AccountTexts {
  std::string first;
  std::string account;
  std::string password;

  bool operator==(const AccountTexts&) const = default;
};

// One order (GetOrders, InsertOrder, CancelOrder, OnOrder).
struct OrderRecord {
  char key[24];             // 0: order key, the order's identity in every map
  // 24-71: library bytes. The broker keeps here what condition and stop orders and close
  // orders carry beyond an ordinary order.
  char positionNumber[24];  // 24: position the order closes or protects ("平仓号")
  double triggerPrice;      // 48: condition orders: trigger price
  int32_t triggerBasis;     // 56: 0 last, 1 bid, 2 ask
  int32_t conditionKind;    // 60: 0 >=, 1 <=, 4 trailing, 5 break-even
  int32_t sendPriceMode;    // 64: 0 explicit, 1 last, 2 opposite, 3 queue, 4 market
  int32_t ticks;            // 68: tick offset, or distance for kinds 4 and 5
  char accountText1[24];    // 72: first account text
  char accountText2[24];    // 96: second account text (the account)
  char reference[24];       // 120: order reference shown in the orders list
  int64_t insertTime;       // 144: seconds since 1970
  DC_Contract contract;     // 152
  int32_t direction;        // 244: 1 buy, 2 sell
  int32_t offset;           // 248: 0 none, 1 open, 2 close, 3 close today
  int32_t priceType;        // 252: 1 market order
  int32_t hidden;           // 256: 1 a condition order kept by the library
  int32_t state;            // 260: order state 0-14
  int32_t quantity;         // 264
  int32_t longTerm;         // 268: library: condition orders valid until cancelled
  double price;             // 272
  int32_t filledQuantity;   // 280
  int32_t fillCount;        // 284: library: number of fills
  double averageFillPrice;  // 288
  int32_t errorCode;        // 296
  char errorText[24];       // 300
  // 324-351: library bytes.
  int32_t reserved;         // 324
  double stopPrice;         // 328: condition orders: computed stop or send price
  int64_t updateTime;       // 336: last change, seconds since 1970
  int32_t sequence;         // 344: library: order number within the day
  int32_t triggeredOrder;   // 348: condition orders: sequence of the order they fired

  std::string_view Key() const { return tarn::Field(key); }
  std::string_view ErrorText() const { return tarn::Field(errorText); }
};

// One position of a contract, both sides (GetPositions, ClosePosition).
struct PositionRecord {
  DC_Contract contract;       // 0
  int32_t longQuantity;       // 92
  double longAverage;         // 96
  double longMargin;          // 104
  double longFloatProfit;     // 112
  double longPositionProfit;  // 120
  double longOpenAverage;     // 128: library: average open price of the long side
  int32_t shortQuantity;      // 136
  int32_t reserved1;          // 140
  double shortAverage;        // 144
  double shortOpenAverage;    // 152: library
  double shortMargin;         // 160
  double shortFloatProfit;    // 168
  double shortPositionProfit; // 176
  double currentPrice;        // 184
  int32_t todayLong;          // 192
  int32_t todayShort;         // 196
  char account[21];           // 200: library: the account
  char positionNumber[27];    // 221

  std::string_view PositionNumber() const { return tarn::Field(positionNumber); }
  // A position whose long plus short quantity is below 1 is not shown.
  bool Shown() const { return longQuantity + shortQuantity >= 1; }
  bool IsLong() const { return longQuantity >= 1; }
};

// One fill (GetFills).
struct FillRecord {
  char fillNumber[24];
  char orderKey[24];
  char account[24];
  char positionNumber[28];
  DC_Contract contract;
  int32_t direction;
  int32_t offset;
  int32_t quantity;
  double price;
  double fee;
  double closeProfit;
  int64_t time;
};

// One open lot of a position (GetPositionDetails).
struct PositionDetail {
  DC_Contract contract;
  int32_t direction;      // 1 long, 2 short
  int32_t quantity;
  int32_t todayQuantity;
  double openPrice;
  double averagePrice;    // holding price (the previous settlement for yesterday's lots)
  double margin;
  double floatProfit;
  double positionProfit;
  int64_t openTime;
  char fillNumber[24];    // "成交号": the opening fill
  char positionNumber[28];// "持仓号"
  char account[24];
};

// The funds of one account (GetAccountFunds).
struct FundsRecord {
  char currency[8];        // 0: currency text ("Base" is the account's own currency)
  double available;        // 8
  double margin;           // 16
  double dynamicEquity;    // 24
  double fee;              // 32
  double frozen1;          // 40
  double frozen2;          // 48
  double positionProfit;   // 56
  double closeProfit;      // 64
  double previousEquity;   // 72
  double credit;           // 80
  double netDeposit;       // 88
  char account[32];        // 96: account text (the account cell)
  char accountName[32];    // 128: library: the account holder's name
  double floatProfit;      // 160: library: floating profit (against the open prices)
  double deposit;          // 168: library: deposits of the day
  double withdrawal;       // 176: library: withdrawals of the day
  double reserved;         // 184
};

// Margin and fee terms of a contract (GetContractRates). Modes as the order panels read them.
struct ContractRates {
  int32_t marginMode;
  double marginValue;
  int32_t margin2Mode;
  double margin2Value;
  int32_t feeMode;
  double feeA;
  double feeB;
};

// A condition or stop order handed to InsertConditionOrder (168 bytes).
struct ConditionOrderRequest {
  DC_Contract contract;     // 0
  int32_t direction;        // 92: 1 buy, 2 sell
  int32_t offset;           // 96: 1 open, 2 close
  int32_t triggerBasis;     // 100: 0 last, 1 bid, 2 ask
  int32_t kind;             // 104: 0 >=, 1 <=, 4 trailing stop, 5 break-even
  int32_t reserved1;        // 108
  double triggerPrice;      // 112: 0 for kinds 4 and 5
  int32_t quantity;         // 120
  int32_t sendPriceMode;    // 124: 0 explicit, 1 last, 2 opposite, 3 queue, 4 market
  double sendPrice;         // 128
  int32_t ticks;            // 136
  char positionNumber[24];  // 140: empty for condition orders
  int32_t longTerm;         // 164: 1 valid until cancelled, 0 today only
};

// The answer to a password change (108 bytes).
struct PasswordChangeResult {
  int32_t reserved;         // 0
  char message[100];        // 4: NUL-terminated message text
  int32_t code;             // 104: 0 success
};

static_assert(sizeof(OrderRecord) == 352);
static_assert(offsetof(OrderRecord, key) == 0);
static_assert(offsetof(OrderRecord, accountText1) == 72);
static_assert(offsetof(OrderRecord, accountText2) == 96);
static_assert(offsetof(OrderRecord, reference) == 120);
static_assert(offsetof(OrderRecord, insertTime) == 144);
static_assert(offsetof(OrderRecord, contract) == 152);
static_assert(offsetof(OrderRecord, direction) == 244);
static_assert(offsetof(OrderRecord, offset) == 248);
static_assert(offsetof(OrderRecord, priceType) == 252);
static_assert(offsetof(OrderRecord, hidden) == 256);
static_assert(offsetof(OrderRecord, state) == 260);
static_assert(offsetof(OrderRecord, quantity) == 264);
static_assert(offsetof(OrderRecord, price) == 272);
static_assert(offsetof(OrderRecord, filledQuantity) == 280);
static_assert(offsetof(OrderRecord, averageFillPrice) == 288);
static_assert(offsetof(OrderRecord, errorCode) == 296);
static_assert(offsetof(OrderRecord, errorText) == 300);
static_assert(sizeof(PositionRecord) == 248);
static_assert(offsetof(PositionRecord, contract) == 0);
static_assert(offsetof(PositionRecord, longQuantity) == 92);
static_assert(offsetof(PositionRecord, longAverage) == 96);
static_assert(offsetof(PositionRecord, longMargin) == 104);
static_assert(offsetof(PositionRecord, longFloatProfit) == 112);
static_assert(offsetof(PositionRecord, longPositionProfit) == 120);
static_assert(offsetof(PositionRecord, shortQuantity) == 136);
static_assert(offsetof(PositionRecord, shortAverage) == 144);
static_assert(offsetof(PositionRecord, shortMargin) == 160);
static_assert(offsetof(PositionRecord, shortFloatProfit) == 168);
static_assert(offsetof(PositionRecord, shortPositionProfit) == 176);
static_assert(offsetof(PositionRecord, currentPrice) == 184);
static_assert(offsetof(PositionRecord, todayLong) == 192);
static_assert(offsetof(PositionRecord, todayShort) == 196);
static_assert(offsetof(PositionRecord, positionNumber) == 221);
static_assert(offsetof(FundsRecord, available) == 8);
static_assert(offsetof(FundsRecord, margin) == 16);
static_assert(offsetof(FundsRecord, dynamicEquity) == 24);
static_assert(offsetof(FundsRecord, fee) == 32);
static_assert(offsetof(FundsRecord, frozen1) == 40);
static_assert(offsetof(FundsRecord, frozen2) == 48);
static_assert(offsetof(FundsRecord, positionProfit) == 56);
static_assert(offsetof(FundsRecord, closeProfit) == 64);
static_assert(offsetof(FundsRecord, previousEquity) == 72);
static_assert(offsetof(FundsRecord, credit) == 80);
static_assert(offsetof(FundsRecord, netDeposit) == 88);
static_assert(offsetof(FundsRecord, account) == 96);
static_assert(sizeof(ConditionOrderRequest) == 168);
static_assert(sizeof(PasswordChangeResult) == 108);
static_assert(offsetof(PasswordChangeResult, message) == 4);
static_assert(offsetof(PasswordChangeResult, code) == 104);
