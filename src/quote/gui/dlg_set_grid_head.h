// CDlgSetGridHead, the header settings: the data kinds on the left, the grid's columns on the
// right, and buttons that add, remove and move them. OK hands back the chosen kinds.
#pragma once

#include <vector>

#include "quote/grid_head_editor.h"
#include "ui/dialog.h"

class QListWidget;
class QPushButton;

class CDlgSetGridHead : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgSetGridHead(std::vector<int> columnKinds, QWidget* parent = nullptr);

  // The chosen kinds (after OK: the new column set).
  const std::vector<int>& Kinds() const { return editor_.Chosen(); }
  void OnAdd();
  void OnRemove();
  void OnUp();
  void OnDown();
  void OnOk() override;

  QListWidget* available = nullptr;
  QListWidget* chosen = nullptr;
  QPushButton* addButton = nullptr;
  QPushButton* removeButton = nullptr;
  QPushButton* upButton = nullptr;
  QPushButton* downButton = nullptr;

 private:
  void Apply(const tarn::GridHeadEditor::Result& r);
  void FillChosen(int selection);

  tarn::GridHeadEditor editor_;
};
