// The terminal's settings: one object per process over "\config\setting.ini", loaded on first
// use and written back whole, and the few per-user switches of "\user\setting.ini".
//
// Windows that depend on settings register an ISettingCfgNotify and are told after every
// save. The fields are changed on the UI thread only (at load and by the settings dialog);
// workers that need one copy it when they start.
#pragma once

#include <string>

#include "platform/sync.h"

// Told after the settings were saved. `recomputeColumns` asks the quote grids to recompute
// their column widths (the fonts may have changed).
class ISettingCfgNotify {
 public:
  virtual ~ISettingCfgNotify() = default;
  virtual void OnSettingCfgChanged(bool recomputeColumns) = 0;
};

// A grid font as stored: height, width, weight and face name.
struct GridFontSetting {
  int height = 0;
  int width = 0;
  int weight = 0;
  std::string faceName;  // GBK, at most 31 bytes
};

class CSettingCfg {
 public:
  CSettingCfg();

  // Reads "\config\setting.ini" (missing or non-numeric values give the defaults) and applies
  // the load rules: a "BossKey" of 0 becomes 74; "LoadLayout" is written "1" when
  // "\user\layout\frame.lyt" does not exist and is 1 in use; while "vvsionDBPos" is 0 the
  // position double-click action is reset to 0 once, and both keys are written back.
  void Load();
  // Writes every key (and the information panel depth) to "\config\setting.ini" in one
  // replacement. False when the file could not be written.
  bool Save() const;
  // Save, then tell every listener.
  bool SaveAndNotify(bool recomputeColumns);

  void AddListener(ISettingCfgNotify* l) { listeners_.Add(l); }
  void RemoveListener(ISettingCfgNotify* l) { listeners_.Remove(l); }
  void Notify(bool recomputeColumns);

  GridFontSetting engFont;
  GridFontSetting chineseFont;
  // [Chart]
  int axisAlign, newPrice, mouseWheel, panKouDir, dbClickAxis, newPriceLine, mouseLineLD, dynaShowType, waveLine,
      rightBlank, addIndicator, zoomCenter, dynaAvgType, dynaAvgPeriod, dynaMerge, hourKMode, zoomWhenShowCursor,
      dragAction, waveValue, higeLowMiDu, showBigPeriodShape, showShapeCrossWindow, showSmallPeriodShape,
      needChiCangLine, needTiaoJianDanLine, needHoldOrderLine;
  // [Gernral]
  int bossKey, needBossKey, loadLayout, flashBack2, fuPanQieZhuLi;
  int zfKind;            // [Zhangfu] ZfKind
  int yangXianShowKind;  // [YangXianShow] YangXianShowKind
  int multiAvgQty;       // [Panel] MultiAvgQty
  // [Trade]
  int dbClickPositionAction, vvsionDBPos, dbClickOrderAction;
  int infoPanelLevel;    // [InfoPanelLevel] Value: written, never read from this file

 private:
  tarn::ListenerSet<ISettingCfgNotify> listeners_;
};

// The settings of this process, loaded on first use.
CSettingCfg& GetSettingCfg();
// Loads the process's settings again from the files (tests, and a program directory change).
void ReloadSettingCfg();

// The built-in grid fonts (the defaults of [GridEngFont] and [GridChineseFont]).
GridFontSetting DefaultEngGridFont();
GridFontSetting DefaultChineseGridFont();

// "\user\setting.ini": read afresh at every call, written key by key.
namespace UserSetting {
bool TradeConfirm();            // [TradeConfirm] Value, default 1
bool CoverConfirm();            // [CoverConfirm] Value, default 1
int InfoPanelLevel();           // [InfoPanelLevel] Value: 10 or 5 (default 5)
bool LinkPeriod();              // [LianDong] ZhouQi, default 0
bool LinkZoom();                // [LianDong] Zoom, default 0
bool SnapDrawing();             // [DrawPen] AutoXiFu, default 1
std::string SecondToolbar();    // [HasSecondToolbar] Exist: "1", "0" or "" (default)
bool SetTradeConfirm(bool on);
bool SetCoverConfirm(bool on);
bool SetInfoPanelLevel(int level);  // writes "10" for 10, else "5"
bool SetSecondToolbar(bool on);
}  // namespace UserSetting

// What the general settings dialog shows and changes, as plain values: the dialog fills its
// controls from ReadGeneralChoices and hands them back to ApplyGeneralChoices on OK.
struct GeneralChoices {
  bool tradeConfirm = true;
  bool coverConfirm = true;
  int mouseWheelIndex = 0;       // 0 "缩放图表" (MouseWheel 1), 1 "切换合约" (2)
  int positionAction = 0;        // 0, 1, 2
  int orderAction = 1;           // 0, 1, 2
  int infoPanelLevel = 5;        // 5 or 10
};
GeneralChoices ReadGeneralChoices();
// Writes the confirmations and the panel depth to "\user\setting.ini", sets the mouse wheel,
// the two double-click actions and the depth in the settings object, saves it and tells the
// listeners. False when a file could not be written.
bool ApplyGeneralChoices(const GeneralChoices& c);
