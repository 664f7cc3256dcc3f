#include "quote/gui/quote_grid_ctrl.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QGlyphRun>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "data/quote_data_center.h"
#include "platform/clock.h"
#include "quote/gui/grid_messages.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using tarn::QuoteGridModel;

namespace {

constexpr int kEdgeGrab = 4;         // pixels either side of a column's right edge that resize it
constexpr int kFlushIntervalMs = 33;  // at most about 30 repaints of changed cells a second
constexpr int kWheelRows = 3;
constexpr int kDragSlop = 4;

QColor Q(tarn::Colorref c) { return tarn::ui::FromColorref(c); }

bool LeftAligned(int kind) { return kind == kGridName || kind == kGridCode; }

QFont GridFont(const GridFontSetting& s, int extraPixels, bool bold) {
  QFont f(tarn::ui::ToQString(s.faceName));
  f.setPixelSize(std::max(6, tarn::ui::Scaled(s.height > 0 ? s.height : 14) + extraPixels));
  int weight = s.weight > 0 ? std::clamp(s.weight, 100, 900) : 400;
  if (bold) weight = std::max(weight, 700);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

// Names and headers are converted once per text.
const QString& Cached(std::unordered_map<std::string, QString>& cache, const std::string& gbk) {
  auto it = cache.find(gbk);
  if (it == cache.end()) {
    if (cache.size() > 20000) cache.clear();
    it = cache.emplace(gbk, tarn::ui::ToQString(gbk)).first;
  }
  return it->second;
}

std::unordered_map<std::string, QString>& TextCache() {
  static std::unordered_map<std::string, QString> cache;
  return cache;
}

}  // namespace

CQuoteGridCtrl::CQuoteGridCtrl(QWidget* parent) : QWidget(parent), model_(this) {
  setObjectName(QStringLiteral("QGrid"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  model_.SetChangedCallback([this] { tarn::PostWindowMessage(this, tarn::kMsgGridRowsChanged); });
  LoadLook();
  GetSettingCfg().AddListener(this);
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, [this] {
    LoadLook();
    update();
  });
  highlightTimer_.setInterval(100);
  connect(&highlightTimer_, &QTimer::timeout, this, [this] {
    if (model_.ExpireHighlights()) FlushChanges();
  });
  highlightTimer_.start();
  autoFitTimer_.setInterval(200);
  connect(&autoFitTimer_, &QTimer::timeout, this, [this] {
    const int rows = model_.RowCount();
    if (model_.RowsWithQuoteTime() * 10 > rows || sinceRows_.elapsed() > 3000) {
      autoFitTimer_.stop();
      AutoFitWidths(false);
    }
  });
  flushTimer_.setSingleShot(true);
  connect(&flushTimer_, &QTimer::timeout, this, &CQuoteGridCtrl::FlushChanges);
  sinceFlush_.start();
  sinceRows_.start();
}

CQuoteGridCtrl::~CQuoteGridCtrl() {
  // No notification may reach the model once destruction has begun.
  CQuoteDataClient::Detach();
  model_.UnsubscribeAll();
  GetSettingCfg().RemoveListener(this);
}

// ---- subscriptions ----------------------------------------------------------------------------

void CQuoteGridCtrl::SubscribeRow(const DC_Contract& contract) { Subscribe(contract); }
void CQuoteGridCtrl::UnsubscribeRow(const DC_Contract& contract) { Unsubscribe(contract); }
bool CQuoteGridCtrl::ReadSnapshot(const DC_Contract& contract, DC_QuoteData* out) {
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center || !out) return false;
  // No listener: the library hands the current snapshot and keeps no subscription.
  DC_Quote buf{};
  buf.contract = contract;
  if (center->SubscribeQuote(NotifyHandle(), &contract, &buf, 1) != 0 || !buf.contract.SameKey(contract)) return false;
  *out = buf.data;
  return true;
}

int CQuoteGridCtrl::OnQuote(int status, const DC_Quote* quote) {
  if (status == 0 && quote) model_.ApplyQuote(*quote);
  return 0;
}

// ---- operations -------------------------------------------------------------------------------

void CQuoteGridCtrl::LoadLook() {
  const CSettingCfg& cfg = GetSettingCfg();
  const int huge = tarn::ui::Scaled(3);
  eng_ = GridFont(cfg.engFont, 0, false);
  engBold_ = GridFont(cfg.engFont, 0, true);
  engHuge_ = GridFont(cfg.engFont, huge, true);
  chn_ = GridFont(cfg.chineseFont, 0, false);
  chnBold_ = GridFont(cfg.chineseFont, 0, true);
  chnHuge_ = GridFont(cfg.chineseFont, huge, true);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  tarn::GridPalette palette;
  palette.up = tarn::ui::ToColorref(t.rising);
  palette.down = tarn::ui::ToColorref(t.falling);
  palette.quote = tarn::ui::ToColorref(t.quote);
  model_.SetPalette(palette);
  model_.SetChangeBase(tarn::ChangeBaseFromSetting(cfg.zfKind));

  metrics_.clear();
  glyphs_.clear();
  const QFontMetrics engM(engHuge_), chnM(chnHuge_);
  rowHeight_ = std::max(engM.height(), chnM.height()) + tarn::ui::Scaled(4);
  headerHeight_ = rowHeight_ + tarn::ui::Scaled(2);
  barSize_ = tarn::ui::Scaled(12);
  tarn::GridWidthMetrics m;
  m.unit = 1.3 * engM.horizontalAdvance(QLatin1Char('A'));
  const QScreen* screen = QGuiApplication::primaryScreen();
  m.scale = screen ? tarn::GridWidthScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY(),
                                          screen->geometry().height())
                   : 1.0;
  const QFont header = chn_;
  m.headerTextWidth = [header](const std::string& gbk) {
    return QFontMetrics(header).horizontalAdvance(tarn::ui::ToQString(gbk));
  };
  model_.SetWidthMetrics(m);
  Relayout();
}

