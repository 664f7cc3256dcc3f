#include "trade/gui/panel_containers.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "trade/gui/keyboard_order_panel.h"
#include "trade/gui/three_key_panel.h"
#include "trade/gui/vert_order_panel.h"
#include "trade/panel_layout.h"
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
  standard_ = new CWndVertOrderPanel(this);
  threeKey_ = new CWndThreeKeyOrderPanel(this);
  keyboard_ = new CWndKeybordOrderPanel(this);
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
    Panel(i)->setVisible(i == index);
    tabs[i]->setChecked(i == index);
    tabs[i]->setStyleSheet(i == index ? QStringLiteral("QPushButton { background: %1; color: white; font-weight: bold; }")
                                            .arg(accent.name())
                                      : QString());
  }
  resizeEvent(nullptr);
}

void CMultiOrderPanelContainer::SelectTab(int index) {
  if (index < 0 || index > 2) return;
  Show(index);
  tarn::StorePanelType(index);
}

void CMultiOrderPanelContainer::resizeEvent(QResizeEvent*) {
  const int tabHeight = Scaled(26);
  const int w = width();
  for (int i = 0; i < 3; ++i) tabs[i]->setGeometry(i * w / 3, 0, (i + 1) * w / 3 - i * w / 3, tabHeight);
  for (int i = 0; i < 3; ++i) Panel(i)->setGeometry(0, tabHeight, w, std::max(0, height() - tabHeight));
}

// ---- CHorzTradePanel -------------------------------------------------------------------------

CHorzTradePanel::CHorzTradePanel(QWidget* parent)
    : QWidget(parent), left_(tarn::PanelsOnLeft()), type_(tarn::HorzPanelType()) {
  funds_ = new QWidget(this);
  funds_->setObjectName(QStringLiteral("fundsSlot"));
  grid_ = new QWidget(this);
  grid_->setObjectName(QStringLiteral("tradeGridSlot"));
  panels_ = new CMultiOrderPanelContainer(this);
  side_ = new QPushButton(QStringLiteral("⇄"), this);
  side_->setToolTip(QStringLiteral("下单面板左右切换"));
  side_->setFlat(true);
  connect(side_, &QPushButton::clicked, this, [this] { ToggleSide(); });
  (void)type_;
}

void CHorzTradePanel::SetFundsWindow(QWidget* funds) {
  if (!funds) return;
  funds->setParent(this);
  if (funds_) funds_->deleteLater();
  funds_ = funds;
  funds_->show();
  Place();
}

void CHorzTradePanel::SetTradeGrid(QWidget* grid) {
  if (!grid) return;
  grid->setParent(this);
  if (grid_) grid_->deleteLater();
  grid_ = grid;
  grid_->show();
  Place();
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
  const int s = Scaled(20);
  side_->setGeometry(b.funds.x + b.funds.w - s - Scaled(2), b.funds.y + (b.funds.h - s) / 2, s, s);
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
