// The engines' windows under the offscreen platform: what they show, their messages, what
// their buttons do to the engines, and the alert windows hearing alerts from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <thread>

#include "engine_fakes.h"
#include "engines/auto_cover.h"
#include "engines/gui/alert_dialogs.h"
#include "engines/gui/alert_tip.h"
#include "engines/gui/alert_windows.h"
#include "engines/gui/engine_widgets.h"
#include "engines/gui/order_dialogs.h"
#include "platform/message_box.h"
#include "support/test_support.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

namespace {

using namespace tarn::test;
using tarn::ui::ToQString;

class EngineWindows : public ::testing::Test {
 protected:
  EngineWindows() {
    quotes.AddCommodity(10, 1, "rb", TXT("螺纹钢"), 1.0, 0);
    quotes.AddCommodity(11, 1, "au", TXT("黄金"), 0.02, 2);
    rb = quotes.AddContract("SHFE|rb2601", 10, TXT("螺纹2601"));
    au = quotes.AddContract("SHFE|au2602", 11, TXT("黄金2602"));
  }
  QString Cell(QTableWidget* t, int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); }

  ScopedHome home;
  EngineQuoteCenter quotes;
  FakeTradeApi trade;
  tarn::MessageBoxRecorder boxes;
  DC_Contract rb, au;
  tarn::ScopedEngine<CAlertCenter> alerts;
  tarn::ScopedEngine<CAutoCover> stops;
  tarn::ScopedEngine<COCOOrderMgr> ocos;
};

TEST_F(EngineWindows, AddAlertDialogShowsAndReadsItsBoxesAndUsesTheChooser) {
  QuoteAlert a{};
  a.contract = au;
  a.upperPrice = 612.5;
  a.openInterestLimit = 300;
  a.upperFired = 1;
  {
    CDlgAddQuoteAlert d(a);
    EXPECT_EQ(d.contractName->text(), ToQString(TXT("黄金2602")));
    EXPECT_EQ(d.upperPrice->text(), QStringLiteral("612.50"));
    EXPECT_EQ(d.lowerPrice->text(), QString());
    EXPECT_EQ(d.openInterest->text(), QStringLiteral("300"));
    EXPECT_FALSE(d.chooseButton->isEnabled());  // no contract selection dialog yet
    d.show();
    d.lowerPrice->setText(QStringLiteral("600"));
    d.volume->setText(QStringLiteral("garbage"));
    QTest::keyClick(&d, Qt::Key_Return);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(d.Alert().lowerPrice, 600);
    EXPECT_EQ(d.Alert().volumeLimit, 0);
    EXPECT_EQ(d.Alert().upperFired, 1);
  }
  tarn::SetContractChooser([this](QWidget*, DC_Contract* c) {
    *c = rb;
    return true;
  });
  CDlgAddQuoteAlert d(QuoteAlert{});
  ASSERT_TRUE(d.chooseButton->isEnabled());
  d.chooseButton->click();
  EXPECT_EQ(d.Alert().contract.Key(), "SHFE|rb2601");
  EXPECT_EQ(d.contractName->text(), ToQString(TXT("螺纹2601")));
  tarn::SetContractChooser(nullptr);
}

