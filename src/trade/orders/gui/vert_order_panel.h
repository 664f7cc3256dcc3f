// CWndVertOrderPanel, the standard order panel: direction and offset chosen explicitly, one send
// key "下单 (%s %s)", "重置", and the three-key panel's "全平", "全撤", "条件单", "OCO单".
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "trade/orders/gui/order_panel_base.h"
#include "trade/orders/gui/three_key_panel.h"

class CWndVertOrderPanel : public tarn::PricedOrderPanel {
  Q_OBJECT
 public:
  explicit CWndVertOrderPanel(QWidget* parent = nullptr);
  ~CWndVertOrderPanel() override;

  void Send();
  void Reset();
  void ConditionOrder();
  void SetPriceType(int type);
  // 0 none, 1 buy, 2 sell; 0 none, 1 open, 2 close, 3 close today.
  void SetDirection(int direction);
  void SetOffset(int offset);
  int Direction() const { return direction_; }
  int Offset() const { return offset_; }

  QPushButton* buy = nullptr;
  QPushButton* sell = nullptr;
  QPushButton* open = nullptr;
  QPushButton* close = nullptr;
  QPushButton* closeToday = nullptr;
  QPushButton* send = nullptr;
  QLabel* last = nullptr;

 protected:
  void Refresh() override;

 private:
  void ShowChoices();
  void FollowPrice();
  int direction_ = 0;
  int offset_ = 0;
};
