// The look of every window: colours by role, taken from the user's colour scheme, a Qt palette
// derived from them for the standard widgets, and one notifier that tells owner-drawn windows
// to repaint when the scheme changes.
//
// The toolkit knows nothing of the scheme's file: whoever owns the scheme fills ThemeColors and
// calls ApplyTheme. Until then the theme is the dark default, from the default scheme's colours.
#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QString>

#include "platform/color.h"

namespace tarn::ui {

// Colours by role (the scheme's own names in brackets).
struct ThemeColors {
  QColor background;  // window and grid background (DiSe)
  QColor title;       // titles (BiaoTi)
  QColor text;        // ordinary text (ZiFuXianShi)
  QColor hint;        // hints and warnings (TiXingSe)
  QColor axis;        // axis lines (ZuoBiaoXian)
  QColor scale;       // scale texts (KeDu)
  QColor border;      // borders and frames (BianKuang)
  QColor menuBar;     // menu bar and captions (MenuBar)
  QColor sideBar;     // side bars and tabs (CeBianLan)
  QColor header;      // header texts (TaiTouZiFu)
  QColor quote;       // quote texts (BaoJiaZiFu)
  QColor rising;      // rising prices (ShangZhang)
  QColor falling;     // falling prices (XiaDie)
  QColor zebra;       // alternate rows (BanMaTiao)
  QColor unchanged;   // unchanged prices (PingPan)
};

// A COLORREF (0x00BBGGRR) as a QColor, and back.
QColor FromColorref(Colorref c);
Colorref ToColorref(const QColor& c);

// The dark default: the default scheme's colours.
ThemeColors DefaultThemeColors();

// Mixes two colours: t = 0 gives a, t = 1 gives b.
QColor Blend(const QColor& a, const QColor& b, double t);

// The palette for standard widgets (dialogs, edits, lists, buttons) derived from the colours:
// panels a little lighter than the background, edits darker, text in the text colour.
QPalette PaletteFor(const ThemeColors& colors);

// The colours in use.
const ThemeColors& Theme();
// Panel colour of dialogs and captions (derived).
QColor PanelColor();
// Accent for selections and default buttons (derived).
QColor AccentColor();

// Makes `colors` the theme: sets the application's style, palette and style sheet, and tells
// every window through ThemeNotifier. Call on the UI thread.
void ApplyTheme(const ThemeColors& colors);

// Emits changed() after every ApplyTheme; owner-drawn windows connect it to update().
class ThemeNotifier : public QObject {
  Q_OBJECT
 public:
  static ThemeNotifier* Instance();
 signals:
  void changed();
};

}  // namespace tarn::ui
