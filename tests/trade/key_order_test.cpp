// Keyboard ordering: the file (round trip, field order, damage), the table's loading, the
// dispatch of a typed character and the configuration dialog's checks.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/archive.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/orders/key_order_table.h"
#include "trade/order_fakes.h"

namespace tarn::test {
namespace {

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

KeyOrderTable Sample() {
  KeyOrderTable t = BuiltInKeyOrderTable();
  t.cancelFirst = false;
  t.products["SHFE|rb"] = 3;
  t.products[Utf8ToGbk("DCE|豆粕")] = 10;
  KeyBinding b;
  b.key = 'q';
  b.action = 1;
  b.offset = 2;
  b.priceType = 2;
  b.ticks = -4;
  t.bindings[b.key] = b;
  return t;
}

TEST(KeyOrderFile, RoundTripAndTheBindingsFieldOrder) {
  const KeyOrderTable t = Sample();
  const std::string bytes = SerializeKeyOrderFile(t);
  const KeyOrderFileResult r = ParseKeyOrderFile(bytes);
  ASSERT_TRUE(r.complete);
  EXPECT_EQ(r.table, t);
  // version 1, cancelFirst, 2 products, then 4 bindings in key order: '1' first.
  ArchiveReader in(bytes);
  int32_t version = 0, n = 0;
  uint8_t flag = 9;
  ASSERT_TRUE(in.Int32(version) && in.Byte(flag) && in.Int32(n));
  EXPECT_EQ(version, 1);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(n, 2);
  std::string key;
  int32_t q = 0;
  ASSERT_TRUE(in.String(key) && in.Int32(q));
  EXPECT_EQ(key, Utf8ToGbk("DCE|豆粕"));  // ascending byte order: 'D' before 'S'
  ASSERT_TRUE(in.String(key) && in.Int32(q) && in.Int32(n));
  EXPECT_EQ(n, 4);
  // The last binding is 'q': key, action, ticks, offset, price type.
  const std::string last = bytes.substr(bytes.size() - 17);
  EXPECT_EQ(last[0], 'q');
  int32_t f[4];
  std::memcpy(f, last.data() + 1, 16);
  EXPECT_EQ(f[0], 1);
  EXPECT_EQ(f[1], -4);
  EXPECT_EQ(f[2], 2);
  EXPECT_EQ(f[3], 2);
}

TEST(KeyOrderFile, DamageKeepsWhatWasReadBefore) {
  const std::string bytes = SerializeKeyOrderFile(Sample());
  // Cut inside the bindings: both products are kept; the binding count no longer fits the bytes
  // left, so no binding is read.
  KeyOrderFileResult r = ParseKeyOrderFile(bytes.substr(0, bytes.size() - 5));
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.table.products.size(), 2u);
  EXPECT_EQ(r.table.bindings.size(), 0u);
  EXPECT_GT(r.failedAt, 0);
  // A count far beyond the bytes is refused before anything is allocated.
  std::string huge = bytes.substr(0, 5) + std::string("\xff\xff\xff\x7f", 4);
  r = ParseKeyOrderFile(huge);
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(r.table.products.empty());
  // Garbage of every length never crashes and never claims to be whole unless it parses.
  std::string garbage;
  for (int i = 0; i < 300; ++i) {
    garbage.push_back(static_cast<char>((i * 73 + 41) & 0xff));
    const KeyOrderFileResult g = ParseKeyOrderFile(garbage);
    EXPECT_LE(g.table.bindings.size() * 17, garbage.size());
  }
  EXPECT_FALSE(ParseKeyOrderFile("").complete);
}

class KeyOrderStore : public ::testing::Test {
 protected:
  void SetUp() override { ResetKeyOrderTable(); }
  void TearDown() override { ResetKeyOrderTable(); }
  ScopedHome home;
};

TEST_F(KeyOrderStore, MissingTruncatedOrGarbageFilesGiveTheBuiltInTable) {
  const KeyOrderTable builtIn = BuiltInKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable(), builtIn);
  ASSERT_EQ(builtIn.bindings.size(), 3u);
  EXPECT_EQ(builtIn.bindings.at('9').action, 2);
  EXPECT_TRUE(builtIn.cancelFirst);
  const std::string file = home.Native("\\config\\keyborderorder.dat");
  const std::string bytes = SerializeKeyOrderFile(Sample());
  WriteFile(file, bytes.substr(0, bytes.size() - 1));
  ResetKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable(), builtIn);
  WriteFile(file, std::string(1000, '\xee'));
  ResetKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable(), builtIn);
  WriteFile(file, bytes);
  ResetKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable(), Sample());
}

