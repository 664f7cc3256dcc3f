// The colour scheme: 28 colours by index, kept in "\config\ColorSetting.ini" section "Current"
// as decimal COLORREF numbers, the six predefined schemes of the colour dialog, and the festive
// switch of "\config\chunjie.ini". Every grid and chart reads its colours from the scheme of
// this process by index; windows that must repaint when it changes register an
// IColorSchemeNotify.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/color.h"
#include "platform/sync.h"

enum ColorIndex {
  kColorDiSe = 0,        // background
  kColorBiaoTi,          // titles
  kColorZiFuXianShi,     // text
  kColorTiXingSe,        // hint colour
  kColorZuoBiaoXian,     // axis lines
  kColorKeDu,            // scale
  kColorBianKuang,       // borders
  kColorMenuBar,         // menu bar
  kColorCeBianLan,       // side bar
  kColorTaiTouZiFu,      // header text
  kColorBaoJiaZiFu,      // quote text
  kColorShangZhang,      // rising
  kColorXiaDie,          // falling
  kColorBanMaTiao,       // zebra rows
  kColorYangXian,        // rising candle
  kColorYinXian,         // falling candle
  kColorPingPan,         // unchanged
  kColorZhiBiaoMing,     // indicator names
  kColorDiYiTiao,        // indicator lines 1 to 10
  kColorDiErTiao,
  kColorDiSanTiao,
  kColorDiSiTiao,
  kColorDiWuTiao,
  kColorDiLiuTiao,
  kColorDiQiTiao,
  kColorDiBaTiao,
  kColorDiJiuTiao,
  kColorDiShiTiao,
  kColorCount
};

using ColorTable = std::array<tarn::Colorref, kColorCount>;

// The file key of a colour ("DiSe", ...), its name for the dialog (GBK) and its default.
const char* ColorKey(int index);
const std::string& ColorName(int index);
const ColorTable& DefaultColors();

// The background as read: the old menu-bar and panel values 3025701 and 1512980 stored as
// background are taken as 1052173.
tarn::Colorref BackgroundAsRead(tarn::Colorref stored);

// Reads "\config\ColorSetting.ini"; when the file does not exist it is first written with the
// defaults. Keys that are missing or not numbers keep their defaults.
ColorTable LoadColorFile();
// Writes all 28 keys. False when the file could not be written.
bool SaveColorFile(const ColorTable& colors);

class IColorSchemeNotify {
 public:
  virtual ~IColorSchemeNotify() = default;
  virtual void OnColorSchemeChanged() = 0;
};

class CColorScheme {
 public:
  // The colour at an index (an index out of range gives the text colour).
  tarn::Colorref Get(int index) const;
  ColorTable Table() const;
  // Reloads the file and tells the listeners.
  void Reload();
  // Writes `colors` to the file, reloads and tells the listeners.
  bool Store(const ColorTable& colors);

  void AddListener(IColorSchemeNotify* l) { listeners_.Add(l); }
  void RemoveListener(IColorSchemeNotify* l) { listeners_.Remove(l); }

 private:
  friend CColorScheme& GetColorScheme();
  mutable tarn::CriticalSection mutex_;
  ColorTable colors_{};
  tarn::ListenerSet<IColorSchemeNotify> listeners_;
};

// The scheme of this process, loaded on first use.
CColorScheme& GetColorScheme();

// One of the six schemes the colour dialog offers.
struct PredefinedScheme {
  int commandId;      // the dialog's button id: 1019, 1020, 1046, 1047, 1048, 1052
  std::string name;   // GBK
  bool festive;
  ColorTable colors;
};
const std::vector<PredefinedScheme>& PredefinedSchemes();

// "\config\chunjie.ini" [Current] Enable: "1" while the festive scheme is chosen.
bool FestiveSchemeEnabled();
bool SetFestiveSchemeEnabled(bool on);
// Choosing a predefined scheme: the festive switch, then the 28 keys, then the reload.
bool ChoosePredefinedScheme(const PredefinedScheme& scheme);
