// The rule `tarn --startup-report` waits for: the current workspace is drawn when every visible
// window of it has painted and every chart in it has painted with its bars. Windows of hidden
// workspaces do not count, and a chart that paints without bars holds the answer back.
#include <gtest/gtest.h>

#include <QTest>

#include "app/gui/startup_report.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "workspace/gui/chart_container.h"
#include "libs/quotedata/embedded_fixture.h"
#include "ui/render_registry.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/workspace_record.h"

namespace tarn::test {
namespace {

class StartupReportTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(recorder), 1);
  }
  // A page of two workspaces: the first (current) a K-line chart of `key` beside a quote grid,
  // the second a K-line chart of rb.
  std::string Page(const std::string& key) {
    QuotePageModel page;
    WorkspaceModel& a = page.Add("a");
    a.layout->MakeSingle();
    a.layout->ApplyScheme(1, 2);
    ChartContainerState& chart = a.leaves->State(a.layout->Windows()[0]);
    chart.content = kContentKLine;
    chart.contractKey = key;
    chart.period = {kPeriodMinutes, 1};
    a.leaves->State(a.layout->Windows()[1]).content = kContentQuoteGrid;
    WorkspaceModel& b = page.Add("b");
    b.layout->MakeSingle();
    b.leaves->State(b.layout->Windows()[0]).content = kContentKLine;
    b.leaves->State(b.layout->Windows()[0]).contractKey = "SHFE|rbMI";
    return page.Serialize();
  }
  // Pumps events and the charts' redraw service until drawn or `ms` passed.
  DrawnState WaitDrawn(const CPageQuote& page, const PaintWatch& watch, int ms) {
    DrawnState s;
    for (int i = 0; i < ms / 10 && !(s = WorkspaceDrawn(page, watch)).drawn; ++i) {
      ui::RenderRegistry::Instance().Service();
      QTest::qWait(10);
    }
    return s;
  }

  Recorder recorder;
};

TEST_F(StartupReportTest, TheCurrentWorkspaceIsDrawnOnceItsWindowsPaintedAndItsChartsHaveBars) {
  PaintWatch watch;
  CPageQuote page;
  page.resize(1000, 600);
  ASSERT_TRUE(page.LoadRecord(Page("SHFE|rbMI")));
  EXPECT_FALSE(WorkspaceDrawn(page, watch).drawn);  // nothing on screen yet
  page.show();
  const DrawnState s = WaitDrawn(page, watch, 5000);
  ASSERT_TRUE(s.drawn);
  EXPECT_EQ(s.windows, 2);
  ASSERT_EQ(s.bars.size(), 1u);  // the hidden workspace's chart is not counted
  EXPECT_GT(s.bars[0], 0u);
  EXPECT_TRUE(page.Workspace(1)->Deferred());
}

TEST_F(StartupReportTest, AChartWithoutBarsIsNotDrawnEvenAfterItPainted) {
  PaintWatch watch;
  CPageQuote page;
  page.resize(1000, 600);
  ASSERT_TRUE(page.LoadRecord(Page("NOSUCH|xx01")));
  page.show();
  const DrawnState s = WaitDrawn(page, watch, 500);
  EXPECT_FALSE(s.drawn);
  CCChartCtrl* chart = page.CurrentWorkspace()->Containers()[0]->Chart();
  ASSERT_NE(chart, nullptr);
  EXPECT_TRUE(watch.Painted(chart));
  EXPECT_FALSE(watch.PaintedWithBars(chart));
  ASSERT_EQ(s.bars.size(), 1u);
  EXPECT_EQ(s.bars[0], 0u);
}

}  // namespace
}  // namespace tarn::test
