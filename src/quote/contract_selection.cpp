#include "quote/contract_selection.h"

#include <algorithm>
#include <utility>

#include "data/quote_data_center.h"
#include "platform/text.h"
#include "quote/user_block_store.h"

namespace tarn {

namespace {

constexpr int kMaxListCount = 100000;

bool ListsDirectly(std::string_view code) {
  return code == UserBlockStore::kUserBlock || code == "HOT" || code == "MI" || code == "IDX";
}

bool Has(const std::vector<DC_Contract>& list, const DC_Contract& c) {
  return std::any_of(list.begin(), list.end(), [&](const DC_Contract& x) { return x.SameKey(c); });
}

}  // namespace

ContractSelection::ContractSelection(IQuoteDataCenter* center, UserBlockStore& store, bool listMode,
                                     std::vector<DC_Contract> chosen)
    : center_(center), store_(store), listMode_(listMode) {
  for (const DC_Contract& c : chosen)
    if (!c.Empty() && !Has(chosen_, c)) chosen_.push_back(c);
  // "USER" and the library's lists (the user's other blocks are edited elsewhere).
  for (BlockListEntry& e : BuildBlockList(store_, center_))
    if (e.code == UserBlockStore::kUserBlock || !IsUserBlock(store_, e.code)) tabs_.push_back(std::move(e));
  SelectTab(0);
}

void ContractSelection::SelectTab(int tab) {
  if (tab < 0 || tab >= static_cast<int>(tabs_.size())) return;
  tab_ = tab;
  commodities_.clear();
  contracts_.clear();
  commodity_ = -1;
  const std::string& code = tabs_[static_cast<std::size_t>(tab)].code;
  showsCommodities_ = !ListsDirectly(code);
  if (!showsCommodities_) {
    contracts_ = BlockContracts(store_, center_, code);
    return;
  }
  if (!center_) return;
  const int n = center_->GetCommodities(nullptr, 0, code.c_str());
  if (n <= 0 || n > kMaxListCount) return;
  commodities_.resize(static_cast<std::size_t>(n));
  commodities_.resize(static_cast<std::size_t>(std::clamp(center_->GetCommodities(commodities_.data(), n, code.c_str()), 0, n)));
  if (!commodities_.empty()) SelectCommodity(0);
}

void ContractSelection::SelectCommodity(int row) {
  if (!showsCommodities_ || row < 0 || row >= static_cast<int>(commodities_.size()) || !center_) return;
  commodity_ = row;
  contracts_.clear();
  const std::string list = Format("%s|%s", tabs_[static_cast<std::size_t>(tab_)].code,
                                  std::string(commodities_[static_cast<std::size_t>(row)].Code()));
  const int n = center_->GetContractsOf(nullptr, 0, list.c_str(), 0);
  if (n <= 0 || n > kMaxListCount) return;
  std::vector<DC_Contract> all(static_cast<std::size_t>(n));
  all.resize(static_cast<std::size_t>(std::clamp(center_->GetContractsOf(all.data(), n, list.c_str(), 0), 0, n)));
  // Contracts without a commodity are left out.
  for (const DC_Contract& c : all)
    if (c.commodity != 0 && CommodityOf(c)) contracts_.push_back(c);
}

bool ContractSelection::Choose(int row) {
  if (row < 0 || row >= static_cast<int>(contracts_.size())) return false;
  const DC_Contract& c = contracts_[static_cast<std::size_t>(row)];
  if (Has(chosen_, c)) return false;
  chosen_.push_back(c);
  return true;
}

bool ContractSelection::Unchoose(int chosenRow) {
  if (chosenRow < 0 || chosenRow >= static_cast<int>(chosen_.size())) return false;
  chosen_.erase(chosen_.begin() + chosenRow);
  return true;
}

ContractSelection::Answer ContractSelection::Ok(int selectedRow) const {
  Answer a;
  if (listMode_) {
    a.accepted = true;
    a.list = chosen_;
    return a;
  }
  if (selectedRow < 0 || selectedRow >= static_cast<int>(contracts_.size())) {
    a.message = TXT("请选择一个合约");
    return a;
  }
  a.accepted = true;
  a.contract = contracts_[static_cast<std::size_t>(selectedRow)];
  return a;
}

}  // namespace tarn
