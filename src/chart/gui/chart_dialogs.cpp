#include "chart/gui/chart_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

namespace {

QVBoxLayout* BodyLayout(tarn::ui::Dialog* d) {
  auto* root = new QVBoxLayout(d->Body());
  root->setContentsMargins(tarn::ui::Scaled(14), tarn::ui::Scaled(10), tarn::ui::Scaled(14), tarn::ui::Scaled(12));
  root->setSpacing(tarn::ui::Scaled(8));
  return root;
}

void AddButtons(tarn::ui::Dialog* d, QVBoxLayout* root) {
  auto* buttons = new QDialogButtonBox(d->Body());
  QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, d, [d] { d->OnOk(); });
  QObject::connect(cancel, &QPushButton::clicked, d, [d] { d->OnCancel(); });
  root->addWidget(buttons);
}

}  // namespace

const std::vector<ChartColorChoice>& ChartColorChoices() {
  static const std::vector<ChartColorChoice> kChoices{
      {0x00FFFF, QStringLiteral("黄色")}, {0x0000FF, QStringLiteral("红色")}, {0x00FF00, QStringLiteral("绿色")}, {0xFFFF00, QStringLiteral("青色")},
      {0xFF00FF, QStringLiteral("紫色")}, {0xFFFFFF, QStringLiteral("白色")}, {0x0080FF, QStringLiteral("橙色")}, {0xFF8000, QStringLiteral("蓝色")},
  };
  return kChoices;
}

CDlgObjectText::CDlgObjectText(const std::string& text, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("修改文字")) {
  QVBoxLayout* root = BodyLayout(this);
  root->addWidget(new QLabel(QStringLiteral("文字:"), Body()));
  edit = new QLineEdit(tarn::ui::ToQString(text), Body());
  edit->setMinimumWidth(tarn::ui::Scaled(260));
  root->addWidget(edit);
  AddButtons(this, root);
}

void CDlgObjectText::OnOk() {
  std::string error;
  if (!tarn::CheckObjectText(tarn::ui::ToGbk(edit->text()), &text_, &error)) {
    tarn::MessageBox(error, TXT("提示"));
    return;
  }
  Dialog::OnOk();
}

CDlgObjectStyle::CDlgObjectStyle(const tarn::ObjectStyle& style, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("样式设置")), style_(style) {
  QVBoxLayout* root = BodyLayout(this);
  auto* form = new QFormLayout;
  color = new QComboBox(Body());
  int current = 0;
  for (std::size_t i = 0; i < ChartColorChoices().size(); ++i) {
    const ChartColorChoice& c = ChartColorChoices()[i];
    QPixmap swatch(14, 14);
    swatch.fill(QColor(tarn::RedOf(c.color), tarn::GreenOf(c.color), tarn::BlueOf(c.color)));
    color->addItem(QIcon(swatch), c.name, static_cast<uint>(c.color));
    if (c.color == style.color) current = static_cast<int>(i);
  }
  color->setCurrentIndex(current);
  thickness = new QSpinBox(Body());
  thickness->setRange(1, 5);
  thickness->setValue(style.thickness);
  dash = new QComboBox(Body());
  dash->addItems({QStringLiteral("实线"), QStringLiteral("点线"), QStringLiteral("虚线")});
  dash->setCurrentIndex(std::clamp(style.dash, 0, 2));
  form->addRow(QStringLiteral("颜色:"), color);
  form->addRow(QStringLiteral("线宽:"), thickness);
  form->addRow(QStringLiteral("线型:"), dash);
  root->addLayout(form);
  AddButtons(this, root);
}

void CDlgObjectStyle::OnOk() {
  style_.color = static_cast<tarn::Colorref>(color->currentData().toUInt());
  style_.thickness = thickness->value();
  style_.dash = dash->currentIndex();
  Dialog::OnOk();
}

CDlgIndicatorParam::CDlgIndicatorParam(const tarn::formula::FormulaDef& def, std::vector<tarn::ParamRow> rows,
                                       QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("参数设置")), rows_(std::move(rows)) {
  QVBoxLayout* root = BodyLayout(this);
  root->addWidget(new QLabel(tarn::ui::ToQString(def.name + (def.description.empty() ? "" : " " + def.description)),
                             Body()));
  auto* form = new QFormLayout;
  for (const tarn::ParamRow& r : rows_) {
    auto* e = new QLineEdit(tarn::ui::ToQString(r.value), Body());
    e->setMinimumWidth(tarn::ui::Scaled(90));
    const QString range = QStringLiteral(" (%1-%2)").arg(r.minValue).arg(r.maxValue);
    form->addRow(tarn::ui::ToQString(r.name) + range, e);
    edits.push_back(e);
  }
  if (rows_.empty()) form->addRow(new QLabel(QStringLiteral("该指标没有参数"), Body()));
  root->addLayout(form);
  AddButtons(this, root);
}

void CDlgIndicatorParam::OnOk() {
  for (std::size_t i = 0; i < rows_.size() && i < edits.size(); ++i) rows_[i].value = tarn::ui::ToGbk(edits[i]->text());
  std::string error;
  if (!tarn::ReadIndicatorParams(rows_, &values_, &error)) {
    tarn::MessageBox(error, TXT("提示"));
    return;
  }
  Dialog::OnOk();
}
