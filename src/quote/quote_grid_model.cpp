#include "quote/quote_grid_model.h"

#include <algorithm>
#include <cmath>

#include "data/quote_data_center.h"
#include "platform/clock.h"
#include "platform/profile.h"

namespace tarn {

namespace {

constexpr uint32_t Bit(int kind) { return 1u << kind; }
constexpr uint32_t kPriceKinds = Bit(kGridLast) | Bit(kGridBid) | Bit(kGridAsk) | Bit(kGridOpen) | Bit(kGridHigh) |
                                 Bit(kGridLow) | Bit(kGridUpperLimit) | Bit(kGridLowerLimit) | Bit(kGridPreClose) |
                                 Bit(kGridSettlement) | Bit(kGridChange) | Bit(kGridChangePercent);

// The kinds whose text or colour differ between two snapshots.
uint32_t ChangedKinds(const DC_QuoteData& a, const DC_QuoteData& b) {
  uint32_t m = 0;
  // Every price's colour depends on the reference.
  if (a.preSettlement != b.preSettlement || a.preClose != b.preClose) m |= kPriceKinds | Bit(kGridPreSettlement);
  auto check = [&](bool differs, uint32_t bits) {
    if (differs) m |= bits;
  };
  check(a.last != b.last, Bit(kGridLast) | Bit(kGridChange) | Bit(kGridChangePercent));
  check(a.open != b.open, Bit(kGridOpen) | Bit(kGridChange) | Bit(kGridChangePercent));
  check(a.lastQuantity != b.lastQuantity, Bit(kGridLastQuantity));
  check(a.bidPrice[0] != b.bidPrice[0], Bit(kGridBid));
  check(a.askPrice[0] != b.askPrice[0], Bit(kGridAsk));
  check(a.bidVolume[0] != b.bidVolume[0], Bit(kGridBidQuantity));
  check(a.askVolume[0] != b.askVolume[0], Bit(kGridAskQuantity));
  check(a.high != b.high, Bit(kGridHigh));
  check(a.low != b.low, Bit(kGridLow));
  check(a.volume != b.volume, Bit(kGridVolume));
  check(a.openInterest != b.openInterest, Bit(kGridOpenInterest));
  check(a.preOpenInterest != b.preOpenInterest, Bit(kGridPreOpenInterest));
  check(a.upperLimit != b.upperLimit, Bit(kGridUpperLimit));
  check(a.lowerLimit != b.lowerLimit, Bit(kGridLowerLimit));
  check(a.settlement != b.settlement, Bit(kGridSettlement));
  check(a.updateTime != b.updateTime, Bit(kGridUpdateTime));
  return m;
}

int HighlightSlot(int kind) {
  switch (kind) {
    case kGridLast: return 0;
    case kGridBid: return 1;
    case kGridAsk: return 2;
    default: return -1;
  }
}

// A sort value that orders: NaN (a damaged snapshot) counts as 0.
double Orderable(double v) { return std::isnan(v) ? 0.0 : v; }

int Sign(double a, double b) { return a < b ? -1 : (b < a ? 1 : 0); }

int CompareBytes(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // byte-wise, unsigned, as memcmp
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int ServerYearNow() {
  IQuoteDataCenter* center = GetQuoteDataCenter();
  const int64_t t = center ? center->GetServerTime(0) : 0;
  return LocalTime(t > 0 ? t : Now()).tm_year + 1900;
}

}  // namespace

int64_t GridMonthOrder(std::string_view month, int serverYear) {
  if (month == "MI") return 0;
  if (month == "IDX") return 1;
  if (month.size() != 3) return ParseLeadingInt(month);
  char text[5] = {};
  std::size_t n = 0;
  if (serverYear >= 2015) text[n++] = month[0] == '0' ? '2' : '1';
  else if (month[0] == '0') text[n++] = '1';
  for (char c : month) text[n++] = c;
  return ParseLeadingInt(std::string_view(text, n));
}

QuoteGridModel::QuoteGridModel(IGridSubscriber* subscriber) : subscriber_(subscriber) {}

QuoteGridModel::~QuoteGridModel() { UnsubscribeAll(); }

// ---- columns -------------------------------------------------------------------------------

int QuoteGridModel::KindAt(int column) const {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<std::size_t>(column)].dataIndex : -1;
}

void QuoteGridModel::AddColumn(int kind) {
  QG_ColInfo c;
  c.dataIndex = kind;
  c.width = DefaultWidth(kind);
  columns_.push_back(c);
}

void QuoteGridModel::SetDefaultColumns() { SetColumnKinds(DefaultGridKinds()); }

void QuoteGridModel::SetColumnKinds(const std::vector<int>& kinds) {
  std::vector<QG_ColInfo> old;
  old.swap(columns_);
  for (int k : kinds) {
    auto same = std::find_if(old.begin(), old.end(), [&](const QG_ColInfo& c) { return c.dataIndex == k; });
    if (same != old.end()) {
      columns_.push_back(*same);
      old.erase(same);
    } else {
      AddColumn(k);
    }
  }
  if (sortColumn_ >= ColumnCount()) sortColumn_ = -1;
}

bool QuoteGridModel::LoadColumns(bool replace) {
  flags_ = LoadGridDisplayFlags();
  if (!replace) return false;
  std::optional<std::vector<QG_ColInfo>> cols = LoadGridColumns();
  if (!cols) return false;
  columns_ = std::move(*cols);
  if (sortColumn_ >= ColumnCount()) sortColumn_ = -1;
  return true;
}

bool QuoteGridModel::SaveColumns() const { return SaveGridColumns(columns_); }

bool QuoteGridModel::MoveColumn(int from, int to) {
  if (from < 2 || to < 2 || from >= ColumnCount() || to >= ColumnCount() || from == to) return false;
  const QG_ColInfo moved = columns_[static_cast<std::size_t>(from)];
  columns_.erase(columns_.begin() + from);
  columns_.insert(columns_.begin() + to, moved);
  // The sort follows its column.
  if (sortColumn_ == from) sortColumn_ = to;
  else if (sortColumn_ > from && sortColumn_ <= to) --sortColumn_;
  else if (sortColumn_ < from && sortColumn_ >= to) ++sortColumn_;
  SaveColumns();
  return true;
}

void QuoteGridModel::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_[static_cast<std::size_t>(column)].width = std::clamp(width, kMinGridColumnWidth, kMaxGridColumnWidth);
}

