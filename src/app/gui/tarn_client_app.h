// CTarnClientApp: the terminal's start-up and exit. In order: the single-instance mutex
// ("程序已经启动" for a second copy), the updater hand-over (unless "noinvoke"), the toolkit
// (fonts, theme from the colour scheme, message boxes, sounds) and the libraries, the login
// dialog, then the main frame on the desktop shrunk by 100 pixels on each side.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "platform/single_instance.h"

class CMainFrame;
namespace tarn {
class SchemeThemeWatcher;
namespace ui {
class SoundPlayerAlsa;
}
}  // namespace tarn

class CTarnClientApp {
 public:
  CTarnClientApp(int argc, char** argv);
  ~CTarnClientApp();

  // Runs the start-up; false when the process should end (second copy, updater started,
  // login cancelled). `exitCode` is the code to end with.
  bool InitInstance(int* exitCode);
  // The message loop, then the exit.
  int Run();
  // `tarn --screenshot DIR`: logs in by itself, writes the windows' images and returns.
  int RunScreenshots(const QString& dir);
  // `tarn --startup-report`: logs in by itself, prints the start-up figures and returns.
  int RunStartupReport();

  // The start-up steps before any window, for tests: the mutex (false: a second copy holds
  // it; a lock that cannot be taken at all lets the terminal run without one), and
  // the same with the box "程序已经启动" for a second copy.
  bool TakeMutex();
  bool CheckSingleInstance();

 private:
  void InitToolkit();
  // The toolkit for a run without a user: message boxes go to standard error, answered OK.
  void InitUnattended();

  int argc_;
  char** argv_;
  tarn::SingleInstanceLock mutex_;
  std::unique_ptr<tarn::SchemeThemeWatcher> theme_;
  std::unique_ptr<tarn::ui::SoundPlayerAlsa> sound_;
  std::unique_ptr<CMainFrame> frame_;
};
