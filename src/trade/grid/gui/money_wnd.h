// CMoneyWnd: the one-line account summary beside the trading panels. Labelled cells of the
// current account's funds record (FundsCellText), left to right, each 100 pixels times the
// scale factor, label above value; cells that do not fit are not drawn. A click on the account
// cell lists the login's accounts (when it holds several) and switches the current account; the
// icon at the end chooses the cells (kept in "\user\setting.ini").
//
// It hears of changes through the trade feed: a change posts 8122 from the library's thread,
// and the window reads the funds record again on its own thread when the funds changed or the
// lists were read afresh.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <vector>

#include "data/trade_api.h"
#include "trade/feed/trade_feed.h"
#include "trade/grid/funds_cells.h"
#include "ui/dialog.h"

class QListWidget;
class QMenu;

class CMoneyWnd : public QWidget, public tarn::ITradeFeedClient {
  Q_OBJECT
 public:
  static constexpr int kRefreshMessage = 8122;

  explicit CMoneyWnd(QWidget* parent = nullptr);
  ~CMoneyWnd() override;

  // Reads the current account's funds record and redraws.
  void Refresh();
  const FundsRecord& Funds() const { return funds_; }
  const std::vector<int>& Cells() const { return cells_; }
  // The cells drawn at the present width, in order.
  std::vector<int> VisibleCells() const;
  QRect CellRect(int position) const;  // the n-th visible cell
  QRect SettingsRect() const;          // the cell-choice icon
  // The accounts' pop-up (nullptr with one account or none); item data is 1000 + index.
  QMenu* BuildAccountMenu();
  void ChooseAccount(int itemId);
  // Shows the cell choice; on OK the new list is stored and shown.
  void ChooseCells();
  std::function<int(QDialog&)> runDialog;

  void OnTradeFeedChanged() override;

  QSize sizeHint() const override;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  int CellWidth() const;
  FundsRecord funds_{};
  std::vector<int> cells_;
  std::vector<std::string> accounts_;
  std::shared_ptr<tarn::TradeFeed> feed_;
};

// The cell choice: every catalogue cell with a tick, in the order shown; the ticked ones are
// shown, moved up and down with the two buttons.
class CDlgFundsCells : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgFundsCells(const std::vector<int>& cells, QWidget* parent = nullptr);
  std::vector<int> Chosen() const;
  void MoveUp();
  void MoveDown();

  QListWidget* list = nullptr;
};
