#include "ui/dialog.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/fonts.h"
#include "ui/frameless_window.h"
#include "ui/theme.h"

namespace tarn::ui {

Dialog::Dialog(QWidget* parent, const QString& title, bool caption)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  if (caption) {
    caption_ = new TitleBar(this, TitleBar::kClose);
    caption_->setFixedHeight(Scaled(28));
    layout->addWidget(caption_);
  }
  body_ = new QWidget(this);
  layout->addWidget(body_, 1);
  SetTitle(title);
  connect(ThemeNotifier::Instance(), &ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

void Dialog::SetTitle(const QString& title) {
  setWindowTitle(title);
  if (caption_) caption_->SetTitle(title);
}

void Dialog::OnOk() { Finish(QDialog::Accepted); }
void Dialog::OnCancel() { Finish(QDialog::Rejected); }
void Dialog::reject() { OnCancel(); }

void Dialog::keyPressEvent(QKeyEvent* e) {
  if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter: {
        // A multi-line edit takes its own Enter (it reaches here only when read-only).
        QWidget* f = focusWidget();
        auto* te = qobject_cast<QTextEdit*>(f);
        auto* pe = qobject_cast<QPlainTextEdit*>(f);
        if ((te && !te->isReadOnly()) || (pe && !pe->isReadOnly())) break;
        e->accept();
        OnOk();
        return;
      }
      case Qt::Key_Escape:
        e->accept();
        OnCancel();
        return;
      default:
        break;
    }
  }
  QDialog::keyPressEvent(e);
}

void Dialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect().adjusted(1, 1, -1, -1), PanelColor());
  p.setPen(Theme().border);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tarn::ui
