// The colour scheme file, the background rule, the predefined schemes and the festive switch.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"
#include "tools/color_scheme.h"

namespace {

using tarn::test::ScopedHome;

TEST(ColorScheme, MissingFileIsCreatedWithTheDefaults) {
  ScopedHome home;
  const ColorTable t = LoadColorFile();
  EXPECT_EQ(t, DefaultColors());
  const std::string file = home.Native("\\config\\ColorSetting.ini");
  ASSERT_TRUE(tarn::test::Exists(file));
  EXPECT_EQ(tarn::Profile::GetString(file, "Current", "BiaoTi", ""), "5063997");
  EXPECT_EQ(tarn::Profile::GetString(file, "Current", "DiShiTiao", ""), "8421376");
  EXPECT_EQ(tarn::Profile::GetString(file, "Current", "DiSe", ""), "0");
  EXPECT_STREQ(ColorKey(kColorYinXian), "YinXian");
  EXPECT_EQ(DefaultColors()[kColorYinXian], 5358351u);
}

TEST(ColorScheme, BackgroundRuleAndDamagedValues) {
  ScopedHome home;
  tarn::test::WriteFile(home.Native("\\config\\ColorSetting.ini"),
                        "[Current]\r\nDiSe=3025701\r\nBiaoTi=abc\r\nXiaDie=255\r\n[Current\r\n");
  ColorTable t = LoadColorFile();
  EXPECT_EQ(t[kColorDiSe], 1052173u);
  EXPECT_EQ(t[kColorBiaoTi], 5063997u);  // not a number: the default
  EXPECT_EQ(t[kColorXiaDie], 255u);
  EXPECT_EQ(BackgroundAsRead(1512980), 1052173u);
  EXPECT_EQ(BackgroundAsRead(1512981), 1512981u);
  // Garbage: defaults throughout, no crash.
  std::string garbage;
  for (int i = 0; i < 2000; ++i) garbage += static_cast<char>((i * 97 + 13) & 0xFF);
  tarn::test::WriteFile(home.Native("\\config\\ColorSetting.ini"), garbage);
  t = LoadColorFile();
  EXPECT_EQ(t[kColorZiFuXianShi], 15129800u);
}

class Watcher : public IColorSchemeNotify {
 public:
  int calls = 0;
  void OnColorSchemeChanged() override { ++calls; }
};

TEST(ColorScheme, PredefinedSchemesAndTheFestiveSwitch) {
  ScopedHome home;
  GetColorScheme().Reload();
  const auto& schemes = PredefinedSchemes();
  ASSERT_EQ(schemes.size(), 6u);
  const int ids[] = {1019, 1020, 1046, 1047, 1048, 1052};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(schemes[i].commandId, ids[i]);
  EXPECT_EQ(schemes[0].colors, DefaultColors());
  EXPECT_TRUE(schemes[5].festive);
  for (int i = 1; i < 6; ++i) EXPECT_NE(schemes[i].colors, DefaultColors()) << i;

  Watcher w;
  GetColorScheme().AddListener(&w);
  ASSERT_TRUE(ChoosePredefinedScheme(schemes[5]));
  EXPECT_TRUE(FestiveSchemeEnabled());
  EXPECT_EQ(tarn::Profile::GetString(home.Native("\\config\\chunjie.ini"), "Current", "Enable", ""), "1");
  EXPECT_EQ(GetColorScheme().Get(kColorDiSe), schemes[5].colors[kColorDiSe]);
  ASSERT_TRUE(ChoosePredefinedScheme(schemes[2]));
  EXPECT_EQ(tarn::Profile::GetString(home.Native("\\config\\chunjie.ini"), "Current", "Enable", ""), "0");
  EXPECT_EQ(LoadColorFile(), schemes[2].colors);
  GetColorScheme().RemoveListener(&w);
  EXPECT_EQ(w.calls, 2);
  EXPECT_EQ(GetColorScheme().Get(99), GetColorScheme().Get(kColorZiFuXianShi));
}

}  // namespace
