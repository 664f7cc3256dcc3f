// The quote grid's columns: the 23 data kinds a column can show, the column record and its
// default widths, the column file "\config\QuoteGrid.ini" and the grid's display switches.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The data kind of a column; the number is what the column file stores.
enum GridDataIndex : int32_t {
  kGridRowNumber = 0,      // "序号"
  kGridName = 1,           // "名称"
  kGridLast = 2,           // "最新"
  kGridLastQuantity = 3,   // "现手"
  kGridBid = 4,            // "买价"
  kGridAsk = 5,            // "卖价"
  kGridBidQuantity = 6,    // "买量"
  kGridAskQuantity = 7,    // "卖量"
  kGridChange = 8,         // "涨跌"
  kGridChangePercent = 9,  // "幅度%"
  kGridOpen = 10,          // "今开"
  kGridHigh = 11,          // "最高价"
  kGridLow = 12,           // "最低价"
  kGridVolume = 13,        // "成交量"
  kGridOpenInterest = 14,  // "持仓量"
  kGridPreOpenInterest = 15,  // "昨持仓"
  kGridUpperLimit = 16,    // "涨停价"
  kGridLowerLimit = 17,    // "跌停价"
  kGridPreClose = 18,      // "昨收"
  kGridPreSettlement = 19, // "昨结算"
  kGridCode = 20,          // "代码"
  kGridSettlement = 21,    // "结算价"
  kGridUpdateTime = 22,    // "更新时间"
  kGridDataKindCount = 23
};

inline bool IsGridDataIndex(int kind) { return kind >= 0 && kind < kGridDataKindCount; }

namespace tarn {

// The header text of a kind (GBK); empty for a number that is not a kind.
const std::string& GridHeaderText(int kind);
// Whether a click on the header of a column of this kind sorts (not "现手", "买量", "卖量",
// "更新时间").
bool GridKindSorts(int kind);
// The default column set, in order (settlement between previous settlement and code).
const std::vector<int>& DefaultGridKinds();

// The width unit u (1.3 times the width of "A" in the grid's larger English font) and the
// scale s (min(horizontal, vertical DPI) / 96 when the desktop is taller than 899 pixels,
// else 1), with the header text measure of the grid's header font.
struct GridWidthMetrics {
  double unit = 10.0;
  double scale = 1.0;
  std::function<int(const std::string& gbk)> headerTextWidth;  // nullptr: 0
};
double GridWidthScale(double dpiX, double dpiY, int desktopHeight);
// A column's default width: the larger of the header text width + 16s and the kind's own width.
int DefaultGridColumnWidth(int kind, const GridWidthMetrics& m);

}  // namespace tarn

// One column: its data kind and width; the header cell's rectangle is computed at layout.
struct QG_ColInfo {
  int32_t dataIndex = 0;
  int32_t width = 0;
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
  } rect;
};

namespace tarn {

// Columns read from a column file: more than this many entries keep the first ones, and every
// width is kept within these bounds (a width of 0 or below would leave a column that can be
// neither seen nor grabbed).
constexpr int kMaxGridColumns = 100;
constexpr int kMinGridColumnWidth = 8;
constexpr int kMaxGridColumnWidth = 2000;

// "\config\QuoteGrid.ini" (native path).
std::string QuoteGridIniPath();
// The column set a column file's text holds: section "GridCol", "Version" "1", "DataIdx" with at
// least one entry and as many entries as "ColWidth" (each a plain decimal conversion); nothing
// otherwise.
std::optional<std::vector<QG_ColInfo>> ParseGridColumns(std::string_view iniText);
// Reads the column file (a file above 1 MB is not read); nothing when it is missing or fails
// the rules above.
std::optional<std::vector<QG_ColInfo>> LoadGridColumns();
// Writes "DataIdx", "ColWidth" ("%d" joined by "|") and "Version" "1", keeping the file's other
// lines. False when the file could not be written.
bool SaveGridColumns(const std::vector<QG_ColInfo>& columns);
// "%d|" of each number, the trailing "|" removed.
std::string JoinGridNumbers(const std::vector<int>& numbers);

// The grid's display switches, in the order of the caption drop-down.
enum class GridSwitch { HighLight, SelFontHuge, ReverseSelRowColor, IsSelRowRect, HorizonGrid, VerticalGrid };
constexpr int kGridSwitchCount = 6;

struct GridDisplayFlags {
  bool highLight = false;           // "变动高亮": value cells (not the name) in the bold font
  bool selFontHuge = false;         // "选中字体放大": the selected row's values in the larger bold font
  bool reverseSelRowColor = false;  // "选中行反色": the selected row drawn on a filled background
  bool isSelRowRect = true;         // "选中行框选": a frame around the selected row
  bool horizonGrid = false;         // "横向网格"
  bool verticalGrid = false;        // "竖向网格"

  bool Get(GridSwitch s) const;
  void Set(GridSwitch s, bool on);
};

// The menu text of a switch (GBK) and its key.
const std::string& GridSwitchText(GridSwitch s);
const char* GridSwitchKey(GridSwitch s);
// Reads the switches: the first four from "\config\setting.ini", the grid lines from
// "\config\QuoteGrid.ini".
GridDisplayFlags LoadGridDisplayFlags();
// Writes one switch ("1" or "0") to its file. False when the file could not be written.
bool SaveGridSwitch(GridSwitch s, bool on);

}  // namespace tarn
