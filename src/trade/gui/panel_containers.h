// The trading area: CMultiOrderPanelContainer (the three order panels behind three tabs),
// CHorzTradePanel (the funds strip on top, the panel container on its side, the trade grid in
// the rest) and CDlgTradePanelContainer (the dock in the main window with a draggable top edge).
#pragma once

#include <QPushButton>
#include <QWidget>

class CWndVertOrderPanel;
class QLabel;
class QScrollArea;
class CWndThreeKeyOrderPanel;
class CWndKeybordOrderPanel;

class CMultiOrderPanelContainer : public QWidget {
  Q_OBJECT
 public:
  explicit CMultiOrderPanelContainer(QWidget* parent = nullptr);
  // Shows panel `index` (0 standard, 1 three-key, 2 keyboard) and stores the choice.
  void SelectTab(int index);
  int Selected() const { return selected_; }
  QWidget* Panel(int index) const;
  CWndVertOrderPanel* Standard() const { return standard_; }
  CWndThreeKeyOrderPanel* ThreeKey() const { return threeKey_; }
  CWndKeybordOrderPanel* Keyboard() const { return keyboard_; }

  QPushButton* tabs[3] = {};
  // The selected panel's message line: below its scroll area, never scrolled away or clipped.
  QLabel* StatusLine() const { return statuses_[selected_]; }
  QScrollArea* ScrollArea(int index) const { return scrolls_[index]; }

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void Show(int index);
  void Place();
  int StatusHeight() const;
  QLabel* statuses_[3] = {};
  CWndVertOrderPanel* standard_;
  CWndThreeKeyOrderPanel* threeKey_;
  CWndKeybordOrderPanel* keyboard_;
  QScrollArea* scrolls_[3] = {};
  int selected_ = 1;
};

class CHorzTradePanel : public QWidget {
  Q_OBJECT
 public:
  explicit CHorzTradePanel(QWidget* parent = nullptr);
  // The funds window (CMoneyWnd) and the trade grid (CTradeGridContainer).
  QWidget* Funds() const { return funds_; }
  QWidget* Grid() const { return grid_; }
  CMultiOrderPanelContainer* Panels() const { return panels_; }
  bool PanelsLeft() const { return left_; }
  // Puts the panels on the other side and stores it.
  void ToggleSide();
  int PreferredHeight() const;

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void Place();
  QWidget* funds_;
  QWidget* grid_;
  CMultiOrderPanelContainer* panels_;
  QPushButton* side_;
  bool left_;
  int type_;
};

class CDlgTradePanelContainer : public QWidget {
  Q_OBJECT
 public:
  explicit CDlgTradePanelContainer(QWidget* parent = nullptr);
  CHorzTradePanel* Panel() const { return panel_; }
  // The height the dock takes (the stored one, else the panel's preferred one).
  int DockHeight() const { return height_; }
  // A drag of the top edge to `height`: kept within the frame's height and at least 5 x scale,
  // then stored.
  void DragTo(int height, int frameHeight);

 protected:
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  CHorzTradePanel* panel_;
  int height_;
  bool dragging_ = false;
  int dragStartY_ = 0, dragStartHeight_ = 0;
};
