// The records' sizes and offsets are asserted at compile time where they are declared; these
// tests cover what the records do at run time.
#include <gtest/gtest.h>

#include "data/quote_data_center.h"
#include "data/trade_records.h"
#include "fake_quote_center.h"

namespace tarn::test {
namespace {

TEST(Records, KeysAndFieldsAreBoundedTexts) {
  DC_Contract c{};
  EXPECT_TRUE(c.Empty());
  SetField(c.key, std::string(100, 'k'));  // longer than the field
  EXPECT_EQ(c.Key().size(), sizeof c.key - 1);
  DC_Contract d = MakeContract("rb2510");
  DC_Contract e = MakeContract("rb2510", 5);
  EXPECT_TRUE(d.SameKey(e));
}

TEST(Records, QuoteDetailPacksTimeSideAndQuantity) {
  QuoteDetail q = QuoteDetail::Make(3512.0f, 9 * 3600 + 30, 2, 150);
  EXPECT_EQ(q.SecondOfDay(), 9 * 3600 + 30);
  EXPECT_EQ(q.Side(), 2);
  EXPECT_EQ(q.Quantity(), 150);
  EXPECT_EQ(QuoteDetail::Make(1.0f, 86399, 1, 100000).Quantity(), 8191);  // capped, not wrapped
  EXPECT_EQ(QuoteDetail::Make(1.0f, 86399, 1, 100000).SecondOfDay(), 86399);
}

TEST(Records, HandlesResolveThroughTheLibrary) {
  // Without a library every handle resolves to nothing and prices get two decimals.
  DC_Contract c = MakeContract("x", 0, 42);
  EXPECT_EQ(CommodityOf(c), nullptr);
  EXPECT_EQ(PriceDecimals(c), 2);
  EXPECT_EQ(ExchangeCodeOf(c), "");
  PositionRecord p{};
  EXPECT_FALSE(p.Shown());
  p.shortQuantity = 1;
  EXPECT_TRUE(p.Shown());
  EXPECT_FALSE(p.IsLong());
}

}  // namespace
}  // namespace tarn::test
