#include "quote/block_list.h"

#include <algorithm>

#include "data/quote_data_center.h"
#include "platform/text.h"
#include "quote/exchange_names.h"
#include "quote/user_block_store.h"

namespace {
// The library's lists hold a few thousand contracts; a count beyond this is not believed.
constexpr int kMaxListCount = 100000;
}  // namespace

std::vector<BlockListEntry> BuildBlockList(UserBlockStore& store, IQuoteDataCenter* center) {
  std::vector<BlockListEntry> out;
  out.push_back({UserBlockStore::kUserBlock, TXT("自选")});
  for (const std::string& name : store.BlockNames())
    if (name != UserBlockStore::kUserBlock) out.push_back({name, name});
  if (!center) return out;
  std::vector<DC_Exchange> exchanges(100);
  exchanges.resize(static_cast<std::size_t>(std::max(0, center->GetExchanges(exchanges.data(), 100))));
  std::vector<std::string> lists;
  center->GetListNames(lists);
  for (const std::string& list : lists) {
    std::string libraryName = list;
    for (const DC_Exchange& e : exchanges)
      if (tarn::EqualsNoCase(e.Code(), list) && !e.Name().empty()) libraryName = std::string(e.Name());
    out.push_back({list, ExchangeDisplayName(list, libraryName)});
  }
  return out;
}

bool IsUserBlock(UserBlockStore& store, std::string_view block) {
  return block == UserBlockStore::kUserBlock || store.HasBlock(block);
}

std::vector<DC_Contract> LibraryList(IQuoteDataCenter* center, std::string_view listName) {
  if (!center) return {};
  const std::string name(listName);
  const int count = center->GetContracts(nullptr, 0, name.c_str());
  if (count <= 0 || count > kMaxListCount) return {};
  std::vector<DC_Contract> out(static_cast<std::size_t>(count));
  const int n = center->GetContracts(out.data(), count, name.c_str());
  out.resize(static_cast<std::size_t>(std::clamp(n, 0, count)));
  return out;
}

std::vector<DC_Contract> BlockContracts(UserBlockStore& store, IQuoteDataCenter* center, std::string_view block) {
  if (IsUserBlock(store, block)) return store.Contracts(block);
  return LibraryList(center, block);
}
