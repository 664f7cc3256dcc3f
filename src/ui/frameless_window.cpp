#include "ui/frameless_window.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "ui/fonts.h"
#include "ui/theme.h"

namespace tarn::ui {

Qt::Edges EdgesAt(const QSize& size, const QPoint& pos, int border) {
  Qt::Edges e;
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height()) return e;
  if (pos.x() < border) e |= Qt::LeftEdge;
  if (pos.x() >= size.width() - border) e |= Qt::RightEdge;
  if (pos.y() < border) e |= Qt::TopEdge;
  if (pos.y() >= size.height() - border) e |= Qt::BottomEdge;
  return e;
}

QRect ResizedGeometry(const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minimum) {
  int left = start.left(), top = start.top(), right = start.right(), bottom = start.bottom();
  const int minW = std::max(1, minimum.width()), minH = std::max(1, minimum.height());
  if (edges & Qt::LeftEdge) left = std::min(left + delta.x(), right - minW + 1);
  if (edges & Qt::RightEdge) right = std::max(right + delta.x(), left + minW - 1);
  if (edges & Qt::TopEdge) top = std::min(top + delta.y(), bottom - minH + 1);
  if (edges & Qt::BottomEdge) bottom = std::max(bottom + delta.y(), top + minH - 1);
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

Qt::CursorShape CursorFor(Qt::Edges e) {
  const bool l = e & Qt::LeftEdge, r = e & Qt::RightEdge, t = e & Qt::TopEdge, b = e & Qt::BottomEdge;
  if ((l && t) || (r && b)) return Qt::SizeFDiagCursor;
  if ((r && t) || (l && b)) return Qt::SizeBDiagCursor;
  if (l || r) return Qt::SizeHorCursor;
  if (t || b) return Qt::SizeVerCursor;
  return Qt::ArrowCursor;
}

// ---------------------------------------------------------------------------------------------

CaptionButton::CaptionButton(Kind kind, QWidget* parent) : QAbstractButton(parent), kind_(kind) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
}

void CaptionButton::SetKind(Kind kind) {
  kind_ = kind;
  update();
}

QSize CaptionButton::sizeHint() const { return QSize(Scaled(40), Scaled(28)); }

void CaptionButton::enterEvent(QEnterEvent* e) {
  hover_ = true;
  update();
  QAbstractButton::enterEvent(e);
}

void CaptionButton::leaveEvent(QEvent* e) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(e);
}

void CaptionButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, false);
  const ThemeColors& t = Theme();
  if (hover_ || isDown()) {
    QColor bg = kind_ == Kind::Close ? QColor(196, 43, 28) : Blend(t.menuBar, t.text, 0.18);
    if (isDown()) bg = bg.darker(120);
    p.fillRect(rect(), bg);
  }
  QPen pen((hover_ && kind_ == Kind::Close) ? QColor(255, 255, 255) : t.text);
  pen.setWidthF(std::max(1.0, ScaleFactor()));
  p.setPen(pen);
  const int s = Scaled(10);
  const QPoint c = rect().center();
  const QRect box(c.x() - s / 2, c.y() - s / 2, s, s);
  switch (kind_) {
    case Kind::Minimize:
      p.drawLine(box.left(), c.y(), box.right(), c.y());
      break;
    case Kind::Maximize:
      p.drawRect(box.adjusted(0, 0, -1, -1));
      break;
    case Kind::Restore: {
      const int d = Scaled(2);
      p.drawRect(box.adjusted(0, d, -d - 1, -1));
      p.drawLine(box.left() + d, box.top(), box.right(), box.top());
      p.drawLine(box.right(), box.top(), box.right(), box.bottom() - d);
      break;
    }
    case Kind::Close:
      p.setRenderHint(QPainter::Antialiasing, true);
      p.drawLine(box.topLeft(), box.bottomRight());
      p.drawLine(box.topRight(), box.bottomLeft());
      break;
  }
}

// ---------------------------------------------------------------------------------------------

