// The small pieces of the toolkit: text conversion, theme, dialog keys, message boxes from
// other threads, the sound player's thread hand-over and the screenshot registry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "platform/message_box.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "ui/dialog.h"
#include "ui/message_box_qt.h"
#include "ui/screenshot.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

namespace tarn::ui {
namespace {

TEST(TextQt, GbkRoundTripThroughQString) {
  const std::string gbk = TXT("行情:正在重连 rb2510");
  const QString q = ToQString(gbk);
  EXPECT_EQ(q, QStringLiteral("行情:正在重连 rb2510"));
  EXPECT_EQ(ToGbk(q), gbk);
  // A malformed GBK tail does not lose the text before it.
  EXPECT_TRUE(ToQString(std::string("ab\x81")).startsWith(QStringLiteral("ab")));
}

TEST(Theme, PaletteFollowsTheColoursAndApplyNotifies) {
  ThemeColors c = DefaultThemeColors();
  c.text = QColor(1, 2, 3);
  const QPalette p = PaletteFor(c);
  EXPECT_EQ(p.color(QPalette::WindowText), QColor(1, 2, 3));
  EXPECT_EQ(p.color(QPalette::AlternateBase), c.zebra);
  // Dark by default: the panel is dark.
  EXPECT_LT(PaletteFor(DefaultThemeColors()).color(QPalette::Window).lightness(), 80);
  QSignalSpy spy(ThemeNotifier::Instance(), &ThemeNotifier::changed);
  ApplyTheme(c);
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(Theme().text, QColor(1, 2, 3));
  ApplyTheme(DefaultThemeColors());
  EXPECT_EQ(FromColorref(Rgb(10, 30, 80)), QColor(10, 30, 80));
  EXPECT_EQ(ToColorref(QColor(10, 30, 80)), Rgb(10, 30, 80));
}

class CountingDialog : public Dialog {
 public:
  int oks = 0;
  int cancels = 0;
  bool refuse = false;
  void OnOk() override {
    ++oks;
    if (!refuse) Dialog::OnOk();
  }
  void OnCancel() override {
    ++cancels;
    Dialog::OnCancel();
  }
};

TEST(DialogKeys, EnterIsOkEscapeIsCancel) {
  CountingDialog d;
  auto* layout = new QVBoxLayout(d.Body());
  auto* edit = new QLineEdit(d.Body());
  layout->addWidget(edit);
  d.show();
  edit->setFocus();
  d.refuse = true;
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(d.oks, 1);
  EXPECT_TRUE(d.isVisible());  // a refusing OnOk keeps the dialog open
  d.refuse = false;
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(d.oks, 2);
  EXPECT_EQ(d.result(), QDialog::Accepted);

  CountingDialog d2;
  d2.show();
  QTest::keyClick(&d2, Qt::Key_Escape);
  EXPECT_EQ(d2.cancels, 1);
  EXPECT_EQ(d2.result(), QDialog::Rejected);
  // The close box is Cancel as well.
  CountingDialog d3;
  d3.show();
  d3.reject();
  EXPECT_EQ(d3.cancels, 1);
}

TEST(DialogKeys, EditableMultiLineEditKeepsItsEnter) {
  CountingDialog d;
  auto* layout = new QVBoxLayout(d.Body());
  auto* edit = new QPlainTextEdit(d.Body());
  layout->addWidget(edit);
  d.show();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(d.oks, 0);
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("\n"));
}

TEST(MessageBoxQt, BoxAskedOnAWorkerThreadIsAnsweredOnTheUiThread) {
  InstallMessageBoxHandler(QStringLiteral("Tarn"));
  QString shownText;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shownText = box->text();
      box->button(QMessageBox::Cancel)->click();
    }
  });
  poll.start(10);
  MsgAnswer answer = MsgAnswer::Ok;
  bool done = false;
  std::thread worker([&] {
    answer = MessageBox(TXT("您确实要退出本系统吗?"), "", MsgButtons::OkCancel);
    done = true;
  });
  for (int i = 0; i < 500 && !done; ++i) QTest::qWait(10);
  worker.join();
  RemoveMessageBoxHandler();
  EXPECT_EQ(shownText, QStringLiteral("您确实要退出本系统吗?"));
  EXPECT_EQ(answer, MsgAnswer::Cancel);
}

TEST(Screenshots, GrabAllWritesOnePngPerWindowAndNamesFailures) {
  test::TempDir dir;
  ScreenshotRegistry reg;
  reg.Add("label", [] {
    auto* l = new QLabel(QStringLiteral("行情报价"));
    l->resize(200, 40);
    return l;
  });
  reg.Add("nothing", [] { return static_cast<QWidget*>(nullptr); });
  std::vector<std::string> failed;
  EXPECT_EQ(reg.GrabAll(QString::fromStdString(dir.path()), &failed), 1);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0], "nothing");
  QImage img(QString::fromStdString(dir.File("label.png")));
  ASSERT_FALSE(img.isNull());
  EXPECT_GE(img.width(), 200);
}

}  // namespace
}  // namespace tarn::ui
