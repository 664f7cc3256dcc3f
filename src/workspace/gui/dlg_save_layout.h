// CDlgSaveLayout: picks a saved layout's name. In save mode the user types a name (offered: the
// tab's name), checked for emptiness and invalid characters, and an existing name asks before
// it is overwritten; in open mode ("打开布局") the name comes from the list only.
#pragma once

#include <string>

#include "ui/dialog.h"

class QLineEdit;
class QListWidget;

class CDlgSaveLayout : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  enum Mode { kSave, kOpen };
  CDlgSaveLayout(Mode mode, const std::string& offered, QWidget* parent = nullptr);

  // The chosen name (GBK, trimmed) after OK.
  const std::string& Name() const { return chosen_; }
  void OnOk() override;

  QListWidget* list = nullptr;
  QLineEdit* name = nullptr;

 private:
  Mode mode_;
  std::string chosen_;
};
