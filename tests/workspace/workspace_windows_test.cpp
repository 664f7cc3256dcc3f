// The workspace page over the embedded exchange: workspaces are added, renamed, closed, torn off
// and docked; window commands split, close and maximise; schemes and layouts re-arrange a
// workspace; the keyboard wizard's choices reach the current window; and a page written to its
// record comes back exactly after a restart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>

#include "chart/gui/cc_chart_ctrl.h"
#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"
#include "workspace/gui/chart_container.h"
#include "libs/quotedata/embedded_fixture.h"
#include "platform/message_box.h"
#include "quote/gui/grid_messages.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/user_block_store.h"
#include "engines/gui/strategy_windows.h"
#include "engines/strategy_file.h"
#include "trade/orders/gui/order_dialogs.h"
#include "ui/window_message.h"
#include "workspace/gui/dlg_save_layout.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/gui/wnd_spliter_template.h"
#include "workspace/workspace_names.h"

namespace tarn::test {
namespace {

class WorkspaceWindowsTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    WriteFile(home.Native(kSystemFormulaFile), ReadFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat"));
    FormulaManager::Instance().Load();
    ASSERT_EQ(LoginDefault(recorder), 1);
    GetUserBlockStore().Reset();
    ChartObjectStore::Instance().Clear();
    rb = Contract("SHFE|rbMI");
    cu = Contract("SHFE|cuMI");
    page = std::make_unique<CPageQuote>();
    page->resize(1200, 800);
    page->currentContract = [this] { return rb; };
    page->MakeDefault();
    page->show();
  }
  void TearDown() override {
    page.reset();
    GetUserBlockStore().Reset();
  }
  // Answers the next dialog: the name typed (save mode) or picked (open mode), then OK.
  void AnswerDialogWith(const std::string& name) {
    page->runDialog = [name](QDialog* d) {
      auto* dlg = static_cast<CDlgSaveLayout*>(d);
      dlg->name->setText(QString::fromStdString(GbkToUtf8(name)));
      dlg->OnOk();
      return dlg->result();
    };
  }

