// The trade grid's model: the container's copies of the library's lists and the local engines'
// records, each tab's rows (the index of the record a row shows and its cells), the refresh
// rules, and which rows changed since the window last looked.
//
// A row's cells are shared and kept per record identity (order key, fill number, position
// number, ...) with a copy of the record they were made from: a refresh formats only the
// records that changed, so a notification about one order among thousands costs a copy of the
// list and one row's texts, not every row's. Everything here runs on the UI thread; the
// library's threads only touch TradeRefreshSignal.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/trade_api.h"
#include "engines/auto_cover.h"
#include "engines/oco_order.h"
#include "trade/feed/trade_feed.h"
#include "trade/grid/position_remarks.h"
#include "trade/grid/trade_grid_cells.h"
#include "trade/grid/trade_grid_tabs.h"

namespace tarn {

// What the trade notifications ask of the window, set on the library's threads. A message is
// posted only when none is waiting, so a burst of notifications costs one refresh.
class TradeRefreshSignal {
 public:
  // OnOrder, OnFill, OnTradeRefresh: full refresh. True when the caller must post the message.
  bool FullChange() {
    full_.store(true);
    return !posted_.exchange(true);
  }
  // OnTradeText, OnAccountUpdate: the message without the full flag.
  bool LightChange() { return !posted_.exchange(true); }
  // OnPositions: a complete list posts; a partial one only marks the positions dirty.
  bool PositionsChanged(bool complete) {
    if (complete) return LightChange();
    dirty_.store(true);
    return false;
  }
  // UI thread: the message is being handled (a later notification posts again).
  void MessageTaken() { posted_.store(false); }
  bool TakeFull() { return full_.exchange(false); }
  bool TakeDirty() { return dirty_.exchange(false); }

 private:
  std::atomic<bool> full_{false};
  std::atomic<bool> dirty_{false};
  std::atomic<bool> posted_{false};
};

struct GridRow {
  int record = -1;                         // index in the tab's source list
  std::shared_ptr<const CellRow> cells;    // the columns after "序号"
};

// Rows changed since the window last took them.
struct TabChanges {
  bool countChanged = false;
  std::vector<int> rows;  // ascending
};

class TradeGridModel {
 public:
  using InfoFn = std::function<ContractInfo(const DC_Contract&)>;
  explicit TradeGridModel(PositionRemarkStore& remarks, InfoFn info = ContractInfoOf);

  // The refresh message's work: with `full` all orders, positions, position details, fills,
  // working orders and condition orders; without it positions and position details only.
  void Refresh(ITradeApi& api, bool full);
  void RefreshOrders(ITradeApi& api);
  void RefreshPositions(ITradeApi& api);
  void RefreshDetails(ITradeApi& api);
  void RefreshFills(ITradeApi& api);
  void RefreshWorking();
  void RefreshConditions();
  // A change set of the trade feed: the orders and fills it carries are applied by identity
  // (only the rows they touch are formatted); the positions and their lots are read from the
  // library when the set says they changed and `readPositions` allows it (the container defers
  // an incomplete position list to its timer). A reload takes the lists whole.
  void Apply(const TradeChangeSet& set, ITradeApi* api, bool readPositions);
  void RefreshOco(std::vector<OcoOrder> pairs);
  void RefreshAutoStops(std::vector<AutoCoverStop> stops);
  // Rebuilds the rows of a remark's tab after an edit (positions or details).
  void RewriteRemarks();

  // Fills tab: detail (false) or summary (true) rows.
  void SetFillSummary(bool summary);
  bool FillSummary() const { return fillSummary_; }

  const std::vector<GridRow>& Rows(int tab) const { return tabs_[Index(tab)].rows; }
  int RowCount(int tab) const { return static_cast<int>(Rows(tab).size()); }
  std::string Title(int tab) const { return TabTitleWithCount(tab, RowCount(tab)); }
  // The text of a cell, "序号" included (column 0); "" outside the rows.
  std::string CellText(int tab, int row, int column) const;
  const GridCell* Cell(int tab, int row, int column) const;
  TabChanges TakeChanges(int tab);

  // The record a row shows, nullptr when the row maps to none (the lists changed).
  const PositionRecord* PositionAt(int row) const;
  const PositionDetail* DetailAt(int row) const;
  const OrderRecord* OrderAt(int tab, int row) const;  // all orders, working, condition orders
  const FillRecord* FillAt(int row) const;              // detail mode only
  const OcoOrder* OcoAt(int row) const;
  const AutoCoverStop* AutoStopAt(int row) const;
  // The remark key of a positions or details row ("" when none).
  std::string RemarkKeyOf(int tab, int row) const;

  // The identity of the record a row shows: the order's key, the position's contract and side,
  // the lot's position number, the fill's number (the group's key in summary mode), the OCO
  // pair's id, the local stop's sequence. "" when the row maps to no record.
  std::string RowIdentity(int tab, int row) const;
  // The row that shows the record of this identity now, -1 when none does. `hint` is the row
  // where it was last seen (looked at first).
  int RowOfIdentity(int tab, std::string_view identity, int hint = -1) const;

  // Each tab's selection, kept by record identity: rows move and vanish on every refresh, the
  // selected record stays selected where it goes, and a record that is gone leaves no
  // selection (never the row that took its place).
  void Select(int tab, int row);
  int SelectedRow(int tab) const;
  const std::string& SelectedIdentity(int tab) const { return tabs_[Index(tab)].selected; }
  // The selected position (nullptr when none is selected or it is gone).
  const PositionRecord* SelectedPosition() const { return PositionAt(SelectedRow(kTabPositions)); }

