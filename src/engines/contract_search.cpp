#include "engines/contract_search.h"

#include <algorithm>
#include <cctype>

#include "data/quote_data_center.h"
#include "platform/text.h"

namespace tarn {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}
bool StartsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}
bool ContainsNoCase(std::string_view s, std::string_view part) {
  return std::search(s.begin(), s.end(), part.begin(), part.end(), [](char x, char y) { return Lower(x) == Lower(y); }) !=
         s.end();
}

}  // namespace

std::vector<DC_Contract> AllListedContracts(IQuoteDataCenter* q) {
  std::vector<DC_Contract> out;
  if (!q) return out;
  std::vector<DC_Exchange> exchanges(static_cast<std::size_t>(std::max(0, q->GetExchanges(nullptr, 0))));
  exchanges.resize(static_cast<std::size_t>(std::max(0, q->GetExchanges(exchanges.data(), static_cast<int>(exchanges.size())))));
  for (const DC_Exchange& e : exchanges) {
    const std::string code(e.Code());
    const int n = q->GetContractsOf(nullptr, 0, code.c_str(), 0);
    if (n <= 0) continue;
    std::vector<DC_Contract> list(static_cast<std::size_t>(n));
    list.resize(static_cast<std::size_t>(std::clamp(q->GetContractsOf(list.data(), n, code.c_str(), 0), 0, n)));
    out.insert(out.end(), list.begin(), list.end());
  }
  return out;
}

std::string ContractEntryText(const DC_Contract& c) { return Format("%s-%s", std::string(c.Code()), std::string(c.Name())); }

std::vector<DC_Contract> FindContracts(const std::vector<DC_Contract>& all, std::string_view typed, std::size_t limit) {
  const std::string_view text = TrimView(typed);
  std::vector<DC_Contract> out;
  if (text.empty() || limit == 0) return out;
  // Four passes, one per rank; a contract is taken by the first rank it meets.
  std::vector<bool> taken(all.size(), false);
  auto pass = [&](auto&& matches) {
    for (std::size_t i = 0; i < all.size() && out.size() < limit; ++i) {
      if (taken[i] || all[i].Empty() || !matches(all[i])) continue;
      taken[i] = true;
      out.push_back(all[i]);
    }
  };
  pass([&](const DC_Contract& c) { return EqualNoCase(c.Code(), text); });
  pass([&](const DC_Contract& c) { return StartsNoCase(c.Code(), text); });
  pass([&](const DC_Contract& c) { return ContainsNoCase(c.Code(), text); });
  pass([&](const DC_Contract& c) { return c.Name().find(text) != std::string_view::npos; });
  return out;
}

// ---- SpreadSelection -------------------------------------------------------------------------

SpreadSelection::SpreadSelection(std::vector<DC_Contract> contracts, std::vector<CombolStrategy> strategies)
    : all_(std::move(contracts)), shown_(all_), strategies_(std::move(strategies)) {}

const std::string& SpreadSelection::KindText(int kind) { return kind == kSpreads ? TXT("套利合约") : TXT("期货合约"); }

void SpreadSelection::SelectKind(int kind) { kind_ = kind == kSpreads ? kSpreads : kFutures; }

void SpreadSelection::Filter(std::string_view typed) {
  shown_ = TrimView(typed).empty() ? all_ : FindContracts(all_, typed, all_.size());
}

std::vector<std::string> SpreadSelection::Columns() const {
  if (kind_ == kSpreads) return {TXT("策略名称"), TXT("公式")};
  return {TXT("合约")};
}

std::vector<std::vector<std::string>> SpreadSelection::Rows() const {
  std::vector<std::vector<std::string>> rows;
  if (kind_ == kSpreads) {
    for (const CombolStrategy& s : strategies_) rows.push_back({std::string(s.Name()), std::string(s.Formula())});
  } else {
    for (const DC_Contract& c : shown_) rows.push_back({ContractEntryText(c)});
  }
  return rows;
}

SpreadSelection::Answer SpreadSelection::Ok(int selectedRow) const {
  Answer a;
  a.kind = kind_;
  const std::size_t count = kind_ == kSpreads ? strategies_.size() : shown_.size();
  if (selectedRow < 0 || static_cast<std::size_t>(selectedRow) >= count) {
    a.message = TXT("请选择一个合约");
    return a;
  }
  a.accepted = true;
  if (kind_ == kSpreads) a.strategy = strategies_[static_cast<std::size_t>(selectedRow)];
  else a.contract = shown_[static_cast<std::size_t>(selectedRow)];
  return a;
}

}  // namespace tarn
