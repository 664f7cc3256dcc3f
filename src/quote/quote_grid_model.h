// The quote grid's model: rows, columns, formatting, change highlighting, sorting, the visible
// range and its subscriptions, the selection and its keyboard rules. No Qt: CQuoteGridCtrl
// paints it and forwards the mouse and keys to it.
//
// Threads. Everything but ApplyQuote runs on the window's thread. ApplyQuote runs on the quote
// library's thread: it finds the row under the model's index lock (shared), stores the snapshot
// and the highlights under the row's own lock and marks the row dirty; the first mark of a batch
// calls the changed callback, which the window uses to post itself a message. The window then
// takes the dirty rows (TakeDirty) and repaints only their changed cells.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/quote_records.h"
#include "platform/color.h"
#include "platform/sync.h"
#include "quote/grid_columns.h"
#include "quote/grid_format.h"

// One row: a contract of the block and its latest snapshot, shared between the window's thread
// and the quote notifications and guarded by its own critical section.
struct QuoteGridRow {
  // Fixed for the row's life.
  DC_Contract contract{};
  std::string commodityCode;  // the default order's first key
  int64_t monthOrder = 0;     // the default order's second key
  int decimals = 2;
  int listIndex = 0;          // position in the block's own order

  // The window's thread only: where the row stands in the grid now.
  int position = 0;

  // Guarded by `mutex`.
  struct Highlight {
    bool on = false;
    int64_t tick = 0;           // tick count when the value changed
    tarn::Colorref color = 0;
  };
  mutable tarn::CriticalSection mutex;
  DC_QuoteData quote{};
  Highlight highlights[3];      // kinds 2 (last), 4 (bid), 5 (ask)
  uint32_t changedKinds = 0;    // one bit per data kind changed since the window last took them

  std::atomic<bool> dirty{false};
  std::atomic<bool> hasHighlight{false};

  DC_QuoteData Quote() const {
    tarn::Lock lock(mutex);
    return quote;
  }
};

namespace tarn {

// A highlight is shown for this long after its value changed.
constexpr int64_t kGridHighlightMs = 1000;

// The default order's month number: "MI" 0, "IDX" 1; a three-character month gets a decade
// digit in front ("2" when it begins with '0', else "1" from 2015 on; before 2015 "1" and
// nothing); then a plain decimal conversion.
int64_t GridMonthOrder(std::string_view month, int serverYear);

// Where the rows' subscriptions go (the grid window's quote client).
class IGridSubscriber {
 public:
  virtual ~IGridSubscriber() = default;
  virtual void SubscribeRow(const DC_Contract& contract) = 0;
  virtual void UnsubscribeRow(const DC_Contract& contract) = 0;
  // The contract's current snapshot, read once without subscribing (for sorting the rows that
  // receive no quotes). False when there is none.
  virtual bool ReadSnapshot(const DC_Contract& contract, DC_QuoteData* out) {
    (void)contract;
    (void)out;
    return false;
  }
};

class QuoteGridModel {
 public:
  using RowPtr = std::shared_ptr<QuoteGridRow>;

  explicit QuoteGridModel(IGridSubscriber* subscriber = nullptr);
  ~QuoteGridModel();
  QuoteGridModel(const QuoteGridModel&) = delete;
  QuoteGridModel& operator=(const QuoteGridModel&) = delete;