  // The copies of the lists.
  const std::vector<PositionRecord>& Positions() const { return positions_; }
  const std::vector<OrderRecord>& Orders() const { return orders_; }
  const std::vector<PositionDetail>& Details() const { return details_; }
  const std::vector<FillRecord>& Fills() const { return fills_; }
  const std::vector<OcoOrder>& OcoPairs() const { return oco_; }
  const std::vector<AutoCoverStop>& AutoStops() const { return stops_; }

  PositionRemarkStore& Remarks() { return remarks_; }

  // Rows formatted since the start (tests and benchmarks: what a refresh cost).
  long long FormattedRows() const { return formatted_; }

 private:
  // Hashing of texts that finds a std::string key by a string_view without making one.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  template <class V>
  using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;
  struct CacheEntry {
    std::string record;  // the bytes of the record (and any other input) the cells were made from
    std::shared_ptr<const CellRow> cells;
    uint32_t pass = 0;
  };
  struct Cache {
    TextMap<CacheEntry> map;
    uint32_t pass = 0;
    void Begin() { ++pass; }
    void Sweep(std::size_t rows);
  };
  struct Tab {
    std::vector<GridRow> rows;
    TabChanges changes;
    Cache cache;
    // The cells of each record of the source list as last built (null: not shown), so that a
    // record unchanged at its place in the list is taken without looking it up.
    std::vector<std::shared_ptr<const CellRow>> byRecord;
    std::string selected;       // identity of the selected record, "" none
    mutable int selectedRow = -1;  // where it was last seen
  };
  struct InfoEntry {
    DC_Contract contract;
    ContractInfo info;
  };
  static std::size_t Index(int tab) { return IsTradeTab(tab) ? static_cast<std::size_t>(tab) : 0; }
  // Looks up (or makes) the cells of one record: `id` its identity (made unique with the
  // record's index when it is empty or repeated), `record` and `extra` the bytes they depend on.
  // Only a record whose bytes changed is formatted again.
  template <class Make>
  std::shared_ptr<const CellRow> CellsFor(Tab& tab, std::string_view id, std::size_t index, std::string_view record,
                                          std::string_view extra, Make make);
  // Replaces a tab's rows and records which rows differ from the ones shown before.
  void SetRows(int tab, std::vector<GridRow> rows);
  const ContractInfo& InfoOf(const DC_Contract& c);
  // Resolves the known contracts again; notes whether any terms changed.
  void RecheckInfo();
  void CleanUpRemarks(ITradeApi& api);
  void IndexOrders();
  void CollectStops();
  void BuildPositionTabs(ITradeApi* api, bool read);
  // Where the row of an order record is or would go in an order tab (the rows are sorted by
  // record), and the row that shows it (-1 none).
  std::size_t OrderRowPlace(int tab, std::size_t record) const;
  int OrderRowOf(int tab, std::size_t record) const;
  // The cells of an order record on an order tab (formatted when its bytes changed).
  std::shared_ptr<const CellRow> OrderRowCells(int tab, std::size_t record);
  // The row of an order changed in place, formatted again where it is (false: not shown there).
  bool PatchOrderRow(int tab, std::size_t record);
  // Gives an order that was not shown on the tab its row at its place.
  bool InsertOrderRow(int tab, std::size_t record);
  // Takes away the row of an order that left the tab (true also when it was not shown).
  bool DropOrderRow(int tab, std::size_t record);
  // Rows for the fills from `from` on, added at the end (detail mode).
  void AppendFillRows(std::size_t from);
  const std::vector<OrderRecord>& StopOrdersOf(const DC_Contract& c) const;
  void BuildOrderRows(int tab);
  // Positions and lots: when the list kept its length and no record changed whether it is shown
  // (`shown(i)`), the rows of the changed records (`same` is 0) get `make(i)`'s cells where they
  // are and nothing else is touched. False: the tab must be built whole.
  template <class Shown, class Make>
  bool PatchRowsInPlace(int tab, const std::vector<char>& same, std::size_t n, Shown shown, Make make);
  void BuildPositionRows();
  void BuildDetailRows();
  void BuildFillRows();

  PositionRemarkStore& remarks_;
  InfoFn info_;
  TextMap<InfoEntry> infoCache_;
  bool infoChanged_ = true;  // a commodity's terms changed at the last check: format everything
  // Which records of the orders and fills lists are byte for byte the ones at the same place
  // in the previous list, and the lists the library's copies are taken into.
  std::vector<char> sameOrders_, sameFills_;
  std::vector<OrderRecord> incomingOrders_;
  std::vector<FillRecord> incomingFills_;
  // The same for the positions and lots, and whether their rows must be made again whatever
  // the records (the stops or the remarks they show changed).
  std::vector<char> samePositions_, sameDetails_;
  std::vector<PositionRecord> incomingPositions_;
  std::vector<PositionDetail> incomingDetails_;
  bool positionRowsStale_ = true;
  Tab tabs_[kTradeTabCount];
  bool fillSummary_ = false;
  std::vector<PositionRecord> positions_;
  std::vector<PositionDetail> details_;
  std::vector<OrderRecord> orders_;
  TextMap<std::size_t> orderIndex_;  // order key -> index in orders_
  // The orders that may be position stops (condition orders in state 11 that close), by
  // contract key.
  TextMap<std::vector<OrderRecord>> stopsByKey_;
  std::vector<FillRecord> fills_;
  std::vector<FillGroup> fillGroups_;
  std::vector<OcoOrder> oco_;
  std::vector<AutoCoverStop> stops_;
  long long formatted_ = 0;
};

}  // namespace tarn
