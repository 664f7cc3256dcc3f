// The messages' encode and decode: what goes out comes back, and damaged payloads are refused.
#include <gtest/gtest.h>

#include <cstring>

#include "libs/net/protocol.h"

namespace tarn::net {
namespace {

using namespace tarn::exchange;

TEST(Protocol, LoginMessagesRoundTripAndRefuseDamage) {
  LoginMsg login{LinkKind::Trade, "8001", "888888"};
  LoginMsg back;
  ASSERT_TRUE(Decode(Encode(login), back));
  EXPECT_EQ(back.kind, LinkKind::Trade);
  EXPECT_EQ(back.user, "8001");
  EXPECT_EQ(back.password, "888888");

  std::string bad = Encode(login);
  bad[0] = 3;  // no such session kind
  EXPECT_FALSE(Decode(bad, back));
  EXPECT_FALSE(Decode(Encode(login) + "x", back));           // trailing byte
  EXPECT_FALSE(Decode(Encode(login).substr(0, 6), back));    // cut short

  LoginOkMsg ok;
  ok.accounts = {"8001", "8002"};
  ok.indexes = {0, 1};
  ok.realSessions = true;
  ok.listDay = 20432;
  LoginOkMsg okBack;
  ASSERT_TRUE(Decode(Encode(ok), okBack));
  EXPECT_EQ(okBack.accounts, ok.accounts);
  EXPECT_EQ(okBack.indexes, ok.indexes);
  EXPECT_TRUE(okBack.realSessions);
  EXPECT_EQ(okBack.listDay, 20432);
  ok.indexes.pop_back();  // every account needs its index
  EXPECT_FALSE(Decode(Encode(ok), okBack));
}

TEST(Protocol, OrderAndStrategyEntriesKeepEveryField) {
  OrderEntry e;
  e.account = "8002";
  e.contract = 17;
  e.direction = 2;
  e.offset = 3;
  e.market = true;
  e.price = -123456789012LL;
  e.priceOnTick = false;
  e.quantity = 9;
  e.positionNumber = "L00000042";
  e.clientRef = 0x1234567890ABCDEFull;
  ByteWriter w;
  Write(w, e);
  ByteReader r(w.Bytes());
  OrderEntry b;
  ASSERT_TRUE(Read(r, b));
  EXPECT_TRUE(r.Done());
  EXPECT_EQ(b.account, "8002");
  EXPECT_EQ(b.contract, 17u);
  EXPECT_EQ(b.direction, 2);
  EXPECT_EQ(b.offset, 3);
  EXPECT_TRUE(b.market);
  EXPECT_EQ(b.price, -123456789012LL);
  EXPECT_FALSE(b.priceOnTick);
  EXPECT_EQ(b.quantity, 9);
  EXPECT_EQ(b.positionNumber, "L00000042");
  EXPECT_EQ(b.clientRef, 0x1234567890ABCDEFull);

  StrategyEntry s;
  s.account = "8001";
  s.legCount = 2;
  s.legs[1].contract = 5;
  s.legs[1].chase = true;
  s.formula = "A-B";
  s.triggerPrice = 12.5;
  s.payload = std::string(200, '\x01');
  ByteWriter ws;
  Write(ws, s);
  ByteReader rs(ws.Bytes());
  StrategyEntry sb;
  ASSERT_TRUE(Read(rs, sb));
  EXPECT_EQ(sb.legs[1].contract, 5u);
  EXPECT_TRUE(sb.legs[1].chase);
  EXPECT_EQ(sb.formula, "A-B");
  EXPECT_DOUBLE_EQ(sb.triggerPrice, 12.5);
  EXPECT_EQ(sb.payload, s.payload);

  s.legCount = 5;  // more legs than a strategy holds
  ByteWriter wbad;
  Write(wbad, s);
  ByteReader rbad(wbad.Bytes());
  EXPECT_FALSE(Read(rbad, sb));
}

// A commit group's state events (positions, funds, strategies) reach the terminal once per kind and
// account, after everything they stood for; orders, fills and texts all arrive, in their order.
TEST(Protocol, CoalescedBrokerEventsKeepTheLastStateEventOfEachAccount) {
  auto event = [](BrokerEventType type, AccountIndex account, bool complete = false, int quantity = 0) {
    BrokerEvent e;
    e.type = type;
    e.account = account;
    e.complete = complete;
    e.order.quantity = quantity;
    return e;
  };
  using T = BrokerEventType;
  const std::vector<BrokerEvent> events = {
      event(T::Order, 1, false, 1), event(T::Positions, 1, true), event(T::Funds, 1),
      event(T::Order, 2, false, 2), event(T::Funds, 2),
      event(T::Order, 1, false, 3), event(T::Positions, 1, false), event(T::Funds, 1),
      event(T::Strategy, 1), event(T::Text, 1), event(T::Strategy, 1), event(T::Order, 1, false, 4)};
  ByteWriter w;
  EXPECT_EQ(WriteCoalesced(w, events), 9u);
  ByteReader r(w.Bytes());
  std::vector<BrokerEvent> back;
  ASSERT_TRUE(Read(r, back));
  ASSERT_TRUE(r.Done());
  std::vector<std::pair<T, AccountIndex>> seen;
  for (const BrokerEvent& e : back) seen.emplace_back(e.type, e.account);
  const std::vector<std::pair<T, AccountIndex>> expected = {
      {T::Order, 1}, {T::Order, 2}, {T::Funds, 2}, {T::Order, 1}, {T::Positions, 1},
      {T::Funds, 1}, {T::Text, 1}, {T::Strategy, 1}, {T::Order, 1}};
  ASSERT_EQ(back.size(), 9u);
  EXPECT_EQ(seen, expected);
  // The orders keep their content; the one positions event says a fill changed them, as the
  // first of the two it stands for did.
  EXPECT_EQ(back[0].order.quantity, 1);
  EXPECT_EQ(back[3].order.quantity, 3);
  EXPECT_EQ(back[8].order.quantity, 4);
  EXPECT_TRUE(back[4].complete);
  EXPECT_FALSE(back[5].complete);

  // A batch without repeats goes out as it is.
  const std::vector<BrokerEvent> plain = {event(T::Order, 1, false, 5), event(T::Positions, 1, true),
                                          event(T::Funds, 1), event(T::Funds, 2)};
  ByteWriter a, b;
  EXPECT_EQ(WriteCoalesced(a, plain), 4u);
  Write(b, plain);
  EXPECT_EQ(a.Bytes(), b.Bytes());
}

TEST(Protocol, BrokerEventsCarryWhatTheirTypeNeeds) {
  std::vector<BrokerEvent> events(3);
  events[0].type = BrokerEventType::Order;
  events[0].account = 4;
  std::strcpy(events[0].order.key, "20251208-00000001");
  events[0].order.quantity = 3;
  events[1].type = BrokerEventType::Fill;
  events[1].fill.price = 3500;
  events[2].type = BrokerEventType::Text;
  events[2].text = "text";
  events[2].complete = true;
  ByteWriter w;
  Write(w, events);
  ByteReader r(w.Bytes());
  std::vector<BrokerEvent> back;
  ASSERT_TRUE(Read(r, back));
  ASSERT_TRUE(r.Done());
  ASSERT_EQ(back.size(), 3u);
  EXPECT_STREQ(back[0].order.key, "20251208-00000001");
  EXPECT_EQ(back[0].account, 4u);
  EXPECT_EQ(back[0].order.quantity, 3);
  EXPECT_EQ(back[1].fill.price, 3500);
  EXPECT_EQ(back[2].text, "text");
  EXPECT_TRUE(back[2].complete);

  // An unknown event type and a count beyond the bytes are refused.
  std::string bytes = w.Bytes();
  bytes[4] = 99;
  ByteReader rbad(bytes);
  EXPECT_FALSE(Read(rbad, back));
  ByteWriter huge;
  huge.U32(0xFFFFFFFFu);
  ByteReader rhuge(huge.Bytes());
  EXPECT_FALSE(Read(rhuge, back));
  std::vector<MarketEvent> market;
  ByteReader rmarket(huge.Bytes());
  EXPECT_FALSE(Read(rmarket, market));
}

}  // namespace
}  // namespace tarn::net
