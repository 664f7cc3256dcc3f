#include "trade/gui/panel_containers.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "trade/orders/gui/keyboard_order_panel.h"
#include "trade/grid/gui/money_wnd.h"
#include "trade/orders/gui/order_panel_base.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/grid/gui/trade_grid_container.h"
#include "data/quote_data_center.h"
#include "trade/orders/gui/three_key_panel.h"
#include "trade/orders/gui/vert_order_panel.h"
#include "trade/orders/panel_layout.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

using tarn::ui::Scaled;
using tarn::ui::ToQString;

namespace {
QRect ToRect(const tarn::Box& b) { return QRect(b.x, b.y, b.w, b.h); }
constexpr int kEdge = 5;  // the dock's draggable top edge, unscaled pixels
}  // namespace

// ---- CMultiOrderPanelContainer ---------------------------------------------------------------

CMultiOrderPanelContainer::CMultiOrderPanelContainer(QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < 3; ++i) {
    tabs[i] = new QPushButton(ToQString(tarn::PanelTabText(i)), this);
    tabs[i]->setCheckable(true);
    tabs[i]->setFlat(true);
    connect(tabs[i], &QPushButton::clicked, this, [this, i] { SelectTab(i); });
  }
  // Each panel keeps its own height and scrolls when the area is lower.
  for (int i = 0; i < 3; ++i) {
    scrolls_[i] = new QScrollArea(this);
    scrolls_[i]->setWidgetResizable(true);
    scrolls_[i]->setFrameShape(QFrame::NoFrame);
    scrolls_[i]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  standard_ = new CWndVertOrderPanel;
  threeKey_ = new CWndThreeKeyOrderPanel;
  keyboard_ = new CWndKeybordOrderPanel;
  scrolls_[0]->setWidget(standard_);
  scrolls_[1]->setWidget(threeKey_);
  scrolls_[2]->setWidget(keyboard_);
  // The panels' message lines (a refused order says why there) live outside the scroll areas,
  // at the container's bottom, so that a low trading area never clips or scrolls them away.
  tarn::OrderPanelBase* panels[3] = {standard_, threeKey_, keyboard_};
  for (int i = 0; i < 3; ++i) {
    statuses_[i] = panels[i]->status;
    statuses_[i]->setParent(this);
    statuses_[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panels[i]->onStatusChanged = [this] { Place(); };
  }
  setMinimumHeight(Scaled(26) + StatusHeight() + Scaled(40));
  Show(tarn::PanelTypeAtStart());
}

QWidget* CMultiOrderPanelContainer::Panel(int index) const {
  switch (index) {
    case 0: return standard_;
    case 1: return threeKey_;
    default: return keyboard_;
  }
}

void CMultiOrderPanelContainer::Show(int index) {
  selected_ = index;
  const QColor accent = tarn::ui::AccentColor();
  for (int i = 0; i < 3; ++i) {
    scrolls_[i]->setVisible(i == index);
    statuses_[i]->setVisible(i == index);
    tabs[i]->setChecked(i == index);
    tabs[i]->setStyleSheet(i == index ? QStringLiteral("QPushButton { background: %1; color: white; font-weight: bold; }")
                                            .arg(accent.name())
                                      : QString());
  }
  Place();
}

void CMultiOrderPanelContainer::SelectTab(int index) {
  if (index < 0 || index > 2) return;
  Show(index);
  tarn::StorePanelType(index);
}

int CMultiOrderPanelContainer::StatusHeight() const {
  // Two lines at least, more when the message wraps further.
  const QLabel* line = statuses_[selected_] ? statuses_[selected_] : statuses_[0];
  const int textWidth = std::max(1, width() - 2 * Scaled(4));
  return std::max(2 * line->fontMetrics().lineSpacing() + Scaled(4), line->heightForWidth(textWidth));
}

void CMultiOrderPanelContainer::resizeEvent(QResizeEvent*) { Place(); }

void CMultiOrderPanelContainer::Place() {
  const int tabHeight = Scaled(26);
  const int w = width();
  const int statusHeight = StatusHeight();
  const int areaHeight = std::max(0, height() - tabHeight - statusHeight);
  for (int i = 0; i < 3; ++i) tabs[i]->setGeometry(i * w / 3, 0, (i + 1) * w / 3 - i * w / 3, tabHeight);
  for (int i = 0; i < 3; ++i) {
    scrolls_[i]->setGeometry(0, tabHeight, w, areaHeight);
    statuses_[i]->setGeometry(Scaled(4), tabHeight + areaHeight, std::max(0, w - 2 * Scaled(4)), statusHeight);
  }
}

// ---- CHorzTradePanel -------------------------------------------------------------------------

CHorzTradePanel::CHorzTradePanel(QWidget* parent)
    : QWidget(parent), left_(tarn::PanelsOnLeft()), type_(tarn::HorzPanelType()) {
  funds_ = new CMoneyWnd(this);
  panels_ = new CMultiOrderPanelContainer(this);
  // The grid hands a selected position to the panels in sight, answers their locked closes and
  // opens the order dialogs for its own close and modify commands.
  grid_ = new CTradeGridContainer(this);
  side_ = new QPushButton(QStringLiteral("左右"), this);
  side_->setToolTip(QStringLiteral("下单面板左右切换"));
  side_->setFlat(true);
  side_->setStyleSheet(QStringLiteral("QPushButton { min-width: 0px; padding: 0px; }"));
  connect(side_, &QPushButton::clicked, this, [this] { ToggleSide(); });
  (void)type_;
}

void CHorzTradePanel::ToggleSide() {
  left_ = !left_;
  tarn::StorePanelsOnLeft(left_);
  Place();
}

int CHorzTradePanel::PreferredHeight() const { return tarn::PreferredHorzPanelHeight(tarn::ui::ScaleFactor()); }

void CHorzTradePanel::Place() {
  const tarn::HorzPanelBoxes b = tarn::LayoutHorzPanel(width(), height(), left_, tarn::ui::ScaleFactor());
  funds_->setGeometry(ToRect(b.funds));
  panels_->setGeometry(ToRect(b.panels));
  grid_->setGeometry(ToRect(b.grid));
  const int s = Scaled(24);
  side_->setGeometry(b.funds.x + b.funds.w - 2 * s - Scaled(2), b.funds.y + (b.funds.h - s) / 2, 2 * s, s);
  side_->raise();
}

void CHorzTradePanel::resizeEvent(QResizeEvent*) { Place(); }

// ---- CDlgTradePanelContainer -----------------------------------------------------------------

CDlgTradePanelContainer::CDlgTradePanelContainer(QWidget* parent) : QWidget(parent) {
  panel_ = new CHorzTradePanel(this);
  const int stored = tarn::StoredDockHeight();
  height_ = stored > 0 ? stored : panel_->PreferredHeight();
  setMouseTracking(true);
}

void CDlgTradePanelContainer::DragTo(int height, int frameHeight) {
  height_ = tarn::ClampDockHeight(height, frameHeight, tarn::ui::ScaleFactor());
  tarn::StoreDockHeight(height_);
  updateGeometry();
  if (parentWidget()) parentWidget()->updateGeometry();
  setFixedHeight(height_);
}

void CDlgTradePanelContainer::resizeEvent(QResizeEvent*) {
  const int edge = Scaled(kEdge);
  panel_->setGeometry(0, edge, width(), std::max(0, height() - edge));
}

void CDlgTradePanelContainer::mousePressEvent(QMouseEvent* e) {
  if (e->position().y() < Scaled(kEdge)) {
    dragging_ = true;
    dragStartY_ = static_cast<int>(e->globalPosition().y());
    dragStartHeight_ = height_;
  }
}

void CDlgTradePanelContainer::mouseMoveEvent(QMouseEvent* e) {
  setCursor(e->position().y() < Scaled(kEdge) || dragging_ ? Qt::SizeVerCursor : Qt::ArrowCursor);
  if (!dragging_) return;
  const int frameHeight = window() ? window()->height() : height_;
  // Dragging the top edge up makes the dock taller.
  const int h = dragStartHeight_ + dragStartY_ - static_cast<int>(e->globalPosition().y());
  height_ = tarn::ClampDockHeight(h, frameHeight, tarn::ui::ScaleFactor());
  setFixedHeight(height_);
}

void CDlgTradePanelContainer::mouseReleaseEvent(QMouseEvent*) {
  if (!dragging_) return;
  dragging_ = false;
  tarn::StoreDockHeight(height_);
}
