// CKeyWizardRouter: a page's key routing to the keyboard wizard. Every key typed in a window of
// the page goes to the wizard first, unless it is for an edit control or is Enter or Space;
// before passing it on, the router makes the wizard (once, parented to the main view) and sets
// the page as its notify target. A printable character opens the wizard with it and does not
// reach the window it was typed in.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class IKeyWizardNotify;

class CKeyWizardRouter : public QObject {
  Q_OBJECT
 public:
  // `page`: the windows whose keys are routed; `view`: the wizard's parent; `notify`: the page's
  // handler of chosen entries.
  CKeyWizardRouter(QWidget* page, QWidget* view, IKeyWizardNotify* notify);
  ~CKeyWizardRouter() override;

  // Whether a key press for `target` goes to the wizard at all.
  bool Routes(QWidget* target, int key) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QPointer<QWidget> page_;
  QPointer<QWidget> view_;
  IKeyWizardNotify* notify_;
};
