// The dialogs of the local order engines: CDlgAutoCoverSetting (the automatic stop switch and
// the per-commodity distances) and CDlgAddOcoOrder (enter or edit an OCO pair).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "engines/auto_cover_forms.h"
#include "engines/oco_order.h"
#include "ui/dialog.h"

class CDlgAutoCoverSetting : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgAutoCoverSetting(QWidget* parent = nullptr);

  // The buttons: set (needs a commodity), delete (needs a row), clear.
  void Set();
  void Delete();
  void Clear();
  void Refresh();
  // The commodity chosen in the combo (nullptr for none).
  const tarn::CommodityChoice* Chosen() const;

  QCheckBox* enabled = nullptr;
  QComboBox* commodity = nullptr;
  QLineEdit* stopLoss = nullptr;
  QLineEdit* takeProfit = nullptr;
  QLineEdit* trailing = nullptr;
  QLineEdit* breakEven = nullptr;
  QTableWidget* list = nullptr;
  QPushButton* setButton = nullptr;
  QPushButton* deleteButton = nullptr;
  QPushButton* clearButton = nullptr;

 private:
  std::vector<tarn::CommodityChoice> choices_;
  std::vector<AutoCoverSetting> shown_;
};

class CDlgAddOcoOrder : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  // `oco` is a new pair (id 0, possibly pre-filled with the contract, quantity and prices) or
  // a copy of an existing one.
  explicit CDlgAddOcoOrder(const OcoOrder& oco, QWidget* parent = nullptr);

  // Checks ("价格1必须大于价格2", "数量错误"; the dialog stays open), then adds or modifies and
  // closes with Accepted.
  void OnOk() override;
  const OcoOrder& Oco() const { return oco_; }

  QLabel* contractName = nullptr;
  QLineEdit* quantity = nullptr;
  QLineEdit* price1 = nullptr;
  QLineEdit* price2 = nullptr;
  QComboBox* sideA = nullptr;
  QComboBox* sideB = nullptr;
  QComboBox* offsetA = nullptr;
  QComboBox* offsetB = nullptr;

 private:
  OcoOrder oco_;
};
