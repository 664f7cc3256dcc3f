#include "quote/user_block_file.h"

#include "platform/archive.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

namespace {

// Smallest bytes of one record: a text is at least its one-byte length prefix; a block is its
// name and its int32 count.
constexpr std::size_t kMinText = 1;
constexpr std::size_t kMinBlock = kMinText + 4;

bool ReadList(ArchiveReader& r, std::vector<std::string>& out, const char* what, UserBlockParse& p) {
  int32_t n = 0;
  if (!r.Count(n, kMinText)) {
    p.failedField = Format("%s count", what);
    return false;
  }
  out.reserve(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    std::string s;
    if (!r.String(s)) {
      p.failedField = Format("%s entry %d", what, i + 1);
      return false;
    }
    out.push_back(std::move(s));
  }
  return true;
}

bool ReadBlocks(ArchiveReader& r, UserBlockParse& p) {
  int32_t blocks = 0;
  if (!r.Count(blocks, kMinBlock)) {
    p.failedField = "block count";
    return false;
  }
  p.file.blocks.reserve(static_cast<std::size_t>(blocks));
  for (int32_t b = 0; b < blocks; ++b) {
    UserBlockFileBlock block;
    if (!r.String(block.name)) {
      p.failedField = Format("block %d name", b + 1);
      return false;
    }
    int32_t keys = 0;
    bool ok = r.Count(keys, kMinText);
    if (!ok) p.failedField = Format("block %d contract count", b + 1);
    for (int32_t k = 0; ok && k < keys; ++k) {
      std::string key;
      if (!r.String(key)) {
        p.failedField = Format("block %d contract %d key", b + 1, k + 1);
        ok = false;
        break;
      }
      block.keys.push_back(std::move(key));
    }
    // A block cut short keeps its name and the keys read before the damage.
    p.file.blocks.push_back(std::move(block));
    if (!ok) return false;
  }
  return true;
}

}  // namespace

UserBlockParse ParseUserBlockFile(std::string_view bytes) {
  UserBlockParse p;
  ArchiveReader r(bytes);
  p.file.version = 0;
  bool ok = r.Int32(p.file.version);
  if (!ok) p.failedField = "version";
  ok = ok && ReadBlocks(r, p);
  if (ok && p.file.version >= 2) ok = ReadList(r, p.file.extraList1, "first extra list", p);
  if (ok && p.file.version >= 5) ok = ReadList(r, p.file.extraList2, "second extra list", p);
  p.complete = ok;
  if (!ok) p.failedAt = r.FailedAt();
  p.trailing = ok && !r.AtEnd();
  return p;
}

std::string SerializeUserBlockFile(const UserBlockFile& file) {
  ArchiveWriter w;
  w.Int32(5);
  w.Int32(static_cast<int32_t>(file.blocks.size()));
  for (const UserBlockFileBlock& b : file.blocks) {
    w.String(b.name);
    w.Int32(static_cast<int32_t>(b.keys.size()));
    for (const std::string& k : b.keys) w.String(k);
  }
  w.Int32(static_cast<int32_t>(file.extraList1.size()));
  for (const std::string& s : file.extraList1) w.String(s);
  w.Int32(static_cast<int32_t>(file.extraList2.size()));
  for (const std::string& s : file.extraList2) w.String(s);
  return w.Take();
}

std::string DescribeUserBlockFile(std::string_view bytes) {
  const UserBlockParse p = ParseUserBlockFile(bytes);
  const UserBlockFile& f = p.file;
  std::string out = Format("version %d, %d block(s), %d bytes\n", f.version, static_cast<int>(f.blocks.size()),
                           static_cast<int>(bytes.size()));
  for (const UserBlockFileBlock& b : f.blocks) {
    out += Format("block \"%s\": %d contract(s)\n", b.name, static_cast<int>(b.keys.size()));
    for (const std::string& k : b.keys) out += "  " + k + "\n";
  }
  auto list = [&](const char* what, const std::vector<std::string>& texts, bool present) {
    if (!present) return;
    out += Format("%s: %d text(s)\n", what, static_cast<int>(texts.size()));
    for (const std::string& t : texts) out += "  " + t + "\n";
  };
  list("first extra list", f.extraList1, f.version >= 2 && (p.complete || !f.extraList1.empty()));
  list("second extra list", f.extraList2, f.version >= 5 && (p.complete || !f.extraList2.empty()));
  if (!p.complete)
    out += Format("damaged: reading stops at byte %d (%s); everything above was read before it\n",
                  static_cast<int>(p.failedAt), p.failedField);
  else if (p.trailing)
    out += "note: bytes follow the last field and are not read\n";
  return out;
}

std::string UserBlockFilePath() { return Path("\\config\\userblock.dat"); }

}  // namespace tarn
