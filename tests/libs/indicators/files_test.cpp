// The formula files, parameter files and period names.
#include <gtest/gtest.h>

#include <random>

#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"
#include "libs/indicators/indicator_params.h"
#include "libs/indicators/period_name.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "libs/formula/formula_test_util.h"
#include "support/test_support.h"

namespace tarn {
namespace {

using formula::FormulaDef;

std::string Shipped(const std::string& name) { return test::ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/" + name); }

void InstallShippedFiles(const test::ScopedHome& home) {
  test::WriteFile(home.Native(kSystemFormulaFile), Shipped("sysfml.dat"));
  test::WriteFile(home.Native(kFormulaGroupFile), Shipped("fmlGroup.xml"));
}

TEST(FormulaFiles, SystemNamesFileIsCreatedWithTheBuiltinNames) {
  test::ScopedHome home;
  std::vector<std::string> names = LoadSystemFormulaNames();
  EXPECT_EQ(names.size(), 56u);
  EXPECT_EQ(test::ReadFile(home.Native(kSystemNamesFile)),
            "AD,ADTM,ARBR,ASI,ATR,BBIBOLL,BIAS,BOLL,CCI,CDP,CJL,COLORRSI,COLORWR,CP,CR,DMA,DMI,DONCHIAN,DUALMA,EMA,ENV,"
            "K110,K120,K130,K140,K150,K160,K170,KDJ,MA,MACD,MI,MICD,MIKE,MTM,OBV,OPI,PSY,PTV,PUBU,RC,RCCD,"
            "REDGREENBAR,ROC,RSI,SAR,SRMI,TURTLETRADER,VOL,VOSC,VR,VSTD,WR,WRTRADER,WVAD,ZIGZAG");
  // An existing file is read as it stands.
  test::WriteFile(home.Native(kSystemNamesFile), " MA , MACD,,KDJ\r\n");
  EXPECT_EQ(LoadSystemFormulaNames(), (std::vector<std::string>{"MA", "MACD", "KDJ"}));
}

TEST(FormulaFiles, ShippedDefinitionsAndGroups) {
  std::vector<FormulaDef> defs = ParseFormulaXml(Shipped("sysfml.dat"));
  ASSERT_EQ(defs.size(), 56u);
  for (std::size_t i = 0; i < defs.size(); ++i) {
    EXPECT_EQ(defs[i].name, BuiltinIndicatorNames()[i]);
    EXPECT_FALSE(defs[i].description.empty()) << defs[i].name;
    EXPECT_FALSE(defs[i].shortName.empty()) << defs[i].name;
  }
  const FormulaDef& macd = defs[30];
  ASSERT_EQ(macd.name, "MACD");
  EXPECT_EQ(macd.description, TXT("指数平滑异同平均线"));
  EXPECT_FALSE(macd.mainChart);
  ASSERT_EQ(macd.params.size(), 3u);
  EXPECT_EQ(macd.params[0].name, "SHORT");
  EXPECT_EQ(macd.params[0].defaultValue, 12);
  EXPECT_EQ(macd.params[0].minValue, 2);
  EXPECT_EQ(macd.params[0].maxValue, 200);
  EXPECT_NE(macd.source.find("DIF:EMA(CLOSE,SHORT)-EMA(CLOSE,LONG);\nDEA:"), std::string::npos);
  EXPECT_TRUE(defs[29].mainChart);  // MA

  std::vector<FormulaGroup> groups = ParseGroupXml(Shipped("fmlGroup.xml"));
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups[0].name, TXT("趋势指标"));
  std::size_t listed = 0;
  for (const FormulaGroup& g : groups) {
    listed += g.formulas.size();
    for (const std::string& n : g.formulas)
      EXPECT_TRUE(std::find(BuiltinIndicatorNames().begin(), BuiltinIndicatorNames().end(), n) !=
                  BuiltinIndicatorNames().end())
          << n;
  }
  EXPECT_EQ(listed, 56u);
}

TEST(FormulaFiles, FormulaXmlRoundTrip) {
  FormulaDef d;
  d.name = "MYIND";
  d.shortName = TXT("我的");
  d.description = TXT("用户的<指标> & 说明");
  d.mainChart = true;
  d.params = {{"N", 5, 1, 100}, {"P", 0.015, 0, 1}};
  d.source = TXT("A:=C>O AND C<H;// 注释\r\nX:IF(A,1,0);\n  DRAWTEXT(A,L,'买');");
  FormulaDef plain;
  plain.name = "P2";
  plain.source = "C;";
  plain.params = {{"K", 3, -1.7976931348623157e308, 1.7976931348623157e308}};
  std::vector<FormulaDef> back = ParseFormulaXml(FormatFormulaXml({d, plain}));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].name, d.name);
  EXPECT_EQ(back[0].shortName, d.shortName);
  EXPECT_EQ(back[0].description, d.description);
  EXPECT_TRUE(back[0].mainChart);
  EXPECT_EQ(back[0].source, d.source);
  ASSERT_EQ(back[0].params.size(), 2u);
  EXPECT_EQ(back[0].params[1].name, "P");
  EXPECT_DOUBLE_EQ(back[0].params[1].defaultValue, 0.015);
  EXPECT_EQ(back[0].params[1].maxValue, 1);
  EXPECT_FALSE(back[1].mainChart);
  EXPECT_EQ(back[1].params[0].defaultValue, 3);
  EXPECT_LT(back[1].params[0].minValue, -1e300);  // an unbounded parameter stays unbounded

