// The trading area's arrangement without windows: the panel container's selected tab, the side
// the order panels take beside the trade grid, the dock's height, and the horizontal panel's
// geometry. All in "\user\setting.ini".
#pragma once

#include <string>

namespace tarn {

// The container's tab at start: [TradePanle] PanelType (0 standard, 1 three-key, 2 keyboard;
// default 1). While [TradePanle] QiangZhiB is 0 the three-key tab is chosen once: PanelType and
// QiangZhiB are written as 1.
int PanelTypeAtStart();
void StorePanelType(int index);
// The three tab texts: "标准下单", "三键下单", "键盘下单".
const std::string& PanelTabText(int index);

// [TradePanelAlign] Align: 1 (default) order panels on the left of the trade grid, 0 on the right.
bool PanelsOnLeft();
void StorePanelsOnLeft(bool left);
// [TradePanelType] Type, read when the horizontal panel starts (default 1).
int HorzPanelType();
// [TradePanel] DeftHet: the dock's height in pixels (0: the horizontal panel's own).
int StoredDockHeight();
void StoreDockHeight(int height);
// A dragged height kept at least 5 x scale and at most the frame's height.
int ClampDockHeight(int height, int frameHeight, double scale);

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Box&) const = default;
};
struct HorzPanelBoxes {
  Box funds, panels, grid;
};
// The funds strip along the top (45 x scale high when the panels are on the left, 40 otherwise),
// the panel container 320 x scale wide on its side below it, the trade grid in the rest.
HorzPanelBoxes LayoutHorzPanel(int width, int height, bool panelsLeft, double scale);
// The height the horizontal panel asks for when no height is stored.
int PreferredHorzPanelHeight(double scale);

}  // namespace tarn
