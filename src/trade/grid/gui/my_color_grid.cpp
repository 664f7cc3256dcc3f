#include "trade/grid/gui/my_color_grid.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using namespace tarn;

CMyColorGrid::CMyColorGrid(int controlId, QWidget* parent) : QAbstractScrollArea(parent), controlId_(controlId) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  const QFont font = ui::UiFont(9.0);
  setFont(font);
  const QFontMetrics fm(font);
  rowHeight_ = fm.height() + ui::Scaled(8);
  headerHeight_ = fm.height() + ui::Scaled(10);
  // The button bar sits above the rows, inside the grid's frame.
  buttonBar_ = new QWidget(this);
  buttonLayout_ = new QHBoxLayout(buttonBar_);
  buttonLayout_->setContentsMargins(ui::Scaled(4), ui::Scaled(2), ui::Scaled(4), ui::Scaled(2));
  buttonLayout_->setSpacing(ui::Scaled(4));
  buttonLayout_->addStretch(1);
  buttonBar_->hide();
  horizontalScrollBar()->setSingleStep(ui::Scaled(20));
  verticalScrollBar()->setSingleStep(1);
  connect(ui::ThemeNotifier::Instance(), &ui::ThemeNotifier::changed, viewport(), qOverload<>(&QWidget::update));
}

void CMyColorGrid::SetColumns(const std::vector<TradeColumn>& columns) {
  columns_ = columns;
  const QFontMetrics fm(font());
  const int charWidth = fm.horizontalAdvance(QLatin1Char('0'));
  widths_.clear();
  for (const TradeColumn& c : columns_) widths_.push_back(std::max(ui::Scaled(24), c.widthChars * charWidth + ui::Scaled(10)));
  UpdateScrollBars();
  viewport()->update();
}

std::vector<int> CMyColorGrid::ColumnWidths() const { return widths_; }

void CMyColorGrid::SetColumnWidths(const std::vector<int>& widths) {
  if (widths.size() != widths_.size()) return;
  widths_ = widths;
  UpdateScrollBars();
  viewport()->update();
}

void CMyColorGrid::SetRowCount(int rows) {
  rows = std::max(0, rows);
  if (rows == RowCount()) return;
  const int old = RowCount();
  rows_.resize(static_cast<std::size_t>(rows));
  // A selected row that is gone leaves no selection (the owner selects the record again where
  // it is now); never the last row, which shows another record.
  if (selected_ >= rows) selected_ = -1;
  UpdateScrollBars();
  // Rows from the first one added or removed on are repainted.
  const int first = std::min(old, rows);
  const int top = headerHeight_ + (first - verticalScrollBar()->value()) * rowHeight_;
  viewport()->update(QRect(0, std::max(headerHeight_, top), viewport()->width(), viewport()->height()));
}

namespace {
const tarn::GridCell kEmptyCell;
const tarn::GridCell& CellOf(const std::shared_ptr<const tarn::CellRow>& cells, std::size_t i) {
  return cells && i < cells->size() ? (*cells)[i] : kEmptyCell;
}
}  // namespace

void CMyColorGrid::SetNumbered(bool numbered) {
  numbered_ = numbered;
  viewport()->update();
}

void CMyColorGrid::SetRow(int row, const tarn::CellRow& cells) {
  if (row < 0 || row >= RowCount()) return;
  if (numbered_) {
    // The number is the grid's own: the given column 0 is dropped.
    SetSharedRow(row, std::make_shared<const tarn::CellRow>(cells.size() > 1 ? cells.begin() + 1 : cells.end(), cells.end()));
    return;
  }
  SetSharedRow(row, std::make_shared<const tarn::CellRow>(cells));
}

void CMyColorGrid::SetSharedRow(int row, std::shared_ptr<const tarn::CellRow> cells) {
  if (row < 0 || row >= RowCount()) return;
  std::shared_ptr<const tarn::CellRow>& r = rows_[static_cast<std::size_t>(row)];
  if (r == cells) return;
  // Only a row in sight is compared cell by cell, to repaint what changed.
  const QRect rowRect(0, CellRect(row, 0).top(), viewport()->width(), rowHeight_);
  if (rowRect.intersects(viewport()->rect())) {
    const std::size_t first = numbered_ ? 1 : 0;
    for (std::size_t c = first; c < columns_.size(); ++c) {
      if (CellOf(r, c - first) == CellOf(cells, c - first)) continue;
      viewport()->update(CellRect(row, static_cast<int>(c)));
      ++cellUpdates_;
    }
  }
  r = std::move(cells);
}

