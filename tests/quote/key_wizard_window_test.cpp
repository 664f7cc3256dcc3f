// The keyboard wizard's window and a page's key routing under the offscreen platform, against
// a fake quote library with a small catalogue and the shipped formula file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <filesystem>

#include "catalogue_quote_center.h"
#include "libs/indicators/formula_files.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "quote/gui/block_tab_bar.h"
#include "quote/gui/dlg_key_wizard.h"
#include "quote/gui/key_wizard_router.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/wnd_quote_gird.h"
#include "support/test_support.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

namespace tarn {
namespace {

using test::CatalogueQuoteCenter;
using test::SmallMarket;

// A page: a quote grid window and an edit, the key router, and a record of the chosen entries.
struct FakePage : QWidget, IKeyWizardNotify {
  FakePage() {
    resize(1000, 700);
    grid = new CWndQuoteGird(this);
    grid->setGeometry(0, 0, 1000, 600);
    edit = new QLineEdit(this);
    edit->setGeometry(0, 610, 200, 24);
    router = new CKeyWizardRouter(this, this, this);
  }
  void OnKeyWizardItem(WizardItem item) override {
    chosen.push_back(item);
    grid->ApplyWizardItem(item);
  }
  QWidget* KeyWizardFocusWindow() override { return grid->Grid(); }

  CWndQuoteGird* grid;
  QLineEdit* edit;
  CKeyWizardRouter* router;
  std::vector<WizardItem> chosen;
};

struct KeyWizardWindow : ::testing::Test {
  KeyWizardWindow() {
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(home.path()) / "formula" / "config");
    fs::copy_file(fs::path(TARN_ASSETS_DIR) / "formula" / "config" / "sysfml.dat",
                  fs::path(home.Native(kSystemFormulaFile)));
    page.grid->RefreshBlocks("SHFE");
    page.show();
  }
  ~KeyWizardWindow() override { delete CDlgKeyWizard::Instance(); }

  CDlgKeyWizard* Wizard() {
    CDlgKeyWizard* w = CDlgKeyWizard::Instance();
    if (w && !w->IndexBuilt()) QTest::qWait(20);  // the zero timer builds the index
    return w;
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> out;
    QListWidget* list = CDlgKeyWizard::Instance()->List();
    for (int i = 0; i < list->count(); ++i) out.push_back(ui::ToGbk(list->item(i)->text()));
    return out;
  }

  test::ScopedHome home;
  CatalogueQuoteCenter quotes;
  SmallMarket market{quotes};
  FakePage page;
};

TEST_F(KeyWizardWindow, TypingOnThePageOpensTheWizardAndEnterHandsTheContractToTheGrid) {
  EXPECT_EQ(CDlgKeyWizard::Instance(), nullptr);
  QTest::keyClick(page.grid->Grid(), Qt::Key_G, Qt::NoModifier);
  CDlgKeyWizard* w = Wizard();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->IndexBuilt());
  EXPECT_EQ(w->Edit()->text(), QStringLiteral("g"));
  // Text typed before the index existed is searched once it does.
  EXPECT_EQ(Rows(), (std::vector<std::string>{TXT("2612 纽约黄金2612   纽约黄金")}));
  // Placed at the view's bottom-right.
  const QPoint br = page.mapToGlobal(QPoint(page.width(), page.height()));
  EXPECT_EQ(w->geometry().right() + 1, br.x() - ui::Scaled(4));
  EXPECT_EQ(w->geometry().bottom() + 1, br.y() - ui::Scaled(34));

  // The wizard's edit takes the next characters itself.
  QTest::keyClicks(w->Edit(), "c26");
  EXPECT_EQ(w->Edit()->text(), QStringLiteral("gc26"));
  EXPECT_EQ(w->List()->count(), 1);
  QTest::keyClick(w->Edit(), Qt::Key_Return);
  EXPECT_FALSE(w->isVisible());
  ASSERT_EQ(page.chosen.size(), 1u);
  EXPECT_EQ(page.chosen[0].contract.Key(), market.gcMonth.Key());
  // The grid shows the contract's exchange and has it selected.
  EXPECT_EQ(page.grid->BlockName(), "COMEX");
  EXPECT_EQ(page.grid->CurrentContract().Key(), market.gcMonth.Key());

