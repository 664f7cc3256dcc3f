// CPageTabStrip: the client view's narrow page strip at the left: the terminal's icon at the top,
// then one tab per page with its caption written downwards, one character under the other, as
// Chinese is written in a column (a rotated caption would lie on its side).
#pragma once

#include <QPixmap>
#include <QStringList>
#include <QWidget>

class CPageTabStrip : public QWidget {
  Q_OBJECT
 public:
  explicit CPageTabStrip(QWidget* parent = nullptr);

  void AddTab(const QString& caption);
  int Count() const { return static_cast<int>(captions_.size()); }
  int CurrentIndex() const { return current_; }
  // Makes `index` the current tab and emits currentChanged when it changes.
  void SetCurrentIndex(int index);
  // The tab under a point of the strip, -1 outside every tab.
  int TabAt(const QPoint& pos) const;
  QRect TabRect(int index) const;

  QSize sizeHint() const override;

 signals:
  void currentChanged(int index);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  int IconSide() const;
  QStringList captions_;
  int current_ = 0;
  QPixmap icon_;
};
