// The user's strategies and their file "\user\cmbolfml.dat".
//
// File (archive form, little-endian): int32 version (written 3), int32 count, then per strategy:
// decimals (int32), formula and name (length-prefixed GBK, at most 100 characters each),
// triggerQuantity (int32), totalQuantity (int32, version >= 2; older files: triggerQuantity),
// type (int32, version >= 3; older files: 1), then four legs A-D: contract key (empty for a leg
// not used), spreadTicks (int32), lots (int32), chase (one byte 0/1), direction (int32). The
// legs' offsets are not stored (they load as 0, automatic).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/strategy_records.h"

namespace tarn {

constexpr int32_t kStrategyFileVersion = 3;
constexpr std::size_t kMaxStrategyText = 100;  // bytes of a formula or a name

// One strategy as the file holds it: the legs' keys as stored, the rest in `strategy` with
// empty contracts; `formula` and `name` as stored (they may be longer than the fields).
struct StrategyFileRecord {
  CombolStrategy strategy{};
  std::string formula, name;
  std::string legKeys[4];
};

// What a read found: every record read whole, in file order. `complete` is false when the file
// ended or broke before the declared count; `failedAt` is then the first byte not read.
struct StrategyFileContents {
  bool headerRead = false;
  int32_t version = 0;
  int32_t count = 0;
  std::vector<StrategyFileRecord> records;
  bool complete = false;
  std::size_t failedAt = 0;
  std::size_t damagedRecordAt = 0;  // where the record that broke begins
  std::size_t trailingBytes = 0;
};

// Reads any bytes: never more records than the bytes could hold, never a crash.
StrategyFileContents ParseStrategyFile(std::string_view bytes);
// The file's bytes for the list (keys from the legs' contracts).
std::string SerializeStrategyFile(const std::vector<CombolStrategy>& strategies);

// Turns records into strategies with their legs' contracts looked up by `find` (key -> found).
// A strategy stays only if at least one leg was found and no named leg is missing. A formula
// longer than 100 bytes drops the strategy (cut short it would be another formula); a longer
// name is cut at 100 bytes. Decimals outside 0-5 read as 3.
template <class Find>
std::vector<CombolStrategy> ResolveStrategies(const StrategyFileContents& file, Find&& find);

// "\user\cmbolfml.dat" through the quote library's FindContract: the list, empty without a
// file or a library.
std::vector<CombolStrategy> LoadStrategyFile();
// Rewrites the file whole; false when it could not be replaced (the old one stays).
bool SaveStrategyFile(const std::vector<CombolStrategy>& strategies);

// ---- implementation of the template ----
void FinishStrategyRecord(const StrategyFileRecord& rec, CombolStrategy& out);

template <class Find>
std::vector<CombolStrategy> ResolveStrategies(const StrategyFileContents& file, Find&& find) {
  std::vector<CombolStrategy> out;
  for (const StrategyFileRecord& rec : file.records) {
    if (rec.formula.size() > kMaxStrategyText) continue;
    CombolStrategy s = rec.strategy;
    bool missing = false;
    int found = 0;
    for (int i = 0; i < 4; ++i) {
      s.legs[i].contract = DC_Contract{};
      const std::string& key = rec.legKeys[i];
      if (key.empty()) continue;
      if (key.size() >= sizeof(DC_Contract::key) || key.find('\0') != std::string::npos ||
          !find(key, s.legs[i].contract)) {
        missing = true;
        continue;
      }
      ++found;
    }
    if (missing || found == 0) continue;
    FinishStrategyRecord(rec, s);
    out.push_back(s);
  }
  return out;
}

}  // namespace tarn
