// The strategy windows: the definition dialog CDlgAddCmbOrder, the strategy list CDlgCeLue, the
// strategy quote grid CWndCombQuote, the order panel CDlgCombSendOrder with its grid batch
// CDlgSendGridOrder, the strategy order grid CWndCombolGrid and the arbitrage page CWndTaoLiView
// that holds them. They present and forward; the checks and requests are strategy_forms.h's.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "data/trade_api.h"
#include "engines/combol_quote.h"
#include "engines/contract_search.h"
#include "engines/strategy_forms.h"
#include "ui/dialog.h"

// Chooses a futures contract ("期货合约", shown "%s-%s", narrowed by a search box) or a spread
// contract, one of the user's strategies ("套利合约": "策略名称", "公式"). Either kind can be
// switched off by the caller. OK without a selection shows "请选择一个合约".
class CDlgSelContract2 : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  CDlgSelContract2(std::vector<DC_Contract> contracts, std::vector<CombolStrategy> strategies, int kind,
                   bool futuresAllowed, bool spreadsAllowed, QWidget* parent = nullptr);
  void OnOk() override;
  void ShowKind(int kind);
  const tarn::SpreadSelection::Answer& Answer() const { return answer_; }

  QTabBar* kinds = nullptr;
  QLineEdit* filter = nullptr;
  QTableWidget* list = nullptr;

 private:
  void Fill();
  tarn::SpreadSelection selection_;
  tarn::SpreadSelection::Answer answer_;
};

class CDlgAddCmbOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // An empty strategy adds, a defined one is edited.
  explicit CDlgAddCmbOrder(const CombolStrategy& strategy, QWidget* parent = nullptr);
  // The checks (the dialog stays open with the first failure's message), then Accepted.
  void OnOk() override;
  const CombolStrategy& Strategy() const { return strategy_; }
  tarn::StrategyDefinitionInput Input() const;

  QComboBox* contract[4] = {};
  QComboBox* side[4] = {};
  QCheckBox* chase[4] = {};
  QLineEdit* spread[4] = {};
  QLineEdit* lots[4] = {};
  QLineEdit* formula = nullptr;
  QLineEdit* name = nullptr;
  QLineEdit* total = nullptr;
  QLineEdit* perTrigger = nullptr;
  QComboBox* decimals = nullptr;
  QComboBox* type = nullptr;
  QPushButton* pick[4] = {};  // "...": CDlgSelContract2 for the leg
  // How the selection dialog is shown (a test answers it); true when it was accepted.
  std::function<bool(CDlgSelContract2&)> runSelect;
  // The leg's "...": a futures contract becomes the leg's; a strategy gives every leg its own.
  void PickLeg(int leg);

 private:
  void ShowLeg(int leg, const DC_Contract& c);
  std::vector<DC_Contract> contracts_;  // the entries after "不使用"
  CombolStrategy strategy_{};
};

class CDlgSendGridOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // `panel` is what the order panel would send once.
  explicit CDlgSendGridOrder(const tarn::StrategySendInput& panel, QWidget* parent = nullptr);
  // The grid's checks, then the panel's; on success the requests are ready and the dialog ends.
  void OnOk() override;
  const std::vector<StrategyOrderRequest>& Requests() const { return requests_; }

  QComboBox* direction = nullptr;
  QLineEdit* count = nullptr;
  QLineEdit* step = nullptr;

 private:
  tarn::StrategySendInput panel_;
  std::vector<StrategyOrderRequest> requests_;
};

// The strategy quote grid: one block per strategy, the calculator's three values and each leg's
// quote; a double-click on "卖价(双击正向下单)" / "买价(双击反向下单)" fills the order panel.
class CWndCombQuote : public QWidget {
  Q_OBJECT
 public:
  explicit CWndCombQuote(QWidget* parent = nullptr);
  void SetStrategies(const std::vector<CombolStrategy>& list, const CCombolQuoteClient* values);
  void Refresh();
  // Where a double-click goes (strategy, forward, value).
  std::function<void(const CombolStrategy&, bool, double)> onOrder;
  QTableWidget* grid = nullptr;

 private:
  std::vector<CombolStrategy> list_;
  std::vector<int> firstRow_;  // each strategy's first row
  const CCombolQuoteClient* values_ = nullptr;
  QTimer timer_;
};

