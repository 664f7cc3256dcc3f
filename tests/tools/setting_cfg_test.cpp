// The settings object: defaults, load rules, saving every key, and the per-user switches.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tools/setting_cfg.h"

namespace {

using tarn::test::ScopedHome;

std::string Ini(const ScopedHome& h, const char* section, const char* key) {
  return tarn::Profile::GetString(h.Native("\\config\\setting.ini"), section, key, "<none>");
}

TEST(SettingCfg, MissingFileGivesTheDefaultsAndTheOneTimeWrites) {
  ScopedHome home;
  CSettingCfg cfg;
  cfg.Load();
  EXPECT_EQ(cfg.axisAlign, 2);
  EXPECT_EQ(cfg.rightBlank, 60);
  EXPECT_EQ(cfg.dynaAvgPeriod, 20);
  EXPECT_EQ(cfg.higeLowMiDu, 2);
  EXPECT_EQ(cfg.bossKey, 74);
  EXPECT_EQ(cfg.multiAvgQty, 5);
  EXPECT_EQ(cfg.dbClickOrderAction, 1);
  EXPECT_EQ(cfg.infoPanelLevel, 5);
  EXPECT_EQ(cfg.chineseFont.faceName, "WenQuanYi Micro Hei");
  // No "\user\layout\frame.lyt": LoadLayout is written 1; the reset mark is written as well.
  EXPECT_EQ(Ini(home, "Gernral", "LoadLayout"), "1");
  EXPECT_EQ(Ini(home, "Trade", "vvsionDBPos"), "1");
}

TEST(SettingCfg, LoadRulesBossKeyFlagsAndNonNumericValues) {
  ScopedHome home;
  tarn::test::WriteFile(home.Native("\\config\\setting.ini"),
                        "[Gernral]\r\nBossKey=0\r\nNeedBossKey=7\r\nLoadLayout=0\r\n"
                        "[Chart]\r\nRightBlank=abc\r\nAxisAlign= 3x\r\n[Trade]\r\nvvsionDBPos=1\r\n"
                        "nDbClickPositionAction=2\r\n");
  tarn::test::WriteFile(home.Native("\\user\\layout\\frame.lyt"), "x");
  CSettingCfg cfg;
  cfg.Load();
  EXPECT_EQ(cfg.bossKey, 74);
  EXPECT_EQ(cfg.needBossKey, 1);
  EXPECT_EQ(cfg.loadLayout, 1);                      // in use 1 whatever the file says
  EXPECT_EQ(Ini(home, "Gernral", "LoadLayout"), "0");  // not rewritten: frame.lyt exists
  EXPECT_EQ(cfg.rightBlank, 60);                      // not a number: the default
  EXPECT_EQ(cfg.axisAlign, 3);
  EXPECT_EQ(cfg.dbClickPositionAction, 2);            // the reset was done before
}

TEST(SettingCfg, PositionActionIsResetOnceAndTheResetSticks) {
  ScopedHome home;
  tarn::test::WriteFile(home.Native("\\config\\setting.ini"), "[Trade]\r\nnDbClickPositionAction=2\r\n");
  CSettingCfg cfg;
  cfg.Load();
  EXPECT_EQ(cfg.dbClickPositionAction, 0);
  EXPECT_EQ(Ini(home, "Trade", "vvsionDBPos"), "1");
  // The next start keeps the reset, and a user's later choice is kept after that.
  CSettingCfg again;
  again.Load();
  EXPECT_EQ(again.dbClickPositionAction, 0);
  again.dbClickPositionAction = 2;
  ASSERT_TRUE(again.Save());
  CSettingCfg third;
  third.Load();
  EXPECT_EQ(third.dbClickPositionAction, 2);
}

TEST(SettingCfg, SaveWritesEveryKeyAndRoundTrips) {
  ScopedHome home;
  CSettingCfg cfg;
  cfg.Load();
  cfg.rightBlank = 33;
  cfg.zfKind = 2;
  cfg.infoPanelLevel = 10;
  cfg.engFont.faceName = "Mono";
  ASSERT_TRUE(cfg.Save());
  EXPECT_EQ(Ini(home, "Chart", "NeedHoldOrderLine"), "1");
  EXPECT_EQ(Ini(home, "Chart", "bZoomWhenShowCursor"), "0");
  EXPECT_EQ(Ini(home, "Panel", "MultiAvgQty"), "5");
  EXPECT_EQ(Ini(home, "InfoPanelLevel", "Value"), "10");
  EXPECT_EQ(Ini(home, "GridEngFont", "FontName"), "Mono");
  CSettingCfg back;
  back.Load();
  EXPECT_EQ(back.rightBlank, 33);
  EXPECT_EQ(back.zfKind, 2);
  EXPECT_EQ(back.engFont.faceName, "Mono");
  EXPECT_EQ(back.infoPanelLevel, 5);  // the depth is read from the user's file, not this one
}

TEST(SettingCfg, FaceNameKeepsAtMost31BytesWithoutHalfCharacters) {
  ScopedHome home;
  const std::string longName = TXT("微软雅黑微软雅黑微软雅黑微软雅黑微软雅黑");  // 40 bytes
  tarn::Profile::WriteString(home.Native("\\config\\setting.ini"), "GridChineseFont", "FontName", longName);
  CSettingCfg cfg;
  cfg.Load();
  EXPECT_EQ(cfg.chineseFont.faceName.size(), 30u);
  EXPECT_EQ(cfg.chineseFont.faceName, longName.substr(0, 30));
}

TEST(SettingCfg, TruncatedAndGarbageFilesGiveDefaults) {
  ScopedHome home;
  tarn::test::WriteFile(home.Native("\\config\\setting.ini"), "[Chart]\r\nRightBlank=4");
  CSettingCfg a;
  a.Load();
  EXPECT_EQ(a.rightBlank, 4);
  EXPECT_EQ(a.dynaAvgPeriod, 20);
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131) & 0xFF);
  tarn::test::WriteFile(home.Native("\\config\\setting.ini"), garbage);
  CSettingCfg b;
  b.Load();
  EXPECT_EQ(b.dynaAvgPeriod, 20);
  EXPECT_EQ(b.bossKey, 74);
}

