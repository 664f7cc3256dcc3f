#include "chart/gui/screenshots.h"

#include "chart/chart_forms.h"
#include "chart/gui/chart_dialogs.h"
#include "libs/indicators/formula_manager.h"
#include "data/quote_data_center.h"

namespace tarn {

void RegisterChartScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("indicator_params", [] {
    formula::FormulaDef def;
    FormulaManager::Instance().Find("MACD", &def);
    return static_cast<QWidget*>(new CDlgIndicatorParam(def, IndicatorParamRows(def, {})));
  });
  registry.Add("object_style", [] { return static_cast<QWidget*>(new CDlgObjectStyle(ObjectStyle{})); });
  registry.Add("object_text", [] { return static_cast<QWidget*>(new CDlgObjectText(TXT("突破前高"))); });
}

}  // namespace tarn