  Recorder recorder;
  MessageBoxRecorder boxes;
  DC_Contract rb{}, cu{};
  std::unique_ptr<CPageQuote> page;
};

TEST_F(WorkspaceWindowsTest, WorkspacesAreAddedRenamedAndClosed) {
  ASSERT_EQ(page->WorkspaceCount(), 1);
  EXPECT_EQ(page->WorkspaceName(0), TXT("工作区1"));
  EXPECT_EQ(page->AddWorkspace(), 1);
  EXPECT_EQ(page->WorkspaceName(1), TXT("工作区2"));

  page->askText = [](const QString&, QString* t) { *t = QStringLiteral("  全景K线 "); return true; };
  page->RenameWorkspace(1);
  EXPECT_EQ(page->WorkspaceName(1), TXT("全景K线"));
  page->askText = [](const QString&, QString* t) { *t = QStringLiteral("x"); return true; };
  page->RenameWorkspace(1);
  EXPECT_EQ(page->WorkspaceName(1), TXT("全景K线"));
  EXPECT_EQ(boxes.LastText(), TXT("不支持更改全景K线工作区名称"));
  page->askText = [](const QString&, QString* t) { *t = QStringLiteral("  "); return true; };
  page->RenameWorkspace(0);
  EXPECT_EQ(boxes.LastText(), TXT("名称不能为空"));

  // Two windows: closing asks; Cancel keeps the workspace, No closes it.
  page->SetCurrent(1);
  page->CurrentWorkspace()->WindowCommand(page->CurrentContainer(), kWindowSplitLeftRight);
  boxes.Script(MsgAnswer::Cancel);
  page->CloseWorkspace(1);
  EXPECT_EQ(page->WorkspaceCount(), 2);
  EXPECT_EQ(boxes.LastText(), TXT("该工作区即将关闭，是否保存?"));
  boxes.Script(MsgAnswer::No);
  page->CloseWorkspace(1);
  EXPECT_EQ(page->WorkspaceCount(), 1);
  EXPECT_EQ(page->CurrentIndex(), 0);
  // The last workspace stays, with one window.
  page->CurrentWorkspace()->WindowCommand(page->CurrentContainer(), kWindowSplitTopBottom);
  boxes.Script(MsgAnswer::No);
  page->CloseWorkspace(0);
  EXPECT_EQ(page->WorkspaceCount(), 1);
  EXPECT_EQ(page->CurrentWorkspace()->WindowCount(), 1);
}

TEST_F(WorkspaceWindowsTest, TheGridsWindowCommandsSplitCloseAndMaximise) {
  CWndChartContainer* ws = page->CurrentWorkspace();
  CChartContainer* first = page->CurrentContainer();
  first->ShowContent(kContentQuoteGrid);
  WindowMessage split(kMsgGridWindowCommand, kWindowSplitTopBottom, 0);
  QCoreApplication::sendEvent(first, &split);
  ASSERT_EQ(ws->WindowCount(), 2);
  CChartContainer* second = ws->Containers()[1];
  EXPECT_EQ(second->geometry().top(), first->geometry().bottom() + 1 + kSplitBarWidth);
  // Maximise: the current window fills the workspace, the other is hidden; again restores.
  ws->SetCurrent(second);
  ws->WindowCommand(second, kWindowMaximize);
  EXPECT_EQ(second->geometry(), ws->rect());
  EXPECT_FALSE(first->isVisible());
  ws->WindowCommand(second, kWindowMaximize);
  EXPECT_TRUE(first->isVisible());
  // Closing from the grid's own message removes that window; the other takes the area.
  WindowMessage close(kMsgGridWindowCommand, kWindowClose, 0);
  QCoreApplication::sendEvent(first, &close);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(ws->WindowCount(), 1);
  EXPECT_EQ(ws->Containers()[0], second);
  EXPECT_EQ(second->geometry(), ws->rect());
  // The only window closes to its empty state and stays.
  second->ShowContent(kContentKLine);
  ws->WindowCommand(second, kWindowClose);
  EXPECT_EQ(ws->WindowCount(), 1);
  EXPECT_EQ(second->Content(), kContentNone);
}

TEST_F(WorkspaceWindowsTest, SchemesOfSixWindowsOrMoreDropTheGridsSidePanels) {
  CWndChartContainer* ws = page->CurrentWorkspace();
  page->CurrentContainer()->ShowContent(kContentQuoteGrid);
  page->CurrentContainer()->SetSidePanel(true);
  ws->ApplyScheme(2, 2);
  EXPECT_TRUE(ws->Containers()[0]->SidePanelOn());
  ws->ApplyScheme(2, 3);
  ASSERT_EQ(ws->WindowCount(), 6);
  EXPECT_FALSE(ws->Containers()[0]->SidePanelOn());
  const QSize cell = ws->Containers()[0]->size();
  for (CChartContainer* c : ws->Containers()) {
    EXPECT_NEAR(c->width(), cell.width(), 1);
    EXPECT_NEAR(c->height(), cell.height(), 1);
  }
  // The picker applies a scheme to the current workspace.
  page->LayoutPicker()->schemeButtons[2]->click();  // (1,3)
  EXPECT_EQ(ws->WindowCount(), 3);
}

TEST_F(WorkspaceWindowsTest, LayoutsAreSavedCheckedAndLoaded) {
  CWndChartContainer* ws = page->CurrentWorkspace();
  ws->ApplyScheme(1, 2);
  ws->Containers()[1]->SetContract(cu);
  ws->Containers()[1]->ShowContent(kContentKLine);

  AnswerDialogWith("a b");
  page->RunCommand(3005);
  EXPECT_EQ(boxes.LastText(), TXT("名称包含无效字符"));
  EXPECT_TRUE(ListLayouts().empty());
  AnswerDialogWith("two");
  page->RunCommand(3005);
  ASSERT_EQ(ListLayouts(), (std::vector<std::string>{"two"}));
  EXPECT_EQ(page->WorkspaceName(0), "two");
  // Saving over it asks; Cancel goes back without writing.
  boxes.Script(MsgAnswer::Cancel);
  ws->ApplyScheme(1, 1);
  page->RunCommand(3005);
  EXPECT_EQ(boxes.LastText(), TXT("该布局文件已经存在，您确实要覆盖吗?"));

  page->RunCommand(3007);  // the open dialog, "two" picked
  ASSERT_EQ(ws->WindowCount(), 2);
  EXPECT_EQ(ws->Containers()[1]->Content(), kContentKLine);
  EXPECT_EQ(ws->Containers()[1]->Contract().Key(), cu.Key());
  // A layout that is not there leaves the workspace as it was.
  AnswerDialogWith("gone");
  page->RunCommand(3007);
  EXPECT_EQ(boxes.LastText(), TXT("请选择一个布局"));
  EXPECT_EQ(ws->WindowCount(), 2);

  // "我的布局": rename refuses an existing name, delete asks first.
  ASSERT_TRUE(SaveLayoutFile("one", ws->Record()));
  CWndSpliterTemplate* picker = page->LayoutPicker();
  picker->ShowPage(1);
  ASSERT_EQ(picker->layouts->count(), 2);
  picker->layouts->setCurrentRow(0);  // "one"
  picker->askText = [](const QString&, QString* t) { *t = QStringLiteral("two"); return true; };
  picker->RenameSelected();
  EXPECT_EQ(boxes.LastText(), TXT("该名称布局已经存在"));
  boxes.Script(MsgAnswer::Ok);
  picker->DeleteEntry(0);
  EXPECT_EQ(ListLayouts(), (std::vector<std::string>{"two"}));
}

TEST_F(WorkspaceWindowsTest, ATornOffWorkspaceComesBackWhenItsFrameCloses) {
  page->AddWorkspace();
  page->SetCurrent(1);
  CWndChartContainer* ws = page->CurrentWorkspace();
  CFloatingWorkspace* frame = page->TearOff(1, QPoint(600, 300));
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(page->WorkspaceCount(), 1);
  EXPECT_EQ(page->CurrentIndex(), 0);
  EXPECT_EQ(frame->Workspace(), ws);
  EXPECT_EQ(frame->geometry().top(), 300 - 16);
  EXPECT_EQ(frame->geometry().center().x(), 600 - (frame->width() % 2 == 0 ? 1 : 0));
  // Saved while floating, it is not lost.
  QuotePageModel saved;
  ASSERT_TRUE(saved.Parse(page->Record()));
  EXPECT_EQ(saved.workspaces.size(), 2u);
  frame->close();
  ASSERT_EQ(page->WorkspaceCount(), 2);
  EXPECT_EQ(page->Workspace(1), ws);
  EXPECT_EQ(page->WorkspaceName(1), TXT("工作区2"));
}

TEST_F(WorkspaceWindowsTest, ARestartRestoresEveryWorkspaceWindowAndObject) {
  CWndChartContainer* ws = page->CurrentWorkspace();
  ws->ApplyScheme(2, 2);
  std::vector<CChartContainer*> c = ws->Containers();
  c[0]->ShowContent(kContentQuoteGrid);
  c[1]->SetContract(rb);
  c[1]->ShowContent(kContentKLine);
  c[1]->ShowPeriod({kPeriodMinutes, 15});
  c[1]->Chart()->LoadIndicator(2, "KDJ");
  candlechart::DrawObject line;
  line.kind = candlechart::kDrawHorizontal;
  line.points = {{1765159200, 3100}};
  c[1]->Chart()->Engine()->SetObjects({line});
  c[2]->SetContract(cu);
  c[2]->ShowContent(kContentTimeShare);
  c[3]->SetContract(rb);
  c[3]->ShowContent(kContentPriceCube);  // a new cube starts with a card of the contract
  ASSERT_NE(c[3]->PriceCube(), nullptr);
  c[3]->PriceCube()->AddCard(cu);
  page->AddWorkspace();
  page->SetCurrent(1);
  page->CurrentWorkspace()->ApplyScheme(1, 3);
  const std::string record = page->Record();

  CPageQuote restarted;
  restarted.resize(1200, 800);
  ASSERT_TRUE(restarted.LoadRecord(record));
  EXPECT_EQ(restarted.Record(), record);
  ASSERT_EQ(restarted.WorkspaceCount(), 2);
  EXPECT_EQ(restarted.CurrentIndex(), 1);
  EXPECT_EQ(restarted.Workspace(1)->WindowCount(), 3);
  std::vector<CChartContainer*> r = restarted.Workspace(0)->Containers();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0]->Content(), kContentQuoteGrid);
  ASSERT_EQ(r[1]->Content(), kContentKLine);
  EXPECT_EQ(r[1]->Chart()->Period(), (ChartPeriod{kPeriodMinutes, 15}));
  EXPECT_EQ(r[1]->Chart()->Indicators().PaneIndicator(2), "KDJ");
  EXPECT_EQ(r[1]->Chart()->Engine()->Objects(), (std::vector<candlechart::DrawObject>{line}));
  EXPECT_EQ(r[2]->Content(), kContentTimeShare);
  EXPECT_EQ(r[2]->Contract().Key(), cu.Key());
  ASSERT_EQ(r[3]->Content(), kContentPriceCube);
  EXPECT_EQ(r[3]->CubeCards(), (std::vector<std::string>{std::string(rb.Key()), std::string(cu.Key())}));
  EXPECT_EQ(r[3]->PriceCube()->Cube().Cards().size(), 2u);
}

