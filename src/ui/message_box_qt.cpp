#include "ui/message_box_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "platform/message_box.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

namespace tarn::ui {
namespace {

MsgAnswer ShowBox(const MessageBoxRequest& req, const QString& defaultTitle) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(req.title.empty() ? defaultTitle : ToQString(req.title));
  box.setText(ToQString(req.text));
  box.setFont(UiFont());
  switch (req.icon) {
    case MsgIcon::Info: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::None: break;
  }
  QMessageBox::StandardButtons buttons;
  switch (req.buttons) {
    case MsgButtons::Ok: buttons = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  box.setStandardButtons(buttons);
  if (QAbstractButton* b = box.button(QMessageBox::Ok)) b->setText(QStringLiteral("确定"));
  if (QAbstractButton* b = box.button(QMessageBox::Cancel)) b->setText(QStringLiteral("取消"));
  if (QAbstractButton* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("是"));
  if (QAbstractButton* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("否"));
  box.setEscapeButton(req.buttons == MsgButtons::Ok       ? QMessageBox::Ok
                      : req.buttons == MsgButtons::YesNo ? QMessageBox::No
                                                         : QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: return req.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
  }
}

}  // namespace

void InstallMessageBoxHandler(const QString& defaultTitle) {
  SetMessageBoxHandler([defaultTitle](const MessageBoxRequest& req) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return MsgAnswer::Cancel;
    if (QThread::currentThread() == app->thread()) return ShowBox(req, defaultTitle);
    MsgAnswer answer = MsgAnswer::Cancel;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowBox(req, defaultTitle); }, Qt::BlockingQueuedConnection);
    return answer;
  });
}

void RemoveMessageBoxHandler() { SetMessageBoxHandler(nullptr); }

}  // namespace tarn::ui
