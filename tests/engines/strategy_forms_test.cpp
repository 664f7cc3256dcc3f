// The strategy file, the definition dialog's checks, the strategy list, the order panel's and
// the grid batch's requests, and the strategy order grid's rows.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_fakes.h"
#include "engines/combol_quote.h"
#include "engines/strategy_file.h"
#include "engines/strategy_forms.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "support/test_support.h"

namespace tarn::test {
namespace {

class StrategyFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quotes.AddCommodity(1, 1, "rb", TXT("螺纹"), 1, 0);
    quotes.AddCommodity(2, 1, "hc", TXT("热卷"), 1, 0);
    rb = quotes.AddContract("SHFE|rb2605", 1, TXT("螺纹2605"));
    hc = quotes.AddContract("SHFE|hc2605", 2, TXT("热卷2605"));
  }
  StrategyDefinitionInput Definition() {
    StrategyDefinitionInput in;
    in.legs[0].contract = rb;
    in.legs[1].contract = hc;
    in.legs[1].side = 1;
    in.formula = " a-b ";
    in.name = TXT("螺卷差");
    return in;
  }
  CombolStrategy Defined(StrategyDefinitionInput in) {
    CombolStrategy s{};
    const auto message = CheckDefinition(in, &s);
    EXPECT_FALSE(message) << GbkToUtf8(*message);
    return s;
  }

  ScopedHome home;
  EngineQuoteCenter quotes;
  DC_Contract rb, hc;
};

TEST_F(StrategyFormsTest, DefinitionChecksRunInOrderWithTheirMessages) {
  const CombolStrategy s = Defined(Definition());
  EXPECT_EQ(s.Formula(), "A-B");  // trimmed and upper-cased
  EXPECT_EQ(s.legs[1].direction, 2);
  EXPECT_EQ(s.type, 1);
  EXPECT_EQ(s.decimals, 3);

  auto fails = [](StrategyDefinitionInput in) {
    const auto m = CheckDefinition(in, nullptr);
    return m ? *m : std::string("ok");
  };
  StrategyDefinitionInput in = Definition();
  in.legs[1].lots = "-1";
  in.legs[2].contract = rb;  // a gap follows, but the lots come first
  EXPECT_EQ(fails(in), TXT("B:手数不能为负"));
  in = Definition();
  in.legs[1].contract = DC_Contract{};
  EXPECT_EQ(fails(in), TXT("请至少选择2个合约"));
  in.legs[2].contract = hc;  // A and C, B empty
  in.legs[2].side = 1;
  EXPECT_EQ(fails(in), TXT("请按ABCD顺序填写，不能有间隔"));
  in = Definition();
  in.legs[1].side = 0;
  EXPECT_EQ(fails(in), TXT("合约的买卖方向不能相同"));
  in = Definition();
  in.formula = std::string(101, '1');
  EXPECT_EQ(fails(in), TXT("公式不能超过100个字符"));
  in.formula = "   ";
  EXPECT_EQ(fails(in), TXT("请输入公式"));
  in.formula = "A-C";
  EXPECT_EQ(fails(in), TXT("公式引用的合约C未设置"));
  in = Definition();
  in.total = "0";
  EXPECT_EQ(fails(in), TXT("数量必须大于0"));
  in.total = "2";
  in.perTrigger = "0";
  EXPECT_EQ(fails(in), TXT("单次触发数量必须大于0"));
  in.perTrigger = "3";
  EXPECT_EQ(fails(in), TXT("单次触发数量不能大于总数量"));
  in = Definition();
  in.name = std::string(101, 'n');
  EXPECT_EQ(fails(in), TXT("名称不能超过100个字符"));
  in.name = "";
  EXPECT_EQ(fails(in), "ok");
  // Editing shows what was defined.
  const StrategyDefinitionInput back = DefinitionInputFor(s);
  EXPECT_EQ(back.formula, "A-B");
  EXPECT_EQ(back.legs[1].side, 1);
  EXPECT_TRUE(DefinitionInputFor(CombolStrategy{}).formula.empty());
}

