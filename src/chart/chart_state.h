// What a chart container keeps of itself in a workspace record: a versioned record (version 20)
// with what the container shows, its contract's key, the price cube's cards (contracts and
// combinations, kept as text when the quote library or the strategy list does not know them), its quote grid's block, the chart's period, panes, indicators and drawn
// objects. And the program's store of drawn objects by contract and period, which keeps a
// chart's objects while no chart of that contract and period is shown.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "chart/chart_period.h"
#include "libs/candlechart/chart_types.h"
#include "platform/archive.h"
#include "platform/sync.h"

namespace tarn {

// The four contents of a chart container; -1 = none yet (the seven buttons).
enum ContainerContent : int {
  kContentNone = -1,
  kContentQuoteGrid = 0,  // "行情报价"
  kContentKLine = 1,      // "K线图"
  kContentTimeShare = 2,  // "分时图"
  kContentPriceCube = 3,  // "价格方块"
};

constexpr int kChartStateVersion = 20;

struct ChartContainerState {
  int content = kContentNone;
  std::string contractKey;   // GBK
  std::string blockName;     // the quote grid's block
  bool sidePanel = true;     // the information panel beside the quote grid
  bool linked = false;       // the linking flag (a double-click on the grid does not switch)
  ChartPeriod period;
  bool inverted = false;
  int paneCount = 3;
  double barSpacing = 8;
  std::vector<std::string> overlays;    // the main pane's indicators
  std::vector<std::string> indicators;  // panes 1.. ("" = empty)
  std::vector<candlechart::DrawObject> objects;
  std::vector<std::string> cubeCards;  // the price cube's cards' keys, in the board's order (version 19 on)
  // Per card: 0 a contract key, 1 a strategy's key (version 20 on; an older record's cards are
  // contracts). Written for every card, 0 where missing.
  std::vector<int32_t> cubeCardKinds;
  bool operator==(const ChartContainerState&) const = default;
};

constexpr int32_t kCubeCardContract = 0;
constexpr int32_t kCubeCardStrategy = 1;

void WriteChartState(ArchiveWriter& out, const ChartContainerState& state);
// Reads a record; on damage stops there, keeps what it read and returns false. A version
// above 20 (a newer terminal's) or below 1 is not read.
bool ReadChartState(ArchiveReader& in, ChartContainerState* state);

// Drawn objects by contract and period, for the life of the process.
class ChartObjectStore {
 public:
  static ChartObjectStore& Instance();
  void Put(const std::string& contractKey, const ChartPeriod& period, std::vector<candlechart::DrawObject> objects);
  std::vector<candlechart::DrawObject> Get(const std::string& contractKey, const ChartPeriod& period) const;
  void Clear();

 private:
  mutable CriticalSection lock_;
  std::map<std::string, std::vector<candlechart::DrawObject>> objects_;
};

}  // namespace tarn
