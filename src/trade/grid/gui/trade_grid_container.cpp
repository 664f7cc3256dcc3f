#include "trade/grid/gui/trade_grid_container.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "engines/gui/condition_windows.h"
#include "engines/gui/order_dialogs.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/orders/order_panel_logic.h"
#include "platform/text.h"
#include "trade/grid/gui/dlg_input.h"
#include "trade/grid/gui/my_color_grid.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

using namespace tarn;

namespace {

CTradeGridContainer* g_instance = nullptr;

const char* const kTabMime = "application/x-tarn-trade-tab";

// A tab bar whose tabs move within the bar as usual and, dragged out of it, start a drag that
// the container takes (onto the other group, or to the right edge to make a second group).
class TradeTabBar : public QTabBar {
 public:
  explicit TradeTabBar(QWidget* parent) : QTabBar(parent) { setMovable(true); }
  std::function<int(int index)> kindOf;

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    pressPos_ = e->position().toPoint();
    pressIndex_ = tabAt(pressPos_);
    QTabBar::mousePressEvent(e);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    const QPoint pos = e->position().toPoint();
    const int margin = Scaled(12);
    if ((e->buttons() & Qt::LeftButton) && pressIndex_ >= 0 && kindOf &&
        (pos.y() < -margin || pos.y() > height() + margin)) {
      const int kind = kindOf(pressIndex_);
      pressIndex_ = -1;
      // End the bar's own move first, so that the tab is back in place.
      QMouseEvent release(QEvent::MouseButtonRelease, pressPos_, e->globalPosition(), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
      QTabBar::mouseReleaseEvent(&release);
      auto* drag = new QDrag(this);
      auto* mime = new QMimeData;
      mime->setData(kTabMime, QByteArray::number(kind));
      drag->setMimeData(mime);
      drag->exec(Qt::MoveAction);
      return;
    }
    QTabBar::mouseMoveEvent(e);
  }

 private:
  static int Scaled(int px) { return ui::Scaled(px); }
  QPoint pressPos_;
  int pressIndex_ = -1;
};

class TradeTabWidget : public QTabWidget {
 public:
  explicit TradeTabWidget(QWidget* parent) : QTabWidget(parent) {
    bar_ = new TradeTabBar(this);
    setTabBar(bar_);
    setDocumentMode(true);
  }
  TradeTabBar* Bar() const { return bar_; }

 private:
  TradeTabBar* bar_;
};

int KindOfPage(QWidget* page) {
  auto* grid = qobject_cast<CMyColorGrid*>(page);
  return grid ? TabOfControl(grid->ControlId()) : -1;
}

}  // namespace

CTradeGridContainer* CTradeGridContainer::Instance() { return g_instance; }