void QuoteGridModel::RecomputeWidths() {
  for (QG_ColInfo& c : columns_) c.width = DefaultWidth(c.dataIndex);
}

void QuoteGridModel::AutoFit(bool nameOnly, const std::function<int(const std::string&, int)>& cellTextWidth) {
  const int cellPad = static_cast<int>(std::lround(22 * metrics_.scale));
  const int last = std::min(RowCount(), first_ + drawnRows_);
  for (int col = 0; col < ColumnCount(); ++col) {
    QG_ColInfo& c = columns_[static_cast<std::size_t>(col)];
    if (nameOnly && c.dataIndex != kGridName) continue;
    int w = (metrics_.headerTextWidth ? metrics_.headerTextWidth(GridHeaderText(c.dataIndex)) : 0) + 12 +
            (col == sortColumn_ ? 8 : 0);
    if (cellTextWidth) {
      for (int pos = first_; pos < last; ++pos) {
        const GridCell cell = Cell(pos, col);
        w = std::max(w, cellTextWidth(cell.text, c.dataIndex) + cellPad);
      }
    }
    c.width = std::clamp(w, kMinGridColumnWidth, kMaxGridColumnWidth);
  }
  SaveColumns();
}

// ---- rows ----------------------------------------------------------------------------------

void QuoteGridModel::SetRows(const std::vector<DC_Contract>& contracts, bool blockOrder, int serverYear,
                             bool keepPlace) {
  std::string selectedKey;
  if (keepPlace && selected_ >= 0 && selected_ < RowCount()) selectedKey = std::string(rows_[selected_]->contract.Key());
  const int keepFirst = keepPlace ? first_ : 0;
  if (serverYear <= 0) serverYear = ServerYearNow();

  std::vector<RowPtr> rows;
  rows.reserve(contracts.size());
  // A row keeps its snapshot when its contract stays in the grid.
  std::unordered_map<std::string, RowPtr> old;
  for (const RowPtr& r : rows_) old.emplace(std::string(r->contract.Key()), r);
  for (const DC_Contract& c : contracts) {
    if (c.Empty()) continue;
    auto row = std::make_shared<QuoteGridRow>();
    row->contract = c;
    const DC_Commodity* commodity = CommodityOf(c);
    row->commodityCode = commodity ? std::string(commodity->Code()) : std::string();
    row->decimals = std::clamp(PriceDecimals(c), 0, 10);
    row->monthOrder = GridMonthOrder(c.Month(), serverYear);
    row->listIndex = static_cast<int>(rows.size());
    if (auto it = old.find(std::string(c.Key())); it != old.end()) {
      row->quote = it->second->Quote();
    }
    rows.push_back(std::move(row));
  }
  rows_ = std::move(rows);
  blockOrder_ = blockOrder;
  RebuildIndex();
  {
    std::lock_guard<std::mutex> lock(dirtyMutex_);
    dirtyRows_.clear();
  }
  selected_ = -1;
  first_ = std::clamp(keepFirst, 0, std::min(MaxFirstVisible(), std::max(0, RowCount() - 1)));
  Sort(sortColumn_, ascending_);  // numbers the rows and subscribes the visible ones
  if (!selectedKey.empty()) selected_ = FindRow(selectedKey);
}

