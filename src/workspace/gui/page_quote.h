// CPageQuote, the workspace page: workspaces as tabs over the page's toolbar, the tab menu
// ("重命名", "布局保存", "加载布局", "关闭"), adding a workspace ("+"), tearing a tab off into a
// floating frame and back, the layout picker, and the page's record in frm.dat.
#pragma once

#include <QPointer>
#include <QTabBar>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"

class CChartContainer;
class CWndChartContainer;
class CWndSpliterTemplate;
class QStackedWidget;
class QToolButton;
class QDialog;

// The tab bar; dragging a tab well out of the bar tears it off.
class CWorkspaceTabBar : public QTabBar {
  Q_OBJECT
 public:
  explicit CWorkspaceTabBar(QWidget* parent = nullptr) : QTabBar(parent) {}
  std::function<void(int index, QPoint globalPos)> onTearOff;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  int pressed_ = -1;
};

// A torn-off workspace's own frame; closing it brings the workspace back to the page.
class CFloatingWorkspace : public QWidget {
  Q_OBJECT
 public:
  CFloatingWorkspace(CWndChartContainer* workspace, const QString& name, QWidget* parent);
  CWndChartContainer* Workspace() const { return workspace_; }
  std::function<void(CFloatingWorkspace*)> onClose;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  CWndChartContainer* workspace_;
};

class CPageQuote : public QWidget {
  Q_OBJECT
 public:
  explicit CPageQuote(QWidget* parent = nullptr);
  ~CPageQuote() override;

  int WorkspaceCount() const;
  CWndChartContainer* Workspace(int index) const;
  std::string WorkspaceName(int index) const;  // GBK
  int CurrentIndex() const;
  CWndChartContainer* CurrentWorkspace() const;
  // The current chart container of the current workspace.
  CChartContainer* CurrentContainer() const;
  CWorkspaceTabBar* TabBar() const { return tabs_; }
  const std::vector<CFloatingWorkspace*>& Floating() const { return floating_; }

  // A new workspace "工作区%d" with one empty window; returns its index.
  int AddWorkspace();
  void SetCurrent(int index);
  // The tab menu's actions.
  void RenameWorkspace(int index);
  void SaveLayout(int index);
  void LoadLayout(int index);
  void CloseWorkspace(int index);
  // Takes a workspace out into a floating frame placed for the pointer.
  CFloatingWorkspace* TearOff(int index, QPoint globalPos);
  // A floating workspace back to the page, as the last tab.
  void Dock(CFloatingWorkspace* frame);
  void ShowLayoutPicker();
  CWndSpliterTemplate* LayoutPicker() const { return picker_; }

  // The toolbar's commands: 3005 save, 3007 load, 3006 refresh, the rest to the workspace.
  void RunCommand(int id);

  // The page record (floating workspaces are kept after the docked ones).
  std::string Record() const;
  // Replaces the workspaces with the record's (each makes its windows when first shown or asked
  // for them); without any, the default single workspace. False when the record is damaged or
  // holds no workspace.
  bool LoadRecord(std::string_view bytes);
  void MakeDefault();

  std::function<DC_Contract()> currentContract;
  // Dialogs and prompts go through these so tests can answer them.
  std::function<int(QDialog*)> runDialog;
  std::function<bool(const QString& prompt, QString* text)> askText;

 private:
  int Insert(CWndChartContainer* ws, const QString& name, int at = -1);
  CWndChartContainer* Take(int index, QString* name);
  CWndChartContainer* NewWorkspace();
  void TabMenu(int index, QPoint globalPos);
  std::string SaveLayoutAs(int index);
  std::vector<std::string> Names() const;

  CWorkspaceTabBar* tabs_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QToolButton* add_ = nullptr;
  CWndSpliterTemplate* picker_ = nullptr;
  std::vector<CFloatingWorkspace*> floating_;
};
