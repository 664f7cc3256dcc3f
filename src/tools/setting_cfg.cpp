#include "tools/setting_cfg.h"

#include <memory>
#include <mutex>

#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace {

constexpr const char* kFile = "\\config\\setting.ini";
constexpr const char* kUserFile = "\\user\\setting.ini";

// Every integer key of the file in load order, with its default and its field.
struct IntKey {
  const char* section;
  const char* key;
  int def;
  int CSettingCfg::*field;
};

const IntKey kIntKeys[] = {
    {"Chart", "AxisAlign", 2, &CSettingCfg::axisAlign},
    {"Chart", "NewPrice", 1, &CSettingCfg::newPrice},
    {"Chart", "MouseWheel", 1, &CSettingCfg::mouseWheel},
    {"Chart", "PanKouDir", 1, &CSettingCfg::panKouDir},
    {"Chart", "dbClickAxis", 0, &CSettingCfg::dbClickAxis},
    {"Chart", "NewPriceLine", 0, &CSettingCfg::newPriceLine},
    {"Chart", "MouseLineLD", 0, &CSettingCfg::mouseLineLD},
    {"Chart", "DynaShowType", 1, &CSettingCfg::dynaShowType},
    {"Chart", "WaveLine", 0, &CSettingCfg::waveLine},
    {"Chart", "RightBlank", 60, &CSettingCfg::rightBlank},
    {"Chart", "AddIndicator", 0, &CSettingCfg::addIndicator},
    {"Chart", "ZoomCenter", 1, &CSettingCfg::zoomCenter},
    {"Chart", "DynaAvgType", 1, &CSettingCfg::dynaAvgType},
    {"Chart", "DynaAvgPeriod", 20, &CSettingCfg::dynaAvgPeriod},
    {"Chart", "DynaMerge", 0, &CSettingCfg::dynaMerge},
    {"Chart", "HourKMode", 1, &CSettingCfg::hourKMode},
    {"Chart", "bZoomWhenShowCursor", 0, &CSettingCfg::zoomWhenShowCursor},
    {"Chart", "DragAction", 1, &CSettingCfg::dragAction},
    {"Chart", "WaveValue", 0, &CSettingCfg::waveValue},
    {"Chart", "HigeLowMiDu", 2, &CSettingCfg::higeLowMiDu},
    {"Chart", "ShowBigPeriodShape", 1, &CSettingCfg::showBigPeriodShape},
    {"Chart", "ShowShapeCrossWindow", 1, &CSettingCfg::showShapeCrossWindow},
    {"Chart", "ShowSmallPeriodShape", 0, &CSettingCfg::showSmallPeriodShape},
    {"Chart", "NeedChiCangLine", 1, &CSettingCfg::needChiCangLine},
    {"Chart", "NeedTiaoJianDanLine", 1, &CSettingCfg::needTiaoJianDanLine},
    {"Chart", "NeedHoldOrderLine", 1, &CSettingCfg::needHoldOrderLine},
    {"Gernral", "BossKey", 74, &CSettingCfg::bossKey},
    {"Gernral", "NeedBossKey", 1, &CSettingCfg::needBossKey},
    {"Gernral", "LoadLayout", 1, &CSettingCfg::loadLayout},
    {"Gernral", "FlashBack2", 0, &CSettingCfg::flashBack2},
    {"Gernral", "FuPanQieZhuLi", 0, &CSettingCfg::fuPanQieZhuLi},
    {"Zhangfu", "ZfKind", 0, &CSettingCfg::zfKind},
    {"YangXianShow", "YangXianShowKind", 0, &CSettingCfg::yangXianShowKind},
    {"Panel", "MultiAvgQty", 5, &CSettingCfg::multiAvgQty},
    {"Trade", "nDbClickPositionAction", 0, &CSettingCfg::dbClickPositionAction},
    {"Trade", "vvsionDBPos", 0, &CSettingCfg::vvsionDBPos},
    {"Trade", "nDbClickOrderAction", 1, &CSettingCfg::dbClickOrderAction},
};

