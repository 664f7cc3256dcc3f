// Fonts and the screen scale factor.
//
// The terminal uses one family of fonts (WenQuanYi Micro Hei, with its monospaced cut for
// figures and statements), so that every window looks alike whoever wrote it. Sizes given in
// pixels by the design (a 22-pixel status bar, 20-pixel list rows) are multiplied by the scale
// factor: the screen's logical DPI divided by 96.
#pragma once

#include <QFont>
#include <QString>

namespace tarn::ui {

// The family of every window's text, and its monospaced cut.
QString UiFontFamily();
QString MonoFontFamily();

// Makes sure the family is known to Qt (it registers the font file when the system's font
// configuration does not list it) and sets the application font. Call once after the
// QApplication exists.
void InitFonts();

// A font of the family in points (9 is the body size of dialogs).
QFont UiFont(double pointSize = 9.0, int weight = QFont::Normal);
QFont MonoFont(double pointSize = 9.0, int weight = QFont::Normal);

// The screen's logical DPI / 96 (1.0 when there is no screen).
double ScaleFactor();
// A design size in pixels, scaled (rounded to the nearest pixel, never below 1 for a positive
// size).
int Scaled(int pixels);

}  // namespace tarn::ui
