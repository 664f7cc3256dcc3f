// The block tab bar of the quote grid window ("BLOCKBAR", control 102): one owner-drawn tab per
// block, commands from 1001 in order; when the tabs do not fit, two arrows scroll them.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "quote/block_list.h"

class BlockTabBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kControlId = 102;
  static constexpr int kFirstCommand = 1001;

  explicit BlockTabBar(QWidget* parent = nullptr);

  void SetBlocks(std::vector<BlockListEntry> blocks);
  const std::vector<BlockListEntry>& Blocks() const { return blocks_; }
  // The tab of a block (-1: none), and the current tab.
  int IndexOf(const std::string& code) const;
  void SetCurrent(int index);
  int Current() const { return current_; }
  // The tab's rectangle as drawn (empty when scrolled away), for tests.
  QRect TabRect(int index) const;

  // A tab was clicked: its command (kFirstCommand + index).
  std::function<void(int command)> onCommand;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void KeepCurrentInSight();
  void Layout();
  bool Overflows() const;
  QRect LeftArrow() const;
  QRect RightArrow() const;

  std::vector<BlockListEntry> blocks_;
  std::vector<QString> texts_;
  std::vector<int> widths_;
  int current_ = -1;
  int offset_ = 0;  // first tab shown
};
