#include "quote/exchange_names.h"

#include "platform/text.h"

std::string ExchangeDisplayName(std::string_view code, std::string_view libraryName) {
  struct Entry {
    const char* code;
    const std::string& (*name)();
  };
  static const Entry kNames[] = {
      {"CBOE", [] () -> const std::string& { return TXT("芝加哥期权交易所"); }},
      {"CBOT", [] () -> const std::string& { return TXT("芝加哥期货交易所"); }},
      {"CME", [] () -> const std::string& { return TXT("芝加哥商业交易所"); }},
      {"COMEX", [] () -> const std::string& { return TXT("芝加哥金属商品交易所"); }},
      {"NYMEX", [] () -> const std::string& { return TXT("纽约商品期货交易所"); }},
      {"SGX", [] () -> const std::string& { return TXT("新加坡交易所"); }},
      {"HKEX", [] () -> const std::string& { return TXT("香港交易所"); }},
      {"EUREX", [] () -> const std::string& { return TXT("欧洲期货交易所"); }},
  };
  const std::string upper = tarn::ToUpperAscii(code);
  for (const Entry& e : kNames)
    if (upper == e.code) return e.name();
  return std::string(libraryName);
}