// A face name is read into a buffer of 100 bytes and copied into a 32-byte font record, so at
// most 31 bytes are used; the cut never leaves half a GBK character.
std::string FaceName(const std::string& stored) {
  char face[32];
  tarn::SetField(face, std::string_view(stored).substr(0, 99));
  return std::string(tarn::Field(face));
}

void ReadFont(const tarn::ProfileDocument& doc, const char* section, const GridFontSetting& def, GridFontSetting& out) {
  out.height = doc.GetIntOr(section, "Height", def.height);
  out.width = doc.GetIntOr(section, "Width", def.width);
  out.weight = doc.GetIntOr(section, "FontWeight", def.weight);
  out.faceName = FaceName(doc.GetString(section, "FontName", def.faceName));
}

void WriteFont(tarn::ProfileDocument& doc, const char* section, const GridFontSetting& f) {
  doc.Set(section, "Height", std::to_string(f.height));
  doc.Set(section, "Width", std::to_string(f.width));
  doc.Set(section, "FontWeight", std::to_string(f.weight));
  doc.Set(section, "FontName", f.faceName);
}

std::mutex& InstanceMutex() {
  static std::mutex m;
  return m;
}
std::unique_ptr<CSettingCfg>& Instance() {
  static std::unique_ptr<CSettingCfg> cfg;
  return cfg;
}

}  // namespace

GridFontSetting DefaultEngGridFont() { return {14, 0, 400, "WenQuanYi Micro Hei Mono"}; }
GridFontSetting DefaultChineseGridFont() { return {14, 0, 400, "WenQuanYi Micro Hei"}; }

CSettingCfg::CSettingCfg() {
  engFont = DefaultEngGridFont();
  chineseFont = DefaultChineseGridFont();
  for (const IntKey& k : kIntKeys) this->*k.field = k.def;
  infoPanelLevel = 5;
}

void CSettingCfg::Load() {
  const std::string path = tarn::Path(kFile);
  tarn::ProfileDocument doc = tarn::ProfileDocument::Load(path);
  ReadFont(doc, "GridEngFont", DefaultEngGridFont(), engFont);
  ReadFont(doc, "GridChineseFont", DefaultChineseGridFont(), chineseFont);
  for (const IntKey& k : kIntKeys) this->*k.field = doc.GetIntOr(k.section, k.key, k.def);
  if (bossKey == 0) bossKey = 74;
  if (needBossKey != 0) needBossKey = 1;

  bool write = false;
  if (!tarn::FileExists(tarn::Path("\\user\\layout\\frame.lyt"))) {
    doc.Set("Gernral", "LoadLayout", "1");
    write = true;
  }
  loadLayout = 1;
  if (vvsionDBPos == 0) {
    // The one-time reset of the position double-click action. The reset action is written
    // along with the mark: otherwise the next start would read the old action back while the
    // mark says the reset has been done.
    dbClickPositionAction = 0;
    vvsionDBPos = 1;
    doc.Set("Trade", "nDbClickPositionAction", "0");
    doc.Set("Trade", "vvsionDBPos", "1");
    write = true;
  }
  if (write) doc.Save(path);
  infoPanelLevel = UserSetting::InfoPanelLevel();
}

bool CSettingCfg::Save() const {
  const std::string path = tarn::Path(kFile);
  tarn::ProfileDocument doc = tarn::ProfileDocument::Load(path);
  WriteFont(doc, "GridEngFont", engFont);
  WriteFont(doc, "GridChineseFont", chineseFont);
  for (const IntKey& k : kIntKeys) doc.Set(k.section, k.key, std::to_string(this->*k.field));
  doc.Set("InfoPanelLevel", "Value", std::to_string(infoPanelLevel));
  return doc.Save(path);
}

void CSettingCfg::Notify(bool recomputeColumns) {
  listeners_.ForEach([&](ISettingCfgNotify* l) { l->OnSettingCfgChanged(recomputeColumns); });
}

