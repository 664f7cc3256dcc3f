#include "tools/color_scheme.h"

#include <string>

#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"

using tarn::Colorref;
using tarn::Rgb;

namespace {

constexpr const char* kFile = "\\config\\ColorSetting.ini";
constexpr const char* kSection = "Current";

const char* const kKeys[kColorCount] = {
    "DiSe",     "BiaoTi",   "ZiFuXianShi", "TiXingSe",  "ZuoBiaoXian", "KeDu",      "BianKuang",
    "MenuBar",  "CeBianLan", "TaiTouZiFu", "BaoJiaZiFu", "ShangZhang", "XiaDie",    "BanMaTiao",
    "YangXian", "YinXian",  "PingPan",     "ZhiBiaoMing", "DiYiTiao",  "DiErTiao",  "DiSanTiao",
    "DiSiTiao", "DiWuTiao", "DiLiuTiao",   "DiQiTiao",  "DiBaTiao",    "DiJiuTiao", "DiShiTiao"};

constexpr ColorTable kDefaults = {0,       5063997, 15129800, 65535,    4209203,  8421504, 5063997,
                                  3025701, 3745825, 56540,    711900,   3947775,  56320,   2958110,
                                  4210943, 5358351, 13882323, 711900,   15198183, 711900,  16711935,
                                  61440,   7895160, 3947775,  33023,    32896,    8388736, 8421376};

// The ten indicator lines of our schemes: bright, distinct on a dark background.
constexpr Colorref kLines[10] = {Rgb(230, 230, 230), Rgb(240, 200, 60),  Rgb(230, 90, 230), Rgb(60, 210, 90),
                                 Rgb(140, 140, 150), Rgb(255, 90, 90),   Rgb(255, 150, 40), Rgb(90, 180, 255),
                                 Rgb(180, 120, 255), Rgb(40, 200, 200)};

ColorTable Scheme(Colorref bg, Colorref title, Colorref text, Colorref hint, Colorref axis, Colorref scale,
                  Colorref border, Colorref menu, Colorref side, Colorref header, Colorref quote, Colorref up,
                  Colorref down, Colorref zebra, Colorref yang, Colorref yin, Colorref flat, Colorref indName) {
  ColorTable t{bg, title, text, hint, axis, scale, border, menu, side, header, quote, up, down, zebra,
               yang, yin, flat, indName};
  for (int i = 0; i < 10; ++i) t[kColorDiYiTiao + i] = kLines[i];
  return t;
}

}  // namespace

const char* ColorKey(int index) { return index >= 0 && index < kColorCount ? kKeys[index] : ""; }

const std::string& ColorName(int index) {
  static const std::string* const names[kColorCount] = {
      &TXT("背景"),     &TXT("标题"),     &TXT("文字"),     &TXT("提醒色"),   &TXT("坐标线"),   &TXT("刻度"),
      &TXT("边框"),     &TXT("菜单栏"),   &TXT("侧边栏"),   &TXT("抬头字符"), &TXT("报价字符"), &TXT("上涨"),
      &TXT("下跌"),     &TXT("斑马条"),   &TXT("阳线"),     &TXT("阴线"),     &TXT("平盘"),     &TXT("指标名"),
      &TXT("第一条线"), &TXT("第二条线"), &TXT("第三条线"), &TXT("第四条线"), &TXT("第五条线"), &TXT("第六条线"),
      &TXT("第七条线"), &TXT("第八条线"), &TXT("第九条线"), &TXT("第十条线")};
  static const std::string empty;
  return index >= 0 && index < kColorCount ? *names[index] : empty;
}

const ColorTable& DefaultColors() { return kDefaults; }

Colorref BackgroundAsRead(Colorref stored) { return (stored == 3025701 || stored == 1512980) ? 1052173 : stored; }

bool SaveColorFile(const ColorTable& colors) {
  const std::string path = tarn::Path(kFile);
  tarn::ProfileDocument doc = tarn::ProfileDocument::Load(path);
  for (int i = 0; i < kColorCount; ++i) doc.Set(kSection, kKeys[i], std::to_string(static_cast<int>(colors[i])));
  return doc.Save(path);
}

ColorTable LoadColorFile() {
  const std::string path = tarn::Path(kFile);
  if (!tarn::FileExists(path)) SaveColorFile(kDefaults);
  const tarn::ProfileDocument doc = tarn::ProfileDocument::Load(path);
  ColorTable t;
  for (int i = 0; i < kColorCount; ++i)
    t[i] = static_cast<Colorref>(doc.GetIntOr(kSection, kKeys[i], static_cast<int>(kDefaults[i])));
  t[kColorDiSe] = BackgroundAsRead(t[kColorDiSe]);
  return t;
}

Colorref CColorScheme::Get(int index) const {
  tarn::Lock lock(mutex_);
  return colors_[index >= 0 && index < kColorCount ? index : kColorZiFuXianShi];
}

ColorTable CColorScheme::Table() const {
  tarn::Lock lock(mutex_);
  return colors_;
}