void QuoteGridModel::RebuildIndex() {
  std::unordered_map<std::string, std::vector<RowPtr>> index;
  for (const RowPtr& r : rows_) index[std::string(r->contract.Key())].push_back(r);
  std::unique_lock<std::shared_mutex> lock(indexMutex_);
  index_.swap(index);
}

void QuoteGridModel::Renumber() {
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i]->position = static_cast<int>(i);
}

int QuoteGridModel::FindRow(std::string_view key) const {
  for (const RowPtr& r : rows_)
    if (r->contract.Key() == key) return r->position;
  return -1;
}

std::vector<DC_Contract> QuoteGridModel::Contracts() const {
  std::vector<DC_Contract> out;
  out.reserve(rows_.size());
  for (const RowPtr& r : rows_) out.push_back(r->contract);
  return out;
}

bool QuoteGridModel::MoveRow(int from, int to) {
  if (from < 0 || to < 0 || from >= RowCount() || to >= RowCount() || from == to) return false;
  RowPtr moved = rows_[static_cast<std::size_t>(from)];
  rows_.erase(rows_.begin() + from);
  rows_.insert(rows_.begin() + to, std::move(moved));
  // The grid now shows the block's own order: keep it so.
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i]->listIndex = static_cast<int>(i);
  sortColumn_ = -1;
  ascending_ = true;
  Renumber();
  if (selected_ == from) selected_ = to;
  UpdateSubscriptions();
  return true;
}

int QuoteGridModel::RowsWithQuoteTime() const {
  int n = 0;
  for (const RowPtr& r : rows_) {
    tarn::Lock lock(r->mutex);
    if (r->quote.updateTime > 10000) ++n;
  }
  return n;
}

// ---- quotes --------------------------------------------------------------------------------

bool QuoteGridModel::ApplyQuote(const DC_Quote& q) {
  std::vector<RowPtr> targets;
  {
    std::shared_lock<std::shared_mutex> lock(indexMutex_);
    auto it = index_.find(std::string(q.contract.Key()));
    if (it == index_.end()) return false;
    targets = it->second;
  }
  const int64_t now = TickCount();
  for (const RowPtr& row : targets) {
    {
      tarn::Lock lock(row->mutex);
      DC_QuoteData& held = row->quote;
      const DC_QuoteData& fresh = q.data;
      uint32_t changed = ChangedKinds(held, fresh);
      if (held.last > 1e-5 && held.preSettlement > 1e-6) {
        const float before[3] = {held.last, held.bidPrice[0], held.askPrice[0]};
        const float after[3] = {fresh.last, fresh.bidPrice[0], fresh.askPrice[0]};
        const int kinds[3] = {kGridLast, kGridBid, kGridAsk};
        for (int i = 0; i < 3; ++i) {
          if (std::fabs(static_cast<double>(after[i]) - before[i]) <= 1e-5) continue;
          QuoteGridRow::Highlight& h = row->highlights[i];
          h.on = true;
          h.tick = now;
          h.color = after[i] > held.preSettlement ? kGridHighlightUp : kGridHighlightDown;
          row->hasHighlight = true;
          changed |= Bit(kinds[i]);
        }
      }
      held = fresh;
      if (changed == 0) continue;
      row->changedKinds |= changed;
    }
    MarkDirty(row, true);
  }
  return true;
}

void QuoteGridModel::MarkDirty(const RowPtr& row, bool notify) {
  if (row->dirty.exchange(true)) return;
  {
    std::lock_guard<std::mutex> lock(dirtyMutex_);
    dirtyRows_.push_back(row);
  }
  if (notify && !pending_.exchange(true) && changed_) changed_();
}