const tarn::GridCell* CMyColorGrid::CellAt(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return nullptr;
  const std::shared_ptr<const tarn::CellRow>& r = rows_[static_cast<std::size_t>(row)];
  if (!numbered_) return &CellOf(r, static_cast<std::size_t>(column));
  if (column > 0) return &CellOf(r, static_cast<std::size_t>(column - 1));
  number_ = tarn::GridCell{tarn::Format("%d", row + 1), 0};
  return &number_;
}

void CMyColorGrid::SelectRow(int row, bool scrollTo) {
  if (row < -1 || row >= RowCount() || row == selected_) return;
  const int old = selected_;
  selected_ = row;
  auto repaintRow = [this](int r) {
    if (r >= 0) viewport()->update(QRect(0, CellRect(r, 0).top(), viewport()->width(), rowHeight_));
  };
  repaintRow(old);
  repaintRow(row);
  // Keep it in sight.
  if (row >= 0 && scrollTo) {
    const int visible = std::max(1, (viewport()->height() - headerHeight_) / rowHeight_);
    if (row < verticalScrollBar()->value()) verticalScrollBar()->setValue(row);
    else if (row >= verticalScrollBar()->value() + visible) verticalScrollBar()->setValue(row - visible + 1);
  }
}

void CMyColorGrid::SetButtons(const std::vector<tarn::GridButton>& buttons) {
  for (auto& [code, b] : buttons_) delete b;
  buttons_.clear();
  int index = 0;
  for (const tarn::GridButton& g : buttons) {
    if (g.code == 0) {
      buttonLayout_->insertSpacing(index++, ui::Scaled(12));
      continue;
    }
    auto* b = new QPushButton(ui::ToQString(g.label), buttonBar_);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumHeight(ui::Scaled(22));
    const int code = g.code;
    connect(b, &QPushButton::clicked, this, [this, code] { Notify(GridNotify::Command, selected_, -1, code); });
    buttonLayout_->insertWidget(index++, b);
    buttons_.emplace_back(code, b);
  }
  buttonBar_->setVisible(!buttons.empty());
  setViewportMargins(0, buttons.empty() ? 0 : buttonBar_->sizeHint().height(), 0, 0);
  resizeEvent(nullptr);
}

QPushButton* CMyColorGrid::Button(int code) const {
  for (const auto& [c, b] : buttons_)
    if (c == code) return b;
  return nullptr;
}

int CMyColorGrid::TotalWidth() const {
  int w = 0;
  for (int x : widths_) w += x;
  return w;
}

int CMyColorGrid::ColumnLeft(int column) const {
  int x = 0;
  for (int i = 0; i < column && i < ColumnCount(); ++i) x += widths_[static_cast<std::size_t>(i)];
  return x;
}

QRect CMyColorGrid::CellRect(int row, int column) const {
  const int x = ColumnLeft(column) - horizontalScrollBar()->value();
  const int y = headerHeight_ + (row - verticalScrollBar()->value()) * rowHeight_;
  const int w = column >= 0 && column < ColumnCount() ? widths_[static_cast<std::size_t>(column)] : 0;
  return QRect(x, y, w, rowHeight_);
}

int CMyColorGrid::RowAt(const QPoint& p) const {
  if (p.y() < headerHeight_) return -1;
  const int row = (p.y() - headerHeight_) / rowHeight_ + verticalScrollBar()->value();
  return row < RowCount() ? row : -1;
}

int CMyColorGrid::ColumnAt(const QPoint& p) const {
  const int x = p.x() + horizontalScrollBar()->value();
  int left = 0;
  for (int i = 0; i < ColumnCount(); ++i) {
    left += widths_[static_cast<std::size_t>(i)];
    if (x < left) return i;
  }
  return -1;
}

