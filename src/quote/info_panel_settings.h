// What the information panel window reads and decides without a window: the user's panel
// settings ("\user\setting.ini" [InfoPanel]), the trades handed to the panel, the panel's place
// in its window and what a clicked price asks of the trading library.
#pragma once

#include <string_view>
#include <vector>

#include "data/quote_records.h"

namespace tarn {

struct InfoPanelSettings {
  std::vector<int> fields;  // field numbers in order
  bool buySell = true;      // the depth block
  bool pricePanel = true;   // the price block
};
// "null" gives the 16 fields 0..15; otherwise the comma-separated numbers in the listed order
// (entries that are not numbers of a field are skipped).
std::vector<int> ParsePanelFields(std::string_view value);
// [InfoPanel] Field (default "null"), BuySell (1), PricePanel (1).
InfoPanelSettings LoadInfoPanelSettings();

// Whether the main frame's quote grid shows the panel on its right ([InfoPanel] SidePanel,
// default 1), and its change.
bool GridSidePanelShown();
bool SetGridSidePanelShown(bool on);

// The trades for the panel from a fetched list: at most its newest 30.
constexpr int kPanelTradeLimit = 30;
struct TradeSpan {
  const QuoteDetail* data = nullptr;
  int count = 0;
};
TradeSpan PanelTrades(const std::vector<QuoteDetail>& list);

// The panel's rectangle inside its window: 12 pixels left free for the side bar when it is on.
constexpr int kPanelSideBarWidth = 12;
struct PanelRect {
  int x = 0, y = 0, width = 0, height = 0;
};
PanelRect PanelRectFor(int width, int height, bool sideBar);

// A clicked price: only a price above 1e-4 selects the contract, selling (direction 2) for a
// side flag of 1, buying (1) otherwise.
struct PanelPriceSelection {
  bool select = false;
  int direction = 1;
  double price = 0;
};
PanelPriceSelection SelectionForPrice(double price, int sideFlag);

}  // namespace tarn
