// The order dialogs: the send confirmation, the modify dialog, the two close dialogs, the
// line-order palette and the price cube. They present and forward; what they check and send
// is order_dialog_forms.h's.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <atomic>
#include <functional>
#include <vector>

#include "data/data_listener.h"
#include "engines/combol_quote.h"
#include "platform/sync.h"
#include "trade/orders/order_dialog_forms.h"
#include "ui/dialog.h"

class CDlgConfirmSendOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgConfirmSendOrder(const OrderRecord& order, QWidget* parent = nullptr);
  // OK writes the box's state to [TradeConfirm] Value and accepts.
  void OnOk() override;

  QLabel* contract = nullptr;
  QLabel* direction = nullptr;
  QLabel* offset = nullptr;
  QLabel* price = nullptr;
  QLabel* quantity = nullptr;
  QCheckBox* keepConfirming = nullptr;
};

namespace tarn {
// The send confirmation: false for an order without a contract; true without asking while
// [TradeConfirm] Value is not 1; else the dialog's answer.
bool ConfirmSendOrder(const OrderRecord& order, QWidget* parent = nullptr);
// How the dialog is run (default: exec()); tests answer it.
void SetConfirmRunner(std::function<int(CDlgConfirmSendOrder&)> runner);
}  // namespace tarn

class CDlgModifyOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  CDlgModifyOrder(double price, int quantity, double tick, int decimals, QWidget* parent = nullptr);
  // The checks; the dialog closes with Accepted and Price() / Quantity() hold the values.
  void OnOk() override;
  double Price() const { return price_; }
  int Quantity() const { return quantity_; }
  // One tick up or down.
  void SpinPrice(bool up);

  QLineEdit* priceEdit = nullptr;
  QLineEdit* quantityEdit = nullptr;

 private:
  double price_, tick_;
  int quantity_, decimals_;
};

class CDlgCoverPosition : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgCoverPosition(const PositionRecord& position, QWidget* parent = nullptr);
  // The checks, then the one order to InsertOrder.
  void OnOk() override;
  tarn::CoverPositionInput Input() const;

  QLabel* contract = nullptr;
  QLabel* direction = nullptr;
  QLabel* offset = nullptr;
  QLineEdit* quantity = nullptr;
  QCheckBox* market = nullptr;
  QLineEdit* price = nullptr;

 private:
  PositionRecord position_;
};

class CDlgCoverByPosNo : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  CDlgCoverByPosNo(const PositionDetail& detail, double currentPrice, QWidget* parent = nullptr);
  void OnOk() override;
  tarn::CoverByPosNoInput Input() const;
  void SpinPrice(bool up);
  void SpinQuantity(bool up);

  QLabel* positionNumber = nullptr;
  QLabel* contract = nullptr;
  QLabel* direction = nullptr;
  QLabel* openPrice = nullptr;
  QLineEdit* price = nullptr;
  QLineEdit* quantity = nullptr;
  QRadioButton* limit = nullptr;
  QRadioButton* market = nullptr;

 private:
  PositionDetail detail_;
  tarn::CoverByPosNoInput shown_;
  bool closeToday_ = false;  // the exchange refuses a plain close of today's lots
  double tick_;
  int decimals_;
};

// The line-order palette: a mode key armed here turns the next click on its page's K-line
// chart into a condition order. Every open palette is listed, so that the application's key
// filter clears the armed keys on a key press and on a click elsewhere.
class CDlgLineOrderPanel : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgLineOrderPanel(QWidget* parent = nullptr);
  ~CDlgLineOrderPanel() override;
  // A mode key's click (the message box shows a refused quantity).
  void ClickMode(int mode);
  const tarn::LineOrderPalette& Palette() const { return palette_; }
  void Disarm();
  // A key press anywhere: every palette's armed key is cleared.
  static void ClearAllArmed();
  // A left click on `target` (already handled by its window): the palettes it is not inside are
  // cleared; the palette clicked keeps its key.
  static void ClearArmedOutside(const QWidget* target);
  static const std::vector<CDlgLineOrderPanel*>& OpenPanels();
  // The parent page hears the armed mode (-1: none) and the quantity.
  std::function<void(int mode, int quantity)> onArmed;

  QPushButton* modes[4] = {};
  QLineEdit* quantity = nullptr;
  QComboBox* validity = nullptr;

 private:
  void ShowArmed();
  tarn::LineOrderPalette palette_;
};

// The price cube: a board of contract and combination cards with their last, bid and ask
// prices. The combination cards' values come from the cube's own calculators (see
// tarn::CombolCardHolds).
class CWndPriceCube : public QWidget, public CQuoteDataClient, public ICombolQuoteListener {
  Q_OBJECT
 public:
  explicit CWndPriceCube(QWidget* parent = nullptr);
  ~CWndPriceCube() override;

  void AddCard(const DC_Contract& contract);
  void ReplaceCard(int index, const DC_Contract& contract);
  void AddStrategyCard(const CombolStrategy& strategy);
  void ReplaceCardWithStrategy(int index, const CombolStrategy& strategy);
  void RemoveCard(int index);
  // The user's strategies the card menu offers (default: the strategy file's).
  std::function<std::vector<CombolStrategy>()> strategies;
  // A double-click on a combination card (default: the combination order entry, filled).
  std::function<void(const CombolStrategy&, bool forward, double value)> onCombolOrder;
  const CCombolQuoteClient& Calculators() const { return combos_; }
  // Takes the pending quotes and the calculators' values now (the window does it when posted).
  void TakeQuotes();
  const tarn::PriceCube& Cube() const { return cube_; }
  // The card and its area at a point (-1: none).
  int CardAt(const QPoint& p, tarn::CardArea* area) const;
  QRect CardRect(int index) const;
  // A double-click: the contract, price and direction go to SelectContract.
  void DoubleClickAt(const QPoint& p);

  int OnQuote(int status, const DC_Quote* quote) override;
  void OnCombolQuote(double lead, const CombolStrategy& strategy, double lastValue, double bidValue,
                     double askValue) override;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void Resubscribe();
  void AddStrategyMenu(QMenu* menu, int replaceIndex);

  tarn::PriceCube cube_;
  CCombolQuoteClient combos_{this};      // declared before the holds: they release into it
  tarn::CombolCardHolds holds_{&combos_};
  tarn::CriticalSection mutex_;
  std::vector<DC_Quote> pending_;  // quotes received since the last UI pass
  std::atomic<bool> posted_{false};
};
