// The spread formula (messages and positions, evaluation order) and the strategy calculators
// with their registry.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <thread>

#include "engine_fakes.h"
#include "engines/combol_formula.h"
#include "engines/combol_quote.h"

namespace {

using namespace tarn::test;

std::string ParseError(std::string_view text, int usedLegs = 4) {
  bool used[4] = {usedLegs > 0, usedLegs > 1, usedLegs > 2, usedLegs > 3};
  tarn::CombolFormula f;
  std::string message;
  if (f.Parse(text, used, &message)) return "ok";
  EXPECT_FALSE(f.Valid());
  return message;
}

double Eval(std::string_view text, double a, double b = 0, double c = 0, double d = 0) {
  bool used[4] = {true, true, true, true};
  tarn::CombolFormula f;
  std::string message;
  EXPECT_TRUE(f.Parse(text, used, &message)) << text << ": " << tarn::GbkToUtf8(message);
  const double legs[4] = {a, b, c, d};
  return f.Evaluate(legs);
}

std::string At(int pos, char c) { return tarn::Format(TXT("解析错误:位置%d 字符:%c"), pos, c); }

TEST(CombolFormula, ErrorMessagesAndPositions) {
  EXPECT_EQ(ParseError(""), TXT("解析错误"));
  EXPECT_EQ(ParseError("A+"), TXT("解析错误"));
  EXPECT_EQ(ParseError("()"), TXT("解析错误"));
  EXPECT_EQ(ParseError("A B"), TXT("不合法的字符: \r\n必须是以下字符:A B C D 数字 + - * /"));
  EXPECT_EQ(ParseError("a-b"), TXT("不合法的字符:a\r\n必须是以下字符:A B C D 数字 + - * /"));
  // The character check runs over the whole text first.
  EXPECT_EQ(ParseError("(A+B x"), TXT("不合法的字符: \r\n必须是以下字符:A B C D 数字 + - * /"));
  EXPECT_EQ(ParseError("(A+B"), TXT("括号不匹配:位置0"));
  EXPECT_EQ(ParseError("A*((B)"), TXT("括号不匹配:位置2"));
  EXPECT_EQ(ParseError("-A"), At(0, '-'));
  EXPECT_EQ(ParseError("A-(-B)"), At(3, '-'));
  EXPECT_EQ(ParseError("A-"), TXT("解析错误"));
  EXPECT_EQ(ParseError("A*-"), At(2, '-'));
  EXPECT_EQ(ParseError("(A)B"), At(0, '('));
  EXPECT_EQ(ParseError("A+(B))"), At(2, '('));
  EXPECT_EQ(ParseError(")A"), At(0, ')'));
  EXPECT_EQ(ParseError(".5"), At(0, '.'));
  EXPECT_EQ(ParseError("*A"), At(0, '*'));
  EXPECT_EQ(ParseError("1.2.3"), At(3, '.'));
  EXPECT_EQ(ParseError("2A"), At(1, 'A'));
  EXPECT_EQ(ParseError("2(A)"), At(1, '('));
  EXPECT_EQ(ParseError("AB"), At(0, 'A'));
  EXPECT_EQ(ParseError("A(B)"), At(0, 'A'));
  EXPECT_EQ(ParseError("C-A", 2), TXT("公式引用的合约C未设置"));
  EXPECT_EQ(ParseError("A-D", 3), TXT("公式引用的合约D未设置"));
  // A group's inside is read before what follows it.
  EXPECT_EQ(ParseError("(A+)*C", 2), TXT("解析错误"));
  EXPECT_EQ(ParseError("(A*.)*C", 2), At(3, '.'));
  // A GBK character is shown whole (a full-width minus typed by mistake).
  const std::string fullWidthMinus = TXT("A－B");
  EXPECT_EQ(ParseError(fullWidthMinus), TXT("不合法的字符:－\r\n必须是以下字符:A B C D 数字 + - * /"));
}

TEST(CombolFormula, EvaluationOrder) {
  EXPECT_DOUBLE_EQ(Eval("A-B", 100, 95), 5);
  EXPECT_DOUBLE_EQ(Eval("2*A-3*B/2", 10, 4), 2 * 10 - (3 * 4) / 2.0);
  EXPECT_DOUBLE_EQ(Eval("8/4/2", 0), 1);
  EXPECT_DOUBLE_EQ(Eval("10-4-3", 0), 3);
  EXPECT_DOUBLE_EQ(Eval("A--2", 5), 7);
  EXPECT_DOUBLE_EQ(Eval("A*-2", 5), -10);
  EXPECT_DOUBLE_EQ(Eval("(A+B)/2-C*3", 10, 20, 2), 9);
  EXPECT_DOUBLE_EQ(Eval("A/(B-C)*D", 12, 5, 2, 4), 16);
  EXPECT_DOUBLE_EQ(Eval("((A))", 3), 3);
  EXPECT_DOUBLE_EQ(Eval("1.5*2.", 0), 3);
  EXPECT_DOUBLE_EQ(Eval("A-(B-(C-D))", 1, 2, 3, 4), 1 - (2 - (3 - 4)));
  EXPECT_TRUE(std::isinf(Eval("A/B", 1, 0)));
  // The same formula evaluates again and again with new prices.
  bool used[4] = {true, true, false, false};
  tarn::CombolFormula f;
  ASSERT_TRUE(f.Parse("A*2+B", used, nullptr));
  EXPECT_TRUE(f.UsesLeg(0));
  EXPECT_FALSE(f.UsesLeg(2));
  for (int i = 0; i < 100; ++i) {
    const double legs[4] = {double(i), 1, 0, 0};
    EXPECT_DOUBLE_EQ(f.Evaluate(legs), 2.0 * i + 1);
  }
}

TEST(CombolFormula, DeepNestingAndLongTextsAreSafe) {
  const std::size_t n = 200000;
  EXPECT_DOUBLE_EQ(Eval(std::string(n, '(') + "A" + std::string(n, ')'), 4), 4);
  EXPECT_EQ(ParseError(std::string(n, '(') + "A"), TXT("括号不匹配:位置0"));
  std::string chain;
  for (int i = 0; i < 50000; ++i) chain += "A+(";
  chain += "B";
  chain += std::string(50000, ')');
  EXPECT_DOUBLE_EQ(Eval(chain, 1, 2), 50002);
  EXPECT_EQ(ParseError(std::string(5000, '9') + "+A"), "ok");
}

class CombolQuoteTest : public ::testing::Test, public ICombolQuoteListener {
 protected:
  CombolQuoteTest() {
    a = quotes.AddContract("SHFE|rb2601", 10);
    b = quotes.AddContract("SHFE|rb2605", 10);
    c = quotes.AddContract("SHFE|hc2601", 10);
  }
  void OnCombolQuote(double lead, const CombolStrategy& s, double last, double bid, double ask) override {
    calls.push_back({lead, last, bid, ask});
    names.emplace_back(s.Name());
  }
  void OnCombolForward(int value) override { forwarded.push_back(value); }

