// 5,000 contracts over 250 commodities with made-up quotes, for the grid's benchmarks.
#pragma once

#include <random>

#include "quote/catalogue_quote_center.h"

namespace tarn::bench {

inline std::vector<DC_Contract> FiveThousand(test::CatalogueQuoteCenter& q) {
  std::vector<DC_Contract> out;
  const ExchangeHandle ex = q.AddExchange("SHFE", "SHFE");
  for (int c = 0; c < 250; ++c) {
    const CommodityHandle com = q.AddCommodity(ex, Format("c%03d", c), Format("C%03d", c), c % 3);
    for (int m = 0; m < 18; ++m) out.push_back(q.AddContract(com, Format("%02d%02d", 26 + m / 12, 1 + m % 12)));
    out.push_back(q.AddContract(com, "MI"));
    out.push_back(q.AddContract(com, "IDX"));
  }
  return out;
}

inline DC_Quote RandomQuote(const DC_Contract& c, std::mt19937& rng) {
  std::uniform_real_distribution<float> price(1000, 9000);
  DC_Quote q{};
  q.contract = c;
  DC_QuoteData& d = q.data;
  d.preSettlement = price(rng);
  d.preClose = d.preSettlement + 3;
  d.open = d.preSettlement - 5;
  d.last = d.preSettlement * std::uniform_real_distribution<float>(0.95f, 1.05f)(rng);
  d.high = d.last + 20;
  d.low = d.last - 20;
  d.bidPrice[0] = d.last - 1;
  d.askPrice[0] = d.last + 1;
  d.bidVolume[0] = static_cast<int>(rng() % 500);
  d.askVolume[0] = static_cast<int>(rng() % 500);
  d.volume = static_cast<int>(rng() % 2000000);
  d.openInterest = static_cast<int>(rng() % 900000);
  d.preOpenInterest = d.openInterest - 100;
  d.upperLimit = d.preSettlement * 1.07f;
  d.lowerLimit = d.preSettlement * 0.93f;
  d.lastQuantity = static_cast<int>(rng() % 50);
  d.updateTime = 1765159200 + static_cast<int64_t>(rng() % 20000);
  return q;
}

}  // namespace tarn::bench
