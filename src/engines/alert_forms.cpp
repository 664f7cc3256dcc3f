#include "engines/alert_forms.h"

#include "engines/engine_support.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {

namespace {
const char kTimeFormat[] = "%Y-%m-%d %H:%M:%S";
}

AlertInputTexts AlertInputFor(const QuoteAlert& a, int decimals) {
  AlertInputTexts t;
  if (a.upperPrice > 1e-5) t.upperPrice = Format("%.*f", decimals, a.upperPrice);
  if (a.lowerPrice > 1e-5) t.lowerPrice = Format("%.*f", decimals, a.lowerPrice);
  if (a.lastQtyLimit > 0) t.lastQty = Format("%lld", static_cast<long long>(a.lastQtyLimit));
  if (a.volumeLimit > 0) t.volume = Format("%lld", static_cast<long long>(a.volumeLimit));
  if (a.openInterestLimit > 0) t.openInterest = Format("%lld", static_cast<long long>(a.openInterestLimit));
  return t;
}

QuoteAlert ApplyAlertInput(QuoteAlert a, const AlertInputTexts& t) {
  a.upperPrice = ParseDecimalText(t.upperPrice);
  a.lowerPrice = ParseDecimalText(t.lowerPrice);
  a.lastQtyLimit = ParseInt64Text(t.lastQty);
  a.volumeLimit = ParseInt64Text(t.volume);
  a.openInterestLimit = ParseInt64Text(t.openInterest);
  return a;
}

const std::vector<std::string>& AlertColumnTitles() {
  static const std::vector<std::string> titles = {TXT("代码"),       TXT("名称"),       TXT("价格上限"),
                                                  TXT("价格下限"),   TXT("现手上限"),   TXT("成交量上限"),
                                                  TXT("持仓量上限"), TXT("状态")};
  return titles;
}

std::vector<std::string> AlertRowTexts(const QuoteAlert& a, int decimals) {
  std::vector<std::string> row;
  row.reserve(kAlertColumnCount);
  row.emplace_back(a.contract.Code());
  row.emplace_back(a.contract.Name());
  bool anyMark = false;
  auto mark = [&](std::string text, bool fired) {
    if (fired) {
      text += TXT(" √");
      anyMark = true;
    }
    row.push_back(std::move(text));
  };
  auto price = [&](double v, int32_t fired) {
    if (v > 1e-6) mark(Format("%.*f", decimals, v), fired != 0);
    else row.emplace_back();
  };
  auto quantity = [&](int64_t v, int32_t fired) {
    if (v > 1) mark(Format("%lld", static_cast<long long>(v)), fired != 0);
    else row.emplace_back();
  };
  price(a.upperPrice, a.upperFired);
  price(a.lowerPrice, a.lowerFired);
  quantity(a.lastQtyLimit, a.lastQtyFired);
  quantity(a.volumeLimit, a.volumeFired);
  quantity(a.openInterestLimit, a.openInterestFired);
  row.push_back(anyMark ? TXT("(已触发)") : TXT("(未触发)"));
  return row;
}

std::string AlertHistoryText(const std::vector<AlertLogEntry>& history) {
  std::string out;
  for (const AlertLogEntry& e : history) {
    out += "==============================\r\n\r\n";
    out += Format("%s\r\n%s\r\n\r\n", FormatTime(e.time, kTimeFormat), e.text);
  }
  return out;
}

void AlertTipModel::Add(const std::string& text, int64_t time) {
  entries_.push_back(AlertLogEntry{text, 255, time});
  current_ = Count() - 1;
}

const AlertLogEntry* AlertTipModel::CurrentEntry() const {
  if (current_ < 0 || current_ >= Count()) return nullptr;
  return &entries_[static_cast<std::size_t>(current_)];
}

void AlertTipModel::Back() {
  if (CanGoBack()) --current_;
}
void AlertTipModel::Forward() {
  if (CanGoForward()) ++current_;
}

std::string AlertTipModel::PositionText() const { return Format("%d/%d", current_ + 1, Count()); }

std::string AlertTipModel::TimeText() const {
  const AlertLogEntry* e = CurrentEntry();
  return e ? FormatTime(e->time, kTimeFormat) : std::string();
}

}  // namespace tarn
