// What the alert windows show and read, without windows: the add/modify dialog's boxes, the
// list's rows, the history text and the tip window's entries.
#pragma once

#include <string>
#include <vector>

#include "engines/alert_file.h"

namespace tarn {

// The five boxes of CDlgAddQuoteAlert (GBK).
struct AlertInputTexts {
  std::string upperPrice;
  std::string lowerPrice;
  std::string lastQty;
  std::string volume;
  std::string openInterest;
};

// The boxes for an alert: a price "%.*f" at the contract's decimals when above 1e-5, a quantity
// "%lld" when above 0; other boxes empty.
AlertInputTexts AlertInputFor(const QuoteAlert& alert, int decimals);
// OK: the boxes parsed into `alert` (prices as decimals, quantities as 64-bit integers; empty
// or garbage reads 0, which leaves that limit inactive). The contract and the fired flags stay.
QuoteAlert ApplyAlertInput(QuoteAlert alert, const AlertInputTexts& texts);

// The list's columns, in order.
constexpr int kAlertColumnCount = 8;
const std::vector<std::string>& AlertColumnTitles();  // "代码" ... "状态"
// One row: code, name, the two prices ("%.*f" when above 1e-6), the three quantities ("%lld"
// when above 1), each shown value with " √" when it has fired, and "(已触发)" / "(未触发)".
std::vector<std::string> AlertRowTexts(const QuoteAlert& alert, int decimals);

// The history dialog's text: per entry a rule of "=", then the time and the text.
std::string AlertHistoryText(const std::vector<AlertLogEntry>& history);

// The tip window's entries and the one it shows.
class AlertTipModel {
 public:
  // Appends an entry and shows it.
  void Add(const std::string& text, int64_t time);
  bool Empty() const { return entries_.empty(); }
  int Count() const { return static_cast<int>(entries_.size()); }
  int Current() const { return current_; }
  const AlertLogEntry* CurrentEntry() const;
  bool CanGoBack() const { return current_ > 0; }
  bool CanGoForward() const { return current_ + 1 < Count(); }
  void Back();
  void Forward();
  // "%d/%d": the current entry's place and the count.
  std::string PositionText() const;
  // "%Y-%m-%d %H:%M:%S" of the current entry ("" without one).
  std::string TimeText() const;

 private:
  std::vector<AlertLogEntry> entries_;
  int current_ = -1;
};

}  // namespace tarn
