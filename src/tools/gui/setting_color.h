// CSettingColor: the 28 colours of the scheme with their names, each changed with the colour
// picker (double-click on a row, or the "修改颜色" button), and the six predefined
// schemes. Choosing a scheme takes effect at once (and sets the festive switch); OK stores the
// colours as edited, Cancel drops the edits made since the last scheme choice.
#pragma once

#include "tools/color_scheme.h"
#include "ui/dialog.h"

class QListWidget;
class QPushButton;

class CSettingColor : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CSettingColor(QWidget* parent = nullptr);

  const ColorTable& Colors() const { return colors_; }
  // Sets one colour (as the picker does).
  void SetColor(int index, tarn::Colorref c);
  // The predefined scheme behind a button id (1019, 1020, 1046, 1047, 1048, 1052).
  void ChooseScheme(int commandId);
  QPushButton* SchemeButton(int commandId) const;
  void OnOk() override;

  QListWidget* list = nullptr;

 private:
  void Refill();
  void PickColor(int index);

  ColorTable colors_;
  std::vector<QPushButton*> schemeButtons_;
};
