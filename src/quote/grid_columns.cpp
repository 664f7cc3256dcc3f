#include "quote/grid_columns.h"

#include <algorithm>
#include <cmath>

#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

namespace {

constexpr const char* kColumnSection = "GridCol";
constexpr const char* kLayoutSection = "GridLayout";
constexpr const char* kSettingFile = "\\config\\setting.ini";
constexpr std::size_t kMaxIniBytes = 1u << 20;

std::vector<std::string_view> SplitBars(std::string_view s) {
  std::vector<std::string_view> out;
  if (s.empty()) return out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = s.find('|', start);
    out.push_back(s.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

int RoundWidth(double w) { return static_cast<int>(std::lround(w)); }

ProfileDocument LoadIni(const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path, kMaxIniBytes);
  return text ? ProfileDocument(*text) : ProfileDocument();
}

// A switch of the settings file: on when the value is there and neither empty nor "0" (the
// frame around the selected row: on unless the value is "0").
bool SwitchValue(const ProfileDocument& doc, const char* section, const char* key, bool onWhenMissing) {
  const std::optional<std::string> v = doc.Get(section, key);
  if (!v || v->empty()) return onWhenMissing;
  return *v != "0";
}

struct SwitchInfo {
  GridSwitch sw;
  const char* section;
  const char* key;
  bool settingsFile;  // else the column file
  bool onWhenMissing;
};
constexpr SwitchInfo kSwitches[kGridSwitchCount] = {
    {GridSwitch::HighLight, "GridShowHighLight", "HighLight", true, false},
    {GridSwitch::SelFontHuge, "GridSelRowFontSize", "SelFontHuge", true, false},
    {GridSwitch::ReverseSelRowColor, "GridSelRowFontColor", "ReverseSelRowColor", true, false},
    {GridSwitch::IsSelRowRect, "GridSelRowRect", "IsSelRowRect", true, true},
    {GridSwitch::HorizonGrid, kLayoutSection, "HorizonGrid", false, false},
    {GridSwitch::VerticalGrid, kLayoutSection, "VerticalGrid", false, false},
};

}  // namespace

const std::string& GridHeaderText(int kind) {
  static const std::string* const kHeaders[kGridDataKindCount] = {
      &TXT("序号"),   &TXT("名称"),   &TXT("最新"),   &TXT("现手"),   &TXT("买价"),     &TXT("卖价"),
      &TXT("买量"),   &TXT("卖量"),   &TXT("涨跌"),   &TXT("幅度%"),  &TXT("今开"),     &TXT("最高价"),
      &TXT("最低价"), &TXT("成交量"), &TXT("持仓量"), &TXT("昨持仓"), &TXT("涨停价"),   &TXT("跌停价"),
      &TXT("昨收"),   &TXT("昨结算"), &TXT("代码"),   &TXT("结算价"), &TXT("更新时间"),
  };
  static const std::string kEmpty;
  return IsGridDataIndex(kind) ? *kHeaders[kind] : kEmpty;
}

bool GridKindSorts(int kind) {
  return kind != kGridLastQuantity && kind != kGridBidQuantity && kind != kGridAskQuantity && kind != kGridUpdateTime;
}

const std::vector<int>& DefaultGridKinds() {
  static const std::vector<int> kinds = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 20, 22};
  return kinds;
}

double GridWidthScale(double dpiX, double dpiY, int desktopHeight) {
  if (desktopHeight <= 899) return 1.0;
  return std::min(dpiX, dpiY) / 96.0;
}

int DefaultGridColumnWidth(int kind, const GridWidthMetrics& m) {
  const double u = m.unit, s = m.scale;
  const int header = (m.headerTextWidth ? m.headerTextWidth(GridHeaderText(kind)) : 0) + RoundWidth(16 * s);
  double own;
  switch (kind) {
    case kGridName: own = 6.5 * u + 16; break;
    case kGridLastQuantity:
    case kGridBidQuantity:
    case kGridAskQuantity:
    case kGridChange: own = 5 * u; break;
    case kGridChangePercent:
    case kGridVolume:
    case kGridOpenInterest:
    case kGridPreOpenInterest: own = 6 * u; break;
    case kGridCode: own = 10 * u + 16 * s; break;
    case kGridUpdateTime: own = 7 * u + 16 * s; break;
    default: own = 6 * u + 10; break;
  }
  return std::max(header, RoundWidth(own));
}

std::string QuoteGridIniPath() { return Path("\\config\\QuoteGrid.ini"); }

