#include "engines/gui/engine_widgets.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "engines/contract_search.h"
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
  // A column is at least as wide as its title and its texts: a cut time or state is no use to
  // the trader. Columns only widen, so a width the trader gave one stays while it fits.
  QHeaderView* header = table->horizontalHeader();
  const QAbstractItemView* view = table;  // where the texts' width is public
  for (int c = 0; c < table->columnCount(); ++c) {
    const int want = std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c));
    if (header->sectionSize(c) < want) header->resizeSection(c, want);
  }
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

// ---- ContractSearchList ----------------------------------------------------------------------

ContractSearchList::ContractSearchList(QLineEdit* edit, std::vector<DC_Contract> contracts)
    : QListWidget(edit->window()), edit_(edit), all_(std::move(contracts)) {
  setFocusPolicy(Qt::NoFocus);  // typing stays in the box
  setFrameShape(QFrame::Box);
  hide();
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::textEdited, this, [this](const QString& t) { Search(t); });
  connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    setCurrentItem(item);
    PickCurrent();
  });
}

void ContractSearchList::Search(const QString& text) {
  shown_ = FindContracts(all_, ToGbk(text), kMaxShown);
  clear();
  for (const DC_Contract& c : shown_) addItem(ToQString(ContractEntryText(c)));
  if (shown_.empty()) {
    hide();
    return;
  }
  setCurrentRow(0);
  Place();
  show();
  raise();
}

bool ContractSearchList::PickCurrent() {
  const int row = currentRow();
  if (row < 0 || row >= static_cast<int>(shown_.size())) return false;
  const DC_Contract picked = shown_[static_cast<std::size_t>(row)];
  hide();
  if (onChosen) onChosen(picked);
  return true;
}

void ContractSearchList::Place() {
  QWidget* host = parentWidget();
  const QPoint at = edit_->mapTo(host, QPoint(0, edit_->height()));
  const int rows = std::min(count(), 8);
  const int rowHeight = std::max(sizeHintForRow(0), fontMetrics().height() + 2);
  setGeometry(at.x(), at.y(), std::max(edit_->width(), Scaled(220)), rows * rowHeight + 2 * frameWidth());
}

bool ContractSearchList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress && isVisible()) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Down:
        setCurrentRow(std::min(currentRow() + 1, count() - 1));
        return true;
      case Qt::Key_Up:
        setCurrentRow(std::max(currentRow() - 1, 0));
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        PickCurrent();
        return true;
      case Qt::Key_Escape:
        hide();
        return true;
      default:
        break;
    }
  }
  if (watched == edit_ && event->type() == QEvent::FocusOut) hide();
  return QListWidget::eventFilter(watched, event);
}

}  // namespace ui
}  // namespace tarn
