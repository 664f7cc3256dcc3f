#include <gtest/gtest.h>

#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "fake_trade_api.h"
#include "platform/sound.h"
#include "support/test_support.h"

namespace tarn::test {
namespace {

class OrderListener : public CTradeListener {
 public:
  ~OrderListener() override { StopListening(); }
  void OnOrder(const OrderRecord* o, const AccountTexts&) override {
    states.push_back(o->state);
    PlayTradeSound(*o);
  }
  std::vector<int> states;
};

OrderRecord Order(int state) {
  OrderRecord o{};
  o.state = state;
  return o;
}

TEST(TradeListener, RegistersForItsLifeOnly) {
  FakeTradeApi api;
  {
    OrderListener l;
    EXPECT_TRUE(api.listeners.Contains(&l));
    OrderRecord o = Order(1);
    api.Notify([&](ITradeNotify* n) { n->OnOrder(&o, AccountTexts{}); });
    EXPECT_EQ(l.states, std::vector<int>{1});
    l.StopListening();
    api.Notify([&](ITradeNotify* n) { n->OnOrder(&o, AccountTexts{}); });
    EXPECT_EQ(l.states.size(), 1u);  // never delivered after RemoveListener
  }
  EXPECT_EQ(api.listeners.Size(), 0u);
}

TEST(TradeListener, DeferredListeningStartsWhenAsked) {
  FakeTradeApi api;
  struct Late : CTradeListener {
    Late() : CTradeListener(false) {}
  } late;
  EXPECT_FALSE(api.listeners.Contains(&late));
  late.StartListening();
  EXPECT_TRUE(api.listeners.Contains(&late));
}

TEST(TradeSounds, OnePerFinalStateAndNoneOtherwise) {
  ScopedHome home;
  for (const char* f : {"\\sound\\trade\\5.wav", "\\sound\\trade\\6.wav", "\\sound\\trade\\2.wav"})
    WriteFile(home.Native(f), "RIFF");
  FakeTradeApi api;
  SoundRecorder rec;
  OrderListener l;
  for (int s : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) {
    OrderRecord o = Order(s);
    api.Notify([&](ITradeNotify* n) { n->OnOrder(&o, AccountTexts{}); });
  }
  std::vector<std::string> played = rec.Played();
  ASSERT_EQ(played.size(), 4u);
  EXPECT_EQ(played[0], home.Native("\\sound\\trade\\5.wav"));  // state 4
  EXPECT_EQ(played[1], home.Native("\\sound\\trade\\6.wav"));  // state 7
  EXPECT_EQ(played[2], home.Native("\\sound\\trade\\6.wav"));  // state 8
  EXPECT_EQ(played[3], home.Native("\\sound\\trade\\2.wav"));  // state 10
}

TEST(TradeSounds, NotReadyOrMissingFilePlaysNothing) {
  ScopedHome home;
  FakeTradeApi api;
  SoundRecorder rec;
  EXPECT_EQ(PlayTradeSound(Order(8)), "");  // file missing: skipped silently
  WriteFile(home.Native("\\sound\\trade\\6.wav"), "RIFF");
  api.ready = false;
  EXPECT_EQ(PlayTradeSound(Order(8)), "");
  api.ready = true;
  EXPECT_EQ(PlayTradeSound(Order(8)), home.Native("\\sound\\trade\\6.wav"));
  EXPECT_EQ(PlayTradeSound(Order(3)), "");
  EXPECT_EQ(rec.Played().size(), 1u);
}

TEST(TradeEnums, TextsColoursAndWorkingSet) {
  EXPECT_EQ(OrderStateText(15), "");
  EXPECT_EQ(OrderStateText(-1), "");
  EXPECT_EQ(OrderStateText(8), TXT("已撤余单"));
  EXPECT_EQ(OrderStateText(11), TXT("未触发"));
  EXPECT_EQ(DirectionText(0), "");
  EXPECT_EQ(DirectionText(2), TXT("卖出"));
  EXPECT_EQ(SideText(1), TXT("多头"));
  EXPECT_EQ(OffsetText(0), "--");
  EXPECT_EQ(OffsetText(3), TXT("平今"));
  EXPECT_EQ(DirectionText(3), "");
  EXPECT_EQ(DirectionColor(1), Rgb(250, 50, 50));
  EXPECT_EQ(DirectionColor(2), Rgb(0, 180, 0));
  for (int s = -1; s <= 15; ++s) EXPECT_EQ(IsWorkingState(s), (s >= 0 && s <= 3) || s == 11) << s;
}

}  // namespace
}  // namespace tarn::test