TEST_F(EngineWindows, AlertListButtonsAndRefreshOnAnAlertFromTheQuoteThread) {
  CDlgAlertSetting list;
  list.show();
  EXPECT_EQ(list.list->columnCount(), 8);
  EXPECT_EQ(list.list->horizontalHeaderItem(7)->text(), QStringLiteral("状态"));
  list.Modify();
  list.Delete();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{TXT("请选择一行"), TXT("请选择一行")}));

  list.runEditor = [this](CDlgAddQuoteAlert& d) {
    tarn::SetContractChooser([this](QWidget*, DC_Contract* c) {
      *c = au;
      return true;
    });
    d.ChooseContract();
    tarn::SetContractChooser(nullptr);
    d.upperPrice->setText(QStringLiteral("610"));
    d.OnOk();
    return true;
  };
  list.Add();
  ASSERT_EQ(list.list->rowCount(), 1);
  EXPECT_EQ(Cell(list.list, 0, 2), QStringLiteral("610.00"));
  EXPECT_EQ(Cell(list.list, 0, 7), ToQString(TXT("(未触发)")));

  // An alert fires on another thread: the list hears it and refreshes on its own thread.
  std::thread quoteThread([&] {
    DC_Quote q = QuoteAt(au, 611);
    quotes.DeliverQuote(q);
  });
  quoteThread.join();
  QApplication::processEvents();
  EXPECT_EQ(Cell(list.list, 0, 2), ToQString(TXT("610.00 √")));
  EXPECT_EQ(Cell(list.list, 0, 7), ToQString(TXT("(已触发)")));

  // Modify keeps the fired flag.
  list.list->selectRow(0);
  list.runEditor = [](CDlgAddQuoteAlert& d) {
    d.upperPrice->setText(QStringLiteral("620"));
    d.OnOk();
    return true;
  };
  list.Modify();
  EXPECT_EQ(Cell(list.list, 0, 2), ToQString(TXT("620.00 √")));

  list.sound->click();
  EXPECT_FALSE(alerts->SoundOn());

  std::vector<CDlgAllAlertInfo*> opened;
  list.openHistory = [&](CDlgAllAlertInfo* d) { opened.push_back(d); };
  list.ShowHistory();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0]->text->toPlainText().contains(ToQString(TXT("黄金2602达到价格上限610.00"))));
  delete opened[0];

  boxes.Clear();
  boxes.Script(tarn::MsgAnswer::Cancel);
  list.Clear();
  EXPECT_EQ(list.list->rowCount(), 1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, TXT("您确实要清空预警列表吗?"));
  EXPECT_EQ(boxes.Boxes()[0].title, TXT("提示"));
  EXPECT_EQ(boxes.Boxes()[0].buttons, tarn::MsgButtons::OkCancel);
  list.Clear();  // answered OK
  EXPECT_EQ(list.list->rowCount(), 0);
  EXPECT_EQ(alerts->AlertCount(), 0u);
}

TEST_F(EngineWindows, TheAlertListIsMadeOnceAndTheTipWindowWithTheFrame) {
  QWidget frame;
  CDlgAlertTip* tip = tarn::StartAlerts(&frame);
  EXPECT_FALSE(tip->isVisible());
  EXPECT_EQ(tarn::StartAlerts(&frame), tip);
  CDlgAlertSetting* first = tarn::ShowAlertList(&frame);
  EXPECT_TRUE(first->isVisible());
  EXPECT_FALSE(first->isModal());
  first->hide();
  EXPECT_EQ(tarn::ShowAlertList(&frame), first);
  EXPECT_TRUE(first->isVisible());
}

TEST_F(EngineWindows, TheQuoteWindowsAlertActionEditsTheContractsAlert) {
  auto answer = [](const QString& upper, QString* seen) {
    QTimer::singleShot(0, [=] {
      auto* d = qobject_cast<CDlgAddQuoteAlert*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      *seen = d->upperPrice->text();
      d->upperPrice->setText(upper);
      d->OnOk();
    });
  };
  QString seen;
  answer(QStringLiteral("3700"), &seen);
  EXPECT_TRUE(tarn::EditAlertFor(nullptr, rb));
  EXPECT_EQ(seen, QString());
  ASSERT_EQ(alerts->AlertCount(), 1u);
  DC_Quote q = QuoteAt(rb, 3700);
  alerts->OnQuote(0, &q);  // fires
  answer(QStringLiteral("3800"), &seen);
  EXPECT_TRUE(tarn::EditAlertFor(nullptr, rb));
  EXPECT_EQ(seen, QStringLiteral("3700"));  // the contract's alert was shown
  std::vector<QuoteAlert> list;
  alerts->CopyAlerts(list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].upperPrice, 3800);
  EXPECT_EQ(list[0].upperFired, 1);  // kept, as a modify keeps it
}

TEST_F(EngineWindows, TipWindowShowsAlertsAndPagesThroughThem) {
  CDlgAlertTip tip;
  QuoteAlert a{};
  a.contract = rb;
  a.upperPrice = 3600;
  a.volumeLimit = 10;
  alerts->AddOrReplace(a);
  std::thread quoteThread([&] {
    DC_Quote q = QuoteAt(rb, 3600);
    q.data.volume = 12;
    quotes.DeliverQuote(q);
  });
  quoteThread.join();
  EXPECT_FALSE(tip.isVisible());  // nothing touched the window on the quote thread
  QApplication::processEvents();
  EXPECT_TRUE(tip.isVisible());
  EXPECT_EQ(tip.size(), QSize(tarn::ui::Scaled(360), tarn::ui::Scaled(240)));
  tarn::AlertTipModel m = tip.Model();
  EXPECT_EQ(m.PositionText(), "2/2");
  EXPECT_EQ(m.CurrentEntry()->text, TXT("螺纹2601成交量达到10"));
  const CDlgAlertTip::Parts p = tip.Layout();
  QTest::mouseClick(&tip, Qt::LeftButton, Qt::NoModifier, p.back.center());
  EXPECT_EQ(tip.Model().PositionText(), "1/2");
  QTest::mouseClick(&tip, Qt::LeftButton, Qt::NoModifier, p.back.center());
  EXPECT_EQ(tip.Model().PositionText(), "1/2");
  QTest::mouseClick(&tip, Qt::LeftButton, Qt::NoModifier, p.forward.center());
  EXPECT_EQ(tip.Model().PositionText(), "2/2");
  std::vector<CDlgAllAlertInfo*> opened;
  tip.openHistory = [&](CDlgAllAlertInfo* d) { opened.push_back(d); };
  QTest::mouseClick(&tip, Qt::LeftButton, Qt::NoModifier, p.link.center());
  ASSERT_EQ(opened.size(), 1u);
  delete opened[0];
  QTest::mouseClick(&tip, Qt::LeftButton, Qt::NoModifier, p.close.center());
  EXPECT_FALSE(tip.isVisible());
  EXPECT_FALSE(tip.grab().isNull());
}

