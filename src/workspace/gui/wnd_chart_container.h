// CWndChartContainer, one workspace: its SplitLayout's windows are chart containers, laid out
// with 2-pixel bars between them that the user drags. It carries out the window commands of its
// containers (split, close, maximise), applies the built-in schemes, runs the quote page
// toolbar's commands on its current container and reads and writes its workspace record.
//
// A workspace read with ReadDeferred keeps its record as bytes and makes its windows only when
// it is first shown or asked for them (its layout, containers or commands); until then it
// writes the record back as it was read. Start-up thus builds the charts of the workspace on
// screen only, not those of every tab.
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

  const tarn::SplitLayout& Layout() const {
    Build();
    return layout_;
  }
  // The chart containers in tree order.
  std::vector<CChartContainer*> Containers() const;
  CChartContainer* Current() const;
  void SetCurrent(CChartContainer* c);
  int WindowCount() const {
    Build();
    return layout_.WindowCount();
  }

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
  // Reads the record as Read does, but makes the windows when they are first needed.
  bool ReadDeferred(tarn::ArchiveReader& in);
  // True while the windows of a deferred record are not made yet.
  bool Deferred() const { return deferred_; }
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
  void showEvent(QShowEvent*) override;
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Relayout();
  // Makes the windows of a deferred record (nothing otherwise). Const because the accessors
  // that need the windows are: the windows are what the record already says.
  void Build() const;
  int IdOf(const CChartContainer* c) const;
  void FocusMoved(QWidget* now);

  std::map<int, CChartContainer*> windows_;
  int nextId_ = 1;
  tarn::SplitLayout layout_;
  tarn::WorkspaceFlags flags_{};
  QMetaObject::Connection focusWatch_;
  bool deferred_ = false;
  std::string pending_;  // the deferred record
};
