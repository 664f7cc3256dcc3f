// CQuoteGridCtrl, the owner-drawn quote grid ("QGrid", control 101): it paints the grid model,
// forwards the mouse and the keys to it, and is the model's quote client: the visible rows'
// contracts are subscribed through its CQuoteDataClient base, whose notifications (on the quote
// library's thread) only store the snapshot in the row and mark it dirty. The window then
// repaints the changed cells only, at most about 30 times a second.
//
// To its parent (CWndQuoteGird) it sends message 1011 (a row was double-clicked) and posts 1012
// (the selection changed), each with the row's contract; the parent hears the Delete key,
// Ctrl+Z, the context menu and row drags through the hooks below.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QRawFont>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <vector>

#include "data/data_listener.h"
#include "quote/quote_grid_model.h"
#include "tools/setting_cfg.h"

class CQuoteGridCtrl : public QWidget, public CQuoteDataClient, public ISettingCfgNotify, private tarn::IGridSubscriber {
  Q_OBJECT
 public:
  static constexpr int kControlId = 101;

  explicit CQuoteGridCtrl(QWidget* parent = nullptr);
  ~CQuoteGridCtrl() override;

  tarn::QuoteGridModel& Model() { return model_; }
  const tarn::QuoteGridModel& Model() const { return model_; }

  // ---- the grid's operations ---------------------------------------------------------------
  void AddColumn(int kind);
  // Reads the column file (and always the display switches); with `replace` its columns are
  // taken when it passes the rules. Returns whether they were.
  bool LoadColumns(bool replace);
  bool SaveColumns();
  // Replaces the rows (`userBlock`: a block of the user's, ordered by the user), sorts them,
  // subscribes the visible ones and starts the one automatic fit of the column widths.
  void SetRows(const std::vector<DC_Contract>& contracts, bool userBlock, bool keepPlace = false);
  void Sort(int column, bool ascending);
  void AutoFitWidths(bool nameOnly);
  // The columns chosen in the header settings (saved).
  void SetColumnKinds(const std::vector<int>& kinds);
  void SetSwitch(tarn::GridSwitch s, bool on);
  void OnSettingCfgChanged(bool recomputeColumns) override;
  int OnQuote(int status, const DC_Quote* quote) override;

  // ---- hooks for the grid window -----------------------------------------------------------
  std::function<void(int row)> onDeleteKey;                // Delete on a selected row
  std::function<void(int row)> onToggleUserBlock;          // Ctrl+Z on a selected row
  std::function<void(const QPoint& global, int row)> onContextMenu;  // row -1: not on a row
  std::function<void()> onRowsReordered;                   // a row dragged in the user's block

  // ---- geometry and drawing ----------------------------------------------------------------
  int RowHeight() const { return rowHeight_; }
  int HeaderHeight() const { return headerHeight_; }
  // The header cell of a column (empty when it is scrolled out of sight).
  QRect HeaderRect(int column) const;
  QRect CellRect(int position, int column) const;
  int RowAt(const QPoint& p) const;     // -1: none
  int ColumnAt(const QPoint& p) const;  // -1: none
  int FirstScrolledColumn() const { return hScroll_ + 2; }
  void ScrollColumns(int delta);
  // Paints the part `region` of the grid (the paint event, and offscreen images).
  void Paint(QPainter& p, const QRegion& region);
  // Takes the changed rows now and asks for their cells' repaint.
  void FlushChanges();
  // Repaints asked for and cells drawn since the start (tests and benchmarks).
  int PaintCount() const { return paints_; }
  long long PaintedCells() const { return paintedCells_; }
  QRegion LastFlushRegion() const { return lastFlush_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  void SubscribeRow(const DC_Contract& contract) override;
  void UnsubscribeRow(const DC_Contract& contract) override;
  bool ReadSnapshot(const DC_Contract& contract, DC_QuoteData* out) override;

  void LoadLook();
  void Relayout();
  void SelectRow(int position);
  void PostSelection();
  int ColumnEdgeAt(const QPoint& p) const;
  QRect VBarRect() const;
  QRect HBarRect() const;
  QRect VThumbRect() const;
  QRect HThumbRect() const;
  int MaxHScroll() const;
  int BodyTop() const { return headerHeight_; }
  int BodyBottom() const;
  int BodyRight() const;
  void DrawHeader(QPainter& p, const QRegion& region);
  void DrawRow(QPainter& p, const QRegion& region, int position, int64_t now);
  void DrawScrollBars(QPainter& p);
  const QFont& FontFor(int kind, bool selected) const;
  const QFontMetrics& MetricsFor(const QFont& font) const;

  tarn::QuoteGridModel model_;
  // Fonts: Latin text (figures), Chinese text (names, headers), their bold cuts and the larger
  // bold cut of the selected row.
  QFont eng_, engBold_, engHuge_, chn_, chnBold_, chnHuge_;
  mutable std::deque<std::pair<const QFont*, QFontMetrics>> metrics_;
  // The printable ASCII glyphs of each font with their advances: figures are drawn as glyph
  // runs from these, without shaping every text again.
  struct AsciiGlyphs {
    QRawFont raw;
    quint32 glyph[128] = {};
    qreal advance[128] = {};
  };
  mutable std::deque<std::pair<const QFont*, AsciiGlyphs>> glyphs_;
  const AsciiGlyphs& GlyphsFor(const QFont& font) const;
  // What the painter holds while a page is drawn, so that it is set only when it changes.
  struct PainterState {
    const QFont* font = nullptr;
    const QFontMetrics* metrics = nullptr;
    QColor pen;
    bool penSet = false;
  } current_;
  int rowHeight_ = 20;
  int headerHeight_ = 22;
  int barSize_ = 12;
  int hScroll_ = 0;
  std::vector<int> colX_;   // left edge of each column, -1 when scrolled out
  bool showVBar_ = false;
  bool showHBar_ = false;

  enum class Drag { None, Resize, Column, Row, VThumb, HThumb };
  Drag drag_ = Drag::None;
  int dragColumn_ = -1;
  int dragRow_ = -1;
  int dragTarget_ = -1;
  int dragStartX_ = 0;
  int dragStartWidth_ = 0;
  int dragStartValue_ = 0;
  QPoint pressPos_;
  bool moved_ = false;

  QTimer highlightTimer_;
  QTimer autoFitTimer_;   // timer 22
  QElapsedTimer sinceRows_;
  QTimer flushTimer_;
  QElapsedTimer sinceFlush_;
  QRegion lastFlush_;
  int paints_ = 0;
  long long paintedCells_ = 0;
};
