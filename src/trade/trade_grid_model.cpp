#include "trade/trade_grid_model.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "data/trade_enums.h"
#include "platform/text.h"

namespace tarn {

namespace {

template <class T>
std::string Bytes(const T& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof(T));
}

// A record's identity that is unique within one pass: a repeated or empty identity gets the
// record's index appended.
std::string UniqueId(std::string_view id, std::size_t index, std::unordered_set<std::string>& seen) {
  std::string s(id);
  if (s.empty() || !seen.insert(s).second) {
    s += Format("#%zu", index);
    seen.insert(s);
  }
  return s;
}

}  // namespace

void TradeGridModel::Cache::Sweep() {
  for (auto it = map.begin(); it != map.end();) {
    if (it->second.pass != pass)
      it = map.erase(it);
    else
      ++it;
  }
}

TradeGridModel::TradeGridModel(PositionRemarkStore& remarks, InfoFn info)
    : remarks_(remarks), info_(std::move(info)) {}

ContractInfo TradeGridModel::InfoOf(const DC_Contract& c) {
  std::string key(c.Key());
  auto it = infoCache_.find(key);
  if (it != infoCache_.end()) return it->second;
  ContractInfo info = info_ ? info_(c) : ContractInfo{};
  infoCache_.emplace(std::move(key), info);
  return info;
}

template <class Make>
std::shared_ptr<const CellRow> TradeGridModel::CellsFor(Tab& tab, std::string id, std::string inputs, Make make) {
  CacheEntry& e = tab.cache.map[std::move(id)];
  e.pass = tab.cache.pass;
  if (!e.cells || e.record != inputs) {
    e.cells = std::make_shared<const CellRow>(make());
    e.record = std::move(inputs);
    ++formatted_;
  }
  return e.cells;
}

void TradeGridModel::SetRows(int kind, std::vector<GridRow> rows) {
  Tab& tab = tabs_[Index(kind)];
  const std::size_t old = tab.rows.size();
  if (rows.size() != old) tab.changes.countChanged = true;
  std::vector<int>& changed = tab.changes.rows;
  const std::size_t before = changed.size();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i < old && tab.rows[i].cells == rows[i].cells) continue;
    if (i < old && tab.rows[i].cells && rows[i].cells && *tab.rows[i].cells == *rows[i].cells) continue;
    changed.push_back(static_cast<int>(i));
  }
  if (changed.size() != before) {
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  }
  tab.rows = std::move(rows);
  tab.cache.Sweep();
}

TabChanges TradeGridModel::TakeChanges(int kind) {
  TabChanges out = std::move(tabs_[Index(kind)].changes);
  tabs_[Index(kind)].changes = TabChanges{};
  // Rows gone since they were marked are not reported.
  const int n = RowCount(kind);
  out.rows.erase(std::remove_if(out.rows.begin(), out.rows.end(), [n](int r) { return r >= n; }), out.rows.end());
  return out;
}

void TradeGridModel::Refresh(ITradeApi& api, bool full) {
  if (full) {
    infoCache_.clear();
    RefreshOrders(api);
    RefreshPositions(api);
    RefreshDetails(api);
    RefreshFills(api);
    RefreshWorking();
    RefreshConditions();
  } else {
    RefreshPositions(api);
    RefreshDetails(api);
  }
}

void TradeGridModel::RefreshOrders(ITradeApi& api) {
  api.GetOrders(orders_);
  stopCandidates_.clear();
  for (std::size_t i = 0; i < orders_.size(); ++i) {
    const OrderRecord& o = orders_[i];
    if (o.hidden == 1 && o.state == 11 && (o.offset == 2 || o.offset == 3)) stopCandidates_.push_back(static_cast<int>(i));
  }
  Tab& tab = tabs_[kTabOrders];
  tab.cache.Begin();
  std::unordered_set<std::string> seen;
  std::vector<GridRow> rows;
  rows.reserve(orders_.size());
  for (std::size_t i = orders_.size(); i-- > 0;) {
    const OrderRecord& o = orders_[i];
    if (o.hidden == 1) continue;
    const ContractInfo info = InfoOf(o.contract);
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, UniqueId(o.Key(), i, seen), Bytes(o) + Bytes(info.decimals),
                                    [&] { return OrderCells(o, info); })});
  }
  SetRows(kTabOrders, std::move(rows));
}

