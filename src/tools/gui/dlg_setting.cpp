#include "tools/gui/dlg_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "tools/gui/setting_color.h"

#include "ui/fonts.h"

CDlgSetting::CDlgSetting(QWidget* parent) : tarn::ui::Dialog(parent, QStringLiteral("系统设置")) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(tarn::ui::Scaled(14), tarn::ui::Scaled(10), tarn::ui::Scaled(14), tarn::ui::Scaled(12));
  root->setSpacing(tarn::ui::Scaled(10));

  auto* trade = new QGroupBox(QStringLiteral("交易"), Body());
  auto* tl = new QFormLayout(trade);
  tradeConfirm = new QCheckBox(QStringLiteral("下单前确认"), trade);
  coverConfirm = new QCheckBox(QStringLiteral("平仓前确认"), trade);
  positionAction = new QComboBox(trade);
  positionAction->addItems({QStringLiteral("弹出平仓窗口"), QStringLiteral("直接平仓"), QStringLiteral("不操作")});
  orderAction = new QComboBox(trade);
  orderAction->addItems({QStringLiteral("询问后撤单"), QStringLiteral("直接撤单"), QStringLiteral("不操作")});
  tl->addRow(tradeConfirm);
  tl->addRow(coverConfirm);
  tl->addRow(QStringLiteral("双击持仓:"), positionAction);
  tl->addRow(QStringLiteral("双击挂单:"), orderAction);
  root->addWidget(trade);

  auto* view = new QGroupBox(QStringLiteral("行情与图表"), Body());
  auto* vl = new QFormLayout(view);
  mouseWheel = new QComboBox(view);
  mouseWheel->addItems({QStringLiteral("缩放图表"), QStringLiteral("切换合约")});
  panelLevel = new QComboBox(view);
  panelLevel->addItems({QStringLiteral("五档盘口"), QStringLiteral("十档盘口")});
  vl->addRow(QStringLiteral("鼠标滚轮:"), mouseWheel);
  vl->addRow(QStringLiteral("盘口深度:"), panelLevel);
  root->addWidget(view);

  auto* row = new QHBoxLayout;
  colorsButton = new QPushButton(QStringLiteral("配色设置..."), Body());
  colorsButton->setAutoDefault(false);
  connect(colorsButton, &QPushButton::clicked, this, [this] {
    CSettingColor colors(this);
    colors.exec();
  });
  row->addWidget(colorsButton);
  row->addStretch(1);
  auto* buttons = new QDialogButtonBox(Body());
  QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  row->addWidget(buttons);
  root->addLayout(row);

  SetChoices(ReadGeneralChoices());
  setMinimumWidth(tarn::ui::Scaled(340));
  tradeConfirm->setFocus();
}

GeneralChoices CDlgSetting::Choices() const {
  GeneralChoices c;
  c.tradeConfirm = tradeConfirm->isChecked();
  c.coverConfirm = coverConfirm->isChecked();
  c.mouseWheelIndex = mouseWheel->currentIndex() == 0 ? 0 : 1;
  c.positionAction = positionAction->currentIndex();
  c.orderAction = orderAction->currentIndex();
  c.infoPanelLevel = panelLevel->currentIndex() == 1 ? 10 : 5;
  return c;
}

void CDlgSetting::SetChoices(const GeneralChoices& c) {
  tradeConfirm->setChecked(c.tradeConfirm);
  coverConfirm->setChecked(c.coverConfirm);
  mouseWheel->setCurrentIndex(c.mouseWheelIndex);
  positionAction->setCurrentIndex(c.positionAction);
  orderAction->setCurrentIndex(c.orderAction);
  panelLevel->setCurrentIndex(c.infoPanelLevel == 10 ? 1 : 0);
}

void CDlgSetting::OnOk() {
  ApplyGeneralChoices(Choices());
  Finish(QDialog::Accepted);
}
