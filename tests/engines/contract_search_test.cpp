// Finding contracts by typed text and the futures / spread selection: ranks, case, limits, the
// selection's kinds and its refusal without a row.
#include <gtest/gtest.h>

#include "engine_fakes.h"
#include "engines/contract_search.h"

namespace {

using namespace tarn::test;

class ContractSearchTest : public ::testing::Test {
 protected:
  ContractSearchTest() {
    quotes.AddCommodity(10, 1, "rb", TXT("螺纹钢"), 1.0, 0);
    quotes.AddCommodity(11, 1, "cu", TXT("沪铜"), 10.0, 0);
    rb2605 = Listed("SHFE|rb2605", "rb2605", 10, TXT("螺纹钢2605"));
    rb2610 = Listed("SHFE|rb2610", "rb2610", 10, TXT("螺纹钢2610"));
    cu2605 = Listed("SHFE|cu2605", "cu2605", 11, TXT("沪铜2605"));
    rb = Listed("SHFE|rb", "rb", 10, TXT("螺纹钢主连"));
  }
  DC_Contract Listed(const std::string& key, const std::string& code, int commodity, const std::string& name) {
    DC_Contract c = quotes.AddContract(key, commodity, name);
    tarn::SetField(c.code, code);
    all.push_back(c);
    return c;
  }
  std::vector<std::string> Codes(const std::vector<DC_Contract>& list) {
    std::vector<std::string> out;
    for (const DC_Contract& c : list) out.emplace_back(c.Code());
    return out;
  }

  EngineQuoteCenter quotes;
  std::vector<DC_Contract> all;
  DC_Contract rb2605, rb2610, cu2605, rb;
};

TEST_F(ContractSearchTest, TheExactCodeComesFirstThenPrefixesThenWhatContainsTheText) {
  // Typed in another case: the exact code first, though it is listed last.
  EXPECT_EQ(Codes(tarn::FindContracts(all, "RB", 10)), (std::vector<std::string>{"rb", "rb2605", "rb2610"}));
  EXPECT_EQ(Codes(tarn::FindContracts(all, "2605", 10)), (std::vector<std::string>{"rb2605", "cu2605"}));
  // Names are searched by their bytes.
  EXPECT_EQ(Codes(tarn::FindContracts(all, TXT("沪铜"), 10)), (std::vector<std::string>{"cu2605"}));
  EXPECT_EQ(Codes(tarn::FindContracts(all, " rb2610 ", 10)), (std::vector<std::string>{"rb2610"}));
  // A limit, blank text, nothing found.
  EXPECT_EQ(tarn::FindContracts(all, "rb", 2).size(), 2u);
  EXPECT_TRUE(tarn::FindContracts(all, "  ", 10).empty());
  EXPECT_TRUE(tarn::FindContracts(all, "zz", 10).empty());
  EXPECT_EQ(tarn::ContractEntryText(rb2605), TXT("rb2605-螺纹钢2605"));
}

TEST_F(ContractSearchTest, TheSpreadSelectionOffersContractsOrStrategiesAndWantsARow) {
  CombolStrategy s{};
  s.legs[0].contract = rb2605;
  s.legs[1].contract = rb2610;
  tarn::SetField(s.name, TXT("跨期"));
  tarn::SetField(s.formula, "A-B");
  tarn::SpreadSelection sel(all, {s});
  EXPECT_EQ(tarn::SpreadSelection::KindText(0), TXT("期货合约"));
  EXPECT_EQ(tarn::SpreadSelection::KindText(1), TXT("套利合约"));
  EXPECT_EQ(sel.Rows().size(), 4u);
  sel.Filter("cu");
  ASSERT_EQ(sel.Rows().size(), 1u);
  EXPECT_EQ(sel.Rows()[0][0], TXT("cu2605-沪铜2605"));
  EXPECT_EQ(sel.Ok(-1).message, TXT("请选择一个合约"));
  EXPECT_EQ(sel.Ok(1).message, TXT("请选择一个合约"));  // beyond the narrowed list
  tarn::SpreadSelection::Answer a = sel.Ok(0);
  ASSERT_TRUE(a.accepted);
  EXPECT_TRUE(a.contract.SameKey(cu2605));
  sel.SelectKind(tarn::SpreadSelection::kSpreads);
  EXPECT_EQ(sel.Columns(), (std::vector<std::string>{TXT("策略名称"), TXT("公式")}));
  EXPECT_EQ(sel.Rows(), (std::vector<std::vector<std::string>>{{TXT("跨期"), "A-B"}}));
  a = sel.Ok(0);
  ASSERT_TRUE(a.accepted);
  EXPECT_EQ(a.kind, tarn::SpreadSelection::kSpreads);
  EXPECT_EQ(a.strategy.Formula(), "A-B");
  EXPECT_FALSE(sel.Ok(1).accepted);
}

TEST_F(ContractSearchTest, EveryListedContractOfEveryExchange) {
  class Listing : public EngineQuoteCenter {
   public:
    int GetContractsOf(DC_Contract* out, int capacity, const char* exchange, int) override {
      const std::vector<DC_Contract>& l = std::string_view(exchange) == "SHFE" ? shfe : dce;
      if (out)
        for (int i = 0; i < std::min<int>(capacity, static_cast<int>(l.size())); ++i) out[i] = l[static_cast<std::size_t>(i)];
      return static_cast<int>(l.size());
    }
    std::vector<DC_Contract> shfe, dce;
  } q;
  q.shfe = {rb2605, cu2605};
  q.dce = {rb};
  EXPECT_EQ(Codes(tarn::AllListedContracts(&q)), (std::vector<std::string>{"rb2605", "cu2605", "rb"}));
  EXPECT_TRUE(tarn::AllListedContracts(nullptr).empty());
}

}  // namespace
