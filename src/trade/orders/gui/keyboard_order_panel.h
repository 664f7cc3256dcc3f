// Keyboard ordering's windows: the panel CWndKeybordOrderPanel (contract, multiplier, the
// quantity a key sends, the book, "启用键盘下单", "配置", "全平", "全撤") and the configuration
// dialog CDlgSetKeybordOrder.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "trade/orders/gui/order_panel_base.h"
#include "trade/orders/key_order_table.h"
#include "ui/dialog.h"

class CDlgSetKeybordOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // Edits a copy of `table`; Table() is the edited copy after OK.
  explicit CDlgSetKeybordOrder(const tarn::KeyOrderTable& table, QWidget* parent = nullptr);
  const tarn::KeyOrderTable& Table() const { return table_; }

  void AddProduct();
  void RemoveProduct();
  void AddBinding();
  void RemoveBinding();
  void Fill();

  QComboBox* product = nullptr;       // the commodities the quote library lists
  QLineEdit* productQuantity = nullptr;
  QTableWidget* products = nullptr;
  QLineEdit* key = nullptr;
  QComboBox* action = nullptr;
  QComboBox* offset = nullptr;
  QComboBox* priceType = nullptr;
  QLineEdit* ticks = nullptr;
  QTableWidget* bindings = nullptr;
  QCheckBox* cancelFirst = nullptr;

 private:
  tarn::KeyOrderTable table_;
  std::vector<std::string> productKeys_;  // the combo's keys
  std::vector<std::string> shownProducts_;
  std::vector<uint8_t> shownBindings_;
};

namespace tarn {
// "配置" and the main menu's "快捷下单设置": the dialog on a copy of the table; OK replaces the
// table and writes the file at once. `run` shows the dialog (default exec()).
bool ConfigureKeyOrders(QWidget* parent, const std::function<int(QDialog&)>& run = nullptr);
}  // namespace tarn

class CWndKeybordOrderPanel : public tarn::OrderPanelBase {
  Q_OBJECT
 public:
  explicit CWndKeybordOrderPanel(QWidget* parent = nullptr);
  ~CWndKeybordOrderPanel() override;

  // A typed character of the application (the panel and its parents visible); true: handled.
  bool Dispatch(uint8_t character);
  void ToggleEnabled();
  double Multiplier() const;
  void StepMultiplier(double delta);

  QLineEdit* multiplier = nullptr;
  QLabel* quantity = nullptr;
  QLabel* ask = nullptr;
  QLabel* bid = nullptr;
  QPushButton* enable = nullptr;
  // How the dispatch waits after cancelling (default: blocks the UI thread).
  std::function<void(int)> wait;

 protected:
  void Refresh() override;
  void OnContractChanged() override {}
  void OnPickedPrice(double) override {}
  void SetQuantityText(const std::string&) override {}
};

namespace tarn {
// The keyboard panel that takes the application's typed characters (nullptr: none).
CWndKeybordOrderPanel* KeyboardOrderPanel();
// Whether keyboard ordering may take a typed character now: no modal dialog is open and the
// focus is in no text input (line or text edit, spin box, editable combo box), so that a "1"
// typed into a quantity box is never an order key.
bool KeyOrderingMayTake();
// Hands a typed character to the keyboard panel while it and its parents are visible and
// keyboard ordering may take it; true when the character was taken.
bool DispatchTypedCharacter(uint8_t character);
}  // namespace tarn
