// The records of the workspace page, in the archive form.
//
// Workspace record (also a whole ".lyt" layout file): int32 6; the split tree record; three flag
// bytes the chart containers own (stored and restored as they are).
// Quote page record (the tail of frm.dat): int32 7; int32 number of workspaces; per workspace its
// tab name and workspace record; int32 the current workspace (version 6 on); int32 0 reserved
// (version 7 on). A page record below version 5 loads nothing.
//
// QuotePageModel holds a whole page without windows: every workspace's tree with the chart
// containers' records at its leaves. tarnctl, the tests and the readers' fuzz targets use it;
// the windows read and write the same records through the functions below.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_state.h"
#include "workspace/split_layout.h"

namespace tarn {

constexpr int kWorkspaceRecordVersion = 6;
constexpr int kQuotePageRecordVersion = 7;
constexpr int kQuotePageOldestVersion = 5;
// More workspaces than this in a file are taken as damage.
constexpr int kMaxWorkspaces = 256;

using WorkspaceFlags = std::array<uint8_t, 3>;

void WriteWorkspaceRecord(ArchiveWriter& out, const SplitLayout& layout, const WorkspaceFlags& flags,
                          const std::function<void(ArchiveWriter&, int window)>& writeLeaf);
// Replaces the layout's tree; false on damage (what was read stays in the layout).
bool ReadWorkspaceRecord(ArchiveReader& in, SplitLayout* layout, WorkspaceFlags* flags,
                         const std::function<bool(ArchiveReader&, int window)>& readLeaf);

struct QuotePageCallbacks {
  // Adds a workspace of that name and reads its record (false: damage).
  std::function<bool(ArchiveReader& in, const std::string& name)> readWorkspace;
};
// Reads a page record; *current gets the stored current workspace (-1 when the record has
// none). False on damage or an unknown version; workspaces read before the damage stay.
bool ReadQuotePageRecord(ArchiveReader& in, const std::function<bool(ArchiveReader&, const std::string&)>& readWorkspace,
                         int* current);
void WriteQuotePageRecord(ArchiveWriter& out, const std::vector<std::string>& names,
                          const std::function<void(ArchiveWriter&, int index)>& writeWorkspace, int current);

// A chart container's window, without a window: its record.
class StateLeaves : public ISpliterNotify {
 public:
  int CreateLeafWindow() override;
  void ReleaseLeafWindow(int window) override { states_.erase(window); }
  void LeafWindowsChanged(const std::vector<int>&) override {}
  ChartContainerState& State(int window) { return states_[window]; }
  int Count() const { return static_cast<int>(states_.size()); }

 private:
  std::map<int, ChartContainerState> states_;
  int next_ = 1;
};

struct WorkspaceModel {
  std::string name;
  WorkspaceFlags flags{};
  std::unique_ptr<StateLeaves> leaves = std::make_unique<StateLeaves>();
  std::unique_ptr<SplitLayout> layout = std::make_unique<SplitLayout>(leaves.get());
  // The leaves' records in tree order.
  std::vector<ChartContainerState> States() const;
  // The workspace record (without the name, which the page record carries before it).
  void Write(ArchiveWriter& out) const;
  // Replaces the tree and records with the record's; false on damage (what was read stays).
  bool Read(ArchiveReader& in);
};

// Reads one workspace record from `in` and gives it as written again from what was read: the
// same bytes for a sound record, the readable part for a damaged one. False on damage.
bool CopyWorkspaceRecord(ArchiveReader& in, std::string* record);

class QuotePageModel {
 public:
  std::vector<std::unique_ptr<WorkspaceModel>> workspaces;
  int current = 0;

  WorkspaceModel& Add(const std::string& name);
  std::string Serialize() const;
  // False on damage or an unknown version (what was read stays).
  bool Parse(std::string_view bytes);
};

}  // namespace tarn
