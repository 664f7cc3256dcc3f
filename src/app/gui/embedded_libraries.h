// The one place where the application installs our implementations of the libraries (the
// embedded exchange's quote library and, once it exists, its broker's trading library).
#pragma once

#include <string>

namespace tarn {

// Creates and installs every embedded library this build has (SetQuoteDataCenter,
// SetTradeApi). Returns what is missing ("" when all are there), for the start-up log.
std::string InstallEmbeddedLibraries();
// Uninstalls and destroys them (at exit, after the windows are gone).
void RemoveEmbeddedLibraries();

}  // namespace tarn
