#include "trade/grid/gui/dlg_input.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/fonts.h"
#include "ui/text_qt.h"

CDlgInput::CDlgInput(const std::string& title, const std::string& text, QWidget* parent)
    : tarn::ui::Dialog(parent, tarn::ui::ToQString(title)) {
  auto* layout = new QVBoxLayout(Body());
  layout->setContentsMargins(tarn::ui::Scaled(12), tarn::ui::Scaled(10), tarn::ui::Scaled(12), tarn::ui::Scaled(10));
  edit = new QLineEdit(tarn::ui::ToQString(text), Body());
  edit->setMinimumWidth(tarn::ui::Scaled(280));
  edit->selectAll();
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Body());
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOk(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
  layout->addWidget(buttons);
  edit->setFocus();
}

std::string CDlgInput::Text() const { return tarn::ui::ToGbk(edit->text()); }
