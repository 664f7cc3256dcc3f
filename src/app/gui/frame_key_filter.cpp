#include "app/gui/frame_key_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include "trade/orders/gui/keyboard_order_panel.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/grid/gui/trade_grid_container.h"
#include "trade/grid/trade_grid_tabs.h"

namespace {

int TabForKey(int key) {
  switch (key) {
    case Qt::Key_F5: return tarn::kTabPositions;
    case Qt::Key_F9: return tarn::kTabOrders;
    case Qt::Key_F4: return tarn::kTabWorking;
    case Qt::Key_F1: return tarn::kTabFills;
    default: return -1;
  }
}

}  // namespace

CFrameKeyFilter::CFrameKeyFilter(QWidget* frame) : QObject(frame), frame_(frame) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool CFrameKeyFilter::KeyOrderingMayTake() { return tarn::KeyOrderingMayTake(); }

bool CFrameKeyFilter::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress && frame_) {
    const auto* mouse = static_cast<QMouseEvent*>(e);
    auto* target = qobject_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && target && (e != lastPress_ || mouse->timestamp() != lastPressTime_)) {
      lastPress_ = e;
      lastPressTime_ = mouse->timestamp();
      // After the click is handled: the chart clicked with an armed key places its order first.
      QTimer::singleShot(0, this, [target = QPointer<QWidget>(target)] {
        CDlgLineOrderPanel::ClearArmedOutside(target.data());
      });
    }
    return false;
  }
  if (e->type() != QEvent::KeyPress || !frame_) return QObject::eventFilter(watched, e);
  const auto* key = static_cast<QKeyEvent*>(e);
  if (const int tab = TabForKey(key->key()); tab >= 0) {
    // A visible grid switches on its own; a hidden one (the arbitrage page shown) is told here.
    if (auto* grid = frame_->findChild<CTradeGridContainer*>(); grid && !grid->isVisible()) grid->ShowTab(tab);
    CDlgLineOrderPanel::ClearAllArmed();
    return false;
  }
  CDlgLineOrderPanel::ClearAllArmed();
  const QString text = key->text();
  // One printable character without Ctrl or Alt: what the character message would carry.
  if (text.size() != 1 || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  const char16_t u = text.at(0).unicode();
  if (u < 0x20 || u > 0x7e || !KeyOrderingMayTake()) return false;
  return tarn::DispatchTypedCharacter(static_cast<uint8_t>(u));
}
