#include <gtest/gtest.h>

#include <ctime>

#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "quote/grid_columns.h"
#include "quote/grid_format.h"
#include "support/test_support.h"

namespace tarn {
namespace {

std::string Ini(const std::string& kinds, const std::string& widths, const std::string& version = "1") {
  return "[GridCol]\r\nDataIdx=" + kinds + "\r\nColWidth=" + widths + "\r\nVersion=" + version + "\r\n";
}

TEST(GridColumns, ColumnFileRules) {
  auto cols = ParseGridColumns(Ini("0|1|2", "40|80|60"));
  ASSERT_TRUE(cols);
  ASSERT_EQ(cols->size(), 3u);
  EXPECT_EQ((*cols)[2].dataIndex, 2);
  EXPECT_EQ((*cols)[1].width, 80);
  // Different counts, another version, no entry: the defaults stay.
  EXPECT_FALSE(ParseGridColumns(Ini("0|1|2", "40|80")));
  EXPECT_FALSE(ParseGridColumns(Ini("0|1", "40|80", "2")));
  EXPECT_FALSE(ParseGridColumns(Ini("", "")));
  EXPECT_FALSE(ParseGridColumns("garbage \x01\x02 [GridCol"));
  // Entries are plain decimal conversions; widths stay within bounds; an unknown kind is kept.
  cols = ParseGridColumns(Ini(" 7x|99|-3", "abc|100000|-50"));
  ASSERT_TRUE(cols);
  EXPECT_EQ((*cols)[0].dataIndex, 7);
  EXPECT_EQ((*cols)[1].dataIndex, 99);
  EXPECT_EQ((*cols)[2].dataIndex, -3);
  EXPECT_EQ((*cols)[0].width, kMinGridColumnWidth);
  EXPECT_EQ((*cols)[1].width, kMaxGridColumnWidth);
  // A huge entry count keeps the first columns only.
  std::string many, widths;
  for (int i = 0; i < 5000; ++i) {
    many += "1|";
    widths += "50|";
  }
  many.pop_back();
  widths.pop_back();
  cols = ParseGridColumns(Ini(many, widths));
  ASSERT_TRUE(cols);
  EXPECT_EQ(cols->size(), static_cast<std::size_t>(kMaxGridColumns));
}

TEST(GridColumns, SaveWritesTheColumnsAndKeepsTheLayoutSection) {
  test::ScopedHome home;
  test::WriteFile(QuoteGridIniPath(), "[GridLayout]\r\nHorizonGrid=1\r\n");
  std::vector<QG_ColInfo> cols(2);
  cols[0].dataIndex = 0;
  cols[0].width = 40;
  cols[1].dataIndex = 20;
  cols[1].width = 120;
  ASSERT_TRUE(SaveGridColumns(cols));
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "DataIdx", ""), "0|20");
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "ColWidth", ""), "40|120");
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridCol", "Version", ""), "1");
  EXPECT_TRUE(LoadGridDisplayFlags().horizonGrid);
  auto back = LoadGridColumns();
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)[1].width, 120);
  // A column file larger than any real one is not read.
  test::WriteFile(QuoteGridIniPath(), Ini("0", "40") + std::string(2u << 20, ';'));
  EXPECT_FALSE(LoadGridColumns());
}

