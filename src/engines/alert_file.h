// The quote alerts' records and their file "\config\alertdata.dat".
//
// File (archive form, little-endian): int32 version (written 2), int32 soundOn (only when the
// version is above 1), int32 count, then per alert: the contract key (length-prefixed GBK),
// upperPrice, lowerPrice (doubles), lastQtyLimit, volumeLimit, openInterestLimit (int64) and the
// five fired flags (int32) in the same order. So a record is its key plus 60 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"

// One alert: up to five limits on one contract, each firing at most once. A new alert is all
// zeros (value-initialise it): no limit, nothing fired.
struct QuoteAlert {
  DC_Contract contract;        // matched against quotes by its key
  double upperPrice;           // fire at or above; active when > 1e-7
  double lowerPrice;           // fire at or below; active when > 1e-7
  int64_t lastQtyLimit;        // 现手; active when > 0
  int64_t volumeLimit;         // 成交量; active when > 0
  int64_t openInterestLimit;   // 持仓量; active when > 0
  int32_t upperFired;
  int32_t lowerFired;
  int32_t lastQtyFired;
  int32_t volumeFired;
  int32_t openInterestFired;
};

// One fired alert of the history.
struct AlertLogEntry {
  std::string text;      // the message (GBK)
  int32_t colour = 255;  // COLORREF, always pure red
  int64_t time = 0;      // seconds since 1970 when it fired
};

namespace tarn {

constexpr int32_t kAlertFileVersion = 2;
// The bytes of a record after its key.
constexpr std::size_t kAlertRecordFixedBytes = 60;

// One record as the file holds it: the key as stored (it may be anything in a damaged file) and
// the limits and flags, with an empty contract.
struct AlertFileRecord {
  std::string key;
  QuoteAlert alert{};
};

// What a read of the file found. `records` holds every record read in full, in file order;
// `complete` is false when the file ended or broke before the declared count, and `failedAt`
// then tells the offset of the first byte that could not be read.
struct AlertFileContents {
  bool headerRead = false;   // version (and soundOn) and count were read
  int32_t version = 0;
  bool hasSoundOn = false;
  int32_t soundOn = 1;
  int32_t count = 0;
  std::vector<AlertFileRecord> records;
  bool complete = false;
  std::size_t failedAt = 0;
  std::size_t damagedRecordAt = 0;  // where the record that broke begins
  std::size_t trailingBytes = 0;    // bytes after the last declared record
};

// Reads any bytes: never more records than the bytes could hold, never a crash.
AlertFileContents ParseAlertFile(std::string_view bytes);
// The file's bytes for the current list (keys from the contracts).
std::string SerializeAlertFile(int32_t soundOn, const std::vector<QuoteAlert>& alerts);

}  // namespace tarn
