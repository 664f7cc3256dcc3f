// What CDlgAutoCoverSetting shows and builds, without windows: the commodity choices from the
// quote library, the list's rows and the setting of the "set" button.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engines/auto_cover_file.h"

namespace tarn {

struct CommodityChoice {
  std::string code;      // commodity code
  std::string name;      // its display text
  std::string exchange;  // exchange code
  // The combo's text: "%s %s", code and name.
  std::string ComboText() const;
};

// Every commodity of every exchange the quote library lists, exchange by exchange.
std::vector<CommodityChoice> ListCommodities();

constexpr int kAutoCoverColumnCount = 5;
const std::vector<std::string>& AutoCoverColumnTitles();  // "品种" ... "保本价差"
// One row: "%s(%s)" (the commodity's name found among `choices` by code and exchange, then
// the code), and the four distances "%d", each only when above 0.
std::vector<std::string> AutoCoverRowTexts(const AutoCoverSetting& setting, const std::vector<CommodityChoice>& choices);

// The four boxes (GBK): integers, empty reads 0.
struct AutoCoverInputTexts {
  std::string stopLoss;
  std::string takeProfit;
  std::string trailing;
  std::string breakEven;
};
// The "set" button: needs a commodity ("请选择品种"); otherwise the setting to add or replace.
std::optional<std::string> BuildAutoCoverSetting(const CommodityChoice* chosen, const AutoCoverInputTexts& texts,
                                                 AutoCoverSetting* out);

}  // namespace tarn
