// The chart's small dialogs: the text of a text object ("修改"), the style of a drawn object
// ("样式设置") and an indicator's parameters ("参数设置"). Their checks are the plain functions
// of chart/chart_forms.h.
#pragma once

#include <QLineEdit>
#include <string>
#include <vector>

#include "chart/chart_forms.h"
#include "ui/dialog.h"

class QComboBox;
class QSpinBox;

class CDlgObjectText : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgObjectText(const std::string& text, QWidget* parent = nullptr);
  void OnOk() override;
  const std::string& Text() const { return text_; }
  QLineEdit* edit = nullptr;

 private:
  std::string text_;
};

class CDlgObjectStyle : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgObjectStyle(const tarn::ObjectStyle& style, QWidget* parent = nullptr);
  void OnOk() override;
  const tarn::ObjectStyle& Style() const { return style_; }
  QComboBox* color = nullptr;
  QSpinBox* thickness = nullptr;
  QComboBox* dash = nullptr;

 private:
  tarn::ObjectStyle style_;
};

class CDlgIndicatorParam : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  CDlgIndicatorParam(const tarn::formula::FormulaDef& def, std::vector<tarn::ParamRow> rows, QWidget* parent = nullptr);
  void OnOk() override;
  const std::vector<double>& Values() const { return values_; }
  std::vector<QLineEdit*> edits;

 private:
  std::vector<tarn::ParamRow> rows_;
  std::vector<double> values_;
};

// The colours the style dialog offers (COLORREF) with their names.
struct ChartColorChoice {
  tarn::Colorref color;
  QString name;
};
const std::vector<ChartColorChoice>& ChartColorChoices();
