// The main frame's part of the alerts: at its creation the alert engine loads and the tip
// window is made (hidden); menu item 32791 "行情预警" shows the alert list, made on the first
// command, modeless, and only shown again by later ones. Both windows belong to the frame.
#pragma once

#include "data/quote_records.h"

class QWidget;
class CDlgAlertSetting;
class CDlgAlertTip;

namespace tarn {

// Loads "\config\alertdata.dat" into the engine and creates the tip window owned by `frame`.
CDlgAlertTip* StartAlerts(QWidget* frame);
// Creates the alert list (once per frame) and shows it.
CDlgAlertSetting* ShowAlertList(QWidget* frame);
// The quote windows' "行情预警" action: the add dialog for the contract (showing its alert when it
// has one, whose fired flags then stay); OK adds or replaces. True on OK.
bool EditAlertFor(QWidget* parent, const DC_Contract& contract);

}  // namespace tarn
