// CDlgInput: one line of text to enter, with a title (the trade grid's remark editor).
#pragma once

#include <QLineEdit>
#include <string>

#include "ui/dialog.h"

class CDlgInput : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // `title` and `text` are GBK.
  CDlgInput(const std::string& title, const std::string& text, QWidget* parent = nullptr);
  // The text entered (GBK).
  std::string Text() const;

  QLineEdit* edit = nullptr;
};
