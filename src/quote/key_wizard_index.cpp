#include "quote/key_wizard_index.h"

#include <algorithm>

#include "data/quote_data_center.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "quote/pinyin.h"

namespace tarn {

namespace {

std::string WithoutSpaces(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != ' ') out.push_back(c);
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The month text as the contract order compares it.
std::string_view OrderText(std::string_view month) {
  if (month == "MI") return "   2";
  if (month == "IDX") return "   1";
  return month;
}

std::size_t FirstWordLength(std::string_view display) {
  const std::size_t space = display.find(' ');
  return space == std::string_view::npos ? display.size() : space;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

WizardItem IndicatorItem(const IndicatorEntry& indicator) {
  WizardItem item;
  item.key = indicator.name;
  item.searchText = indicator.name;
  item.kind = kWizardIndicator;
  item.display = indicator.name + " " + indicator.description + " " + (indicator.mainChart ? TXT("主图") : TXT("副图"));
  return item;
}

WizardItem ContractItem(const DC_Contract& contract, const DC_Commodity* commodity, std::string_view exchangeCode) {
  WizardItem item;
  item.kind = kWizardContract;
  item.contract = contract;
  item.key = WithoutSpaces(contract.Code());
  item.searchText = WithoutSpaces(contract.Name());
  const std::string_view month = contract.Month();
  const std::string_view commodityCode = commodity ? commodity->Code() : std::string_view();
  if (commodityCode == "P" && exchangeCode == "DCE") {
    item.searchText = month == "IDX" ? std::string("ZLZS") : month == "MI" ? std::string("ZLZL") : "ZL" + std::string(month);
  } else if (std::optional<std::string> initials = PinyinInitials(contract.Name())) {
    item.searchText = std::move(*initials);
  }
  item.searchText = ToUpperAscii(item.searchText);
  item.display = std::string(month) + " " + std::string(contract.Name()) + "   " +
                 std::string(commodity ? commodity->Display() : std::string_view());
  return item;
}

std::vector<WizardItem> ContractItems(IQuoteDataCenter* center) {
  std::vector<WizardItem> items;
  if (!center) return items;
  std::vector<DC_Exchange> exchanges(100);
  const int n = std::clamp(center->GetExchanges(exchanges.data(), 100), 0, 100);
  exchanges.resize(static_cast<std::size_t>(n));
  for (const DC_Exchange& e : exchanges) {
    const std::string code(e.Code());
    const int count = center->GetContractsOf(nullptr, 0, code.c_str(), 0);
    if (count <= 0) continue;
    std::vector<DC_Contract> contracts(static_cast<std::size_t>(count));
    const int got = std::clamp(center->GetContractsOf(contracts.data(), count, code.c_str(), 0), 0, count);
    contracts.resize(static_cast<std::size_t>(got));
    std::stable_sort(contracts.begin(), contracts.end(), [](const DC_Contract& a, const DC_Contract& b) {
      return OrderText(a.Month()) > OrderText(b.Month());
    });
    for (const DC_Contract& c : contracts) {
      const DC_Commodity* commodity = center->ResolveCommodity(c.commodity);
      const DC_Exchange* exchange = commodity ? center->ResolveExchange(commodity->exchange) : nullptr;
      const std::string_view exchangeCode =
          exchange ? exchange->Code() : commodity ? commodity->ExchangeCode() : std::string_view();
      items.push_back(ContractItem(c, commodity, exchangeCode));
    }
  }
  return items;
}

WizardItem WorkspaceItem(std::string_view commandKey, int n) {
  WizardItem item;
  item.key = Format("%s%d", std::string(commandKey), n);
  item.display = Format(TXT("%s%d 切换工作区"), std::string(commandKey), n);
  item.searchText = Format("%s%d", kWorkspaceSearchPrefix, n);
  item.kind = kWizardWorkspace;
  return item;
}

int WorkspaceIndexOf(const WizardItem& item) {
  const std::string_view prefix = kWorkspaceSearchPrefix;
  if (!StartsWith(item.searchText, prefix)) return -1;
  bool ok = false;
  const long long n = ParseLeadingInt(std::string_view(item.searchText).substr(prefix.size()), &ok);
  if (!ok || n < 1 || n > 1000000) return -1;
  return static_cast<int>(n - 1);
}

bool DiffersByOneInsertion(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) std::swap(a, b);
  if (a.size() != b.size() + 1) return false;
  std::size_t p = 0;
  while (p < b.size() && a[p] == b[p]) ++p;
  return a.substr(p + 1) == b.substr(p);
}

bool OpensKeyWizard(char32_t ch) { return ch > 0x20 && ch != 0x7F && !(ch >= 0x80 && ch < 0xA0); }

// ---- the index --------------------------------------------------------------------------------

void KeyWizardIndex::Clear() {
  items_.clear();
  match_.clear();
}

void KeyWizardIndex::Append(WizardItem item, std::string_view commodityCode) {
  Match m;
  m.key = ToUpperAscii(item.key);
  m.search = ToUpperAscii(item.searchText);
  m.wordLength = FirstWordLength(item.display);
  m.contract = item.kind == kWizardContract;
  const std::string_view month = item.contract.Month();
  m.mainOrIndex = m.contract && (month == "MI" || month == "IDX");
  m.oneLetterMain = m.contract && month == "MI" && commodityCode.size() == 1;
  items_.push_back(std::move(item));
  match_.push_back(std::move(m));
}

void KeyWizardIndex::Build(const std::vector<IndicatorEntry>& indicators, const std::vector<WizardItem>& commands,
                           IQuoteDataCenter* center) {
  Clear();
  for (const IndicatorEntry& i : indicators) Append(IndicatorItem(i));
  for (const WizardItem& c : commands) {
    WizardItem item = c;
    item.display = c.key + "  " + c.display;
    Append(std::move(item));
    if (c.display == TXT("行情报价"))
      for (int n = 1; n <= 10; ++n) Append(WorkspaceItem(c.key, n));
  }
  for (WizardItem& item : ContractItems(center)) {
    const DC_Commodity* commodity = center->ResolveCommodity(item.contract.commodity);
    const std::string code(commodity ? commodity->Code() : std::string_view());
    Append(std::move(item), code);
  }
}

std::vector<int> KeyWizardIndex::Search(std::string_view typed, IQuoteDataCenter* center) const {
  const std::string text = ToUpperAscii(typed);
  if (text.empty()) return {};
  std::vector<int> candidates, deferred;
  for (std::size_t i = 0; i < match_.size(); ++i) {
    const Match& m = match_[i];
    if (!StartsWith(m.key, text) && !StartsWith(m.search, text)) continue;
    if (m.oneLetterMain) {
      deferred.push_back(static_cast<int>(i));
      continue;
    }
    candidates.push_back(static_cast<int>(i));
    if (candidates.size() > kWizardCandidateLimit) break;
  }
  candidates.insert(candidates.end(), deferred.begin(), deferred.end());
  if (candidates.empty()) candidates = Fallback(text, center);
  return Order(candidates);
}

std::vector<int> KeyWizardIndex::Fallback(std::string text, IQuoteDataCenter* center) const {
  std::string letters;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x81 && c <= 0xFE) ++i;  // a GBK pair: its trail byte is no letter
    else if (c >= 'A' && c <= 'Z') letters.push_back(static_cast<char>(c));
  }
  // A ZCE contract code carries a one-digit year: two commodity letters, '2' and three digits
  // find the code made of the letters and the three digits.
  bool shortened = false;
  if (center && !letters.empty() && text.size() > 2 && (text[2] == '1' || text[2] == '2')) {
    const int count = center->GetCommodities(nullptr, 0, "ZCE");
    if (count > 0) {
      std::vector<DC_Commodity> commodities(static_cast<std::size_t>(count));
      const int got = std::clamp(center->GetCommodities(commodities.data(), count, "ZCE"), 0, count);
      commodities.resize(static_cast<std::size_t>(got));
      shortened = std::any_of(commodities.begin(), commodities.end(),
                              [&](const DC_Commodity& c) { return EqualsNoCase(c.Code(), letters); });
    }
    if (shortened) text.erase(2, 1);
  }
  const bool letterFirst = IsLetter(text[0]);
  std::vector<int> candidates;
  for (std::size_t i = 0; i < match_.size(); ++i) {
    const Match& m = match_[i];
    if (shortened && (!m.contract || m.mainOrIndex)) continue;
    bool hit = StartsWith(m.key, text) || StartsWith(m.search, text);
    if (!hit && letterFirst) hit = DiffersByOneInsertion(m.key, text) || DiffersByOneInsertion(m.search, text);
    if (!hit) continue;
    candidates.push_back(static_cast<int>(i));
    if (candidates.size() > kWizardCandidateLimit) break;
  }
  return candidates;
}

std::vector<int> KeyWizardIndex::Order(const std::vector<int>& candidates) const {
  std::vector<int> rows, rest;
  rows.reserve(candidates.size());
  for (int c : candidates) (items_[static_cast<std::size_t>(c)].kind == kWizardIndicator ? rows : rest).push_back(c);
  std::stable_sort(rest.begin(), rest.end(), [this](int a, int b) {
    const std::size_t la = match_[static_cast<std::size_t>(a)].wordLength;
    const std::size_t lb = match_[static_cast<std::size_t>(b)].wordLength;
    if (la != lb) return la < lb;
    return std::string_view(items_[static_cast<std::size_t>(a)].display).substr(0, la) <
           std::string_view(items_[static_cast<std::size_t>(b)].display).substr(0, lb);
  });
  rows.insert(rows.end(), rest.begin(), rest.end());
  return rows;
}

}  // namespace tarn
