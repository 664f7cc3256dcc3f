#include "libs/infopanel/info_panel_model.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"

namespace tarn::infopanel {
namespace {

DC_Contract Contract(const char* key) {
  DC_Contract c = ZeroRecord<DC_Contract>();
  SetField(c.key, key);
  SetField(c.name, "rb2605");
  return c;
}

DC_Quote Quote(const DC_Contract& c) {
  DC_Quote q = ZeroRecord<DC_Quote>();
  q.contract = c;
  q.data.preSettlement = 3000;
  q.data.last = 3010;
  for (int i = 0; i < 10; ++i) {
    q.data.bidPrice[i] = 3009 - i;
    q.data.bidVolume[i] = 10 + i;
    q.data.askPrice[i] = 3010 + i;
    q.data.askVolume[i] = 20 + i;
  }
  return q;
}

// The texts of the view's items, in drawing order.
std::vector<std::string> Texts(const PanelView& v) {
  std::vector<std::string> t;
  for (const PanelItem& it : v.items) {
    if (it.kind == PanelItem::kText) t.push_back(it.text);
  }
  return t;
}

const PanelItem* FindText(const PanelView& v, const std::string& text) {
  for (const PanelItem& it : v.items) {
    if (it.kind == PanelItem::kText && it.text == text) return &it;
  }
  return nullptr;
}

class InfoPanelModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c = Contract("SHFE|rb2605");
    m.SetContract(c, 0);
    m.SetLevel(1, 5);
    std::vector<int> all;
    for (int i = 0; i < kPanelFieldCount; ++i) all.push_back(i);
    m.SetFields(all, true, true);
    DC_Quote q = Quote(c);
    m.SetQuote(q, nullptr, 0);
  }
  DC_Contract c;
  InfoPanelModel m;
};

TEST_F(InfoPanelModelTest, DepthFollowsTheLevelSetting) {
  PanelView five = m.BuildView(300, 800, 18);
  EXPECT_NE(FindText(five, TXT("卖五")), nullptr);
  EXPECT_EQ(FindText(five, TXT("卖六")), nullptr);
  // Asks from the deepest level down, then bids from level 1.
  std::vector<std::string> t = Texts(five);
  auto at = [&](const std::string& s) { return std::find(t.begin(), t.end(), s) - t.begin(); };
  EXPECT_LT(at(TXT("卖五")), at(TXT("卖一")));
  EXPECT_LT(at(TXT("卖一")), at(TXT("买一")));
  EXPECT_LT(at(TXT("买一")), at(TXT("买五")));
  m.SetLevel(1, 10);
  EXPECT_NE(FindText(m.BuildView(300, 800, 18), TXT("买十")), nullptr);
  m.SetLevel(1, 7);  // anything but 10 shows five levels
  EXPECT_EQ(FindText(m.BuildView(300, 800, 18), TXT("买六")), nullptr);
}

TEST_F(InfoPanelModelTest, FieldsShowInTheListedOrder) {
  m.SetFields({5, 0, 3}, false, true);
  std::vector<std::string> t = Texts(m.BuildView(300, 800, 18));
  std::vector<std::string> names;
  for (const std::string& s : t) {
    for (int f = 0; f < kPanelFieldCount; ++f) {
      if (s == PanelFieldName(f)) names.push_back(s);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{PanelFieldName(5), PanelFieldName(0), PanelFieldName(3)}));
  EXPECT_EQ(FindText(m.BuildView(300, 800, 18), TXT("买一")), nullptr);  // depth block off
  m.SetFields({99, -1, 2}, true, true);  // unknown numbers are dropped
  EXPECT_EQ(m.Fields(), std::vector<int>{2});
  EXPECT_EQ(m.FieldText(1), "+10");
  EXPECT_EQ(m.FieldText(2), "+0.33%");
}

