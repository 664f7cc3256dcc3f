#include "quote/info_panel_settings.h"

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"

namespace tarn {
namespace {

TEST(InfoPanelSettings, FieldListNullAllOrTheListedNumbers) {
  std::vector<int> all = ParsePanelFields("null");
  ASSERT_EQ(all.size(), 16u);
  EXPECT_EQ(all.front(), 0);
  EXPECT_EQ(all.back(), 15);
  EXPECT_EQ(ParsePanelFields("3,1,2"), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(ParsePanelFields(" 7 , x,16,-1,,4"), (std::vector<int>{7, 4}));  // not fields: skipped
  EXPECT_TRUE(ParsePanelFields("").empty());
}

TEST(InfoPanelSettings, ReadFromTheUserSettings) {
  test::ScopedHome home;
  InfoPanelSettings d = LoadInfoPanelSettings();
  EXPECT_EQ(d.fields.size(), 16u);
  EXPECT_TRUE(d.buySell);
  EXPECT_TRUE(d.pricePanel);
  test::WriteFile(home.Native("\\user\\setting.ini"), "[InfoPanel]\nField=5,0\nBuySell=0\nPricePanel=1\n");
  InfoPanelSettings s = LoadInfoPanelSettings();
  EXPECT_EQ(s.fields, (std::vector<int>{5, 0}));
  EXPECT_FALSE(s.buySell);
  EXPECT_TRUE(GridSidePanelShown());
  ASSERT_TRUE(SetGridSidePanelShown(false));
  EXPECT_FALSE(GridSidePanelShown());
  EXPECT_EQ(LoadInfoPanelSettings().fields, (std::vector<int>{5, 0}));  // the other keys stay
}

TEST(InfoPanelSettings, TradesPriceCommandAndPlace) {
  std::vector<QuoteDetail> list;
  for (int i = 0; i < 45; ++i) list.push_back(QuoteDetail::Make(100.0f + i, i, 1, 1));
  TradeSpan span = PanelTrades(list);
  ASSERT_EQ(span.count, 30);
  EXPECT_FLOAT_EQ(span.data[0].price, 115.0f);  // the newest 30
  EXPECT_FLOAT_EQ(span.data[29].price, 144.0f);
  list.resize(12);
  EXPECT_EQ(PanelTrades(list).count, 12);
  EXPECT_EQ(PanelTrades({}).count, 0);

  EXPECT_FALSE(SelectionForPrice(0, 1).select);
  EXPECT_FALSE(SelectionForPrice(0.0001, 1).select);
  PanelPriceSelection sell = SelectionForPrice(3009, 1);
  EXPECT_TRUE(sell.select);
  EXPECT_EQ(sell.direction, 2);
  EXPECT_EQ(SelectionForPrice(3009, 0).direction, 1);

  PanelRect on = PanelRectFor(300, 500, true);
  EXPECT_EQ(on.x, 12);
  EXPECT_EQ(on.width, 288);
  PanelRect off = PanelRectFor(300, 500, false);
  EXPECT_EQ(off.x, 0);
  EXPECT_EQ(off.width, 300);
}

}  // namespace
}  // namespace tarn
