#include "quote/gui/screenshots.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>

#include "data/quote_data_center.h"
#include "quote/block_list.h"
#include "quote/grid_columns.h"
#include "quote/gui/ccx_info_panel_ctrl.h"
#include "quote/gui/dlg_key_wizard.h"
#include "quote/gui/dlg_sel_contract.h"
#include "quote/gui/dlg_set_grid_head.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/wnd_quote_gird.h"

namespace tarn {

namespace {

// A grid window on the first exchange's block, with a second of live quotes.
CWndQuoteGird* OpenGrid() {
  auto* w = new CWndQuoteGird;
  w->resize(1280, 640);
  std::vector<std::string> lists;
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->GetListNames(lists);
  w->RefreshBlocks(lists.empty() ? std::string() : lists.front());
  w->show();
  ui::PumpEvents(1200);
  w->Grid()->Model().Select(2);
  return w;
}

}  // namespace

void RegisterQuoteScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("quote_grid", [] { return static_cast<QWidget*>(OpenGrid()); });
  registry.Add("quote_grid_menu", [] {
    CWndQuoteGird* grid = OpenGrid();
    QMenu* menu = grid->BuildContextMenu(2);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(menu, &QObject::destroyed, grid, &QObject::deleteLater);
    grid->hide();
    return static_cast<QWidget*>(menu);
  });
  registry.Add("quote_grid_switches", [] {
    CWndQuoteGird* grid = OpenGrid();
    QMenu* menu = grid->BuildSwitchMenu();
    QObject::connect(menu, &QObject::destroyed, grid, &QObject::deleteLater);
    grid->hide();
    return static_cast<QWidget*>(menu);
  });
  registry.Add("info_panel", [] {
    auto* panel = new CCXInfoPanelCtrl;
    panel->resize(260, 900);
    std::vector<DC_Contract> hot = LibraryList(GetQuoteDataCenter(), "HOT");
    if (!hot.empty()) panel->ShowContract(hot.front(), true);
    panel->show();
    ui::PumpEvents(1200);
    return static_cast<QWidget*>(panel);
  });
  registry.Add("key_wizard", [] {
    // The wizard over a view of the main window's size, with "m" typed: indicators, then the
    // contracts by their first word.
    auto* view = new QWidget;
    view->resize(1280, 720);
    auto* w = new CDlgKeyWizard(view);
    QObject::connect(w, &QObject::destroyed, view, &QObject::deleteLater);
    w->BuildIndex();
    w->OpenAtView();
    w->Edit()->setText(QStringLiteral("m"));
    return static_cast<QWidget*>(w);
  });
  registry.Add("set_grid_head", [] {
    std::vector<int> kinds = DefaultGridKinds();
    kinds.resize(12);
    auto* d = new CDlgSetGridHead(kinds);
    d->available->setCurrentRow(13);
    return static_cast<QWidget*>(d);
  });
  registry.Add("sel_contract", [] {
    auto* d = new CDlgSelContract(false);
    if (d->tabs->count() > 1) d->tabs->setCurrentIndex(1);
    if (d->contracts->topLevelItemCount() > 0) d->contracts->setCurrentItem(d->contracts->topLevelItem(0));
    return static_cast<QWidget*>(d);
  });
  registry.Add("sel_contract_list", [] {
    std::vector<DC_Contract> hot = LibraryList(GetQuoteDataCenter(), "HOT");
    hot.resize(std::min<std::size_t>(hot.size(), 6));
    auto* d = new CDlgSelContract(true, hot);
    if (d->tabs->count() > 2) d->tabs->setCurrentIndex(2);
    return static_cast<QWidget*>(d);
  });
}

}  // namespace tarn
