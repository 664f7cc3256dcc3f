#include "workspace/workspace_names.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

namespace {

const char* const kLayoutFolder = "\\user\\layout\\quotepage\\";
const char* const kLayoutExtension = ".lyt";

}  // namespace

std::string NewWorkspaceName(const std::vector<std::string>& existing) {
  const std::set<std::string> used(existing.begin(), existing.end());
  for (int n = 1;; ++n) {
    std::string name = Format(TXT("工作区%d"), n);
    if (!used.count(name)) return name;
  }
}

const std::string& NameVerdictText(NameVerdict v) {
  static const std::string none;
  switch (v) {
    case NameVerdict::kEmpty: return TXT("名称不能为空");
    case NameVerdict::kInvalid: return TXT("名称包含无效字符");
    case NameVerdict::kPanorama: return TXT("不支持更改全景K线工作区名称");
    case NameVerdict::kExists: return TXT("该名称布局已经存在");
    default: return none;
  }
}

NameVerdict CheckWorkspaceRename(const std::string& current, const std::string& typed, std::string* name) {
  *name = Trim(typed);
  if (name->empty()) return NameVerdict::kEmpty;
  if (current.rfind(TXT("全景"), 0) == 0) return NameVerdict::kPanorama;
  return *name == current ? NameVerdict::kUnchanged : NameVerdict::kOk;
}

NameVerdict CheckLayoutName(const std::string& typed, std::string* name) {
  *name = Trim(typed);
  if (name->empty()) return NameVerdict::kEmpty;
  // Bytes of these characters never occur inside a GBK double-byte character's lead byte, but a
  // trail byte may be 0x5C ('\\') or 0x7C ('|'): step over double-byte characters whole.
  for (std::size_t i = 0; i < name->size(); ++i) {
    const unsigned char c = static_cast<unsigned char>((*name)[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < name->size()) {
      ++i;
      continue;
    }
    if (std::string_view(" \\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      return NameVerdict::kInvalid;
  }
  return NameVerdict::kOk;
}

std::string LayoutFilePath(const std::string& name) { return Path(std::string(kLayoutFolder) + name + kLayoutExtension); }

std::vector<std::string> ListLayouts() {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(Path(kLayoutFolder), ec)) {
    if (!e.is_regular_file(ec) || e.path().extension() != kLayoutExtension) continue;
    out.push_back(Utf8ToGbk(e.path().stem().string()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool LayoutExists(const std::string& name) { return FileExists(LayoutFilePath(name)); }

bool SaveLayoutFile(const std::string& name, const std::string& bytes) {
  std::string checked;
  if (CheckLayoutName(name, &checked) != NameVerdict::kOk || checked != name) return false;
  MakeDirs(Path(kLayoutFolder));
  return WriteFileAtomic(LayoutFilePath(name), bytes);
}

std::optional<std::string> ReadLayoutFile(const std::string& name) {
  std::string checked;
  if (CheckLayoutName(name, &checked) != NameVerdict::kOk || checked != name) return std::nullopt;
  return ReadWholeFile(LayoutFilePath(name), 16u << 20);
}

bool DeleteLayout(const std::string& name) {
  std::error_code ec;
  return std::filesystem::remove(LayoutFilePath(name), ec);
}

NameVerdict RenameLayout(const std::string& from, const std::string& typed) {
  std::string to;
  const NameVerdict v = CheckLayoutName(typed, &to);
  if (v == NameVerdict::kEmpty) return v;
  if (to == from) return NameVerdict::kUnchanged;
  if (v != NameVerdict::kOk) return v;
  if (LayoutExists(to)) return NameVerdict::kExists;
  std::error_code ec;
  std::filesystem::rename(LayoutFilePath(from), LayoutFilePath(to), ec);
  return ec ? NameVerdict::kInvalid : NameVerdict::kOk;
}

}  // namespace tarn
