#include "trade/grid/trade_grid_model.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "data/trade_enums.h"
#include "platform/text.h"

namespace tarn {

namespace {

template <class T>
std::string_view View(const T& record) {
  return std::string_view(reinterpret_cast<const char*>(&record), sizeof(T));
}

// The commodity terms a row's texts depend on, as bytes (no padding to compare).
struct InfoBytes {
  char bytes[sizeof(int) + sizeof(double)];
  explicit InfoBytes(const ContractInfo& info) {
    std::memcpy(bytes, &info.decimals, sizeof(int));
    std::memcpy(bytes + sizeof(int), &info.multiplier, sizeof(double));
  }
  std::string_view View() const { return std::string_view(bytes, sizeof bytes); }
};

}  // namespace

void TradeGridModel::Cache::Sweep(std::size_t rows) {
  // Entries whose cells no row holds any more are dropped once they outnumber the rows.
  if (map.size() <= 2 * rows + 64) return;
  for (auto it = map.begin(); it != map.end();) {
    if (!it->second.cells || it->second.cells.use_count() == 1)
      it = map.erase(it);
    else
      ++it;
  }
}

TradeGridModel::TradeGridModel(PositionRemarkStore& remarks, InfoFn info)
    : remarks_(remarks), info_(std::move(info)) {}

const ContractInfo& TradeGridModel::InfoOf(const DC_Contract& c) {
  const std::string_view key = c.Key();
  auto it = infoCache_.find(key);
  if (it == infoCache_.end())
    it = infoCache_.emplace(std::string(key), InfoEntry{c, info_ ? info_(c) : ContractInfo{}}).first;
  return it->second.info;
}

void TradeGridModel::RecheckInfo() {
  infoChanged_ = false;
  for (auto& [key, entry] : infoCache_) {
    const ContractInfo now = info_ ? info_(entry.contract) : ContractInfo{};
    if (now.decimals != entry.info.decimals || now.multiplier != entry.info.multiplier || now.tick != entry.info.tick) {
      entry.info = now;
      infoChanged_ = true;
    }
  }
}

namespace {
// Takes the library's new list: marks the records equal to the old one at the same place.
template <class T>
void TakeList(std::vector<T>& current, std::vector<T>& incoming, std::vector<char>& same) {
  same.assign(incoming.size(), 0);
  const std::size_t n = std::min(current.size(), incoming.size());
  for (std::size_t i = 0; i < n; ++i) same[i] = std::memcmp(&current[i], &incoming[i], sizeof(T)) == 0;
  current.swap(incoming);
}
}  // namespace

template <class Make>
std::shared_ptr<const CellRow> TradeGridModel::CellsFor(Tab& tab, std::string_view id, std::size_t index,
                                                        std::string_view record, std::string_view extra, Make make) {
  auto it = id.empty() ? tab.cache.map.end() : tab.cache.map.find(id);
  if (id.empty() || (it != tab.cache.map.end() && it->second.pass == tab.cache.pass)) {
    // No identity, or one already used in this pass: the record's place tells it apart.
    std::string unique = std::string(id) + Format("#%zu", index);
    it = tab.cache.map.try_emplace(std::move(unique)).first;
  } else if (it == tab.cache.map.end()) {
    it = tab.cache.map.try_emplace(std::string(id)).first;
  }
  CacheEntry& e = it->second;
  e.pass = tab.cache.pass;
  const bool same = e.cells && e.record.size() == record.size() + extra.size() &&
                    std::memcmp(e.record.data(), record.data(), record.size()) == 0 &&
                    (extra.empty() || std::memcmp(e.record.data() + record.size(), extra.data(), extra.size()) == 0);
  if (!same) {
    e.cells = std::make_shared<const CellRow>(make());
    e.record.assign(record).append(extra);
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
  tab.cache.Sweep(tab.rows.size());
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
    RecheckInfo();
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
  api.GetOrders(incomingOrders_);
  TakeList(orders_, incomingOrders_, sameOrders_);
  IndexOrders();
  CollectStops();
  BuildOrderRows(kTabOrders);
}

void TradeGridModel::IndexOrders() {
  orderIndex_.clear();
  orderIndex_.reserve(orders_.size());
  for (std::size_t i = 0; i < orders_.size(); ++i)
    if (!orders_[i].Key().empty()) orderIndex_.emplace(std::string(orders_[i].Key()), i);
}

namespace {
// A condition order in state 11 that closes: it may be a position's stop ("止盈止损").
bool MayBeStop(const OrderRecord& o) { return o.hidden == 1 && o.state == 11 && (o.offset == kClose || o.offset == kCloseToday); }
}  // namespace

void TradeGridModel::Apply(const TradeChangeSet& set, ITradeApi* api, bool readPositions) {
  if (set.reload) {
    RecheckInfo();
    incomingOrders_ = set.orders;
    TakeList(orders_, incomingOrders_, sameOrders_);
    IndexOrders();
    CollectStops();
    for (int tab : {kTabOrders, kTabWorking, kTabConditions}) BuildOrderRows(tab);
    incomingFills_ = set.fills;
    TakeList(fills_, incomingFills_, sameFills_);
    BuildFillRows();
    BuildPositionTabs(api, true);
    return;
  }
  bool stopsChanged = false;
  if (!set.orders.empty()) {
    const std::size_t orderCountBefore = orders_.size();
    sameOrders_.assign(orders_.size(), 1);
    bool conditions = false, working = false;
    std::vector<std::size_t> touched;  // the records the set changed, ascending below
    touched.reserve(set.orders.size());
    for (const OrderRecord& o : set.orders) {
      auto it = o.Key().empty() ? orderIndex_.end() : orderIndex_.find(o.Key());
      std::size_t i;
      if (it == orderIndex_.end()) {
        i = orders_.size();
        orders_.push_back(o);
        sameOrders_.push_back(0);
        if (!o.Key().empty()) orderIndex_.emplace(std::string(o.Key()), i);
      } else {
        i = it->second;
        stopsChanged = stopsChanged || MayBeStop(orders_[i]);
        working = working || IsWorkingState(orders_[i].state);
        orders_[i] = o;
        sameOrders_[i] = 0;
      }
      touched.push_back(i);
      stopsChanged = stopsChanged || MayBeStop(o);
      conditions = conditions || o.hidden == 1;
      working = working || IsWorkingState(o.state);
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    if (stopsChanged) CollectStops();
    // Orders changed in place are formatted again where their rows are; a new order moves the
    // rows of the newest-first tab, which is then built again. The working tab gains and loses
    // rows as orders fill, so it is built again when a working order changed.
    const bool added = orders_.size() != orderCountBefore;
    bool patched = !added && !infoChanged_;
    if (patched)
      for (std::size_t k = 0; k < touched.size() && patched; ++k)
        patched = PatchOrderRow(orders_[touched[k]].hidden == 1 ? kTabConditions : kTabOrders, touched[k]);
    if (!patched) {
      BuildOrderRows(kTabOrders);
      if (conditions) BuildOrderRows(kTabConditions);
    }
    // The working tab: an order still working is formatted again at its row (or gets one at its
    // place when it was not working before), one that stopped working leaves its row; a new
    // order builds the tab again.
    bool workingPatched = patched;
    if (working && workingPatched)
      for (std::size_t k = 0; k < touched.size() && workingPatched; ++k) {
        const std::size_t i = touched[k];
        if (orders_[i].hidden == 1) continue;
        if (IsWorkingState(orders_[i].state))
          workingPatched = PatchOrderRow(kTabWorking, i) || InsertOrderRow(kTabWorking, i);
        else
          workingPatched = DropOrderRow(kTabWorking, i);
      }
    if (working && !workingPatched) BuildOrderRows(kTabWorking);
  }
  if (!set.fills.empty()) {
    const std::size_t from = fills_.size();
    fills_.insert(fills_.end(), set.fills.begin(), set.fills.end());
    if (!fillSummary_ && !infoChanged_) {
      AppendFillRows(from);
    } else {
      sameFills_.assign(from, 1);
      sameFills_.resize(fills_.size(), 0);
      BuildFillRows();
    }
  }
  if (set.positions && readPositions && api)
    BuildPositionTabs(api, true);
  else if (stopsChanged)
    BuildPositionTabs(api, false);  // the stops column of the rows shown
}

void TradeGridModel::BuildPositionTabs(ITradeApi* api, bool read) {
  if (read && api) {
    RefreshPositions(*api);
    RefreshDetails(*api);
  } else {
    BuildPositionRows();
    BuildDetailRows();
  }
}

void TradeGridModel::CollectStops() {
  positionRowsStale_ = true;  // the stops column may read otherwise
  for (auto& [key, list] : stopsByKey_) list.clear();
  for (const OrderRecord& o : orders_)
    if (MayBeStop(o)) {
      const std::string_view key = o.contract.Key();
      auto it = stopsByKey_.find(key);
      if (it == stopsByKey_.end()) it = stopsByKey_.emplace(std::string(key), std::vector<OrderRecord>()).first;
      it->second.push_back(o);
    }
  for (auto it = stopsByKey_.begin(); it != stopsByKey_.end();) it = it->second.empty() ? stopsByKey_.erase(it) : ++it;
}

void TradeGridModel::RefreshWorking() { BuildOrderRows(kTabWorking); }
void TradeGridModel::RefreshConditions() { BuildOrderRows(kTabConditions); }

void TradeGridModel::BuildOrderRows(int kind) {
  Tab& tab = tabs_[kind];
  tab.cache.Begin();
  std::vector<GridRow> rows;
  rows.reserve(kind == kTabOrders ? orders_.size() : tab.rows.size() + 8);
  const std::size_t n = orders_.size();
  std::vector<std::shared_ptr<const CellRow>> byRecord(n);
  for (std::size_t k = 0; k < n; ++k) {
    // All and working orders newest first; condition orders in the library's order.
    const std::size_t i = kind == kTabConditions ? k : n - 1 - k;
    const OrderRecord& o = orders_[i];
    if (kind == kTabConditions ? o.hidden != 1 : o.hidden == 1) continue;
    if (kind == kTabWorking && !IsWorkingState(o.state)) continue;
    std::shared_ptr<const CellRow> cells;
    if (!infoChanged_ && i < sameOrders_.size() && sameOrders_[i] && i < tab.byRecord.size()) cells = tab.byRecord[i];
    if (!cells) {
      const ContractInfo& info = InfoOf(o.contract);
      const InfoBytes extra(info);
      cells = CellsFor(tab, o.Key(), i, View(o), extra.View(), [&] {
        return kind == kTabOrders    ? OrderCells(o, info)
               : kind == kTabWorking ? WorkingOrderCells(o, info)
                                     : ConditionOrderCells(o, info);
      });
    }
    byRecord[i] = cells;
    rows.push_back(GridRow{static_cast<int>(i), std::move(cells)});
  }
  tab.byRecord = std::move(byRecord);
  SetRows(kind, std::move(rows));
}

const std::vector<OrderRecord>& TradeGridModel::StopOrdersOf(const DC_Contract& c) const {
  static const std::vector<OrderRecord> kNone;
  auto it = stopsByKey_.find(c.Key());
  return it == stopsByKey_.end() ? kNone : it->second;
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

std::size_t TradeGridModel::OrderRowPlace(int kind, std::size_t record) const {
  // All and working orders are shown newest first (records descending), condition orders in
  // the list's order (ascending).
  const std::vector<GridRow>& rows = tabs_[kind].rows;
  const int r = static_cast<int>(record);
  auto it = kind == kTabConditions
                ? std::lower_bound(rows.begin(), rows.end(), r, [](const GridRow& g, int v) { return g.record < v; })
                : std::lower_bound(rows.begin(), rows.end(), r, [](const GridRow& g, int v) { return g.record > v; });
  return static_cast<std::size_t>(it - rows.begin());
}

int TradeGridModel::OrderRowOf(int kind, std::size_t record) const {
  const std::vector<GridRow>& rows = tabs_[kind].rows;
  const std::size_t at = OrderRowPlace(kind, record);
  return at < rows.size() && rows[at].record == static_cast<int>(record) ? static_cast<int>(at) : -1;
}

std::shared_ptr<const CellRow> TradeGridModel::OrderRowCells(int kind, std::size_t record) {
  Tab& tab = tabs_[kind];
  // A pass of its own: the identity was taken by the last build's pass, which would make the
  // cells be kept under a second name.
  tab.cache.Begin();
  const OrderRecord& o = orders_[record];
  const ContractInfo& info = InfoOf(o.contract);
  const InfoBytes extra(info);
  std::shared_ptr<const CellRow> cells = CellsFor(tab, o.Key(), record, View(o), extra.View(), [&] {
    return kind == kTabOrders    ? OrderCells(o, info)
           : kind == kTabWorking ? WorkingOrderCells(o, info)
                                 : ConditionOrderCells(o, info);
  });
  if (record < tab.byRecord.size()) tab.byRecord[record] = cells;
  return cells;
}

bool TradeGridModel::InsertOrderRow(int kind, std::size_t record) {
  Tab& tab = tabs_[kind];
  const std::size_t at = OrderRowPlace(kind, record);
  tab.rows.insert(tab.rows.begin() + static_cast<std::ptrdiff_t>(at),
                  GridRow{static_cast<int>(record), OrderRowCells(kind, record)});
  // The new row and the ones below it (moved down one) are shown anew.
  tab.changes.countChanged = true;
  std::vector<int>& changed = tab.changes.rows;
  changed.erase(std::lower_bound(changed.begin(), changed.end(), static_cast<int>(at)), changed.end());
  for (std::size_t k = at; k < tab.rows.size(); ++k) changed.push_back(static_cast<int>(k));
  return true;
}

bool TradeGridModel::PatchOrderRow(int kind, std::size_t record) {
  Tab& tab = tabs_[kind];
  const int row = OrderRowOf(kind, record);
  if (row < 0) return false;
  std::shared_ptr<const CellRow> cells = OrderRowCells(kind, record);
  GridRow& shown = tab.rows[static_cast<std::size_t>(row)];
  const bool differs = !shown.cells || !cells || *shown.cells != *cells;
  shown.cells = std::move(cells);
  if (differs) {
    std::vector<int>& changed = tab.changes.rows;
    changed.insert(std::upper_bound(changed.begin(), changed.end(), row), row);
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  }
  return true;
}

bool TradeGridModel::DropOrderRow(int kind, std::size_t record) {
  Tab& tab = tabs_[kind];
  const int row = OrderRowOf(kind, record);
  if (row >= 0) {
    const std::size_t r = static_cast<std::size_t>(row);
    tab.rows.erase(tab.rows.begin() + static_cast<std::ptrdiff_t>(r));
    if (record < tab.byRecord.size()) tab.byRecord[record].reset();
    // The rows below moved up one.
    tab.changes.countChanged = true;
    std::vector<int>& changed = tab.changes.rows;
    changed.erase(std::lower_bound(changed.begin(), changed.end(), static_cast<int>(r)), changed.end());
    for (std::size_t k = r; k < tab.rows.size(); ++k) changed.push_back(static_cast<int>(k));
    return true;
  }
  return true;  // not shown there: nothing to drop
}

void TradeGridModel::AppendFillRows(std::size_t from) {
  Tab& tab = tabs_[kTabFills];
  tab.byRecord.resize(fills_.size());
  for (std::size_t i = from; i < fills_.size(); ++i) {
    const FillRecord& f = fills_[i];
    const ContractInfo& info = InfoOf(f.contract);
    const InfoBytes extra(info);
    tab.byRecord[i] = CellsFor(tab, Field(f.fillNumber), i, View(f), extra.View(), [&] { return FillCells(f, info); });
    tab.changes.rows.push_back(static_cast<int>(tab.rows.size()));
    tab.rows.push_back(GridRow{static_cast<int>(i), tab.byRecord[i]});
  }
  tab.changes.countChanged = true;
  sameFills_.resize(fills_.size(), 1);  // the new ones have their rows now
}

void TradeGridModel::RefreshPositions(ITradeApi& api) {
  api.GetPositions(incomingPositions_);
  TakeList(positions_, incomingPositions_, samePositions_);
  bool any = false;
  for (const PositionRecord& p : positions_) any = any || p.Shown();
  if (any) CleanUpRemarks(api);
  BuildPositionRows();
}

template <class Shown, class Make>
bool TradeGridModel::PatchRowsInPlace(int kind, const std::vector<char>& same, std::size_t n, Shown shown, Make make) {
  Tab& tab = tabs_[kind];
  // Only when the list kept its length and every record kept whether it is shown: the rows
  // are then the same records at the same places, and only the changed ones are made again.
  if (same.size() != n || tab.byRecord.size() != n) return false;
  std::size_t changedCount = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (same[i]) continue;
    if (shown(i) != static_cast<bool>(tab.byRecord[i])) return false;
    ++changedCount;
  }
  if (changedCount == 0) return true;
  tab.cache.Begin();
  std::vector<int>& changed = tab.changes.rows;
  const std::size_t before = changed.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (same[i] || !tab.byRecord[i]) continue;
    // Rows are in the list's order: the record's row is found by halving.
    auto it = std::lower_bound(tab.rows.begin(), tab.rows.end(), static_cast<int>(i),
                               [](const GridRow& g, int v) { return g.record < v; });
    if (it == tab.rows.end() || it->record != static_cast<int>(i)) return false;  // cannot happen: rebuild
    std::shared_ptr<const CellRow> cells = make(i);
    const bool differs = !it->cells || !cells || *it->cells != *cells;
    tab.byRecord[i] = cells;
    it->cells = std::move(cells);
    if (differs) changed.push_back(static_cast<int>(it - tab.rows.begin()));
  }
  if (changed.size() != before) {
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  }
  return true;
}

void TradeGridModel::BuildPositionRows() {
  Tab& tab = tabs_[kTabPositions];
  std::string id, extra;
  auto cellsOf = [&](std::size_t i) {
    const PositionRecord& p = positions_[i];
    const ContractInfo& info = InfoOf(p.contract);
    const bool isLong = p.IsLong();
    const std::vector<OrderRecord>& candidates = StopOrdersOf(p.contract);
    const std::string stops =
        candidates.empty() ? std::string() : StopOrderText(candidates, p.contract, isLong, {}, info.decimals);
    const std::string& remark = remarks_.Get(PositionRemarkKey(p));
    extra.assign(InfoBytes(info).View()).append(stops).append(1, '\0').append(remark);
    id.assign(p.contract.Key()).append(isLong ? "|B" : "|S");
    return CellsFor(tab, id, i, View(p), extra, [&] { return PositionCells(p, info, stops, remark); });
  };
  const bool reuse = !infoChanged_ && !positionRowsStale_;
  if (reuse && PatchRowsInPlace(kTabPositions, samePositions_, positions_.size(),
                                [&](std::size_t i) { return positions_[i].Shown(); }, cellsOf))
    return;
  tab.cache.Begin();
  std::vector<GridRow> rows;
  rows.reserve(positions_.size());
  std::vector<std::shared_ptr<const CellRow>> byRecord(positions_.size());
  for (std::size_t i = 0; i < positions_.size(); ++i) {
    const PositionRecord& p = positions_[i];
    if (!p.Shown()) continue;
    // A record unchanged at its place keeps its row (its stops and remark did not change).
    if (reuse && i < samePositions_.size() && samePositions_[i] && i < tab.byRecord.size() && tab.byRecord[i]) {
      byRecord[i] = tab.byRecord[i];
      rows.push_back(GridRow{static_cast<int>(i), byRecord[i]});
      continue;
    }
    byRecord[i] = cellsOf(i);
    rows.push_back(GridRow{static_cast<int>(i), byRecord[i]});
  }
  tab.byRecord = std::move(byRecord);
  SetRows(kTabPositions, std::move(rows));
}

void TradeGridModel::RefreshDetails(ITradeApi& api) {
  api.GetPositionDetails(incomingDetails_);
  // Raw bytes compared: the lot record has no padding the library leaves unset that matters
  // (a difference only formats the row again).
  sameDetails_.assign(incomingDetails_.size(), 0);
  const std::size_t n = std::min(details_.size(), incomingDetails_.size());
  for (std::size_t i = 0; i < n; ++i)
    sameDetails_[i] = std::memcmp(&details_[i], &incomingDetails_[i], sizeof(PositionDetail)) == 0;
  details_.swap(incomingDetails_);
  BuildDetailRows();
}

void TradeGridModel::BuildDetailRows() {
  Tab& tab = tabs_[kTabDetails];
  static const std::string kNoRemark;
  std::string extra;
  auto cellsOf = [&](std::size_t i) {
    const PositionDetail& d = details_[i];
    const ContractInfo& info = InfoOf(d.contract);
    const std::string_view number = Field(d.positionNumber);
    // A lot without a position number can carry neither stops nor a remark of its own.
    const std::vector<OrderRecord>& candidates = StopOrdersOf(d.contract);
    const std::string stops = candidates.empty() || number.empty()
                                  ? std::string()
                                  : StopOrderText(candidates, d.contract, d.direction == kBuy, number, info.decimals);
    const std::string& remark = number.empty() ? kNoRemark : remarks_.Get(std::string(number));
    extra.assign(InfoBytes(info).View()).append(stops).append(1, '\0').append(remark);
    return CellsFor(tab, number, i, View(d), extra, [&] { return DetailCells(d, info, stops, remark); });
  };
  const bool reuse = !infoChanged_ && !positionRowsStale_;
  if (reuse && PatchRowsInPlace(kTabDetails, sameDetails_, details_.size(), [](std::size_t) { return true; }, cellsOf))
    return;
  tab.cache.Begin();
  std::vector<GridRow> rows;
  rows.reserve(details_.size());
  std::vector<std::shared_ptr<const CellRow>> byRecord(details_.size());
  for (std::size_t i = 0; i < details_.size(); ++i) {
    if (reuse && i < sameDetails_.size() && sameDetails_[i] && i < tab.byRecord.size() && tab.byRecord[i]) {
      byRecord[i] = tab.byRecord[i];
      rows.push_back(GridRow{static_cast<int>(i), byRecord[i]});
      continue;
    }
    byRecord[i] = cellsOf(i);
    rows.push_back(GridRow{static_cast<int>(i), byRecord[i]});
  }
  tab.byRecord = std::move(byRecord);
  positionRowsStale_ = false;  // both position tabs are made again by now
  SetRows(kTabDetails, std::move(rows));
}

void TradeGridModel::RefreshFills(ITradeApi& api) {
  api.GetFills(incomingFills_);
  TakeList(fills_, incomingFills_, sameFills_);
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
      const ContractInfo& info = InfoOf(g.first.contract);
      const std::string inputs = Format("%lld|%.17g|%.17g|%.17g|%lld|%d", static_cast<long long>(g.quantity), g.price,
                                        g.closeProfit, g.fee, static_cast<long long>(g.lastTime), info.decimals);
      rows.push_back(GridRow{static_cast<int>(i), CellsFor(tab, g.key, i, inputs, {},
                                                            [&] { return FillGroupCells(g, info); })});
    }
  } else {
    fillGroups_.clear();
    rows.reserve(fills_.size());
    std::vector<std::shared_ptr<const CellRow>> byRecord(fills_.size());
    for (std::size_t i = 0; i < fills_.size(); ++i) {
      const FillRecord& f = fills_[i];
      std::shared_ptr<const CellRow> cells;
      if (!infoChanged_ && i < sameFills_.size() && sameFills_[i] && i < tab.byRecord.size()) cells = tab.byRecord[i];
      if (!cells) {
        const ContractInfo& info = InfoOf(f.contract);
        const InfoBytes extra(info);
        cells = CellsFor(tab, Field(f.fillNumber), i, View(f), extra.View(), [&] { return FillCells(f, info); });
      }
      byRecord[i] = cells;
      rows.push_back(GridRow{static_cast<int>(i), std::move(cells)});
    }
    tab.byRecord = std::move(byRecord);
  }
  SetRows(kTabFills, std::move(rows));
}

