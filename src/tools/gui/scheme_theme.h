// The bridge between the colour scheme and the toolkit's theme: the theme's colours by role
// from the scheme's 28 colours, and a watcher that re-applies the theme whenever the scheme is
// reloaded, so that a scheme change repaints every window.
#pragma once

#include <QObject>

#include "tools/color_scheme.h"
#include "ui/theme.h"

namespace tarn {

ui::ThemeColors ThemeFromScheme(const ColorTable& colors);

// Applies the scheme of this process now and after every change (UI thread; the scheme's
// notification may come from any thread and is carried over).
class SchemeThemeWatcher : public QObject, public IColorSchemeNotify {
  Q_OBJECT
 public:
  explicit SchemeThemeWatcher(QObject* parent = nullptr);
  ~SchemeThemeWatcher() override;
  void OnColorSchemeChanged() override;
};

}  // namespace tarn
