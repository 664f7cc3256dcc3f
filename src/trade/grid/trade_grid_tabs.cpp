#include "trade/grid/trade_grid_tabs.h"

#include <algorithm>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

namespace {

constexpr const char* kUserSetting = "\\user\\setting.ini";

std::vector<TradeColumn> Columns(std::initializer_list<std::pair<const std::string*, int>> items) {
  std::vector<TradeColumn> out;
  for (const auto& [title, width] : items) {
    // Negative widths mark right-aligned figures, 0 a centred column.
    CellAlign align = width < 0 ? CellAlign::Right : CellAlign::Left;
    out.push_back(TradeColumn{*title, width < 0 ? -width : width, align});
  }
  out.front().align = CellAlign::Center;  // "序号"
  return out;
}

}  // namespace

const std::string& TabTitle(int kind) {
  switch (kind) {
    case kTabPositions: return TXT("F5持仓");
    case kTabOrders: return TXT("F9委托");
    case kTabWorking: return TXT("F4挂单");
    case kTabFills: return TXT("F1成交");
    case kTabConditions: return TXT("条件单");
    case kTabOco: return TXT("OCO(本地)");
    case kTabAutoStops: return TXT("自动止损(本地)");
    case kTabDetails: return TXT("持仓明细");
    default: {
      static const std::string none;
      return none;
    }
  }
}

std::string TabTitleWithCount(int kind, int count) {
  if (!IsTradeTab(kind)) return std::string();
  return TabTitle(kind) + Format("(%d)", count);
}

int TabControlId(int kind) {
  static constexpr int kIds[kTradeTabCount] = {102, 101, 104, 103, 105, 106, 107, 108};
  return IsTradeTab(kind) ? kIds[kind] : 0;
}

int TabOfControl(int controlId) {
  for (int k = 0; k < kTradeTabCount; ++k)
    if (TabControlId(k) == controlId) return k;
  return -1;
}

const std::vector<TradeColumn>& TabColumns(int kind) {
  static const std::vector<TradeColumn> kTabs[kTradeTabCount] = {
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("数量"), -5}, {&TXT("成本价格"), -10},
               {&TXT("浮动盈亏"), -9}, {&TXT("浮盈点数"), -8}, {&TXT("持仓盈亏"), -9}, {&TXT("止盈止损"), 24},
               {&TXT("保证金"), -10}, {&TXT("昨仓"), -5}, {&TXT("今仓"), -5}, {&TXT("盈利率"), -8},
               {&TXT("备注"), 12}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("开平"), 5}, {&TXT("委托量"), -6},
               {&TXT("委托价"), -9}, {&TXT("成交量"), -6}, {&TXT("成交价"), -9}, {&TXT("状态"), 8},
               {&TXT("下单时间"), 18}, {&TXT("平仓号"), 10}, {&TXT("错误信息"), 20}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("开平"), 5}, {&TXT("委托量"), -6},
               {&TXT("委托价"), -9}, {&TXT("成交量"), -6}, {&TXT("状态"), 8}, {&TXT("委托时间"), 18},
               {&TXT("平仓号"), 10}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("开平"), 5}, {&TXT("成交量"), -6},
               {&TXT("成交价"), -9}, {&TXT("平盈"), -9}, {&TXT("手续费"), -8}, {&TXT("成交时间"), 18}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("开平"), 5}, {&TXT("委托量"), -6},
               {&TXT("委托价"), -12}, {&TXT("状态"), 8}, {&TXT("触发条件"), 20}, {&TXT("有效期"), 6},
               {&TXT("创建时间"), 18}, {&TXT("平仓号"), 10}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("价格1"), -9}, {&TXT("价格2"), -9}, {&TXT("买卖1"), 5},
               {&TXT("买卖2"), 5}, {&TXT("开平1"), 5}, {&TXT("开平2"), 5}, {&TXT("委托量"), -6},
               {&TXT("创建时间"), 18}, {&TXT("状态"), 8}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("数量"), -5}, {&TXT("持仓价"), -10},
               {&TXT("止损价"), -9}, {&TXT("止盈价"), -9}, {&TXT("浮动止损"), -9}, {&TXT("保本价"), -9}}),
      Columns({{&TXT("序号"), 4}, {&TXT("合约"), 10}, {&TXT("方向"), 5}, {&TXT("数量"), -5}, {&TXT("成本价格"), -10},
               {&TXT("浮动盈亏"), -9}, {&TXT("浮盈点数"), -8}, {&TXT("持仓盈亏"), -9}, {&TXT("止盈止损"), 24},
               {&TXT("保证金"), -10}, {&TXT("盈利率"), -8}, {&TXT("备注"), 12}, {&TXT("成交号"), 18},
               {&TXT("持仓号"), 10}}),
  };
  static const std::vector<TradeColumn> kNone;
  return IsTradeTab(kind) ? kTabs[kind] : kNone;
}

