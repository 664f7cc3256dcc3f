// Pieces the engines' dialogs share: a read-only list table filled from GBK row texts, a
// button, the OK/Cancel box of an edit dialog, and the contract chooser hook.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <functional>
#include <string>
#include <vector>

#include "data/quote_records.h"

namespace tarn::ui {
class Dialog;
}

namespace tarn {

// Opens the contract selection dialog (the quote subsystem sets it) on `contract` and returns
// true with the chosen contract in it; false when the user cancelled. Until a chooser is set
// the chooser buttons are disabled.
using ContractChooser = std::function<bool(QWidget* parent, DC_Contract* contract)>;
void SetContractChooser(ContractChooser chooser);
const ContractChooser& GetContractChooser();

namespace ui {

// A list of whole rows: one selected row at a time, nothing editable, figures right-aligned
// (every column but the first `leftColumns`).
QTableWidget* MakeListTable(QWidget* parent, const std::vector<std::string>& titlesGbk, int leftColumns);
// Fills the table with rows of GBK texts, keeping the selected row when it still exists.
void FillListTable(QTableWidget* table, const std::vector<std::vector<std::string>>& rows);
// The selected row, -1 for none.
int SelectedRow(const QTableWidget* table);

QPushButton* MakeButton(QWidget* parent, const QString& text, std::function<void()> onClick);
// A right-aligned edit for a number, at least `width` (unscaled) pixels wide.
QLineEdit* MakeNumberEdit(QWidget* parent, int width);
// "确定" / "取消" calling the dialog's OnOk / OnCancel.
QWidget* MakeOkCancel(Dialog* dialog);

// Shows a GBK text with "\r\n" line breaks in a widget ("\r" is dropped).
QString MultiLine(const std::string& gbk);

// The pop-up search list of a contract box: while the user types, the contracts the text finds
// (tarn::FindContracts) are listed under the box, floating over the dialog. Up and Down move
// through them, Enter or a click picks one (onChosen), Escape closes the list.
class ContractSearchList : public QListWidget {
  Q_OBJECT
 public:
  static constexpr std::size_t kMaxShown = 30;
  ContractSearchList(QLineEdit* edit, std::vector<DC_Contract> contracts);
  std::function<void(const DC_Contract&)> onChosen;
  // Lists what the text finds and shows the list; hides it when nothing is found.
  void Search(const QString& text);
  // Picks the current entry (the first one unless the user moved); false when none is listed.
  bool PickCurrent();
  const std::vector<DC_Contract>& Shown() const { return shown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
  QLineEdit* edit_;
  std::vector<DC_Contract> all_;
  std::vector<DC_Contract> shown_;
};

}  // namespace ui
}  // namespace tarn
