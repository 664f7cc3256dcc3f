// The grid window's menu rules, the header settings editor and the contract selection.
#include <gtest/gtest.h>

#include "catalogue_quote_center.h"
#include "platform/text.h"
#include "quote/contract_selection.h"
#include "quote/grid_columns.h"
#include "quote/grid_head_editor.h"
#include "quote/grid_menu.h"
#include "quote/user_block_store.h"
#include "support/test_support.h"

namespace tarn {
namespace {

std::vector<int> Ids(const std::vector<GridMenuEntry>& m) {
  std::vector<int> ids;
  for (const auto& e : m) ids.push_back(e.id);
  return ids;
}

TEST(GridMenu, EntriesFollowTheBlockTheRowAndTheHost) {
  GridMenuContext c;
  c.onRow = true;
  c.blockIsLibrary = true;
  auto m = BuildGridMenu(c);
  EXPECT_EQ(Ids(m), (std::vector<int>{104, 105, 0, 101}));
  EXPECT_EQ(m[3].text, TXT("加入自选(Ctrl+Z)"));
  c.contractInUser = true;
  EXPECT_EQ(BuildGridMenu(c)[3].text, TXT("从自选移除"));
  c.alertAvailable = true;
  EXPECT_EQ(Ids(BuildGridMenu(c)), (std::vector<int>{104, 105, 0, 101, 0, 1010}));

  GridMenuContext user;
  user.blockIsUserList = user.blockIsUsers = true;
  EXPECT_EQ(Ids(BuildGridMenu(user)), (std::vector<int>{104, 105, 0, 103}));  // not on a row
  user.onRow = true;
  EXPECT_EQ(Ids(BuildGridMenu(user)), (std::vector<int>{104, 105, 0, 102, 103}));

  GridMenuContext own;  // another block of the user's
  own.onRow = own.blockIsUsers = true;
  EXPECT_EQ(Ids(BuildGridMenu(own)), (std::vector<int>{104, 105}));
  own.contractInBlock = true;
  own.windowCommands = true;
  EXPECT_EQ(Ids(BuildGridMenu(own)), (std::vector<int>{104, 105, 0, 102, 0, 1007, 1008, 1009}));
}

TEST(GridMenu, HostRules) {
  GridHostInfo h;
  EXPECT_FALSE(GridOffersWindowCommands(h));  // the main frame's grid
  EXPECT_FALSE(GridDoubleClickShowsChart(h));
  h.inChartContainer = true;
  h.workspaceWindows = 1;
  h.layoutFlag = true;
  EXPECT_TRUE(GridOffersWindowCommands(h));
  h.workspaceWindows = 2;
  EXPECT_FALSE(GridOffersWindowCommands(h));
  h.layoutFlag = false;
  EXPECT_TRUE(GridOffersWindowCommands(h));
  EXPECT_TRUE(GridDoubleClickShowsChart(h));
  h.linkedGridContainer = true;
  EXPECT_FALSE(GridDoubleClickShowsChart(h));
  h.workspaceWindows = 1;
  EXPECT_TRUE(GridDoubleClickShowsChart(h));
}

TEST(GridHeadEditor, ButtonsAndTheNothingSelectedMessage) {
  GridHeadEditor e({kGridRowNumber, kGridName, kGridLast});
  EXPECT_EQ(e.Available().size(), 23u);
  for (auto r : {e.Add(-1), e.Remove(-1), e.MoveUp(-1), e.MoveDown(7)}) EXPECT_EQ(r.message, TXT("没有行被选中!"));
  EXPECT_EQ(e.Chosen().size(), 3u);
  auto r = e.Add(kGridLast);  // already a column of that header: ignored
  EXPECT_TRUE(r.message.empty());
  EXPECT_EQ(r.selection, 2);
  EXPECT_EQ(e.Chosen().size(), 3u);
  r = e.Add(kGridVolume);
  EXPECT_EQ(r.selection, 3);
  r = e.MoveUp(3);
  EXPECT_EQ(e.Chosen(), (std::vector<int>{0, 1, 13, 2}));
  EXPECT_EQ(r.selection, 2);
  EXPECT_EQ(e.MoveUp(0).selection, 0);
  e.MoveDown(0);
  EXPECT_EQ(e.Chosen(), (std::vector<int>{1, 0, 13, 2}));
  r = e.Remove(3);
  EXPECT_EQ(r.selection, 2);
  EXPECT_EQ(e.Chosen(), (std::vector<int>{1, 0, 13}));
}

class ContractSelectionTest : public ::testing::Test {
 protected:
  test::ScopedHome home;
  test::CatalogueQuoteCenter quotes;
  test::SmallMarket market{quotes};
  UserBlockStore store;
};

TEST_F(ContractSelectionTest, ExchangeTabsListCommoditiesOthersTheirContracts) {
  store.Add(market.gcMonth, "USER");
  store.Add(market.cuMonths[0], "Mine");
  ContractSelection s(&quotes, store, false);
  std::vector<std::string> tabs;
  for (const auto& t : s.Tabs()) tabs.push_back(t.code);
  EXPECT_EQ(tabs, (std::vector<std::string>{"USER", "SHFE", "ZCE", "COMEX", "HOT", "MI", "IDX"}));
  EXPECT_FALSE(s.ShowsCommodities());
  ASSERT_EQ(s.Contracts().size(), 1u);
  s.SelectTab(1);
  ASSERT_TRUE(s.ShowsCommodities());
  ASSERT_EQ(s.Commodities().size(), 2u);
  EXPECT_EQ(s.Contracts().size(), 6u);  // rb: four months, MI and IDX
  EXPECT_EQ(quotes.contractsOfCalls.back(), "SHFE|rb");
  s.SelectCommodity(1);
  EXPECT_EQ(quotes.contractsOfCalls.back(), "SHFE|cu");
  EXPECT_EQ(s.Contracts().size(), 2u);
  s.SelectTab(4);
  EXPECT_FALSE(s.ShowsCommodities());
  EXPECT_EQ(s.Contracts().size(), 3u);
}

TEST_F(ContractSelectionTest, ContractsWithoutACommodityAreLeftOut) {
  // The library answers the commodity's list with one contract that has no commodity.
  std::vector<DC_Contract> list = market.rbMonths;
  DC_Contract orphan = list[0];
  orphan.commodity = 0;
  SetField(orphan.key, "SHFE|orphan");
  list.push_back(orphan);
  quotes.extraLists.push_back({"SHFE|rb", list});
  ContractSelection s(&quotes, store, false);
  s.SelectTab(1);
  ASSERT_EQ(s.Contracts().size(), 4u);
  for (const DC_Contract& c : s.Contracts()) EXPECT_NE(c.Key(), "SHFE|orphan");
}

TEST_F(ContractSelectionTest, SingleModeWantsASelectionListModeReturnsTheChosenList) {
  ContractSelection single(&quotes, store, false);
  single.SelectTab(1);
  ContractSelection::Answer a = single.Ok(-1);
  EXPECT_FALSE(a.accepted);
  EXPECT_EQ(a.message, TXT("请选择一个合约"));
  a = single.Ok(2);
  EXPECT_TRUE(a.accepted);
  EXPECT_EQ(a.contract.Key(), single.Contracts()[2].Key());

  ContractSelection list(&quotes, store, true, {market.gcMonth});
  list.SelectTab(2);
  EXPECT_TRUE(list.Choose(0));
  EXPECT_FALSE(list.Choose(0));  // once
  list.SelectTab(1);
  EXPECT_TRUE(list.Choose(1));
  EXPECT_TRUE(list.Unchoose(0));
  a = list.Ok(-1);
  EXPECT_TRUE(a.accepted);
  ASSERT_EQ(a.list.size(), 2u);
  EXPECT_EQ(a.list[0].Key(), market.srMonths[0].Key());
  EXPECT_EQ(a.list[1].Key(), market.rbMonths[1].Key());
}

}  // namespace
}  // namespace tarn
