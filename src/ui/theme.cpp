#include "ui/theme.h"

#include <QApplication>
#include <QStyleFactory>
#include <algorithm>

namespace tarn::ui {
namespace {

ThemeColors& Current() {
  static ThemeColors colors = DefaultThemeColors();
  return colors;
}

QString Css(const QColor& c) { return c.name(QColor::HexRgb); }

// Luminance 0..255, to keep derived colours readable on light schemes too.
int Luma(const QColor& c) { return (c.red() * 299 + c.green() * 587 + c.blue() * 114) / 1000; }

QString StyleSheetFor(const ThemeColors& c) {
  const QColor panel = Blend(c.background, c.menuBar, 0.75);
  const QColor edit = Blend(c.background, panel, 0.35);
  const QColor button = Blend(panel, c.border, 0.45);
  const QColor accent = Blend(c.border, QColor(70, 130, 210), 0.65);
  const QColor line = Blend(panel, c.border, 0.9);
  return QStringLiteral(
             "QDialog, QMessageBox { background: %1; }"
             "QLineEdit, QTextEdit, QPlainTextEdit, QDateEdit, QSpinBox, QComboBox {"
             "  background: %2; color: %3; border: 1px solid %4; border-radius: 2px; padding: 2px 4px;"
             "  selection-background-color: %5; }"
             "QLineEdit:focus, QTextEdit:focus, QPlainTextEdit:focus, QDateEdit:focus, QComboBox:focus {"
             "  border: 1px solid %5; }"
             "QLineEdit:disabled, QComboBox:disabled { color: %7; }"
             "QComboBox QAbstractItemView { background: %2; color: %3; border: 1px solid %4;"
             "  selection-background-color: %5; }"
             "QPushButton { background: %6; color: %3; border: 1px solid %4; border-radius: 2px;"
             "  padding: 4px 14px; min-width: 56px; }"
             "QPushButton:hover { border: 1px solid %5; }"
             "QPushButton:pressed { background: %2; }"
             "QPushButton:checked { background: %5; border: 1px solid %5; }"
             "QPushButton:default { border: 1px solid %5; }"
             "QPushButton:disabled { color: %7; border: 1px solid %8; }"
             "QCheckBox, QRadioButton, QLabel, QGroupBox { color: %3; }"
             "QGroupBox { border: 1px solid %8; border-radius: 2px; margin-top: 8px; padding-top: 6px; }"
             "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"
             "QMenuBar { background: transparent; color: %3; }"
             "QMenuBar::item { padding: 3px 10px; background: transparent; }"
             "QMenuBar::item:selected { background: %6; }"
             "QMenu { background: %1; color: %3; border: 1px solid %4; }"
             "QMenu::item { padding: 4px 24px 4px 20px; }"
             "QMenu::item:selected { background: %5; }"
             "QMenu::separator { height: 1px; background: %8; margin: 3px 6px; }"
             "QScrollBar:vertical { background: %2; width: 12px; }"
             "QScrollBar::handle:vertical { background: %6; min-height: 20px; }"
             "QScrollBar:horizontal { background: %2; height: 12px; }"
             "QScrollBar::handle:horizontal { background: %6; min-width: 20px; }"
             "QToolTip { background: %1; color: %3; border: 1px solid %4; }")
      .arg(Css(panel), Css(edit), Css(c.text), Css(line), Css(accent), Css(button),
           Css(Blend(c.text, panel, 0.55)), Css(Blend(panel, c.border, 0.5)));
}

}  // namespace

QColor FromColorref(Colorref c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
Colorref ToColorref(const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); }

ThemeColors DefaultThemeColors() {
  ThemeColors t;
  t.background = FromColorref(1052173);
  t.title = FromColorref(5063997);
  t.text = FromColorref(15129800);
  t.hint = FromColorref(65535);
  t.axis = FromColorref(4209203);
  t.scale = FromColorref(8421504);
  t.border = FromColorref(5063997);
  t.menuBar = FromColorref(3025701);
  t.sideBar = FromColorref(3745825);
  t.header = FromColorref(56540);
  t.quote = FromColorref(711900);
  t.rising = FromColorref(3947775);
  t.falling = FromColorref(56320);
  t.zebra = FromColorref(2958110);
  t.unchanged = FromColorref(13882323);
  return t;
}

QColor Blend(const QColor& a, const QColor& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto mix = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QPalette PaletteFor(const ThemeColors& c) {
  const QColor panel = Blend(c.background, c.menuBar, 0.75);
  const QColor edit = Blend(c.background, panel, 0.35);
  const QColor button = Blend(panel, c.border, 0.45);
  const QColor accent = Blend(c.border, QColor(70, 130, 210), 0.65);
  const QColor disabled = Blend(c.text, panel, 0.55);
  QPalette p;
  p.setColor(QPalette::Window, panel);
  p.setColor(QPalette::WindowText, c.text);
  p.setColor(QPalette::Base, edit);
  p.setColor(QPalette::AlternateBase, c.zebra);
  p.setColor(QPalette::Text, c.text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Button, button);
  p.setColor(QPalette::ButtonText, c.text);
  p.setColor(QPalette::BrightText, c.hint);
  p.setColor(QPalette::Highlight, accent);
  p.setColor(QPalette::HighlightedText, Luma(accent) > 150 ? QColor(0, 0, 0) : QColor(255, 255, 255));
  p.setColor(QPalette::ToolTipBase, panel);
  p.setColor(QPalette::ToolTipText, c.text);
  p.setColor(QPalette::Light, Blend(button, QColor(255, 255, 255), 0.15));
  p.setColor(QPalette::Midlight, Blend(button, QColor(255, 255, 255), 0.07));
  p.setColor(QPalette::Mid, Blend(button, c.background, 0.5));
  p.setColor(QPalette::Dark, Blend(button, c.background, 0.7));
  p.setColor(QPalette::Shadow, c.background);
  p.setColor(QPalette::Link, accent.lighter(140));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  return p;
}

const ThemeColors& Theme() { return Current(); }

QColor PanelColor() { return Blend(Current().background, Current().menuBar, 0.75); }
QColor AccentColor() { return Blend(Current().border, QColor(70, 130, 210), 0.65); }

void ApplyTheme(const ThemeColors& colors) {
  Current() = colors;
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setPalette(PaletteFor(colors));
    app->setStyleSheet(StyleSheetFor(colors));
  }
  emit ThemeNotifier::Instance()->changed();
}

ThemeNotifier* ThemeNotifier::Instance() {
  static ThemeNotifier* notifier = new ThemeNotifier;  // lives as long as the process
  return notifier;
}

}  // namespace tarn::ui