  CombolStrategy Strategy(const char* formula) {
    CombolStrategy s{};
    s.legs[0].contract = a;
    s.legs[0].direction = 1;
    s.legs[0].lots = 1;
    s.legs[1].contract = b;
    s.legs[1].direction = 2;
    s.legs[1].lots = 2;
    tarn::SetField(s.formula, formula);
    tarn::SetField(s.name, "spread");
    return s;
  }
  static DC_Quote Book(const DC_Contract& c, double last, double bid, double ask) {
    DC_Quote q = QuoteAt(c, last);
    q.data.bidPrice[0] = static_cast<float>(bid);
    q.data.askPrice[0] = static_cast<float>(ask);
    return q;
  }

  struct Call {
    double lead, last, bid, ask;
  };
  EngineQuoteCenter quotes;
  DC_Contract a, b, c;
  std::vector<Call> calls;
  std::vector<std::string> names;
  std::vector<int> forwarded;
};

TEST_F(CombolQuoteTest, TheThreeValuesFollowTheLegsQuotes) {
  CCombolQuote calc;
  calc.Setup(Strategy("A-B"), this);
  ASSERT_TRUE(calc.Parsed());
  EXPECT_TRUE(calc.IsSubscribed("SHFE|rb2601"));
  EXPECT_TRUE(calc.IsSubscribed("SHFE|rb2605"));
  calls.clear();  // the snapshots of the subscription carried no prices
  double last = 0, bid = 0, ask = 0;
  calc.Values(&last, &bid, &ask);
  EXPECT_EQ(last, kCombolNoValue);
  EXPECT_EQ(ask, kCombolNoValue);

  DC_Quote qa = Book(a, 100, 99, 101);
  calc.OnQuote(0, &qa);
  EXPECT_TRUE(calls.empty());  // leg B has no price yet: nothing computed, nobody told
  DC_Quote qb = Book(b, 95, 94, 96);
  calc.OnQuote(0, &qb);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_DOUBLE_EQ(calls[0].last, 5);
  EXPECT_DOUBLE_EQ(calls[0].bid, 99 - 96);  // sell the combination: A's bid, B's ask
  EXPECT_DOUBLE_EQ(calls[0].ask, 101 - 94);
  EXPECT_DOUBLE_EQ(calls[0].lead, 7);
  EXPECT_EQ(names[0], "spread");
  // B's book empties: bid and ask keep their values, the last value follows; still told.
  DC_Quote empty = Book(b, 90, 0, 0);
  calc.OnQuote(0, &empty);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_DOUBLE_EQ(calls[1].last, 10);
  EXPECT_DOUBLE_EQ(calls[1].bid, 3);
  EXPECT_DOUBLE_EQ(calls[1].ask, 7);
  // Another status, no snapshot, or a contract of no leg: ignored.
  calc.OnQuote(1, &qb);
  calc.OnQuote(0, nullptr);
  DC_Quote other = Book(c, 1, 1, 1);
  calc.OnQuote(0, &other);
  EXPECT_EQ(calls.size(), 2u);
  // Negative prices count when their size is above 1e-5 (spread contracts quote below zero).
  DC_Quote negative = Book(a, -5, -6, -4);
  calc.OnQuote(0, &negative);
  EXPECT_DOUBLE_EQ(calls.back().last, -95);
}

TEST_F(CombolQuoteTest, AListenerMayWaitForAnotherThreadThatReadsTheCalculator) {
  // A window that, told of new values, waits for a worker reading the calculator must not find
  // the calculator locked by its own notice.
  class Waiting : public ICombolQuoteListener {
   public:
    ~Waiting() override {
      for (std::thread& t : workers) t.join();
    }
    void OnCombolQuote(double, const CombolStrategy&, double, double, double) override {
      auto done = std::make_shared<std::promise<double>>();
      std::future<double> f = done->get_future();
      workers.emplace_back([this, done] {
        double last = 0;
        calc->Values(&last, nullptr, nullptr);
        done->set_value(last);
      });
      if (f.wait_for(std::chrono::seconds(2)) == std::future_status::ready)
        values.push_back(f.get());
      else
        ++blocked;
    }
    void OnCombolForward(int) override {}
    CCombolQuote* calc = nullptr;
    std::vector<std::thread> workers;
    std::vector<double> values;
    int blocked = 0;
  };
  Waiting w;
  {
    CCombolQuote calc;
    w.calc = &calc;
    calc.Setup(Strategy("A-B"), &w);
    DC_Quote qa = Book(a, 100, 99, 101), qb = Book(b, 95, 94, 96);
    calc.OnQuote(0, &qa);
    calc.OnQuote(0, &qb);
    for (std::thread& t : w.workers) t.join();
    w.workers.clear();
  }
  EXPECT_EQ(w.blocked, 0);
  ASSERT_EQ(w.values.size(), 1u);
  EXPECT_DOUBLE_EQ(w.values[0], 5);  // the worker read the value the notice told
}

TEST_F(CombolQuoteTest, AFormulaThatDoesNotParseGivesAnEmptyCalculator) {
  CCombolQuote calc;
  calc.Setup(Strategy("A-C"), this);
  EXPECT_FALSE(calc.Parsed());
  EXPECT_EQ(calc.SubscriptionCount(), 0u);
  DC_Quote qa = Book(a, 100, 99, 101);
  calc.OnQuote(0, &qa);
  EXPECT_TRUE(calls.empty());
}

TEST_F(CombolQuoteTest, KeysAndTheRegistry) {
  CombolStrategy s = Strategy("A-B");
  EXPECT_EQ(MakeCombolKey(s), "SHFE|rb2601_1_1|SHFE|rb2605_2_2");
  CombolStrategy same = Strategy("(A-B)*2");
  EXPECT_EQ(MakeCombolKey(same), MakeCombolKey(s));

  CCombolQuoteClient none;
  none.Toggle(s);  // no listener: nothing
  EXPECT_EQ(none.Count(), 0u);

  CCombolQuoteClient registry(this);
  registry.Toggle(s);
  EXPECT_TRUE(registry.Has(s));
  EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2605"), 1u);
  DC_Quote qa = Book(a, 100, 99, 101), qb = Book(b, 95, 94, 96);
  quotes.DeliverQuote(qa);
  quotes.DeliverQuote(qb);
  double last = 1, bid = 2, ask = 3;
  registry.CurrentValues(s, &last, &bid, &ask);
  EXPECT_DOUBLE_EQ(last, 5);
  EXPECT_DOUBLE_EQ(ask, 7);
  CombolStrategy unknown = s;
  unknown.legs[1].lots = 3;
  last = bid = ask = 42;
  registry.CurrentValues(unknown, &last, &bid, &ask);
  EXPECT_EQ(last, 42);  // untouched
  // A second window toggling the same strategy removes the calculator the first created.
  registry.Toggle(same);
  EXPECT_FALSE(registry.Has(s));
  EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2605"), 0u);
  registry.Toggle(s);
  registry.Remove(same);
  EXPECT_EQ(registry.Count(), 0u);
  EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2601"), 0u);
  registry.Forward(17);
  EXPECT_EQ(forwarded, std::vector<int>{17});
  registry.Toggle(s);
  // Destroying the registry drops every calculator's subscriptions.
  {
    CCombolQuoteClient scoped(this);
    scoped.Toggle(Strategy("A+B"));
    EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2601"), 2u);
  }
  EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2601"), 1u);
}

}  // namespace
