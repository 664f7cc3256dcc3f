// The blocks a quote grid can show, in the order of its block tab bar: the user's block "USER"
// ("自选") first, then the user's other blocks in map order, then the quote library's lists
// (exchanges, "HOT", "MI", "IDX"), exchanges under their display names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"

class IQuoteDataCenter;
class UserBlockStore;

struct BlockListEntry {
  std::string code;     // block name as the store or the library knows it
  std::string display;  // tab text (GBK)
};

std::vector<BlockListEntry> BuildBlockList(UserBlockStore& store, IQuoteDataCenter* center);

// Whether a block is one of the user's ("USER" always is).
bool IsUserBlock(UserBlockStore& store, std::string_view block);

// The contracts of a block: a user block's list, or the library's list of that name.
std::vector<DC_Contract> BlockContracts(UserBlockStore& store, IQuoteDataCenter* center, std::string_view block);

// A library list by name (count first, then the records).
std::vector<DC_Contract> LibraryList(IQuoteDataCenter* center, std::string_view listName);
