// The panel object's window: what it paints where its drawing list says, and clicks turned into
// commands at the same places.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QWidget>

#include "libs/infopanel/gui/info_panel.h"
#include "platform/text.h"

namespace tarn::infopanel {
namespace {

struct Sink : IInfoPanelCommandSink {
  void OnPanelCommand(const PanelCommand& c) override { commands.push_back(c); }
  std::vector<PanelCommand> commands;
};

const PanelItem* FindText(const PanelView& v, const std::string& text) {
  for (const PanelItem& it : v.items) {
    if (it.kind == PanelItem::kText && it.text == text) return &it;
  }
  return nullptr;
}

bool HasColor(const QImage& image, const QRect& box, QColor color) {
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - color.red()) < 40 && std::abs(c.green() - color.green()) < 40 &&
          std::abs(c.blue() - color.blue()) < 40)
        return true;
    }
  }
  return false;
}

TEST(InfoPanelPainter, PaintsTheListAndRaisesCommandsWhereItemsAre) {
  QWidget parent;
  parent.resize(300, 700);
  CInfoPanel* panel = CreateInfoPanel();
  ASSERT_TRUE(panel->Create(0, 0, 300, 300, &parent));
  panel->Move(12, 0, 288, 700);
  Sink sink;
  panel->SetCommandSink(&sink);
  PanelColors colors;
  colors.background = Rgb(10, 20, 30);
  colors.rising = Rgb(255, 0, 0);
  colors.falling = Rgb(0, 255, 0);
  panel->SetColors(colors);
  panel->SetFields({0, 4}, true, true);
  panel->SetLevel(1, 5);
  DC_Contract c = ZeroRecord<DC_Contract>();
  SetField(c.key, "SHFE|rb2605");
  panel->SetContract(&c);
  DC_Quote q = ZeroRecord<DC_Quote>();
  q.contract = c;
  q.data.preSettlement = 3000;
  q.data.last = 3010;
  q.data.bidPrice[0] = 2990;  // below the reference: falling colour
  q.data.bidVolume[0] = 5;
  q.data.askPrice[0] = 3020;  // above: rising colour
  q.data.askVolume[0] = 6;
  panel->SetQuote(&q, nullptr, 0, 1, 1);
  parent.show();
  ASSERT_EQ(panel->Window()->geometry(), QRect(12, 0, 288, 700));

  const PanelView& view = panel->View();
  const PanelItem* bid = FindText(view, "2990.00");
  const PanelItem* ask = FindText(view, "3020.00");
  ASSERT_NE(bid, nullptr);
  ASSERT_NE(ask, nullptr);
  const QImage image = panel->Window()->grab().toImage();
  EXPECT_EQ(image.pixelColor(view.width - 2, view.height - 2), QColor(10, 20, 30));
  EXPECT_TRUE(HasColor(image, QRect(bid->x, bid->y, bid->w, bid->h), QColor(0, 255, 0)));
  EXPECT_TRUE(HasColor(image, QRect(ask->x, ask->y, ask->w, ask->h), QColor(255, 0, 0)));
  EXPECT_FALSE(HasColor(image, QRect(bid->x, bid->y, bid->w, bid->h), QColor(255, 0, 0)));

  QTest::mouseClick(panel->Window(), Qt::LeftButton, {}, QPoint(bid->x + bid->w - 3, bid->y + bid->h / 2));
  ASSERT_EQ(sink.commands.size(), 1u);
  EXPECT_EQ(sink.commands[0].type, kPanelPrice);
  EXPECT_DOUBLE_EQ(sink.commands[0].price, 2990.0);
  EXPECT_EQ(sink.commands[0].sideFlag, 1);
  QTest::mouseClick(panel->Window(), Qt::LeftButton, {}, QPoint(2, view.height - 2));  // nothing there
  EXPECT_EQ(sink.commands.size(), 1u);

  // Released while its own click is being handled: the window goes once the event is done.
  struct Releasing : IInfoPanelCommandSink {
    CInfoPanel* panel = nullptr;
    void OnPanelCommand(const PanelCommand&) override { panel->Release(); }
  } releasing;
  releasing.panel = panel;
  panel->SetCommandSink(&releasing);
  QTest::mouseClick(panel->Window(), Qt::LeftButton, {}, QPoint(ask->x + ask->w - 3, ask->y + ask->h / 2));
  EXPECT_EQ(panel->Window(), nullptr);
  DestroyInfoPanel(panel);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace tarn::infopanel
