#include <cctype>
#include <set>

#include "embedded_fixture.h"
#include "platform/text.h"

namespace tarn::test {
namespace {

class CatalogueTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(r), 1);
  }
  std::vector<DC_Contract> Contracts(const char* list) {
    const int n = Q().GetContracts(nullptr, 0, list);
    std::vector<DC_Contract> v(n);
    EXPECT_EQ(Q().GetContracts(v.data(), n, list), n);
    return v;
  }
  Recorder r;
};

TEST_F(CatalogueTest, ExchangesCommoditiesAndTheirRecords) {
  DC_Exchange ex[100];
  const int n = Q().GetExchanges(ex, 100);
  std::set<std::string> codes;
  for (int i = 0; i < n; ++i) codes.insert(std::string(ex[i].Code()));
  for (const char* code : {"SHFE", "DCE", "ZCE", "CFFEX", "INE", "GFEX", "CME", "COMEX", "NYMEX", "CBOT", "SGX", "HKEX"})
    EXPECT_TRUE(codes.count(code)) << code;
  int domestic = 0;
  for (const char* code : {"SHFE", "DCE", "ZCE", "CFFEX", "INE", "GFEX"}) domestic += Q().GetCommodities(nullptr, 0, code);
  EXPECT_GE(domestic, 40);

  // The commodity records as the terminal reads them.
  struct Want {
    const char* key;
    const char* name;
    double tick, multiplier;
    int decimals;
  };
  for (const Want& w : {Want{"SHFE|rb2605", "螺纹钢", 1, 10, 0}, Want{"SHFE|cuMI", "沪铜", 10, 5, 0},
                        Want{"SHFE|auMI", "沪金", 0.02, 1000, 2}, Want{"CFFEX|IFMI", "沪深300", 0.2, 300, 1},
                        Want{"CFFEX|TMI", "十年国债", 0.005, 10000, 3}, Want{"ZCE|SRMI", "白糖", 1, 10, 0}}) {
    DC_Contract c = Contract(w.key);
    const DC_Commodity* com = Q().ResolveCommodity(c.commodity);
    ASSERT_NE(com, nullptr) << w.key;
    EXPECT_EQ(com->Display(), Utf8ToGbk(w.name));
    EXPECT_DOUBLE_EQ(com->tickSize, w.tick);
    EXPECT_DOUBLE_EQ(com->multiplier, w.multiplier);
    EXPECT_EQ(com->decimals, w.decimals);
    const DC_Exchange* e = Q().ResolveExchange(com->exchange);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(w.key).substr(0, std::string(w.key).find('|')), e->Code());
    EXPECT_EQ(Q().ResolveCommodity(c.commodity), com);  // stable pointers
  }
  EXPECT_EQ(Q().ResolveCommodity(0), nullptr);
  EXPECT_EQ(Q().ResolveCommodity(100000), nullptr);
}

TEST_F(CatalogueTest, CodesFollowTheExchangesRules) {
  // ZCE: two-letter commodities, contract codes with a one-digit year.
  const int nz = Q().GetCommodities(nullptr, 0, "ZCE");
  std::vector<DC_Commodity> zce(nz);
  Q().GetCommodities(zce.data(), nz, "ZCE");
  for (const DC_Commodity& c : zce) EXPECT_EQ(c.Code().size(), 2u) << c.Code();
  bool sawSr = false;
  for (const DC_Contract& c : Contracts("ZCE|SR")) {
    if (c.Month() == "MI" || c.Month() == "IDX") continue;
    sawSr = true;
    ASSERT_EQ(c.Code().size(), 5u) << c.Code();
    EXPECT_EQ(c.Code().substr(0, 2), "SR");
    for (char ch : c.Code().substr(2)) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(ch)));
  }
  EXPECT_TRUE(sawSr);
  // Others: four-digit months; DCE palm oil is exactly "P".
  for (const DC_Contract& c : Contracts("SHFE|rb")) {
    if (c.Month() != "MI" && c.Month() != "IDX") {
      EXPECT_EQ(c.Month().size(), 4u);
    }
  }
  const std::vector<DC_Contract> palm = Contracts("DCE|P");
  ASSERT_FALSE(palm.empty());
  EXPECT_EQ(Q().ResolveCommodity(palm[0].commodity)->Code(), "P");
}

TEST_F(CatalogueTest, ListsOfExchangesCommoditiesMainAndIndexContracts) {
  std::vector<std::string> names;
  Q().GetListNames(names);
  for (const char* want : {"SHFE", "ZCE", "HKEX", "HOT", "MI", "IDX"})
    EXPECT_NE(std::find(names.begin(), names.end(), want), names.end()) << want;

  const std::vector<DC_Contract> rb = Contracts("SHFE|rb");
  ASSERT_GE(rb.size(), 3u);
  EXPECT_EQ(rb[rb.size() - 2].Month(), "MI");
  EXPECT_EQ(rb.back().Month(), "IDX");
  EXPECT_EQ(rb.back().Name(), TXT("螺纹钢指数"));
  EXPECT_EQ(Q().GetContractsOf(nullptr, 0, "SHFE|rb", 0), static_cast<int>(rb.size()));
  const int shfe = Q().GetContractsOf(nullptr, 0, "SHFE", 0);
  EXPECT_GT(shfe, static_cast<int>(rb.size()));
  DC_Contract few[3];
  EXPECT_EQ(Q().GetContractsOf(few, 3, "SHFE", 0), 3);  // capacity bounds the copy

  const int commodities = Q().GetCommodities(nullptr, 0, nullptr);
  for (const char* list : {"MI", "IDX"}) {
    const std::vector<DC_Contract> v = Contracts(list);
    EXPECT_EQ(static_cast<int>(v.size()), commodities);
    for (const DC_Contract& c : v) EXPECT_EQ(c.Month(), list);
  }
  const std::vector<DC_Contract> hot = Contracts("HOT");
  EXPECT_GT(hot.size(), 40u);
  for (const DC_Contract& c : hot) EXPECT_NE(c.Month(), "MI");
  EXPECT_EQ(Q().GetContracts(nullptr, 0, "NOPE"), 0);
  EXPECT_EQ(Q().GetContracts(nullptr, 0, "SHFE|zz"), 0);
}

}  // namespace
}  // namespace tarn::test
