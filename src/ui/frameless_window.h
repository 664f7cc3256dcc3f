// The frameless top-level window: the terminal draws its own caption and border, in the
// theme's colours, and behaves like any desktop window: the caption moves it (double-click
// maximises and restores), every edge and corner resizes it, and the caption's buttons
// minimise, maximise / restore and close it.
//
// Moving and resizing go through the window system (QWindow::startSystemMove / Resize) where it
// offers them, and fall back to moving the geometry by hand (the offscreen platform, some
// window managers).
#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenuBar;
class QVBoxLayout;

namespace tarn::ui {

// Width of the resize border, in unscaled pixels.
constexpr int kResizeBorder = 5;

// The edges under `pos` in a window of `size` with a resize border of `border` pixels (none
// when the point is inside the border or outside the window).
Qt::Edges EdgesAt(const QSize& size, const QPoint& pos, int border);
// The geometry after dragging `edges` of `start` by `delta`, kept at least `minimum` in size
// (the opposite edges stay where they are).
QRect ResizedGeometry(const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minimum);
// The cursor for a set of edges.
Qt::CursorShape CursorFor(Qt::Edges edges);

// One caption button, drawn with lines: minimise, maximise, restore or close.
class CaptionButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum class Kind { Minimize, Maximize, Restore, Close };
  CaptionButton(Kind kind, QWidget* parent = nullptr);
  void SetKind(Kind kind);
  Kind GetKind() const { return kind_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  Kind kind_;
  bool hover_ = false;
};

// The caption: icon, title, an optional menu bar, and the buttons. It moves its window.
class TitleBar : public QWidget {
  Q_OBJECT
 public:
  enum Button { kMinimize = 1, kMaximize = 2, kClose = 4, kAll = 7 };
  explicit TitleBar(QWidget* window, int buttons = kAll);

  void SetTitle(const QString& title);
  QString Title() const;
  void SetIcon(const QIcon& icon);
  // Puts a menu bar into the caption, right of the title.
  void SetMenuBar(QMenuBar* menu);
  // Follows the window's maximised state (the maximise button's glyph).
  void SyncState();

  CaptionButton* MinimizeButton() const { return min_; }
  CaptionButton* MaximizeButton() const { return max_; }
  CaptionButton* CloseButton() const { return close_; }

 signals:
  // The close button was clicked (the window's close() follows unless the owner handles it).
  void closeClicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  void ToggleMaximized();

  QWidget* window_;
  QLabel* icon_ = nullptr;
  QLabel* title_ = nullptr;
  QHBoxLayout* layout_ = nullptr;
  CaptionButton* min_ = nullptr;
  CaptionButton* max_ = nullptr;
  CaptionButton* close_ = nullptr;
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Moves and resizes a frameless top-level widget from its border: install on the window; it
// watches the mouse over the border strip the window's margins leave free.
class FrameHandler : public QObject {
  Q_OBJECT
 public:
  FrameHandler(QWidget* window, int border);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  int border_;
  Qt::Edges edges_;
  bool resizing_ = false;
  QPoint pressGlobal_;
  QRect pressGeometry_;
};

// The frameless main window: the caption on top, the content below, a one-pixel border.
class FramelessWindow : public QWidget {
  Q_OBJECT
 public:
  explicit FramelessWindow(QWidget* parent = nullptr);

  TitleBar* Caption() const { return caption_; }
  // The content below the caption (the window takes ownership).
  void SetContent(QWidget* content);
  QWidget* Content() const { return content_; }
  void SetTitle(const QString& title);

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent*) override;

 private:
  void UpdateMargins();

  TitleBar* caption_;
  QVBoxLayout* layout_;
  QWidget* content_ = nullptr;
};

}  // namespace tarn::ui