  std::vector<FormulaGroup> groups = {{TXT("我的组"), {"MYIND", "P2"}}, {"empty", {}}};
  std::vector<FormulaGroup> g = ParseGroupXml(FormatGroupXml(groups));
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].name, groups[0].name);
  EXPECT_EQ(g[0].formulas, groups[0].formulas);
  EXPECT_TRUE(g[1].formulas.empty());
}

TEST(FormulaFiles, DamagedDocumentsKeepWhatWasReadBefore) {
  std::string full = Shipped("sysfml.dat");
  std::string cut = full.substr(0, full.size() / 2);
  std::vector<FormulaDef> some = ParseFormulaXml(cut);
  EXPECT_GT(some.size(), 10u);
  EXPECT_LT(some.size(), 56u);
  EXPECT_EQ(some[0].name, "AD");
  // Garbage of every kind gives nothing, or what it happens to hold, and never crashes.
  std::mt19937 rng(3);
  for (int i = 0; i < 300; ++i) {
    std::string junk = full.substr(0, rng() % full.size());
    for (int k = 0; k < 20 && !junk.empty(); ++k) junk[rng() % junk.size()] = static_cast<char>(rng());
    ParseFormulaXml(junk);
    ParseGroupXml(junk);
  }
  EXPECT_TRUE(ParseFormulaXml(std::string("\0\xff\xfe<fml>", 8)).empty());
  EXPECT_TRUE(ParseFormulaXml("").empty());
  // Nesting that would exhaust the stack of a recursive parser is refused unparsed.
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  EXPECT_GT(XmlNestingDepth(deep), kMaxXmlDepth);
  EXPECT_TRUE(ParseFormulaXml(deep).empty());
  EXPECT_EQ(XmlNestingDepth("<r><a x='<b>'/><!-- <c><c> --><![CDATA[<d><d>]]><b></b></r>"), 2);
}

