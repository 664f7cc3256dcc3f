#include "libs/infopanel/info_panel_model.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace tarn::infopanel {

namespace {

// At most this many trades are kept (the newest).
constexpr std::size_t kMaxTrades = 200;
constexpr int kPad = 4;


std::string NumberText(int64_t v) { return FormatC("%lld", static_cast<long long>(v)); }

}  // namespace

const std::string& PanelFieldName(int field) {
  static const std::vector<std::string> names{
      TXT("最新"), TXT("涨跌"), TXT("幅度"), TXT("现手"), TXT("总手"), TXT("持仓"), TXT("日增"), TXT("今开"),
      TXT("最高"), TXT("最低"), TXT("昨结"), TXT("昨收"), TXT("涨停"), TXT("跌停"), TXT("均价"), TXT("结算")};
  static const std::string empty;
  return field >= 0 && field < kPanelFieldCount ? names[field] : empty;
}

void InfoPanelModel::SetLevel(int displayLevel, int depthLevels) {
  displayLevel_ = displayLevel;
  depth_ = depthLevels == 10 ? 10 : 5;
  ++revision_;
}

void InfoPanelModel::SetContract(const DC_Contract& contract, int decimals) {
  contract_ = contract;
  decimals_ = std::clamp(decimals, 0, 8);
  quote_ = ZeroRecord<DC_QuoteData>();
  trades_.clear();
  tallies_ = PanelTallies{};
  ++revision_;
}

void InfoPanelModel::SetQuote(const DC_Quote& quote, const QuoteDetail* trades, int count) {
  if (!contract_.Empty() && !quote.contract.SameKey(contract_)) return;  // another contract's
  quote_ = quote.data;
  if (trades) {
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    const std::size_t keep = std::min(n, kMaxTrades);
    trades_.assign(trades + (n - keep), trades + n);
  }
  ++revision_;
}

void InfoPanelModel::SetInUserBlock(bool in) {
  inUserBlock_ = in;
  ++revision_;
}

void InfoPanelModel::SetSideBar(bool on) {
  sideBar_ = on;
  ++revision_;
}

void InfoPanelModel::SetFields(const std::vector<int>& fields, bool showDepth, bool showPrice) {
  fields_.clear();
  for (int f : fields) {
    if (f >= 0 && f < kPanelFieldCount) fields_.push_back(f);
  }
  showDepth_ = showDepth;
  showPrice_ = showPrice;
  ++revision_;
}

void InfoPanelModel::SetTallies(const PanelTallies& t) {
  tallies_ = t;
  ++revision_;
}

std::string InfoPanelModel::PriceText(double price) const {
  if (!HasPrice(price) || !std::isfinite(price)) return "-";
  return FormatC("%.*f", decimals_, price);
}

Colorref InfoPanelModel::PriceColor(double price) const {
  const double ref = quote_.preSettlement;
  if (!HasPrice(price) || !HasPrice(ref)) return colors_.flat;
  if (price > ref + 1e-7) return colors_.rising;
  if (price < ref - 1e-7) return colors_.falling;
  return colors_.flat;
}

std::string InfoPanelModel::FieldText(int field) const {
  const DC_QuoteData& q = quote_;
  const bool haveLast = HasPrice(q.last) && HasPrice(q.preSettlement);
  switch (field) {
    case 0: return PriceText(q.last);
    case 1: return haveLast ? FormatC("%+.*f", decimals_, static_cast<double>(q.last) - q.preSettlement) : "-";
    case 2:
      return haveLast ? FormatC("%+.2f%%", (static_cast<double>(q.last) - q.preSettlement) * 100.0 / q.preSettlement)
                      : "-";
    case 3: return NumberText(q.lastQuantity);
    case 4: return NumberText(q.volume);
    case 5: return NumberText(q.openInterest);
    case 6: return FormatC("%+lld", static_cast<long long>(q.openInterest) - q.preOpenInterest);
    case 7: return PriceText(q.open);
    case 8: return PriceText(q.high);
    case 9: return PriceText(q.low);
    case 10: return PriceText(q.preSettlement);
    case 11: return PriceText(q.preClose);
    case 12: return PriceText(q.upperLimit);
    case 13: return PriceText(q.lowerLimit);
    case 14: return PriceText(q.averagePrice);
    case 15: return PriceText(q.settlement);
    default: return std::string();
  }
}

