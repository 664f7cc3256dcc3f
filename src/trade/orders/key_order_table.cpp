#include "trade/orders/key_order_table.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tools/tick_tallies.h"
#include "trade/orders/order_panel_logic.h"
#include "trade/orders/order_routines.h"

namespace tarn {

namespace {
constexpr const char* kFile = "\\config\\keyborderorder.dat";
// A file beyond this size is not the terminal's: it is not read (the built-in table is used).
constexpr std::size_t kMaxFileBytes = 4u << 20;
constexpr std::size_t kBindingBytes = 17;
constexpr std::size_t kProductMinBytes = 1 + 4;  // an empty key and its quantity

KeyBinding Binding(char key, int action) {
  KeyBinding b;
  b.key = static_cast<uint8_t>(key);
  b.action = action;
  return b;
}
}  // namespace

KeyOrderTable BuiltInKeyOrderTable() {
  KeyOrderTable t;
  t.cancelFirst = true;
  for (const KeyBinding& b : {Binding('1', 0), Binding('3', 1), Binding('9', 2)}) t.bindings[b.key] = b;
  return t;
}

KeyOrderFileResult ParseKeyOrderFile(std::string_view bytes) {
  KeyOrderFileResult r;
  r.table.products.clear();
  r.table.bindings.clear();
  ArchiveReader in(bytes);
  int32_t version = 0;
  uint8_t cancelFirst = 0;
  int32_t count = 0;
  auto fail = [&] {
    r.complete = false;
    r.failedAt = static_cast<int64_t>(in.FailedAt());
    return r;
  };
  if (!in.Int32(version) || !in.Byte(cancelFirst)) return fail();
  r.table.cancelFirst = cancelFirst != 0;
  if (!in.Count(count, kProductMinBytes)) return fail();
  for (int32_t i = 0; i < count; ++i) {
    std::string key;
    int32_t quantity = 0;
    if (!in.String(key) || !in.Int32(quantity)) return fail();
    r.table.products[key] = quantity;
  }
  if (!in.Count(count, kBindingBytes)) return fail();
  for (int32_t i = 0; i < count; ++i) {
    KeyBinding b;
    if (!in.Byte(b.key) || !in.Int32(b.action) || !in.Int32(b.ticks) || !in.Int32(b.offset) || !in.Int32(b.priceType))
      return fail();
    r.table.bindings[b.key] = b;
  }
  r.complete = true;
  return r;
}

std::string SerializeKeyOrderFile(const KeyOrderTable& table) {
  ArchiveWriter out;
  out.Int32(1);
  out.Byte(table.cancelFirst ? 1 : 0);
  out.Int32(static_cast<int32_t>(table.products.size()));
  for (const auto& [key, quantity] : table.products) {
    out.String(key);
    out.Int32(quantity);
  }
  out.Int32(static_cast<int32_t>(table.bindings.size()));
  for (const auto& [key, b] : table.bindings) {
    out.Byte(key);
    out.Int32(b.action);
    out.Int32(b.ticks);
    out.Int32(b.offset);
    out.Int32(b.priceType);
  }
  return out.Take();
}

namespace {
std::unique_ptr<KeyOrderTable>& Current() {
  static std::unique_ptr<KeyOrderTable> table;
  return table;
}
}  // namespace

KeyOrderTable& GetKeyOrderTable() {
  std::unique_ptr<KeyOrderTable>& t = Current();
  if (!t) {
    t = std::make_unique<KeyOrderTable>(BuiltInKeyOrderTable());
    if (std::optional<std::string> bytes = ReadWholeFile(Path(kFile), kMaxFileBytes)) {
      KeyOrderFileResult r = ParseKeyOrderFile(*bytes);
      // A file that cannot be read whole gives the built-in table.
      if (r.complete) *t = std::move(r.table);
    }
    t->enabled = false;
  }
  return *t;
}

bool ReplaceKeyOrderTable(const KeyOrderTable& table) {
  KeyOrderTable& t = GetKeyOrderTable();
  const bool enabled = t.enabled;
  t = table;
  t.enabled = enabled;
  return WriteFileAtomic(Path(kFile), SerializeKeyOrderFile(t));
}

void ResetKeyOrderTable() { Current().reset(); }

std::string ProductKeyOf(const DC_Contract& contract) { return CommodityKeyOf(contract); }

int32_t ProductDefault(const KeyOrderTable& table, const DC_Contract& contract) {
  auto it = table.products.find(ProductKeyOf(contract));
  return it == table.products.end() ? 0 : it->second;
}

int64_t KeyOrderQuantity(int32_t productDefault, double multiplier) {
  const double q = std::trunc(static_cast<double>(productDefault) * multiplier + 0.001);
  if (!std::isfinite(q) || q <= 0) return 0;
  return q >= 2147483647.0 ? 2147483647 : static_cast<int64_t>(q);
}

DispatchResult DispatchKeyOrder(const KeyOrderTable& table, const KeyboardPanelState& panel, uint8_t character,
                                const DispatchWait& wait) {
  DispatchResult r;
  auto found = table.bindings.find(character);
  if (!table.enabled || found == table.bindings.end()) return r;
  r.handled = true;
  const KeyBinding& b = found->second;
  if (panel.contract.Empty()) return r;
  const int32_t d = ProductDefault(table, panel.contract);
  if (d <= 0) {
    r.status = TXT("错误:下单默认量未设置");
    return r;
  }
  const int64_t quantity = KeyOrderQuantity(d, panel.multiplier);
  if (quantity <= 0) {
    r.status = TXT("错误:下单量为0");
    return r;
  }
  DC_Quote q{};
  IQuoteDataCenter* quotes = GetQuoteDataCenter();
  if (quotes) quotes->SubscribeQuote(NotifyHandle(), &panel.contract, &q, 1);
  const double last = q.data.last;
  if (!(last >= 1e-7)) {
    r.status = TXT("错误:行情价格未知");
    return r;
  }
  if (b.action == 2) {
    r.cancelled = CancelWorkingOrders(0);
    return r;
  }
  const int direction = b.action == 0 ? kBuy : kSell;
  double price;
  const double bid = q.data.bidPrice[0], ask = q.data.askPrice[0];
  switch (b.priceType) {
    case 0: price = direction == kBuy ? ask : bid; break;
    case 2: price = direction == kBuy ? bid : ask; break;
    default: price = last; break;
  }
  if (!(price > 0)) price = last;
  if (price > 1e-7) {
    const DC_Commodity* c = CommodityOf(panel.contract);
    const double tick = c ? c->tickSize : 0.0;
    price += (direction == kBuy ? 1 : -1) * b.ticks * tick;
  }
  int offset;
  if (b.offset == kOpen) {
    offset = kOpen;
  } else if (b.offset == kClose) {
    offset = kClose;
  } else {
    std::vector<PositionRecord> positions;
    if (ITradeApi* api = GetTradeApi()) api->GetPositions(positions);
    const PositionSums s = SumPositions(positions, panel.contract);
    offset = (direction == kBuy ? s.shortTotal : s.longTotal) >= 1 ? kClose : kOpen;
  }
  if (table.cancelFirst) {
    r.cancelled = CancelWorkingOrders(direction);
    if (r.cancelled > 0 && wait) wait(200);
  }
  r.sent = SendSplitOrder(panel.contract, direction, offset, static_cast<int>(quantity), kLimitPrice, price);
  return r;
}

// ---- the configuration dialog ------------------------------------------------------------------

namespace {
const std::string& Pick(int index, const std::string& a, const std::string& b, const std::string& c) {
  static const std::string none;
  switch (index) {
    case 0: return a;
    case 1: return b;
    case 2: return c;
    default: return none;
  }
}
}  // namespace

const std::string& KeyActionText(int action) { return Pick(action, TXT("买入"), TXT("卖出"), TXT("撤单")); }
const std::string& KeyOffsetText(int offset) { return Pick(offset, TXT("自动"), TXT("开仓"), TXT("平仓")); }
const std::string& KeyPriceTypeText(int type) { return Pick(type, TXT("对盘价"), TXT("最新价"), TXT("排队价")); }

std::optional<std::string> AddKeyProduct(KeyOrderTable& table, const std::string& productKey,
                                         const std::string& quantityText) {
  if (productKey.empty()) return TXT("请选择品种");
  const int64_t q = ParseInt64Text(quantityText);
  if (q < 1 || q > 10000) return TXT("默认量错误");
  if (table.products.count(productKey)) return TXT("该品种已存在");
  table.products[productKey] = static_cast<int32_t>(q);
  return std::nullopt;
}

std::optional<std::string> AddKeyBinding(KeyOrderTable& table, const std::string& keyText, int action, int offset,
                                         int priceType, const std::string& ticksText) {
  if (keyText.empty()) return TXT("无效键盘字符");
  if (action < 0 || action > 2) return TXT("无效动作类型");
  if (offset < 0 || offset > 2) return TXT("无效开平类型");
  if (priceType < 0 || priceType > 2) return TXT("无效价格类型");
  const int64_t ticks = ParseInt64Text(ticksText);
  if (ticks > 1000) return TXT("无效超价点数");
  const uint8_t key = static_cast<uint8_t>(keyText[0]);
  if (table.bindings.count(key)) return TXT("该键值已存在");
  KeyBinding b;
  b.key = key;
  b.action = action;
  b.offset = offset;
  b.priceType = priceType;
  b.ticks = static_cast<int32_t>(std::max<int64_t>(ticks, -1000000));  // a huge negative text stays an int32
  table.bindings[key] = b;
  return std::nullopt;
}

}  // namespace tarn
