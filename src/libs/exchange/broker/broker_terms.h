// Money and the trading terms of a contract: what a lot costs in margin and fees, what a tick
// is worth, and how the contract's currency converts into the account's.
//
// Money is exact inside the broker: whole cents (int64) of the account's currency. A tick of
// every catalogued commodity is worth a whole number of cents, so profits are exact; margins
// and fees are rates of the notional, rounded half away from zero to the cent once per amount
// (per lot of a position, per fill), and an amount in another currency is converted once, when
// it is booked, at the broker's fixed rate. Every total is a sum of such amounts, so nothing
// drifts and the funds equation balances to the cent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

using Money = int64_t;  // cents

// a * b / d rounded half away from zero, without overflow of the product.
int64_t MulDivRound(int64_t a, int64_t b, int64_t d);
// Cents <-> the records' doubles.
inline double ToYuan(Money cents) { return static_cast<double>(cents) / 100.0; }
// "1234.56", "-0.05": yuan with two decimals.
std::string MoneyText(Money m);
// Yuan as an administrator types them ("1000", "1000.5", "1000.50") into cents: digits with at
// most two decimals, nothing else, at most a hundred billion. False for anything else.
bool ParseMoney(std::string_view text, Money& cents);

// The account currency of every account of the embedded broker.
constexpr const char* kAccountCurrency = "CNY";
// Units of the account currency per unit of `currency`, times 1e6 (0 when unknown).
int64_t CurrencyRateMicro(const std::string& currency);

enum class FeeKind : uint8_t { Open, Close, CloseToday };

struct ContractTerms {
  int64_t tickValue = 0;       // cents of the contract's currency per tick and lot
  int32_t marginPpm = 0;       // margin per lot: this many millionths of the notional
  int32_t openFeePpm = 0, closeFeePpm = 0, todayFeePpm = 0;  // fee rates of the notional
  Money openFeeLot = 0, closeFeeLot = 0, todayFeeLot = 0;    // fixed fees per lot (contract currency)
  int64_t rateMicro = 1000000; // account currency per unit of the contract's, times 1e6
  bool closeToday = false;     // the exchange tells closing today's lots from older ones
  bool perLotFee = false;      // the fee is a fixed amount per lot (else a rate)
  std::string currency;

  // Account currency of an amount in the contract's currency.
  Money Convert(int64_t cents) const {
    return rateMicro == 1000000 ? cents : MulDivRound(cents, rateMicro, 1000000);
  }
  // Notional of `lots` at `price` ticks, in cents of the contract's currency.
  int64_t Notional(int32_t price, int32_t lots) const { return static_cast<int64_t>(price) * tickValue * lots; }
  Money Margin(int32_t price, int32_t lots) const { return Convert(MulDivRound(Notional(price, lots), marginPpm, 1000000)); }
  Money Fee(int32_t price, int32_t lots, FeeKind kind) const;
  // Money of `ticks` price ticks times lots (a profit), in the account currency.
  Money Profit(int64_t tickLots) const { return Convert(tickLots * tickValue); }
};

// The terms of a commodity: margins from its daily limit, fees by exchange and kind.
ContractTerms TermsOf(const Commodity& commodity, const Catalogue& catalogue);

}  // namespace tarn::exchange