std::vector<QuoteGridModel::DirtyRow> QuoteGridModel::TakeDirty() {
  std::vector<RowPtr> rows;
  {
    std::lock_guard<std::mutex> lock(dirtyMutex_);
    rows.swap(dirtyRows_);
  }
  pending_ = false;
  std::vector<DirtyRow> out;
  out.reserve(rows.size());
  for (const RowPtr& r : rows) {
    if (!r->dirty.exchange(false)) continue;
    uint32_t kinds;
    {
      tarn::Lock lock(r->mutex);
      kinds = r->changedKinds;
      r->changedKinds = 0;
    }
    // A row of a list that has been replaced since is not shown any more.
    const int pos = r->position;
    if (kinds == 0 || pos < 0 || pos >= RowCount() || rows_[static_cast<std::size_t>(pos)] != r) continue;
    out.push_back({pos, kinds});
  }
  return out;
}

bool QuoteGridModel::ExpireHighlights() {
  const int64_t now = TickCount();
  bool any = false;
  for (const RowPtr& r : rows_) {
    if (!r->hasHighlight.load()) continue;
    bool removed = false, still = false;
    {
      tarn::Lock lock(r->mutex);
      const int kinds[3] = {kGridLast, kGridBid, kGridAsk};
      for (int i = 0; i < 3; ++i) {
        QuoteGridRow::Highlight& h = r->highlights[i];
        if (!h.on) continue;
        if (now - h.tick >= kGridHighlightMs) {
          h.on = false;
          r->changedKinds |= Bit(kinds[i]);
          removed = true;
        } else {
          still = true;
        }
      }
      r->hasHighlight = still;
    }
    if (removed) {
      MarkDirty(r, false);
      any = true;
    }
  }
  return any;
}

std::optional<Colorref> QuoteGridModel::HighlightOf(const QuoteGridRow& row, int kind, int64_t nowMs) const {
  const int slot = HighlightSlot(kind);
  if (slot < 0) return std::nullopt;
  tarn::Lock lock(row.mutex);
  const QuoteGridRow::Highlight& h = row.highlights[slot];
  if (!h.on || nowMs - h.tick >= kGridHighlightMs) return std::nullopt;
  return h.color;
}

// ---- sorting -------------------------------------------------------------------------------

int QuoteGridModel::CompareDefault(const QuoteGridRow& a, const QuoteGridRow& b) const {
  if (!blockOrder_) {
    if (int c = CompareBytes(a.commodityCode, b.commodityCode)) return c;
    if (a.monthOrder != b.monthOrder) return a.monthOrder < b.monthOrder ? -1 : 1;
  }
  return a.listIndex < b.listIndex ? -1 : (a.listIndex > b.listIndex ? 1 : 0);
}

bool QuoteGridModel::ClickHeader(int column) {
  const int kind = KindAt(column);
  if (column < 0 || !GridKindSorts(kind)) return false;
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    sortColumn_ = column;
    ascending_ = column <= 1;
  }
  Sort(sortColumn_, ascending_);
  return true;
}

void QuoteGridModel::Sort(int column, bool ascending) {
  sortColumn_ = column < ColumnCount() ? column : -1;
  ascending_ = ascending;
  const int kind = KindAt(sortColumn_);
  // The default order for positions 0 and below, and for the row-number column wherever it is.
  const bool byDefault = sortColumn_ <= 0 || kind == kGridRowNumber;
  const bool byName = !byDefault && kind == kGridName;
  const bool byCode = !byDefault && kind == kGridCode;

  struct Key {
    QuoteGridRow* row;
    double value;
  };
  std::vector<Key> keys;
  keys.reserve(rows_.size());
  const bool byValue = !byDefault && !byName && !byCode;
  for (const RowPtr& r : rows_) {
    double v = 0;
    if (byValue) {
      // Only the visible rows receive quotes: every other row sorts on its contract's current
      // snapshot, read now, not on whatever it last held (nothing, for a row never shown).
      DC_QuoteData fresh;
      const bool read = subscriber_ && !subscribed_.count(r->contract.Key()) &&
                        subscriber_->ReadSnapshot(r->contract, &fresh);
      tarn::Lock lock(r->mutex);
      if (read) r->quote = fresh;
      v = Orderable(GridSortValue(kind, r->quote));
    }
    keys.push_back({r.get(), v});
  }
  const int sign = ascending ? 1 : -1;
  // Rows that compare equal by the column keep the default order among themselves, so that the
  // ordering is strict and repeatable.
  std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    int c;
    if (byDefault) c = CompareDefault(*a.row, *b.row);
    else if (byName) c = CompareBytes(a.row->contract.Name(), b.row->contract.Name());
    else if (byCode) c = CompareBytes(a.row->contract.Code(), b.row->contract.Code());
    else c = Sign(a.value, b.value);
    c *= sign;
    if (c == 0) c = CompareDefault(*a.row, *b.row);
    return c < 0;
  });
  const QuoteGridRow* selectedRow = selected_ >= 0 && selected_ < RowCount() ? rows_[selected_].get() : nullptr;
  std::vector<RowPtr> sorted;
  sorted.reserve(rows_.size());
  std::unordered_map<const QuoteGridRow*, RowPtr> owner;
  owner.reserve(rows_.size());
  for (RowPtr& r : rows_) owner.emplace(r.get(), std::move(r));
  for (const Key& k : keys) sorted.push_back(std::move(owner[k.row]));
  rows_ = std::move(sorted);
  Renumber();
  if (selectedRow) selected_ = selectedRow->position;
  UpdateSubscriptions();
}

