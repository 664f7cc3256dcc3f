// The condition order dialog CDlgConditionOrder and the position stop dialogs CDlgAddWinLose
// (enter or modify one stop order) and CDlgWinStop (a position's stop orders). They present and
// forward; the checks and requests are condition_forms.h's.
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

#include "data/trade_api.h"
#include "engines/condition_forms.h"
#include "engines/gui/engine_widgets.h"
#include "ui/dialog.h"

class CDlgConditionOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  CDlgConditionOrder(const DC_Contract& contract, int side, int offset, int quantity, double price,
                     QWidget* parent = nullptr);
  // The checks (the dialog stays open with the first failure's message), then the request goes
  // to InsertConditionOrder and the dialog ends with Accepted.
  void OnOk() override;
  tarn::ConditionInput Input() const;
  // Timer 1: the contract's quote, each text rewritten only when it changed.
  void ShowQuote();

  QLineEdit* contract = nullptr;
  QPushButton* choose = nullptr;
  tarn::ui::ContractSearchList* search = nullptr;  // the pop-up search list under `contract`
  QComboBox* basis = nullptr;
  QComboBox* condition = nullptr;
  QLineEdit* triggerPrice = nullptr;
  QPushButton* buy = nullptr;
  QPushButton* sell = nullptr;
  QPushButton* open = nullptr;
  QPushButton* close = nullptr;
  QLineEdit* quantity = nullptr;
  QCheckBox* explicitPrice = nullptr;
  QLineEdit* price = nullptr;
  QCheckBox* priceBasisOn = nullptr;
  QComboBox* priceBasis = nullptr;
  QLineEdit* tickOffset = nullptr;
  QComboBox* validity = nullptr;
  QLabel* last = nullptr;
  QLabel* ask = nullptr;
  QLabel* bid = nullptr;

 private:
  DC_Contract chosen_{};
  QTimer timer_;
};

class CDlgAddWinLose : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgAddWinLose(const tarn::StopContext& context, QWidget* parent = nullptr);
  // "发送" / "修改": the checks; in modify mode the old stop order is cancelled first; then the
  // request goes to InsertConditionOrder and the dialog ends with Accepted.
  void OnOk() override;
  tarn::StopInput Input() const;
  void SpinPrice(bool up);
  void SpinDistance(bool up);
  // Timer: the latest price and the expected profit line.
  void Tick();

  QTabBar* tabs = nullptr;
  QLabel* header = nullptr;
  QLabel* priceLabel = nullptr;
  QLineEdit* triggerPrice = nullptr;
  QLineEdit* quantity = nullptr;
  QLineEdit* distance = nullptr;
  QComboBox* validity = nullptr;
  QCheckBox* sendPriceOn = nullptr;
  QComboBox* sendPriceBasis = nullptr;
  QLineEdit* tickOffset = nullptr;
  QLineEdit* sendPrice = nullptr;
  QLabel* profit = nullptr;
  QPushButton* send = nullptr;

 private:
  tarn::StopContext context_;
  QTimer timer_;
};

class CDlgWinStop : public tarn::ui::Dialog, public CTradeListener {
  Q_OBJECT
 public:
  // `positionNumber` empty lists every stop of the position's side.
  CDlgWinStop(const tarn::StopContext& context, double floatProfit, const std::string& positionNumber,
              QWidget* parent = nullptr);
  ~CDlgWinStop() override;
  void Refresh();
  // "添加": a new stop order for the position (CDlgAddWinLose in add mode).
  void Add();
  void Delete();
  // "修改": the selected stop order in CDlgAddWinLose's modify mode.
  void Modify();
  void OnOrder(const OrderRecord* order, const AccountTexts& account) override;
  // How the add and modify dialog is shown (a test answers it).
  std::function<void(CDlgAddWinLose&)> runStopDialog;

  QLabel* header = nullptr;
  QTableWidget* list = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  tarn::StopContext context_;
  std::string positionNumber_;
  std::vector<OrderRecord> shown_;
  std::atomic<bool> posted_{false};
};