  // A ZCE code typed with its year digit.
  QTest::keyClick(page.grid->Grid(), Qt::Key_S, Qt::NoModifier);
  QTest::keyClicks(w->Edit(), "r2605");
  ASSERT_EQ(Rows(), (std::vector<std::string>{TXT("605 白糖605   白糖")}));
  QTest::keyClick(w->Edit(), Qt::Key_Enter);
  ASSERT_EQ(page.chosen.size(), 2u);
  EXPECT_EQ(page.grid->CurrentContract().Key(), "ZCE|SR605");

  // Opened again, the edit starts empty; Escape hides and hands nothing.
  QTest::keyClick(page.grid->Grid(), Qt::Key_R, Qt::NoModifier);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->Edit()->text(), QStringLiteral("r"));
  QTest::keyClick(w->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(page.chosen.size(), 2u);
}

TEST_F(KeyWizardWindow, EditsEnterSpaceAndShortcutsNeverOpenIt) {
  QTest::keyClick(page.edit, Qt::Key_A);
  EXPECT_EQ(page.edit->text(), QStringLiteral("a"));
  QTest::keyClick(page.grid->Grid(), Qt::Key_Return);
  QTest::keyClick(page.grid->Grid(), Qt::Key_Space);
  QTest::keyClick(page.grid->Grid(), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(page.grid->Grid(), Qt::Key_Backspace);
  const CDlgKeyWizard* w = CDlgKeyWizard::Instance();
  EXPECT_TRUE(!w || !w->isVisible());
  // A window outside the page is not routed either.
  QWidget other;
  other.show();
  QTest::keyClick(&other, Qt::Key_A);
  w = CDlgKeyWizard::Instance();
  EXPECT_TRUE(!w || !w->isVisible());
}

TEST_F(KeyWizardWindow, IndicatorsHeadTheListArrowsMoveTheSelectionAndEnterOnEmptyOnlyHides) {
  QTest::keyClick(page.grid->Grid(), Qt::Key_K);
  CDlgKeyWizard* w = Wizard();
  ASSERT_NE(w, nullptr);
  // The shipped formulas' indicators K110 ... KDJ, then no contract: none begins with K.
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0].substr(0, 5), "K110 ");
  QTest::keyClicks(w->Edit(), "dj");
  ASSERT_EQ(w->List()->count(), 1);
  EXPECT_EQ(Rows()[0].substr(0, 4), "KDJ ");
  EXPECT_EQ(w->List()->currentRow(), 0);
  // "R": the indicators RC ... RSI before the contracts found by their code.
  w->Edit()->setText(QStringLiteral("r"));
  rows = Rows();
  ASSERT_GT(rows.size(), 5u);
  EXPECT_EQ(rows[0].substr(0, 3), "RC ");
  EXPECT_EQ(rows[5].substr(0, 3), "MI ");  // "MI" is the shortest first word

  w->Edit()->setText(QStringLiteral("1"));  // "1", "10", "11"
  ASSERT_EQ(w->List()->count(), 3);
  QTest::keyClick(w->Edit(), Qt::Key_Down);
  EXPECT_EQ(w->List()->currentRow(), 1);
  QTest::keyClick(w->List(), Qt::Key_Down);
  EXPECT_EQ(w->List()->currentRow(), 2);
  QTest::keyClick(w->List(), Qt::Key_Return);
  ASSERT_EQ(page.chosen.size(), 1u);
  EXPECT_EQ(page.chosen[0].key, "11");
  EXPECT_EQ(page.chosen[0].extra1, 2);
  EXPECT_EQ(page.chosen[0].extra2, 30);

  // Nothing matches: Enter hides and hands nothing.
  QTest::keyClick(page.grid->Grid(), Qt::Key_Q);
  QTest::keyClicks(w->Edit(), "qqqq");
  EXPECT_EQ(w->List()->count(), 0);
  QTest::keyClick(w->Edit(), Qt::Key_Return);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(page.chosen.size(), 1u);
}

