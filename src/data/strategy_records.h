// Strategy (spread) definitions and the strategy orders handed to the trading library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/quote_records.h"

// One leg of a strategy.
struct CombolLeg {
  DC_Contract contract;   // empty (no commodity) when the leg is not used
  int32_t spreadTicks;    // "价差": price offset in ticks for this leg's orders
  int32_t lots;           // "手数": lots per unit of the strategy, >= 0
  bool chase;             // "追单": chase unfilled leg orders
  int32_t direction;      // 1 buy ("买"), 2 sell ("卖")
  int32_t offset;         // 0 automatic, 1 open, 2 close; chosen when sending, not saved

  bool Used() const { return contract.commodity != 0; }
};

// A strategy: up to four legs joined by a formula.
struct CombolStrategy {
  CombolLeg legs[4];        // A, B, C, D; used legs first without gaps
  int32_t orderSide;        // 0 in a definition; 1 forward, 2 reverse in a request
  int32_t type;             // 1 "类型1", 2 "类型2"
  int32_t decimals;         // 0-5, default 3
  char formula[110];        // at most 100 characters
  char name[110];           // at most 100 characters
  int32_t totalQuantity;    // > 0
  int32_t triggerQuantity;  // > 0 and <= totalQuantity

  std::string_view Formula() const { return tarn::Field(formula); }
  std::string_view Name() const { return tarn::Field(name); }
  int UsedLegs() const {
    int n = 0;
    for (const CombolLeg& l : legs) n += l.Used() ? 1 : 0;
    return n;
  }
};

// A strategy order handed to InsertLoopOrder.
struct StrategyOrderRequest {
  CombolStrategy strategy;
  double triggerPrice;
  int32_t triggerCondition;  // 1 ">=", 2 "<=", 3 ">", 4 "<"
  double loopPrice;
  int32_t loopCondition;     // same codes; 0 when not a loop order
};

// A strategy order as the trading library reports it (GetStrategyOrders).
struct StrategyOrderRecord {
  StrategyOrderRequest request;
  char key[24];              // the library's identity of the strategy order
  int32_t unitsDone;         // strategy units filled so far
  char state;                // '1' running, '2' not shown, '3' error, '4' done, else stopped
  char errorText[64];
  int64_t insertTime;
};