void CQuoteGridCtrl::AddColumn(int kind) {
  model_.AddColumn(kind);
  Relayout();
}

bool CQuoteGridCtrl::LoadColumns(bool replace) {
  const bool replaced = model_.LoadColumns(replace);
  Relayout();
  update();
  return replaced;
}

bool CQuoteGridCtrl::SaveColumns() { return model_.SaveColumns(); }

void CQuoteGridCtrl::SetRows(const std::vector<DC_Contract>& contracts, bool userBlock, bool keepPlace) {
  model_.SetRows(contracts, userBlock, 0, keepPlace);
  Relayout();
  update();
  if (!keepPlace) {
    sinceRows_.restart();
    autoFitTimer_.start();
  }
}

void CQuoteGridCtrl::Sort(int column, bool ascending) {
  model_.Sort(column, ascending);
  update();
}

void CQuoteGridCtrl::AutoFitWidths(bool nameOnly) {
  const QFontMetrics eng(eng_), chn(chn_), engBold(engBold_);
  const bool bold = model_.Flags().highLight;
  model_.AutoFit(nameOnly, [&](const std::string& text, int kind) {
    if (kind == kGridName) return chn.horizontalAdvance(tarn::ui::ToQString(text));
    return (bold ? engBold : eng).horizontalAdvance(tarn::ui::ToQString(text));
  });
  Relayout();
  update();
}

void CQuoteGridCtrl::SetColumnKinds(const std::vector<int>& kinds) {
  model_.SetColumnKinds(kinds);
  model_.SaveColumns();
  hScroll_ = 0;
  Relayout();
  update();
}

void CQuoteGridCtrl::SetSwitch(tarn::GridSwitch s, bool on) {
  tarn::SaveGridSwitch(s, on);
  model_.Flags().Set(s, on);
  update();
}

void CQuoteGridCtrl::OnSettingCfgChanged(bool recomputeColumns) {
  LoadLook();
  if (recomputeColumns) {
    model_.RecomputeWidths();
    model_.SaveColumns();
  }
  model_.LoadColumns(false);  // the display switches
  Relayout();
  update();
  updateGeometry();
  if (QWidget* p = parentWidget()) p->updateGeometry();
}

// ---- layout -----------------------------------------------------------------------------------

