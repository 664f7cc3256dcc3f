// Keyboard ordering: the key-order table (product default quantities and key bindings) with its
// file "\config\keyborderorder.dat", the dispatch of a typed character, and the checks of the
// configuration dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "data/quote_records.h"

namespace tarn {

struct KeyBinding {
  uint8_t key = 0;
  int32_t action = 0;     // 0 "买入", 1 "卖出", 2 "撤单"
  int32_t offset = 0;     // 0 "自动", 1 "开仓", 2 "平仓"
  int32_t priceType = 0;  // 0 "对盘价", 1 "最新价", 2 "排队价"
  int32_t ticks = 0;      // "超价(点)"
  bool operator==(const KeyBinding&) const = default;
};

struct KeyOrderTable {
  std::map<std::string, int32_t> products;  // "EXCHANGE|COMMODITY" -> default quantity
  std::map<uint8_t, KeyBinding> bindings;
  bool cancelFirst = true;
  bool enabled = false;  // "启用键盘下单": not stored
  bool operator==(const KeyOrderTable&) const = default;
};

// No products, cancel first, "1" buy, "3" sell, "9" cancel (automatic offset, counter price, 0 ticks).
KeyOrderTable BuiltInKeyOrderTable();

// The file. Reading stops at the first damage: `complete` is false then, and `table` holds what
// was read before it (products and bindings whole; every count is checked against the bytes left).
struct KeyOrderFileResult {
  KeyOrderTable table;
  bool complete = false;
  int64_t failedAt = -1;
};
KeyOrderFileResult ParseKeyOrderFile(std::string_view bytes);
std::string SerializeKeyOrderFile(const KeyOrderTable& table);

// The process-wide table: loaded on first use (the built-in one when the file is missing or
// cannot be read whole). UI thread only.
KeyOrderTable& GetKeyOrderTable();
// Replaces the table (keeping "启用键盘下单") and writes the file at once; false when it could not.
bool ReplaceKeyOrderTable(const KeyOrderTable& table);
// Tests: forget the loaded table, so that the next use reads the file again.
void ResetKeyOrderTable();

// The product key of a contract: "EXCHANGE|COMMODITY".
std::string ProductKeyOf(const DC_Contract& contract);
// The stored default of the contract's product (0 when none).
int32_t ProductDefault(const KeyOrderTable& table, const DC_Contract& contract);

// ---- dispatch ------------------------------------------------------------------------------------

// What the keyboard panel gives the dispatch.
struct KeyboardPanelState {
  DC_Contract contract{};
  double multiplier = 1.0;
};
struct DispatchResult {
  bool handled = false;
  std::string status;  // the panel's status text when it changed ("" otherwise)
  int sent = 0;        // orders handed to the library
  int cancelled = 0;
};
// Waits after cancelling (the UI thread blocks 200 ms; tests replace it).
using DispatchWait = std::function<void(int ms)>;
DispatchResult DispatchKeyOrder(const KeyOrderTable& table, const KeyboardPanelState& panel, uint8_t character,
                                const DispatchWait& wait);
// The quantity a key sends: trunc(default x multiplier + 0.001) ("%d" in the panel).
int64_t KeyOrderQuantity(int32_t productDefault, double multiplier);

// ---- the configuration dialog ------------------------------------------------------------------

const std::string& KeyActionText(int action);      // "买入", "卖出", "撤单"
const std::string& KeyOffsetText(int offset);      // "自动", "开仓", "平仓"
const std::string& KeyPriceTypeText(int type);     // "对盘价", "最新价", "排队价"

// Adds a product: no product ("请选择品种"), a quantity outside 1..10000 ("默认量错误"), a product
// already listed ("该品种已存在").
std::optional<std::string> AddKeyProduct(KeyOrderTable& table, const std::string& productKey,
                                         const std::string& quantityText);
// Adds a binding: empty key ("无效键盘字符"), no action / offset / price type (index -1:
// "无效动作类型", "无效开平类型", "无效价格类型"), ticks above 1000 ("无效超价点数"), a key already
// bound ("该键值已存在").
std::optional<std::string> AddKeyBinding(KeyOrderTable& table, const std::string& keyText, int action, int offset,
                                         int priceType, const std::string& ticksText);

}  // namespace tarn
