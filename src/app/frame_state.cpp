#include "app/frame_state.h"

#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace tarn {

std::string EmptyQuotePageRecord() {
  ArchiveWriter w;
  w.Int32(7);  // version
  w.Int32(0);  // no workspaces
  w.Int32(0);  // current workspace
  w.Int32(0);  // reserved
  return w.Take();
}

std::string SerializeFrameState(const FrameState& s) {
  ArchiveWriter w;
  w.Int32(1);  // the frame's version
  w.Int32(3);  // the client view's version
  w.String(s.contractKey);
  w.Int32(1);  // the quote grid's version
  w.String(s.blockName);
  const std::string page = s.quotePageRecord.empty() ? EmptyQuotePageRecord() : s.quotePageRecord;
  w.Raw(page.data(), page.size());
  return w.Take();
}

bool ParseFrameState(std::string_view bytes, FrameState* out) {
  ArchiveReader r(bytes);
  int32_t frameVersion = 0, viewVersion = 0, gridVersion = 0;
  if (!r.Int32(frameVersion) || frameVersion != 1) return false;
  if (!r.Int32(viewVersion) || viewVersion < 1) return false;
  std::string key;
  if (!r.String(key)) return false;
  out->contractKey = key;
  std::string block;
  if (!r.Int32(gridVersion) || !r.String(block)) return false;
  out->blockName = block;
  if (viewVersion >= 3) {
    // The quote page record is the rest of the file: kept whole for the page to read.
    int32_t pageVersion = 0;
    ArchiveReader peek(bytes.substr(r.Position()));
    if (!peek.Int32(pageVersion)) return false;
    out->quotePageRecord = std::string(bytes.substr(r.Position()));
  }
  return true;
}

std::string FrameStatePath() { return Path("\\user\\layout\\frm.dat"); }

bool SaveFrameState(const FrameState& s) { return WriteFileAtomic(FrameStatePath(), SerializeFrameState(s)); }

bool LoadFrameState(FrameState* out) {
  // A state file is a few kilobytes per workspace; 64 MB is far beyond any real one.
  const std::optional<std::string> bytes = ReadWholeFile(FrameStatePath(), 64u << 20);
  return bytes && ParseFrameState(*bytes, out);
}

}  // namespace tarn
