// CWndQuoteGird, the quote grid window: a caption (the block's name, the "▼" drop-down of the six
// display switches, and close and maximise when the host allows them), the grid (CQuoteGridCtrl)
// and the block tab bar below it. It shows the block the tab bar chooses, reloads when the
// user changes that block, runs the context menu, and hands the selected contract to the
// trading library and to the hosting chart container.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "quote/grid_menu.h"
#include "quote/gui/dlg_key_wizard.h"
#include "quote/user_block_store.h"

class BlockTabBar;
class CQuoteGridCtrl;
class QMenu;
class QToolButton;
namespace tarn::ui {
class CaptionButton;
}

// The window that hosts a grid window (the chart container of a workspace).
class IQuoteGridHost {
 public:
  virtual ~IQuoteGridHost() = default;
  virtual tarn::GridHostInfo HostInfo() const = 0;
  // A row was double-clicked: the host takes the contract and the block, and with `showChart`
  // switches to its K-line chart.
  virtual void ShowContract(const DC_Contract& contract, const std::string& block, bool showChart) = 0;
  // The selected contract, when the host shows another.
  virtual void FollowContract(const DC_Contract& contract) = 0;
  virtual std::string HostContractKey() const = 0;
};

class CWndQuoteGird : public QWidget, public IBlockNotify, public IKeyWizardTarget {
  Q_OBJECT
 public:
  explicit CWndQuoteGird(QWidget* parent = nullptr, IQuoteGridHost* host = nullptr);
  ~CWndQuoteGird() override;

  CQuoteGridCtrl* Grid() const { return grid_; }
  BlockTabBar* BlockBar() const { return blockBar_; }
  IQuoteGridHost* Host() const { return host_; }
  void SetHost(IQuoteGridHost* host);

  // The block shown (its code, "" before the first); showing a block sets the grid's rows.
  const std::string& BlockName() const { return block_; }
  void ShowBlock(const std::string& code);
  // Fills the tab bar again (the library's lists, the user's blocks) and shows `code` (the
  // current block when empty; the first block when that is gone).
  void RefreshBlocks(const std::string& code = std::string());
  const DC_Contract& CurrentContract() const { return contract_; }
  // Selects a contract's row (on its exchange's block when the shown block lacks it) without
  // handing it to the host: the host keeps what it shows. False when no block has the contract.
  bool SelectContract(const DC_Contract& contract);

  // The quote alert dialog for a contract, when the alert engine is part of the terminal.
  using AlertHook = std::function<void(QWidget* parent, const DC_Contract& contract)>;
  static void SetQuoteAlertHook(AlertHook hook);
  static bool HasQuoteAlertHook();

  // Told when the block or the selected contract changes (the main view remembers both).
  std::function<void(const std::string& block)> onBlockChanged;
  std::function<void(const DC_Contract& contract)> onContractChanged;
  // Dialogs are opened through this so that tests can answer them (default: exec).
  std::function<int(QDialog* dialog)> runDialog;

  // The context menu for a row (-1: not on a row), as entries and as a menu.
  std::vector<tarn::GridMenuEntry> MenuEntries(int row) const;
  QMenu* BuildContextMenu(int row, QWidget* parent = nullptr);
  // The caption's drop-down: the six switches, ticked when on.
  QMenu* BuildSwitchMenu(QWidget* parent = nullptr);
  void RunMenuCommand(int id, int row);

  // A keyboard wizard entry: a contract is selected (on its exchange's block when the shown
  // block lacks it) and handed to the host as a double-click would; "自选板块" shows "USER".
  bool ApplyWizardItem(const tarn::WizardItem& item) override;

  void OnUserBlockChanged(const std::string& block) override;
  void OnBlockEvent(const std::string& block, int code) override;

  QToolButton* SwitchButton() const { return switchButton_; }
  tarn::ui::CaptionButton* CloseButton() const { return close_; }
  tarn::ui::CaptionButton* MaximizeButton() const { return maximize_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void LayoutCaption();
  void OnDoubleClicked(const DC_Contract& c);
  void OnSelectionChanged(const DC_Contract& c);
  void ToggleUserBlock(int row);
  void DeleteFromBlock(int row, const std::string& block);
  void PostWindowCommand(int command);
  void EditUserBlock();
  void EditHeader();
  QString Title() const;

  IQuoteGridHost* host_;
  CQuoteGridCtrl* grid_;
  BlockTabBar* blockBar_;
  QToolButton* switchButton_;
  tarn::ui::CaptionButton* maximize_;
  tarn::ui::CaptionButton* close_;
  int captionHeight_;
  std::string block_;
  DC_Contract contract_{};
};