TEST_F(StrategyFormsTest, TheListRefusesASecondStrategyOfTheSameLegsOnAddNotOnModifyAndKeepsItsFile) {
  StrategyList list;
  list.Load();
  EXPECT_TRUE(list.All().empty());
  CombolStrategy s = Defined(Definition());
  EXPECT_FALSE(list.Add(s));
  StrategyDefinitionInput other = Definition();
  other.formula = "A-B*2";
  const CombolStrategy s2 = Defined(other);
  EXPECT_EQ(list.Add(s2), TXT("该合约组合已经存在,不能重复添加"));
  EXPECT_FALSE(list.Replace(0, s2));  // its own key: accepted
  EXPECT_EQ(list.All()[0].Formula(), "A-B*2");
  StrategyList again;
  again.Load();
  ASSERT_EQ(again.All().size(), 1u);
  EXPECT_EQ(again.All()[0].Formula(), "A-B*2");
  EXPECT_EQ(again.All()[0].legs[1].contract.Key(), hc.Key());
  EXPECT_EQ(StrategyListRowFor(again.All()[0]).legs,
            Format(TXT("A:%s-%s(买1)    B:%s-%s(卖1)    "), std::string(rb.Code()), std::string(rb.Name()), std::string(hc.Code()), std::string(hc.Name())));
  EXPECT_TRUE(again.Remove(0));
  EXPECT_FALSE(again.Remove(0));
  StrategyList empty;
  empty.Load();
  EXPECT_TRUE(empty.All().empty());
}

TEST_F(StrategyFormsTest, AModifyMayNotTakeAnotherStrategysLegs) {
  StrategyList list;
  list.Load();
  const CombolStrategy first = Defined(Definition());
  StrategyDefinitionInput in = Definition();
  in.legs[0].lots = "2";  // another key
  const CombolStrategy second = Defined(in);
  ASSERT_FALSE(list.Add(first));
  ASSERT_FALSE(list.Add(second));
  // The second strategy edited into the first one's legs, sides and lots: refused, both kept.
  CombolStrategy clash = first;
  SetField(clash.name, "clash");
  EXPECT_EQ(list.Replace(1, clash), TXT("该合约组合已经存在,不能重复添加"));
  ASSERT_EQ(list.All().size(), 2u);
  EXPECT_EQ(MakeCombolKey(list.All()[1]), MakeCombolKey(second));
  StrategyList again;
  again.Load();
  ASSERT_EQ(again.All().size(), 2u);
  EXPECT_EQ(MakeCombolKey(again.All()[1]), MakeCombolKey(second));
  EXPECT_EQ(list.Replace(2, first), TXT("请选择一个策略"));
}

TEST_F(StrategyFormsTest, APanelWithoutAStrategyRefusesToSend) {
  StrategySendInput empty;
  empty.triggerPrice = "10";
  empty.total = "1";
  empty.perTrigger = "1";
  EXPECT_EQ(CheckStrategySend(empty, nullptr), TXT("请选择一个策略"));
  GridSendInput grid;
  grid.direction = 0;
  grid.count = "3";
  grid.step = "1";
  std::vector<StrategyOrderRequest> out;
  EXPECT_EQ(CheckGridSend(empty, grid, &out), TXT("请选择一个策略"));
  EXPECT_TRUE(out.empty());
  empty.strategy = Defined(Definition());
  EXPECT_FALSE(CheckStrategySend(empty, nullptr));
}

