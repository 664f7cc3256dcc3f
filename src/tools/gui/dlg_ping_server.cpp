#include "tools/gui/dlg_ping_server.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

CDlgPingServer::CDlgPingServer(std::vector<tarn::PingTarget> targets, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("Ping服务器")), targets_(std::move(targets)) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(tarn::ui::Scaled(12), tarn::ui::Scaled(10), tarn::ui::Scaled(12), tarn::ui::Scaled(12));
  output = new QPlainTextEdit(Body());
  output->setReadOnly(true);
  output->setFont(tarn::ui::MonoFont(9.5));
  output->setLineWrapMode(QPlainTextEdit::NoWrap);
  output->setMinimumSize(tarn::ui::Scaled(560), tarn::ui::Scaled(260));
  root->addWidget(output, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  startButton = new QPushButton(QStringLiteral("开始"), Body());
  stopButton = new QPushButton(QStringLiteral("停止"), Body());
  stopButton->setEnabled(false);
  startButton->setDefault(true);
  row->addWidget(startButton);
  row->addWidget(stopButton);
  root->addLayout(row);
  connect(startButton, &QPushButton::clicked, this, [this] { Start(); });
  connect(stopButton, &QPushButton::clicked, this, [this] { Stop(); });
  startButton->setFocus();
}

CDlgPingServer::~CDlgPingServer() { tarn::PingService::Instance().Stop(this); }

void CDlgPingServer::Start() {
  startButton->setEnabled(false);
  stopButton->setEnabled(true);
  stopButton->setFocus();
  output->clear();
  if (!targets_.empty()) tarn::PingService::Instance().Start(this, targets_);
}

void CDlgPingServer::Stop() {
  tarn::PingService::Instance().Stop(this);
  stopButton->setEnabled(false);
  startButton->setEnabled(true);
  startButton->setFocus();
}

void CDlgPingServer::OnOk() {
  if (startButton->isEnabled()) Start();
  else Stop();
}

void CDlgPingServer::PostLine(std::string line) { tarn::PostTextMessage(this, kMsgPingLine, std::move(line)); }

bool CDlgPingServer::event(QEvent* e) {
  if (e->type() == static_cast<QEvent::Type>(kMsgPingLine)) {
    Append(tarn::ui::ToQString(static_cast<tarn::TextMessage*>(e)->Text()));
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

void CDlgPingServer::Append(const QString& line) {
  QTextCursor c = output->textCursor();
  c.movePosition(QTextCursor::End);
  c.insertText(output->document()->isEmpty() ? line : QStringLiteral("\n") + line);
  output->setTextCursor(c);
  output->ensureCursorVisible();
}