void TradeGridModel::RefreshWorking() {
  Tab& tab = tabs_[kTabWorking];
  tab.cache.Begin();
  std::unordered_set<std::string> seen;
  std::vector<GridRow> rows;
  for (std::size_t i = orders_.size(); i-- > 0;) {
    const OrderRecord& o = orders_[i];
    if (o.hidden == 1 || !IsWorkingState(o.state)) continue;
    const ContractInfo info = InfoOf(o.contract);
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, UniqueId(o.Key(), i, seen), Bytes(o) + Bytes(info.decimals),
                                    [&] { return WorkingOrderCells(o, info); })});
  }
  SetRows(kTabWorking, std::move(rows));
}

void TradeGridModel::RefreshConditions() {
  Tab& tab = tabs_[kTabConditions];
  tab.cache.Begin();
  std::unordered_set<std::string> seen;
  std::vector<GridRow> rows;
  for (std::size_t i = 0; i < orders_.size(); ++i) {
    const OrderRecord& o = orders_[i];
    if (o.hidden != 1) continue;
    const ContractInfo info = InfoOf(o.contract);
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, UniqueId(o.Key(), i, seen), Bytes(o) + Bytes(info.decimals),
                                    [&] { return ConditionOrderCells(o, info); })});
  }
  SetRows(kTabConditions, std::move(rows));
}

void TradeGridModel::CleanUpRemarks(ITradeApi& api) {
  if (remarks_.All().empty()) return;
  // The details are read afresh: the copy may be older than the positions (or not yet made),
  // and a remark of a lot that still exists must not be lost.
  std::vector<PositionDetail> details;
  api.GetPositionDetails(details);
  std::unordered_set<std::string> keep;
  for (const PositionRecord& p : positions_) keep.insert(PositionRemarkKey(p));
  for (const PositionDetail& d : details) keep.insert(std::string(Field(d.positionNumber)));
  remarks_.CleanUp([&](const std::string& key) { return keep.count(key) > 0; });
}

void TradeGridModel::RefreshPositions(ITradeApi& api) {
  api.GetPositions(positions_);
  bool any = false;
  for (const PositionRecord& p : positions_) any = any || p.Shown();
  if (any) CleanUpRemarks(api);
  BuildPositionRows();
}

std::vector<OrderRecord> TradeGridModel::StopOrders() const {
  std::vector<OrderRecord> out;
  out.reserve(stopCandidates_.size());
  for (int i : stopCandidates_) out.push_back(orders_[static_cast<std::size_t>(i)]);
  return out;
}

void TradeGridModel::BuildPositionRows() {
  const std::vector<OrderRecord> stopOrders = StopOrders();
  Tab& tab = tabs_[kTabPositions];
  tab.cache.Begin();
  std::unordered_set<std::string> seen;
  std::vector<GridRow> rows;
  for (std::size_t i = 0; i < positions_.size(); ++i) {
    const PositionRecord& p = positions_[i];
    if (!p.Shown()) continue;
    const ContractInfo info = InfoOf(p.contract);
    const bool isLong = p.IsLong();
    std::string stops =
        stopOrders.empty() ? std::string() : StopOrderText(stopOrders, p.contract, isLong, {}, info.decimals);
    const std::string& remark = remarks_.Get(PositionRemarkKey(p));
    std::string inputs = Bytes(p) + Bytes(info.decimals) + Bytes(info.multiplier) + stops + '\0' + remark;
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, UniqueId(std::string(p.contract.Key()) + (isLong ? "|B" : "|S"), i, seen),
                                    std::move(inputs), [&] { return PositionCells(p, info, stops, remark); })});
  }
  SetRows(kTabPositions, std::move(rows));
}

