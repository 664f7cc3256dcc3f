// The file of the user's blocks, "\config\userblock.dat", in the archive form:
//   int32 version (written 5);
//   int32 number of blocks; per block: text name, int32 number of contracts, each contract's
//     key as a text;
//   version 2 and later: int32 count and that many texts (the first extra list);
//   version 5 and later: int32 count and that many texts (the second extra list).
//
// This is the format alone, with contract keys as texts; UserBlockStore turns the keys into
// contracts. Reading trusts nothing: every count is checked against the bytes left, and the
// first damage stops the read with what was read before it kept (a block cut short keeps the
// keys read so far).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct UserBlockFileBlock {
  std::string name;               // GBK
  std::vector<std::string> keys;  // contract keys, in file order
};

struct UserBlockFile {
  int32_t version = 5;
  std::vector<UserBlockFileBlock> blocks;  // in file order
  std::vector<std::string> extraList1;     // version 2 and later
  std::vector<std::string> extraList2;     // version 5 and later
};

struct UserBlockParse {
  UserBlockFile file;
  bool complete = false;     // everything the version promises was read
  bool trailing = false;     // bytes follow the last field
  std::size_t failedAt = 0;  // offset of the read that failed (when not complete)
  std::string failedField;   // what that read was for, e.g. "block 2 contract 5 key"
};

UserBlockParse ParseUserBlockFile(std::string_view bytes);
// Writes version 5 with both extra lists.
std::string SerializeUserBlockFile(const UserBlockFile& file);

// A readable account of a block file (GBK): its version, each block with its contract keys,
// the two extra lists, trailing bytes, and where a damaged file stops.
std::string DescribeUserBlockFile(std::string_view bytes);

// "\config\userblock.dat" under the program directory (native path).
std::string UserBlockFilePath();

}  // namespace tarn
