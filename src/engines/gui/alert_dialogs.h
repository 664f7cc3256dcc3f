// The quote alert windows: the add/modify dialog CDlgAddQuoteAlert, the alert list
// CDlgAlertSetting (modeless, created once by the main menu) and the history CDlgAllAlertInfo.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <functional>

#include "engines/alert_center.h"
#include "ui/dialog.h"

constexpr int kMsgAlertFired = 1001;

// Edits one alert: the contract (read-only name, chosen with the chooser button) and five
// boxes. OK ends with Accepted; Alert() then holds the parsed alert (fired flags as given).
class CDlgAddQuoteAlert : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgAddQuoteAlert(const QuoteAlert& alert, QWidget* parent = nullptr);

  const QuoteAlert& Alert() const { return alert_; }
  void OnOk() override;
  // The chooser button: opens the contract selection dialog through the hook.
  void ChooseContract();

  QLabel* contractName = nullptr;
  QPushButton* chooseButton = nullptr;
  QLineEdit* upperPrice = nullptr;
  QLineEdit* lowerPrice = nullptr;
  QLineEdit* lastQty = nullptr;
  QLineEdit* volume = nullptr;
  QLineEdit* openInterest = nullptr;

 private:
  void ShowContract();
  QuoteAlert alert_;
};

class CDlgAllAlertInfo : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgAllAlertInfo(QWidget* parent = nullptr);
  QPlainTextEdit* text = nullptr;
};

class CDlgAlertSetting : public tarn::ui::Dialog, public IQuoteAlertListener {
  Q_OBJECT
 public:
  explicit CDlgAlertSetting(QWidget* parent = nullptr);
  ~CDlgAlertSetting() override;

  // Posts message 1001 to itself; the list refreshes when it arrives.
  void OnQuoteAlert(const DC_Contract& contract, const std::string& message) override;

  void Refresh();
  void Add();
  void Modify();
  void Delete();
  void Clear();
  void ShowHistory();

  // Runs the add/modify dialog; true on OK. Tests replace it.
  std::function<bool(CDlgAddQuoteAlert&)> runEditor;
  // Opens the history dialog. Tests replace it.
  std::function<void(CDlgAllAlertInfo*)> openHistory;

  QTableWidget* list = nullptr;
  QCheckBox* sound = nullptr;
  QPushButton* addButton = nullptr;
  QPushButton* modifyButton = nullptr;
  QPushButton* deleteButton = nullptr;
  QPushButton* clearButton = nullptr;
  QPushButton* historyButton = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  std::vector<QuoteAlert> shown_;  // the rows' alerts, UI thread
};
