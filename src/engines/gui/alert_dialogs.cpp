#include "engines/gui/alert_dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "engines/alert_forms.h"
#include "engines/gui/engine_widgets.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

// ---- CDlgAddQuoteAlert ---------------------------------------------------------------------

CDlgAddQuoteAlert::CDlgAddQuoteAlert(const QuoteAlert& alert, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("行情预警")), alert_(alert) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(18), Scaled(12), Scaled(18), Scaled(12));
  root->setSpacing(Scaled(10));
  auto* form = new QFormLayout;
  form->setVerticalSpacing(Scaled(8));
  auto* contractRow = new QHBoxLayout;
  contractName = new QLabel(Body());
  contractName->setMinimumWidth(Scaled(150));
  contractName->setFrameShape(QFrame::StyledPanel);
  chooseButton = tarn::ui::MakeButton(Body(), QStringLiteral("选择..."), [this] { ChooseContract(); });
  chooseButton->setEnabled(static_cast<bool>(tarn::GetContractChooser()));
  if (!chooseButton->isEnabled()) chooseButton->setToolTip(QStringLiteral("合约选择不可用"));
  contractRow->addWidget(contractName, 1);
  contractRow->addWidget(chooseButton);
  form->addRow(QStringLiteral("合约:"), contractRow);
  auto edit = [this] {
    auto* e = new QLineEdit(Body());
    e->setAlignment(Qt::AlignRight);
    e->setMinimumWidth(Scaled(150));
    return e;
  };
  upperPrice = edit();
  lowerPrice = edit();
  lastQty = edit();
  volume = edit();
  openInterest = edit();
  form->addRow(QStringLiteral("价格上限:"), upperPrice);
  form->addRow(QStringLiteral("价格下限:"), lowerPrice);
  form->addRow(QStringLiteral("现手上限:"), lastQty);
  form->addRow(QStringLiteral("成交量上限:"), volume);
  form->addRow(QStringLiteral("持仓量上限:"), openInterest);
  root->addLayout(form);
  root->addWidget(tarn::ui::MakeOkCancel(this));

  const tarn::AlertInputTexts t = tarn::AlertInputFor(alert_, PriceDecimals(alert_.contract));
  upperPrice->setText(ToQString(t.upperPrice));
  lowerPrice->setText(ToQString(t.lowerPrice));
  lastQty->setText(ToQString(t.lastQty));
  volume->setText(ToQString(t.volume));
  openInterest->setText(ToQString(t.openInterest));
  ShowContract();
  upperPrice->setFocus();
}

void CDlgAddQuoteAlert::ShowContract() { contractName->setText(ToQString(alert_.contract.Name())); }

void CDlgAddQuoteAlert::ChooseContract() {
  const tarn::ContractChooser& chooser = tarn::GetContractChooser();
  if (!chooser) return;
  DC_Contract c = alert_.contract;
  if (chooser(this, &c)) {
    alert_.contract = c;
    ShowContract();
  }
}

void CDlgAddQuoteAlert::OnOk() {
  tarn::AlertInputTexts t;
  t.upperPrice = ToGbk(upperPrice->text());
  t.lowerPrice = ToGbk(lowerPrice->text());
  t.lastQty = ToGbk(lastQty->text());
  t.volume = ToGbk(volume->text());
  t.openInterest = ToGbk(openInterest->text());
  alert_ = tarn::ApplyAlertInput(alert_, t);
  Finish(QDialog::Accepted);
}

// ---- CDlgAllAlertInfo ----------------------------------------------------------------------

CDlgAllAlertInfo::CDlgAllAlertInfo(QWidget* parent) : tarn::ui::Dialog(parent, QStringLiteral("报警记录")) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(6), Scaled(6), Scaled(6), Scaled(6));
  text = new QPlainTextEdit(Body());
  text->setReadOnly(true);
  text->setMinimumSize(Scaled(440), Scaled(380));
  root->addWidget(text);
  std::vector<AlertLogEntry> history;
  CAlertCenter::Instance().CopyHistory(history);
  text->setPlainText(tarn::ui::MultiLine(tarn::AlertHistoryText(history)));
}

// ---- CDlgAlertSetting ----------------------------------------------------------------------

