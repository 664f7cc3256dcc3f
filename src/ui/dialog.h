// The base of every dialog: a frameless dialog with the terminal's caption (title and close
// button, moved by dragging), its body below, and the keyboard rules of every dialog:
// Enter is OK, Escape is Cancel, and the close box is Cancel too.
//
// A derived dialog puts its controls into Body() and overrides OnOk / OnCancel when it must
// check or refuse; the defaults accept and reject.
#pragma once

#include <QDialog>

class QVBoxLayout;

namespace tarn::ui {

class TitleBar;

class Dialog : public QDialog {
  Q_OBJECT
 public:
  explicit Dialog(QWidget* parent = nullptr, const QString& title = QString(), bool caption = true);

  // The area below the caption; give it a layout and controls.
  QWidget* Body() const { return body_; }
  TitleBar* Caption() const { return caption_; }
  void SetTitle(const QString& title);

  // Enter (also from the OK button): accepts by default.
  virtual void OnOk();
  // Escape, the close box, the Cancel button: rejects by default.
  virtual void OnCancel();

  // The close box and Escape both end here.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  // Ends the dialog with a result without passing OnOk / OnCancel again.
  void Finish(int result) { QDialog::done(result); }

 private:
  TitleBar* caption_ = nullptr;
  QWidget* body_ = nullptr;
};

}  // namespace tarn::ui