int CMyColorGrid::EdgeAt(int x) const {
  const int content = x + horizontalScrollBar()->value();
  int right = 0;
  const int slack = ui::Scaled(3);
  for (int i = 0; i < ColumnCount(); ++i) {
    right += widths_[static_cast<std::size_t>(i)];
    if (std::abs(content - right) <= slack) return i;
  }
  return -1;
}

void CMyColorGrid::UpdateScrollBars() {
  const int visibleRows = std::max(1, (viewport()->height() - headerHeight_) / rowHeight_);
  verticalScrollBar()->setPageStep(visibleRows);
  verticalScrollBar()->setRange(0, std::max(0, RowCount() - visibleRows));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, std::max(0, TotalWidth() - viewport()->width()));
}

void CMyColorGrid::resizeEvent(QResizeEvent* e) {
  if (e) QAbstractScrollArea::resizeEvent(e);
  const int barHeight = buttonBar_->isHidden() ? 0 : buttonBar_->sizeHint().height();
  buttonBar_->setGeometry(0, 0, width(), barHeight);
  UpdateScrollBars();
}

QColor CMyColorGrid::TextColor(tarn::Colorref c) const {
  return c == 0 ? ui::Theme().text : ui::FromColorref(c);
}

void CMyColorGrid::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const ui::ThemeColors& theme = ui::Theme();
  const QRect clip = e->rect();
  p.fillRect(clip, theme.background);
  p.setFont(font());
  const int xOff = horizontalScrollBar()->value();
  const int first = verticalScrollBar()->value();
  const int pad = ui::Scaled(4);
  // Rows.
  for (int r = first; r < RowCount(); ++r) {
    const int y = headerHeight_ + (r - first) * rowHeight_;
    if (y > clip.bottom()) break;
    if (y + rowHeight_ < clip.top()) continue;
    const QRect rowRect(0, y, viewport()->width(), rowHeight_);
    if (r == selected_)
      p.fillRect(rowRect, ui::Blend(theme.background, ui::AccentColor(), 0.35));
    else if (r % 2 == 1)
      p.fillRect(rowRect, theme.zebra);
    const std::shared_ptr<const tarn::CellRow>& cells = rows_[static_cast<std::size_t>(r)];
    const tarn::GridCell number{numbered_ ? tarn::Format("%d", r + 1) : std::string(), 0};
    int x = -xOff;
    for (int c = 0; c < ColumnCount(); ++c) {
      const int w = widths_[static_cast<std::size_t>(c)];
      const QRect cell(x, y, w, rowHeight_);
      x += w;
      if (!cell.intersects(clip)) continue;
      const tarn::GridCell& g = numbered_ ? (c == 0 ? number : CellOf(cells, static_cast<std::size_t>(c - 1)))
                                          : CellOf(cells, static_cast<std::size_t>(c));
      if (g.text.empty()) continue;
      p.setPen(TextColor(g.color));
      const tarn::CellAlign a = columns_[static_cast<std::size_t>(c)].align;
      const Qt::Alignment align = Qt::AlignVCenter | (a == tarn::CellAlign::Right    ? Qt::AlignRight
                                                      : a == tarn::CellAlign::Center ? Qt::AlignHCenter
                                                                                     : Qt::AlignLeft);
      p.drawText(cell.adjusted(pad, 0, -pad, 0), align, ui::ToQString(g.text));
    }
  }
  // Header, over the rows.
  const QRect header(0, 0, viewport()->width(), headerHeight_);
  if (header.intersects(clip)) {
    p.fillRect(header, ui::PanelColor());
    p.setPen(theme.border);
    p.drawLine(header.bottomLeft(), header.bottomRight());
    int x = -xOff;
    for (int c = 0; c < ColumnCount(); ++c) {
      const int w = widths_[static_cast<std::size_t>(c)];
      p.setPen(theme.header);
      p.drawText(QRect(x + pad, 0, w - 2 * pad, headerHeight_), Qt::AlignCenter,
                 ui::ToQString(columns_[static_cast<std::size_t>(c)].title));
      p.setPen(theme.border);
      p.drawLine(x + w - 1, ui::Scaled(4), x + w - 1, headerHeight_ - ui::Scaled(4));
      x += w;
    }
  }
}

