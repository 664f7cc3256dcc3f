// The tools' windows: the settings dialog, the colour dialog and the ping dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "platform/profile.h"
#include "support/test_support.h"
#include "tools/gui/dlg_ping_server.h"
#include "tools/gui/dlg_setting.h"
#include "tools/gui/scheme_theme.h"
#include "tools/gui/setting_color.h"
#include "ui/theme.h"

namespace {

using tarn::test::ScopedHome;

TEST(DlgSetting, OpensWithTheFilesAndOkWritesThem) {
  ScopedHome home;
  tarn::test::WriteFile(home.Native("\\user\\setting.ini"), "[CoverConfirm]\r\nValue=0\r\n[InfoPanelLevel]\r\nValue=10\r\n");
  ReloadSettingCfg();
  CDlgSetting d;
  EXPECT_TRUE(d.tradeConfirm->isChecked());
  EXPECT_FALSE(d.coverConfirm->isChecked());
  EXPECT_EQ(d.mouseWheel->currentText(), QStringLiteral("缩放图表"));
  EXPECT_EQ(d.mouseWheel->count(), 2);
  EXPECT_EQ(d.positionAction->count(), 3);
  EXPECT_EQ(d.panelLevel->currentIndex(), 1);
  d.show();
  d.mouseWheel->setCurrentIndex(1);
  d.orderAction->setCurrentIndex(0);
  QTest::keyClick(&d, Qt::Key_Return);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(GetSettingCfg().mouseWheel, 2);
  EXPECT_EQ(GetSettingCfg().dbClickOrderAction, 0);
  EXPECT_EQ(tarn::Profile::GetString(home.Native("\\user\\setting.ini"), "CoverConfirm", "Value", ""), "0");
  EXPECT_EQ(tarn::Profile::GetString(home.Native("\\config\\setting.ini"), "Chart", "MouseWheel", ""), "2");
}

TEST(SettingColor, SchemeButtonsApplyAtOnceAndOkStoresEdits) {
  ScopedHome home;
  GetColorScheme().Reload();
  tarn::SchemeThemeWatcher watcher;
  CSettingColor d;
  EXPECT_EQ(d.list->count(), kColorCount);
  ASSERT_NE(d.SchemeButton(1052), nullptr);
  d.SchemeButton(1052)->click();
  QTest::qWait(10);
  const auto& festive = PredefinedSchemes()[5];
  EXPECT_EQ(d.Colors(), festive.colors);
  EXPECT_TRUE(FestiveSchemeEnabled());
  EXPECT_EQ(LoadColorFile(), festive.colors);
  // The theme follows the scheme.
  EXPECT_EQ(tarn::ui::Theme().background, tarn::ui::FromColorref(festive.colors[kColorDiSe]));
  d.SchemeButton(1019)->click();
  EXPECT_FALSE(FestiveSchemeEnabled());
  d.SetColor(kColorXiaDie, tarn::Rgb(1, 2, 3));
  d.OnOk();
  EXPECT_EQ(GetColorScheme().Get(kColorXiaDie), tarn::Rgb(1, 2, 3));
  EXPECT_EQ(LoadColorFile()[kColorXiaDie], tarn::Rgb(1, 2, 3));
}

std::atomic<int> g_probes{0};
tarn::ProbeResult QuickProbe(const std::string&) {
  ++g_probes;
  return {0, 7};
}

TEST(DlgPingServer, StartShowsLinesStopEndsThemAndClosingWhileRunningIsSafe) {
  tarn::PingService::Instance().SetProbe(&QuickProbe);
  tarn::PingService::Instance().SetIntervalMs(5);
  {
    CDlgPingServer d(tarn::PingTargets("127.0.0.1", "127.0.0.1", ""));
    d.show();
    EXPECT_FALSE(d.stopButton->isEnabled());
    d.startButton->click();
    EXPECT_FALSE(d.startButton->isEnabled());
    EXPECT_TRUE(d.stopButton->isEnabled());
    for (int i = 0; i < 200 && d.output->document()->blockCount() < 3; ++i) QTest::qWait(5);
    const QStringList lines = d.output->toPlainText().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("正在Ping  行情服务器   延时7毫秒")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("交易服务器")));
    QTest::keyClick(&d, Qt::Key_Return);  // Enter stops while running
    EXPECT_TRUE(d.startButton->isEnabled());
    EXPECT_TRUE(d.isVisible());
    QTest::qWait(30);
    const QString after = d.output->toPlainText();
    QTest::qWait(30);
    EXPECT_EQ(d.output->toPlainText(), after);
    d.startButton->click();
    EXPECT_TRUE(d.output->toPlainText().isEmpty() || !d.output->toPlainText().startsWith(after));
  }  // destroyed while running
  QTest::qWait(30);
  tarn::PingService::Instance().Shutdown();
  EXPECT_EQ(tarn::PingService::Instance().RunningJobs(), 0);
  tarn::PingService::Instance().SetProbe(nullptr);
  tarn::PingService::Instance().SetIntervalMs(1000);
}

}  // namespace
