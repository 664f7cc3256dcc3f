// CMyColorGrid: the owner-drawn grid of the trade grid's tabs. Columns with titles, widths and
// alignments; rows of coloured texts written cell by cell (a write that changes nothing
// repaints nothing); a button bar above the rows; one selected row. What the user does goes to
// the owner as a GridNotify: row selected, row double-clicked, button command, right click (the
// owner builds the menu), column width changed.
#pragma once

#include <QAbstractScrollArea>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/color.h"
#include "trade/grid/trade_grid_cells.h"
#include "trade/grid/trade_grid_tabs.h"

class QHBoxLayout;
class QPushButton;

struct GridNotify {
  enum Kind { Selected, DoubleClicked, Command, ContextMenu, WidthChanged };
  Kind kind = Selected;
  int controlId = 0;
  int row = -1;     // -1: not on a row
  int column = -1;
  int code = 0;     // Command: the button's code
  QPoint global;    // ContextMenu: where the menu goes
};

class CMyColorGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit CMyColorGrid(int controlId, QWidget* parent = nullptr);

  int ControlId() const { return controlId_; }

  // ---- columns -----------------------------------------------------------------------------
  void SetColumns(const std::vector<tarn::TradeColumn>& columns);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  std::vector<int> ColumnWidths() const;
  void SetColumnWidths(const std::vector<int>& widths);

  // ---- rows --------------------------------------------------------------------------------
  // Rows are added or removed at the end.
  void SetRowCount(int rows);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Column 0 shows the row's number ("1", "2", ...); SetSharedRow then writes the columns after it.
  void SetNumbered(bool numbered);
  // Writes a whole row (column 0 first); only cells whose text or colour changed repaint.
  void SetRow(int row, const tarn::CellRow& cells);
  // Writes a numbered grid's row as the shared cells of the columns after the number, kept, not
  // copied: the same cells again cost a pointer comparison, other cells a comparison of the
  // visible row's texts (only changed cells repaint). Rows that move by one when a record
  // leaves a long list are rewritten this way without copying their texts.
  void SetSharedRow(int row, std::shared_ptr<const tarn::CellRow> cells);
  // The cell shown at (row, column); a numbered grid's column 0 is made on the call and valid
  // until the next call.
  const tarn::GridCell* CellAt(int row, int column) const;
  int SelectedRow() const { return selected_; }
  // Selects a row (-1: none); `scrollTo` brings it into sight (a click or a key does, the owner
  // putting the selection back after a refresh does not).
  void SelectRow(int row, bool scrollTo = true);

  // ---- buttons -----------------------------------------------------------------------------
  void SetButtons(const std::vector<tarn::GridButton>& buttons);
  QPushButton* Button(int code) const;
  QWidget* ButtonBar() const { return buttonBar_; }

  std::function<void(const GridNotify&)> onNotify;

  // Geometry (tests).
  int RowHeight() const { return rowHeight_; }
  int HeaderHeight() const { return headerHeight_; }
  int RowAt(const QPoint& viewportPos) const;
  int ColumnAt(const QPoint& viewportPos) const;
  QRect CellRect(int row, int column) const;  // in viewport coordinates
  // Cells repainted since the start (tests: a write that changes nothing paints nothing).
  long long CellUpdates() const { return cellUpdates_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool viewportEvent(QEvent* e) override;

 private:
  void Notify(GridNotify::Kind kind, int row, int column, int code = 0, QPoint global = {});
  // A right click at a point of the viewport: selects the row under it and asks for its menu.
  void ContextMenuAt(const QPoint& viewportPos, const QPoint& global);
  void UpdateScrollBars();
  int TotalWidth() const;
  int ColumnLeft(int column) const;  // content x of the column's left edge
  int EdgeAt(int x) const;           // the column whose right edge is under x, -1 none
  QColor TextColor(tarn::Colorref c) const;

  int controlId_;
  std::vector<tarn::TradeColumn> columns_;
  std::vector<int> widths_;
  // A row's cells: the columns after the number in a numbered grid, every column otherwise.
  std::vector<std::shared_ptr<const tarn::CellRow>> rows_;
  bool numbered_ = false;
  mutable tarn::GridCell number_;  // CellAt's column 0 of a numbered grid
  int selected_ = -1;
  int rowHeight_ = 22;
  int headerHeight_ = 24;
  QWidget* buttonBar_ = nullptr;
  QHBoxLayout* buttonLayout_ = nullptr;
  std::vector<std::pair<int, QPushButton*>> buttons_;
  int resizing_ = -1;
  int resizeStartX_ = 0;
  int resizeStartWidth_ = 0;
  long long cellUpdates_ = 0;
};