// ---- viewport, selection, subscriptions ----------------------------------------------------

void QuoteGridModel::SetViewport(int pageRows, int drawnRows) {
  pageRows_ = std::max(0, pageRows);
  drawnRows_ = std::max(pageRows_, drawnRows);
  ScrollTo(first_);
  UpdateSubscriptions();
}

int QuoteGridModel::MaxFirstVisible() const { return std::max(0, RowCount() - pageRows_ + 3); }

bool QuoteGridModel::ScrollTo(int first) {
  const int clamped = std::clamp(first, 0, std::min(MaxFirstVisible(), std::max(0, RowCount() - 1)));
  if (clamped == first_) return false;
  first_ = clamped;
  UpdateSubscriptions();
  return true;
}

void QuoteGridModel::EnsureVisible(int position) {
  if (position < 0) return;
  if (position < first_) ScrollTo(position);
  else if (pageRows_ > 0 && position >= first_ + pageRows_) ScrollTo(position - pageRows_ + 1);
}

bool QuoteGridModel::Select(int position) {
  if (position < -1 || position >= RowCount()) return false;
  EnsureVisible(position);
  if (position == selected_) return false;
  selected_ = position;
  return true;
}

bool QuoteGridModel::Navigate(NavKey key) {
  const int n = RowCount();
  if (n == 0) return false;
  const int last = n - 1;
  const int page = std::max(1, pageRows_);
  const int sel = selected_;
  int target;
  switch (key) {
    case NavKey::Up:
    case NavKey::PageUp:
      target = sel <= 0 ? last : std::max(0, sel - (key == NavKey::Up ? 1 : page));
      break;
    case NavKey::Down:
    case NavKey::PageDown:
      if (sel == last) {
        target = 0;
        ScrollTo(0);
      } else {
        target = sel < 0 ? 0 : std::min(last, sel + (key == NavKey::Down ? 1 : page));
      }
      break;
    default: return false;
  }
  return Select(target);
}

bool QuoteGridModel::IsSubscribed(std::string_view key) const { return subscribed_.find(key) != subscribed_.end(); }

void QuoteGridModel::UpdateSubscriptions() {
  std::map<std::string, DC_Contract, std::less<>> want;
  const int last = std::min(RowCount(), first_ + drawnRows_);
  for (int i = first_; i < last; ++i) {
    const DC_Contract& c = rows_[static_cast<std::size_t>(i)]->contract;
    want.emplace(std::string(c.Key()), c);
  }
  std::vector<DC_Contract> leave, enter;
  for (const auto& [key, c] : subscribed_)
    if (!want.count(key)) leave.push_back(c);
  for (const auto& [key, c] : want)
    if (!subscribed_.count(key)) enter.push_back(c);
  subscribed_ = std::move(want);
  if (!subscriber_) return;
  for (const DC_Contract& c : leave) subscriber_->UnsubscribeRow(c);
  for (const DC_Contract& c : enter) subscriber_->SubscribeRow(c);
}

void QuoteGridModel::UnsubscribeAll() {
  std::map<std::string, DC_Contract, std::less<>> all;
  all.swap(subscribed_);
  if (!subscriber_) return;
  for (const auto& [key, c] : all) subscriber_->UnsubscribeRow(c);
}

// ---- cells ---------------------------------------------------------------------------------

GridCell QuoteGridModel::Cell(int position, int column) const {
  if (position < 0 || position >= RowCount()) return {};
  const QuoteGridRow& row = *rows_[static_cast<std::size_t>(position)];
  return CellOf(row, position, KindAt(column), row.Quote());
}

GridCell QuoteGridModel::CellOf(const QuoteGridRow& row, int position, int kind, const DC_QuoteData& quote) const {
  return FormatGridCell(kind, position, row.contract, row.decimals, quote, base_, palette_);
}

}  // namespace tarn