TEST_F(KeyOrderStore, ReplacingWritesAtOnceAndKeepsTheSwitch) {
  GetKeyOrderTable().enabled = true;
  KeyOrderTable copy = GetKeyOrderTable();
  copy.products["SHFE|rb"] = 2;
  copy.enabled = false;
  ASSERT_TRUE(ReplaceKeyOrderTable(copy));
  EXPECT_TRUE(GetKeyOrderTable().enabled);
  EXPECT_EQ(GetKeyOrderTable().products.at("SHFE|rb"), 2);
  ResetKeyOrderTable();
  EXPECT_EQ(GetKeyOrderTable().products.at("SHFE|rb"), 2);
  EXPECT_FALSE(GetKeyOrderTable().enabled);  // never stored
}

class KeyDispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    table = BuiltInKeyOrderTable();
    table.enabled = true;
    panel.contract = quotes.rb;
    quotes.snapshots["SHFE|rb2605"] = QuoteOf(quotes.rb, 3500, 3499, 3501);
  }
  DispatchResult Type(char c) {
    return DispatchKeyOrder(table, panel, static_cast<uint8_t>(c), [this](int ms) { waited += ms; });
  }
  OrdersQuoteCenter quotes;
  OrdersTradeApi api;
  KeyOrderTable table;
  KeyboardPanelState panel;
  int waited = 0;
};

TEST_F(KeyDispatch, UnboundOrSwitchedOffCharactersAreNotHandled) {
  EXPECT_FALSE(Type('2').handled);
  table.enabled = false;
  EXPECT_FALSE(Type('1').handled);
  table.enabled = true;
  panel.contract = DC_Contract{};
  const DispatchResult r = Type('1');
  EXPECT_TRUE(r.handled);
  EXPECT_EQ(r.status, "");
  EXPECT_TRUE(api.inserted.empty());
}

TEST_F(KeyDispatch, MessagesForNoDefaultNoQuantityNoPrice) {
  EXPECT_EQ(U(Type('1').status), "错误:下单默认量未设置");
  table.products["SHFE|rb"] = 1;
  panel.multiplier = 0.5;
  EXPECT_EQ(U(Type('1').status), "错误:下单量为0");
  panel.multiplier = 1;
  quotes.snapshots["SHFE|rb2605"] = QuoteOf(quotes.rb, 0, 3499, 3501);
  EXPECT_EQ(U(Type('1').status), "错误:行情价格未知");
  EXPECT_TRUE(api.inserted.empty());
}

TEST_F(KeyDispatch, QuantityTimesMultiplierAndTheCounterPricePlusTicks) {
  table.products["SHFE|rb"] = 3;
  panel.multiplier = 1.5;
  table.bindings['1'].ticks = 2;
  const DispatchResult r = Type('1');
  EXPECT_TRUE(r.handled);
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].quantity, 4);
  EXPECT_EQ(api.inserted[0].price, 3503);  // ask 3501 + 2 ticks of 1
  EXPECT_EQ(api.inserted[0].priceType, 0);
  EXPECT_EQ(api.inserted[0].offset, 1);
  EXPECT_EQ(api.inserted[0].direction, 1);
  EXPECT_EQ(KeyOrderQuantity(3, 1.5), 4);
  EXPECT_EQ(KeyOrderQuantity(7, 1.0), 7);
}

