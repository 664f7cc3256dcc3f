#include "quote/info_panel_settings.h"

#include <cstdlib>
#include <string>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

namespace {

constexpr const char* kUserSettings = "\\user\\setting.ini";
constexpr const char* kSection = "InfoPanel";
constexpr int kFieldCount = 16;

}  // namespace

std::vector<int> ParsePanelFields(std::string_view value) {
  std::vector<int> fields;
  if (EqualsNoCase(TrimView(value), "null")) {
    for (int i = 0; i < kFieldCount; ++i) fields.push_back(i);
    return fields;
  }
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    const std::string item = Trim(value.substr(start, comma - start));
    if (!item.empty() && item.size() <= 3 &&
        item.find_first_not_of("0123456789") == std::string::npos) {
      const int f = std::atoi(item.c_str());
      if (f < kFieldCount) fields.push_back(f);
    }
    start = comma + 1;
  }
  return fields;
}

InfoPanelSettings LoadInfoPanelSettings() {
  InfoPanelSettings s;
  s.fields = ParsePanelFields(Profile::GetString(kUserSettings, kSection, "Field", "null"));
  s.buySell = Profile::GetInt(kUserSettings, kSection, "BuySell", 1) != 0;
  s.pricePanel = Profile::GetInt(kUserSettings, kSection, "PricePanel", 1) != 0;
  return s;
}

bool GridSidePanelShown() { return Profile::GetInt(kUserSettings, kSection, "SidePanel", 1) != 0; }

bool SetGridSidePanelShown(bool on) { return Profile::WriteInt(kUserSettings, kSection, "SidePanel", on ? 1 : 0); }

TradeSpan PanelTrades(const std::vector<QuoteDetail>& list) {
  TradeSpan span;
  const std::size_t n = list.size();
  const std::size_t keep = n > static_cast<std::size_t>(kPanelTradeLimit) ? kPanelTradeLimit : n;
  span.data = n ? list.data() + (n - keep) : nullptr;
  span.count = static_cast<int>(keep);
  return span;
}

PanelRect PanelRectFor(int width, int height, bool sideBar) {
  if (sideBar) return {kPanelSideBarWidth, 0, width - kPanelSideBarWidth, height};
  return {0, 0, width, height};
}

PanelPriceSelection SelectionForPrice(double price, int sideFlag) {
  PanelPriceSelection s;
  if (!(price > 1e-4)) return s;
  s.select = true;
  s.direction = sideFlag == 1 ? 2 : 1;
  s.price = price;
  return s;
}

}  // namespace tarn
