// CDlgTickStatistic: the day's ticks of one contract, classified, as a list of big orders
// ("大单筛选") or of time slices ("切片分析"), with the totals of the chosen span. The dialog is a
// quote client of the contract: on its quotes and new ticks it fetches the day's ticks again.
// The filter button runs the computation on a worker thread of its own, which posts 1822
// (WM_USER+798) after each row and 1821 (WM_USER+797) with the outcome.
#pragma once

#include <QDateTime>
#include <atomic>
#include <thread>
#include <vector>

#include "data/data_listener.h"
#include "tools/tick_statistic.h"
#include "ui/dialog.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

class CDlgTickStatistic : public tarn::ui::Dialog, public CQuoteDataClient {
  Q_OBJECT
 public:
  static constexpr int kMsgRowAdded = 0x400 + 798;  // wParam: rows so far
  static constexpr int kMsgDone = 0x400 + 797;      // wParam: 0 done, -1 nothing passed
  static constexpr int kMsgTicksChanged = 0x400 + 799;

  explicit CDlgTickStatistic(const DC_Contract& contract, QWidget* parent = nullptr);
  ~CDlgTickStatistic() override;

  // The filter button: starts the worker with the current inputs and the pickers' span.
  void RunFilter();
  // Fetches the day's ticks again and moves the pickers the user has not set.
  void ReloadTicks();
  bool Running() const { return worker_.joinable() && !finished_; }
  // The inputs as the controls hold them.
  tarn::TickFilterInputs Inputs() const;
  const std::vector<TickRecord>& DayList() const { return day_; }
  const tarn::SpanSummary& Summary() const { return summary_; }
  // Enter runs the filter.
  void OnOk() override;

  int OnQuote(int status, const DC_Quote* quote) override;
  void OnTickData(const DC_Contract* record) override;

  QTabWidget* tabs = nullptr;
  QTreeWidget* bigList = nullptr;
  QTreeWidget* sliceList = nullptr;
  QSpinBox* quantity = nullptr;
  QSpinBox* oiChange = nullptr;
  QSpinBox* sliceMinutes = nullptr;
  QComboBox* side = nullptr;
  QComboBox* cls = nullptr;
  QDateTimeEdit* from = nullptr;
  QDateTimeEdit* to = nullptr;
  QPushButton* filterButton = nullptr;
  QLabel* spanLabel = nullptr;
  QLabel* countLabel = nullptr;
  QLabel* totalLabel = nullptr;
  QLabel* averageLabel = nullptr;
  QLabel* shareLabel = nullptr;
  QLabel* progressLabel = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  void Start(int64_t from, int64_t to);
  void TakeResult(int outcome);
  void StopWorker();
  void Fill();
  void SetControlsEnabled(bool on);
  void ShowSummary();

  DC_Contract contract_;
  int decimals_ = 2;
  std::vector<TickRecord> day_;
  bool fromSet_ = false;
  bool toSet_ = false;
  bool settingPickers_ = false;
  bool userRun_ = false;  // the filter button was used (the first run is automatic)
  std::atomic<bool> reloadPosted_{false};

  tarn::CriticalSection mutex_;  // the worker's result
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{true};
  tarn::TickStatisticResult result_;
  int64_t spanFrom_ = 0;
  int64_t spanTo_ = 0;
  tarn::SpanSummary summary_;
};
