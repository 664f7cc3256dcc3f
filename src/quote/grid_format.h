// What a quote grid cell shows: the text of a data kind for one contract and snapshot, and its
// colour by the price, change and percent rules; and the values rows sort by.
#pragma once

#include <string>

#include "data/quote_records.h"
#include "platform/color.h"

namespace tarn {

// The base of the change and change-percent columns ("Zhangfu" "ZfKind").
enum class ChangeBase { PreSettlement = 0, PreClose = 1, Open = 2 };
ChangeBase ChangeBaseFromSetting(int zfKind);

// The colours the rules pick from (the scheme's rising, falling and quote-text colours).
struct GridPalette {
  Colorref up = Rgb(255, 60, 60);
  Colorref down = Rgb(0, 220, 0);
  Colorref quote = Rgb(220, 220, 10);
};
// The colour of an unchanged price.
constexpr Colorref kGridFlatColor = Rgb(160, 160, 160);
// Change highlight backgrounds: a value that rose above the previous settlement, and any other.
constexpr Colorref kGridHighlightUp = Rgb(175, 0, 0);
constexpr Colorref kGridHighlightDown = Rgb(0, 175, 0);

struct GridCell {
  std::string text;  // GBK
  Colorref color = 0;
};

// The cell of data kind `kind` for a row at position `position` (0-based) showing `contract`
// with `quote`, prices with `decimals` decimals.
GridCell FormatGridCell(int kind, int position, const DC_Contract& contract, int decimals, const DC_QuoteData& quote,
                        ChangeBase base, const GridPalette& palette);

// The number a column of kind `kind` sorts by: the field itself; change is last minus the
// previous settlement and percent that over the previous settlement (0 below 1e-4), whatever the
// change base; kinds without a number give 0.
double GridSortValue(int kind, const DC_QuoteData& quote);

}  // namespace tarn
