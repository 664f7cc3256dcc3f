// CWndThreeKeyOrderPanel, the compact order panel: one contract, one quantity, a price type and
// the keys "买多", "卖空", "平仓", with "全平", "全撤", "条件单" and "OCO单".
#pragma once

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "trade/orders/gui/order_panel_base.h"

// One of the three big keys: its price above, its title and subtitle below.
class COrderKey : public QPushButton {
  Q_OBJECT
 public:
  COrderKey(const QColor& colour, QWidget* parent = nullptr);
  void Show(const QString& price, const QString& title, const QString& subtitle);
  QString Price() const { return price_; }
  QString Title() const { return title_; }
  QString Subtitle() const { return subtitle_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor colour_;
  QString price_, title_, subtitle_;
};

// The quantity field with its arrows and the fraction cells, shared by the order panels.
class CQuantityBox : public QWidget {
  Q_OBJECT
 public:
  explicit CQuantityBox(QWidget* parent = nullptr);
  QLineEdit* edit = nullptr;
  std::vector<QPushButton*> fractions;
  // A fraction cell was clicked (its index in FractionCells()).
  std::function<void(int)> onFraction;
  void Step(int delta);
};

namespace tarn {
// The account line and the estimate line under a panel (shared with the standard panel).
struct EstimateLabels {
  QLabel* margin;
  QLabel* fee;
  QLabel* openable;
  QLabel* floatProfit;
  QLabel* equity;
  QLabel* available;
};
}  // namespace tarn

namespace tarn {
// What the three-key and the standard panel share: the quantity with its fraction cells, the
// price type and price text, the book and the estimate lines, and the keys "全平", "全撤" and
// "OCO单". The derived panel makes the widgets and lays them out.
class PricedOrderPanel : public OrderPanelBase {
  Q_OBJECT
 public:
  explicit PricedOrderPanel(QWidget* parent = nullptr) : OrderPanelBase(parent) {}

  void CloseAll();
  void CancelAll();
  void OcoOrder();
  // A fraction cell: that share of the lots the funds open.
  void Fraction(int index);
  // What the fields say now: contract, quote, price type, price and quantity texts.
  PanelInput Input() const;

  CQuantityBox* quantity = nullptr;
  QComboBox* priceType = nullptr;
  QLineEdit* price = nullptr;
  QLabel* ask = nullptr;
  QLabel* bid = nullptr;
  EstimateLabels estimate{};

 protected:
  void OnContractChanged() override;
  void OnPickedPrice(double price) override;
  void SetQuantityText(const std::string& gbk) override;
};
}  // namespace tarn

class CWndThreeKeyOrderPanel : public tarn::PricedOrderPanel {
  Q_OBJECT
 public:
  explicit CWndThreeKeyOrderPanel(QWidget* parent = nullptr);
  ~CWndThreeKeyOrderPanel() override;

  // The keys.
  void BuyOpen();
  void SellOpen();
  void Close();
  void ConditionOrder();
  void SetPriceType(int type);
  int PriceType() const { return priceType->currentIndex(); }

  COrderKey* buyKey = nullptr;
  COrderKey* sellKey = nullptr;
  COrderKey* closeKey = nullptr;

 protected:
  void Refresh() override;

 private:
  bool settingPrice_ = false;
};

namespace tarn {
void ShowEstimate(const EstimateLabels& labels, const DC_Contract& contract, double last, const std::string& quantityText);
QWidget* MakeEstimateArea(QWidget* parent, EstimateLabels* labels);
// "卖1" / "买1" with price and volume ("----" until a quote arrives).
void ShowBook(QLabel* ask, QLabel* bid, const PanelQuote& quote, const DC_Contract& contract, int decimals);
// The condition order and OCO dialogs pre-filled from a panel.
void OpenConditionOrder(OrderPanelBase& panel, int side, int offset, const std::string& quantityText,
                        const std::string& priceText);
void OpenOcoOrder(OrderPanelBase& panel, const std::string& quantityText, const std::string& priceText);
}  // namespace tarn
