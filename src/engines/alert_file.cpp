#include "engines/alert_file.h"

#include <algorithm>

#include "platform/archive.h"

namespace tarn {

namespace {

bool ReadRecord(ArchiveReader& r, AlertFileRecord& rec) {
  QuoteAlert& a = rec.alert;
  return r.String(rec.key) && r.Double(a.upperPrice) && r.Double(a.lowerPrice) && r.Int64(a.lastQtyLimit) &&
         r.Int64(a.volumeLimit) && r.Int64(a.openInterestLimit) && r.Int32(a.upperFired) && r.Int32(a.lowerFired) &&
         r.Int32(a.lastQtyFired) && r.Int32(a.volumeFired) && r.Int32(a.openInterestFired);
}

}  // namespace

AlertFileContents ParseAlertFile(std::string_view bytes) {
  AlertFileContents out;
  ArchiveReader r(bytes);
  if (!r.Int32(out.version)) {
    out.failedAt = r.FailedAt();
    return out;
  }
  if (out.version > 1) {
    out.hasSoundOn = true;
    if (!r.Int32(out.soundOn)) {
      out.failedAt = r.FailedAt();
      return out;
    }
  }
  if (!r.Int32(out.count)) {
    out.failedAt = r.FailedAt();
    return out;
  }
  out.headerRead = true;
  // A damaged count may claim billions of records: read while the bytes last and reserve no
  // more than the bytes left could hold.
  const std::size_t fit = r.Remaining() / (1 + kAlertRecordFixedBytes);
  out.records.reserve(std::min<std::size_t>(out.count > 0 ? static_cast<std::size_t>(out.count) : 0, fit));
  for (int32_t i = 0; i < out.count; ++i) {
    AlertFileRecord rec;
    out.damagedRecordAt = r.Position();
    if (!ReadRecord(r, rec)) {
      out.failedAt = r.FailedAt();
      return out;
    }
    out.records.push_back(std::move(rec));
  }
  out.complete = true;
  out.trailingBytes = r.Remaining();
  return out;
}

std::string SerializeAlertFile(int32_t soundOn, const std::vector<QuoteAlert>& alerts) {
  ArchiveWriter w;
  w.Int32(kAlertFileVersion);
  w.Int32(soundOn);
  w.Int32(static_cast<int32_t>(alerts.size()));
  for (const QuoteAlert& a : alerts) {
    w.String(a.contract.Key());
    w.Double(a.upperPrice);
    w.Double(a.lowerPrice);
    w.Int64(a.lastQtyLimit);
    w.Int64(a.volumeLimit);
    w.Int64(a.openInterestLimit);
    w.Int32(a.upperFired);
    w.Int32(a.lowerFired);
    w.Int32(a.lastQtyFired);
    w.Int32(a.volumeFired);
    w.Int32(a.openInterestFired);
  }
  return w.Take();
}

}  // namespace tarn
