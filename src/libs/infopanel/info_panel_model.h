// The information panel's model: what the panel holds (contract, snapshot, latest trades, the
// user's choices), its layout into a plain drawing list (PanelView) and the commands a click
// raises. No Qt: the painter in gui/ draws a PanelView and hands clicks back to HitTest.
//
// Layout, top to bottom: the title row (contract name, the user-block mark, the buttons for
// tick statistics, refresh and the side bar), the depth block (asks from the deepest level down
// to level 1, then bids from level 1), the price block (the chosen fields, two to a row), the
// big/small order tallies, and the latest trades (newest at the top) in what height is left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "platform/color.h"

namespace tarn::infopanel {

// Commands the panel raises, as (type, argument).
enum PanelCommandType {
  kPanelRefresh = 1,
  kPanelSideBarOff = 4,
  kPanelSideBarOn = 5,
  kPanelTickStatistics = 6,
  kPanelPrice = 7,
};
struct PanelCommand {
  int type = 0;
  int argument = 0;      // side bar: 1 = on
  double price = 0;      // kPanelPrice: the clicked price
  int sideFlag = 0;      // kPanelPrice: 1 = a bid was clicked (the order panels sell), 0 otherwise
};

// The 16 fields of the price block, by number.
constexpr int kPanelFieldCount = 16;
const std::string& PanelFieldName(int field);  // GBK, "" for an unknown number

// Colours (slot 25) and font (slot 29).
struct PanelColors {
  Colorref background = 0;
  Colorref text = 15129800;
  Colorref title = 5063997;
  Colorref header = 56540;
  Colorref rising = 3947775;
  Colorref falling = 56320;
  Colorref flat = 13882323;
  Colorref border = 5063997;
  Colorref quote = 711900;
  Colorref sideBar = 3745825;
};
struct PanelFont {
  std::string family;    // UTF-8 face name; "" = the painter's default
  int pixelSize = 12;    // row text size
};

// The tallies the tracer computes (ratios 0..1), shown under the price block.
struct PanelTallies {
  bool valid = false;
  double bigBuy = 0, bigSell = 0, smallBuy = 0, smallSell = 0;
  int64_t bigOrderSize = 0;
};

// One item of the drawing list.
struct PanelItem {
  enum Kind : uint8_t { kText, kLine, kFill, kBar };
  Kind kind = kText;
  int x = 0, y = 0, w = 0, h = 0;  // the item's box (a line: from (x, y) to (x + w, y + h))
  Colorref color = 0;
  std::string text;                // GBK
  uint8_t align = 0;               // 0 left, 1 right, 2 centre
  bool bold = false;
  int command = -1;                // index into PanelView::commands, -1: not clickable
};
struct PanelView {
  int width = 0, height = 0;
  Colorref background = 0;
  std::vector<PanelItem> items;
  std::vector<PanelCommand> commands;
};

class InfoPanelModel {
 public:
  // Slot 6: the display level (0 compact: no tallies and trades; otherwise full) and the depth
  // (10 shows ten levels, anything else five).
  void SetLevel(int displayLevel, int depthLevels);
  // Slot 7: a new contract clears what was shown; `decimals` is its price precision.
  void SetContract(const DC_Contract& contract, int decimals);
  // Slot 10: the snapshot and the latest trades (oldest first; nullptr = keep the trades).
  void SetQuote(const DC_Quote& quote, const QuoteDetail* trades, int count);
  void SetInUserBlock(bool in);        // slot 21
  void SetSideBar(bool on);            // slot 23
  void SetColors(const PanelColors& c) { colors_ = c; ++revision_; }  // slot 25
  void SetFont(const PanelFont& f) { font_ = f; ++revision_; }        // slot 29
  // The user's panel settings: fields in order, the depth block, the price block.
  void SetFields(const std::vector<int>& fields, bool showDepth, bool showPrice);
  void SetTallies(const PanelTallies& t);

  const DC_Contract& Contract() const { return contract_; }
  const DC_QuoteData& Quote() const { return quote_; }
  const std::vector<QuoteDetail>& Trades() const { return trades_; }
  bool InUserBlock() const { return inUserBlock_; }
  bool SideBar() const { return sideBar_; }
  int Depth() const { return depth_; }
  const std::vector<int>& Fields() const { return fields_; }
  const PanelFont& Font() const { return font_; }
  // Bumped by every change: a painter rebuilds its view only when it moved.
  uint64_t Revision() const { return revision_; }

  // The drawing list for a panel of that size; `rowHeight` is the painter's line height.
  PanelView BuildView(int width, int height, int rowHeight) const;
  // The command of the clickable item at (x, y) of a view, if any.
  static bool HitTest(const PanelView& view, int x, int y, PanelCommand* out);

  // The text of a field for the current snapshot, and its colour.
  std::string FieldText(int field) const;
  Colorref FieldColor(int field) const;

 private:
  Colorref PriceColor(double price) const;
  std::string PriceText(double price) const;

  DC_Contract contract_{};
  int decimals_ = 2;
  DC_QuoteData quote_{};
  std::vector<QuoteDetail> trades_;
  bool inUserBlock_ = false;
  bool sideBar_ = true;
  int displayLevel_ = 1;
  int depth_ = 5;
  std::vector<int> fields_;
  bool showDepth_ = true;
  bool showPrice_ = true;
  PanelTallies tallies_;
  PanelColors colors_;
  PanelFont font_;
  uint64_t revision_ = 1;
};

}  // namespace tarn::infopanel