void TradeGridModel::RefreshDetails(ITradeApi& api) {
  api.GetPositionDetails(details_);
  BuildDetailRows();
}

void TradeGridModel::BuildDetailRows() {
  const std::vector<OrderRecord> stopOrders = StopOrders();
  Tab& tab = tabs_[kTabDetails];
  tab.cache.Begin();
  std::unordered_set<std::string> seen;
  std::vector<GridRow> rows;
  rows.reserve(details_.size());
  static const std::string kNoRemark;
  for (std::size_t i = 0; i < details_.size(); ++i) {
    const PositionDetail& d = details_[i];
    const ContractInfo info = InfoOf(d.contract);
    const std::string number(Field(d.positionNumber));
    // A lot without a position number can carry neither stops nor a remark of its own.
    std::string stops = stopOrders.empty() || number.empty()
                            ? std::string()
                            : StopOrderText(stopOrders, d.contract, d.direction == 1, number, info.decimals);
    const std::string& remark = number.empty() ? kNoRemark : remarks_.Get(number);
    std::string inputs = Bytes(d) + Bytes(info.decimals) + Bytes(info.multiplier) + stops + '\0' + remark;
    rows.push_back(GridRow{static_cast<int>(i), CellsFor(tab, UniqueId(number, i, seen), std::move(inputs),
                                                          [&] { return DetailCells(d, info, stops, remark); })});
  }
  SetRows(kTabDetails, std::move(rows));
}

void TradeGridModel::RefreshFills(ITradeApi& api) {
  api.GetFills(fills_);
  BuildFillRows();
}

void TradeGridModel::BuildFillRows() {
  Tab& tab = tabs_[kTabFills];
  tab.cache.Begin();
  std::vector<GridRow> rows;
  if (fillSummary_) {
    fillGroups_ = GroupFills(fills_);
    for (std::size_t i = 0; i < fillGroups_.size(); ++i) {
      const FillGroup& g = fillGroups_[i];
      const ContractInfo info = InfoOf(g.first.contract);
      std::string inputs = Format("%lld|%.17g|%.17g|%.17g|%lld|%d", static_cast<long long>(g.quantity), g.price,
                                  g.closeProfit, g.fee, static_cast<long long>(g.lastTime), info.decimals);
      rows.push_back(GridRow{static_cast<int>(i), CellsFor(tab, "G" + g.key, std::move(inputs),
                                                            [&] { return FillGroupCells(g, info); })});
    }
  } else {
    fillGroups_.clear();
    std::unordered_set<std::string> seen;
    rows.reserve(fills_.size());
    for (std::size_t i = 0; i < fills_.size(); ++i) {
      const FillRecord& f = fills_[i];
      const ContractInfo info = InfoOf(f.contract);
      rows.push_back(GridRow{static_cast<int>(i),
                             CellsFor(tab, UniqueId(Field(f.fillNumber), i, seen), Bytes(f) + Bytes(info.decimals),
                                      [&] { return FillCells(f, info); })});
    }
  }
  SetRows(kTabFills, std::move(rows));
}

void TradeGridModel::SetFillSummary(bool summary) {
  if (summary == fillSummary_) return;
  fillSummary_ = summary;
  // The rows are rebuilt from the copy: the mode switch needs no new list.
  BuildFillRows();
}

void TradeGridModel::RefreshOco(std::vector<OcoOrder> pairs) {
  oco_ = std::move(pairs);
  Tab& tab = tabs_[kTabOco];
  tab.cache.Begin();
  std::vector<GridRow> rows;
  for (std::size_t i = 0; i < oco_.size(); ++i) {
    const OcoOrder& o = oco_[i];
    const ContractInfo info = InfoOf(o.contract);
    rows.push_back(GridRow{static_cast<int>(i), CellsFor(tab, Format("%d#%zu", o.id, i), Bytes(o) + Bytes(info.decimals),
                                                          [&] { return OcoCells(o, info); })});
  }
  SetRows(kTabOco, std::move(rows));
}

