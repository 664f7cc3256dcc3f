#include "app/gui/page_tab_strip.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/program_dir.h"
#include "ui/fonts.h"
#include "ui/theme.h"

namespace {
constexpr int kStripWidth = 22;  // pixels before scaling
}

CPageTabStrip::CPageTabStrip(QWidget* parent) : QWidget(parent) {
  setFixedWidth(tarn::ui::Scaled(kStripWidth));
  icon_ = QPixmap(QString::fromStdString(tarn::Path("\\icon\\tarnclient.png")));
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

void CPageTabStrip::AddTab(const QString& caption) {
  captions_ << caption;
  updateGeometry();
  update();
}

void CPageTabStrip::SetCurrentIndex(int index) {
  if (index < 0 || index >= Count() || index == current_) return;
  current_ = index;
  update();
  emit currentChanged(index);
}

int CPageTabStrip::IconSide() const { return width() - tarn::ui::Scaled(4); }

QRect CPageTabStrip::TabRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  const int line = fontMetrics().height();
  const int pad = tarn::ui::Scaled(6);
  int top = tarn::ui::Scaled(4) + IconSide() + tarn::ui::Scaled(4);
  for (int i = 0; i <= index; ++i) {
    const int h = static_cast<int>(captions_[i].size()) * line + 2 * pad;
    if (i == index) return QRect(0, top, width(), h);
    top += h + tarn::ui::Scaled(2);
  }
  return {};
}

int CPageTabStrip::TabAt(const QPoint& pos) const {
  for (int i = 0; i < Count(); ++i)
    if (TabRect(i).contains(pos)) return i;
  return -1;
}

QSize CPageTabStrip::sizeHint() const {
  const QRect last = TabRect(Count() - 1);
  return QSize(width(), last.isNull() ? width() : last.bottom() + 1);
}

void CPageTabStrip::paintEvent(QPaintEvent*) {
  const tarn::ui::ThemeColors& theme = tarn::ui::Theme();
  QPainter p(this);
  p.fillRect(rect(), theme.sideBar);
  const int side = IconSide();
  if (!icon_.isNull())
    p.drawPixmap(QRect((width() - side) / 2, tarn::ui::Scaled(4), side, side), icon_);
  const int line = fontMetrics().height();
  for (int i = 0; i < Count(); ++i) {
    const QRect r = TabRect(i);
    const bool current = i == current_;
    p.fillRect(r, current ? theme.background : tarn::ui::Blend(theme.sideBar, theme.background, 0.35));
    p.setPen(theme.border);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (current) p.fillRect(QRect(r.left(), r.top(), tarn::ui::Scaled(2), r.height()), tarn::ui::AccentColor());
    p.setPen(current ? theme.text : tarn::ui::Blend(theme.text, theme.sideBar, 0.45));
    const int textTop = r.top() + (r.height() - static_cast<int>(captions_[i].size()) * line) / 2;
    for (int k = 0; k < captions_[i].size(); ++k)
      p.drawText(QRect(r.left(), textTop + k * line, r.width(), line), Qt::AlignCenter, captions_[i].mid(k, 1));
  }
}

void CPageTabStrip::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int index = TabAt(e->position().toPoint());
  if (index >= 0) SetCurrentIndex(index);
}
