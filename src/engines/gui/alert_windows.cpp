#include "engines/gui/alert_windows.h"

#include <QPointer>
#include <QWidget>

#include "engines/alert_center.h"
#include "engines/gui/alert_dialogs.h"
#include "engines/gui/alert_tip.h"

namespace tarn {

CDlgAlertTip* StartAlerts(QWidget* frame) {
  CAlertCenter::Instance().Load();
  auto* tip = frame ? frame->findChild<CDlgAlertTip*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!tip) tip = new CDlgAlertTip(frame);
  return tip;
}

CDlgAlertSetting* ShowAlertList(QWidget* frame) {
  auto* list = frame ? frame->findChild<CDlgAlertSetting*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!list) list = new CDlgAlertSetting(frame);
  list->Refresh();
  list->show();
  list->raise();
  list->activateWindow();
  return list;
}

bool EditAlertFor(QWidget* parent, const DC_Contract& contract) {
  QuoteAlert alert{};
  alert.contract = contract;
  std::vector<QuoteAlert> all;
  CAlertCenter::Instance().CopyAlerts(all);
  for (const QuoteAlert& a : all) {
    if (a.contract.SameKey(contract)) {
      alert = a;
      break;
    }
  }
  CDlgAddQuoteAlert d(alert, parent);
  if (d.exec() != QDialog::Accepted) return false;
  CAlertCenter::Instance().AddOrReplace(d.Alert());
  return true;
}

}  // namespace tarn
