// CDlgLogin: account, password and trade server; logs in to the quote library and then to the
// trade library, showing the libraries' progress texts, and closes with OK when the trade
// login succeeds. In trade-only mode (menu 32780, the status bar's double click) the quote
// link is kept and only the trade login runs. The logic is LoginFlow.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/login_flow.h"
#include "ui/dialog.h"

class QComboBox;

class CDlgLogin : public tarn::ui::Dialog {
  Q_OBJECT
 public:
  explicit CDlgLogin(bool tradeOnly = false, QWidget* parent = nullptr);
  ~CDlgLogin() override;

  void OnOk() override;
  tarn::LoginFlow& Flow() { return flow_; }

  QLineEdit* account = nullptr;   // 1000
  QLineEdit* password = nullptr;  // 1001
  QComboBox* server = nullptr;    // 1117
  QLabel* progress = nullptr;     // 1080
  QLabel* version = nullptr;      // 1125
  QPushButton* okButton = nullptr;      // 1 "登陆"
  QPushButton* cancelButton = nullptr;  // 2 "取消"

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void Apply(const tarn::LoginEffects& fx);
  tarn::LoginFlow flow_;
};