class CDlgCombSendOrder : public QWidget {
  Q_OBJECT
 public:
  explicit CDlgCombSendOrder(QWidget* parent = nullptr);
  ~CDlgCombSendOrder() override;
  // The one panel of the process (nullptr when none exists).
  static CDlgCombSendOrder* Instance();

  // Shows a strategy for a forward or reverse order at the combination's value.
  void Fill(const CombolStrategy& strategy, bool forward, double value);
  tarn::StrategySendInput Input() const;
  // "下单": the checks, then one request to the trading library.
  void Send();
  // "网格下单": the grid dialog, then its requests.
  void SendGrid();
  // "选择策略": CDlgSelContract2 on the user's strategies; the chosen one fills the panel.
  void ChooseStrategy();
  std::function<bool(CDlgSelContract2&)> runSelect;
  // How the grid dialog is shown (a test answers it); returns the requests to send.
  std::function<std::vector<StrategyOrderRequest>(CDlgSendGridOrder&)> runGrid;

  QTabBar* tabs = nullptr;
  QLabel* name = nullptr;
  QPushButton* chooseStrategy = nullptr;
  QComboBox* type = nullptr;
  QTableWidget* legs = nullptr;
  QLineEdit* triggerPrice = nullptr;
  QComboBox* condition = nullptr;
  QCheckBox* loop = nullptr;
  QLineEdit* loopPrice = nullptr;
  QComboBox* loopCondition = nullptr;
  QLineEdit* total = nullptr;
  QLineEdit* perTrigger = nullptr;
  QLabel* formula = nullptr;

 private:
  void ShowLegs();
  CombolStrategy strategy_{};
};

// The strategy list: the file's strategies, their live values, add, modify and delete.
class CDlgCeLue : public QWidget, public ICombolQuoteListener {
  Q_OBJECT
 public:
  // With `fileEnabled` false (a demonstration) the user's file is neither read nor written.
  explicit CDlgCeLue(QWidget* parent = nullptr, bool fileEnabled = true);
  ~CDlgCeLue() override;

  void Add();
  void Modify();
  void Delete();
  // A strategy added without the dialog (the demonstration); false with the duplicate message.
  bool AddStrategy(const CombolStrategy& s);
  const tarn::StrategyList& List() const { return list_; }
  const CCombolQuoteClient& Values() const { return values_; }
  // Told of every change of the list (the quote grid shows it).
  std::function<void(const std::vector<CombolStrategy>&)> onChanged;
  // How the definition dialog is shown (a test answers it); true when it was accepted.
  std::function<bool(CDlgAddCmbOrder&)> runDefinition;

  QTableWidget* grid = nullptr;

 private:
  void Refresh();
  tarn::StrategyList list_;
  CCombolQuoteClient values_;
};

// The trading library's strategy orders (or, in the arbitrage page's other panes, its orders,
// positions and fills), refreshed when the library tells of a change.
class CWndCombolGrid : public QWidget, public CTradeListener {
  Q_OBJECT
 public:
  enum Kind { kStrategies, kOrders, kPositions, kFills };
  explicit CWndCombolGrid(Kind kind = kStrategies, QWidget* parent = nullptr);
  ~CWndCombolGrid() override;
  void Refresh();
  // "操作" of a running strategy order: asks the library to stop it.
  void Act(int row);

  void OnOrder(const OrderRecord* order, const AccountTexts& account) override;
  void OnFill(const FillRecord* fill, const AccountTexts& account) override;
  void OnPositions(const AccountTexts& account, bool complete) override;
  void OnStrategyChanged(int value, const AccountTexts& account) override;
  void OnTradeRefresh() override;

  QTableWidget* grid = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  void Dirty();
  Kind kind_;
  std::atomic<bool> posted_{false};
  std::vector<int> actionSequence_;  // per row: the strategy order's sequence, 0 for none
};

// The arbitrage page: the strategy list, the quote grid, the price cards, the strategy orders,
// the orders, the positions, the order panel and the fills, each in a captioned pane.
class CWndTaoLiView : public QWidget {
  Q_OBJECT
 public:
  explicit CWndTaoLiView(QWidget* parent = nullptr, bool fileEnabled = true);
  CDlgCeLue* strategies = nullptr;
  CWndCombQuote* quotes = nullptr;
  CWndCombolGrid* strategyOrders = nullptr;
  CDlgCombSendOrder* panel = nullptr;
};