void CColorScheme::Reload() {
  const ColorTable t = LoadColorFile();
  {
    tarn::Lock lock(mutex_);
    colors_ = t;
  }
  listeners_.ForEach([](IColorSchemeNotify* l) { l->OnColorSchemeChanged(); });
}

bool CColorScheme::Store(const ColorTable& colors) {
  const bool ok = SaveColorFile(colors);
  Reload();
  return ok;
}

CColorScheme& GetColorScheme() {
  static CColorScheme* scheme = [] {
    auto* s = new CColorScheme;  // lives as long as the process: windows read it to the end
    s->colors_ = LoadColorFile();
    return s;
  }();
  return *scheme;
}

const std::vector<PredefinedScheme>& PredefinedSchemes() {
  static const std::vector<PredefinedScheme> schemes = [] {
    std::vector<PredefinedScheme> v;
    v.push_back({1019, TXT("经典"), false, kDefaults});
    // Deep sea: navy panels, cool text.
    v.push_back({1020, TXT("深海"), false,
                 Scheme(Rgb(10, 16, 30), Rgb(44, 66, 104), Rgb(206, 216, 232), Rgb(255, 214, 90), Rgb(44, 70, 112),
                        Rgb(128, 144, 170), Rgb(44, 66, 104), Rgb(18, 28, 48), Rgb(22, 36, 62), Rgb(120, 190, 255),
                        Rgb(232, 204, 96), Rgb(255, 84, 84), Rgb(46, 204, 122), Rgb(16, 25, 44), Rgb(255, 84, 84),
                        Rgb(46, 204, 122), Rgb(200, 206, 214), Rgb(232, 204, 96))});
    // Graphite: neutral greys.
    v.push_back({1046, TXT("石墨"), false,
                 Scheme(Rgb(22, 22, 24), Rgb(70, 70, 76), Rgb(220, 220, 222), Rgb(255, 200, 60), Rgb(66, 66, 72),
                        Rgb(140, 140, 146), Rgb(72, 72, 78), Rgb(34, 34, 38), Rgb(40, 40, 46), Rgb(230, 200, 120),
                        Rgb(236, 236, 236), Rgb(240, 80, 72), Rgb(62, 196, 106), Rgb(30, 30, 33), Rgb(240, 80, 72),
                        Rgb(62, 196, 106), Rgb(200, 200, 200), Rgb(236, 200, 110))});
    // Pine: dark green panels.
    v.push_back({1047, TXT("墨绿"), false,
                 Scheme(Rgb(10, 22, 18), Rgb(44, 84, 70), Rgb(214, 230, 220), Rgb(250, 220, 90), Rgb(40, 80, 66),
                        Rgb(128, 156, 142), Rgb(44, 84, 70), Rgb(16, 34, 28), Rgb(20, 42, 34), Rgb(150, 220, 180),
                        Rgb(236, 214, 110), Rgb(255, 92, 80), Rgb(80, 214, 140), Rgb(15, 31, 25), Rgb(255, 92, 80),
                        Rgb(80, 214, 140), Rgb(204, 214, 208), Rgb(236, 214, 110))});
    // Warm night: brown-black panels, amber text.
    v.push_back({1048, TXT("暖夜"), false,
                 Scheme(Rgb(24, 18, 14), Rgb(92, 70, 50), Rgb(236, 222, 200), Rgb(255, 190, 70), Rgb(84, 64, 46),
                        Rgb(160, 140, 120), Rgb(92, 70, 50), Rgb(36, 28, 22), Rgb(44, 34, 26), Rgb(255, 196, 110),
                        Rgb(250, 220, 150), Rgb(255, 96, 70), Rgb(110, 200, 110), Rgb(32, 25, 19), Rgb(255, 96, 70),
                        Rgb(110, 200, 110), Rgb(214, 204, 190), Rgb(250, 210, 130))});
    // Festive: deep red and gold.
    v.push_back({1052, TXT("春节"), true,
                 Scheme(Rgb(42, 8, 10), Rgb(140, 36, 30), Rgb(250, 226, 180), Rgb(255, 215, 0), Rgb(120, 40, 34),
                        Rgb(200, 150, 110), Rgb(176, 60, 40), Rgb(70, 14, 14), Rgb(84, 18, 18), Rgb(255, 210, 90),
                        Rgb(255, 226, 120), Rgb(255, 80, 60), Rgb(90, 210, 110), Rgb(56, 12, 14), Rgb(255, 80, 60),
                        Rgb(90, 210, 110), Rgb(236, 214, 190), Rgb(255, 210, 90))});
    return v;
  }();
  return schemes;
}

bool FestiveSchemeEnabled() { return tarn::Profile::GetString("\\config\\chunjie.ini", "Current", "Enable", "0") == "1"; }

bool SetFestiveSchemeEnabled(bool on) {
  return tarn::Profile::WriteString("\\config\\chunjie.ini", "Current", "Enable", std::string_view(on ? "1" : "0"));
}

bool ChoosePredefinedScheme(const PredefinedScheme& scheme) {
  const bool a = SetFestiveSchemeEnabled(scheme.festive);
  const bool b = GetColorScheme().Store(scheme.colors);
  return a && b;
}
