#include "workspace/gui/wnd_spliter_template.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "workspace/split_layout.h"
#include "workspace/workspace_names.h"

namespace {

// A scheme's preview: the (1,3) scheme one cell on top and two below, the others a grid.
class SchemePreview : public QPushButton {
 public:
  SchemePreview(tarn::LayoutScheme s, QWidget* parent) : QPushButton(parent), scheme_(s) {
    setFixedSize(72, 56);
    setToolTip(QStringLiteral("%1 x %2").arg(s.rows).arg(s.columns));
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPushButton::paintEvent(e);
    QPainter p(this);
    const tarn::ui::ThemeColors& t = tarn::ui::Theme();
    const QRect area = rect().adjusted(8, 8, -8, -8);
    p.setPen(t.text);
    const auto cell = [&](double x, double y, double w, double h) {
      p.drawRect(QRectF(area.x() + x * area.width(), area.y() + y * area.height(), w * area.width(),
                        h * area.height()));
    };
    if (scheme_.rows == 1 && scheme_.columns == 3) {
      cell(0, 0, 1, 0.5);
      cell(0, 0.5, 0.5, 0.5);
      cell(0.5, 0.5, 0.5, 0.5);
      return;
    }
    for (int r = 0; r < scheme_.rows; ++r)
      for (int c = 0; c < scheme_.columns; ++c)
        cell(1.0 * c / scheme_.columns, 1.0 * r / scheme_.rows, 1.0 / scheme_.columns, 1.0 / scheme_.rows);
  }

 private:
  tarn::LayoutScheme scheme_;
};

}  // namespace

CWndSpliterTemplate::CWndSpliterTemplate(QWidget* parent) : QWidget(parent, Qt::Popup) {
  setObjectName(QStringLiteral("SpliterTemplate"));
  setAutoFillBackground(true);
  auto* column = new QVBoxLayout(this);
  auto* tabs = new QHBoxLayout;
  pageButtons[0] = new QPushButton(QStringLiteral("布局方案"), this);
  pageButtons[1] = new QPushButton(QStringLiteral("我的布局"), this);
  for (int i = 0; i < 2; ++i) {
    pageButtons[i]->setCheckable(true);
    tabs->addWidget(pageButtons[i]);
    connect(pageButtons[i], &QPushButton::clicked, this, [this, i] { ShowPage(i); });
  }
  tabs->addStretch(1);
  column->addLayout(tabs);
  pages_ = new QStackedWidget(this);
  column->addWidget(pages_, 1);

  auto* schemes = new QWidget(pages_);
  auto* grid = new QGridLayout(schemes);
  int i = 0;
  for (const tarn::LayoutScheme& s : tarn::LayoutSchemes()) {
    auto* b = new SchemePreview(s, schemes);
    grid->addWidget(b, i / 3, i % 3);
    connect(b, &QPushButton::clicked, this, [this, s] {
      if (onScheme) onScheme(s.rows, s.columns);
      hide();
    });
    schemeButtons.push_back(b);
    ++i;
  }
  pages_->addWidget(schemes);

  auto* mine = new QWidget(pages_);
  auto* mineColumn = new QVBoxLayout(mine);
  layouts = new QListWidget(mine);
  mineColumn->addWidget(layouts, 1);
  auto* actions = new QHBoxLayout;
  auto* load = new QPushButton(QStringLiteral("加载"), mine);
  auto* rename = new QPushButton(QStringLiteral("重命名"), mine);
  actions->addStretch(1);
  actions->addWidget(load);
  actions->addWidget(rename);
  mineColumn->addLayout(actions);
  connect(load, &QPushButton::clicked, this, [this] { LoadSelected(); });
  connect(rename, &QPushButton::clicked, this, [this] { RenameSelected(); });
  pages_->addWidget(mine);

  askText = [this](const QString& prompt, QString* text) {
    bool ok = false;
    *text = QInputDialog::getText(this, prompt, prompt, QLineEdit::Normal, *text, &ok);
    return ok;
  };
  ShowPage(0);
  resize(260, 260);
}

void CWndSpliterTemplate::ShowPage(int page) {
  pages_->setCurrentIndex(page);
  for (int i = 0; i < 2; ++i) pageButtons[i]->setChecked(i == page);
  if (page == 1) RefreshLayouts();
}

void CWndSpliterTemplate::RefreshLayouts() {
  layouts->clear();
  for (const std::string& n : tarn::ListLayouts()) {
    auto* item = new QListWidgetItem(tarn::ui::ToQString(n), layouts);
    // The small delete mark at the entry's right.
    auto* row = new QWidget(layouts);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 2, 0);
    h->addStretch(1);
    auto* del = new QToolButton(row);
    del->setText(QStringLiteral("×"));
    del->setAutoRaise(true);
    h->addWidget(del);
    layouts->setItemWidget(item, row);
    connect(del, &QToolButton::clicked, this, [this, item] { DeleteEntry(layouts->row(item)); });
  }
}

void CWndSpliterTemplate::LoadSelected() {
  QListWidgetItem* item = layouts->currentItem();
  if (!item) {
    tarn::MessageBox(TXT("请选择一个布局"), TXT("提示"));
    return;
  }
  if (onLoad) onLoad(tarn::ui::ToGbk(item->text()));
  hide();
}

void CWndSpliterTemplate::DeleteEntry(int row) {
  QListWidgetItem* item = layouts->item(row);
  if (!item) return;
  if (tarn::MessageBox(TXT("您确实要删除该布局吗?"), TXT("提示"), tarn::MsgButtons::OkCancel) != tarn::MsgAnswer::Ok)
    return;
  if (tarn::DeleteLayout(tarn::ui::ToGbk(item->text()))) delete layouts->takeItem(row);
}

void CWndSpliterTemplate::RenameSelected() {
  QListWidgetItem* item = layouts->currentItem();
  if (!item) {
    tarn::MessageBox(TXT("请选择一个布局"), TXT("提示"));
    return;
  }
  QString text = item->text();
  if (!askText || !askText(QStringLiteral("输入布局名称"), &text)) return;
  const tarn::NameVerdict v = tarn::RenameLayout(tarn::ui::ToGbk(item->text()), tarn::ui::ToGbk(text));
  if (v == tarn::NameVerdict::kOk) {
    RefreshLayouts();
  } else if (v != tarn::NameVerdict::kUnchanged) {
    tarn::MessageBox(tarn::NameVerdictText(v), TXT("提示"));
  }
}
