#include "trade/grid/position_remarks.h"

#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace tarn {

RemarkMap ParseRemarkFile(std::string_view bytes, bool* complete) {
  RemarkMap out;
  ArchiveReader r(bytes);
  int32_t version = 0, count = 0;
  bool ok = r.Int32(version) && r.Count(count, 2);
  for (int32_t i = 0; ok && i < count; ++i) {
    std::string key, remark;
    ok = r.String(key) && r.String(remark);
    if (ok) out[std::move(key)] = std::move(remark);
  }
  if (complete) *complete = ok;
  return out;
}

std::string SerializeRemarkFile(const RemarkMap& remarks) {
  ArchiveWriter w;
  w.Int32(1);
  w.Int32(static_cast<int32_t>(remarks.size()));
  for (const auto& [key, remark] : remarks) {  // std::map orders keys byte-wise
    w.String(key);
    w.String(remark);
  }
  return w.Take();
}

std::string PositionRemarkKey(const PositionRecord& position) {
  return std::string(position.contract.Code()) + (position.longQuantity > 0 ? "_B" : "_S");
}

PositionRemarkStore::PositionRemarkStore(std::string file) : file_(std::move(file)) {}

void PositionRemarkStore::Load() {
  remarks_.clear();
  // The file holds short texts; anything above 16 MB is not a remark file.
  if (std::optional<std::string> bytes = ReadWholeFile(Path(file_), 16u << 20)) remarks_ = ParseRemarkFile(*bytes);
}

bool PositionRemarkStore::Save() const {
  const std::string native = Path(file_);
  std::size_t slash = native.find_last_of('/');
  if (slash != std::string::npos) MakeDirs(native.substr(0, slash));
  return WriteFileAtomic(native, SerializeRemarkFile(remarks_));
}

const std::string& PositionRemarkStore::Get(const std::string& key) const {
  static const std::string none;
  auto it = remarks_.find(key);
  return it == remarks_.end() ? none : it->second;
}

bool PositionRemarkStore::Set(const std::string& key, const std::string& remark) {
  if (remark.empty())
    remarks_.erase(key);
  else
    remarks_[key] = remark;
  return Save();
}

}  // namespace tarn
