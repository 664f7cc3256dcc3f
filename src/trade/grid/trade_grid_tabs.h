// The trade grid's eight tabs: their kinds, titles, grid control ids, columns, button bars and
// context menus, and the tab layout and column widths kept in "\user\setting.ini".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

enum TradeTab : int {
  kTabPositions = 0,   // "F5持仓", grid 102
  kTabOrders = 1,      // "F9委托", grid 101
  kTabWorking = 2,     // "F4挂单", grid 104
  kTabFills = 3,       // "F1成交", grid 103
  kTabConditions = 4,  // "条件单", grid 105
  kTabOco = 5,         // "OCO(本地)", grid 106
  kTabAutoStops = 6,   // "自动止损(本地)", grid 107
  kTabDetails = 7,     // "持仓明细", grid 108
};
constexpr int kTradeTabCount = 8;
constexpr bool IsTradeTab(int kind) { return kind >= 0 && kind < kTradeTabCount; }

enum class CellAlign { Left, Center, Right };

struct TradeColumn {
  std::string title;  // GBK
  int widthChars;     // initial width in characters (times the character width and the scale)
  CellAlign align;
};

const std::string& TabTitle(int kind);
// "F5持仓(%d)" and the others: the title with the number of rows shown.
std::string TabTitleWithCount(int kind, int count);
// The grid's control id (102, 101, 104, 103, 105, 106, 107, 108), 0 for no tab.
int TabControlId(int kind);
// The tab of a control id, -1 for none.
int TabOfControl(int controlId);
// The tab's columns in display order; the first is "序号".
const std::vector<TradeColumn>& TabColumns(int kind);
// The column of a header text in a tab, -1 when the tab has none.
int TabColumnIndex(int kind, std::string_view title);

// A button of a tab's button bar; code 0 is a blank spacer.
struct GridButton {
  std::string label;
  int code;
};
// The fills tab's two mode buttons.
constexpr int kCodeFillDetail = 501;
constexpr int kCodeFillSummary = 502;
const std::vector<GridButton>& TabButtons(int kind);

// The items of a tab's context menu for a right click on a row (`onRow`) whose record is
// working (orders) or has not triggered (OCO pairs); `working` is ignored elsewhere.
std::vector<GridButton> TabContextMenu(int kind, bool onRow, bool working);

// ---- layout ------------------------------------------------------------------------------------

// The default first group "0,1,2,3,4,5,6,7".
const std::vector<int>& DefaultTabGroup();
// Splits on "," and converts each item as a decimal number; items without a digit, kinds
// outside 0..7 and kinds already in `taken` (a tab is shown once) are dropped. The kinds kept
// are added to `taken`.
std::vector<int> ParseTabKinds(std::string_view text, std::vector<bool>* taken = nullptr);
// "%d," items with the trailing comma removed.
std::string FormatTabKinds(const std::vector<int>& kinds);

struct TradeGridLayout {
  std::vector<int> first;
  std::vector<int> second;  // empty: a single group
};
constexpr int kTradeGridLayoutVersion = 5;
// Reads "TradeGrid1", "TradeGrid2" and "TradeGridLayout" of "\user\setting.ini" with the restore
// rules (a version below 5 writes 5 and uses the defaults). A layout that leaves no tab at all
// gives the default.
TradeGridLayout RestoreTradeGridLayout();
// Writes both groups and version 5. False when the file could not be written.
bool SaveTradeGridLayout(const TradeGridLayout& layout);

// A width list ("%d," items) for `columns` columns: nothing when the item count differs. Each
// width is kept between 8 and 2000 pixels.
std::optional<std::vector<int>> ParseColumnWidths(std::string_view text, std::size_t columns);
std::string FormatColumnWidths(const std::vector<int>& widths);
// "TradeGridColWid" under the control id.
std::optional<std::vector<int>> LoadColumnWidths(int controlId, std::size_t columns);
bool SaveColumnWidths(int controlId, const std::vector<int>& widths);

}  // namespace tarn
