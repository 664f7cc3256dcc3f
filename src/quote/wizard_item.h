// WizardItem: one entry of the keyboard wizard's search index, and one keyboard command of the
// list in "\user\keybord.dat". A plain value, copied whole.
#pragma once

#include <cstdint>
#include <string>

#include "data/quote_records.h"

namespace tarn {

// What an entry calls up when it is chosen.
enum WizardKind : int32_t {
  kWizardFresh = -1,     // a fresh item
  kWizardContract = 0,   // open the contract
  kWizardIndicator = 1,  // apply the indicator
  kWizardPeriod = 2,     // keyboard command: switch the active chart's period (extra1 kind, extra2 multiplier)
  kWizardWindow = 3,     // keyboard command: open a window kind by its display text
  kWizardWorkspace = 9,  // switch to a workspace ("_V__V__" and its number in searchText)
};

// The prefix of a workspace entry's searchText; the workspace's number (from 1) follows.
inline constexpr const char* kWorkspaceSearchPrefix = "_V__V__";

struct WizardItem {
  std::string key;         // contract code without spaces, indicator name, command key, workspace label
  std::string searchText;  // second search text, upper case
  int32_t flag = 0;        // 0 for every entry the wizard builds
  int32_t kind = kWizardFresh;
  DC_Contract contract = ZeroRecord<DC_Contract>();  // kind 0 only
  std::string display;     // the text shown in the list
  int32_t extra1 = 0;      // carried through unchanged
  int32_t extra2 = 0;
};

// The workspace a kind-9 entry switches to (its number minus 1); -1 when the searchText holds
// no number after the prefix.
int WorkspaceIndexOf(const WizardItem& item);

}  // namespace tarn
