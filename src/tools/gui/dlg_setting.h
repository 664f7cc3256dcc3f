// CDlgSetting: the general settings (order and close confirmations, the chart's mouse wheel,
// the double-click actions of the trade grid, the information panel's depth), and the way to
// the colour scheme dialog.
#pragma once

#include "tools/setting_cfg.h"
#include "ui/dialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;

class CDlgSetting : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgSetting(QWidget* parent = nullptr);

  // The choices as the controls hold them.
  GeneralChoices Choices() const;
  void SetChoices(const GeneralChoices& c);
  void OnOk() override;

  QCheckBox* tradeConfirm = nullptr;
  QCheckBox* coverConfirm = nullptr;
  QComboBox* mouseWheel = nullptr;
  QComboBox* positionAction = nullptr;
  QComboBox* orderAction = nullptr;
  QComboBox* panelLevel = nullptr;
  QPushButton* colorsButton = nullptr;  // opens the colour scheme dialog
};