CTradeGridContainer::CTradeGridContainer(QWidget* parent)
    : QWidget(parent),
      IAutoCoverNotify(false),
      IOCOOrderNotify(false),
      model_(remarks_),
      actions_(model_, *this, sender_) {
  setAcceptDrops(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setChildrenCollapsible(false);
  layout->addWidget(splitter_);
  for (int kind = 0; kind < kTradeTabCount; ++kind) {
    auto* grid = new CMyColorGrid(TabControlId(kind));
    grid->SetNumbered(true);  // "序号"
    grid->SetColumns(TabColumns(kind));
    grid->SetButtons(TabButtons(kind));
    if (std::optional<std::vector<int>> widths = LoadColumnWidths(grid->ControlId(), TabColumns(kind).size()))
      grid->SetColumnWidths(*widths);
    grid->onNotify = [this](const GridNotify& n) { HandleGridNotify(n); };
    grids_[kind] = grid;
  }
  // The fills' two mode buttons show which mode is on.
  for (int code : {kCodeFillDetail, kCodeFillSummary})
    if (QPushButton* b = grids_[kTabFills]->Button(code)) b->setCheckable(true);
  BuildGroups(RestoreTradeGridLayout());
  remarks_.Load();
  CAutoCover::Instance().LoadSettings();
  if (!g_instance) g_instance = this;
  if (!GetSelPositionQueryer()) {
    SetSelPositionQueryer(this);
    // The order panels ask the same question when they close a locked position.
    SetSelectedPositionSource([this](PositionRecord* out) { return out && QuerySelectedPosition(*out); });
  }
  // The positions selected here go to the order panels in sight.
  onPositionSelected = [](const PositionRecord& p) {
    for (IOrderPanelOpt* panel : OrderPanels())
      if (panel->Window() && panel->Window()->isVisible()) panel->OnPositionSelected(p);
  };
  qApp->installEventFilter(this);
  feed_ = TradeFeed::Acquire();
  feed_->AddClient(this);
  IAutoCoverNotify::StartListening();
  IOCOOrderNotify::StartListening();
  connect(&timer_, &QTimer::timeout, this, &CTradeGridContainer::OnRefreshTimer);
  timer_.start(kRefreshTimerMs);
  RefreshOco();
  RefreshAutoStops();
  TakeChanges();  // the first change set takes the lists whole
}

CTradeGridContainer::~CTradeGridContainer() {
  feed_->RemoveClient(this);
  IAutoCoverNotify::StopListening();
  IOCOOrderNotify::StopListening();
  qApp->removeEventFilter(this);
  if (GetSelPositionQueryer() == this) {
    SetSelPositionQueryer(nullptr);
    SetSelectedPositionSource(nullptr);
  }
  if (g_instance == this) g_instance = nullptr;
  // The grids not in a group right now are owned here.
  for (CMyColorGrid* g : grids_)
    if (g && !g->parent()) delete g;
}

CMyColorGrid* CTradeGridContainer::Grid(int kind) const { return IsTradeTab(kind) ? grids_[kind] : nullptr; }

// ---- groups ------------------------------------------------------------------------------------

QTabWidget* CTradeGridContainer::NewGroup() {
  auto* group = new TradeTabWidget(splitter_);
  group->Bar()->kindOf = [group](int index) { return KindOfPage(group->widget(index)); };
  group->setAcceptDrops(false);
  connect(group->tabBar(), &QTabBar::tabMoved, this, [this] {
    if (!applyingLayout_) SaveLayout();
  });
  splitter_->addWidget(group);
  groups_.push_back(group);
  return group;
}

void CTradeGridContainer::BuildGroups(const TradeGridLayout& layout) {
  applyingLayout_ = true;
  for (const std::vector<int>* kinds : {&layout.first, &layout.second}) {
    if (kinds->empty()) continue;
    QTabWidget* group = NewGroup();
    for (int kind : *kinds) group->addTab(grids_[kind], ui::ToQString(TabTitle(kind)));
  }
  applyingLayout_ = false;
}

int CTradeGridContainer::GroupCount() const { return static_cast<int>(groups_.size()); }

QTabWidget* CTradeGridContainer::Group(int group) const {
  return group >= 0 && group < GroupCount() ? groups_[static_cast<std::size_t>(group)] : nullptr;
}

std::vector<int> CTradeGridContainer::GroupTabs(int group) const {
  std::vector<int> out;
  if (QTabWidget* g = Group(group))
    for (int i = 0; i < g->count(); ++i) out.push_back(KindOfPage(g->widget(i)));
  return out;
}

int CTradeGridContainer::CurrentTab(int group) const {
  QTabWidget* g = Group(group);
  return g && g->currentWidget() ? KindOfPage(g->currentWidget()) : -1;
}

int CTradeGridContainer::GroupOfTab(int kind) const {
  for (int g = 0; g < GroupCount(); ++g)
    if (groups_[static_cast<std::size_t>(g)]->indexOf(grids_[kind]) >= 0) return g;
  return -1;
}

void CTradeGridContainer::ShowTab(int kind) {
  const int g = GroupOfTab(kind);
  if (g < 0) return;
  QTabWidget* group = groups_[static_cast<std::size_t>(g)];
  if (group->currentWidget() != grids_[kind]) group->setCurrentWidget(grids_[kind]);
}

void CTradeGridContainer::SaveLayout() {
  TradeGridLayout layout;
  layout.first = GroupTabs(0);
  layout.second = GroupTabs(1);
  SaveTradeGridLayout(layout);
}

void CTradeGridContainer::RemoveEmptyGroups() {
  for (std::size_t i = groups_.size(); i-- > 0;) {
    if (groups_[i]->count() > 0) continue;
    groups_[i]->deleteLater();
    groups_[i]->setParent(nullptr);
    groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

bool CTradeGridContainer::MoveTab(int kind, int group, int index) {
  if (!IsTradeTab(kind) || group < 0 || group > 1) return false;
  const int from = GroupOfTab(kind);
  if (from < 0) return false;
  if (group >= GroupCount()) {
    if (groups_[static_cast<std::size_t>(from)]->count() <= 1) return false;  // it would leave an empty group
    group = GroupCount();
  }
  QTabWidget* source = groups_[static_cast<std::size_t>(from)];
  applyingLayout_ = true;
  QTabWidget* target = group < GroupCount() ? groups_[static_cast<std::size_t>(group)] : NewGroup();
  const int at = source->indexOf(grids_[kind]);
  if (target == source && (index < 0 || index == at)) {
    applyingLayout_ = false;
    return false;
  }
  source->removeTab(at);
  const int insertAt = index < 0 || index > target->count() ? target->count() : index;
  target->insertTab(insertAt, grids_[kind], ui::ToQString(TabTitle(kind)));
  target->setCurrentWidget(grids_[kind]);
  RemoveEmptyGroups();
  applyingLayout_ = false;
  UpdateTitles();
  SaveLayout();
  return true;
}

int CTradeGridContainer::GroupAt(const QPoint& pos) const {
  for (int g = 0; g < GroupCount(); ++g) {
    QTabWidget* w = groups_[static_cast<std::size_t>(g)];
    if (QRect(w->mapTo(this, QPoint(0, 0)), w->size()).contains(pos)) return g;
  }
  return -1;
}

void CTradeGridContainer::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasFormat(kTabMime)) e->acceptProposedAction();
}

void CTradeGridContainer::dragMoveEvent(QDragMoveEvent* e) {
  if (e->mimeData()->hasFormat(kTabMime)) e->acceptProposedAction();
}

void CTradeGridContainer::dropEvent(QDropEvent* e) {
  if (!e->mimeData()->hasFormat(kTabMime)) return;
  const int kind = e->mimeData()->data(kTabMime).toInt();
  const QPoint pos = e->position().toPoint();
  int group = GroupAt(pos);
  int index = -1;
  if (group >= 0) {
    QTabWidget* w = groups_[static_cast<std::size_t>(group)];
    const QPoint inBar = w->tabBar()->mapFrom(this, pos);
    if (w->tabBar()->rect().contains(inBar)) index = w->tabBar()->tabAt(inBar);
    // The right quarter of a single group makes the second group.
    if (GroupCount() == 1 && pos.x() > width() * 3 / 4) group = 1;
  }
  if (group >= 0 && MoveTab(kind, group, index)) e->acceptProposedAction();
}

// ---- refresh -----------------------------------------------------------------------------------

void CTradeGridContainer::Post(int message) { PostWindowMessage(this, message); }

void CTradeGridContainer::OnTradeFeedChanged() { Post(kRefreshMessage); }

void CTradeGridContainer::OnOcoOrderChanged(const OcoOrder&) {
  if (!ocoPosted_.exchange(true)) Post(kOcoMessage);
}

void CTradeGridContainer::OnAutoCoverChanged() {
  if (!stopsPosted_.exchange(true)) Post(kStopsMessage);
}

void CTradeGridContainer::OnRefreshTimer() {
  if (!positionsDirty_) return;
  positionsDirty_ = false;
  RefreshNow(false);
}

void CTradeGridContainer::TakeChanges() {
  TradeChangeSet set = feed_->Take(this);
  if (set.Empty()) return;
  ITradeApi* api = GetTradeApi();
  if (!set.reload)
    for (const OrderRecord& o : set.orders) PlayTradeSound(o);
  // A message or a funds change may come with new profits: the positions are read with them.
  const bool now = set.reload || set.positionsComplete || set.funds || !set.texts.empty();
  if (set.positions && !now) positionsDirty_ = true;
  set.positions = set.positions || now;
  model_.Apply(set, api, now);
  if (now) positionsDirty_ = false;
  ApplyAll();
}

void CTradeGridContainer::RefreshNow(bool full) {
  ITradeApi* api = GetTradeApi();
  if (!api) return;
  model_.Refresh(*api, full);
  ApplyAll();
}

void CTradeGridContainer::RefreshOco() {
  std::vector<OcoOrder> all;
  COCOOrderMgr::Instance().CopyAll(all);
  model_.RefreshOco(std::move(all));
  ApplyTab(kTabOco);
  UpdateTitles();
}

void CTradeGridContainer::RefreshAutoStops() {
  std::vector<AutoCoverStop> all;
  CAutoCover::Instance().CopyActiveStops(all);
  model_.RefreshAutoStops(std::move(all));
  ApplyTab(kTabAutoStops);
  UpdateTitles();
}

void CTradeGridContainer::ApplyTab(int kind) {
  TabChanges changes = model_.TakeChanges(kind);
  CMyColorGrid* grid = grids_[kind];
  const std::vector<GridRow>& rows = model_.Rows(kind);
  if (changes.countChanged) grid->SetRowCount(static_cast<int>(rows.size()));
  // The grid keeps the model's shared cells of each row (no copy) and numbers the rows itself.
  for (int r : changes.rows) grid->SetSharedRow(r, rows[static_cast<std::size_t>(r)].cells);
  // The selection follows its record to wherever it is now (none when it is gone).
  grid->SelectRow(model_.SelectedRow(kind), false);
}

void CTradeGridContainer::ApplyAll() {
  for (int kind = 0; kind < kTradeTabCount; ++kind) ApplyTab(kind);
  UpdateTitles();
  if (QPushButton* b = grids_[kTabFills]->Button(kCodeFillDetail)) b->setChecked(!model_.FillSummary());
  if (QPushButton* b = grids_[kTabFills]->Button(kCodeFillSummary)) b->setChecked(model_.FillSummary());
}

void CTradeGridContainer::UpdateTitles() {
  for (QTabWidget* g : groups_)
    for (int i = 0; i < g->count(); ++i) {
      const int kind = KindOfPage(g->widget(i));
      const QString title = ui::ToQString(model_.Title(kind));
      if (g->tabText(i) != title) g->setTabText(i, title);
    }
}

bool CTradeGridContainer::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kRefreshMessage:
      TakeChanges();
      return true;
    case kOcoMessage:
      ocoPosted_.store(false);
      RefreshOco();
      return true;
    case kStopsMessage:
      stopsPosted_.store(false);
      RefreshAutoStops();
      return true;
    default: return QWidget::event(e);
  }
}