TEST(FormulaFiles, ManagerReadsSystemThenUserFormulas) {
  test::ScopedHome home;
  InstallShippedFiles(home);
  FormulaDef mine;
  mine.name = "MINE";
  mine.description = TXT("我的指标");
  mine.params = {{"N", 3, 1, 10}};
  mine.source = "X:MA(C,N);";
  FormulaDef clash;
  clash.name = "macd";
  clash.source = "C;";
  test::WriteFile(home.Native(kUserFormulaFile), FormatFormulaXml({clash, mine}));
  formula::CFormulaEngine engine;
  FormulaManager manager(&engine);
  manager.Load();
  std::vector<IndicatorEntry> list = manager.Indicators();
  ASSERT_EQ(list.size(), 57u);  // the user's MACD gives way to the system's
  EXPECT_EQ(list[0].name, "AD");
  EXPECT_EQ(list[56].name, "MINE");
  EXPECT_EQ(list[56].description, TXT("我的指标"));
  FormulaDef def;
  ASSERT_TRUE(manager.Find("MACD", &def));
  EXPECT_TRUE(def.system);
  EXPECT_EQ(def.params.size(), 3u);
  ASSERT_TRUE(manager.Find("mine", &def));
  EXPECT_FALSE(def.system);
  EXPECT_TRUE(manager.IsSystemName("kdj"));
  EXPECT_FALSE(manager.IsSystemName("MINE"));
  EXPECT_EQ(manager.Groups().size(), 7u);

  // Saving a user formula replaces the one of that name and reloads.
  mine.source = "X:MA(C,N)*2;";
  ASSERT_TRUE(manager.SaveUserFormula(mine));
  ASSERT_TRUE(engine.GetFormulaList()->Find("MINE", &def));
  EXPECT_EQ(def.source, "X:MA(C,N)*2;");
  EXPECT_EQ(manager.UserFormulas().size(), 2u);
  EXPECT_EQ(ParseFormulaXml(test::ReadFile(home.Native(kUserFormulaFile))).size(), 2u);
}

TEST(FormulaFiles, TheProcessManagerFillsTheEngineTheChartsUse) {
  test::ScopedHome home;
  InstallShippedFiles(home);
  EXPECT_EQ(FormulaEngine(), FormulaEngine());
  FormulaManager::Instance().Load();
  EXPECT_EQ(FormulaEngine()->GetFormulaList()->Count(), 56u);
  auto bars = formula::test::RandomBars(300, 9);
  std::vector<double> params = FormulaManager::Instance().ParamsFor("MACD", 3, 5);
  auto macd = FormulaManager::Instance().Compute("MACD", bars.data(), bars.size(), params);
  ASSERT_TRUE(macd);
  ASSERT_EQ(macd->OutputCount(), 3u);
  EXPECT_EQ(macd->GetOutput(2).info->style.kind, formula::DrawKind::ColorStick);
  EXPECT_EQ(macd->GetOutput(0).values.size(), 300u);
  formula::CompileError error;
  EXPECT_FALSE(FormulaManager::Instance().Compute("NOSUCH", bars.data(), bars.size(), {}, &error));
  EXPECT_FALSE(error.message.empty());
  FormulaEngine()->GetFormulaList()->SetFormulas({});
}

TEST(FormulaFiles, MissingFilesLeaveAnEmptyList) {
  test::ScopedHome home;
  formula::CFormulaEngine engine;
  FormulaManager manager(&engine);
  manager.Load();
  EXPECT_TRUE(manager.Indicators().empty());
  EXPECT_TRUE(manager.Groups().empty());
  EXPECT_TRUE(test::Exists(home.Native(kSystemNamesFile)));
  EXPECT_TRUE(manager.ParamsFor("MACD", 5, 1).empty());
}

TEST(IndicatorParams, ParameterIniUsesTheHashForm) {
  test::ScopedHome home;
  ParamValue text;
  text.isText = true;
  text.text = "IF2406";
  std::vector<ParamValue> values(3);
  values[0].number = 12;
  values[1].number = 0.015;
  values[2] = text;
  ASSERT_TRUE(WriteIndicatorParams("MACD", values));
  EXPECT_NE(test::ReadFile(home.Native(kParameterFile)).find("param=12#0.015#IF2406"), std::string::npos);
  auto back = ReadIndicatorParams("macd");
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->size(), 3u);
  EXPECT_FALSE((*back)[0].isText);
  EXPECT_EQ((*back)[0].number, 12);
  EXPECT_EQ((*back)[1].number, 0.015);
  EXPECT_TRUE((*back)[2].isText);
  EXPECT_EQ((*back)[2].text, "IF2406");
  EXPECT_FALSE(ReadIndicatorParams("KDJ").has_value());
  EXPECT_TRUE(ParseParamList("").empty());
  EXPECT_EQ(ParseParamList(std::string(300, 'x'))[0].text.size(), 127u);
}

