// What the header settings dialog (CDlgSetGridHead) edits: the available data kinds on the
// left, the chosen columns on the right, and its four buttons. Every action on nothing
// selected answers "没有行被选中!".
#pragma once

#include <string>
#include <vector>

namespace tarn {

class GridHeadEditor {
 public:
  explicit GridHeadEditor(std::vector<int> chosenKinds);

  // Every data kind, in index order.
  const std::vector<int>& Available() const { return available_; }
  const std::vector<int>& Chosen() const { return chosen_; }

  struct Result {
    std::string message;  // GBK; empty when there is nothing to say
    int selection = -1;   // the chosen list's row to select afterwards
  };
  // Appends the kind at `availableRow` (ignored when a column of that header exists).
  Result Add(int availableRow);
  Result Remove(int chosenRow);
  Result MoveUp(int chosenRow);
  Result MoveDown(int chosenRow);

  static const std::string& NothingSelectedText();

 private:
  std::vector<int> available_;
  std::vector<int> chosen_;
};

}  // namespace tarn