TEST_F(StrategyFormsTest, OlderVersionsDamagedAndGarbageFilesKeepWhatTheyCan) {
  // Version 1: no total and no type.
  ArchiveWriter w;
  w.Int32(1);
  w.Int32(2);
  for (int i = 0; i < 2; ++i) {
    w.Int32(2);
    w.String("A-B");
    w.String(i == 0 ? "old" : "gone");
    w.Int32(4);
    w.String(rb.Key());
    w.Int32(1);
    w.Int32(1);
    w.Byte(1);
    w.Int32(1);
    w.String(i == 0 ? hc.Key() : std::string_view("SHFE|zz9999"));  // the second names a contract gone
    w.Int32(0);
    w.Int32(2);
    w.Byte(0);
    w.Int32(2);
    for (int k = 0; k < 2; ++k) {
      w.String("");
      w.Int32(0);
      w.Int32(0);
      w.Byte(0);
      w.Int32(0);
    }
  }
  const std::string v1 = w.Take();
  ASSERT_TRUE(WriteFileAtomic(Path("\\user\\cmbolfml.dat"), v1));
  std::vector<CombolStrategy> list = LoadStrategyFile();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].totalQuantity, 4);
  EXPECT_EQ(list[0].triggerQuantity, 4);
  EXPECT_EQ(list[0].type, 1);
  EXPECT_TRUE(list[0].legs[0].chase);
  EXPECT_EQ(list[0].legs[0].spreadTicks, 1);
  EXPECT_EQ(list[0].legs[1].lots, 2);
  EXPECT_EQ(list[0].legs[0].offset, 0);

  // Written back as version 3, then cut anywhere: what was read whole stays, nothing breaks.
  const std::string v3 = SerializeStrategyFile({list[0], list[0]});
  ASSERT_EQ(ParseStrategyFile(v3).records.size(), 2u);
  EXPECT_TRUE(ParseStrategyFile(v3).complete);
  for (std::size_t cut = 0; cut < v3.size(); ++cut) {
    const StrategyFileContents c = ParseStrategyFile(std::string_view(v3).substr(0, cut));
    EXPECT_FALSE(c.complete);
    EXPECT_LE(c.records.size(), 1u);
    EXPECT_EQ(c.records.size(), cut >= v3.size() / 2 + 4 ? 1u : 0u) << cut;
  }
  // A count of billions over a few bytes reserves nothing it cannot read.
  ArchiveWriter g;
  g.Int32(3);
  g.Int32(0x7FFFFFFF);
  g.Raw("\x05\xFF\xFF\xFF", 4);
  EXPECT_TRUE(ParseStrategyFile(g.Data()).records.empty());
  ASSERT_TRUE(WriteFileAtomic(Path("\\user\\cmbolfml.dat"), std::string(4096, '\xA5')));
  EXPECT_TRUE(LoadStrategyFile().empty());
  // A formula too long for its field drops the strategy; a long name is cut.
  StrategyFileContents file = ParseStrategyFile(v3);
  file.records[0].formula = std::string(101, '1');
  file.records[1].name = std::string(99, 'n') + TXT("中");
  const auto resolved = ResolveStrategies(file, [&](const std::string& key, DC_Contract& c) {
    return quotes.FindContract(&c, key.c_str()) > 0;
  });
  ASSERT_EQ(resolved.size(), 1u);
  EXPECT_EQ(resolved[0].Name(), std::string(99, 'n'));
}

