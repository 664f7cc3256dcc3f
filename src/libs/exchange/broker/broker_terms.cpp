#include "libs/exchange/broker/broker_terms.h"

#include <cinttypes>
#include <cmath>
#include <string_view>

#include "platform/text.h"

namespace tarn::exchange {

int64_t MulDivRound(int64_t a, int64_t b, int64_t d) {
  const __int128 p = static_cast<__int128>(a) * b;
  const __int128 half = d / 2;
  const __int128 q = p >= 0 ? (p + half) / d : (p - half) / d;
  return static_cast<int64_t>(q);
}

int64_t CurrencyRateMicro(const std::string& currency) {
  if (currency == kAccountCurrency) return 1000000;
  if (currency == "USD") return 7100000;  // 7.10
  if (currency == "HKD") return 910000;   // 0.91
  return 0;
}

Money ContractTerms::Fee(int32_t price, int32_t lots, FeeKind kind) const {
  int64_t cents;
  if (perLotFee) {
    const Money perLot = kind == FeeKind::Open ? openFeeLot : kind == FeeKind::Close ? closeFeeLot : todayFeeLot;
    cents = perLot * lots;
  } else {
    const int32_t ppm = kind == FeeKind::Open ? openFeePpm : kind == FeeKind::Close ? closeFeePpm : todayFeePpm;
    cents = MulDivRound(Notional(price, lots), ppm, 1000000);
  }
  return Convert(cents);
}

ContractTerms TermsOf(const Commodity& c, const Catalogue& catalogue) {
  const CommoditySpec& s = c.spec;
  const std::string_view exchange = catalogue.Exchanges()[c.exchange].code;
  ContractTerms t;
  t.currency = s.currency ? s.currency : kAccountCurrency;
  t.rateMicro = CurrencyRateMicro(t.currency);
  if (t.rateMicro == 0) t.rateMicro = 1000000;
  t.tickValue = std::llround(s.tick * s.multiplier * 100.0);
  if (t.tickValue < 1) t.tickValue = 1;
  t.closeToday = exchange == "SHFE" || exchange == "INE";
  // Margin: the daily limit plus two points on domestic exchanges, a tenth overseas.
  const double margin = s.kind == 2 ? 0.10 : s.limit + 0.02;
  t.marginPpm = static_cast<int32_t>(std::lround(margin * 100.0) * 10000);
  auto rate = [&](double perTenThousand) { return static_cast<int32_t>(std::lround(perTenThousand * 100.0)); };
  if (s.kind == 2) {
    // Overseas: a fixed fee per lot in the contract's currency.
    t.perLotFee = true;
    t.openFeeLot = t.closeFeeLot = t.todayFeeLot = 250;
  } else if (exchange == "CFFEX") {
    if (s.multiplier >= 10000) {
      t.perLotFee = true;  // bond futures: 3 yuan a lot, closing today free
      t.openFeeLot = t.closeFeeLot = 300;
      t.todayFeeLot = 0;
    } else {
      t.openFeePpm = t.closeFeePpm = rate(0.23);  // index futures: closing today costs ten times
      t.todayFeePpm = rate(2.3);
    }
  } else if (exchange == "DCE" || exchange == "ZCE") {
    t.perLotFee = true;
    t.openFeeLot = t.closeFeeLot = t.todayFeeLot = 200;
  } else {
    // SHFE, INE, GFEX: a rate of the notional; closing today costs double.
    t.openFeePpm = t.closeFeePpm = rate(0.5);
    t.todayFeePpm = rate(1.0);
  }
  return t;
}

std::string MoneyText(Money m) {
  const bool negative = m < 0;
  const uint64_t u = negative ? static_cast<uint64_t>(-(m + 1)) + 1 : static_cast<uint64_t>(m);
  return Format("%s%" PRIu64 ".%02" PRIu64, negative ? "-" : "", u / 100, u % 100);
}

bool ParseMoney(std::string_view text, Money& cents) {
  constexpr Money kMax = 10000000000000;  // cents: a hundred billion yuan
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view part = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() || whole.size() > 12 || part.size() > 2 || (dot != std::string_view::npos && part.empty()))
    return false;
  Money value = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  for (std::size_t i = 0; i < 2; ++i) {
    const char c = i < part.size() ? part[i] : '0';
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > kMax) return false;
  cents = value;
  return true;
}

}  // namespace tarn::exchange