Colorref InfoPanelModel::FieldColor(int field) const {
  const DC_QuoteData& q = quote_;
  switch (field) {
    case 0: case 1: case 2: return PriceColor(q.last);
    case 7: return PriceColor(q.open);
    case 8: return PriceColor(q.high);
    case 9: return PriceColor(q.low);
    case 12: return colors_.rising;
    case 13: return colors_.falling;
    case 14: return PriceColor(q.averagePrice);
    case 15: return PriceColor(q.settlement);
    case 6: return q.openInterest >= q.preOpenInterest ? colors_.rising : colors_.falling;
    default: return colors_.quote;
  }
}

PanelView InfoPanelModel::BuildView(int width, int height, int rowHeight) const {
  PanelView v;
  v.width = std::max(width, 0);
  v.height = std::max(height, 0);
  v.background = colors_.background;
  const int rh = std::max(rowHeight, 8);
  const int w = v.width;
  int y = 0;
  auto text = [&](int x, int top, int boxW, const std::string& s, Colorref color, uint8_t align, bool bold = false,
                  int command = -1) {
    PanelItem it;
    it.kind = PanelItem::kText;
    it.x = x;
    it.y = top;
    it.w = boxW;
    it.h = rh;
    it.color = color;
    it.text = s;
    it.align = align;
    it.bold = bold;
    it.command = command;
    v.items.push_back(std::move(it));
  };
  auto line = [&](int top) {
    PanelItem it;
    it.kind = PanelItem::kLine;
    it.x = 0;
    it.y = top;
    it.w = w;
    it.h = 0;
    it.color = colors_.border;
    v.items.push_back(it);
  };
  auto command = [&](PanelCommand c) {
    v.commands.push_back(c);
    return static_cast<int>(v.commands.size() - 1);
  };

  // Title row: the name, the block mark, and three buttons at the right.
  const int button = rh + 2;
  text(kPad, y, std::max(w - 3 * button - 2 * kPad, 0),
       contract_.Empty() ? TXT("盘口报价") : std::string(contract_.Name()), colors_.title, 0, true);
  if (inUserBlock_) text(w - 3 * button - kPad - rh, y, rh, TXT("★"), colors_.header, 2);
  text(w - 3 * button, y, button, TXT("统"), colors_.header, 2, false, command({kPanelTickStatistics, 0, 0, 0}));
  text(w - 2 * button, y, button, TXT("刷"), colors_.header, 2, false, command({kPanelRefresh, 0, 0, 0}));
  text(w - button, y, button, sideBar_ ? "<" : ">", colors_.header, 2, false,
       command({sideBar_ ? kPanelSideBarOff : kPanelSideBarOn, sideBar_ ? 0 : 1, 0, 0}));
  y += rh + 2;
  line(y);
  y += 2;

  const int col1 = w * 30 / 100;
  const int col2 = w * 68 / 100;
  if (showDepth_) {
    static const std::vector<std::string> asks{TXT("卖一"), TXT("卖二"), TXT("卖三"), TXT("卖四"), TXT("卖五"),
                                               TXT("卖六"), TXT("卖七"), TXT("卖八"), TXT("卖九"), TXT("卖十")};
    static const std::vector<std::string> bids{TXT("买一"), TXT("买二"), TXT("买三"), TXT("买四"), TXT("买五"),
                                               TXT("买六"), TXT("买七"), TXT("买八"), TXT("买九"), TXT("买十")};
    auto level = [&](bool ask, int i) {
      const double price = ask ? quote_.askPrice[i] : quote_.bidPrice[i];
      const int32_t vol = ask ? quote_.askVolume[i] : quote_.bidVolume[i];
      text(kPad, y, col1 - kPad, ask ? asks[i] : bids[i], colors_.text, 0);
      const int cmd = HasPrice(price) ? command({kPanelPrice, 0, price, ask ? 0 : 1}) : -1;
      text(col1, y, col2 - col1, PriceText(price), PriceColor(price), 1, false, cmd);
      text(col2, y, w - col2 - kPad, HasPrice(price) ? NumberText(vol) : std::string(), colors_.quote, 1);
      y += rh;
    };
    for (int i = depth_ - 1; i >= 0; --i) level(true, i);
    line(y);
    for (int i = 0; i < depth_; ++i) level(false, i);
    line(y);
    y += 2;
  }
  if (showPrice_ && !fields_.empty()) {
    const int half = w / 2;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const int f = fields_[i];
      const int x = (i % 2) ? half : 0;
      text(x + kPad, y, half / 2, PanelFieldName(f), colors_.text, 0);
      const int cmd = f == 0 && HasPrice(quote_.last) ? command({kPanelPrice, 0, quote_.last, 0}) : -1;
      text(x + half / 2, y, half - half / 2 - kPad, FieldText(f), FieldColor(f), 1, false, cmd);
      if (i % 2 || i + 1 == fields_.size()) y += rh;
    }
    line(y);
    y += 2;
  }
  if (displayLevel_ != 0 && tallies_.valid) {
    const int half = w / 2;
    auto pct = [](double r) { return FormatC("%.1f%%", r * 100.0); };
    text(kPad, y, half / 2, TXT("大买"), colors_.text, 0);
    text(half / 2, y, half - half / 2 - kPad, pct(tallies_.bigBuy), colors_.rising, 1);
    text(half + kPad, y, half / 2, TXT("大卖"), colors_.text, 0);
    text(half + half / 2, y, half - half / 2 - kPad, pct(tallies_.bigSell), colors_.falling, 1);
    y += rh;
    text(kPad, y, half / 2, TXT("小买"), colors_.text, 0);
    text(half / 2, y, half - half / 2 - kPad, pct(tallies_.smallBuy), colors_.rising, 1);
    text(half + kPad, y, half / 2, TXT("小卖"), colors_.text, 0);
    text(half + half / 2, y, half - half / 2 - kPad, pct(tallies_.smallSell), colors_.falling, 1);
    y += rh;
    // The four shares as one bar: big buy, small buy, small sell, big sell.
    const double parts[4] = {tallies_.bigBuy, tallies_.smallBuy, tallies_.smallSell, tallies_.bigSell};
    const Colorref colours[4] = {colors_.rising, colors_.quote, colors_.flat, colors_.falling};
    int x = kPad;
    const int barW = std::max(w - 2 * kPad, 0);
    for (int i = 0; i < 4; ++i) {
      const int pw = i == 3 ? kPad + barW - x : static_cast<int>(std::lround(parts[i] * barW));
      if (pw > 0) {
        PanelItem it;
        it.kind = PanelItem::kBar;
        it.x = x;
        it.y = y + 2;
        it.w = pw;
        it.h = std::max(rh / 3, 3);
        it.color = colours[i];
        v.items.push_back(it);
      }
      x += std::max(pw, 0);
    }
    y += rh / 3 + 6;
    line(y);
    y += 2;
  }
  if (displayLevel_ != 0) {
    // The latest trades, newest first, in the height that is left.
    for (auto it = trades_.rbegin(); it != trades_.rend() && y + rh <= v.height; ++it) {
      const int s = it->SecondOfDay();
      text(kPad, y, col1, FormatC("%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60), colors_.text, 0);
      text(col1, y, col2 - col1, PriceText(it->price), PriceColor(it->price), 1);
      const Colorref c = it->Side() == 1 ? colors_.rising : (it->Side() == 2 ? colors_.falling : colors_.quote);
      text(col2, y, w - col2 - kPad, NumberText(it->Quantity()), c, 1);
      y += rh;
    }
  }
  return v;
}

bool InfoPanelModel::HitTest(const PanelView& view, int x, int y, PanelCommand* out) {
  for (const PanelItem& it : view.items) {
    if (it.command < 0 || it.command >= static_cast<int>(view.commands.size())) continue;
    if (x >= it.x && x < it.x + it.w && y >= it.y && y < it.y + it.h) {
      if (out) *out = view.commands[static_cast<std::size_t>(it.command)];
      return true;
    }
  }
  return false;
}

}  // namespace tarn::infopanel