TEST_F(StrategyFormsTest, SendChecksAndTheRequestsOfAGrid) {
  CombolStrategy s = Defined(Definition());
  s.totalQuantity = 4;
  s.triggerQuantity = 2;
  StrategySendInput in = SendInputFromQuote(s, false, 12.3456);
  EXPECT_EQ(in.tab, 1);
  EXPECT_EQ(in.triggerPrice, "12.346");
  EXPECT_EQ(in.total, "4");
  EXPECT_TRUE(SendInputFromQuote(s, true, kCombolNoValue).triggerPrice.empty());
  const auto rows = SendLegRows(in);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].contract, Format(TXT("A:%s-%s 卖"), std::string(rb.Code()), std::string(rb.Name())));  // swapped on the reverse tab
  EXPECT_EQ(rows[1].offset, TXT("自动"));
  EXPECT_EQ(NextLegOffset(NextLegOffset(NextLegOffset(0))), 0);

  StrategyOrderRequest r{};
  ASSERT_FALSE(CheckStrategySend(in, &r));
  EXPECT_EQ(r.strategy.orderSide, 2);
  EXPECT_EQ(r.strategy.legs[0].direction, 1);  // the record keeps the definition's sides
  EXPECT_DOUBLE_EQ(r.triggerPrice, 12.346);
  EXPECT_EQ(r.triggerCondition, 1);
  EXPECT_EQ(r.loopCondition, 0);

  auto fails = [](const StrategySendInput& i) {
    const auto m = CheckStrategySend(i, nullptr);
    return m ? *m : std::string("ok");
  };
  StrategySendInput bad = in;
  bad.triggerPrice = " ";
  EXPECT_EQ(fails(bad), TXT("请填写价格"));
  bad = in;
  bad.loop = true;
  bad.loopPrice = "";
  EXPECT_EQ(fails(bad), TXT("请填写循环价格"));
  bad = in;
  bad.total = "0";
  EXPECT_EQ(fails(bad), TXT("数量错误"));
  bad.total = "4";
  bad.perTrigger = "-1";
  EXPECT_EQ(fails(bad), TXT("单次触发数量错误"));
  bad.perTrigger = "5";
  EXPECT_EQ(fails(bad), TXT("单次触发数量必须小于总数量"));
  bad = in;
  bad.loop = true;
  bad.condition = 0;  // >=
  bad.loopCondition = 2;  // >
  EXPECT_EQ(fails(bad), TXT("循环单条件不能同为大于或小于"));
  bad.loopCondition = 3;  // <
  EXPECT_EQ(fails(bad), "ok");

  GridSendInput grid;
  std::vector<StrategyOrderRequest> out;
  EXPECT_EQ(CheckGridSend(in, grid, &out), TXT("请选择网格方向"));
  grid.direction = 1;
  grid.count = "0";
  EXPECT_EQ(CheckGridSend(in, grid, &out), TXT("数量不能小于1"));
  grid.count = "101";
  EXPECT_EQ(CheckGridSend(in, grid, &out), TXT("数量不能大于100"));
  grid.count = "3";
  grid.step = "0";
  EXPECT_EQ(CheckGridSend(in, grid, &out), TXT("步长无效"));
  grid.step = "2";
  in.triggerPrice = "10";
  in.loop = true;
  in.loopPrice = "20";
  in.loopCondition = 2;  // ">" against "<=" below
  in.condition = 1;
  ASSERT_FALSE(CheckGridSend(in, grid, &out));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_DOUBLE_EQ(out[0].triggerPrice, 10);
  EXPECT_DOUBLE_EQ(out[1].triggerPrice, 8);
  EXPECT_DOUBLE_EQ(out[2].triggerPrice, 6);
  EXPECT_DOUBLE_EQ(out[2].loopPrice, 16);
  in.triggerPrice = "";
  EXPECT_EQ(CheckGridSend(in, grid, &out), TXT("请填写价格"));
}

TEST_F(StrategyFormsTest, TheOrderGridShowsStateProgressLegsAndCondition) {
  CombolStrategy s = Defined(Definition());
  s.totalQuantity = 4;
  std::vector<StrategyOrderRecord> records(4);
  const char states[] = {'1', '2', '3', '4'};
  for (int i = 0; i < 4; ++i) {
    records[i] = StrategyOrderRecord{};
    records[i].request.strategy = s;
    records[i].request.strategy.orderSide = 2;
    records[i].request.triggerPrice = 12.5;
    records[i].request.triggerCondition = 2;
    records[i].state = states[i];
    records[i].unitsDone = i;
    SetField(records[i].key, Format("20251208-S%06d", i + 1));
  }
  const auto rows = StrategyOrderRowsFor(records);
  ASSERT_EQ(rows.size(), 3u);  // '2' is not shown
  EXPECT_TRUE(rows[0].running);
  EXPECT_EQ(rows[0].sequence, 1);
  EXPECT_EQ(rows[1].state, TXT("出错"));
  EXPECT_EQ(rows[2].state, TXT("已完成"));
  EXPECT_EQ(rows[2].progress, "3/4");
  EXPECT_EQ(rows[0].condition, "A-B<=12.500");
  ASSERT_EQ(rows[0].legs.size(), 2u);
  EXPECT_EQ(rows[0].legs[0], Format(TXT("卖 %s-%s 1手,d:0"), std::string(rb.Code()), std::string(rb.Name())));
  EXPECT_EQ(StrategyStateText('7'), TXT("已停止"));
  EXPECT_EQ(CombolGridColumns().size(), 26u);
}

}  // namespace
}  // namespace tarn::test
