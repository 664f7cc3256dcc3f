// The keyboard wizard's search index and its search.
//
// The index holds, in build order, every indicator of the formula manager, the keyboard
// commands (with ten workspace switches after the quote grid's command) and every contract of
// every exchange of the quote library. A search takes the typed text and returns the list's
// rows: index positions, indicators first, then the rest by the first word of their display
// text (shorter words first, equal lengths by bytes).
//
// Keys and search texts are compared without regard to ASCII case: the typed text is taken in
// upper case, and contract codes of several exchanges are lower case ("rb2605").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "libs/indicators/formula_manager.h"
#include "quote/wizard_item.h"

class IQuoteDataCenter;

namespace tarn {

// At most this many candidates are collected (one more ends the walk, so 101 are listed).
inline constexpr std::size_t kWizardCandidateLimit = 100;

// The index entry of an indicator: key and searchText its name, display "name description
// 主图|副图", kind 1.
WizardItem IndicatorItem(const IndicatorEntry& indicator);
// The index entry of a contract (kind 0): key the code without spaces; searchText the pinyin
// initials of the name (the name without spaces when it has none), for DCE's "P" "ZL" and the
// month ("ZLZS" for the index, "ZLZL" for the main contract), upper case; display "month name
// commodity". `exchangeCode` and `commodity` are the contract's.
WizardItem ContractItem(const DC_Contract& contract, const DC_Commodity* commodity, std::string_view exchangeCode);
// Every contract of every exchange of the library, each exchange's sorted by its month text in
// descending order ("MI" counting as "   2", "IDX" as "   1").
std::vector<WizardItem> ContractItems(IQuoteDataCenter* center);
// The workspace switch for workspace `n` (from 1) under a command key.
WizardItem WorkspaceItem(std::string_view commandKey, int n);
// The workspace a kind-9 entry switches to (its number minus 1); -1 when the searchText holds
// no number after "_V__V__".
int WorkspaceIndexOf(const WizardItem& item);

// Whether `longer` is `shorter` with one character inserted at the first position where the
// two differ (lengths differing by exactly one; either order of arguments).
bool DiffersByOneInsertion(std::string_view a, std::string_view b);

// Whether a character typed on a page (outside an edit control) opens the wizard with it: a
// printable character other than Space. Control characters (Enter, Backspace, Tab, Escape, the
// Ctrl+letter codes the grid's shortcuts produce) never open it.
bool OpensKeyWizard(char32_t ch);

class KeyWizardIndex {
 public:
  // Empties the index and builds it: indicators, commands (display "key  display"; after the
  // command whose display is "行情报价", ten workspace entries), contracts of `center` (none
  // without a library).
  void Build(const std::vector<IndicatorEntry>& indicators, const std::vector<WizardItem>& commands,
             IQuoteDataCenter* center);
  // Appends an entry as it is; `commodityCode` is a contract entry's commodity code (a "MI"
  // contract of a one-letter commodity is listed after the other prefix matches).
  void Append(WizardItem item, std::string_view commodityCode = {});
  void Clear();

  std::size_t Size() const { return items_.size(); }
  const WizardItem& At(std::size_t position) const { return items_[position]; }
  const std::vector<WizardItem>& Items() const { return items_; }

  // The rows listed for a typed text (positions into the index, in list order); empty for an
  // empty text. `center` answers the fallback's ZCE commodity codes (none without it).
  std::vector<int> Search(std::string_view typed, IQuoteDataCenter* center) const;

 private:
  struct Match {
    std::string key;       // upper case
    std::string search;    // upper case
    std::size_t wordLength = 0;  // of the display's first word
    bool contract = false;
    bool mainOrIndex = false;    // a contract whose month text is "MI" or "IDX"
    bool oneLetterMain = false;  // a "MI" contract of a commodity with a one-letter code
  };
  std::vector<int> Fallback(std::string text, IQuoteDataCenter* center) const;
  std::vector<int> Order(const std::vector<int>& candidates) const;

  std::vector<WizardItem> items_;
  std::vector<Match> match_;
};

}  // namespace tarn