TEST_F(KeyDispatch, AutomaticOffsetClosesWhatIsHeld) {
  table.products["SHFE|rb"] = 2;
  table.bindings['3'].priceType = 2;  // a sell at the queue price: ask 1, minus ticks
  table.bindings['3'].ticks = 1;
  api.positions = {Position(quotes.rb, 2, 0)};
  Type('3');
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].offset, 2);
  EXPECT_EQ(api.inserted[0].direction, 2);
  EXPECT_EQ(api.inserted[0].price, 3500);
  api.positions.clear();
  api.inserted.clear();
  Type('3');
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].offset, 1);
}

TEST_F(KeyDispatch, CancelFirstCancelsTheSameDirectionEverywhereThenWaits) {
  table.products["SHFE|rb"] = 2;
  api.orders = {WorkingOrder(quotes.m, "buy-other", 1, 2), WorkingOrder(quotes.rb, "sell", 2, 2),
                WorkingOrder(quotes.rb, "stop", 1, 11, 1)};
  DispatchResult r = Type('1');
  EXPECT_EQ(r.cancelled, 1);
  ASSERT_EQ(api.cancelled.size(), 1u);
  EXPECT_EQ(api.cancelled[0].Key(), "buy-other");
  EXPECT_EQ(waited, 200);
  EXPECT_EQ(api.inserted.size(), 1u);
  // Nothing of that direction working: no wait.
  table.bindings['3'] = table.bindings['1'];
  table.bindings['3'].action = 1;
  api.orders = {WorkingOrder(quotes.rb, "buy", 1, 2)};
  waited = 0;
  Type('3');
  EXPECT_EQ(waited, 0);
  // The cancel key cancels every working ordinary order and sends nothing.
  api.cancelled.clear();
  api.inserted.clear();
  api.orders = {WorkingOrder(quotes.rb, "a", 1, 0), WorkingOrder(quotes.m, "b", 2, 1)};
  r = Type('9');
  EXPECT_EQ(r.cancelled, 2);
  EXPECT_TRUE(api.inserted.empty());
}

TEST(KeyOrderDialog, ProductAndBindingChecksInOrder) {
  KeyOrderTable t = BuiltInKeyOrderTable();
  EXPECT_EQ(U(*AddKeyProduct(t, "", "0")), "请选择品种");
  EXPECT_EQ(U(*AddKeyProduct(t, "SHFE|rb", "0")), "默认量错误");
  EXPECT_EQ(U(*AddKeyProduct(t, "SHFE|rb", "10001")), "默认量错误");
  EXPECT_FALSE(AddKeyProduct(t, "SHFE|rb", "10000"));
  EXPECT_EQ(U(*AddKeyProduct(t, "SHFE|rb", "5")), "该品种已存在");
  EXPECT_EQ(t.products.at("SHFE|rb"), 10000);
  EXPECT_EQ(U(*AddKeyBinding(t, "", -1, -1, -1, "9999")), "无效键盘字符");
  EXPECT_EQ(U(*AddKeyBinding(t, "1", -1, -1, -1, "9999")), "无效动作类型");
  EXPECT_EQ(U(*AddKeyBinding(t, "1", 0, -1, -1, "9999")), "无效开平类型");
  EXPECT_EQ(U(*AddKeyBinding(t, "1", 0, 0, -1, "9999")), "无效价格类型");
  EXPECT_EQ(U(*AddKeyBinding(t, "1", 0, 0, 0, "1001")), "无效超价点数");
  EXPECT_EQ(U(*AddKeyBinding(t, "1", 0, 0, 0, "1000")), "该键值已存在");
  EXPECT_FALSE(AddKeyBinding(t, "wx", 2, 1, 1, "1000"));
  EXPECT_EQ(t.bindings.at('w').action, 2);
  EXPECT_EQ(t.bindings.at('w').ticks, 1000);
  EXPECT_EQ(U(KeyPriceTypeText(2)), "排队价");
  EXPECT_EQ(U(KeyOffsetText(0)), "自动");
}

}  // namespace
}  // namespace tarn::test
