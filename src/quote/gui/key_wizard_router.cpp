#include "quote/gui/key_wizard_router.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "quote/gui/dlg_key_wizard.h"

namespace {

bool IsEditControl(QWidget* w) {
  if (qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
      qobject_cast<QAbstractSpinBox*>(w))
    return true;
  auto* combo = qobject_cast<QComboBox*>(w);
  return combo && combo->isEditable();
}

}  // namespace

CKeyWizardRouter::CKeyWizardRouter(QWidget* page, QWidget* view, IKeyWizardNotify* notify)
    : QObject(page), page_(page), view_(view), notify_(notify) {
  qApp->installEventFilter(this);
}

CKeyWizardRouter::~CKeyWizardRouter() { qApp->removeEventFilter(this); }

bool CKeyWizardRouter::Routes(QWidget* target, int key) const {
  if (!page_ || !target || !page_->isVisible()) return false;
  if (target != page_ && !page_->isAncestorOf(target)) return false;
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) return false;
  return !IsEditControl(target);
}

bool CKeyWizardRouter::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return false;
  auto* target = qobject_cast<QWidget*>(watched);
  auto* k = static_cast<QKeyEvent*>(e);
  if (!Routes(target, k->key())) return false;
  CDlgKeyWizard* wizard = CDlgKeyWizard::Ensure(view_ ? view_.data() : page_->window());
  wizard->SetNotify(notify_);
  return wizard->HandleKey(target, e);
}
