// CDlgSelContract, the contract selection: a tab per block, the commodities of an exchange
// ("品种列表") and their contracts ("合约代码", "合约名称"); in list mode the chosen contracts
// ("已选合约") too. OK without a selection in single mode says "请选择一个合约" and stays.
#pragma once

#include <memory>
#include <vector>

#include "quote/contract_selection.h"
#include "ui/dialog.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTabBar;
class QTreeWidget;

class CDlgSelContract : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // `listMode`: editing a block, starting with `chosen`.
  explicit CDlgSelContract(bool listMode, std::vector<DC_Contract> chosen = {}, QWidget* parent = nullptr);

  tarn::ContractSelection& Selection() { return *selection_; }
  // After OK: the selected contract (single mode) or the chosen list (list mode).
  const DC_Contract& Contract() const { return answer_.contract; }
  const std::vector<DC_Contract>& List() const { return answer_.list; }
  void OnOk() override;
  void OnChoose();
  void OnUnchoose();

  QTabBar* tabs = nullptr;
  QLabel* commodityTitle = nullptr;
  QListWidget* commodities = nullptr;
  QTreeWidget* contracts = nullptr;
  QListWidget* chosen = nullptr;
  QPushButton* chooseButton = nullptr;
  QPushButton* unchooseButton = nullptr;

 private:
  void FillCommodities();
  void FillContracts();
  void FillChosen();

  std::unique_ptr<tarn::ContractSelection> selection_;
  tarn::ContractSelection::Answer answer_;
};
