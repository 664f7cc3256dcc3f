#include "workspace/gui/wnd_chart_container.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <set>

#include "chart/chart_forms.h"
#include "chart/chart_menu.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "workspace/gui/chart_container.h"
#include "data/quote_data_center.h"
#include "quote/gui/wnd_quote_gird.h"
#include "ui/theme.h"
#include "ui/window_message.h"

CWndChartContainer::CWndChartContainer(QWidget* parent) : QWidget(parent), layout_(this) {
  setObjectName(QStringLiteral("WndChartContainer"));
  setMouseTracking(true);
  layout_.MakeSingle();
  focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusMoved(now); });
}

CWndChartContainer::~CWndChartContainer() {
  // The containers are children and go with the window; the layout must not release them again.
  disconnect(focusWatch_);
  for (auto& [id, c] : windows_) c->removeEventFilter(this);
}

namespace {

bool IsPageDrawingTool(int id) {
  for (const tarn::DrawingTool& t : tarn::DrawingTools())
    if (t.command == id) return true;
  return false;
}

}  // namespace

int CWndChartContainer::CreateLeafWindow() {
  const int id = nextId_++;
  auto* c = new CChartContainer(this);
  c->currentContract = [this] { return currentContract ? currentContract() : DC_Contract{}; };
  c->onWindowCommand = [this, c](int command) { WindowCommand(c, command); };
  c->workspaceWindows = [this] { return layout_.WindowCount(); };
  c->installEventFilter(this);
  windows_[id] = c;
  c->show();
  return id;
}

void CWndChartContainer::ReleaseLeafWindow(int window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  CChartContainer* c = it->second;
  windows_.erase(it);
  // The command that closes a window may come from inside it: it goes when control returns.
  c->removeEventFilter(this);
  c->hide();
  c->deleteLater();
}

void CWndChartContainer::LeafWindowsChanged(const std::vector<int>&) { update(); }

std::vector<CChartContainer*> CWndChartContainer::Containers() const {
  Build();
  std::vector<CChartContainer*> out;
  for (int id : layout_.Windows())
    if (auto it = windows_.find(id); it != windows_.end()) out.push_back(it->second);
  return out;
}

int CWndChartContainer::IdOf(const CChartContainer* c) const {
  for (const auto& [id, w] : windows_)
    if (w == c) return id;
  return 0;
}

CChartContainer* CWndChartContainer::Current() const {
  Build();
  auto it = windows_.find(layout_.Current());
  return it == windows_.end() ? nullptr : it->second;
}

void CWndChartContainer::SetCurrent(CChartContainer* c) {
  Build();
  const int id = IdOf(c);
  if (id == 0 || id == layout_.Current()) return;
  layout_.SetCurrent(id);
  if (layout_.Maximised()) Relayout();
  update();
  if (onCurrentChanged) onCurrentChanged(c);
}

void CWndChartContainer::FocusMoved(QWidget* now) {
  for (QWidget* w = now; w && w != this; w = w->parentWidget())
    if (auto* c = qobject_cast<CChartContainer*>(w); c && IdOf(c)) {
      SetCurrent(c);
      return;
    }
}

bool CWndChartContainer::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress)
    if (auto* c = qobject_cast<CChartContainer*>(watched)) SetCurrent(c);
  return QWidget::eventFilter(watched, e);
}

void CWndChartContainer::WindowCommand(CChartContainer* c, int command) {
  const int id = IdOf(c);
  if (id == 0) return;
  switch (command) {
    case tarn::kWindowSplitTopBottom:
    case tarn::kWindowSplitLeftRight: {
      layout_.Split(id, command == tarn::kWindowSplitTopBottom ? tarn::kSplitTopBottom
                                                                                 : tarn::kSplitLeftRight);
      break;
    }
    case tarn::kWindowClose:
      if (!layout_.Close(id)) c->ResetToEmpty();
      if (onCurrentChanged) onCurrentChanged(Current());
      break;
    case tarn::kWindowMaximize:
      layout_.SetCurrent(id);
      layout_.ToggleMaximise();
      break;
    default: return;
  }
  Relayout();
}

void CWndChartContainer::ApplyScheme(int rows, int columns) {
  Build();
  layout_.ApplyScheme(rows, columns);
  if (rows * columns >= 6)
    for (CChartContainer* c : Containers())
      if (c->Content() == tarn::kContentQuoteGrid) c->SetSidePanel(false);
  Relayout();
}

void CWndChartContainer::Reset() {
  deferred_ = false;
  pending_.clear();
  layout_.MakeSingle();
  Relayout();
}

