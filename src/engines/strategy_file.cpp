#include "engines/strategy_file.h"

#include <algorithm>

#include "data/quote_data_center.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace tarn {
namespace {

constexpr const char* kStrategyFile = "\\user\\cmbolfml.dat";
// The fewest bytes a version 3 record can take: decimals, two empty strings, three int32s and
// four legs of an empty key and 13 bytes each.
constexpr std::size_t kMinRecordBytes = 4 + 1 + 1 + 4 + 4 + 4 + 4 * 14;

bool ReadRecord(ArchiveReader& r, int32_t version, StrategyFileRecord& rec) {
  CombolStrategy& s = rec.strategy;
  if (!r.Int32(s.decimals) || !r.String(rec.formula) || !r.String(rec.name) || !r.Int32(s.triggerQuantity))
    return false;
  s.totalQuantity = s.triggerQuantity;
  s.type = 1;
  if (version >= 2 && !r.Int32(s.totalQuantity)) return false;
  if (version >= 3 && !r.Int32(s.type)) return false;
  for (int i = 0; i < 4; ++i) {
    CombolLeg& l = s.legs[i];
    uint8_t chase = 0;
    if (!r.String(rec.legKeys[i]) || !r.Int32(l.spreadTicks) || !r.Int32(l.lots) || !r.Byte(chase) ||
        !r.Int32(l.direction))
      return false;
    l.chase = chase != 0;
    l.offset = 0;
  }
  return true;
}

}  // namespace

StrategyFileContents ParseStrategyFile(std::string_view bytes) {
  StrategyFileContents out;
  ArchiveReader r(bytes);
  if (!r.Int32(out.version) || !r.Int32(out.count)) {
    out.failedAt = r.FailedAt();
    return out;
  }
  out.headerRead = true;
  const std::size_t fit = r.Remaining() / (kMinRecordBytes - 8);
  out.records.reserve(std::min<std::size_t>(out.count > 0 ? static_cast<std::size_t>(out.count) : 0, fit));
  for (int32_t i = 0; i < out.count; ++i) {
    StrategyFileRecord rec;
    out.damagedRecordAt = r.Position();
    if (!ReadRecord(r, out.version, rec)) {
      out.failedAt = r.FailedAt();
      return out;
    }
    out.records.push_back(std::move(rec));
  }
  out.complete = true;
  out.trailingBytes = r.Remaining();
  return out;
}

std::string SerializeStrategyFile(const std::vector<CombolStrategy>& strategies) {
  ArchiveWriter w;
  w.Int32(kStrategyFileVersion);
  w.Int32(static_cast<int32_t>(strategies.size()));
  for (const CombolStrategy& s : strategies) {
    w.Int32(s.decimals);
    w.String(s.Formula());
    w.String(s.Name());
    w.Int32(s.triggerQuantity);
    w.Int32(s.totalQuantity);
    w.Int32(s.type);
    for (const CombolLeg& l : s.legs) {
      w.String(l.Used() ? l.contract.Key() : std::string_view());
      w.Int32(l.spreadTicks);
      w.Int32(l.lots);
      w.Byte(l.chase ? 1 : 0);
      w.Int32(l.direction);
    }
  }
  return w.Take();
}

void FinishStrategyRecord(const StrategyFileRecord& rec, CombolStrategy& out) {
  SetField(out.formula, rec.formula);
  // The name cut at 100 bytes, never in the middle of a GBK character.
  std::size_t cut = 0;
  for (std::size_t i = 0; i < rec.name.size();) {
    const unsigned char c = static_cast<unsigned char>(rec.name[i]);
    const std::size_t w = c >= 0x81 && c <= 0xFE ? 2 : 1;
    if (i + w > kMaxStrategyText || i + w > rec.name.size()) break;
    i += w;
    cut = i;
  }
  SetField(out.name, std::string_view(rec.name).substr(0, cut));
  if (out.decimals < 0 || out.decimals > 5) out.decimals = 3;
  out.orderSide = 0;
}

std::vector<CombolStrategy> LoadStrategyFile() {
  const std::optional<std::string> bytes = ReadWholeFile(Path(kStrategyFile));
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!bytes || !center) return {};
  return ResolveStrategies(ParseStrategyFile(*bytes), [&](const std::string& key, DC_Contract& c) {
    return center->FindContract(&c, key.c_str()) > 0;
  });
}

bool SaveStrategyFile(const std::vector<CombolStrategy>& strategies) {
  return WriteFileAtomic(Path(kStrategyFile), SerializeStrategyFile(strategies));
}

}  // namespace tarn
