// The main window's state file "\user\layout\frm.dat", in the archive form:
//   int32 1 (the frame's version), then the client view's record:
//   int32 3; text: key of the current contract; the quote grid's record (int32 1; text: the
//   grid's current block); then the quote page record (version 7 and on).
//
// Until the workspace page exists the quote page record is kept as the bytes it was read as,
// and an empty one (version 7, no workspaces, current index 0, reserved 0) is written when
// there is none: a file written by a terminal that has workspaces survives this one.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

struct FrameState {
  std::string contractKey;      // GBK
  std::string blockName;        // GBK
  std::string quotePageRecord;  // the quote page record as stored ("" = none yet)
};

// The record of an empty quote page.
std::string EmptyQuotePageRecord();

std::string SerializeFrameState(const FrameState& s);
// Reads what the bytes hold; false when the file is damaged or of an unknown version (what was
// read before the damage is kept in *out).
bool ParseFrameState(std::string_view bytes, FrameState* out);

// "\user\layout\frm.dat" (folders created as needed; replaced atomically).
std::string FrameStatePath();
bool SaveFrameState(const FrameState& s);
// Missing or damaged: false, with whatever could be read.
bool LoadFrameState(FrameState* out);

}  // namespace tarn
