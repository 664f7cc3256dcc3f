#include "ui/fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tarn::ui {
namespace {
const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
};
}  // namespace

QString UiFontFamily() { return QStringLiteral("WenQuanYi Micro Hei"); }
QString MonoFontFamily() { return QStringLiteral("WenQuanYi Micro Hei Mono"); }

void InitFonts() {
  if (!QFontDatabase::families().contains(UiFontFamily())) {
    for (const char* file : kFontFiles) QFontDatabase::addApplicationFont(QString::fromUtf8(file));
  }
  QApplication::setFont(UiFont());
}

QFont UiFont(double pointSize, int weight) {
  QFont f(UiFontFamily());
  f.setPointSizeF(pointSize);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setStyleHint(QFont::SansSerif);
  return f;
}

QFont MonoFont(double pointSize, int weight) {
  QFont f(MonoFontFamily());
  f.setPointSizeF(pointSize);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  return f;
}

double ScaleFactor() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1.0;
  const double dpi = screen->logicalDotsPerInch();
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

int Scaled(int pixels) {
  if (pixels <= 0) return pixels;
  const int v = static_cast<int>(std::lround(pixels * ScaleFactor()));
  return v < 1 ? 1 : v;
}

}  // namespace tarn::ui
