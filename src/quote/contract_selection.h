// What the contract selection dialog (CDlgSelContract) shows and returns: a tab per block
// ("USER" and the quote library's lists); an exchange tab lists its commodities ("品种列表")
// and, for the chosen one, its contracts; "USER", "HOT", "MI" and "IDX" list their contracts
// directly. In single mode OK returns the selected contract ("请选择一个合约" without one); in
// list mode a second list ("已选合约") collects contracts and OK returns it in order.
#pragma once

#include <string>
#include <vector>

#include "data/quote_records.h"
#include "quote/block_list.h"

class IQuoteDataCenter;
class UserBlockStore;

namespace tarn {

class ContractSelection {
 public:
  ContractSelection(IQuoteDataCenter* center, UserBlockStore& store, bool listMode,
                    std::vector<DC_Contract> chosen = {});

  bool ListMode() const { return listMode_; }
  const std::vector<BlockListEntry>& Tabs() const { return tabs_; }
  int CurrentTab() const { return tab_; }
  void SelectTab(int tab);
  // Whether the current tab lists commodities first (an exchange's tab).
  bool ShowsCommodities() const { return showsCommodities_; }
  const std::vector<DC_Commodity>& Commodities() const { return commodities_; }
  int CurrentCommodity() const { return commodity_; }
  void SelectCommodity(int row);
  // The contracts listed now (codes "合约代码", names "合约名称").
  const std::vector<DC_Contract>& Contracts() const { return contracts_; }

  // List mode: the chosen contracts.
  const std::vector<DC_Contract>& Chosen() const { return chosen_; }
  // Adds the listed contract at `row` (a contract already chosen is not added twice).
  bool Choose(int row);
  bool Unchoose(int chosenRow);

  struct Answer {
    bool accepted = false;
    std::string message;              // GBK; shown when not accepted
    DC_Contract contract{};           // single mode
    std::vector<DC_Contract> list;    // list mode
  };
  // OK with the listed contract at `selectedRow` selected (-1: none).
  Answer Ok(int selectedRow) const;

 private:
  IQuoteDataCenter* center_;
  UserBlockStore& store_;
  bool listMode_;
  std::vector<BlockListEntry> tabs_;
  int tab_ = -1;
  bool showsCommodities_ = false;
  std::vector<DC_Commodity> commodities_;
  int commodity_ = -1;
  std::vector<DC_Contract> contracts_;
  std::vector<DC_Contract> chosen_;
};

}  // namespace tarn
