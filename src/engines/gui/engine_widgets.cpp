#include "engines/gui/engine_widgets.h"

#include <QDialogButtonBox>
#include <QHeaderView>

#include "ui/dialog.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

namespace tarn {

namespace {
ContractChooser& Chooser() {
  static ContractChooser chooser;
  return chooser;
}
}  // namespace

void SetContractChooser(ContractChooser chooser) { Chooser() = std::move(chooser); }
const ContractChooser& GetContractChooser() { return Chooser(); }

namespace ui {

QTableWidget* MakeListTable(QWidget* parent, const std::vector<std::string>& titles, int leftColumns) {
  auto* t = new QTableWidget(0, static_cast<int>(titles.size()), parent);
  QStringList labels;
  for (const std::string& s : titles) labels << ToQString(s);
  t->setHorizontalHeaderLabels(labels);
  t->setProperty("leftColumns", leftColumns);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setAlternatingRowColors(true);
  t->setShowGrid(false);
  t->verticalHeader()->setVisible(false);
  t->verticalHeader()->setDefaultSectionSize(Scaled(22));
  t->horizontalHeader()->setHighlightSections(false);
  t->horizontalHeader()->setStretchLastSection(true);
  t->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  t->setWordWrap(false);
  return t;
}

void FillListTable(QTableWidget* table, const std::vector<std::vector<std::string>>& rows) {
  const int selected = SelectedRow(table);
  const int left = table->property("leftColumns").toInt();
  table->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const auto& row = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < table->columnCount(); ++c) {
      const QString text = c < static_cast<int>(row.size()) ? ToQString(row[static_cast<std::size_t>(c)]) : QString();
      QTableWidgetItem* item = table->item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        table->setItem(r, c, item);
      }
      item->setText(text);
      item->setTextAlignment(c < left ? (Qt::AlignLeft | Qt::AlignVCenter) : (Qt::AlignRight | Qt::AlignVCenter));
    }
  }
  if (selected >= 0 && selected < table->rowCount()) table->selectRow(selected);
  else table->clearSelection();
}

int SelectedRow(const QTableWidget* table) {
  const QList<QTableWidgetItem*> items = table->selectedItems();
  return items.isEmpty() ? -1 : items.front()->row();
}

QPushButton* MakeButton(QWidget* parent, const QString& text, std::function<void()> onClick) {
  auto* b = new QPushButton(text, parent);
  b->setAutoDefault(false);
  QObject::connect(b, &QPushButton::clicked, parent, [f = std::move(onClick)] { f(); });
  return b;
}

QLineEdit* MakeNumberEdit(QWidget* parent, int width) {
  auto* e = new QLineEdit(parent);
  e->setAlignment(Qt::AlignRight);
  e->setMinimumWidth(Scaled(width));
  return e;
}

QWidget* MakeOkCancel(Dialog* d) {
  auto* box = new QDialogButtonBox(d->Body());
  QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, d, [d] { d->OnOk(); });
  QObject::connect(cancel, &QPushButton::clicked, d, [d] { d->OnCancel(); });
  return box;
}

QString MultiLine(const std::string& gbk) {
  QString s = ToQString(gbk);
  s.remove(QLatin1Char('\r'));
  return s;
}

}  // namespace ui
}  // namespace tarn