int TabColumnIndex(int kind, std::string_view title) {
  const std::vector<TradeColumn>& cols = TabColumns(kind);
  for (std::size_t i = 0; i < cols.size(); ++i)
    if (cols[i].title == title) return static_cast<int>(i);
  return -1;
}

const std::vector<GridButton>& TabButtons(int kind) {
  static const std::vector<GridButton> kTabs[kTradeTabCount] = {
      {{TXT("平10%"), 201}, {TXT("平30%"), 202}, {TXT("平50%"), 203}, {TXT("平75%"), 204}, {"", 0},
       {TXT("全平"), 101}, {TXT("止盈止损"), 401}, {"", 0}, {TXT("锁仓"), 302}, {TXT("反手"), 301}, {"", 0},
       {TXT("刷新持仓"), 104}, {TXT("一键清仓"), 102}},
      {{TXT("撤单"), 101}, {TXT("改单"), 104}, {TXT("全部撤单"), 102}},
      {{TXT("撤单"), 101}, {TXT("改单"), 104}, {TXT("全部撤单"), 102}},
      {{TXT("明细"), kCodeFillDetail}, {TXT("合计"), kCodeFillSummary}},
      {{TXT("撤单"), 101}, {TXT("全部撤单"), 102}},
      {{TXT("修改"), 101}, {TXT("撤销"), 102}, {TXT("全部撤销"), 103}},
      {{TXT("设置"), 301}},
      {{TXT("平指定仓位"), 101}, {TXT("止盈止损"), 401}},
  };
  static const std::vector<GridButton> kNone;
  return IsTradeTab(kind) ? kTabs[kind] : kNone;
}

std::vector<GridButton> TabContextMenu(int kind, bool onRow, bool working) {
  switch (kind) {
    case kTabPositions:
      if (!onRow) return {{TXT("刷新"), 104}, {TXT("全部清仓"), 102}};
      return {{TXT("刷新"), 104},     {TXT("快速平仓"), 101}, {TXT("快速反手"), 301},
              {TXT("快速锁仓"), 302}, {TXT("全部清仓"), 102}, {TXT("设置止盈止损"), 401}};
    case kTabDetails:
      if (!onRow) return {};
      return {{TXT("平仓"), 101}, {TXT("设置止盈止损"), 401}};
    case kTabOrders:
    case kTabWorking: {
      std::vector<GridButton> out;
      if (onRow && working) out = {{TXT("撤单"), 101}, {TXT("改单"), 104}};
      out.push_back({TXT("全部撤单"), 102});
      return out;
    }
    case kTabConditions: {
      if (!onRow) return {};
      std::vector<GridButton> out;
      if (working) out.push_back({TXT("撤单"), 101});
      out.push_back({TXT("全部撤单"), 102});
      return out;
    }
    case kTabOco: {
      if (!onRow) return {{TXT("全部撤销"), 103}};
      std::vector<GridButton> out;
      if (working) out.push_back({TXT("修改"), 101});
      out.push_back({TXT("撤销"), 102});
      out.push_back({TXT("全部撤销"), 103});
      return out;
    }
    default: return {};
  }
}