  // ---- columns ---------------------------------------------------------------------------
  const std::vector<QG_ColInfo>& Columns() const { return columns_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  int KindAt(int column) const;
  void SetWidthMetrics(const GridWidthMetrics& m) { metrics_ = m; }
  const GridWidthMetrics& WidthMetrics() const { return metrics_; }
  int DefaultWidth(int kind) const { return DefaultGridColumnWidth(kind, metrics_); }
  // Appends a column of that kind with the kind's default width.
  void AddColumn(int kind);
  void SetDefaultColumns();
  // The columns of the header settings: the kinds in order; a kind already shown keeps its
  // column's width, a new one gets its default width.
  void SetColumnKinds(const std::vector<int>& kinds);
  // Reads the column file; with `replace` the columns become the file's when it passes the
  // rules (returns whether they did). The display switches are always read again.
  bool LoadColumns(bool replace);
  bool SaveColumns() const;
  // Moves the column at `from` to `to` (remove, then insert); positions 0 and 1 never move.
  // Saves. False when nothing moved.
  bool MoveColumn(int from, int to);
  void SetColumnWidth(int column, int width);
  // The header cell's rectangle, as the window laid it out.
  void SetHeaderRect(int column, const QG_ColInfo::Rect& rect) {
    if (column >= 0 && column < ColumnCount()) columns_[static_cast<std::size_t>(column)].rect = rect;
  }
  // Every column back to its kind's default width (the fonts changed).
  void RecomputeWidths();
  // Each column (only the name columns with `nameOnly`) as wide as its header text + 12 (+8 for
  // the sort column) or its widest cell text over the visible rows + 22s, whichever is larger;
  // then saves. `cellTextWidth` measures a cell's text in the font its kind is drawn in.
  void AutoFit(bool nameOnly, const std::function<int(const std::string& gbk, int kind)>& cellTextWidth);

  // ---- display ---------------------------------------------------------------------------
  GridDisplayFlags& Flags() { return flags_; }
  const GridDisplayFlags& Flags() const { return flags_; }
  void SetChangeBase(ChangeBase b) { base_ = b; }
  ChangeBase GetChangeBase() const { return base_; }
  void SetPalette(const GridPalette& p) { palette_ = p; }
  const GridPalette& Palette() const { return palette_; }

  // ---- rows ------------------------------------------------------------------------------
  // Replaces the rows by the contracts (in the block's order; `blockOrder`: the block is the
  // user's own, whose own order is its default order), sorts them by the current sort column
  // and subscribes the visible ones. With `keepPlace` the first visible row and the selected
  // contract are kept where they can be.
  void SetRows(const std::vector<DC_Contract>& contracts, bool blockOrder, int serverYear, bool keepPlace = false);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const RowPtr& RowAt(int position) const { return rows_[static_cast<std::size_t>(position)]; }
  int FindRow(std::string_view key) const;
  std::vector<DC_Contract> Contracts() const;
  bool BlockOrder() const { return blockOrder_; }
  // Moves a row (the user's block: the block's order becomes the grid's order). False when
  // nothing moved.
  bool MoveRow(int from, int to);
  // Rows whose snapshot carries an update time.
  int RowsWithQuoteTime() const;

  // ---- quotes (any thread) ---------------------------------------------------------------
  // Stores a snapshot in the row(s) of its contract, with the change highlights. False when no
  // row shows that contract.
  bool ApplyQuote(const DC_Quote& quote);
  // Called (on the quote thread) when a row becomes dirty while no batch is pending.
  void SetChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }
  struct DirtyRow {
    int position;
    uint32_t kinds;  // bit per data kind
  };
  // The rows changed since the last call, with their changed kinds; the next change calls the
  // callback again.
  std::vector<DirtyRow> TakeDirty();
  bool BatchPending() const { return pending_.load(); }
  // Removes highlights older than a second (marking their cells dirty). True when any was.
  bool ExpireHighlights();
  // The highlight colour of a cell while it is younger than a second.
  std::optional<Colorref> HighlightOf(const QuoteGridRow& row, int kind, int64_t nowMs) const;

  // ---- sorting ---------------------------------------------------------------------------
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return ascending_; }
  // A click on the header cell of a column: sorts by it (the same column again: the other way;
  // another: ascending for positions 0 and 1, descending for the rest). False for a kind that
  // does not sort.
  bool ClickHeader(int column);
  // Sorts by a column position (0 or below: the default order), then subscribes the visible
  // rows again.
  void Sort(int column, bool ascending);

  // ---- viewport, selection, subscriptions -------------------------------------------------
  // Rows that fit the client height below the header (`pageRows`, whole rows) and rows drawn
  // (`drawnRows`, a partly shown last row included).
  void SetViewport(int pageRows, int drawnRows);
  int PageRows() const { return pageRows_; }
  int DrawnRows() const { return drawnRows_; }
  int FirstVisible() const { return first_; }
  // The first visible row may go no further than to leave three empty rows at the end.
  int MaxFirstVisible() const;
  // Scrolls (clamped) and subscribes the rows that became visible. True when it moved.
  bool ScrollTo(int first);
  int Selected() const { return selected_; }
  // Selects a row (-1: none) and keeps it visible. True when the selection changed.
  bool Select(int position);
  enum class NavKey { Up, Down, PageUp, PageDown };
  // Up and Page Up at the first row select the last; Down and Page Down stop at the last row,
  // and at the last row select the first and scroll to the top. True when the selection changed.
  bool Navigate(NavKey key);
  std::size_t SubscriptionCount() const { return subscribed_.size(); }
  bool IsSubscribed(std::string_view key) const;
  void UnsubscribeAll();

  // ---- cells -----------------------------------------------------------------------------
  GridCell Cell(int position, int column) const;
  GridCell CellOf(const QuoteGridRow& row, int position, int kind, const DC_QuoteData& quote) const;

 private:
  void EnsureVisible(int position);
  void UpdateSubscriptions();
  void RebuildIndex();
  void Renumber();
  void MarkDirty(const RowPtr& row, bool notify);
  int CompareDefault(const QuoteGridRow& a, const QuoteGridRow& b) const;

  IGridSubscriber* subscriber_;
  std::vector<QG_ColInfo> columns_;
  GridWidthMetrics metrics_;
  GridDisplayFlags flags_;
  ChangeBase base_ = ChangeBase::PreSettlement;
  GridPalette palette_;

  std::vector<RowPtr> rows_;  // display order
  bool blockOrder_ = false;
  // Key -> rows, read by the quote thread.
  mutable std::shared_mutex indexMutex_;
  std::unordered_map<std::string, std::vector<RowPtr>> index_;

  std::mutex dirtyMutex_;
  std::vector<RowPtr> dirtyRows_;
  std::atomic<bool> pending_{false};
  std::function<void()> changed_;

  int sortColumn_ = -1;
  bool ascending_ = true;
  int pageRows_ = 0;
  int drawnRows_ = 0;
  int first_ = 0;
  int selected_ = -1;
  std::map<std::string, DC_Contract, std::less<>> subscribed_;
};

}  // namespace tarn
