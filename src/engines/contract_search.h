// Finding contracts by what the user types, and the futures / spread selection of the spread
// views (CDlgSelContract2), without windows.
//
// The search list under a contract box offers, for the typed text, the contracts whose code
// equals it (any case), then those whose code begins with it, then those whose code or name
// contains it, each group in the quote library's order. Picking one gives the box that
// contract's code and holds its identity beside the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"
#include "data/strategy_records.h"

class IQuoteDataCenter;

namespace tarn {

// Every contract the quote library lists, exchange by exchange.
std::vector<DC_Contract> AllListedContracts(IQuoteDataCenter* center);
// A contract as the lists show it: "%s-%s" (code, name).
std::string ContractEntryText(const DC_Contract& c);

// At most `limit` contracts of `all` for the typed text, best first; none for blank text.
std::vector<DC_Contract> FindContracts(const std::vector<DC_Contract>& all, std::string_view typed,
                                       std::size_t limit);

// CDlgSelContract2: two kinds of entries, futures contracts ("期货合约", shown "%s-%s") and
// spread contracts, the strategies ("套利合约", columns "策略名称" and "公式").
class SpreadSelection {
 public:
  enum Kind { kFutures = 0, kSpreads = 1 };
  SpreadSelection(std::vector<DC_Contract> contracts, std::vector<CombolStrategy> strategies);

  static const std::string& KindText(int kind);  // "期货合约" / "套利合约"
  int CurrentKind() const { return kind_; }
  void SelectKind(int kind);
  // Narrows the futures list to what the text finds (blank: all of them).
  void Filter(std::string_view typed);
  // The rows of the current kind: futures one column "%s-%s"; spreads name and formula.
  std::vector<std::vector<std::string>> Rows() const;
  std::vector<std::string> Columns() const;

  struct Answer {
    bool accepted = false;
    std::string message;               // GBK; shown when not accepted
    int kind = kFutures;
    DC_Contract contract{};            // futures
    CombolStrategy strategy{};         // spreads
  };
  // OK with the row at `selectedRow` of the current kind (-1: none): "请选择一个合约" without one.
  Answer Ok(int selectedRow) const;

 private:
  std::vector<DC_Contract> all_;
  std::vector<DC_Contract> shown_;
  std::vector<CombolStrategy> strategies_;
  int kind_ = kFutures;
};

}  // namespace tarn