CDlgAlertSetting::CDlgAlertSetting(QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("行情预警")), IQuoteAlertListener(false) {
  setModal(false);
  runEditor = [](CDlgAddQuoteAlert& d) { return d.exec() == QDialog::Accepted; };
  openHistory = [](CDlgAllAlertInfo* d) {
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->show();
  };
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(8), Scaled(8), Scaled(8), Scaled(8));
  root->setSpacing(Scaled(8));
  list = tarn::ui::MakeListTable(Body(), tarn::AlertColumnTitles(), 2);
  const int widths[tarn::kAlertColumnCount] = {80, 110, 90, 90, 80, 90, 90, 70};
  int total = 0;
  for (int c = 0; c < tarn::kAlertColumnCount; ++c) {
    list->setColumnWidth(c, Scaled(widths[c]));
    total += Scaled(widths[c]);
  }
  list->setMinimumSize(total + Scaled(24), Scaled(300));
  connect(list, &QTableWidget::cellDoubleClicked, this, [this](int, int) { Modify(); });
  root->addWidget(list, 1);
  auto* row = new QHBoxLayout;
  sound = new QCheckBox(QStringLiteral("预警声音"), Body());
  sound->setChecked(CAlertCenter::Instance().SoundOn());
  connect(sound, &QCheckBox::clicked, this, [](bool on) { CAlertCenter::Instance().SetSound(on); });
  row->addWidget(sound);
  row->addStretch(1);
  addButton = tarn::ui::MakeButton(Body(), QStringLiteral("添加"), [this] { Add(); });
  modifyButton = tarn::ui::MakeButton(Body(), QStringLiteral("修改"), [this] { Modify(); });
  deleteButton = tarn::ui::MakeButton(Body(), QStringLiteral("删除"), [this] { Delete(); });
  clearButton = tarn::ui::MakeButton(Body(), QStringLiteral("清空"), [this] { Clear(); });
  historyButton = tarn::ui::MakeButton(Body(), QStringLiteral("报警记录"), [this] { ShowHistory(); });
  for (QPushButton* b : {addButton, modifyButton, deleteButton, clearButton, historyButton}) row->addWidget(b);
  root->addLayout(row);
  Refresh();
  StartListening();
}

CDlgAlertSetting::~CDlgAlertSetting() { StopListening(); }

void CDlgAlertSetting::OnQuoteAlert(const DC_Contract&, const std::string&) {
  tarn::PostWindowMessage(this, kMsgAlertFired);
}

bool CDlgAlertSetting::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgAlertFired) {
    Refresh();
    return true;
  }
  return tarn::ui::Dialog::event(e);
}

void CDlgAlertSetting::Refresh() {
  CAlertCenter::Instance().CopyAlerts(shown_);
  std::vector<std::vector<std::string>> rows;
  rows.reserve(shown_.size());
  for (const QuoteAlert& a : shown_) rows.push_back(tarn::AlertRowTexts(a, PriceDecimals(a.contract)));
  tarn::ui::FillListTable(list, rows);
  sound->setChecked(CAlertCenter::Instance().SoundOn());
}

void CDlgAlertSetting::Add() {
  CDlgAddQuoteAlert d(QuoteAlert{}, this);
  if (!runEditor(d)) return;
  CAlertCenter::Instance().AddOrReplace(d.Alert());
  Refresh();
}

void CDlgAlertSetting::Modify() {
  const int row = tarn::ui::SelectedRow(list);
  if (row < 0 || row >= static_cast<int>(shown_.size())) {
    tarn::MessageBox(TXT("请选择一行"));
    return;
  }
  CDlgAddQuoteAlert d(shown_[static_cast<std::size_t>(row)], this);
  if (!runEditor(d)) return;
  CAlertCenter::Instance().AddOrReplace(d.Alert());  // the fired flags as they were
  Refresh();
}

void CDlgAlertSetting::Delete() {
  const int row = tarn::ui::SelectedRow(list);
  if (row < 0 || row >= static_cast<int>(shown_.size())) {
    tarn::MessageBox(TXT("请选择一行"));
    return;
  }
  CAlertCenter::Instance().Remove(shown_[static_cast<std::size_t>(row)]);
  Refresh();
}

void CDlgAlertSetting::Clear() {
  if (tarn::MessageBox(TXT("您确实要清空预警列表吗?"), TXT("提示"), tarn::MsgButtons::OkCancel) != tarn::MsgAnswer::Ok)
    return;
  CAlertCenter::Instance().RemoveAll();
  Refresh();
}

void CDlgAlertSetting::ShowHistory() { openHistory(new CDlgAllAlertInfo(this)); }
