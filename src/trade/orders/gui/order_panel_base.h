// What every order panel window shares: its contract with the lock, the live quote copied under
// the panel's lock, the trade feed's changes taken on the window's thread (the library's
// messages into the status line, a contract chosen elsewhere, a refresh on anything else), the
// process-wide panel set, the contract selector row and the way its dialogs are run.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <functional>

#include "data/data_listener.h"
#include "data/trade_api.h"
#include "platform/sync.h"
#include "trade/feed/trade_feed.h"
#include "trade/orders/order_panel_logic.h"

namespace tarn {

// The contract selector: the contract's code, the chooser and the lock toggle.
class ContractSelector : public QWidget {
  Q_OBJECT
 public:
  explicit ContractSelector(QWidget* parent = nullptr);
  void Show(const DC_Contract& contract);
  void SetLocked(bool locked);
  bool Locked() const { return locked_; }
  // The user chose a contract.
  std::function<void(const DC_Contract&)> onChosen;

  QLineEdit* code = nullptr;
  QPushButton* choose = nullptr;
  QPushButton* lock = nullptr;

 private:
  bool locked_ = false;
  DC_Contract shown_{};
};

class OrderPanelBase : public QWidget, public CQuoteDataClient, public ITradeFeedClient, public IOrderPanelOpt {
  Q_OBJECT
 public:
  explicit OrderPanelBase(QWidget* parent = nullptr);
  ~OrderPanelBase() override;

  // IOrderPanelOpt
  void RefreshIfVisible() override;
  void SetContract(DC_Contract contract) override;
  QWidget* Window() override { return this; }
  void SetTag(int tag) override { tag_ = tag; }
  void OnPositionSelected(PositionRecord position) override;
  void RefreshPrices() override { Refresh(); }

  // Library threads: copy and post.
  int OnQuote(int status, const DC_Quote* quote) override;
  void OnTradeFeedChanged() override;

  const DC_Contract& Contract() const { return contract_; }
  PanelQuote Quote() const;
  int Decimals() const;
  bool Locked() const { return selector->Locked(); }
  void SetLocked(bool locked) { selector->SetLocked(locked); }
  std::string Status() const { return status_; }
  void SetStatus(const std::string& gbk);
  int Tag() const { return tag_; }
  // Told after every status change (a container that shows the status line lays it out again).
  std::function<void()> onStatusChanged;

  // How the panel's dialogs are run (default exec()); tests answer them.
  std::function<int(QDialog&)> runDialog;
  int RunDialog(QDialog& dialog);
  // The confirmation of a panel order (default: the send confirmation dialog).
  std::function<bool(const OrderRecord&)> confirm;

  ContractSelector* selector = nullptr;
  QLabel* status = nullptr;

 protected:
  bool event(QEvent* e) override;
  // Call at the end of the derived constructor: starts the notifications and joins the set.
  void Start();
  // Call first in the derived destructor: no notification reaches the panel after it.
  void Stop();
  // The derived panel shows its state again (UI thread).
  virtual void Refresh() = 0;
  // A new contract: the quantity to its default and the prices to "----".
  virtual void OnContractChanged() = 0;
  // Another window picked a price for this panel's contract.
  virtual void OnPickedPrice(double price) = 0;
  // A position chosen in the trade grid sets the quantity.
  virtual void SetQuantityText(const std::string& gbk) = 0;
  ConfirmOrder Confirmation();

 private:
  // The feed's change set: messages, a contract chosen elsewhere, a refresh.
  void TakeChanges();
  void TakeSelection(const ContractChoice& choice);

  DC_Contract contract_{};
  PanelQuote quote_;
  bool haveQuote_ = false;
  mutable CriticalSection mutex_;
  std::atomic<bool> quotePosted_{false};
  std::shared_ptr<TradeFeed> feed_;
  std::string status_;
  int tag_ = 0;
};

// A button of the order panels: no minimum width from the theme, so that a panel fits its
// 320-pixel column; `width` > 0 fixes the width (unscaled pixels).
QPushButton* PanelButton(QWidget* parent, const QString& text, std::function<void()> onClick, int width = 0);

// True when the widget and all its parents are visible.
bool VisibleWithParents(const QWidget* w);

}  // namespace tarn