// A restarted page makes the windows of the workspace on screen only; the others keep their
// records as read (a save before they were ever shown writes them back byte for byte) and are
// made, exactly as saved, when first shown or asked for their windows.
TEST_F(WorkspaceWindowsTest, HiddenWorkspacesAreMadeWhenFirstShownAndSaveUntouchedUntilThen) {
  for (int w = 0; w < 3; ++w) {
    if (w) page->SetCurrent(page->AddWorkspace());
    CWndChartContainer* ws = page->CurrentWorkspace();
    ws->ApplyScheme(1, 2);
    std::vector<CChartContainer*> c = ws->Containers();
    c[0]->SetContract(w == 1 ? cu : rb);
    c[0]->ShowContent(kContentKLine);
    c[0]->ShowPeriod({kPeriodMinutes, 1 + w});
    c[1]->ShowContent(kContentQuoteGrid);
  }
  page->SetCurrent(1);
  const std::string record = page->Record();

  CPageQuote restarted;
  restarted.resize(1200, 800);
  restarted.show();
  ASSERT_TRUE(restarted.LoadRecord(record));
  ASSERT_EQ(restarted.WorkspaceCount(), 3);
  EXPECT_EQ(restarted.CurrentIndex(), 1);
  EXPECT_FALSE(restarted.Workspace(1)->Deferred());
  EXPECT_EQ(restarted.Workspace(1)->findChildren<CCChartCtrl*>().size(), 1u);
  for (int hidden : {0, 2}) {
    EXPECT_TRUE(restarted.Workspace(hidden)->Deferred()) << hidden;
    EXPECT_TRUE(restarted.Workspace(hidden)->findChildren<CCChartCtrl*>().empty()) << hidden;
  }
  EXPECT_EQ(restarted.Record(), record);

  // Shown: made as saved, and the page's record is still the same.
  restarted.SetCurrent(2);
  EXPECT_FALSE(restarted.Workspace(2)->Deferred());
  std::vector<CChartContainer*> r = restarted.Workspace(2)->Containers();
  ASSERT_EQ(r.size(), 2u);
  ASSERT_EQ(r[0]->Content(), kContentKLine);
  EXPECT_EQ(r[0]->Chart()->Period(), (ChartPeriod{kPeriodMinutes, 3}));
  EXPECT_EQ(r[1]->Content(), kContentQuoteGrid);
  EXPECT_TRUE(restarted.Workspace(0)->Deferred());
  restarted.SetCurrent(1);  // the record also holds which workspace is current
  EXPECT_EQ(restarted.Record(), record);

  // Asked for its windows while hidden: made then.
  EXPECT_EQ(restarted.Workspace(0)->WindowCount(), 2);
  EXPECT_FALSE(restarted.Workspace(0)->Deferred());
  EXPECT_EQ(restarted.Workspace(0)->Containers()[0]->Contract().Key(), rb.Key());
  EXPECT_EQ(restarted.Record(), record);

  // A hidden workspace's window command acts on the record's windows, not on a placeholder.
  ASSERT_TRUE(restarted.LoadRecord(record));
  ASSERT_TRUE(restarted.Workspace(2)->Deferred());
  restarted.Workspace(2)->ApplyScheme(2, 2);
  EXPECT_EQ(restarted.Workspace(2)->WindowCount(), 4);
  EXPECT_EQ(restarted.Workspace(2)->Containers()[0]->Content(), kContentKLine);
}