std::optional<std::vector<QG_ColInfo>> ParseGridColumns(std::string_view iniText) {
  const ProfileDocument doc(iniText);
  if (doc.GetString(kColumnSection, "Version", "") != "1") return std::nullopt;
  const std::string kinds = doc.GetString(kColumnSection, "DataIdx", "");
  const std::string widths = doc.GetString(kColumnSection, "ColWidth", "");
  const std::vector<std::string_view> k = SplitBars(kinds), w = SplitBars(widths);
  if (k.empty() || k.size() != w.size()) return std::nullopt;
  std::vector<QG_ColInfo> out;
  const std::size_t n = std::min<std::size_t>(k.size(), kMaxGridColumns);
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    QG_ColInfo c;
    c.dataIndex = static_cast<int32_t>(std::clamp<long long>(ParseLeadingInt(k[i]), INT32_MIN, INT32_MAX));
    c.width = static_cast<int32_t>(std::clamp<long long>(ParseLeadingInt(w[i]), kMinGridColumnWidth, kMaxGridColumnWidth));
    out.push_back(c);
  }
  return out;
}

std::optional<std::vector<QG_ColInfo>> LoadGridColumns() {
  const std::optional<std::string> text = ReadWholeFile(QuoteGridIniPath(), kMaxIniBytes);
  if (!text) return std::nullopt;
  return ParseGridColumns(*text);
}

std::string JoinGridNumbers(const std::vector<int>& numbers) {
  std::string out;
  for (int n : numbers) out += Format("%d|", n);
  if (!out.empty()) out.pop_back();
  return out;
}

bool SaveGridColumns(const std::vector<QG_ColInfo>& columns) {
  const std::string path = QuoteGridIniPath();
  ProfileDocument doc = LoadIni(path);
  std::vector<int> kinds, widths;
  for (const QG_ColInfo& c : columns) {
    kinds.push_back(c.dataIndex);
    widths.push_back(c.width);
  }
  doc.Set(kColumnSection, "DataIdx", JoinGridNumbers(kinds));
  doc.Set(kColumnSection, "ColWidth", JoinGridNumbers(widths));
  doc.Set(kColumnSection, "Version", "1");
  return doc.Save(path);
}

bool GridDisplayFlags::Get(GridSwitch s) const {
  switch (s) {
    case GridSwitch::HighLight: return highLight;
    case GridSwitch::SelFontHuge: return selFontHuge;
    case GridSwitch::ReverseSelRowColor: return reverseSelRowColor;
    case GridSwitch::IsSelRowRect: return isSelRowRect;
    case GridSwitch::HorizonGrid: return horizonGrid;
    case GridSwitch::VerticalGrid: return verticalGrid;
  }
  return false;
}

void GridDisplayFlags::Set(GridSwitch s, bool on) {
  switch (s) {
    case GridSwitch::HighLight: highLight = on; break;
    case GridSwitch::SelFontHuge: selFontHuge = on; break;
    case GridSwitch::ReverseSelRowColor: reverseSelRowColor = on; break;
    case GridSwitch::IsSelRowRect: isSelRowRect = on; break;
    case GridSwitch::HorizonGrid: horizonGrid = on; break;
    case GridSwitch::VerticalGrid: verticalGrid = on; break;
  }
}

const std::string& GridSwitchText(GridSwitch s) {
  switch (s) {
    case GridSwitch::HighLight: return TXT("变动高亮");
    case GridSwitch::SelFontHuge: return TXT("选中字体放大");
    case GridSwitch::ReverseSelRowColor: return TXT("选中行反色");
    case GridSwitch::IsSelRowRect: return TXT("选中行框选");
    case GridSwitch::HorizonGrid: return TXT("横向网格");
    case GridSwitch::VerticalGrid: return TXT("竖向网格");
  }
  static const std::string kEmpty;
  return kEmpty;
}

const char* GridSwitchKey(GridSwitch s) { return kSwitches[static_cast<int>(s)].key; }

GridDisplayFlags LoadGridDisplayFlags() {
  const ProfileDocument settings = LoadIni(Path(kSettingFile));
  const ProfileDocument columns = LoadIni(QuoteGridIniPath());
  GridDisplayFlags f;
  for (const SwitchInfo& s : kSwitches)
    f.Set(s.sw, SwitchValue(s.settingsFile ? settings : columns, s.section, s.key, s.onWhenMissing));
  return f;
}

bool SaveGridSwitch(GridSwitch s, bool on) {
  const SwitchInfo& info = kSwitches[static_cast<int>(s)];
  const std::string path = info.settingsFile ? Path(kSettingFile) : QuoteGridIniPath();
  ProfileDocument doc = LoadIni(path);
  doc.Set(info.section, info.key, on ? "1" : "0");
  return doc.Save(path);
}

}  // namespace tarn
