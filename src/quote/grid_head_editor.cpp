#include "quote/grid_head_editor.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"
#include "quote/grid_columns.h"

namespace tarn {

GridHeadEditor::GridHeadEditor(std::vector<int> chosenKinds) : chosen_(std::move(chosenKinds)) {
  for (int k = 0; k < kGridDataKindCount; ++k) available_.push_back(k);
}

const std::string& GridHeadEditor::NothingSelectedText() { return TXT("没有行被选中!"); }

GridHeadEditor::Result GridHeadEditor::Add(int availableRow) {
  if (availableRow < 0 || availableRow >= static_cast<int>(available_.size())) return {NothingSelectedText(), -1};
  const int kind = available_[static_cast<std::size_t>(availableRow)];
  const std::string& header = GridHeaderText(kind);
  auto same = std::find_if(chosen_.begin(), chosen_.end(), [&](int k) { return GridHeaderText(k) == header; });
  if (same != chosen_.end()) return {std::string(), static_cast<int>(same - chosen_.begin())};
  chosen_.push_back(kind);
  return {std::string(), static_cast<int>(chosen_.size()) - 1};
}

GridHeadEditor::Result GridHeadEditor::Remove(int chosenRow) {
  if (chosenRow < 0 || chosenRow >= static_cast<int>(chosen_.size())) return {NothingSelectedText(), -1};
  chosen_.erase(chosen_.begin() + chosenRow);
  return {std::string(), std::min(chosenRow, static_cast<int>(chosen_.size()) - 1)};
}

GridHeadEditor::Result GridHeadEditor::MoveUp(int chosenRow) {
  if (chosenRow < 0 || chosenRow >= static_cast<int>(chosen_.size())) return {NothingSelectedText(), -1};
  if (chosenRow == 0) return {std::string(), 0};
  std::swap(chosen_[static_cast<std::size_t>(chosenRow)], chosen_[static_cast<std::size_t>(chosenRow - 1)]);
  return {std::string(), chosenRow - 1};
}

GridHeadEditor::Result GridHeadEditor::MoveDown(int chosenRow) {
  const int n = static_cast<int>(chosen_.size());
  if (chosenRow < 0 || chosenRow >= n) return {NothingSelectedText(), -1};
  if (chosenRow == n - 1) return {std::string(), chosenRow};
  std::swap(chosen_[static_cast<std::size_t>(chosenRow)], chosen_[static_cast<std::size_t>(chosenRow + 1)]);
  return {std::string(), chosenRow + 1};
}

}  // namespace tarn