bool CSettingCfg::SaveAndNotify(bool recomputeColumns) {
  const bool ok = Save();
  Notify(recomputeColumns);
  return ok;
}

CSettingCfg& GetSettingCfg() {
  std::lock_guard<std::mutex> lock(InstanceMutex());
  if (!Instance()) {
    Instance() = std::make_unique<CSettingCfg>();
    Instance()->Load();
  }
  return *Instance();
}

void ReloadSettingCfg() {
  CSettingCfg& cfg = GetSettingCfg();
  CSettingCfg fresh;
  fresh.Load();
  // Keep the object (listeners hold on to it); take the values.
  cfg.engFont = fresh.engFont;
  cfg.chineseFont = fresh.chineseFont;
  for (const IntKey& k : kIntKeys) cfg.*k.field = fresh.*k.field;
  cfg.infoPanelLevel = fresh.infoPanelLevel;
}

namespace UserSetting {
namespace {
int Int(const char* section, const char* key, int def) { return tarn::Profile::GetIntOr(kUserFile, section, key, def); }
bool Write(const char* section, const char* key, const char* value) {
  return tarn::Profile::WriteString(kUserFile, section, key, std::string_view(value));
}
}  // namespace
bool TradeConfirm() { return Int("TradeConfirm", "Value", 1) == 1; }
bool CoverConfirm() { return Int("CoverConfirm", "Value", 1) == 1; }
int InfoPanelLevel() { return Int("InfoPanelLevel", "Value", 5) == 10 ? 10 : 5; }
bool LinkPeriod() { return Int("LianDong", "ZhouQi", 0) != 0; }
bool LinkZoom() { return Int("LianDong", "Zoom", 0) != 0; }
bool SnapDrawing() { return Int("DrawPen", "AutoXiFu", 1) != 0; }
std::string SecondToolbar() { return tarn::Profile::GetString(kUserFile, "HasSecondToolbar", "Exist", ""); }
bool SetTradeConfirm(bool on) { return Write("TradeConfirm", "Value", on ? "1" : "0"); }
bool SetCoverConfirm(bool on) { return Write("CoverConfirm", "Value", on ? "1" : "0"); }
bool SetInfoPanelLevel(int level) { return Write("InfoPanelLevel", "Value", level == 10 ? "10" : "5"); }
bool SetSecondToolbar(bool on) { return Write("HasSecondToolbar", "Exist", on ? "1" : "0"); }
}  // namespace UserSetting

GeneralChoices ReadGeneralChoices() {
  const CSettingCfg& cfg = GetSettingCfg();
  GeneralChoices c;
  c.tradeConfirm = UserSetting::TradeConfirm();
  c.coverConfirm = UserSetting::CoverConfirm();
  c.mouseWheelIndex = cfg.mouseWheel == 1 ? 0 : 1;
  c.positionAction = (cfg.dbClickPositionAction >= 0 && cfg.dbClickPositionAction <= 2) ? cfg.dbClickPositionAction : 0;
  c.orderAction = (cfg.dbClickOrderAction >= 0 && cfg.dbClickOrderAction <= 2) ? cfg.dbClickOrderAction : 1;
  c.infoPanelLevel = UserSetting::InfoPanelLevel();
  return c;
}

bool ApplyGeneralChoices(const GeneralChoices& c) {
  bool ok = UserSetting::SetTradeConfirm(c.tradeConfirm);
  ok = UserSetting::SetCoverConfirm(c.coverConfirm) && ok;
  ok = UserSetting::SetInfoPanelLevel(c.infoPanelLevel) && ok;
  CSettingCfg& cfg = GetSettingCfg();
  cfg.mouseWheel = c.mouseWheelIndex == 0 ? 1 : 2;
  cfg.dbClickPositionAction = c.positionAction;
  cfg.dbClickOrderAction = c.orderAction;
  cfg.infoPanelLevel = c.infoPanelLevel == 10 ? 10 : 5;
  return cfg.SaveAndNotify(false) && ok;
}
