#include "trade/orders/panel_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

namespace {
constexpr const char* kFile = "\\user\\setting.ini";
int Scale(int px, double scale) { return static_cast<int>(std::lround(px * scale)); }
}  // namespace

int PanelTypeAtStart() {
  int type = Profile::GetInt(kFile, "TradePanle", "PanelType", 1);
  if (Profile::GetInt(kFile, "TradePanle", "QiangZhiB", 0) == 0) {
    type = 1;
    Profile::WriteInt(kFile, "TradePanle", "PanelType", 1);
    Profile::WriteInt(kFile, "TradePanle", "QiangZhiB", 1);
  }
  return (type >= 0 && type <= 2) ? type : 1;
}

void StorePanelType(int index) { Profile::WriteInt(kFile, "TradePanle", "PanelType", index); }

const std::string& PanelTabText(int index) {
  switch (index) {
    case 0: return TXT("标准下单");
    case 1: return TXT("三键下单");
    case 2: return TXT("键盘下单");
    default: {
      static const std::string none;
      return none;
    }
  }
}

bool PanelsOnLeft() { return Profile::GetInt(kFile, "TradePanelAlign", "Align", 1) == 1; }
void StorePanelsOnLeft(bool left) {
  Profile::WriteString(kFile, "TradePanelAlign", "Align", std::string_view(left ? "1" : "0"));
}
int HorzPanelType() { return Profile::GetInt(kFile, "TradePanelType", "Type", 1); }
int StoredDockHeight() { return std::max(0, Profile::GetInt(kFile, "TradePanel", "DeftHet", 0)); }
void StoreDockHeight(int height) { Profile::WriteInt(kFile, "TradePanel", "DeftHet", height); }

int ClampDockHeight(int height, int frameHeight, double scale) {
  const int lowest = Scale(5, scale);
  return std::max(lowest, std::min(height, frameHeight));
}

HorzPanelBoxes LayoutHorzPanel(int width, int height, bool panelsLeft, double scale) {
  HorzPanelBoxes b;
  width = std::max(0, width);
  height = std::max(0, height);
  const int strip = std::min(height, Scale(panelsLeft ? 45 : 40, scale));
  const int side = std::min(width, Scale(320, scale));
  b.funds = {0, 0, width, strip};
  const int below = height - strip;
  if (panelsLeft) {
    b.panels = {0, strip, side, below};
    b.grid = {side, strip, width - side, below};
  } else {
    b.grid = {0, strip, width - side, below};
    b.panels = {width - side, strip, side, below};
  }
  return b;
}

int PreferredHorzPanelHeight(double scale) { return Scale(45 + 340, scale); }

}  // namespace tarn
