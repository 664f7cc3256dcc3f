#include "engines/file_dump.h"

#include "engines/alert_file.h"
#include "engines/auto_cover_file.h"
#include "engines/strategy_file.h"
#include "platform/text.h"

namespace tarn {

namespace {

// The end of a read: complete, trailing bytes, or where the damage is.
void Tail(std::string& out, bool headerRead, bool complete, std::size_t size, std::size_t failedAt,
          std::size_t recordAt, std::size_t recordsRead, std::size_t trailing, const char* what) {
  if (!headerRead) {
    out += Format("damaged: the header breaks at byte %zu of %zu (nothing loads)\n", failedAt, size);
  } else if (!complete) {
    out += Format("damaged: %s %zu (from byte %zu) breaks at byte %zu of %zu; %zu read before it\n", what,
                  recordsRead + 1, recordAt, failedAt, size, recordsRead);
  } else if (trailing > 0) {
    out += Format("note: %zu bytes after the last record are not read\n", trailing);
  } else {
    out += "complete\n";
  }
}

}  // namespace

std::string DumpAlertFile(std::string_view bytes, bool* complete) {
  const AlertFileContents f = ParseAlertFile(bytes);
  std::string out = Format("%zu bytes\n", bytes.size());
  if (f.headerRead || f.version != 0) out += Format("version %d\n", f.version);
  if (f.hasSoundOn && (f.headerRead || f.soundOn != 1)) out += Format("soundOn %d\n", f.soundOn);
  if (f.headerRead) out += Format("count %d\n", f.count);
  for (std::size_t i = 0; i < f.records.size(); ++i) {
    const AlertFileRecord& r = f.records[i];
    const QuoteAlert& a = r.alert;
    out += Format(
        "record %zu: key=\"%s\" upperPrice=%.15g lowerPrice=%.15g lastQtyLimit=%lld volumeLimit=%lld "
        "openInterestLimit=%lld upperFired=%d lowerFired=%d lastQtyFired=%d volumeFired=%d openInterestFired=%d\n",
        i + 1, r.key, a.upperPrice, a.lowerPrice, static_cast<long long>(a.lastQtyLimit),
        static_cast<long long>(a.volumeLimit), static_cast<long long>(a.openInterestLimit), a.upperFired, a.lowerFired,
        a.lastQtyFired, a.volumeFired, a.openInterestFired);
  }
  Tail(out, f.headerRead, f.complete, bytes.size(), f.failedAt, f.damagedRecordAt, f.records.size(), f.trailingBytes,
       "record");
  if (complete) *complete = f.complete;
  return out;
}

std::string DumpAutoCoverFile(std::string_view bytes, bool* complete) {
  const AutoCoverFileContents f = ParseAutoCoverFile(bytes);
  std::string out = Format("%zu bytes\n", bytes.size());
  if (f.countRead) out += Format("count %d\n", f.count);
  for (std::size_t i = 0; i < f.settings.size(); ++i) {
    const AutoCoverSetting& s = f.settings[i];
    out += Format(
        "setting %zu: commodity=\"%s\" exchange=\"%s\" stopLossTicks=%d takeProfitTicks=%d trailingTicks=%d "
        "breakEvenTicks=%d\n",
        i + 1, s.commodity, s.exchange, s.stopLossTicks, s.takeProfitTicks, s.trailingTicks, s.breakEvenTicks);
  }
  Tail(out, f.countRead, f.complete, bytes.size(), f.failedAt, f.damagedRecordAt, f.settings.size(), f.trailingBytes,
       "setting");
  if (complete) *complete = f.complete;
  return out;
}

std::string DumpStrategyFile(std::string_view bytes, bool* complete) {
  const StrategyFileContents f = ParseStrategyFile(bytes);
  std::string out = Format("%zu bytes\n", bytes.size());
  if (f.headerRead) out += Format("version %d\ncount %d\n", f.version, f.count);
  for (std::size_t i = 0; i < f.records.size(); ++i) {
    const StrategyFileRecord& r = f.records[i];
    const CombolStrategy& s = r.strategy;
    out += Format("strategy %zu: decimals=%d formula=\"%s\" name=\"%s\" triggerQuantity=%d totalQuantity=%d type=%d\n",
                  i + 1, s.decimals, r.formula, r.name, s.triggerQuantity, s.totalQuantity, s.type);
    for (int k = 0; k < 4; ++k) {
      const CombolLeg& l = s.legs[k];
      out += Format("  leg %c: key=\"%s\" spreadTicks=%d lots=%d chase=%d direction=%d\n", static_cast<char>('A' + k),
                    r.legKeys[k], l.spreadTicks, l.lots, l.chase ? 1 : 0, l.direction);
    }
  }
  Tail(out, f.headerRead, f.complete, bytes.size(), f.failedAt, f.damagedRecordAt, f.records.size(), f.trailingBytes,
       "strategy");
  if (complete) *complete = f.complete;
  return out;
}

}  // namespace tarn
