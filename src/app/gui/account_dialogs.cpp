#include "app/gui/account_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cstring>

#include "app/account_checks.h"
#include "app/login_session.h"
#include "app/server_config.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

namespace {
QDialogButtonBox* OkCancel(tarn::ui::Dialog* d, const QString& okText) {
  auto* box = new QDialogButtonBox(d->Body());
  QPushButton* ok = box->addButton(okText, QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, d, [d] { d->OnOk(); });
  QObject::connect(cancel, &QPushButton::clicked, d, [d] { d->OnCancel(); });
  return box;
}
}  // namespace

// ---------------------------------------------------------------------------------------------

CDlgModiPwd::CDlgModiPwd(QWidget* parent) : tarn::ui::Dialog(parent, QStringLiteral("修改密码")), CTradeListener(false) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(20), Scaled(14), Scaled(20), Scaled(12));
  root->setSpacing(Scaled(10));
  auto* form = new QFormLayout;
  form->setVerticalSpacing(Scaled(10));
  oldPassword = new QLineEdit(Body());
  newPassword = new QLineEdit(Body());
  confirmation = new QLineEdit(Body());
  for (QLineEdit* e : {oldPassword, newPassword, confirmation}) {
    e->setEchoMode(QLineEdit::Password);
    e->setMinimumWidth(Scaled(200));
  }
  form->addRow(QStringLiteral("原密码:"), oldPassword);
  form->addRow(QStringLiteral("新密码:"), newPassword);
  form->addRow(QStringLiteral("确认新密码:"), confirmation);
  root->addLayout(form);
  root->addWidget(OkCancel(this, QStringLiteral("确定")));
  oldPassword->setFocus();
  StartListening();
}

CDlgModiPwd::~CDlgModiPwd() { StopListening(); }

void CDlgModiPwd::OnOk() {
  const std::string o = ToGbk(oldPassword->text()), n = ToGbk(newPassword->text()), c = ToGbk(confirmation->text());
  if (const auto error = tarn::CheckPasswordChange(o, n, c)) {
    tarn::MessageBox(*error);
    return;
  }
  sentPassword_ = n;
  if (!tarn::SendPasswordChange(o, n)) tarn::MessageBox(TXT("连接服务器失败"));
  // The dialog stays open until the answer comes.
}

void CDlgModiPwd::OnPasswordChanged(const AccountTexts&, const PasswordChangeResult& result) {
  {
    tarn::Lock lock(mutex_);
    result_ = result;
  }
  tarn::PostWindowMessage(this, kMsgTradeAnswer);
}

bool CDlgModiPwd::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgTradeAnswer) {
    PasswordChangeResult r;
    {
      tarn::Lock lock(mutex_);
      r = result_;
    }
    if (r.code == 0 && !sentPassword_.empty() && tarn::LoginSession::HasTradeLogin()) {
      // The reconnection re-sends the stored login: it must carry the new password from now.
      tarn::TradeLoginParams p = tarn::LoginSession::TradeLogin();
      p.texts.password = sentPassword_;
      tarn::LoginSession::SetTradeLogin(p);
    }
    tarn::MessageBox(tarn::PasswordChangeAnswer(r));
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

// ---------------------------------------------------------------------------------------------

CDlgShowSettleInfo::CDlgShowSettleInfo(QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("结算单查询")), CTradeListener(false) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(4), Scaled(8), Scaled(4), Scaled(4));
  root->setSpacing(Scaled(6));
  auto* row = new QHBoxLayout;
  row->setContentsMargins(Scaled(8), 0, Scaled(8), 0);
  row->addWidget(new QLabel(QStringLiteral("结算日期:"), Body()));
  date = new QDateEdit(QDate::currentDate().addDays(-1), Body());
  date->setCalendarPopup(true);
  date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  row->addWidget(date);
  queryButton = new QPushButton(QStringLiteral("查询"), Body());
  queryButton->setDefault(true);
  row->addWidget(queryButton);
  row->addStretch(1);
  root->addLayout(row);
  statement = new QPlainTextEdit(Body());
  statement->setReadOnly(true);
  statement->setLineWrapMode(QPlainTextEdit::NoWrap);
  statement->setFont(tarn::ui::MonoFont(10));
  statement->setMinimumSize(Scaled(720), Scaled(460));
  root->addWidget(statement, 1);
  connect(queryButton, &QPushButton::clicked, this, [this] { Query(); });
  date->setFocus();
  StartListening();
}

CDlgShowSettleInfo::~CDlgShowSettleInfo() { StopListening(); }

void CDlgShowSettleInfo::Query() {
  const QDate d = date->date();
  if (ITradeApi* api = GetTradeApi()) api->QuerySettlement(tarn::SettlementDate(d.year(), d.month(), d.day()));
}

// The dialog has no OK: Enter queries, Escape closes.
void CDlgShowSettleInfo::OnOk() { Query(); }

void CDlgShowSettleInfo::OnSettlementInfo(int, const std::string& text) {
  {
    tarn::Lock lock(mutex_);
    text_ = text;
  }
  tarn::PostWindowMessage(this, kMsgTradeAnswer);
}

bool CDlgShowSettleInfo::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgTradeAnswer) {
    std::string text;
    {
      tarn::Lock lock(mutex_);
      text = text_;
    }
    statement->setPlainText(ToQString(text));
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

// ---------------------------------------------------------------------------------------------

CDlgAbout::CDlgAbout(QWidget* parent) : tarn::ui::Dialog(parent, QStringLiteral("关于 TarnClient")) {
  version_ = ToQString(tarn::Format(TXT("版本号:%s"), tarn::VersionText()));
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(24), Scaled(18), Scaled(24), Scaled(14));
  root->setSpacing(Scaled(10));
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(Body());
  const QPixmap pm(QString::fromStdString(tarn::Path("\\icon\\tarnclient.png")));
  if (!pm.isNull()) icon->setPixmap(pm.scaled(Scaled(48), Scaled(48), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  row->addWidget(icon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  auto* name = new QLabel(ToQString(TXT("Tarn交易分析终端")), Body());
  name->setFont(tarn::ui::UiFont(13, QFont::DemiBold));
  texts->addWidget(name);
  texts->addWidget(new QLabel(version_, Body()));
  auto* note = new QLabel(QStringLiteral("期货行情分析与交易终端"), Body());
  note->setStyleSheet(QStringLiteral("color: %1;").arg(tarn::ui::Theme().scale.name()));
  texts->addWidget(note);
  row->addLayout(texts, 1);
  root->addLayout(row);
  auto* box = new QDialogButtonBox(Body());
  QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  root->addWidget(box);
  setMinimumWidth(Scaled(340));
}

QString CDlgAbout::VersionLine() const { return version_; }