TEST_F(InfoPanelModelTest, ClickingAPriceRaisesThePriceCommand) {
  PanelView v = m.BuildView(300, 800, 18);
  const PanelItem* bid = FindText(v, "3009");
  ASSERT_NE(bid, nullptr);
  PanelCommand cmd;
  ASSERT_TRUE(InfoPanelModel::HitTest(v, bid->x + 1, bid->y + 1, &cmd));
  EXPECT_EQ(cmd.type, kPanelPrice);
  EXPECT_DOUBLE_EQ(cmd.price, 3009);
  EXPECT_EQ(cmd.sideFlag, 1);  // a bid
  const PanelItem* ask = FindText(v, "3012");
  ASSERT_TRUE(InfoPanelModel::HitTest(v, ask->x + 1, ask->y + 1, &cmd));
  EXPECT_EQ(cmd.sideFlag, 0);
  const PanelItem* stats = FindText(v, TXT("统"));
  ASSERT_TRUE(InfoPanelModel::HitTest(v, stats->x + 1, stats->y + 1, &cmd));
  EXPECT_EQ(cmd.type, kPanelTickStatistics);
  const PanelItem* side = FindText(v, "<");
  ASSERT_TRUE(InfoPanelModel::HitTest(v, side->x + 1, side->y + 1, &cmd));
  EXPECT_EQ(cmd.type, kPanelSideBarOff);
  EXPECT_EQ(cmd.argument, 0);
  // A level without a price is not clickable.
  DC_Quote empty = ZeroRecord<DC_Quote>();
  empty.contract = c;
  m.SetQuote(empty, nullptr, 0);
  PanelView e = m.BuildView(300, 800, 18);
  for (const PanelCommand& pc : e.commands) EXPECT_NE(pc.type, kPanelPrice);
  EXPECT_FALSE(InfoPanelModel::HitTest(e, -5, -5, &cmd));
}

TEST_F(InfoPanelModelTest, TradesNewestFirstAndOtherContractsIgnored) {
  std::vector<QuoteDetail> trades;
  for (int i = 0; i < 45; ++i) trades.push_back(QuoteDetail::Make(3000 + i, 9 * 3600 + i, 1 + i % 2, i + 1));
  DC_Quote q = Quote(c);
  m.SetQuote(q, trades.data(), static_cast<int>(trades.size()));
  ASSERT_EQ(m.Trades().size(), 45u);
  PanelView v = m.BuildView(300, 2000, 18);
  std::vector<std::string> t = Texts(v);
  auto newest = std::find(t.begin(), t.end(), "09:00:44");
  auto oldest = std::find(t.begin(), t.end(), "09:00:00");
  ASSERT_NE(newest, t.end());
  EXPECT_LT(newest, oldest);
  // Trades only fill the height there is.
  EXPECT_EQ(FindText(m.BuildView(300, 400, 18), "09:00:00"), nullptr);

  const uint64_t rev = m.Revision();
  DC_Quote other = Quote(Contract("DCE|m2605"));
  other.data.last = 1;
  m.SetQuote(other, nullptr, 0);
  EXPECT_EQ(m.Revision(), rev);
  EXPECT_FLOAT_EQ(m.Quote().last, 3010);
  // A new contract clears the view.
  m.SetContract(Contract("DCE|m2605"), 0);
  EXPECT_TRUE(m.Trades().empty());
  EXPECT_EQ(m.Quote().last, 0);
}

TEST_F(InfoPanelModelTest, BlockMarkAndTallies) {
  EXPECT_EQ(FindText(m.BuildView(300, 800, 18), TXT("★")), nullptr);
  m.SetInUserBlock(true);
  EXPECT_NE(FindText(m.BuildView(300, 800, 18), TXT("★")), nullptr);
  PanelTallies t;
  t.valid = true;
  t.bigBuy = 0.25;
  t.bigSell = 0.125;
  m.SetTallies(t);
  EXPECT_NE(FindText(m.BuildView(300, 800, 18), "25.0%"), nullptr);
  m.SetLevel(0, 5);  // compact: no tallies
  EXPECT_EQ(FindText(m.BuildView(300, 800, 18), "25.0%"), nullptr);
}

}  // namespace
}  // namespace tarn::infopanel