void TradeGridModel::RefreshAutoStops(std::vector<AutoCoverStop> stops) {
  stops_ = std::move(stops);
  Tab& tab = tabs_[kTabAutoStops];
  tab.cache.Begin();
  std::vector<GridRow> rows;
  for (std::size_t i = 0; i < stops_.size(); ++i) {
    const AutoCoverStop& s = stops_[i];
    const ContractInfo info = InfoOf(s.order.contract);
    // The stop's levels and state; the setting's texts are not part of the row.
    std::string inputs = Format("%d|%d|%.17g|%.17g|%.17g|%.17g|%d|%d|%d", s.state, s.breakEvenArmed ? 1 : 0,
                                s.stopLossPrice, s.takeProfitPrice, s.trailingStopPrice, s.openPrice, s.direction,
                                s.breakEvenTicks, info.decimals) +
                         Bytes(s.order);
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, Format("%llu#%zu", static_cast<unsigned long long>(s.sequence), i),
                                    std::move(inputs), [&] { return AutoStopCells(s, info); })});
  }
  SetRows(kTabAutoStops, std::move(rows));
}

void TradeGridModel::RewriteRemarks() {
  // Only the remark cells differ; the records are the copies already held.
  BuildPositionRows();
  BuildDetailRows();
}

// ---- access ------------------------------------------------------------------------------------

const GridCell* TradeGridModel::Cell(int tab, int row, int column) const {
  const std::vector<GridRow>& rows = Rows(tab);
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 1 || !rows[static_cast<std::size_t>(row)].cells)
    return nullptr;
  const CellRow& cells = *rows[static_cast<std::size_t>(row)].cells;
  const std::size_t c = static_cast<std::size_t>(column - 1);
  return c < cells.size() ? &cells[c] : nullptr;
}

std::string TradeGridModel::CellText(int tab, int row, int column) const {
  if (column == 0) return row >= 0 && row < RowCount(tab) ? Format("%d", row + 1) : std::string();
  const GridCell* c = Cell(tab, row, column);
  return c ? c->text : std::string();
}

namespace {
template <class T>
const T* RecordAt(const std::vector<GridRow>& rows, const std::vector<T>& list, int row) {
  if (row < 0 || row >= static_cast<int>(rows.size())) return nullptr;
  const int r = rows[static_cast<std::size_t>(row)].record;
  if (r < 0 || r >= static_cast<int>(list.size())) return nullptr;
  return &list[static_cast<std::size_t>(r)];
}
}  // namespace

const PositionRecord* TradeGridModel::PositionAt(int row) const { return RecordAt(Rows(kTabPositions), positions_, row); }
const PositionDetail* TradeGridModel::DetailAt(int row) const { return RecordAt(Rows(kTabDetails), details_, row); }
const OrderRecord* TradeGridModel::OrderAt(int tab, int row) const {
  if (tab != kTabOrders && tab != kTabWorking && tab != kTabConditions) return nullptr;
  return RecordAt(Rows(tab), orders_, row);
}
const FillRecord* TradeGridModel::FillAt(int row) const {
  return fillSummary_ ? nullptr : RecordAt(Rows(kTabFills), fills_, row);
}
const OcoOrder* TradeGridModel::OcoAt(int row) const { return RecordAt(Rows(kTabOco), oco_, row); }
const AutoCoverStop* TradeGridModel::AutoStopAt(int row) const { return RecordAt(Rows(kTabAutoStops), stops_, row); }

std::string TradeGridModel::RemarkKeyOf(int tab, int row) const {
  if (tab == kTabPositions) {
    const PositionRecord* p = PositionAt(row);
    return p ? PositionRemarkKey(*p) : std::string();
  }
  if (tab == kTabDetails) {
    const PositionDetail* d = DetailAt(row);
    return d ? std::string(Field(d->positionNumber)) : std::string();
  }
  return std::string();
}

}  // namespace tarn