void CWndChartContainer::Relayout() {
  layout_.Arrange({0, 0, width(), height()});
  for (const auto& [id, c] : windows_) {
    const tarn::LayoutRect r = layout_.WindowRect(id);
    const QRect g(r.x, r.y, r.w, r.h);
    if (c->geometry() != g) c->setGeometry(g);
    const bool shown = r.w > 0 && r.h > 0;  // shown with the workspace, hidden while maximised away
    if (c->isHidden() == shown) c->setVisible(shown);
  }
  if (!layout_.Dragging()) update();
}

void CWndChartContainer::resizeEvent(QResizeEvent*) { Relayout(); }

void CWndChartContainer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  p.fillRect(rect(), t.background);
  for (const tarn::LayoutRect& b : layout_.Bars()) p.fillRect(b.x, b.y, b.w, b.h, t.border);
}

void CWndChartContainer::mousePressEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (e->button() == Qt::LeftButton && layout_.BeginDrag(at.x(), at.y())) grabMouse();
}

void CWndChartContainer::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (layout_.Dragging()) {
    layout_.DragTo(at.x(), at.y());
    Relayout();
    // Only the dragged split's area changed: it is repainted at once, the rest not at all.
    const tarn::LayoutRect r = layout_.DraggedArea();
    repaint(r.x, r.y, r.w, r.h);
    return;
  }
  const int o = layout_.BarOrientationAt(at.x(), at.y());
  if (o == tarn::kSplitTopBottom) setCursor(Qt::SizeVerCursor);
  else if (o == tarn::kSplitLeftRight) setCursor(Qt::SizeHorCursor);
  else unsetCursor();
}

void CWndChartContainer::mouseReleaseEvent(QMouseEvent*) {
  if (!layout_.Dragging()) return;
  layout_.EndDrag();
  releaseMouse();
}

void CWndChartContainer::RunCommand(int id) {
  Build();
  CChartContainer* c = Current();
  if (id == 3006) {
    // Once per distinct contract shown.
    std::set<std::string> asked;
    IQuoteDataCenter* center = GetQuoteDataCenter();
    for (CChartContainer* w : Containers()) {
      const DC_Contract& k = w->Contract();
      if (!center || k.Empty() || !asked.insert(std::string(k.Key())).second) continue;
      center->ContractSettingChanged(k);
    }
    return;
  }
  if (id >= 4000 && id < 5000 && !IsPageDrawingTool(id)) {
    for (CChartContainer* w : Containers()) tarn::PostWindowMessage(w, kMsgContainerTool, id - 4000, 0);
    return;
  }
  if (c) c->RunToolbarCommand(id);
}

void CWndChartContainer::Write(tarn::ArchiveWriter& out) const {
  if (deferred_) {
    out.Raw(pending_.data(), pending_.size());
    return;
  }
  tarn::WriteWorkspaceRecord(out, layout_, flags_, [this](tarn::ArchiveWriter& o, int window) {
    auto it = windows_.find(window);
    tarn::WriteChartState(o, it == windows_.end() ? tarn::ChartContainerState{} : it->second->State());
  });
}

std::string CWndChartContainer::Record() const {
  tarn::ArchiveWriter w;
  Write(w);
  return w.Take();
}

bool CWndChartContainer::ReadDeferred(tarn::ArchiveReader& in) {
  std::string record;
  const bool ok = tarn::CopyWorkspaceRecord(in, &record);
  pending_ = std::move(record);
  deferred_ = true;
  if (isVisible()) Build();
  return ok;
}

void CWndChartContainer::Build() const {
  if (!deferred_) return;
  auto* self = const_cast<CWndChartContainer*>(this);
  self->deferred_ = false;
  const std::string record = std::move(self->pending_);
  self->pending_.clear();
  tarn::ArchiveReader r(record);
  self->Read(r);
}

void CWndChartContainer::showEvent(QShowEvent* e) {
  Build();
  QWidget::showEvent(e);
}

bool CWndChartContainer::Read(tarn::ArchiveReader& in) {
  deferred_ = false;
  pending_.clear();
  const bool ok = tarn::ReadWorkspaceRecord(in, &layout_, &flags_, [this](tarn::ArchiveReader& r, int window) {
    tarn::ChartContainerState s;
    const bool read = tarn::ReadChartState(r, &s);
    windows_[window]->Restore(s);
    return read;
  });
  if (layout_.Empty()) layout_.MakeSingle();
  Relayout();
  return ok;
}