bool CTradeGridContainer::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && isVisible()) {
    int kind = -1;
    switch (static_cast<QKeyEvent*>(e)->key()) {
      case Qt::Key_F5: kind = kTabPositions; break;
      case Qt::Key_F9: kind = kTabOrders; break;
      case Qt::Key_F4: kind = kTabWorking; break;
      case Qt::Key_F1: kind = kTabFills; break;
      default: break;
    }
    if (kind >= 0) ShowTab(kind);
  }
  return QWidget::eventFilter(watched, e);
}

// ---- the grids' notifications --------------------------------------------------------------------

void CTradeGridContainer::HandleGridNotify(const GridNotify& n) {
  const int kind = TabOfControl(n.controlId);
  switch (n.kind) {
    case GridNotify::Selected:
      model_.Select(kind, n.row);
      if (kind == kTabPositions && onPositionSelected)
        if (const PositionRecord* p = model_.PositionAt(n.row)) onPositionSelected(*p);
      break;
    case GridNotify::DoubleClicked:
      if (actions_.DoubleClick(n.controlId, n.row, n.column)) ApplyAll();
      break;
    case GridNotify::Command:
      // The buttons act on the selected record, kept by identity (never a row number that a
      // refresh has given to another record).
      if (actions_.CommandOn(n.controlId, model_.SelectedIdentity(kind), n.column, n.code)) ApplyAll();
      break;
    case GridNotify::ContextMenu: {
      QMenu* menu = BuildContextMenu(n.controlId, n.row);
      if (!menu) break;
      menu->setAttribute(Qt::WA_DeleteOnClose);
      if (showMenu)
        showMenu(menu);
      else
        menu->popup(n.global);
      break;
    }
    case GridNotify::WidthChanged:
      if (CMyColorGrid* g = Grid(kind)) SaveColumnWidths(n.controlId, g->ColumnWidths());
      break;
  }
}