TEST(GridColumns, DisplaySwitchesAndTheirDefaults) {
  test::ScopedHome home;
  GridDisplayFlags f = LoadGridDisplayFlags();
  EXPECT_FALSE(f.highLight);
  EXPECT_FALSE(f.selFontHuge);
  EXPECT_FALSE(f.reverseSelRowColor);
  EXPECT_TRUE(f.isSelRowRect);  // absent: the frame is drawn
  EXPECT_FALSE(f.horizonGrid);
  EXPECT_FALSE(f.verticalGrid);
  test::WriteFile(Path("\\config\\setting.ini"),
                  "[GridSelRowRect]\r\nIsSelRowRect=\r\n[GridShowHighLight]\r\nHighLight=0\r\n"
                  "[GridSelRowFontSize]\r\nSelFontHuge=yes\r\n");
  test::WriteFile(QuoteGridIniPath(), "[GridLayout]\r\nVerticalGrid=0\r\nHorizonGrid=\r\n");
  f = LoadGridDisplayFlags();
  EXPECT_TRUE(f.isSelRowRect);  // empty is on
  EXPECT_FALSE(f.highLight);
  EXPECT_TRUE(f.selFontHuge);
  EXPECT_FALSE(f.horizonGrid);
  EXPECT_FALSE(f.verticalGrid);
  for (int i = 0; i < kGridSwitchCount; ++i) {
    const GridSwitch s = static_cast<GridSwitch>(i);
    ASSERT_TRUE(SaveGridSwitch(s, !f.Get(s)));
  }
  const GridDisplayFlags g = LoadGridDisplayFlags();
  for (int i = 0; i < kGridSwitchCount; ++i) EXPECT_NE(g.Get(static_cast<GridSwitch>(i)), f.Get(static_cast<GridSwitch>(i))) << i;
  EXPECT_EQ(Profile::GetString("\\config\\setting.ini", "GridSelRowRect", "IsSelRowRect", ""), "0");
  EXPECT_EQ(Profile::GetString("\\config\\QuoteGrid.ini", "GridLayout", "HorizonGrid", ""), "1");
}

TEST(GridColumns, KindsHeadersAndDefaultWidths) {
  EXPECT_EQ(DefaultGridKinds().size(), 23u);
  EXPECT_EQ(DefaultGridKinds()[20], kGridSettlement);
  EXPECT_EQ(DefaultGridKinds()[21], kGridCode);
  EXPECT_EQ(GridHeaderText(kGridChangePercent), TXT("幅度%"));
  EXPECT_EQ(GridHeaderText(22), TXT("更新时间"));
  EXPECT_EQ(GridHeaderText(23), "");
  for (int k : {3, 6, 7, 22}) EXPECT_FALSE(GridKindSorts(k));
  for (int k : {0, 1, 2, 8, 9, 20, 21}) EXPECT_TRUE(GridKindSorts(k));

  GridWidthMetrics m;
  m.unit = 10;
  m.scale = 1;
  m.headerTextWidth = [](const std::string& t) { return static_cast<int>(t.size()) * 6; };
  EXPECT_EQ(DefaultGridColumnWidth(kGridName, m), 81);   // 6.5u + 16
  EXPECT_EQ(DefaultGridColumnWidth(kGridChange, m), 50);  // 5u
  EXPECT_EQ(DefaultGridColumnWidth(kGridVolume, m), 60);  // 6u
  EXPECT_EQ(DefaultGridColumnWidth(kGridCode, m), 116);   // 10u + 16s
  EXPECT_EQ(DefaultGridColumnWidth(kGridUpdateTime, m), 86);
  EXPECT_EQ(DefaultGridColumnWidth(kGridLast, m), 70);    // 6u + 10
  m.headerTextWidth = [](const std::string&) { return 200; };
  EXPECT_EQ(DefaultGridColumnWidth(kGridLast, m), 216);   // the header is wider
  EXPECT_DOUBLE_EQ(GridWidthScale(144, 120, 1080), 1.25);
  EXPECT_DOUBLE_EQ(GridWidthScale(144, 120, 899), 1.0);
}

class GridFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetField(contract.name, TXT("螺纹钢2605"));
    SetField(contract.code, "rb2605");
    q.preSettlement = 3100;
    q.preClose = 3090;
    q.open = 3120;
    q.last = 3110;
  }
  GridCell Cell(int kind, ChangeBase base = ChangeBase::PreSettlement) {
    return FormatGridCell(kind, 4, contract, 0, q, base, palette);
  }
  DC_Contract contract{};
  DC_QuoteData q{};
  GridPalette palette;
};