TEST_F(WorkspaceWindowsTest, CombinationCardsShowTheirStrategyAndComeBackWithTheRecord) {
  CombolStrategy s{};
  s.legs[0].contract = rb;
  s.legs[0].direction = 1;
  s.legs[0].lots = 1;
  s.legs[1].contract = cu;
  s.legs[1].direction = 2;
  s.legs[1].lots = 1;
  s.decimals = 1;
  SetField(s.formula, "A-B");
  SetField(s.name, "rb-cu");
  ASSERT_TRUE(SaveStrategyFile({s}));
  CChartContainer* c = page->CurrentContainer();
  c->SetContract(rb);
  c->ShowContent(kContentPriceCube);
  CWndPriceCube* cube = c->PriceCube();
  ASSERT_NE(cube, nullptr);
  // The card menu offers the file's strategies.
  ASSERT_EQ(cube->strategies().size(), 1u);
  cube->AddStrategyCard(s);
  cube->AddStrategyCard(s);  // the same strategy twice: one calculator
  cube->AddCard(cu);
  EXPECT_EQ(cube->Calculators().Count(), 1u);
  Step(4);
  QCoreApplication::sendPostedEvents();
  cube->TakeQuotes();
  const PriceCard& card = cube->Cube().Cards()[1];
  ASSERT_TRUE(card.combol);
  EXPECT_NE(card.ask, kCombolNoValue);  // computed from the legs' quotes
  EXPECT_FALSE(CardValueText(card, card.ask).empty());
  cube->RemoveCard(2);  // one of the two strategy cards
  EXPECT_TRUE(cube->Calculators().Has(s));

  const std::string record = page->Record();
  {
    CPageQuote restarted;
    restarted.resize(1200, 800);
    ASSERT_TRUE(restarted.LoadRecord(record));
    EXPECT_EQ(restarted.Record(), record);
    CChartContainer* r = restarted.CurrentContainer();
    ASSERT_EQ(r->Content(), kContentPriceCube);
    EXPECT_EQ(r->CubeCardRefs(), (std::vector<CubeCardRef>{{false, std::string(rb.Key())},
                                                            {true, MakeCombolKey(s)},
                                                            {false, std::string(cu.Key())}}));
    CWndPriceCube* rc = r->PriceCube();
    ASSERT_TRUE(rc->Cube().Cards()[1].combol);
    EXPECT_EQ(rc->Calculators().Count(), 1u);
    // A double-click on the ask area orders the combination forward, on the bid area reverse.
    restarted.show();
    QCoreApplication::processEvents();
    const QRect box = rc->CardRect(1);
    rc->DoubleClickAt(QPoint(box.right() - 4, box.bottom() - 4));
    CDlgCombSendOrder* entry = CDlgCombSendOrder::Instance();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->tabs->currentIndex(), 0);
    EXPECT_EQ(entry->name->text(), QStringLiteral("rb-cu"));
    rc->DoubleClickAt(QPoint(box.left() + 4, box.bottom() - 4));
    EXPECT_EQ(CDlgCombSendOrder::Instance(), entry);  // the same entry, filled again
    EXPECT_EQ(entry->tabs->currentIndex(), 1);
    delete entry;
  }
  // A strategy no longer in the file keeps its place in the record.
  ASSERT_TRUE(SaveStrategyFile({}));
  CPageQuote without;
  ASSERT_TRUE(without.LoadRecord(record));
  EXPECT_EQ(without.Record(), record);
  EXPECT_EQ(without.CurrentContainer()->PriceCube()->Cube().Cards().size(), 2u);
}