TEST(IndicatorParams, PeriodParamsOnlyWhenTheCountMatches) {
  test::ScopedHome home;
  test::WriteFile(home.Native(kPeriodParamFile),
                  "[KDJ]\r\n5_1=0,5,0,2,0,2\r\n3_5=0,7\r\n3_15=0,1,2\r\n[BOLL]\r\n3_1=2,abc,0,3.5\r\n");
  auto kdj = ReadPeriodParams("KDJ", 5, 1, 3);
  ASSERT_TRUE(kdj.has_value());
  EXPECT_EQ((*kdj)[0].number, 5);
  EXPECT_EQ((*kdj)[2].number, 2);
  EXPECT_FALSE(ReadPeriodParams("KDJ", 3, 5, 3).has_value());   // one pair for three parameters
  EXPECT_FALSE(ReadPeriodParams("KDJ", 3, 15, 2).has_value());  // an incomplete pair
  EXPECT_FALSE(ReadPeriodParams("KDJ", 6, 1, 3).has_value());
  auto boll = ReadPeriodParams("BOLL", 3, 1, 2);
  ASSERT_TRUE(boll.has_value());
  EXPECT_TRUE((*boll)[0].isText);
  EXPECT_EQ((*boll)[0].text, "abc");
  EXPECT_EQ((*boll)[1].number, 3.5);
  EXPECT_EQ(PeriodParamKey(3, 15), "3_15");
}

TEST(IndicatorParams, ParamsForAPeriod) {
  test::ScopedHome home;
  InstallShippedFiles(home);
  formula::CFormulaEngine engine;
  FormulaManager manager(&engine);
  manager.Load();
  EXPECT_EQ(manager.ParamsFor("KDJ", 5, 1), (std::vector<double>{9, 3, 3}));
  ASSERT_TRUE(manager.SaveParams("KDJ", {14, 4, 5}));
  EXPECT_NE(test::ReadFile(home.Native(kParameterFile)).find("param=14#4#5"), std::string::npos);
  EXPECT_EQ(manager.ParamsFor("KDJ", 5, 1), (std::vector<double>{14, 4, 5}));
  test::WriteFile(home.Native(kPeriodParamFile), "[KDJ]\r\n3_5=0,20,0,6,0,7\r\n3_1=0,20\r\n3_15=0,1000,0,3,0,3\r\n");
  EXPECT_EQ(manager.ParamsFor("KDJ", 3, 5), (std::vector<double>{20, 6, 7}));
  EXPECT_EQ(manager.ParamsFor("KDJ", 3, 1), (std::vector<double>{14, 4, 5}));  // malformed entry ignored
  EXPECT_EQ(manager.ParamsFor("KDJ", 3, 15), (std::vector<double>{100, 3, 3}));  // kept within range
  // A parameter.ini entry of the wrong length is not used.
  ASSERT_TRUE(manager.SaveParams("KDJ", {30}));
  EXPECT_EQ(manager.ParamsFor("KDJ", 5, 1), (std::vector<double>{9, 3, 3}));
}

TEST(PeriodNames, AsTheMenusShowThem) {
  EXPECT_EQ(PeriodName(0, 1), TXT("分时"));
  EXPECT_EQ(PeriodName(1, 1), TXT("分笔"));
  EXPECT_EQ(PeriodName(2, 15), TXT("15秒"));
  EXPECT_EQ(PeriodName(3, 5), TXT("5分钟"));
  EXPECT_EQ(PeriodName(4, 1), "");
  EXPECT_EQ(PeriodName(5, 1), TXT("日线"));
  EXPECT_EQ(PeriodName(5, 5), TXT("5日线"));
  EXPECT_EQ(PeriodName(6, 1), TXT("周线"));
  EXPECT_EQ(PeriodName(7, 1), TXT("月线"));
  EXPECT_EQ(PeriodName(7, 3), TXT("季线"));
  EXPECT_EQ(PeriodName(7, 6), TXT("6月线"));
  EXPECT_EQ(PeriodName(8, 1), TXT("年线"));
  EXPECT_EQ(PeriodName(9, 1), "");
}

}  // namespace
}  // namespace tarn
