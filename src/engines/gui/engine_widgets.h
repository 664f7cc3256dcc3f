// Pieces the engines' dialogs share: a read-only list table filled from GBK row texts, a
// button, the OK/Cancel box of an edit dialog, and the contract chooser hook.
#pragma once

#include <QLineEdit>
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

}  // namespace ui
}  // namespace tarn