TitleBar::TitleBar(QWidget* window, int buttons) : QWidget(window), window_(window) {
  setAutoFillBackground(false);
  setFixedHeight(Scaled(30));
  layout_ = new QHBoxLayout(this);
  layout_->setContentsMargins(Scaled(8), 0, 0, 0);
  layout_->setSpacing(Scaled(6));
  icon_ = new QLabel(this);
  icon_->setFixedSize(Scaled(18), Scaled(18));
  icon_->setScaledContents(true);
  icon_->hide();
  title_ = new QLabel(this);
  title_->setFont(UiFont(9.5));
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);
  layout_->addWidget(icon_);
  layout_->addWidget(title_);
  layout_->addStretch(1);
  if (buttons & kMinimize) {
    min_ = new CaptionButton(CaptionButton::Kind::Minimize, this);
    min_->setToolTip(QStringLiteral("最小化"));
    connect(min_, &QAbstractButton::clicked, this, [this] { window_->showMinimized(); });
    layout_->addWidget(min_);
  }
  if (buttons & kMaximize) {
    max_ = new CaptionButton(CaptionButton::Kind::Maximize, this);
    max_->setToolTip(QStringLiteral("最大化"));
    connect(max_, &QAbstractButton::clicked, this, [this] { ToggleMaximized(); });
    layout_->addWidget(max_);
  }
  if (buttons & kClose) {
    close_ = new CaptionButton(CaptionButton::Kind::Close, this);
    close_->setToolTip(QStringLiteral("关闭"));
    connect(close_, &QAbstractButton::clicked, this, [this] {
      emit closeClicked();
      window_->close();
    });
    layout_->addWidget(close_);
  }
  for (CaptionButton* b : {min_, max_, close_})
    if (b) b->setFixedSize(b->sizeHint());
  connect(ThemeNotifier::Instance(), &ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

void TitleBar::SetTitle(const QString& title) { title_->setText(title); }
QString TitleBar::Title() const { return title_->text(); }

void TitleBar::SetIcon(const QIcon& icon) {
  if (icon.isNull()) {
    icon_->hide();
    return;
  }
  icon_->setPixmap(icon.pixmap(Scaled(18), Scaled(18)));
  icon_->show();
}

void TitleBar::SetMenuBar(QMenuBar* menu) {
  menu->setParent(this);
  menu->setNativeMenuBar(false);
  menu->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  // Right of the title, before the stretch.
  layout_->insertWidget(2, menu);
}

void TitleBar::SyncState() {
  if (max_) {
    const bool m = window_->isMaximized();
    max_->SetKind(m ? CaptionButton::Kind::Restore : CaptionButton::Kind::Maximize);
    max_->setToolTip(m ? QStringLiteral("还原") : QStringLiteral("最大化"));
  }
}

void TitleBar::ToggleMaximized() {
  if (window_->isMaximized()) window_->showNormal();
  else window_->showMaximized();
  SyncState();
}

void TitleBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const ThemeColors& t = Theme();
  p.fillRect(rect(), t.menuBar);
  p.setPen(Blend(t.menuBar, t.border, 0.8));
  p.drawLine(0, height() - 1, width(), height() - 1);
  QPalette pal = title_->palette();
  pal.setColor(QPalette::WindowText, t.text);
  title_->setPalette(pal);
}

void TitleBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
  QWindow* handle = window_->windowHandle();
  if (handle && QGuiApplication::platformName() != QStringLiteral("offscreen") && !window_->isMaximized() &&
      handle->startSystemMove()) {
    return;
  }
  dragging_ = !window_->isMaximized();
  dragOffset_ = e->globalPosition().toPoint() - window_->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_ && (e->buttons() & Qt::LeftButton)) window_->move(e->globalPosition().toPoint() - dragOffset_);
}

void TitleBar::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void TitleBar::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && max_) ToggleMaximized();
}

// ---------------------------------------------------------------------------------------------

FrameHandler::FrameHandler(QWidget* window, int border) : QObject(window), window_(window), border_(border) {
  window_->setMouseTracking(true);
  window_->installEventFilter(this);
}

bool FrameHandler::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (resizing_) {
        const QPoint delta = e->globalPosition().toPoint() - pressGlobal_;
        window_->setGeometry(ResizedGeometry(pressGeometry_, edges_, delta, window_->minimumSizeHint()));
        return true;
      }
      const Qt::Edges e2 = window_->isMaximized() ? Qt::Edges() : EdgesAt(window_->size(), e->position().toPoint(), border_);
      if (e2) window_->setCursor(CursorFor(e2));
      else window_->unsetCursor();
      return false;
    }
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton || window_->isMaximized()) return false;
      edges_ = EdgesAt(window_->size(), e->position().toPoint(), border_);
      if (!edges_) return false;
      QWindow* handle = window_->windowHandle();
      if (handle && QGuiApplication::platformName() != QStringLiteral("offscreen") &&
          handle->startSystemResize(edges_))
        return true;
      resizing_ = true;
      pressGlobal_ = e->globalPosition().toPoint();
      pressGeometry_ = window_->geometry();
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (resizing_) {
        resizing_ = false;
        return true;
      }
      return false;
    case QEvent::Leave:
      if (!resizing_) window_->unsetCursor();
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------

FramelessWindow::FramelessWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  layout_ = new QVBoxLayout(this);
  layout_->setSpacing(0);
  caption_ = new TitleBar(this);
  layout_->addWidget(caption_);
  new FrameHandler(this, Scaled(kResizeBorder));
  UpdateMargins();
  setMinimumSize(Scaled(480), Scaled(320));
  connect(ThemeNotifier::Instance(), &ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

void FramelessWindow::SetContent(QWidget* content) {
  if (content_) {
    layout_->removeWidget(content_);
    content_->deleteLater();
  }
  content_ = content;
  content_->setParent(this);
  layout_->addWidget(content_, 1);
}

void FramelessWindow::SetTitle(const QString& title) {
  setWindowTitle(title);
  caption_->SetTitle(title);
}

void FramelessWindow::UpdateMargins() {
  // A maximised window needs no resize border; otherwise the margin leaves the border strip to
  // the frame handler.
  const int m = isMaximized() ? 0 : Scaled(kResizeBorder);
  layout_->setContentsMargins(m, m, m, m);
}

void FramelessWindow::changeEvent(QEvent* e) {
  if (e->type() == QEvent::WindowStateChange) {
    UpdateMargins();
    caption_->SyncState();
  }
  QWidget::changeEvent(e);
}

void FramelessWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const ThemeColors& t = Theme();
  p.fillRect(rect(), t.menuBar);
  if (!isMaximized()) {
    p.setPen(t.border);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

}  // namespace tarn::ui
