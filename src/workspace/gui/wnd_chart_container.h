// CWndChartContainer, one workspace: its SplitLayout's windows are chart containers, laid out
// with 2-pixel bars between them that the user drags. It carries out the window commands of its
// containers (split, close, maximise), applies the built-in schemes, runs the quote page
// toolbar's commands on its current container and reads and writes its workspace record.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <string_view>

#include "data/quote_records.h"
#include "platform/archive.h"
#include "workspace/split_layout.h"
#include "workspace/workspace_record.h"

class CChartContainer;

class CWndChartContainer : public QWidget, public tarn::ISpliterNotify {
  Q_OBJECT
 public:
  // A workspace with a single empty chart container.
  explicit CWndChartContainer(QWidget* parent = nullptr);
  ~CWndChartContainer() override;

  const tarn::SplitLayout& Layout() const { return layout_; }
  // The chart containers in tree order.
  std::vector<CChartContainer*> Containers() const;
  CChartContainer* Current() const;
  void SetCurrent(CChartContainer* c);
  int WindowCount() const { return layout_.WindowCount(); }

  // Window commands 0 split top/bottom, 1 split left/right, 2 close, 3 maximise or restore.
  void WindowCommand(CChartContainer* c, int command);
  // A built-in scheme; with six windows or more, the quote grids drop their side panels.
  void ApplyScheme(int rows, int columns);
  // Back to a single empty window.
  void Reset();

  // The quote page toolbar's commands (1000, 1001-1017, 3006, 4000-4999, 5001).
  void RunCommand(int id);

  void Write(tarn::ArchiveWriter& out) const;
  // Replaces the windows with the record's; false on damage (what was read stays).
  bool Read(tarn::ArchiveReader& in);
  std::string Record() const;

  // The terminal's current contract (given to every container made).
  std::function<DC_Contract()> currentContract;
  // Told when the current container changes.
  std::function<void(CChartContainer*)> onCurrentChanged;

  // ISpliterNotify
  int CreateLeafWindow() override;
  void ReleaseLeafWindow(int window) override;
  void LeafWindowsChanged(const std::vector<int>& windows) override;

 protected:
  void resizeEvent(QResizeEvent*) override;
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Relayout();
  int IdOf(const CChartContainer* c) const;
  void FocusMoved(QWidget* now);

  std::map<int, CChartContainer*> windows_;
  int nextId_ = 1;
  tarn::SplitLayout layout_;
  tarn::WorkspaceFlags flags_{};
  QMetaObject::Connection focusWatch_;
};