int CQuoteGridCtrl::BodyBottom() const { return height() - (showHBar_ ? barSize_ : 0); }
int CQuoteGridCtrl::BodyRight() const { return width() - (showVBar_ ? barSize_ : 0); }

int CQuoteGridCtrl::MaxHScroll() const {
  const auto& cols = model_.Columns();
  if (cols.size() <= 2) return 0;
  int fixed = 0;
  for (std::size_t i = 0; i < 2 && i < cols.size(); ++i) fixed += cols[i].width;
  int rest = 0;
  for (std::size_t i = 2; i < cols.size(); ++i) rest += cols[i].width;
  int skip = 0;
  const int avail = BodyRight() - fixed;
  while (skip < static_cast<int>(cols.size()) - 3 && rest > avail) rest -= cols[2 + static_cast<std::size_t>(skip++)].width;
  return skip;
}

void CQuoteGridCtrl::Relayout() {
  const auto& cols = model_.Columns();
  int total = 0;
  for (const QG_ColInfo& c : cols) total += c.width;
  const int rows = model_.RowCount();
  // Whether the bars show depends on the room the other leaves.
  showVBar_ = showHBar_ = false;
  for (int pass = 0; pass < 2; ++pass) {
    showHBar_ = total > BodyRight();
    const int page = std::max(0, (BodyBottom() - headerHeight_) / std::max(1, rowHeight_));
    showVBar_ = rows > page;
  }
  hScroll_ = std::clamp(hScroll_, 0, MaxHScroll());
  colX_.assign(cols.size(), -1);
  int x = 0;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i >= 2 && static_cast<int>(i) < 2 + hScroll_) continue;
    colX_[i] = x;
    model_.SetHeaderRect(static_cast<int>(i), {x, 0, cols[i].width, headerHeight_});
    x += cols[i].width;
  }
  const int bodyHeight = std::max(0, BodyBottom() - headerHeight_);
  const int page = bodyHeight / std::max(1, rowHeight_);
  const int drawn = (bodyHeight + rowHeight_ - 1) / std::max(1, rowHeight_);
  model_.SetViewport(page, drawn);
}

void CQuoteGridCtrl::resizeEvent(QResizeEvent*) { Relayout(); }

QRect CQuoteGridCtrl::HeaderRect(int column) const {
  if (column < 0 || column >= static_cast<int>(colX_.size()) || colX_[static_cast<std::size_t>(column)] < 0) return {};
  return QRect(colX_[static_cast<std::size_t>(column)], 0, model_.Columns()[static_cast<std::size_t>(column)].width,
               headerHeight_);
}

QRect CQuoteGridCtrl::CellRect(int position, int column) const {
  const QRect h = HeaderRect(column);
  if (h.isEmpty()) return {};
  const int row = position - model_.FirstVisible();
  return QRect(h.x(), headerHeight_ + row * rowHeight_, h.width(), rowHeight_);
}

int CQuoteGridCtrl::RowAt(const QPoint& p) const {
  if (p.y() < headerHeight_ || p.y() >= BodyBottom() || p.x() >= BodyRight()) return -1;
  const int pos = model_.FirstVisible() + (p.y() - headerHeight_) / rowHeight_;
  return pos < model_.RowCount() ? pos : -1;
}

int CQuoteGridCtrl::ColumnAt(const QPoint& p) const {
  if (p.x() >= BodyRight()) return -1;
  for (int i = 0; i < static_cast<int>(colX_.size()); ++i) {
    const QRect h = HeaderRect(i);
    if (!h.isEmpty() && p.x() >= h.left() && p.x() <= h.right()) return i;
  }
  return -1;
}

int CQuoteGridCtrl::ColumnEdgeAt(const QPoint& p) const {
  if (p.y() >= headerHeight_) return -1;
  for (int i = 0; i < static_cast<int>(colX_.size()); ++i) {
    const QRect h = HeaderRect(i);
    if (!h.isEmpty() && std::abs(p.x() - (h.x() + h.width())) <= kEdgeGrab) return i;
  }
  return -1;
}