// ---- layout ------------------------------------------------------------------------------------

const std::vector<int>& DefaultTabGroup() {
  static const std::vector<int> kDefault = {0, 1, 2, 3, 4, 5, 6, 7};
  return kDefault;
}

std::vector<int> ParseTabKinds(std::string_view text, std::vector<bool>* taken) {
  std::vector<bool> local(kTradeTabCount, false);
  std::vector<bool>& used = taken ? *taken : local;
  used.resize(kTradeTabCount, false);
  std::vector<int> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    bool ok = false;
    const long long v = ParseLeadingInt(text.substr(start, end - start), &ok);
    if (ok && v >= 0 && v < kTradeTabCount && !used[static_cast<std::size_t>(v)]) {
      used[static_cast<std::size_t>(v)] = true;
      out.push_back(static_cast<int>(v));
    }
    start = end + 1;
  }
  return out;
}

std::string FormatTabKinds(const std::vector<int>& kinds) {
  std::string s;
  for (int k : kinds) s += Format("%d,", k);
  if (!s.empty()) s.pop_back();
  return s;
}

TradeGridLayout RestoreTradeGridLayout() {
  const std::string g1 = Profile::GetString(kUserSetting, "TradeGrid1", "value", "0,1,2,3,4,5,6,7");
  const std::string g2 = Profile::GetString(kUserSetting, "TradeGrid2", "value", "");
  const int version = Profile::GetInt(kUserSetting, "TradeGridLayout", "version", 0);
  std::string use1 = (!g1.empty() && version >= 2) ? g1 : FormatTabKinds(DefaultTabGroup());
  std::string use2 = (!g2.empty() && version >= 2) ? g2 : std::string();
  if (version < kTradeGridLayoutVersion) {
    Profile::WriteString(kUserSetting, "TradeGridLayout", "version", "5");
    use1 = FormatTabKinds(DefaultTabGroup());
    use2.clear();
  }
  TradeGridLayout layout;
  std::vector<bool> taken(kTradeTabCount, false);
  layout.first = ParseTabKinds(use1, &taken);
  if (!use2.empty()) layout.second = ParseTabKinds(use2, &taken);
  if (layout.first.empty()) {
    // A group without a tab cannot be shown; the second takes its place, or the default.
    layout.first = layout.second.empty() ? DefaultTabGroup() : layout.second;
    layout.second.clear();
  }
  return layout;
}

bool SaveTradeGridLayout(const TradeGridLayout& layout) {
  bool ok = Profile::WriteString(kUserSetting, "TradeGrid1", "value", FormatTabKinds(layout.first));
  ok = Profile::WriteString(kUserSetting, "TradeGrid2", "value", FormatTabKinds(layout.second)) && ok;
  ok = Profile::WriteString(kUserSetting, "TradeGridLayout", "version", "5") && ok;
  return ok;
}

std::optional<std::vector<int>> ParseColumnWidths(std::string_view text, std::size_t columns) {
  std::vector<int> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    if (out.size() >= columns) return std::nullopt;  // one item too many
    const long long v = ParseLeadingInt(text.substr(start, end - start));
    out.push_back(static_cast<int>(std::clamp<long long>(v, 8, 2000)));
    start = end + 1;
  }
  if (out.size() != columns) return std::nullopt;
  return out;
}

std::string FormatColumnWidths(const std::vector<int>& widths) { return FormatTabKinds(widths); }

std::optional<std::vector<int>> LoadColumnWidths(int controlId, std::size_t columns) {
  const std::string text = Profile::GetString(kUserSetting, "TradeGridColWid", Format("%d", controlId), "");
  if (text.empty()) return std::nullopt;
  return ParseColumnWidths(text, columns);
}

bool SaveColumnWidths(int controlId, const std::vector<int>& widths) {
  return Profile::WriteString(kUserSetting, "TradeGridColWid", Format("%d", controlId), FormatColumnWidths(widths));
}

}  // namespace tarn
