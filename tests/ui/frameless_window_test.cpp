// The frameless window's geometry rules and its caption buttons, under the offscreen platform
// (where moving and resizing use the window's own fallback).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "ui/fonts.h"
#include "ui/frameless_window.h"

namespace tarn::ui {
namespace {

TEST(FrameGeometry, EdgesAtBorderCornersAndInside) {
  const QSize s(400, 300);
  EXPECT_EQ(EdgesAt(s, QPoint(2, 2), 5), Qt::LeftEdge | Qt::TopEdge);
  EXPECT_EQ(EdgesAt(s, QPoint(399, 299), 5), Qt::RightEdge | Qt::BottomEdge);
  EXPECT_EQ(EdgesAt(s, QPoint(200, 297), 5), Qt::Edges(Qt::BottomEdge));
  EXPECT_EQ(EdgesAt(s, QPoint(200, 150), 5), Qt::Edges());
  EXPECT_EQ(EdgesAt(s, QPoint(400, 150), 5), Qt::Edges());  // outside
  EXPECT_EQ(CursorFor(Qt::LeftEdge | Qt::TopEdge), Qt::SizeFDiagCursor);
  EXPECT_EQ(CursorFor(Qt::RightEdge | Qt::TopEdge), Qt::SizeBDiagCursor);
  EXPECT_EQ(CursorFor(Qt::Edges(Qt::BottomEdge)), Qt::SizeVerCursor);
}

TEST(FrameGeometry, ResizeKeepsTheOppositeEdgesAndTheMinimum) {
  const QRect start(100, 100, 400, 300);
  QRect r = ResizedGeometry(start, Qt::LeftEdge | Qt::TopEdge, QPoint(-20, 30), QSize(100, 100));
  EXPECT_EQ(r, QRect(80, 130, 420, 270));
  EXPECT_EQ(r.bottomRight(), start.bottomRight());
  // Dragging the left edge past the minimum stops at the minimum width, right edge fixed.
  r = ResizedGeometry(start, Qt::Edges(Qt::LeftEdge), QPoint(390, 0), QSize(100, 100));
  EXPECT_EQ(r.width(), 100);
  EXPECT_EQ(r.right(), start.right());
  r = ResizedGeometry(start, Qt::Edges(Qt::BottomEdge), QPoint(0, -500), QSize(100, 120));
  EXPECT_EQ(r.height(), 120);
  EXPECT_EQ(r.top(), start.top());
}

TEST(FramelessWindow, CaptionButtonsMaximiseRestoreAndClose) {
  FramelessWindow w;
  w.SetTitle(QStringLiteral("Tarn交易分析终端"));
  w.resize(640, 480);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.Caption()->Title(), QStringLiteral("Tarn交易分析终端"));
  w.Caption()->MaximizeButton()->click();
  QTest::qWait(20);
  EXPECT_TRUE(w.isMaximized());
  EXPECT_EQ(w.Caption()->MaximizeButton()->GetKind(), CaptionButton::Kind::Restore);
  w.Caption()->MaximizeButton()->click();
  QTest::qWait(20);
  EXPECT_FALSE(w.isMaximized());
  EXPECT_EQ(w.Caption()->MaximizeButton()->GetKind(), CaptionButton::Kind::Maximize);
  w.Caption()->CloseButton()->click();
  EXPECT_FALSE(w.isVisible());
}

TEST(FramelessWindow, DraggingTheRightBottomCornerResizes) {
  FramelessWindow w;
  w.setGeometry(50, 50, 640, 480);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QPoint local(w.width() - 2, w.height() - 2);
  const QPoint global = w.mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPoint(60, 40), global + QPoint(60, 40), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&w, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(60, 40), global + QPoint(60, 40), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &release);
  EXPECT_EQ(w.width(), 700);
  EXPECT_EQ(w.height(), 520);
}

TEST(FramelessWindow, DraggingTheCaptionMovesTheWindow) {
  FramelessWindow w;
  w.setGeometry(50, 50, 640, 480);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QPoint before = w.pos();
  TitleBar* bar = w.Caption();
  const QPoint local(100, bar->height() / 2);
  const QPoint global = bar->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPoint(30, 20), global + QPoint(30, 20), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(bar, &move);
  EXPECT_EQ(w.pos(), before + QPoint(30, 20));
}

}  // namespace
}  // namespace tarn::ui