void CTradeGridContainer::SelectRow(int kind, int row) {
  if (!IsTradeTab(kind)) return;
  model_.Select(kind, row);
  grids_[kind]->SelectRow(model_.SelectedRow(kind));
}

QMenu* CTradeGridContainer::BuildContextMenu(int controlId, int row) {
  const std::vector<GridButton> items = actions_.ContextMenu(controlId, row);
  if (items.empty()) return nullptr;
  auto* menu = new QMenu(this);
  // The menu stays open while the refreshes go on: its items act on the record right-clicked,
  // taken by identity now.
  const std::string identity = model_.RowIdentity(TabOfControl(controlId), row);
  for (const GridButton& item : items) {
    const int code = item.code;
    menu->addAction(ui::ToQString(item.label), this, [this, controlId, identity, code] {
      if (actions_.CommandOn(controlId, identity, -1, code)) ApplyAll();
    });
  }
  return menu;
}

bool CTradeGridContainer::QuerySelectedPosition(PositionRecord& out) {
  const int g = GroupOfTab(kTabPositions);
  if (g < 0 || CurrentTab(g) != kTabPositions) return false;
  const PositionRecord* p = model_.SelectedPosition();
  if (!p) return false;
  out = *p;
  return true;
}

// ---- dialogs -----------------------------------------------------------------------------------