TEST_F(KeyWizardWindow, ClicksElsewhereHideItClicksOnItsListDoNot) {
  QTest::keyClick(page.grid->Grid(), Qt::Key_L);  // the rb months by their initials
  CDlgKeyWizard* w = Wizard();
  ASSERT_NE(w, nullptr);
  ASSERT_GT(w->List()->count(), 0);
  QTest::mouseClick(w->List()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
  EXPECT_TRUE(w->isVisible());
  QTest::mouseClick(w->Edit(), Qt::LeftButton);
  EXPECT_TRUE(w->isVisible());
  // A double click on a row picks it.
  QTest::mouseDClick(w->List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                     w->List()->visualItemRect(w->List()->item(0)).center());
  EXPECT_FALSE(w->isVisible());
  ASSERT_EQ(page.chosen.size(), 1u);
  EXPECT_EQ(page.chosen[0].kind, kWizardContract);

  QTest::keyClick(page.grid->Grid(), Qt::Key_R);
  EXPECT_TRUE(w->isVisible());
  QTest::mouseClick(page.grid->Grid(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  EXPECT_FALSE(w->isVisible());
  QTest::keyClick(page.grid->Grid(), Qt::Key_R);
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->CloseBox().center());
  EXPECT_FALSE(w->isVisible());
}

TEST_F(KeyWizardWindow, GridWindowTakesContractsAndTheUserBlockCommand) {
  // A contract of the shown block is selected in place.
  WizardItem item;
  item.kind = kWizardContract;
  item.contract = market.cuMonths[1];
  EXPECT_TRUE(page.grid->ApplyWizardItem(item));
  EXPECT_EQ(page.grid->BlockName(), "SHFE");
  const QuoteGridModel& m = page.grid->Grid()->Model();
  ASSERT_GE(m.Selected(), 0);
  EXPECT_EQ(m.RowAt(m.Selected())->contract.Key(), "SHFE|cu2604");
  // One of another exchange: its exchange's block is shown.
  item.contract = market.gcMonth;
  EXPECT_TRUE(page.grid->ApplyWizardItem(item));
  EXPECT_EQ(page.grid->BlockName(), "COMEX");
  EXPECT_EQ(page.grid->CurrentContract().Key(), market.gcMonth.Key());
  // An unknown contract, an indicator and a period command are not the grid's.
  item.contract = ZeroRecord<DC_Contract>();
  SetField(item.contract.key, "XX|none");
  EXPECT_FALSE(page.grid->ApplyWizardItem(item));
  item.kind = kWizardIndicator;
  EXPECT_FALSE(page.grid->ApplyWizardItem(item));
  // "06  自选板块" shows the user's block.
  item.kind = kWizardWindow;
  item.display = "06  " + TXT("自选板块");
  EXPECT_TRUE(page.grid->ApplyWizardItem(item));
  EXPECT_EQ(page.grid->BlockName(), "USER");
}

// A host that records what the grid hands it.
struct RecordingHost : IQuoteGridHost {
  GridHostInfo HostInfo() const override { return GridHostInfo{}; }
  void ShowContract(const DC_Contract& contract, const std::string&, bool) override {
    shown.emplace_back(contract.Key());
  }
  void FollowContract(const DC_Contract& contract) override { followed.emplace_back(contract.Key()); }
  std::string HostContractKey() const override { return followed.empty() ? std::string() : followed.back(); }
  std::vector<std::string> shown, followed;
};

TEST_F(KeyWizardWindow, SelectingAContractNeverHandsItToTheHostAsADoubleClickWould) {
  // Restoring a window selects its saved contract: the host follows it and keeps showing the
  // grid. A wizard entry is a double-click: the host is asked to show the contract.
  RecordingHost host;
  page.grid->SetHost(&host);
  EXPECT_TRUE(page.grid->SelectContract(market.gcMonth));
  EXPECT_EQ(page.grid->BlockName(), "COMEX");
  EXPECT_EQ(page.grid->CurrentContract().Key(), market.gcMonth.Key());
  EXPECT_TRUE(host.shown.empty());
  EXPECT_EQ(host.followed, std::vector<std::string>{std::string(market.gcMonth.Key())});
  DC_Contract unknown = ZeroRecord<DC_Contract>();
  SetField(unknown.key, "XX|none");
  EXPECT_FALSE(page.grid->SelectContract(unknown));
  WizardItem item;
  item.kind = kWizardContract;
  item.contract = market.cuMonths[1];
  EXPECT_TRUE(page.grid->ApplyWizardItem(item));
  EXPECT_EQ(host.shown, std::vector<std::string>{"SHFE|cu2604"});
  page.grid->SetHost(nullptr);
}

}  // namespace
}  // namespace tarn
