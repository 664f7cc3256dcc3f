#include "quote/user_block_store.h"

#include <algorithm>

#include "data/quote_data_center.h"
#include "platform/file_io.h"
#include "quote/user_block_file.h"

namespace {

// A user block file holds a few hundred contracts; anything beyond this is not such a file.
constexpr std::size_t kMaxFileBytes = 16u << 20;

// Whether the quote library can resolve contract keys now.
bool LibraryReady(IQuoteDataCenter* center) { return center && center->GetExchanges(nullptr, 0) > 0; }

bool HasKey(const std::vector<DC_Contract>& list, std::string_view key) {
  return std::any_of(list.begin(), list.end(), [&](const DC_Contract& c) { return c.Key() == key; });
}

}  // namespace

bool UserBlockStore::Load() {
  tarn::Lock lock(mutex_);
  return LoadLocked();
}

bool UserBlockStore::Loaded() const {
  tarn::Lock lock(mutex_);
  return loaded_;
}

bool UserBlockStore::LoadLocked() {
  if (loaded_) return true;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!LibraryReady(center)) return false;
  loaded_ = true;
  blocks_.clear();
  extra1_.clear();
  extra2_.clear();
  const std::optional<std::string> bytes = tarn::ReadWholeFile(tarn::UserBlockFilePath(), kMaxFileBytes);
  if (!bytes) return true;  // no file: no user blocks
  tarn::UserBlockParse parsed = tarn::ParseUserBlockFile(*bytes);
  for (const tarn::UserBlockFileBlock& b : parsed.file.blocks) {
    std::vector<DC_Contract>& list = blocks_[b.name];
    for (const std::string& key : b.keys) {
      DC_Contract c{};
      if (center->FindContract(&c, key.c_str()) <= 0 || c.Empty()) continue;  // unknown: dropped
      if (!HasKey(list, c.Key())) list.push_back(c);
    }
  }
  extra1_ = std::move(parsed.file.extraList1);
  extra2_ = std::move(parsed.file.extraList2);
  if (parsed.file.version < 3) {
    auto it = blocks_.find(kUserBlock);
    if (it != blocks_.end() && it->second.size() > kOldUserBlockLimit) it->second.clear();
  }
  return true;
}

bool UserBlockStore::Save() {
  tarn::Lock lock(mutex_);
  if (!LoadLocked()) return false;
  return SaveLocked();
}

bool UserBlockStore::SaveLocked() {
  tarn::UserBlockFile file;
  for (const auto& [name, list] : blocks_) {
    tarn::UserBlockFileBlock b;
    b.name = name;
    for (const DC_Contract& c : list) b.keys.emplace_back(c.Key());
    file.blocks.push_back(std::move(b));
  }
  file.extraList1 = extra1_;
  file.extraList2 = extra2_;
  return tarn::WriteFileAtomic(tarn::UserBlockFilePath(), tarn::SerializeUserBlockFile(file));
}

bool UserBlockStore::Contains(const DC_Contract& contract, std::string_view block) {
  tarn::Lock lock(mutex_);
  LoadLocked();
  auto it = blocks_.find(block);
  return it != blocks_.end() && HasKey(it->second, contract.Key());
}

bool UserBlockStore::Add(const DC_Contract& contract, std::string_view block) {
  if (contract.Empty()) return false;
  bool saved;
  {
    tarn::Lock lock(mutex_);
    if (!LoadLocked()) return false;
    auto it = blocks_.find(block);
    if (it == blocks_.end()) it = blocks_.emplace(std::string(block), std::vector<DC_Contract>()).first;
    std::vector<DC_Contract>& list = it->second;
    if (HasKey(list, contract.Key())) return false;
    // Contracts of one commodity stay together: after the last one of the same commodity.
    auto sameCommodity = std::find_if(list.rbegin(), list.rend(), [&](const DC_Contract& c) {
      return contract.commodity != 0 && c.commodity == contract.commodity;
    });
    list.insert(sameCommodity == list.rend() ? list.end() : sameCommodity.base(), contract);
    saved = SaveLocked();
  }
  NotifyChanged(std::string(block));
  return saved;
}

bool UserBlockStore::Remove(const DC_Contract& contract, std::string_view block) {
  bool saved;
  {
    tarn::Lock lock(mutex_);
    if (!LoadLocked()) return false;
    auto it = blocks_.find(block);
    if (it == blocks_.end()) return false;
    std::vector<DC_Contract>& list = it->second;
    auto pos = std::remove_if(list.begin(), list.end(), [&](const DC_Contract& c) { return c.Key() == contract.Key(); });
    if (pos == list.end()) return false;
    list.erase(pos, list.end());
    saved = SaveLocked();
  }
  NotifyChanged(std::string(block));
  return saved;
}

bool UserBlockStore::Set(std::string_view block, const std::vector<DC_Contract>& contracts) {
  bool saved;
  {
    tarn::Lock lock(mutex_);
    if (!LoadLocked()) return false;
    std::vector<DC_Contract> list;
    for (const DC_Contract& c : contracts)
      if (!c.Empty() && !HasKey(list, c.Key())) list.push_back(c);
    blocks_[std::string(block)] = std::move(list);
    saved = SaveLocked();
  }
  NotifyChanged(std::string(block));
  return saved;
}

bool UserBlockStore::DeleteBlock(std::string_view block) {
  bool saved;
  {
    tarn::Lock lock(mutex_);
    if (!LoadLocked()) return false;
    auto it = blocks_.find(block);
    if (it == blocks_.end()) return false;
    blocks_.erase(it);
    saved = SaveLocked();
  }
  const std::string name(block);
  listeners_.ForEach([&](IBlockNotify* l) { l->OnBlockEvent(name, kBlockDeleted); });
  return saved;
}

std::vector<DC_Contract> UserBlockStore::Contracts(std::string_view block) {
  tarn::Lock lock(mutex_);
  LoadLocked();
  auto it = blocks_.find(block);
  return it == blocks_.end() ? std::vector<DC_Contract>() : it->second;
}

bool UserBlockStore::HasBlock(std::string_view block) {
  tarn::Lock lock(mutex_);
  LoadLocked();
  return blocks_.find(block) != blocks_.end();
}

std::vector<std::string> UserBlockStore::BlockNames() {
  tarn::Lock lock(mutex_);
  LoadLocked();
  std::vector<std::string> names;
  for (const auto& [name, list] : blocks_) names.push_back(name);
  return names;
}

std::vector<std::string> UserBlockStore::ExtraList1() {
  tarn::Lock lock(mutex_);
  LoadLocked();
  return extra1_;
}

std::vector<std::string> UserBlockStore::ExtraList2() {
  tarn::Lock lock(mutex_);
  LoadLocked();
  return extra2_;
}

void UserBlockStore::Reset() {
  tarn::Lock lock(mutex_);
  loaded_ = false;
  blocks_.clear();
  extra1_.clear();
  extra2_.clear();
}

void UserBlockStore::NotifyChanged(const std::string& block) {
  listeners_.ForEach([&](IBlockNotify* l) { l->OnUserBlockChanged(block); });
}

UserBlockStore& GetUserBlockStore() {
  static UserBlockStore store;
  return store;
}
