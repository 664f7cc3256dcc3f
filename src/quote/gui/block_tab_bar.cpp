#include "quote/gui/block_tab_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

BlockTabBar::BlockTabBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("BLOCKBAR"));
  setFont(tarn::ui::UiFont(9));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

QSize BlockTabBar::sizeHint() const { return QSize(tarn::ui::Scaled(400), tarn::ui::Scaled(24)); }

void BlockTabBar::SetBlocks(std::vector<BlockListEntry> blocks) {
  blocks_ = std::move(blocks);
  texts_.clear();
  for (const BlockListEntry& b : blocks_) texts_.push_back(tarn::ui::ToQString(b.display));
  current_ = blocks_.empty() ? -1 : std::clamp(current_, 0, static_cast<int>(blocks_.size()) - 1);
  offset_ = 0;
  Layout();
  update();
}

int BlockTabBar::IndexOf(const std::string& code) const {
  for (std::size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].code == code) return static_cast<int>(i);
  return -1;
}

void BlockTabBar::SetCurrent(int index) {
  if (index < -1 || index >= static_cast<int>(blocks_.size())) return;
  current_ = index;
  KeepCurrentInSight();
  update();
}

void BlockTabBar::KeepCurrentInSight() {
  // Before the bar has its size every tab looks out of sight; scrolling then would hide the
  // first tabs for good, so wait for the resize.
  if (current_ < 0 || width() <= 0) return;
  if (current_ < offset_) offset_ = current_;
  while (offset_ < current_ && TabRect(current_).isEmpty()) ++offset_;
}

void BlockTabBar::Layout() {
  const QFontMetrics fm(font());
  widths_.clear();
  for (const QString& t : texts_) widths_.push_back(fm.horizontalAdvance(t) + tarn::ui::Scaled(24));
}

void BlockTabBar::resizeEvent(QResizeEvent*) {
  // Show as many tabs from the first as fit with the current one in sight.
  offset_ = 0;
  KeepCurrentInSight();
  update();
}

bool BlockTabBar::Overflows() const {
  int total = 0;
  for (int w : widths_) total += w;
  return total > width();
}

QRect BlockTabBar::LeftArrow() const {
  const int s = height();
  return Overflows() ? QRect(width() - 2 * s, 0, s, s) : QRect();
}
QRect BlockTabBar::RightArrow() const {
  const int s = height();
  return Overflows() ? QRect(width() - s, 0, s, s) : QRect();
}

QRect BlockTabBar::TabRect(int index) const {
  if (index < offset_ || index >= static_cast<int>(widths_.size())) return {};
  const int limit = Overflows() ? width() - 2 * height() : width();
  int x = 0;
  for (int i = offset_; i < index; ++i) x += widths_[static_cast<std::size_t>(i)];
  const int w = widths_[static_cast<std::size_t>(index)];
  if (x + w > limit) return {};
  return QRect(x, 0, w, height());
}

void BlockTabBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const QColor panel = tarn::ui::Blend(t.background, t.menuBar, 0.8);
  p.fillRect(rect(), panel);
  p.fillRect(QRect(0, 0, width(), 1), tarn::ui::Blend(panel, t.border, 0.8));
  for (int i = offset_; i < static_cast<int>(blocks_.size()); ++i) {
    const QRect r = TabRect(i);
    if (r.isEmpty()) break;
    const bool on = i == current_;
    if (on) {
      p.fillRect(r.adjusted(0, 0, 0, 0), t.background);
      p.fillRect(QRect(r.left(), r.bottom() - tarn::ui::Scaled(2) + 1, r.width(), tarn::ui::Scaled(2)),
                 tarn::ui::Blend(t.border, QColor(70, 130, 210), 0.7));
    }
    p.setPen(on ? t.header : tarn::ui::Blend(t.text, panel, 0.25));
    p.drawText(r, Qt::AlignCenter, texts_[static_cast<std::size_t>(i)]);
    p.fillRect(QRect(r.right(), r.top() + tarn::ui::Scaled(5), 1, r.height() - tarn::ui::Scaled(10)),
               tarn::ui::Blend(panel, t.border, 0.8));
  }
  if (Overflows()) {
    for (const QRect& a : {LeftArrow(), RightArrow()}) {
      p.fillRect(a, panel);
      const bool left = a == LeftArrow();
      const QPointF c = QRectF(a).center();
      const double s = a.height() / 6.0;
      QPainterPath tri;
      tri.moveTo(c.x() + (left ? s : -s), c.y() - s * 1.4);
      tri.lineTo(c.x() + (left ? s : -s), c.y() + s * 1.4);
      tri.lineTo(c.x() + (left ? -s : s), c.y());
      tri.closeSubpath();
      p.fillPath(tri, t.text);
    }
  }
}

void BlockTabBar::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (LeftArrow().contains(pos)) {
    offset_ = std::max(0, offset_ - 1);
    update();
    return;
  }
  if (RightArrow().contains(pos)) {
    if (!TabRect(static_cast<int>(blocks_.size()) - 1).isValid()) ++offset_;
    update();
    return;
  }
  for (int i = offset_; i < static_cast<int>(blocks_.size()); ++i) {
    if (TabRect(i).contains(pos)) {
      if (onCommand) onCommand(kFirstCommand + i);
      return;
    }
  }
}

void BlockTabBar::wheelEvent(QWheelEvent* e) {
  if (!Overflows()) return;
  if (e->angleDelta().y() > 0) offset_ = std::max(0, offset_ - 1);
  else if (!TabRect(static_cast<int>(blocks_.size()) - 1).isValid()) ++offset_;
  update();
}