class Recorder : public ISettingCfgNotify {
 public:
  std::vector<bool> calls;
  void OnSettingCfgChanged(bool f) override { calls.push_back(f); }
};

TEST(SettingCfg, GeneralChoicesWriteBothFilesAndTellListeners) {
  ScopedHome home;
  ReloadSettingCfg();
  Recorder r;
  GetSettingCfg().AddListener(&r);
  GeneralChoices c = ReadGeneralChoices();
  EXPECT_TRUE(c.tradeConfirm);
  EXPECT_EQ(c.mouseWheelIndex, 0);
  EXPECT_EQ(c.infoPanelLevel, 5);
  c.tradeConfirm = false;
  c.mouseWheelIndex = 1;
  c.positionAction = 1;
  c.orderAction = 2;
  c.infoPanelLevel = 10;
  ASSERT_TRUE(ApplyGeneralChoices(c));
  GetSettingCfg().RemoveListener(&r);
  ASSERT_EQ(r.calls.size(), 1u);
  const std::string user = home.Native("\\user\\setting.ini");
  EXPECT_EQ(tarn::Profile::GetString(user, "TradeConfirm", "Value", ""), "0");
  EXPECT_EQ(tarn::Profile::GetString(user, "CoverConfirm", "Value", ""), "1");
  EXPECT_EQ(tarn::Profile::GetString(user, "InfoPanelLevel", "Value", ""), "10");
  EXPECT_EQ(Ini(home, "Chart", "MouseWheel"), "2");
  EXPECT_EQ(Ini(home, "Trade", "nDbClickPositionAction"), "1");
  EXPECT_EQ(Ini(home, "Trade", "nDbClickOrderAction"), "2");
  EXPECT_EQ(Ini(home, "InfoPanelLevel", "Value"), "10");
  const GeneralChoices back = ReadGeneralChoices();
  EXPECT_FALSE(back.tradeConfirm);
  EXPECT_EQ(back.mouseWheelIndex, 1);
  EXPECT_EQ(back.infoPanelLevel, 10);
}

TEST(UserSetting, DefaultsAndDepthRule) {
  ScopedHome home;
  EXPECT_TRUE(UserSetting::CoverConfirm());
  EXPECT_TRUE(UserSetting::SnapDrawing());
  EXPECT_FALSE(UserSetting::LinkPeriod());
  EXPECT_EQ(UserSetting::SecondToolbar(), "");
  tarn::test::WriteFile(home.Native("\\user\\setting.ini"), "[InfoPanelLevel]\r\nValue=7\r\n");
  EXPECT_EQ(UserSetting::InfoPanelLevel(), 5);
  ASSERT_TRUE(UserSetting::SetSecondToolbar(true));
  EXPECT_EQ(UserSetting::SecondToolbar(), "1");
}

}  // namespace
