// `tarn --screenshot DIR`: logs in with the demo account by itself, then writes a PNG image of
// the login dialog, the main frame and every registered window into DIR.
//
// The account comes from "--account NAME --password TEXT", else from TARN_DEMO_ACCOUNT and
// TARN_DEMO_PASSWORD, else the defaults "8001" / "888888" (the demo account of the embedded
// broker).
#pragma once

#include <QString>
#include <string>

#include "ui/screenshot.h"

class CDlgLogin;

namespace tarn {

struct DemoAccount {
  std::string account;   // GBK (ASCII in practice)
  std::string password;
};
DemoAccount DemoAccountFromEnvironment(int argc, char** argv);

// Fills the login dialog with the demo account and the first server (when none is chosen).
void FillDemoLogin(CDlgLogin& login, const DemoAccount& demo);
// Presses OK and waits (pumping events) until the login succeeded or failed, at most
// `timeoutMs`; true on success. On failure *error holds the dialog's progress text (UTF-8).
bool FinishDemoLogin(CDlgLogin& login, int timeoutMs, std::string* error);

// Registers the shell's own windows.
void RegisterShellScreenshots(ui::ScreenshotRegistry& registry);

// The whole session; returns 0 when the login succeeded and every image was written, 1 when
// the login failed (the login images and the windows that need no login are written still).
int RunScreenshotSession(const QString& dir, const DemoAccount& demo, int loginTimeoutMs = 30000);

}  // namespace tarn
