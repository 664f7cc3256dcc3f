// CDlgKeyWizard, the keyboard wizard: the small pop-up search window that opens when the user
// types on a page. It holds one search index (indicators, keyboard commands, workspace
// switches, every contract), lists the matches of each change of the typed text, and hands the
// chosen entry to the page that opened it (IKeyWizardNotify).
//
// There is one wizard in the process, made on first use (CDlgKeyWizard::Ensure) and then only
// hidden and shown; its index is built once, right after the window is made.
#pragma once

#include <QTimer>
#include <QWidget>

#include "quote/key_wizard_index.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;

// The page's side: it receives the chosen entry and names the window that gets the focus back.
class IKeyWizardNotify {
 public:
  virtual ~IKeyWizardNotify() = default;
  virtual void OnKeyWizardItem(tarn::WizardItem item) = 0;
  virtual QWidget* KeyWizardFocusWindow() = 0;
};

// A window of a workspace that takes a chosen entry from its page: the quote grid window a
// contract, a chart window a contract, an indicator or a period command.
class IKeyWizardTarget {
 public:
  virtual ~IKeyWizardTarget() = default;
  // True when the window used the entry.
  virtual bool ApplyWizardItem(const tarn::WizardItem& item) = 0;
};

class CDlgKeyWizard : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 311;
  static constexpr int kEditId = 1000;
  static constexpr int kListId = 1002;

  // The process's wizard (nullptr until the first Ensure, and after its view went).
  static CDlgKeyWizard* Instance();
  // The wizard, made with `view` (the main frame's active view) as its parent when there is none.
  static CDlgKeyWizard* Ensure(QWidget* view);

  explicit CDlgKeyWizard(QWidget* view);
  ~CDlgKeyWizard() override;

  void SetNotify(IKeyWizardNotify* notify) { notify_ = notify; }
  IKeyWizardNotify* Notify() const { return notify_; }

  // A key or character message meant for `target` (a window of the page, or the wizard's own
  // controls). True when the wizard took it.
  bool HandleKey(QObject* target, QEvent* e);
  // (Re)builds the index: the formula manager's indicators, the keyboard commands and the
  // quote library's contracts. Runs once from the zero timer after the window is made.
  void BuildIndex();
  bool IndexBuilt() const { return built_; }
  // Lists the matches of the edit's text.
  void Search();
  // Hands the selected entry to the notify target.
  void PickCurrent();
  // Places the wizard at the view's bottom-right, shows it with the edit cleared.
  void OpenAtView();

  QLineEdit* Edit() const { return edit_; }
  QListWidget* List() const { return list_; }
  const tarn::KeyWizardIndex& Index() const { return index_; }
  // The close box in the caption (local coordinates).
  QRect CloseBox() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  bool IsOwnControl(QObject* o) const;
  void Relayout();
  void HideWizard();

  QWidget* view_;
  QLineEdit* edit_;
  QListWidget* list_;
  QTimer buildTimer_;  // timer 1
  tarn::KeyWizardIndex index_;
  IKeyWizardNotify* notify_ = nullptr;
  bool built_ = false;
};