bool CMyColorGrid::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::Resize) UpdateScrollBars();
  if (e->type() == QEvent::ContextMenu) {
    // The viewport's own event: its position is already in viewport coordinates.
    auto* c = static_cast<QContextMenuEvent*>(e);
    ContextMenuAt(c->pos(), c->globalPos());
    c->accept();
    return true;
  }
  return QAbstractScrollArea::viewportEvent(e);
}

void CMyColorGrid::Notify(GridNotify::Kind kind, int row, int column, int code, QPoint global) {
  if (!onNotify) return;
  GridNotify n;
  n.kind = kind;
  n.controlId = controlId_;
  n.row = row;
  n.column = column;
  n.code = code;
  n.global = global;
  onNotify(n);
}

void CMyColorGrid::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton && pos.y() < headerHeight_) {
    const int edge = EdgeAt(pos.x());
    if (edge >= 0) {
      resizing_ = edge;
      resizeStartX_ = pos.x();
      resizeStartWidth_ = widths_[static_cast<std::size_t>(edge)];
    }
    return;
  }
  const int row = RowAt(pos);
  if (row >= 0 && row != selected_) {
    SelectRow(row);
    Notify(GridNotify::Selected, row, ColumnAt(pos));
  }
}

void CMyColorGrid::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (resizing_ >= 0) {
    widths_[static_cast<std::size_t>(resizing_)] = std::clamp(resizeStartWidth_ + pos.x() - resizeStartX_, 8, 2000);
    UpdateScrollBars();
    viewport()->update();
    return;
  }
  viewport()->setCursor(pos.y() < headerHeight_ && EdgeAt(pos.x()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void CMyColorGrid::mouseReleaseEvent(QMouseEvent*) {
  if (resizing_ < 0) return;
  const int column = resizing_;
  resizing_ = -1;
  if (widths_[static_cast<std::size_t>(column)] != resizeStartWidth_) Notify(GridNotify::WidthChanged, -1, column);
}

void CMyColorGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (e->button() != Qt::LeftButton || pos.y() < headerHeight_) return;
  const int row = RowAt(pos);
  if (row < 0) return;
  SelectRow(row);
  Notify(GridNotify::DoubleClicked, row, ColumnAt(pos));
}

void CMyColorGrid::ContextMenuAt(const QPoint& viewportPos, const QPoint& global) {
  const int row = RowAt(viewportPos);
  if (row >= 0 && row != selected_) {
    SelectRow(row);
    Notify(GridNotify::Selected, row, ColumnAt(viewportPos));
  }
  Notify(GridNotify::ContextMenu, row, ColumnAt(viewportPos), 0, global);
}

void CMyColorGrid::contextMenuEvent(QContextMenuEvent* e) {
  if (e->reason() == QContextMenuEvent::Mouse) {
    // A right click on the grid's frame (the button bar's margins): no row is under it.
    Notify(GridNotify::ContextMenu, -1, -1, 0, e->globalPos());
    return;
  }
  // The menu key: the menu of the selected row, at that row.
  const QRect cell = CellRect(selected_, 0);
  const QPoint at = selected_ >= 0 ? QPoint(cell.left() + cell.width() / 2, cell.center().y()) : QPoint(0, headerHeight_);
  Notify(GridNotify::ContextMenu, selected_, selected_ >= 0 ? 0 : -1, 0, viewport()->mapToGlobal(at));
}

void CMyColorGrid::keyPressEvent(QKeyEvent* e) {
  int row = selected_;
  switch (e->key()) {
    case Qt::Key_Up: row = std::max(0, row - 1); break;
    case Qt::Key_Down: row = std::min(RowCount() - 1, row + 1); break;
    case Qt::Key_Home: row = RowCount() > 0 ? 0 : -1; break;
    case Qt::Key_End: row = RowCount() - 1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (selected_ >= 0) Notify(GridNotify::DoubleClicked, selected_, 1);
      return;
    default: QAbstractScrollArea::keyPressEvent(e); return;
  }
  if (row != selected_ && row >= 0) {
    SelectRow(row);
    Notify(GridNotify::Selected, row, -1);
  }
}