TEST_F(GridFormatTest, PricesAgainstTheReferenceAndNoPriceAsDashes) {
  EXPECT_EQ(Cell(kGridRowNumber).text, "5");
  EXPECT_EQ(Cell(kGridName).text, TXT("螺纹钢2605"));
  EXPECT_EQ(Cell(kGridCode).text, "rb2605");
  GridCell c = Cell(kGridLast);
  EXPECT_EQ(c.text, "3110");
  EXPECT_EQ(c.color, palette.up);
  q.last = 3100;
  EXPECT_EQ(Cell(kGridLast).color, kGridFlatColor);
  q.last = 3099;
  EXPECT_EQ(Cell(kGridLast).color, palette.down);
  // Without a previous settlement the previous close is the reference.
  q.preSettlement = 0;
  EXPECT_EQ(Cell(kGridLast).color, palette.up);
  EXPECT_EQ(Cell(kGridPreSettlement).text, "--");
  EXPECT_EQ(Cell(kGridPreSettlement).color, kGridFlatColor);
  q.bidPrice[0] = 0;
  EXPECT_EQ(Cell(kGridBid).text, "--");
  EXPECT_EQ(Cell(kGridBid).color, kGridFlatColor);
  DC_QuoteData gold{};
  gold.last = 4050.25f;
  gold.preSettlement = 4060;
  GridCell g = FormatGridCell(kGridLast, 0, contract, 2, gold, ChangeBase::PreSettlement, palette);
  EXPECT_EQ(g.text, "4050.25");
  EXPECT_EQ(g.color, palette.down);
  EXPECT_EQ(FormatGridCell(kGridPreSettlement, 0, contract, 2, gold, ChangeBase::PreSettlement, palette).text, "4060.00");
  EXPECT_EQ(Cell(99).text, "--");
}

TEST_F(GridFormatTest, ChangeAndPercentFollowTheChangeBase) {
  EXPECT_EQ(Cell(kGridChange).text, "10");
  EXPECT_EQ(Cell(kGridChange).color, palette.up);
  EXPECT_EQ(Cell(kGridChangePercent).text, "0.32%");
  EXPECT_EQ(Cell(kGridChange, ChangeBase::PreClose).text, "20");
  EXPECT_EQ(Cell(kGridChange, ChangeBase::Open).text, "-10");
  EXPECT_EQ(Cell(kGridChange, ChangeBase::Open).color, palette.down);
  EXPECT_EQ(Cell(kGridChangePercent, ChangeBase::Open).text, "-0.32%");
  q.last = 3100;
  EXPECT_EQ(Cell(kGridChange).text, "0");
  EXPECT_EQ(Cell(kGridChange).color, kGridFlatColor);
  EXPECT_EQ(Cell(kGridChangePercent).color, palette.quote);
  // Without a base or a last price both stay empty.
  q.open = 0;
  EXPECT_EQ(Cell(kGridChange, ChangeBase::Open).text, "");
  q.last = 0;
  EXPECT_EQ(Cell(kGridChangePercent).text, "");
  EXPECT_EQ(ChangeBaseFromSetting(1), ChangeBase::PreClose);
  EXPECT_EQ(ChangeBaseFromSetting(7), ChangeBase::PreSettlement);
  // The sort value of change ignores the base.
  q.last = 3110;
  EXPECT_DOUBLE_EQ(GridSortValue(kGridChange, q), 10.0);
  q.preSettlement = 0.00005f;
  EXPECT_DOUBLE_EQ(GridSortValue(kGridChangePercent, q), 0.0);
}

TEST_F(GridFormatTest, QuantitiesAndTheUpdateTime) {
  q.volume = 123456;
  q.bidVolume[0] = 7;
  EXPECT_EQ(Cell(kGridVolume).text, "123456");
  EXPECT_EQ(Cell(kGridBidQuantity).text, "7");
  EXPECT_EQ(Cell(kGridVolume).color, palette.quote);
  q.updateTime = 10000;
  EXPECT_EQ(Cell(kGridUpdateTime).text, "");
  q.updateTime = 1765159200 + 3600 + 62;
  EXPECT_EQ(Cell(kGridUpdateTime).text, FormatTime(q.updateTime, "%H:%M:%S"));
  EXPECT_EQ(Cell(kGridUpdateTime).text.size(), 8u);
}

}  // namespace
}  // namespace tarn
