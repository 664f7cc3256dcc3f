#include "app/gui/mo_state_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/gui/dlg_login.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

CMoStateBar::CMoStateBar(QWidget* parent) : QWidget(parent), CTradeListener(false) {
  setObjectName(QStringLiteral("1003"));
  setFixedHeight(tarn::ui::Scaled(22));
  setAttribute(Qt::WA_OpaquePaintEvent);
  Register();
  StartListening();
  connect(&tick_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
  tick_.start(500);
  retry_.setSingleShot(false);
  connect(&retry_, &QTimer::timeout, this, [this] { OnRetry(); });
  openTradeLogin = [this] {
    CDlgLogin dlg(true, window());
    dlg.exec();
  };
}

CMoStateBar::~CMoStateBar() {
  StopListening();
  Detach();
}

QSize CMoStateBar::sizeHint() const { return QSize(tarn::ui::Scaled(600), tarn::ui::Scaled(22)); }

void CMoStateBar::OnConnectionLost(int) {
  QMetaObject::invokeMethod(this, [this] { StartRetry(); }, Qt::QueuedConnection);
}

void CMoStateBar::OnTradeLogin(int code, const std::string&, const AccountTexts&) { logic_.OnTradeLogin(code); }

void CMoStateBar::OnTradeDisconnected(const AccountTexts&) { logic_.OnTradeDisconnected(); }

void CMoStateBar::StartRetry() { retry_.start(logic_.RetryDelayMs()); }

void CMoStateBar::OnRetry() {
  retry_.stop();
  logic_.OnRetryTimer();
  update();
}

void CMoStateBar::paintEvent(QPaintEvent*) {
  using tarn::ui::FromColorref;
  using tarn::ui::Scaled;
  QPainter p(this);
  p.fillRect(rect(), FromColorref(tarn::kStatusBarBack));
  p.setFont(tarn::ui::UiFont(9));
  const QFontMetrics fm(p.font());
  const int y = 0, h = height();
  int x = Scaled(4);
  const QString title = tarn::ui::ToQString(TXT("Tarn交易分析终端"));
  p.setPen(FromColorref(tarn::kStatusBarTitle));
  p.drawText(QRect(x, y, fm.horizontalAdvance(title) + 2, h), Qt::AlignVCenter | Qt::AlignLeft, title);
  x += fm.horizontalAdvance(title) + Scaled(20);
  const QString clock = tarn::ui::ToQString(tarn::StatusBarLogic::ClockText(tarn::Now()));
  p.setPen(FromColorref(tarn::kStatusBarClock));
  p.drawText(QRect(x, y, fm.horizontalAdvance(clock) + 2, h), Qt::AlignVCenter | Qt::AlignLeft, clock);

  IQuoteDataCenter* center = GetQuoteDataCenter();
  const tarn::StateText quote = tarn::StatusBarLogic::QuoteState(center && center->IsConnected());
  const tarn::StateText trade = logic_.NextTradeState();
  const QString qt = tarn::ui::ToQString(quote.text), tt = tarn::ui::ToQString(trade.text);
  const int tw = fm.horizontalAdvance(tt) + 2, qw = fm.horizontalAdvance(qt) + 2;
  const int tx = width() - Scaled(10) - tw;
  const int qx = tx - Scaled(16) - qw;
  p.setPen(FromColorref(quote.color));
  p.drawText(QRect(qx, y, qw, h), Qt::AlignVCenter | Qt::AlignLeft, qt);
  tradeRect_ = QRect(tx, y, tw, h);
  p.setPen(FromColorref(trade.color));
  p.drawText(tradeRect_, Qt::AlignVCenter | Qt::AlignLeft, tt);
}

void CMoStateBar::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && !logic_.TradeUp() && tradeRect_.contains(e->position().toPoint()) &&
      openTradeLogin)
    openTradeLogin();
}