void CQuoteGridCtrl::ScrollColumns(int delta) {
  const int before = hScroll_;
  hScroll_ = std::clamp(hScroll_ + delta, 0, MaxHScroll());
  if (hScroll_ == before) return;
  Relayout();
  update();
}

QRect CQuoteGridCtrl::VBarRect() const {
  return showVBar_ ? QRect(width() - barSize_, headerHeight_, barSize_, BodyBottom() - headerHeight_) : QRect();
}
QRect CQuoteGridCtrl::HBarRect() const { return showHBar_ ? QRect(0, height() - barSize_, BodyRight(), barSize_) : QRect(); }

QRect CQuoteGridCtrl::VThumbRect() const {
  const QRect bar = VBarRect();
  if (bar.isEmpty()) return {};
  const int range = std::max(1, model_.MaxFirstVisible());
  const int len = std::clamp(bar.height() * model_.PageRows() / std::max(1, model_.RowCount() + 3), barSize_ * 2,
                             std::max(barSize_ * 2, bar.height()));
  const int y = bar.top() + (bar.height() - len) * model_.FirstVisible() / range;
  return QRect(bar.left() + 2, y, bar.width() - 4, len);
}

QRect CQuoteGridCtrl::HThumbRect() const {
  const QRect bar = HBarRect();
  const int range = MaxHScroll();
  if (bar.isEmpty() || range <= 0) return {};
  const int scrollable = std::max(1, model_.ColumnCount() - 2);
  const int len = std::clamp(bar.width() * (scrollable - range) / scrollable, barSize_ * 2, std::max(barSize_ * 2, bar.width()));
  const int x = bar.left() + (bar.width() - len) * hScroll_ / range;
  return QRect(x, bar.top() + 2, len, bar.height() - 4);
}

// ---- changes ----------------------------------------------------------------------------------

bool CQuoteGridCtrl::event(QEvent* e) {
  if (static_cast<int>(e->type()) == tarn::kMsgGridRowsChanged) {
    const qint64 since = sinceFlush_.elapsed();
    if (since >= kFlushIntervalMs) FlushChanges();
    else if (!flushTimer_.isActive()) flushTimer_.start(static_cast<int>(kFlushIntervalMs - since));
    return true;
  }
  return QWidget::event(e);
}

void CQuoteGridCtrl::FlushChanges() {
  flushTimer_.stop();
  sinceFlush_.restart();
  const std::vector<QuoteGridModel::DirtyRow> dirty = model_.TakeDirty();
  QRegion region;
  const int first = model_.FirstVisible(), last = first + model_.DrawnRows();
  for (const QuoteGridModel::DirtyRow& d : dirty) {
    if (d.position < first || d.position >= last) continue;
    for (int col = 0; col < model_.ColumnCount(); ++col) {
      const int kind = model_.KindAt(col);
      if (!IsGridDataIndex(kind) || !(d.kinds & (1u << kind))) continue;
      const QRect r = CellRect(d.position, col);
      if (!r.isEmpty()) region += r;
    }
  }
  lastFlush_ = region;
  if (!region.isEmpty()) update(region);
}

// ---- painting ---------------------------------------------------------------------------------

const QFont& CQuoteGridCtrl::FontFor(int kind, bool selected) const {
  const tarn::GridDisplayFlags& f = model_.Flags();
  if (kind == kGridName) return selected && f.selFontHuge ? chnHuge_ : chn_;
  if (selected && f.selFontHuge) return engHuge_;
  return f.highLight ? engBold_ : eng_;
}

void CQuoteGridCtrl::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  Paint(p, e->region());
}

