#include "tools/gui/screenshots.h"

#include <QSpinBox>
#include <QTabWidget>
#include <vector>

#include "data/quote_data_center.h"
#include "tools/gui/dlg_setting.h"
#include "tools/gui/dlg_tick_statistic.h"
#include "tools/gui/setting_color.h"

namespace tarn {

namespace {

// The main month of the quote library's first busy commodity (none before a login).
DC_Contract BusyContract() {
  DC_Contract c = ZeroRecord<DC_Contract>();
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return c;
  const int n = center->GetContracts(nullptr, 0, "HOT");
  if (n <= 0) return c;
  std::vector<DC_Contract> hot(static_cast<std::size_t>(n));
  center->GetContracts(hot.data(), n, "HOT");
  return hot.front();
}

CDlgTickStatistic* OpenTickStatistic(int tab) {
  auto* d = new CDlgTickStatistic(BusyContract());
  d->resize(1100, 600);
  d->show();
  ui::PumpEvents(600);  // the first run over the whole day
  if (tab == 0) {
    d->quantity->setValue(3);
    d->oiChange->setValue(2);
    d->RunFilter();
    ui::PumpEvents(600);
  } else {
    d->tabs->setCurrentIndex(1);
    d->sliceMinutes->setValue(15);
    d->RunFilter();
    ui::PumpEvents(600);
  }
  return d;
}

}  // namespace

void RegisterToolsScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("settings", [] { return static_cast<QWidget*>(new CDlgSetting); });
  registry.Add("colors", [] { return static_cast<QWidget*>(new CSettingColor); });
  registry.Add("tick_statistic", [] { return static_cast<QWidget*>(OpenTickStatistic(0)); });
  registry.Add("tick_statistic_slices", [] { return static_cast<QWidget*>(OpenTickStatistic(1)); });
}

}  // namespace tarn
