// Display names of exchange codes, as the block tab bar and the contract selection show them.
#pragma once

#include <string>
#include <string_view>

// The display name of an exchange code (compared in upper case); a code without a display
// name of its own keeps `libraryName`, the name the quote library gives it.
std::string ExchangeDisplayName(std::string_view code, std::string_view libraryName);
