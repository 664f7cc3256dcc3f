#include "app/gui/dlg_login.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "platform/program_dir.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

namespace {
// The choice box's rows are 20 pixels high, scaled.
class RowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
    QSize s = QStyledItemDelegate::sizeHint(o, i);
    s.setHeight(tarn::ui::Scaled(20));
    return s;
  }
};
}  // namespace

CDlgLogin::CDlgLogin(bool tradeOnly, QWidget* parent)
    : tarn::ui::Dialog(parent, tarn::ui::ToQString(TXT("Tarn交易分析终端"))), flow_(tradeOnly) {
  using tarn::ui::Scaled;
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(28), Scaled(74), Scaled(28), Scaled(14));
  root->setSpacing(Scaled(10));

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(Scaled(10));
  form->setVerticalSpacing(Scaled(10));
  account = new QLineEdit(Body());
  password = new QLineEdit(Body());
  password->setEchoMode(QLineEdit::Password);
  server = new QComboBox(Body());
  server->setItemDelegate(new RowDelegate(server));
  for (QWidget* w : {static_cast<QWidget*>(account), static_cast<QWidget*>(password), static_cast<QWidget*>(server)})
    w->setMinimumWidth(Scaled(230));
  form->addRow(QStringLiteral("账号:"), account);
  form->addRow(QStringLiteral("密码:"), password);
  form->addRow(QStringLiteral("服务器:"), server);
  root->addLayout(form);

  progress = new QLabel(Body());
  progress->setAlignment(Qt::AlignCenter);
  progress->setMinimumHeight(Scaled(22));
  progress->setWordWrap(true);
  root->addWidget(progress);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  okButton = new QPushButton(QStringLiteral("登陆"), Body());
  cancelButton = new QPushButton(QStringLiteral("取消"), Body());
  okButton->setDefault(true);
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  buttons->addStretch(1);
  root->addLayout(buttons);

  version = new QLabel(Body());
  version->setAlignment(Qt::AlignRight);
  version->setStyleSheet(QStringLiteral("color: %1;").arg(tarn::ui::Theme().scale.name()));
  root->addWidget(version);

  connect(okButton, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });

  flow_.SetPoster([this](int message, int code) { tarn::PostWindowMessage(this, message, code); });
  const tarn::LoginView v = flow_.Open();
  for (const std::string& name : v.serverNames) server->addItem(tarn::ui::ToQString(name));
  server->setCurrentIndex(v.selected);
  account->setText(tarn::ui::ToQString(v.account));
  version->setText(tarn::ui::ToQString(v.versionLine));
  setMinimumWidth(Scaled(400));
  if (v.focusPassword) password->setFocus();
  else account->setFocus();
}

CDlgLogin::~CDlgLogin() { flow_.SetPoster(nullptr); }

void CDlgLogin::OnOk() {
  if (!okButton->isEnabled()) return;
  Apply(flow_.Ok(tarn::ui::ToGbk(account->text()), tarn::ui::ToGbk(password->text()), server->currentIndex()));
}

bool CDlgLogin::event(QEvent* e) {
  const int type = static_cast<int>(e->type());
  if (type == tarn::kMsgQuoteLoginResult || type == tarn::kMsgTradeLoginResult) {
    const int code = static_cast<int>(static_cast<tarn::WindowMessage*>(e)->WParam());
    Apply(type == tarn::kMsgQuoteLoginResult ? flow_.OnQuoteResult(code) : flow_.OnTradeResult(code));
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

void CDlgLogin::Apply(const tarn::LoginEffects& fx) {
  if (fx.progress) progress->setText(tarn::ui::ToQString(*fx.progress));
  if (fx.buttonsEnabled) {
    okButton->setEnabled(*fx.buttonsEnabled);
    cancelButton->setEnabled(*fx.buttonsEnabled);
  }
  if (fx.closeOk) Finish(QDialog::Accepted);
}

void CDlgLogin::paintEvent(QPaintEvent* e) {
  tarn::ui::Dialog::paintEvent(e);
  // The header: the terminal's icon and name over a band in the caption's colour.
  using tarn::ui::Scaled;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int top = Body()->geometry().top();
  const QRect band(1, top, width() - 2, Scaled(60));
  QLinearGradient g(band.topLeft(), band.bottomLeft());
  g.setColorAt(0, tarn::ui::Blend(tarn::ui::Theme().menuBar, tarn::ui::AccentColor(), 0.35));
  g.setColorAt(1, tarn::ui::PanelColor());
  p.fillRect(band, g);
  const QPixmap icon(QString::fromStdString(tarn::Path("\\icon\\tarnclient.png")));
  int x = Scaled(28);
  if (!icon.isNull()) {
    p.drawPixmap(QRect(x, top + Scaled(14), Scaled(32), Scaled(32)), icon);
    x += Scaled(42);
  }
  p.setPen(tarn::ui::Theme().text);
  p.setFont(tarn::ui::UiFont(14, QFont::DemiBold));
  p.drawText(QRect(x, top + Scaled(10), width() - x - Scaled(10), Scaled(40)), Qt::AlignVCenter | Qt::AlignLeft,
             tarn::ui::ToQString(TXT("Tarn交易分析终端")));
}
