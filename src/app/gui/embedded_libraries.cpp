// ==== The embedded libraries: installed here and only here. ====
// The build defines TARN_HAVE_QUOTEDATA / TARN_HAVE_TRADEAPI when the library targets exist
// (src/app/CMakeLists.txt).
#include "app/gui/embedded_libraries.h"

#include <memory>

#if TARN_HAVE_QUOTEDATA
#include "libs/quotedata/embedded.h"
#endif
#if TARN_HAVE_TRADEAPI
#include "libs/tradeapi/embedded.h"
#endif

namespace tarn {
namespace {
#if TARN_HAVE_QUOTEDATA
std::unique_ptr<quotedata::EmbeddedQuoteLibrary>& Quotes() {
  static std::unique_ptr<quotedata::EmbeddedQuoteLibrary> lib;
  return lib;
}
#endif
#if TARN_HAVE_TRADEAPI
std::unique_ptr<tradeapi::EmbeddedTradeLibrary>& Trades() {
  static std::unique_ptr<tradeapi::EmbeddedTradeLibrary> lib;
  return lib;
}
#endif
}  // namespace

std::string InstallEmbeddedLibraries() {
  std::string missing;
#if TARN_HAVE_QUOTEDATA
  if (!Quotes()) Quotes() = quotedata::CreateEmbedded();
#else
  missing += "quote library";
#endif
#if TARN_HAVE_TRADEAPI && TARN_HAVE_QUOTEDATA
  // One exchange, both libraries over it: the broker trades against the quote library's market.
  if (!Trades()) {
    tradeapi::EmbeddedTradeOptions options;
    options.exchange = &Quotes()->Exchange();
    Trades() = tradeapi::CreateEmbedded(options);
  }
#else
  missing += missing.empty() ? "trading library" : ", trading library";
#endif
  return missing;
}

void RemoveEmbeddedLibraries() {
#if TARN_HAVE_TRADEAPI
  Trades().reset();
#endif
#if TARN_HAVE_QUOTEDATA
  Quotes().reset();
#endif
}

}  // namespace tarn