TEST_F(WorkspaceWindowsTest, WizardChoicesActOnTheCurrentWindow) {
  CChartContainer* c = page->CurrentContainer();
  WizardItem contract;
  contract.kind = kWizardContract;
  contract.contract = cu;
  EXPECT_TRUE(c->ApplyWizardItem(contract));  // an empty window opens the chart
  ASSERT_EQ(c->Content(), kContentKLine);
  EXPECT_EQ(c->Chart()->Contract().Key(), cu.Key());
  WizardItem period;
  period.kind = kWizardPeriod;
  period.extra1 = kPeriodSeconds;
  period.extra2 = 30;
  c->ApplyWizardItem(period);
  EXPECT_EQ(c->Chart()->Period(), (ChartPeriod{kPeriodSeconds, 30}));
  WizardItem indicator;
  indicator.kind = kWizardIndicator;
  indicator.key = "KDJ";
  EXPECT_TRUE(c->ApplyWizardItem(indicator));
  EXPECT_EQ(c->Chart()->Indicators().PaneIndicator(1), "KDJ");
  WizardItem window;
  window.kind = kWizardWindow;
  window.display = ".  " + TXT("行情报价");
  c->ApplyWizardItem(window);
  EXPECT_EQ(c->Content(), kContentQuoteGrid);
  EXPECT_EQ(c->FocusWindow(), static_cast<QWidget*>(c->QuoteGrid()->Grid()));
}

}  // namespace
}  // namespace tarn::test