void CQuoteGridCtrl::Paint(QPainter& p, const QRegion& region) {
  ++paints_;
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  p.save();
  p.setClipRegion(region, Qt::IntersectClip);
  if (region.intersects(QRect(0, 0, width(), headerHeight_))) DrawHeader(p, region);
  const int64_t now = tarn::TickCount();
  const int first = model_.FirstVisible();
  const int last = std::min(model_.RowCount(), first + model_.DrawnRows());
  const QRect body(0, headerHeight_, BodyRight(), BodyBottom() - headerHeight_);
  p.setClipRect(body, Qt::IntersectClip);
  current_ = {};
  for (int pos = first; pos < last; ++pos) {
    const QRect rowRect(0, headerHeight_ + (pos - first) * rowHeight_, BodyRight(), rowHeight_);
    if (region.intersects(rowRect)) DrawRow(p, region, pos, now);
  }
  // Below the last row.
  const int end = headerHeight_ + (last - first) * rowHeight_;
  if (end < body.bottom() + 1) p.fillRect(QRect(0, end, BodyRight(), body.bottom() + 1 - end), t.background);
  // Where a dragged row would go.
  if (drag_ == Drag::Row && moved_ && dragTarget_ >= first && dragTarget_ < last) {
    const int y = headerHeight_ + (dragTarget_ - first + (dragTarget_ > dragRow_ ? 1 : 0)) * rowHeight_;
    p.fillRect(QRect(0, y - 1, BodyRight(), 2), t.hint);
  }
  p.restore();
  if (showVBar_ || showHBar_) DrawScrollBars(p);
}

