// tarnctl dump userblock.dat: the user's blocks with their contract keys, the two extra lists,
// and where a damaged file stops.
#include "quote/user_block_file.h"
#include "tarnctl/command.h"
#include "tarnctl/dump.h"

TARNCTL_DUMP_PRINTER("userblock.dat", "userblock.dat      the user's blocks (\\config\\userblock.dat)",
                     [](const std::string& bytes) {
                       tarnctl::PrintGbk(tarn::DescribeUserBlockFile(bytes));
                       return tarn::ParseUserBlockFile(bytes).complete ? 0 : 1;
                     });
