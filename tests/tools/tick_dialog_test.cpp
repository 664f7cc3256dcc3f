// The tick statistics dialog over the embedded exchange, on a manual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include "libs/quotedata/embedded_fixture.h"
#include "platform/message_box.h"
#include "tools/gui/dlg_tick_statistic.h"
#include "ui/text_qt.h"

namespace tarn::test {
namespace {

class TickDialogTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(recorder), 1);
    rb = Contract("SHFE|rbMI");
  }
  // Delivers the worker's messages until its result is in the lists.
  static bool WaitForResult(CDlgTickStatistic& d) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
      if (!d.Running() && d.filterButton->isEnabled()) return true;
    }
    return false;
  }
  Recorder recorder;
  DC_Contract rb{};
};

TEST_F(TickDialogTest, FirstRunListsTheDaysBigOrders) {
  MessageBoxRecorder boxes;
  CDlgTickStatistic d(rb);
  EXPECT_EQ(d.windowTitle(), ui::ToQString(TXT("当日逐笔数据统计分析 - ") + std::string(rb.Name())));
  ASSERT_GT(d.DayList().size(), 100u);
  EXPECT_FALSE(d.filterButton->isEnabled());  // the first run is working
  ASSERT_TRUE(WaitForResult(d));
  TickFilterInputs in;
  BigOrderResult expected = FilterBigOrders(d.DayList(), in);
  EXPECT_EQ(d.bigList->topLevelItemCount(), static_cast<int>(expected.rows.size()));
  if (expected.failed) {
    EXPECT_EQ(boxes.Count(), 0u);  // nobody chose these criteria: no message
  }
  EXPECT_EQ(d.spanLabel->text().left(8), QString::fromStdString(TickTimeText(d.DayList().front().time)));
}

TEST_F(TickDialogTest, FilterFailureAndSlices) {
  MessageBoxRecorder boxes;
  CDlgTickStatistic d(rb);
  ASSERT_TRUE(WaitForResult(d));
  d.quantity->setValue(1000000);
  d.RunFilter();
  ASSERT_TRUE(WaitForResult(d));
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, TXT("请重新选取筛选标准"));
  EXPECT_EQ(boxes.Boxes()[0].title, TXT("温馨提示"));
  EXPECT_EQ(d.bigList->topLevelItemCount(), 0);
  EXPECT_EQ(ui::ToGbk(d.shareLabel->text()), TXT("占今天总成交量:0%"));

  d.tabs->setCurrentIndex(1);
  d.sliceMinutes->setValue(5);
  d.RunFilter();
  ASSERT_TRUE(WaitForResult(d));
  const std::vector<SliceRow> expected = SliceTicks(d.DayList(), 5);
  ASSERT_EQ(d.sliceList->topLevelItemCount(), static_cast<int>(expected.size()));
  EXPECT_EQ(ui::ToGbk(d.sliceList->topLevelItem(0)->text(2)), FormatC("%lld", static_cast<long long>(expected[0].totalLots)));
  EXPECT_EQ(ui::ToGbk(d.countLabel->text()), FormatC(TXT("总笔:%lld").c_str(), static_cast<long long>(d.DayList().size())));
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(TickDialogTest, NewTicksMoveThePickersAndClosingStopsTheWorker) {
  auto* d = new CDlgTickStatistic(rb);
  ASSERT_TRUE(WaitForResult(*d));
  const std::size_t before = d->DayList().size();
  Step(10);
  QCoreApplication::sendPostedEvents();
  EXPECT_GT(d->DayList().size(), before);
  EXPECT_EQ(d->to->dateTime().toSecsSinceEpoch(), d->DayList().back().time);
  d->tabs->setCurrentIndex(1);
  d->RunFilter();
  delete d;  // a worker still running is stopped and waited for
  QCoreApplication::sendPostedEvents();
}

}  // namespace
}  // namespace tarn::test
