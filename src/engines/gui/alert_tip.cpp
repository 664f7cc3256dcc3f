#include "engines/gui/alert_tip.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>

#include "engines/gui/alert_dialogs.h"
#include "engines/gui/engine_widgets.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

using tarn::ui::Scaled;
using tarn::ui::ToQString;

CDlgAlertTip::CDlgAlertTip(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), IQuoteAlertListener(false) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(ToQString(TXT("Tarn行情预警")));
  setFixedSize(Scaled(360), Scaled(240));
  setMouseTracking(true);
  fade_ = new QPropertyAnimation(this, "windowOpacity", this);
  fade_->setDuration(100);
  fade_->setStartValue(0.0);
  fade_->setEndValue(1.0);
  openHistory = [](CDlgAllAlertInfo* d) {
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->show();
    d->raise();
  };
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
  StartListening();
}

CDlgAlertTip::~CDlgAlertTip() { StopListening(); }

void CDlgAlertTip::OnQuoteAlert(const DC_Contract&, const std::string& message) {
  {
    tarn::Lock lock(mutex_);
    model_.Add(message, tarn::Now());
  }
  tarn::PostWindowMessage(this, kMsgAlertFired);
}

tarn::AlertTipModel CDlgAlertTip::Model() const {
  tarn::Lock lock(mutex_);
  return model_;
}

bool CDlgAlertTip::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgAlertFired) {
    Place();
    if (!isVisible()) {
      setWindowOpacity(0.0);
      show();
      fade_->start();
    }
    update();
    return true;
  }
  return QWidget::event(e);
}

void CDlgAlertTip::Place() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  move(area.right() - width() + 1, area.bottom() - height() + 1);
}

CDlgAlertTip::Parts CDlgAlertTip::Layout() const {
  Parts p;
  const int w = width(), h = height(), m = Scaled(12), bar = Scaled(30), s = Scaled(20);
  p.title = QRect(m, 0, w - 2 * m - s, bar);
  p.close = QRect(w - m - s, (bar - s) / 2, s, s);
  p.time = QRect(m, bar + Scaled(8), w - 2 * m, Scaled(20));
  const int bottom = h - Scaled(34);
  p.text = QRect(m, p.time.bottom() + Scaled(6), w - 2 * m, bottom - p.time.bottom() - Scaled(10));
  p.back = QRect(m, bottom + Scaled(6), s, s);
  p.position = QRect(p.back.right() + Scaled(4), bottom + Scaled(6), Scaled(56), s);
  p.forward = QRect(p.position.right() + Scaled(4), bottom + Scaled(6), s, s);
  p.link = QRect(w - m - Scaled(70), bottom + Scaled(6), Scaled(70), s);
  return p;
}

void CDlgAlertTip::Back() {
  {
    tarn::Lock lock(mutex_);
    model_.Back();
  }
  update();
}

void CDlgAlertTip::Forward() {
  {
    tarn::Lock lock(mutex_);
    model_.Forward();
  }
  update();
}

void CDlgAlertTip::OpenHistory() { openHistory(new CDlgAllAlertInfo(parentWidget())); }

void CDlgAlertTip::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const Parts p = Layout();
  const QPoint at = e->position().toPoint();
  if (p.close.contains(at)) hide();
  else if (p.back.contains(at)) Back();
  else if (p.forward.contains(at)) Forward();
  else if (p.link.contains(at)) OpenHistory();
}

namespace {
// A small triangle pointing left or right, grey when disabled.
void Arrow(QPainter& g, const QRect& r, bool left, bool enabled) {
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  g.setPen(Qt::NoPen);
  g.setBrush(enabled ? t.title : tarn::ui::Blend(t.scale, t.background, 0.5));
  const QPointF c = QRectF(r).center();
  const double a = r.height() * 0.3;
  QPainterPath path;
  if (left) {
    path.moveTo(c.x() - a, c.y());
    path.lineTo(c.x() + a * 0.7, c.y() - a);
    path.lineTo(c.x() + a * 0.7, c.y() + a);
  } else {
    path.moveTo(c.x() + a, c.y());
    path.lineTo(c.x() - a * 0.7, c.y() - a);
    path.lineTo(c.x() - a * 0.7, c.y() + a);
  }
  path.closeSubpath();
  g.drawPath(path);
}
}  // namespace

void CDlgAlertTip::paintEvent(QPaintEvent*) {
  const tarn::AlertTipModel model = Model();
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const Parts p = Layout();
  QPainter g(this);
  g.setRenderHint(QPainter::Antialiasing);
  g.fillRect(rect(), tarn::ui::PanelColor());
  g.fillRect(QRect(0, 0, width(), p.title.bottom() + 1), t.menuBar);
  g.setPen(t.border);
  g.drawRect(rect().adjusted(0, 0, -1, -1));

  g.setFont(tarn::ui::UiFont(10, QFont::DemiBold));
  g.setPen(t.text);
  g.drawText(p.title, Qt::AlignVCenter | Qt::AlignLeft, ToQString(TXT("Tarn行情预警")));
  // The close control: a cross.
  g.setPen(QPen(t.text, 1.5));
  const QRect x = p.close.adjusted(Scaled(5), Scaled(5), -Scaled(5), -Scaled(5));
  g.drawLine(x.topLeft(), x.bottomRight());
  g.drawLine(x.topRight(), x.bottomLeft());

  const AlertLogEntry* entry = model.CurrentEntry();
  g.setFont(tarn::ui::MonoFont(9));
  g.setPen(t.scale);
  g.drawText(p.time, Qt::AlignVCenter | Qt::AlignLeft, ToQString(model.TimeText()));
  g.setFont(tarn::ui::UiFont(10.5));
  g.setPen(tarn::ui::FromColorref(entry ? static_cast<tarn::Colorref>(entry->colour) : 255));
  if (entry) g.drawText(p.text, Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, tarn::ui::MultiLine(entry->text));

  Arrow(g, p.back, true, model.CanGoBack());
  Arrow(g, p.forward, false, model.CanGoForward());
  g.setFont(tarn::ui::UiFont(9));
  g.setPen(t.text);
  g.drawText(p.position, Qt::AlignCenter, model.Empty() ? QString() : ToQString(model.PositionText()));
  QFont link = tarn::ui::UiFont(9);
  link.setUnderline(true);
  g.setFont(link);
  g.setPen(tarn::ui::AccentColor());
  g.drawText(p.link, Qt::AlignVCenter | Qt::AlignRight, ToQString(TXT("报警记录")));
}
