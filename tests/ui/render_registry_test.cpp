// Coalesced chart redraws: any number of marks between two services cost one redraw per
// window and one posted message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <thread>

#include "ui/render_registry.h"
#include "ui/window_message.h"

namespace tarn::ui {
namespace {

class CountingChart : public CRenderWnd {
 public:
  int renders = 0;

 protected:
  void Render() override { ++renders; }
};

class ServiceWindow : public QObject {
 public:
  int posts = 0;
  bool event(QEvent* e) override {
    if (e->type() == static_cast<QEvent::Type>(kMsgRedrawCharts)) {
      ++posts;
      RenderRegistry::Instance().Service();
      return true;
    }
    return QObject::event(e);
  }
};

TEST(RenderRegistry, ManyMarksFromAnotherThreadCostOneRedrawPerChart) {
  ServiceWindow frame;
  RenderRegistry::Instance().SetServiceWindow(&frame);
  CountingChart a, b, idle;
  std::thread t([&] {
    for (int i = 0; i < 1000; ++i) {
      a.NeedRedraw();
      b.NeedRedraw();
    }
  });
  t.join();
  EXPECT_TRUE(RenderRegistry::Instance().RedrawPosted());
  QApplication::processEvents();
  EXPECT_EQ(frame.posts, 1);
  EXPECT_EQ(a.renders, 1);
  EXPECT_EQ(b.renders, 1);
  EXPECT_EQ(idle.renders, 0);
  EXPECT_FALSE(RenderRegistry::Instance().RedrawPosted());
  // A later mark posts again.
  a.NeedRedraw();
  QApplication::processEvents();
  EXPECT_EQ(frame.posts, 2);
  EXPECT_EQ(a.renders, 2);
  EXPECT_EQ(b.renders, 1);
  RenderRegistry::Instance().SetServiceWindow(nullptr);
}

TEST(RenderRegistry, WindowsLeaveWhenDestroyedAndMarksWaitForAServiceWindow) {
  RenderRegistry::Instance().SetServiceWindow(nullptr);
  auto* chart = new CountingChart;
  EXPECT_TRUE(RenderRegistry::Instance().Contains(chart));
  chart->NeedRedraw();
  EXPECT_FALSE(RenderRegistry::Instance().RedrawPosted());  // nobody to post to
  EXPECT_TRUE(chart->RedrawPending());
  EXPECT_EQ(RenderRegistry::Instance().Service(), 1);  // the timer's service still draws it
  EXPECT_EQ(chart->renders, 1);
  delete chart;
  EXPECT_FALSE(RenderRegistry::Instance().Contains(chart));
  EXPECT_EQ(RenderRegistry::Instance().Service(), 0);
}

}  // namespace
}  // namespace tarn::ui
