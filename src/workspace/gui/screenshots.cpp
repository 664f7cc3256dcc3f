#include "workspace/gui/screenshots.h"

#include <QListWidget>

#include "chart/gui/chart_container.h"
#include "data/quote_data_center.h"
#include "quote/block_list.h"
#include "trade/orders/gui/order_dialogs.h"
#include "workspace/gui/dlg_save_layout.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/gui/wnd_spliter_template.h"
#include "workspace/workspace_names.h"

namespace tarn {

namespace {

DC_Contract Hot(std::size_t i) {
  std::vector<DC_Contract> hot = LibraryList(GetQuoteDataCenter(), "HOT");
  return hot.empty() ? DC_Contract{} : hot[i % hot.size()];
}

// A page whose current workspace has a scheme applied, its windows showing grids and charts.
CPageQuote* OpenPage(int rows, int columns) {
  auto* page = new CPageQuote;
  page->resize(1280, 760);
  page->currentContract = [] { return Hot(0); };
  page->MakeDefault();
  page->AddWorkspace();
  CWndChartContainer* ws = page->CurrentWorkspace();
  ws->ApplyScheme(rows, columns);
  int i = 0;
  for (CChartContainer* c : ws->Containers()) {
    c->SetContract(Hot(static_cast<std::size_t>(i)));
    c->ShowContent(i % 3 == 0 ? kContentQuoteGrid : i % 3 == 1 ? kContentKLine : kContentTimeShare);
    ++i;
  }
  page->show();
  ui::PumpEvents(1200);
  return page;
}

}  // namespace

void RegisterWorkspaceScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("workspace_2x2", [] { return OpenPage(2, 2); });
  registry.Add("workspace_3x4", [] { return OpenPage(3, 4); });
  registry.Add("price_cube_leaf", [] {
    CPageQuote* page = OpenPage(1, 2);
    CChartContainer* c = page->CurrentWorkspace()->Containers()[1];
    c->ShowContent(kContentPriceCube);
    for (std::size_t i = 1; i < 6; ++i) c->PriceCube()->AddCard(Hot(i));
    ui::PumpEvents(800);
    return static_cast<QWidget*>(page);
  });
  registry.Add("layout_picker_schemes", [] {
    auto* w = new CWndSpliterTemplate;
    w->setWindowFlags(Qt::Window);
    w->ShowPage(0);
    w->show();
    return w;
  });
  registry.Add("layout_picker_mine", [] {
    SaveLayoutFile(TXT("双图"), std::string());
    SaveLayoutFile(TXT("四窗口"), std::string());
    auto* w = new CWndSpliterTemplate;
    w->setWindowFlags(Qt::Window);
    w->ShowPage(1);
    w->layouts->setCurrentRow(0);
    w->show();
    return w;
  });
  registry.Add("save_layout_dialog", [] {
    auto* d = new CDlgSaveLayout(CDlgSaveLayout::kSave, TXT("工作区1"));
    d->show();
    return d;
  });
  registry.Add("torn_off_workspace", [] {
    CPageQuote* page = OpenPage(1, 2);
    CFloatingWorkspace* f = page->TearOff(page->CurrentIndex(), QPoint(640, 100));
    f->resize(1000, 600);
    ui::PumpEvents(600);
    return static_cast<QWidget*>(f);
  }, [](QWidget* w) { delete static_cast<CFloatingWorkspace*>(w)->parentWidget(); });
}

}  // namespace tarn