void CQuoteGridCtrl::DrawHeader(QPainter& p, const QRegion& region) {
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const QColor panel = tarn::ui::Blend(t.background, t.menuBar, 0.7);
  const QColor line = tarn::ui::Blend(t.background, t.border, 0.8);
  p.fillRect(QRect(0, 0, width(), headerHeight_), panel);
  p.setFont(chn_);
  for (int col = 0; col < model_.ColumnCount(); ++col) {
    const QRect r = HeaderRect(col);
    if (r.isEmpty() || r.left() >= BodyRight() || !region.intersects(r)) continue;
    const int kind = model_.KindAt(col);
    const QString& text = Cached(TextCache(), tarn::GridHeaderText(kind));
    const bool sorted = col == model_.SortColumn() && col > 0;
    const int arrow = sorted ? tarn::ui::Scaled(8) : 0;
    p.setPen(t.header);
    const QRect textRect = r.adjusted(4, 0, -4 - arrow, 0);
    p.drawText(textRect, (LeftAligned(kind) ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
    if (sorted) {
      // A small triangle right of the text: up for ascending, down for descending.
      const int cx = r.right() - 4 - arrow / 2, cy = r.center().y(), s = std::max(2, arrow / 3);
      QPainterPath tri;
      if (model_.SortAscending()) {
        tri.moveTo(cx - s, cy + s / 2);
        tri.lineTo(cx + s, cy + s / 2);
        tri.lineTo(cx, cy - s);
      } else {
        tri.moveTo(cx - s, cy - s / 2);
        tri.lineTo(cx + s, cy - s / 2);
        tri.lineTo(cx, cy + s);
      }
      tri.closeSubpath();
      p.fillPath(tri, t.header);
    }
    p.fillRect(QRect(r.right(), tarn::ui::Scaled(4), 1, headerHeight_ - tarn::ui::Scaled(8)), line);
    if (drag_ == Drag::Column && moved_ && col == dragTarget_ && dragTarget_ != dragColumn_ && dragColumn_ >= 2 &&
        col >= 2)
      p.fillRect(QRect(dragTarget_ < dragColumn_ ? r.left() : r.right() - 1, 0, 2, headerHeight_), t.hint);
  }
  p.fillRect(QRect(0, headerHeight_ - 1, width(), 1), line);
}

void CQuoteGridCtrl::DrawRow(QPainter& p, const QRegion& region, int position, int64_t now) {
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const tarn::GridDisplayFlags& flags = model_.Flags();
  const QuoteGridRow& row = *model_.RowAt(position);
  const DC_QuoteData quote = row.Quote();
  const bool selected = position == model_.Selected();
  const int y = headerHeight_ + (position - model_.FirstVisible()) * rowHeight_;
  QColor rowBack = (position % 2) ? t.zebra : t.background;
  if (selected && flags.reverseSelRowColor) rowBack = tarn::ui::Blend(t.title, t.border, 0.2);
  p.fillRect(QRect(0, y, BodyRight(), rowHeight_), rowBack);
  const QColor line = tarn::ui::Blend(t.background, t.border, 0.7);
  const int pad = tarn::ui::Scaled(4);
  int right = 0;
  for (int col = 0; col < model_.ColumnCount(); ++col) {
    const QRect r = CellRect(position, col);
    if (r.isEmpty()) continue;
    right = std::max(right, r.x() + r.width());
    if (r.left() >= BodyRight() || !region.intersects(r)) continue;
    ++paintedCells_;
    const int kind = model_.KindAt(col);
    const std::optional<tarn::Colorref> highlight = model_.HighlightOf(row, kind, now);
    if (highlight) p.fillRect(r, Q(*highlight));
    const tarn::GridCell cell = model_.CellOf(row, position, kind, quote);
    if (!cell.text.empty()) {
      const QFont& font = FontFor(kind, selected);
      if (current_.font != &font) {
        p.setFont(font);
        current_.font = &font;
        current_.metrics = &MetricsFor(font);
      }
      const QColor pen = highlight ? QColor(255, 255, 255) : Q(cell.color);
      if (!current_.penSet || current_.pen != pen) {
        p.setPen(pen);
        current_.pen = pen;
        current_.penSet = true;
      }
      bool ascii = true;
      for (unsigned char ch : cell.text) ascii = ascii && ch >= 0x20 && ch < 0x7F;
      const QFontMetrics& fm = *current_.metrics;
      const int baseline = r.top() + (r.height() + fm.ascent() - fm.descent()) / 2;
      // Figures: a glyph run from the font's ASCII glyphs; other texts are shaped.
      QString text;
      QGlyphRun run;
      int w;
      if (ascii && GlyphsFor(font).raw.isValid()) {
        const AsciiGlyphs& g = GlyphsFor(font);
        QList<quint32> indexes;
        QList<QPointF> positions;
        indexes.reserve(static_cast<qsizetype>(cell.text.size()));
        positions.reserve(static_cast<qsizetype>(cell.text.size()));
        qreal pen = 0;
        for (unsigned char ch : cell.text) {
          indexes.push_back(g.glyph[ch]);
          positions.push_back(QPointF(pen, 0));
          pen += g.advance[ch];
        }
        run.setRawFont(g.raw);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        w = static_cast<int>(std::ceil(pen));
      } else {
        text = Cached(TextCache(), cell.text);
        w = fm.horizontalAdvance(text);
      }
      const int x = LeftAligned(kind) ? r.left() + pad : r.right() - pad - w;
      const bool cut = w + 2 * pad > r.width();
      if (cut) {
        // A text wider than its cell is cut at the cell's edges.
        p.save();
        p.setClipRect(r, Qt::IntersectClip);
      }
      if (text.isNull()) p.drawGlyphRun(QPointF(x, baseline), run);
      else p.drawText(QPoint(x, baseline), text);
      if (cut) p.restore();
    }
    if (flags.verticalGrid) p.fillRect(QRect(r.right(), r.top(), 1, r.height()), line);
    if (flags.horizonGrid) p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), line);
  }
  if (selected && flags.isSelRowRect) {
    const QRect frame(0, y, std::min(BodyRight(), right) - 1, rowHeight_ - 1);
    p.setPen(QPen(tarn::ui::Blend(t.text, t.border, 0.35), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
    current_.penSet = false;
  }
}

const CQuoteGridCtrl::AsciiGlyphs& CQuoteGridCtrl::GlyphsFor(const QFont& font) const {
  for (auto& [f, g] : glyphs_)
    if (f == &font) return g;
  AsciiGlyphs g;
  g.raw = QRawFont::fromFont(font);
  if (g.raw.isValid()) {
    QString all;
    for (int c = 0x20; c < 0x7F; ++c) all.append(QChar(c));
    const QList<quint32> indexes = g.raw.glyphIndexesForString(all);
    const QList<QPointF> advances = g.raw.advancesForGlyphIndexes(indexes, QRawFont::UseDesignMetrics);
    if (indexes.size() == all.size() && advances.size() == all.size()) {
      for (int c = 0x20; c < 0x7F; ++c) {
        g.glyph[c] = indexes[c - 0x20];
        g.advance[c] = advances[c - 0x20].x();
      }
    } else {
      g.raw = QRawFont();
    }
  }
  glyphs_.emplace_back(&font, g);
  return glyphs_.back().second;
}

const QFontMetrics& CQuoteGridCtrl::MetricsFor(const QFont& font) const {
  for (auto& [f, m] : metrics_)
    if (f == &font) return m;
  metrics_.emplace_back(&font, QFontMetrics(font));
  return metrics_.back().second;
}

void CQuoteGridCtrl::DrawScrollBars(QPainter& p) {
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const QColor track = tarn::ui::Blend(t.background, t.menuBar, 0.6);
  const QColor thumb = tarn::ui::Blend(t.border, t.text, 0.25);
  if (showVBar_) {
    p.fillRect(VBarRect(), track);
    p.fillRect(VThumbRect(), thumb);
  }
  if (showHBar_) {
    p.fillRect(HBarRect(), track);
    p.fillRect(HThumbRect(), thumb);
  }
  if (showVBar_ && showHBar_) p.fillRect(QRect(BodyRight(), BodyBottom(), barSize_, barSize_), track);
}

// ---- selection --------------------------------------------------------------------------------

void CQuoteGridCtrl::PostSelection() {
  const int sel = model_.Selected();
  if (sel < 0 || !parentWidget()) return;
  QCoreApplication::postEvent(parentWidget(),
                              new tarn::ContractMessage(tarn::kMsgGridSelectionChanged, model_.RowAt(sel)->contract));
}

void CQuoteGridCtrl::SelectRow(int position) {
  if (model_.Select(position)) PostSelection();
  update();
}

// ---- mouse ------------------------------------------------------------------------------------

void CQuoteGridCtrl::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  pressPos_ = pos;
  moved_ = false;
  drag_ = Drag::None;
  if (e->button() == Qt::RightButton) {
    const int row = RowAt(pos);
    if (row >= 0) SelectRow(row);
    if (onContextMenu) onContextMenu(e->globalPosition().toPoint(), row);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  if (VBarRect().contains(pos)) {
    const QRect thumb = VThumbRect();
    if (thumb.contains(pos)) {
      drag_ = Drag::VThumb;
      dragStartValue_ = model_.FirstVisible();
    } else {
      model_.ScrollTo(model_.FirstVisible() + (pos.y() < thumb.top() ? -1 : 1) * std::max(1, model_.PageRows()));
      update();
    }
    return;
  }
  if (HBarRect().contains(pos)) {
    const QRect thumb = HThumbRect();
    if (thumb.contains(pos)) {
      drag_ = Drag::HThumb;
      dragStartValue_ = hScroll_;
    } else {
      ScrollColumns(pos.x() < thumb.left() ? -1 : 1);
    }
    return;
  }
  if (pos.y() < headerHeight_) {
    const int edge = ColumnEdgeAt(pos);
    if (edge >= 0) {
      drag_ = Drag::Resize;
      dragColumn_ = edge;
      dragStartX_ = pos.x();
      dragStartWidth_ = model_.Columns()[static_cast<std::size_t>(edge)].width;
      return;
    }
    const int col = ColumnAt(pos);
    if (col >= 0) {
      drag_ = Drag::Column;
      dragColumn_ = col;
      dragTarget_ = col;
    }
    return;
  }
  const int row = RowAt(pos);
  if (row < 0) return;
  SelectRow(row);
  if (model_.BlockOrder()) {
    drag_ = Drag::Row;
    dragRow_ = row;
    dragTarget_ = row;
  }
}

void CQuoteGridCtrl::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if ((pos - pressPos_).manhattanLength() > kDragSlop) moved_ = true;
  switch (drag_) {
    case Drag::None:
      setCursor(ColumnEdgeAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
      return;
    case Drag::Resize:
      model_.SetColumnWidth(dragColumn_, dragStartWidth_ + pos.x() - dragStartX_);
      Relayout();
      update();
      return;
    case Drag::Column: {
      const int col = ColumnAt(pos);
      if (col != dragTarget_) {
        dragTarget_ = col;
        update(QRect(0, 0, width(), headerHeight_));
      }
      return;
    }
    case Drag::Row: {
      int row = pos.y() < headerHeight_ ? model_.FirstVisible() : RowAt(pos);
      if (row < 0) row = std::min(model_.RowCount() - 1, model_.FirstVisible() + model_.DrawnRows() - 1);
      if (row != dragTarget_) {
        dragTarget_ = row;
        update();
      }
      return;
    }
    case Drag::VThumb: {
      const QRect bar = VBarRect();
      const int travel = std::max(1, bar.height() - VThumbRect().height());
      const int delta = (pos.y() - pressPos_.y()) * model_.MaxFirstVisible() / travel;
      if (model_.ScrollTo(dragStartValue_ + delta)) update();
      return;
    }
    case Drag::HThumb: {
      const QRect bar = HBarRect();
      const int travel = std::max(1, bar.width() - HThumbRect().width());
      const int target = dragStartValue_ + (pos.x() - pressPos_.x()) * MaxHScroll() / travel;
      ScrollColumns(target - hScroll_);
      return;
    }
  }
}

void CQuoteGridCtrl::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint pos = e->position().toPoint();
  const Drag drag = drag_;
  drag_ = Drag::None;
  switch (drag) {
    case Drag::Resize: model_.SaveColumns(); break;
    case Drag::Column: {
      const int target = pos.y() < headerHeight_ ? ColumnAt(pos) : -1;
      if (target == dragColumn_) {
        if (model_.ClickHeader(dragColumn_)) update();
      } else if (moved_ && target >= 2 && dragColumn_ >= 2) {
        model_.MoveColumn(dragColumn_, target);
        Relayout();
      }
      update();
      break;
    }
    case Drag::Row:
      if (moved_ && dragTarget_ >= 0 && dragTarget_ != dragRow_ && model_.MoveRow(dragRow_, dragTarget_)) {
        if (onRowsReordered) onRowsReordered();
      }
      update();
      break;
    default: break;
  }
}

void CQuoteGridCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  // A quick second click on a header is a click like any other.
  if (pos.y() < headerHeight_ || VBarRect().contains(pos) || HBarRect().contains(pos)) {
    mousePressEvent(e);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  const int row = RowAt(pos);
  if (row < 0 || !parentWidget()) return;
  tarn::ContractMessage msg(tarn::kMsgGridRowDoubleClicked, model_.RowAt(row)->contract);
  QCoreApplication::sendEvent(parentWidget(), &msg);
}

void CQuoteGridCtrl::wheelEvent(QWheelEvent* e) {
  const int notches = e->angleDelta().y() / 120;
  if (notches != 0 && model_.ScrollTo(model_.FirstVisible() - notches * kWheelRows)) update();
  e->accept();
}

void CQuoteGridCtrl::leaveEvent(QEvent*) {
  if (drag_ == Drag::None) setCursor(Qt::ArrowCursor);
}

// ---- keyboard ---------------------------------------------------------------------------------

void CQuoteGridCtrl::keyPressEvent(QKeyEvent* e) {
  if (model_.RowCount() == 0) {
    QWidget::keyPressEvent(e);
    return;
  }
  using K = QuoteGridModel::NavKey;
  auto nav = [&](K k) {
    if (model_.Navigate(k)) PostSelection();
    update();
  };
  switch (e->key()) {
    case Qt::Key_Up: nav(K::Up); break;
    case Qt::Key_Down: nav(K::Down); break;
    case Qt::Key_PageUp: nav(K::PageUp); break;
    case Qt::Key_PageDown: nav(K::PageDown); break;
    case Qt::Key_Left: ScrollColumns(-1); break;
    case Qt::Key_Right: ScrollColumns(1); break;
    case Qt::Key_Delete:
      if (model_.Selected() >= 0 && onDeleteKey) onDeleteKey(model_.Selected());
      break;
    case Qt::Key_Z:
      if (e->modifiers() & Qt::ControlModifier) {
        if (model_.Selected() >= 0 && onToggleUserBlock) onToggleUserBlock(model_.Selected());
        break;
      }
      [[fallthrough]];
    default: QWidget::keyPressEvent(e); return;
  }
  e->accept();
}
