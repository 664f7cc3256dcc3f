// CDlgPingServer: pings the servers of the current login, one line per probe. The worker is
// the process's PingService; this dialog is its sink while it runs, and the lines come to the
// UI thread as message 1321.
#pragma once

#include <vector>

#include "tools/ping.h"
#include "ui/dialog.h"

class QPlainTextEdit;
class QPushButton;

class CDlgPingServer : public tarn::ui::Dialog, public tarn::IPingSink {
  Q_OBJECT
 public:
  static constexpr int kMsgPingLine = 1321;

  CDlgPingServer(std::vector<tarn::PingTarget> targets, QWidget* parent = nullptr);
  ~CDlgPingServer() override;

  void Start();  // button 1006
  void Stop();   // button 1007
  // Enter presses the enabled one of the two (the dialog has no OK); Escape closes.
  void OnOk() override;
  const std::vector<tarn::PingTarget>& Targets() const { return targets_; }

  // Called by the worker under the service's lock: posts the line to the UI thread.
  void PostLine(std::string line) override;

  QPlainTextEdit* output = nullptr;  // 1000
  QPushButton* startButton = nullptr;  // 1006
  QPushButton* stopButton = nullptr;   // 1007

 protected:
  bool event(QEvent* e) override;

 private:
  void Append(const QString& line);
  std::vector<tarn::PingTarget> targets_;
};
