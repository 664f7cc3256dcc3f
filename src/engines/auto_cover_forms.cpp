#include "engines/auto_cover_forms.h"

#include <algorithm>

#include "data/quote_data_center.h"
#include "engines/engine_support.h"
#include "platform/text.h"

namespace tarn {

std::string CommodityChoice::ComboText() const { return Format("%s %s", code, name); }

std::vector<CommodityChoice> ListCommodities() {
  std::vector<CommodityChoice> out;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return out;
  std::vector<DC_Exchange> exchanges(100);
  const int n = std::min(center->GetExchanges(exchanges.data(), static_cast<int>(exchanges.size())), 100);
  for (int i = 0; i < n; ++i) {
    const std::string code(exchanges[static_cast<std::size_t>(i)].Code());
    const int count = center->GetCommodities(nullptr, 0, code.c_str());
    if (count <= 0) continue;
    std::vector<DC_Commodity> commodities(static_cast<std::size_t>(count));
    const int got = std::min(center->GetCommodities(commodities.data(), count, code.c_str()), count);
    for (int j = 0; j < got; ++j) {
      const DC_Commodity& c = commodities[static_cast<std::size_t>(j)];
      out.push_back(CommodityChoice{std::string(c.Code()), std::string(c.Display()), code});
    }
  }
  return out;
}

const std::vector<std::string>& AutoCoverColumnTitles() {
  static const std::vector<std::string> titles = {TXT("品种"), TXT("止损价差"), TXT("止盈价差"), TXT("浮动止损"),
                                                  TXT("保本价差")};
  return titles;
}

std::vector<std::string> AutoCoverRowTexts(const AutoCoverSetting& s, const std::vector<CommodityChoice>& choices) {
  std::string name;
  for (const CommodityChoice& c : choices) {
    if (c.code == s.commodity && c.exchange == s.exchange) {
      name = c.name;
      break;
    }
  }
  std::vector<std::string> row;
  row.push_back(Format("%s(%s)", name, s.commodity));
  for (int32_t v : {s.stopLossTicks, s.takeProfitTicks, s.trailingTicks, s.breakEvenTicks})
    row.push_back(v > 0 ? Format("%d", v) : std::string());
  return row;
}

std::optional<std::string> BuildAutoCoverSetting(const CommodityChoice* chosen, const AutoCoverInputTexts& t,
                                                 AutoCoverSetting* out) {
  if (!chosen) return TXT("请选择品种");
  AutoCoverSetting s;
  s.commodity = chosen->code;
  s.exchange = chosen->exchange;
  s.stopLossTicks = ParseInt32Text(t.stopLoss);
  s.takeProfitTicks = ParseInt32Text(t.takeProfit);
  s.trailingTicks = ParseInt32Text(t.trailing);
  s.breakEvenTicks = ParseInt32Text(t.breakEven);
  *out = s;
  return std::nullopt;
}

}  // namespace tarn
