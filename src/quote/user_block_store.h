// The user's blocks: named, ordered contract lists kept in "\config\userblock.dat", above all
// the block "USER" (the user's own contract list, the "自选" tab), and the two extra text lists
// the same file carries for other parts of the terminal.
//
// One store per process (GetUserBlockStore), loaded on first use. Loading asks the quote
// library for every contract key; a key it does not know is dropped. Every change rewrites the
// whole file (atomically) and tells the IBlockNotify listeners.
//
// Until the quote library knows its contracts (before the first login) the store does not
// load, so that the keys of the file are not all dropped as unknown: it reads as empty, and
// changes are refused (nothing is written) until a later use finds the library ready.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"
#include "platform/sync.h"

// Windows that show blocks register to hear of changes.
class IBlockNotify {
 public:
  virtual ~IBlockNotify() = default;
  // The contents of a user block changed.
  virtual void OnUserBlockChanged(const std::string& block) = 0;
  // A block event; code kBlockDeleted: the block is gone.
  virtual void OnBlockEvent(const std::string& block, int code) = 0;
};

constexpr int kBlockDeleted = 2;

class UserBlockStore {
 public:
  static constexpr const char* kUserBlock = "USER";
  // Contracts kept in "USER" by a file older than version 3 at most; more and it is emptied.
  static constexpr std::size_t kOldUserBlockLimit = 50;

  UserBlockStore() = default;
  UserBlockStore(const UserBlockStore&) = delete;
  UserBlockStore& operator=(const UserBlockStore&) = delete;

  // Loads the file once (a missing or damaged file keeps what could be read). False while the
  // quote library cannot resolve contract keys yet; the next use tries again.
  bool Load();
  bool Loaded() const;
  // Writes the file. False when it could not be written (the old file stays).
  bool Save();

  bool Contains(const DC_Contract& contract, std::string_view block);
  // Adds a contract whose key is not in the block yet, next to the block's last contract of
  // the same commodity (at the end for a new commodity), saves and tells the listeners. False
  // when it was there already, the store is not loaded, or the file could not be written.
  bool Add(const DC_Contract& contract, std::string_view block);
  // Removes the contract with that key, saves and tells the listeners. False when it was not
  // there (nothing is written then).
  bool Remove(const DC_Contract& contract, std::string_view block);
  // Replaces the block's list (duplicate keys are kept once), saves and tells the listeners.
  bool Set(std::string_view block, const std::vector<DC_Contract>& contracts);
  // Removes a whole block, saves and tells the listeners (kBlockDeleted).
  bool DeleteBlock(std::string_view block);

  std::vector<DC_Contract> Contracts(std::string_view block);
  bool HasBlock(std::string_view block);
  // Block names in map order (byte order).
  std::vector<std::string> BlockNames();
  std::vector<std::string> ExtraList1();
  std::vector<std::string> ExtraList2();

  void AddListener(IBlockNotify* l) { listeners_.Add(l); }
  void RemoveListener(IBlockNotify* l) { listeners_.Remove(l); }

  // Forgets what was loaded; the next use loads the file again (tests, a new program folder).
  void Reset();

 private:
  bool LoadLocked();
  bool SaveLocked();
  void NotifyChanged(const std::string& block);

  mutable tarn::CriticalSection mutex_;
  bool loaded_ = false;
  std::map<std::string, std::vector<DC_Contract>, std::less<>> blocks_;
  std::vector<std::string> extra1_;
  std::vector<std::string> extra2_;
  tarn::ListenerSet<IBlockNotify> listeners_;
};

// The store of this process.
UserBlockStore& GetUserBlockStore();