int CTradeGridContainer::RunDialog(QDialog& d) { return runDialog ? runDialog(d) : d.exec(); }

void CTradeGridContainer::OpenCoverPosition(const PositionRecord& position) {
  CDlgCoverPosition d(position, this);  // its OK sends the closing order
  RunDialog(d);
}

void CTradeGridContainer::OpenCoverByPosNo(const PositionDetail& detail, double currentPrice) {
  CDlgCoverByPosNo d(detail, currentPrice, this);
  RunDialog(d);
}

std::optional<IGridActionHost::Modified> CTradeGridContainer::OpenModifyOrder(const OrderRecord& order, double tick,
                                                                              int decimals) {
  CDlgModifyOrder d(order.price, order.quantity, tick, decimals, this);
  if (RunDialog(d) != QDialog::Accepted) return std::nullopt;
  return Modified{d.Price(), d.Quantity()};
}

void CTradeGridContainer::OpenStopDialog(const StopContext& context, double floatProfit,
                                         const std::string& positionNumber) {
  CDlgWinStop d(context, floatProfit, positionNumber, this);
  RunDialog(d);
}

void CTradeGridContainer::OpenAutoCoverSetting() {
  CDlgAutoCoverSetting d(this);
  RunDialog(d);
}

void CTradeGridContainer::OpenOcoDialog(const OcoOrder& pair) {
  CDlgAddOcoOrder d(pair, this);
  RunDialog(d);
}

std::optional<std::string> CTradeGridContainer::EditRemark(const std::string& current) {
  CDlgInput d(TXT("填写备注"), current, this);
  if (RunDialog(d) != QDialog::Accepted) return std::nullopt;
  return d.Text();
}

void CTradeGridContainer::Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