TEST_F(EngineWindows, AutoCoverSettingDialog) {
  CDlgAutoCoverSetting d;
  EXPECT_EQ(d.commodity->count(), 2);
  EXPECT_EQ(d.commodity->itemText(0), ToQString(TXT("rb 螺纹钢")));
  EXPECT_EQ(d.commodity->currentIndex(), -1);
  d.Set();
  d.Delete();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{TXT("请选择品种"), TXT("请选择一行")}));
  d.commodity->setCurrentIndex(1);
  d.stopLoss->setText(QStringLiteral("12"));
  d.breakEven->setText(QStringLiteral("4"));
  d.Set();
  ASSERT_EQ(d.list->rowCount(), 1);
  EXPECT_EQ(Cell(d.list, 0, 0), ToQString(TXT("黄金(au)")));
  EXPECT_EQ(Cell(d.list, 0, 1), QStringLiteral("12"));
  EXPECT_EQ(Cell(d.list, 0, 2), QString());
  EXPECT_EQ(Cell(d.list, 0, 4), QStringLiteral("4"));
  d.enabled->click();
  EXPECT_TRUE(stops->Enabled());
  d.enabled->click();
  EXPECT_FALSE(stops->Enabled());
  d.list->selectRow(0);
  d.Delete();
  EXPECT_EQ(d.list->rowCount(), 0);
  d.Set();
  d.Clear();
  std::vector<AutoCoverSetting> left;
  stops->CopySettings(left);
  EXPECT_TRUE(left.empty());
}

TEST_F(EngineWindows, OcoDialogChecksAddsAndModifies) {
  OcoOrder fresh;
  fresh.contract = rb;
  {
    CDlgAddOcoOrder d(fresh);
    EXPECT_EQ(d.windowTitle(), ToQString(TXT("添加OCO单")));
    EXPECT_EQ(d.sideA->currentText(), QStringLiteral("买入"));
    EXPECT_EQ(d.sideB->currentText(), QStringLiteral("卖出"));
    EXPECT_EQ(d.offsetB->currentText(), QStringLiteral("开仓"));
    d.show();
    d.price1->setText(QStringLiteral("3500"));
    d.price2->setText(QStringLiteral("3500"));
    d.quantity->setText(QStringLiteral("2"));
    QTest::keyClick(&d, Qt::Key_Return);
    EXPECT_EQ(boxes.LastText(), TXT("价格1必须大于价格2"));
    EXPECT_NE(d.result(), QDialog::Accepted);
    d.price2->setText(QStringLiteral("3400"));
    d.quantity->setText(QStringLiteral("-1"));
    d.OnOk();
    EXPECT_EQ(boxes.LastText(), TXT("数量错误"));
    EXPECT_EQ(ocos->Count(), 0u);
    d.quantity->setText(QStringLiteral("2"));
    d.offsetA->setCurrentIndex(1);
    d.OnOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  }
  std::vector<OcoOrder> all;
  ocos->CopyAll(all);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].offsetA, 2);
  CDlgAddOcoOrder edit(all[0]);
  EXPECT_EQ(edit.windowTitle(), ToQString(TXT("修改OCO单")));
  EXPECT_EQ(edit.contractName->text(), ToQString(TXT("螺纹2601")));
  EXPECT_EQ(edit.price1->text(), QStringLiteral("3500"));
  EXPECT_EQ(edit.offsetA->currentText(), QStringLiteral("平仓"));
  edit.quantity->setText(QStringLiteral("5"));
  edit.OnOk();
  ocos->CopyAll(all);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].quantity, 5);
}

}  // namespace
