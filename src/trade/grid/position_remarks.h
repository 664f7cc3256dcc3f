// The user's remarks on positions, "\user\pos_remark.dat": a map from a position key to a
// remark text. A position row's key is "<code>_B" (long) or "<code>_S"; a position detail's key
// is its position number.
//
// File: int32 version (1, not checked when read), int32 count, then per entry the key and the
// remark as length-prefixed GBK strings, in ascending byte order of the keys.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "data/trade_records.h"

namespace tarn {

using RemarkMap = std::map<std::string, std::string>;

// Reads the entries of a remark file; a damaged or cut file keeps the entries read before the
// damage (`complete` false).
RemarkMap ParseRemarkFile(std::string_view bytes, bool* complete = nullptr);
std::string SerializeRemarkFile(const RemarkMap& remarks);

// "<contract code>_B" when the long quantity is above 0, else "<contract code>_S".
std::string PositionRemarkKey(const PositionRecord& position);

class PositionRemarkStore {
 public:
  // "\user\pos_remark.dat" by default.
  explicit PositionRemarkStore(std::string file = "\\user\\pos_remark.dat");

  // Clears the map and reads the file (a missing file leaves it empty).
  void Load();
  // Rewrites the file whole. False when it could not be written (the old file stays).
  bool Save() const;

  const std::string& Get(const std::string& key) const;
  // Stores the remark (an empty one removes the entry) and saves at once.
  bool Set(const std::string& key, const std::string& remark);
  // Removes every entry whose key is not in `keep`; saves when something was removed. Returns
  // the number removed.
  template <class Pred>
  int CleanUp(Pred keep);

  const RemarkMap& All() const { return remarks_; }

 private:
  std::string file_;
  RemarkMap remarks_;
};

template <class Pred>
int PositionRemarkStore::CleanUp(Pred keep) {
  int removed = 0;
  for (auto it = remarks_.begin(); it != remarks_.end();) {
    if (keep(it->first)) {
      ++it;
    } else {
      it = remarks_.erase(it);
      ++removed;
    }
  }
  if (removed > 0) Save();
  return removed;
}

}  // namespace tarn
