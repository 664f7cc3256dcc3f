// The two account dialogs of the trade menu: CDlgModiPwd changes the trading password,
// CDlgShowSettleInfo shows the broker's settlement statement of a chosen day. Both hear the
// answer as a trade notification on the library's thread, keep it under their lock and carry
// it to the UI thread with message 1001.
#pragma once

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "data/trade_api.h"
#include "platform/sync.h"
#include "ui/dialog.h"

constexpr int kMsgTradeAnswer = 1001;

class CDlgModiPwd : public tarn::ui::Dialog, public CTradeListener {
  Q_OBJECT
 public:
  explicit CDlgModiPwd(QWidget* parent = nullptr);
  ~CDlgModiPwd() override;

  void OnOk() override;
  void OnPasswordChanged(const AccountTexts& account, const PasswordChangeResult& result) override;

  QLineEdit* oldPassword = nullptr;   // 1000
  QLineEdit* newPassword = nullptr;   // 1001
  QLineEdit* confirmation = nullptr;  // 1093

 protected:
  bool event(QEvent* e) override;

 private:
  tarn::CriticalSection mutex_;
  PasswordChangeResult result_{};
  std::string sentPassword_;  // the new password of the change under way (UI thread)
};

class CDlgShowSettleInfo : public tarn::ui::Dialog, public CTradeListener {
  Q_OBJECT
 public:
  explicit CDlgShowSettleInfo(QWidget* parent = nullptr);
  ~CDlgShowSettleInfo() override;

  // The query button: the picker's date as year * 10000 + month * 100 + day.
  void Query();
  void OnOk() override;
  void OnSettlementInfo(int value, const std::string& text) override;

  QDateEdit* date = nullptr;            // 1116
  QPlainTextEdit* statement = nullptr;  // 1000
  QPushButton* queryButton = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  tarn::CriticalSection mutex_;
  std::string text_;
};

// The about box: the terminal's name, icon and "版本号:%s".
class CDlgAbout : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgAbout(QWidget* parent = nullptr);
  QString VersionLine() const;

 private:
  QString version_;
};
