// The language: statements, names, operators, parameters, styles, drawing functions and
// compile errors.
#include <gtest/gtest.h>

#include <random>

#include "libs/formula/formula_test_util.h"
#include "platform/text.h"

namespace tarn::formula::test {
namespace {

TEST(Language, StatementsOutputsAndVariables) {
  auto bars = BarsFromClose({1, 2, 3, 4});
  CompileResult r = Compile("A:=C*2; OUT1:A+1; A-1; {a comment} X : = 3 ;// trailing\nLAST:X");
  // "X : = 3" is not ":=": a colon then "=" fails; the error says what was expected.
  EXPECT_FALSE(r.ok());
  r = Compile("A:=C*2; OUT1:A+1; A-1; {a comment}\n// a line comment\nlast:out1*10");
  ASSERT_TRUE(r.ok()) << r.error.message;
  ASSERT_EQ(r.program->Outputs().size(), 3u);
  EXPECT_EQ(r.program->Outputs()[0].name, "OUT1");
  EXPECT_EQ(r.program->Outputs()[1].name, "");
  EXPECT_EQ(r.program->Outputs()[2].name, "last");  // shown as written, found without case
  Evaluation e(r.program);
  e.Compute(bars.data(), bars.size());
  EXPECT_TRUE(SeriesNear({e.GetOutput(0).values.begin(), e.GetOutput(0).values.end()}, {3, 5, 7, 9}));
  EXPECT_TRUE(SeriesNear({e.GetOutput(1).values.begin(), e.GetOutput(1).values.end()}, {1, 3, 5, 7}));
  EXPECT_TRUE(SeriesNear({e.GetOutput(2).values.begin(), e.GetOutput(2).values.end()}, {30, 50, 70, 90}));
  // A constant output is a horizontal line.
  EXPECT_TRUE(SeriesNear(RunFormula("50;", bars), {50, 50, 50, 50}));
  // GBK names.
  EXPECT_TRUE(SeriesNear(RunFormula(TXT("均价:=C/2; 结果:均价+1;"), bars), {1.5, 2, 2.5, 3}));
}

TEST(Language, SeriesNames) {
  auto bars = BarsFromClose({10, 20}, {9, 19}, {11, 21}, {8, 18});
  EXPECT_TRUE(SeriesNear(RunFormula("OPEN+O;", bars), {18, 38}));
  EXPECT_TRUE(SeriesNear(RunFormula("HIGH+H;", bars), {22, 42}));
  EXPECT_TRUE(SeriesNear(RunFormula("LOW+L;", bars), {16, 36}));
  EXPECT_TRUE(SeriesNear(RunFormula("CLOSE+c;", bars), {20, 40}));
  EXPECT_TRUE(SeriesNear(RunFormula("VOL+V;", bars), {200, 202}));
  EXPECT_TRUE(SeriesNear(RunFormula("OPI;", bars), {5000, 5002}));
  EXPECT_TRUE(SeriesNear(RunFormula("AMOUNT;", bars), {1000.5, 2001}));
}

TEST(Language, OperatorsAndPrecedence) {
  auto bars = BarsFromClose({1, 2, 3});
  EXPECT_TRUE(SeriesNear(RunFormula("1+2*3;", bars), {7, 7, 7}));
  EXPECT_TRUE(SeriesNear(RunFormula("(1+2)*3;", bars), {9, 9, 9}));
  EXPECT_TRUE(SeriesNear(RunFormula("10-4-3;", bars), {3, 3, 3}));
  EXPECT_TRUE(SeriesNear(RunFormula("12/3/2;", bars), {2, 2, 2}));
  EXPECT_TRUE(SeriesNear(RunFormula("-C+5;", bars), {4, 3, 2}));
  EXPECT_TRUE(SeriesNear(RunFormula("2>1+2;", bars), {0, 0, 0}));
  EXPECT_TRUE(SeriesNear(RunFormula("C>1 AND C<3;", bars), {0, 1, 0}));
  EXPECT_TRUE(SeriesNear(RunFormula("C>1 && C<3;", bars), {0, 1, 0}));
  EXPECT_TRUE(SeriesNear(RunFormula("C=1 OR C=3;", bars), {1, 0, 1}));
  EXPECT_TRUE(SeriesNear(RunFormula("C==1 || C==3;", bars), {1, 0, 1}));
  EXPECT_TRUE(SeriesNear(RunFormula("C=1 OR C=3 AND C>5;", bars), {1, 0, 0}));  // AND binds tighter
  EXPECT_TRUE(SeriesNear(RunFormula("NOT(C>1);", bars), {1, 0, 0}));
  EXPECT_TRUE(SeriesNear(RunFormula("C<>2;", bars), {1, 0, 1}));
  EXPECT_TRUE(SeriesNear(RunFormula("C!=2;", bars), {1, 0, 1}));
  EXPECT_TRUE(SeriesNear(RunFormula("(C>=2)+(C<=2)*10;", bars), {10, 11, 1}));
  EXPECT_TRUE(SeriesNear(RunFormula(".5+1.25;", bars), {1.75, 1.75, 1.75}));
  // An invalid operand makes comparisons and logic invalid too.
  EXPECT_TRUE(SeriesNear(RunFormula("REF(C,1)>0 OR 1;", bars), {N_A, 1, 1}));
}

TEST(Language, Parameters) {
  auto bars = BarsFromClose({1, 2, 3, 4, 5});
  std::vector<ParamDef> params = {{"N", 2, 1, 100}, {"K", 10, 0, 100}};
  EXPECT_TRUE(SeriesNear(RunFormula("MA(C,N)*K;", bars, 0, params), {N_A, 15, 25, 35, 45}));
  EXPECT_TRUE(SeriesNear(RunFormula("MA(C,N)*K;", bars, 0, params, {3, 1}), {N_A, N_A, 2, 3, 4}));
  // A parameter expression is computed once, then used as the period.
  EXPECT_TRUE(SeriesNear(RunFormula("MA(C,N*2-1);", bars, 0, params), {N_A, N_A, 2, 3, 4}));
  // Parameters are found without regard to case; a variable of the same name hides one.
  EXPECT_TRUE(SeriesNear(RunFormula("n+k;", bars, 0, params), {12, 12, 12, 12, 12}));
  EXPECT_TRUE(SeriesNear(RunFormula("K:=1; K+N;", bars, 0, params), {3, 3, 3, 3, 3}));
  // Changing the parameters of an evaluation computes again.
  CompileResult r = Compile("SUM(C,N);", params);
  ASSERT_TRUE(r.ok());
  Evaluation e(r.program);
  e.Compute(bars.data(), bars.size());
  EXPECT_EQ(e.GetOutput(0).values[4], 9);
  double three[] = {3};
  e.SetParams(three);
  e.Update(bars.data(), bars.size(), bars.size() - 1);
  EXPECT_EQ(e.GetOutput(0).values[4], 12);
  EXPECT_EQ(e.Params()[1], 10);  // a missing value takes the default
}

TEST(Language, StylesTravelWithTheirLines) {
  CompileResult r = Compile(
      "A:C,COLOR0000FF,LINETHICK3,DOTLINE; B:C,COLORRED,STICK; C1:C,COLORSTICK,COLORGREEN; D:V,VOLSTICK;"
      "E:C,CIRCLEDOT; F:C,POINTDOT,NODRAW; G:C,LINESTICK,DASHLINE,LINETHICK9; H1:C,CROSSDOT,colorff8000;"
      "I:C,COLORLIGRAY,LINETHICK0; J:C;");
  ASSERT_TRUE(r.ok()) << r.error.message;
  const auto& o = r.program->Outputs();
  ASSERT_EQ(o.size(), 10u);
  EXPECT_TRUE(o[0].style.hasColor);
  EXPECT_EQ(o[0].style.color, 0x0000FFu);  // COLORBBGGRR is the COLORREF as written: red
  EXPECT_EQ(o[0].style.thickness, 3);
  EXPECT_EQ(o[0].style.dash, LineDash::Dot);
  EXPECT_EQ(o[1].style.color, Rgb(255, 0, 0));
  EXPECT_EQ(o[1].style.kind, DrawKind::Stick);
  EXPECT_EQ(o[2].style.kind, DrawKind::ColorStick);
  EXPECT_EQ(o[2].style.color, Rgb(0, 255, 0));
  EXPECT_EQ(o[3].style.kind, DrawKind::VolStick);
  EXPECT_EQ(o[4].style.kind, DrawKind::CircleDot);
  EXPECT_EQ(o[5].style.kind, DrawKind::PointDot);
  EXPECT_TRUE(o[5].style.noDraw);
  EXPECT_EQ(o[6].style.kind, DrawKind::LineStick);
  EXPECT_EQ(o[6].style.dash, LineDash::Dash);
  EXPECT_EQ(o[6].style.thickness, 9);
  EXPECT_EQ(o[7].style.kind, DrawKind::CrossDot);
  EXPECT_EQ(o[7].style.color, Rgb(0x00, 0x80, 0xFF));
  EXPECT_EQ(o[8].style.color, Rgb(192, 192, 192));
  EXPECT_EQ(o[8].style.thickness, 0);
  EXPECT_FALSE(o[9].style.hasColor);
  EXPECT_EQ(o[9].style.kind, DrawKind::Line);
  EXPECT_EQ(o[9].style.thickness, 1);
}

TEST(Language, DrawingFunctions) {
  auto bars = BarsFromClose({10, 12, 11}, {11, 10, 12});
  CompileResult r = Compile(TXT(
      "DRAWTEXT(C>O,L,'阳'),COLORRED; S:STICKLINE(C>O,O,C,3,1); DRAWICON(C<O,H,2); "
      "PARTLINE(C,C>O,COLORRED,C<O,COLORGREEN); PARTLINE(C,C>11);"));
  ASSERT_TRUE(r.ok()) << r.error.message;
  Evaluation e(r.program);
  e.Compute(bars.data(), bars.size());
  Output text = e.GetOutput(0);
  EXPECT_EQ(text.info->style.kind, DrawKind::Text);
  EXPECT_EQ(text.info->text, TXT("阳"));
  EXPECT_EQ(text.info->style.color, Rgb(255, 0, 0));
  EXPECT_TRUE(SeriesNear({text.values.begin(), text.values.end()}, {N_A, 10, N_A}));
  Output stick = e.GetOutput(1);
  EXPECT_EQ(stick.info->name, "S");
  EXPECT_EQ(stick.info->style.kind, DrawKind::StickLine);
  EXPECT_TRUE(SeriesNear({stick.values.begin(), stick.values.end()}, {N_A, 10, N_A}));
  EXPECT_TRUE(SeriesNear({stick.second.begin(), stick.second.end()}, {N_A, 12, N_A}));
  EXPECT_EQ(stick.width, 3);
  EXPECT_EQ(stick.empty, 1);
  Output icon = e.GetOutput(2);
  EXPECT_EQ(icon.info->style.kind, DrawKind::Icon);
  EXPECT_EQ(icon.icon, 2);
  EXPECT_TRUE(SeriesNear({icon.values.begin(), icon.values.end()}, {11, N_A, 12}));
  Output part = e.GetOutput(3);
  EXPECT_EQ(part.info->style.kind, DrawKind::PartLine);
  EXPECT_TRUE(SeriesNear({part.values.begin(), part.values.end()}, {10, 12, 11}));
  EXPECT_TRUE(SeriesNear({part.colors.begin(), part.colors.end()},
                         {double(Rgb(0, 255, 0)), double(Rgb(255, 0, 0)), double(Rgb(0, 255, 0))}));
  Output own = e.GetOutput(4);
  EXPECT_TRUE(SeriesNear({own.values.begin(), own.values.end()}, {N_A, 12, N_A}));
  EXPECT_TRUE(SeriesNear({own.colors.begin(), own.colors.end()}, {N_A, -1, N_A}));
}

// A series as the width, empty flag or icon number is read at the last bar, also when the
// same series feeds a moving average that would otherwise read the bars without keeping them.
TEST(Language, DrawingArgumentsGivenAsSeries) {
  auto bars = BarsFromClose({10, 12, 11}, {11, 10, 12});
  CompileResult r = Compile("M:MA(O,2); STICKLINE(C>O,O,C,O,C>10); DRAWICON(C<O,H,C);");
  ASSERT_TRUE(r.ok()) << r.error.message;
  Evaluation e(r.program);
  e.Compute(bars.data(), bars.size());
  Output stick = e.GetOutput(1);
  EXPECT_EQ(stick.width, 12);
  EXPECT_EQ(stick.empty, 1);
  EXPECT_EQ(e.GetOutput(2).icon, 11);
  e.Update(bars.data(), bars.size(), bars.size() - 1);
  EXPECT_EQ(e.GetOutput(1).width, 12);
}

struct BadFormula {
  const char* text;
  int line;
  int column;
  const char* expected;  // UTF-8; empty: no particular token
};

TEST(Language, CompileErrorsSayWhereAndWhat) {
  const BadFormula cases[] = {
      {"MA(C,5", 1, 7, "')'"},
      {"A:=;", 1, 4, "表达式"},
      {"X:C+", 1, 5, "表达式"},
      {"A:C B:C;", 1, 5, "';'"},
      {"FOO(C);", 1, 1, ""},
      {"MA(C);", 1, 1, ""},
      {"C,COLORXYZ;", 1, 3, "线型或颜色"},
      {"C,5;", 1, 3, "线型或颜色"},
      {"{never closed", 1, 1, ""},
      {"DRAWTEXT(C>O,L,C);", 1, 16, "字符串"},
      {"A:=DRAWTEXT(C>O,L,'x');", 1, 4, ""},
      {"1+DRAWICON(C>O,L,1);", 1, 3, ""},
      {"A:=C;", 1, 6, "输出线"},
      {"", 1, 1, "输出线"},
      {"C#;", 1, 2, ""},
      {"MA;", 1, 3, "'('"},
      {"UNKNOWN+1;", 1, 1, ""},
      {"SAR(C,2,20);", 1, 1, ""},
      {"甲:=C;\n乙:甲+;", 2, 5, "表达式"},
  };
  for (const BadFormula& b : cases) {
    std::string text = Utf8ToGbk(b.text);
    CompileResult r = Compile(text);
    EXPECT_FALSE(r.ok()) << b.text;
    EXPECT_EQ(r.error.line, b.line) << b.text << ": " << GbkToUtf8(r.error.message);
    EXPECT_EQ(r.error.column, b.column) << b.text << ": " << GbkToUtf8(r.error.message);
    if (*b.expected) {
      EXPECT_EQ(GbkToUtf8(r.error.expected), b.expected) << b.text;
    }
    // One message that starts with the position.
    EXPECT_EQ(GbkToUtf8(r.error.message).rfind(Format("第%d行第%d列", b.line, b.column), 0), 0u)
        << GbkToUtf8(r.error.message);
  }
}

TEST(Language, NoTextCrashesOrExhaustsTheStack) {
  // Nesting far deeper than any formula is refused with a message.
  std::string deep(100000, '(');
  CompileResult r = Compile(deep + "1" + std::string(100000, ')') + ";");
  EXPECT_FALSE(r.ok());
  r = Compile(std::string(100000, '-') + "1;");
  EXPECT_FALSE(r.ok());
  r = Compile(std::string(50000, 'N') + "OT 1;");
  EXPECT_FALSE(r.ok());
  // Random texts from the language's own alphabet compile or fail, and evaluate when they do.
  const char* pieces[] = {"MA(", "C", ",", "5", ")", ";", ":", ":=", "A", "+", "-", "*", "/", "(", "IF(", "REF(",
                          "HHV(", "ZIG(", "SAR(", "DRAWTEXT(", "'t'", "COLORRED", "STICK", "AND", "NOT", ">", "=",
                          "{", "}", "0", "1e9", "-1", "\n", "\xB0\xA1", "\xFF", "BACKSET(", "CONST(", "PARTLINE("};
  std::mt19937 rng(11);
  auto bars = RandomBars(64, 5);
  int compiled = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string text;
    int n = 1 + static_cast<int>(rng() % 24);
    for (int k = 0; k < n; ++k) text += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    CompileResult c = Compile(text);
    if (c.ok()) {
      ++compiled;
      Evaluation e(c.program);
      e.Compute(bars.data(), bars.size());
      e.Update(bars.data(), bars.size(), bars.size() - 1);
    } else {
      EXPECT_FALSE(c.error.message.empty());
      EXPECT_LE(c.error.offset, text.size());
    }
  }
  EXPECT_GT(compiled, 0);
}

TEST(Language, EqualSubexpressionsAreComputedOnce) {
  CompileResult once = Compile("MA(C,5);");
  CompileResult twice = Compile("A:MA(C,5); B:MA(C,5)+MA(C,5); D:=C; E:MA(D,5);");
  ASSERT_TRUE(once.ok() && twice.ok());
  // Load and MA of the first; the second adds only the sum.
  EXPECT_EQ(once.program->InstructionCount(), 2u);
  EXPECT_EQ(twice.program->InstructionCount(), 3u);
  // A quotient scaled in the same pass keeps the plain quotient for its other users.
  auto bars = BarsFromClose({4, 9}, {2, 3});
  EXPECT_TRUE(SeriesNear(RunFormula("X:=C/O; A:X*100; B:X;", bars, 1), {2, 3}));
  EXPECT_TRUE(SeriesNear(RunFormula("X:=C/O; A:X*100; B:X;", bars, 0), {200, 300}));
  EXPECT_TRUE(SeriesNear(RunFormula("A:C/O*100; B:C/O; D:100*(C/O)+C/O*100;", bars, 1), {2, 3}));
  EXPECT_TRUE(SeriesNear(RunFormula("A:C/O*100; B:C/O; D:100*(C/O)+C/O*100;", bars, 2), {400, 600}));
  EXPECT_TRUE(SeriesNear(RunFormula("C/(O-O)*100;", bars), {N_A, N_A}));
}

}  // namespace
}  // namespace tarn::formula::test
