#include "workspace/workspace_record.h"

namespace tarn {

void WriteWorkspaceRecord(ArchiveWriter& out, const SplitLayout& layout, const WorkspaceFlags& flags,
                          const std::function<void(ArchiveWriter&, int window)>& writeLeaf) {
  out.Int32(kWorkspaceRecordVersion);
  layout.Write(out, writeLeaf);
  for (uint8_t f : flags) out.Byte(f);
}

bool ReadWorkspaceRecord(ArchiveReader& in, SplitLayout* layout, WorkspaceFlags* flags,
                         const std::function<bool(ArchiveReader&, int window)>& readLeaf) {
  int32_t version = 0;
  if (!in.Int32(version)) return false;
  if (version < 1 || version > kWorkspaceRecordVersion) return in.Fail();
  if (!layout->Read(in, readLeaf)) return false;
  if (version > 5)
    for (uint8_t& f : *flags)
      if (!in.Byte(f)) return false;
  return true;
}

bool ReadQuotePageRecord(ArchiveReader& in, const std::function<bool(ArchiveReader&, const std::string&)>& readWorkspace,
                         int* current) {
  *current = -1;
  int32_t version = 0, count = 0;
  if (!in.Int32(version)) return false;
  if (version < kQuotePageOldestVersion || version > kQuotePageRecordVersion) return false;
  // A workspace record is at least 14 bytes (name, version, empty tree, flags).
  if (!in.Count(count, 10)) return false;
  if (count > kMaxWorkspaces) return in.Fail();
  for (int32_t i = 0; i < count; ++i) {
    std::string name;
    if (!in.String(name) || !readWorkspace(in, name)) return false;
  }
  if (version >= 6) {
    int32_t at = 0;
    if (!in.Int32(at)) return false;
    *current = at;
  }
  if (version > 6) {
    int32_t reserved = 0;
    if (!in.Int32(reserved)) return false;
  }
  return true;
}

void WriteQuotePageRecord(ArchiveWriter& out, const std::vector<std::string>& names,
                          const std::function<void(ArchiveWriter&, int index)>& writeWorkspace, int current) {
  out.Int32(kQuotePageRecordVersion);
  out.Int32(static_cast<int32_t>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    out.String(names[i]);
    writeWorkspace(out, static_cast<int>(i));
  }
  out.Int32(current);
  out.Int32(0);
}

int StateLeaves::CreateLeafWindow() {
  const int id = next_++;
  states_[id] = ChartContainerState{};
  return id;
}

std::vector<ChartContainerState> WorkspaceModel::States() const {
  std::vector<ChartContainerState> out;
  for (int w : layout->Windows()) out.push_back(leaves->State(w));
  return out;
}

void WorkspaceModel::Write(ArchiveWriter& out) const {
  WriteWorkspaceRecord(out, *layout, flags, [this](ArchiveWriter& o, int window) { WriteChartState(o, leaves->State(window)); });
}

bool WorkspaceModel::Read(ArchiveReader& in) {
  return ReadWorkspaceRecord(in, layout.get(), &flags,
                             [this](ArchiveReader& i, int window) { return ReadChartState(i, &leaves->State(window)); });
}

bool CopyWorkspaceRecord(ArchiveReader& in, std::string* record) {
  WorkspaceModel model;
  const bool ok = model.Read(in);
  ArchiveWriter w;
  model.Write(w);
  *record = w.Take();
  return ok;
}

WorkspaceModel& QuotePageModel::Add(const std::string& name) {
  workspaces.push_back(std::make_unique<WorkspaceModel>());
  workspaces.back()->name = name;
  return *workspaces.back();
}

std::string QuotePageModel::Serialize() const {
  ArchiveWriter w;
  std::vector<std::string> names;
  for (const auto& ws : workspaces) names.push_back(ws->name);
  WriteQuotePageRecord(
      w, names,
      [this](ArchiveWriter& out, int i) { workspaces[static_cast<std::size_t>(i)]->Write(out); },
      current);
  return w.Take();
}

bool QuotePageModel::Parse(std::string_view bytes) {
  workspaces.clear();
  current = 0;
  ArchiveReader r(bytes);
  int at = -1;
  const bool ok = ReadQuotePageRecord(
      r,
      [this](ArchiveReader& in, const std::string& name) { return Add(name).Read(in); },
      &at);
  if (at >= 0 && at < static_cast<int>(workspaces.size())) current = at;
  return ok;
}

}  // namespace tarn
