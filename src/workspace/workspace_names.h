// The names of the workspace page: workspace tabs ("工作区%d", the panorama rule) and saved
// layouts (the checks of a layout's name and the files in "\user\layout\quotepage\").
// Names are GBK.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// "工作区%d" with the smallest number from 1 up that no existing name uses.
std::string NewWorkspaceName(const std::vector<std::string>& existing);

enum class NameVerdict {
  kOk,
  kEmpty,         // "名称不能为空"
  kInvalid,       // "名称包含无效字符"
  kPanorama,      // "不支持更改全景K线工作区名称"
  kExists,        // "该名称布局已经存在"
  kUnchanged,     // nothing to do
};
// The message a verdict shows ("" for kOk and kUnchanged).
const std::string& NameVerdictText(NameVerdict v);

// Renaming a workspace tab: the typed text trimmed into *name. A tab whose name begins with
// "全景" keeps it.
NameVerdict CheckWorkspaceRename(const std::string& current, const std::string& typed, std::string* name);
// A layout's name for saving: trimmed, not empty, none of  \ / : * ? " < > | nor a space.
NameVerdict CheckLayoutName(const std::string& typed, std::string* name);

// Saved layouts: "\user\layout\quotepage\" + name + ".lyt".
std::string LayoutFilePath(const std::string& name);
// The saved layouts' names, sorted.
std::vector<std::string> ListLayouts();
bool LayoutExists(const std::string& name);
// Writes a layout file anew (atomically; the folders are made as needed).
bool SaveLayoutFile(const std::string& name, const std::string& bytes);
std::optional<std::string> ReadLayoutFile(const std::string& name);
bool DeleteLayout(const std::string& name);
// Renaming a saved layout: unchanged, empty, an existing name or a failed rename refuse.
NameVerdict RenameLayout(const std::string& from, const std::string& typed);

}  // namespace tarn
