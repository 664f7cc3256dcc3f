#include "app/gui/dlg_trade_reconect.h"

#include <QPainter>
#include <QVBoxLayout>

#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

CDlgTradeReconect::CDlgTradeReconect(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), CTradeListener(false),
      owner_(owner) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(tarn::ui::Scaled(22), tarn::ui::Scaled(16), tarn::ui::Scaled(22), tarn::ui::Scaled(16));
  text_ = new QLabel(tarn::ui::ToQString(TXT("交易已断开，正在进行自动重连...")), this);
  text_->setObjectName(QStringLiteral("1125"));
  text_->setFont(tarn::ui::UiFont(10.5));
  // Room for the longest notice (nine dots), so the text never jumps or clips.
  text_->setMinimumWidth(QFontMetrics(text_->font())
                             .horizontalAdvance(tarn::ui::ToQString(TXT("交易已断开，正在进行自动重连.........")) +
                                                QStringLiteral("  ")));
  layout->addWidget(text_);
  connect(&notice_, &QTimer::timeout, this, [this] { OnNoticeTimer(); });
  connect(&retry_, &QTimer::timeout, this, [this] { OnRetryTimer(); });
  attempt_.setSingleShot(true);
  connect(&attempt_, &QTimer::timeout, this, [this] { OnAttemptTimer(); });
  notice_.start(500);
  retry_.start(1000);
  StartListening();
}

CDlgTradeReconect::~CDlgTradeReconect() { StopListening(); }

void CDlgTradeReconect::OnTradeLogin(int code, const std::string&, const AccountTexts&) { logic_.OnTradeLogin(code); }
void CDlgTradeReconect::OnTradeDisconnected(const AccountTexts&) { logic_.OnTradeDisconnected(); }

void CDlgTradeReconect::OnNoticeTimer() {
  const tarn::TradeReconnectLogic::NoticeStep s = logic_.OnNoticeTimer(isVisible());
  if (s.hide) {
    if (isVisible()) hide();
    return;
  }
  text_->setText(tarn::ui::ToQString(s.text));
  if (s.show) {
    Place();
    show();
  }
}

void CDlgTradeReconect::OnRetryTimer() {
  if (logic_.OnRetryTimer()) attempt_.start(10000);
}

void CDlgTradeReconect::OnAttemptTimer() {
  attempt_.stop();
  logic_.OnAttemptTimer();
}

void CDlgTradeReconect::Place() {
  adjustSize();
  if (owner_) {
    const QRect o = owner_->window()->geometry();
    move(o.center() - QPoint(width() / 2, height() / 2));
  }
}

void CDlgTradeReconect::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), tarn::ui::PanelColor());
  p.setPen(tarn::ui::Theme().hint);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const QString css = QStringLiteral("color: %1;").arg(tarn::ui::Theme().hint.name());
  if (text_->styleSheet() != css) text_->setStyleSheet(css);
}