void TradeGridModel::SetFillSummary(bool summary) {
  if (summary == fillSummary_) return;
  fillSummary_ = summary;
  // Detail and summary rows have identities of their own; the rows are rebuilt from the copy.
  tabs_[kTabFills].cache.map.clear();
  tabs_[kTabFills].byRecord.clear();
  BuildFillRows();
}

void TradeGridModel::RefreshOco(std::vector<OcoOrder> pairs) {
  oco_ = std::move(pairs);
  Tab& tab = tabs_[kTabOco];
  tab.cache.Begin();
  std::vector<GridRow> rows;
  for (std::size_t i = 0; i < oco_.size(); ++i) {
    const OcoOrder& o = oco_[i];
    const ContractInfo& info = InfoOf(o.contract);
    const InfoBytes extra(info);
    rows.push_back(GridRow{static_cast<int>(i), CellsFor(tab, Format("%d", o.id), i, View(o), extra.View(),
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
    const ContractInfo& info = InfoOf(s.order.contract);
    // The stop's levels and state; the setting's texts are not part of the row.
    const std::string inputs = Format("%d|%d|%.17g|%.17g|%.17g|%.17g|%d|%d|%d", s.state, s.breakEvenArmed ? 1 : 0,
                                      s.stopLossPrice, s.takeProfitPrice, s.trailingStopPrice, s.openPrice,
                                      s.direction, s.breakEvenTicks, info.decimals);
    rows.push_back(GridRow{static_cast<int>(i),
                           CellsFor(tab, Format("%llu", static_cast<unsigned long long>(s.sequence)), i, inputs,
                                    View(s.order), [&] { return AutoStopCells(s, info); })});
  }
  SetRows(kTabAutoStops, std::move(rows));
}

void TradeGridModel::RewriteRemarks() {
  // Only the remark cells differ; the records are the copies already held.
  positionRowsStale_ = true;
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

std::string TradeGridModel::RowIdentity(int tab, int row) const {
  switch (tab) {
    case kTabPositions:
      if (const PositionRecord* p = PositionAt(row)) return std::string(p->contract.Key()) + (p->IsLong() ? "|B" : "|S");
      break;
    case kTabDetails:
      if (const PositionDetail* d = DetailAt(row)) {
        const std::string_view number = Field(d->positionNumber);
        // A lot without a position number is told apart by its opening fill.
        return number.empty() ? std::string(d->contract.Key()) + "#" + std::string(Field(d->fillNumber))
                              : std::string(number);
      }
      break;
    case kTabOrders:
    case kTabWorking:
    case kTabConditions:
      if (const OrderRecord* o = OrderAt(tab, row)) return std::string(o->Key());
      break;
    case kTabFills:
      if (fillSummary_) {
        if (row >= 0 && row < RowCount(tab)) {
          const int g = Rows(tab)[static_cast<std::size_t>(row)].record;
          if (g >= 0 && g < static_cast<int>(fillGroups_.size())) return fillGroups_[static_cast<std::size_t>(g)].key;
        }
      } else if (const FillRecord* f = FillAt(row)) {
        return std::string(Field(f->fillNumber));
      }
      break;
    case kTabOco:
      if (const OcoOrder* o = OcoAt(row)) return Format("%d", o->id);
      break;
    case kTabAutoStops:
      if (const AutoCoverStop* s = AutoStopAt(row)) return Format("%llu", static_cast<unsigned long long>(s->sequence));
      break;
    default: break;
  }
  return std::string();
}

int TradeGridModel::RowOfIdentity(int tab, std::string_view identity, int hint) const {
  if (identity.empty() || !IsTradeTab(tab)) return -1;
  if (hint >= 0 && hint < RowCount(tab) && RowIdentity(tab, hint) == identity) return hint;
  const int n = RowCount(tab);
  for (int r = 0; r < n; ++r)
    if (r != hint && RowIdentity(tab, r) == identity) return r;
  return -1;
}

void TradeGridModel::Select(int tab, int row) {
  if (!IsTradeTab(tab)) return;
  Tab& t = tabs_[tab];
  t.selected = RowIdentity(tab, row);
  t.selectedRow = t.selected.empty() ? -1 : row;
}

int TradeGridModel::SelectedRow(int tab) const {
  if (!IsTradeTab(tab)) return -1;
  const Tab& t = tabs_[tab];
  t.selectedRow = RowOfIdentity(tab, t.selected, t.selectedRow);
  return t.selectedRow;
}

}  // namespace tarn
