#include "app/gui/tarn_client_app.h"

#include <unistd.h>

#include <QApplication>
#include <cstdio>

#include "app/gui/dlg_login.h"
#include "app/gui/embedded_libraries.h"
#include "app/gui/main_frame.h"
#include "app/gui/screenshots.h"
#include "app/gui/startup_report.h"
#include "app/startup.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tools/gui/scheme_theme.h"
#include "tools/ping.h"
#include "tools/setting_cfg.h"
#include "ui/fonts.h"
#include "ui/message_box_qt.h"
#include "ui/sound_player_alsa.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

CTarnClientApp::CTarnClientApp(int argc, char** argv) : argc_(argc), argv_(argv) {}

CTarnClientApp::~CTarnClientApp() {
  frame_.reset();
  tarn::PingService::Instance().Shutdown();
  tarn::RemoveEmbeddedLibraries();
  tarn::ui::RemoveMessageBoxHandler();
  sound_.reset();
  theme_.reset();
  mutex_.Release();
}

bool CTarnClientApp::CheckSingleInstance() {
  if (TakeMutex()) return true;
  tarn::MessageBox(TXT("程序已经启动"));
  return false;
}

bool CTarnClientApp::TakeMutex() {
  const std::string name = tarn::MutexName(tarn::ProgramDir());
  switch (mutex_.Acquire(name)) {
    case tarn::SingleInstanceLock::Result::Acquired:
      return true;
    case tarn::SingleInstanceLock::Result::AlreadyHeld:
      return false;
    case tarn::SingleInstanceLock::Result::Error:
      // Only a copy that holds the lock proves a second start; a lock file that cannot be
      // opened (a folder we may not write, a file of someone else) is no reason to refuse.
      std::fprintf(stderr, "tarn: cannot take the single-instance lock %s; running without it\n",
                   tarn::SingleInstanceLock::LockPath(name).c_str());
      return true;
  }
  return true;
}

void CTarnClientApp::InitToolkit() {
  // The application's identity: "TarnClient" names its settings store as the registry key did.
  QApplication::setOrganizationName(QStringLiteral("TarnClient"));
  QApplication::setApplicationName(QStringLiteral("TarnClient"));
  QApplication::setApplicationDisplayName(tarn::ui::ToQString(TXT("Tarn交易分析终端")));
  // The installed desktop entry (tarn.desktop), so that the desktop shows its name and icon.
  QApplication::setDesktopFileName(QStringLiteral("tarn"));
  tarn::ui::InitFonts();
  theme_ = std::make_unique<tarn::SchemeThemeWatcher>();
  tarn::ui::InstallMessageBoxHandler(tarn::ui::ToQString(TXT("Tarn交易分析终端")));
  sound_ = std::make_unique<tarn::ui::SoundPlayerAlsa>();
  GetSettingCfg();
  const std::string missing = tarn::InstallEmbeddedLibraries();
  if (!missing.empty()) std::fprintf(stderr, "tarn: this build has no embedded %s\n", missing.c_str());
}

bool CTarnClientApp::InitInstance(int* exitCode) {
  *exitCode = 0;
  // Message boxes (in the default dark theme) before anything else, so that a second copy can
  // say why it ends; it touches no file.
  tarn::ui::InitFonts();
  tarn::ui::ApplyTheme(tarn::ui::DefaultThemeColors());
  tarn::ui::InstallMessageBoxHandler(tarn::ui::ToQString(TXT("Tarn交易分析终端")));
  // 1. One copy per program directory.
  if (!CheckSingleInstance()) return false;
  // 2. The updater takes over when one is installed.
  if (tarn::HandOverToUpdater(tarn::JoinCommandLine(argc_, argv_), static_cast<int>(::getpid()))) return false;
  // 3. The toolkit and the libraries.
  InitToolkit();
  // 4. The login; anything but OK ends the process.
  {
    CDlgLogin login(false);
    if (login.exec() != QDialog::Accepted) return false;
  }
  // 5, 6. The main frame.
  frame_ = std::make_unique<CMainFrame>();
  frame_->PlaceOnDesktop();
  return true;
}

int CTarnClientApp::Run() { return QApplication::exec(); }

int CTarnClientApp::RunScreenshots(const QString& dir) {
  if (!TakeMutex()) {
    std::fprintf(stderr, "tarn: another copy runs in this program directory\n");
    return 2;
  }
  InitUnattended();
  return tarn::RunScreenshotSession(dir, tarn::DemoAccountFromEnvironment(argc_, argv_));
}

void CTarnClientApp::InitUnattended() {
  InitToolkit();
  // No box may wait for a click: every box is written to standard error and answered OK.
  tarn::SetMessageBoxHandler([](const tarn::MessageBoxRequest& r) {
    std::fprintf(stderr, "tarn: [box] %s\n", tarn::GbkToUtf8(r.text).c_str());
    return tarn::MsgAnswer::Ok;
  });
}

int CTarnClientApp::RunStartupReport() {
  if (!TakeMutex()) {
    std::fprintf(stderr, "tarn: another copy runs in this program directory\n");
    return 2;
  }
  InitUnattended();
  return tarn::RunStartupReport(tarn::DemoAccountFromEnvironment(argc_, argv_));
}
