#include "tools/gui/setting_color.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

namespace {
QIcon Swatch(tarn::Colorref c) {
  const int w = tarn::ui::Scaled(28), h = tarn::ui::Scaled(14);
  QPixmap pm(w, h);
  pm.fill(tarn::ui::FromColorref(c));
  QPainter p(&pm);
  p.setPen(QColor(128, 128, 128));
  p.drawRect(0, 0, w - 1, h - 1);
  return QIcon(pm);
}
}  // namespace

CSettingColor::CSettingColor(QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("配色设置")), colors_(GetColorScheme().Table()) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(tarn::ui::Scaled(14), tarn::ui::Scaled(10), tarn::ui::Scaled(14), tarn::ui::Scaled(12));
  root->setSpacing(tarn::ui::Scaled(8));

  auto* schemes = new QGridLayout;
  schemes->addWidget(new QLabel(QStringLiteral("预设方案:"), Body()), 0, 0);
  int col = 1;
  for (const PredefinedScheme& s : PredefinedSchemes()) {
    auto* b = new QPushButton(tarn::ui::ToQString(s.name), Body());
    b->setProperty("commandId", s.commandId);
    b->setAutoDefault(false);
    const int id = s.commandId;
    connect(b, &QPushButton::clicked, this, [this, id] { ChooseScheme(id); });
    schemes->addWidget(b, 0, col++);
    schemeButtons_.push_back(b);
  }
  root->addLayout(schemes);

  list = new QListWidget(Body());
  list->setFlow(QListView::TopToBottom);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setUniformItemSizes(true);
  list->setIconSize(QSize(tarn::ui::Scaled(28), tarn::ui::Scaled(14)));
  // Four columns of seven rows: all 28 colours at a glance.
  list->setGridSize(QSize(tarn::ui::Scaled(150), tarn::ui::Scaled(26)));
  list->setMinimumSize(tarn::ui::Scaled(4 * 150 + 12), tarn::ui::Scaled(7 * 26 + 10));
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Double-click picks a colour; Enter stays OK (the "修改颜色" button is the keyboard's way).
  connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { PickColor(list->row(item)); });
  root->addWidget(list, 1);

  auto* row = new QHBoxLayout;
  auto* modify = new QPushButton(QStringLiteral("修改颜色"), Body());
  row->addWidget(modify);
  row->addStretch(1);
  auto* buttons = new QDialogButtonBox(Body());
  QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  modify->setAutoDefault(false);
  ok->setDefault(true);
  connect(modify, &QPushButton::clicked, this, [this] {
    if (list->currentRow() >= 0) PickColor(list->currentRow());
  });
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  row->addWidget(buttons);
  root->addLayout(row);

  Refill();
  list->setCurrentRow(0);
  list->setFocus();
}

void CSettingColor::Refill() {
  list->clear();
  for (int i = 0; i < kColorCount; ++i)
    list->addItem(new QListWidgetItem(Swatch(colors_[i]), tarn::ui::ToQString(ColorName(i))));
}

void CSettingColor::SetColor(int index, tarn::Colorref c) {
  if (index < 0 || index >= kColorCount) return;
  colors_[index] = c;
  if (QListWidgetItem* item = list->item(index)) item->setIcon(Swatch(c));
}

void CSettingColor::PickColor(int index) {
  if (index < 0 || index >= kColorCount) return;
  const QColor c = QColorDialog::getColor(tarn::ui::FromColorref(colors_[index]), this,
                                          tarn::ui::ToQString(ColorName(index)));
  if (c.isValid()) SetColor(index, tarn::ui::ToColorref(c));
}

QPushButton* CSettingColor::SchemeButton(int commandId) const {
  for (QPushButton* b : schemeButtons_)
    if (b->property("commandId").toInt() == commandId) return b;
  return nullptr;
}

void CSettingColor::ChooseScheme(int commandId) {
  for (const PredefinedScheme& s : PredefinedSchemes()) {
    if (s.commandId != commandId) continue;
    colors_ = s.colors;
    Refill();
    ChoosePredefinedScheme(s);
    return;
  }
}

void CSettingColor::OnOk() {
  GetColorScheme().Store(colors_);
  Finish(QDialog::Accepted);
}
