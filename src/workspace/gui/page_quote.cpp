#include "workspace/gui/page_quote.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "chart/chart_menu.h"
#include "chart/chart_period.h"
#include "workspace/gui/chart_container.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "workspace/gui/dlg_save_layout.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/gui/wnd_spliter_template.h"
#include "workspace/workspace_names.h"
#include "workspace/workspace_record.h"

namespace {

constexpr int kCmdSaveLayout = 3005;
constexpr int kCmdRefresh = 3006;
constexpr int kCmdLoadLayout = 3007;
constexpr int kCmdAlertLine = 5001;
// How far out of the tab bar a dragged tab must go to come off.
constexpr int kTearOffDistance = 30;

}  // namespace

// ---- tab bar and floating frame ----------------------------------------------------------------

void CWorkspaceTabBar::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->button() == Qt::LeftButton ? tabAt(e->position().toPoint()) : -1;
  QTabBar::mousePressEvent(e);
}

void CWorkspaceTabBar::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (pressed_ >= 0 && (e->buttons() & Qt::LeftButton) &&
      (at.y() < -kTearOffDistance || at.y() > height() + kTearOffDistance)) {
    const int index = pressed_;
    pressed_ = -1;
    if (onTearOff) onTearOff(index, e->globalPosition().toPoint());
    return;
  }
  QTabBar::mouseMoveEvent(e);
}

CFloatingWorkspace::CFloatingWorkspace(CWndChartContainer* workspace, const QString& name, QWidget* parent)
    : QWidget(parent, Qt::Window), workspace_(workspace) {
  setWindowTitle(name);
  setObjectName(QStringLiteral("FloatingWorkspace"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  workspace->setParent(this);
  layout->addWidget(workspace);
  workspace->show();
}

void CFloatingWorkspace::closeEvent(QCloseEvent* e) {
  e->accept();
  if (onClose) onClose(this);
}

// ---- the page ------------------------------------------------------------------------------------

CPageQuote::CPageQuote(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("2001"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // The toolbar: back, refresh, save and load a layout, the picker, the periods, the drawing
  // tools and the alert line.
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(2, 1, 2, 1);
  bar->setSpacing(1);
  const auto button = [this, bar](int id, const QString& text) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setProperty("command", id);
    if (id) connect(b, &QToolButton::clicked, this, [this, id] { RunCommand(id); });
    bar->addWidget(b);
    return b;
  };
  button(tarn::kToolbarBack, QStringLiteral("返回"));
  button(kCmdRefresh, QStringLiteral("刷新数据"));
  button(kCmdSaveLayout, QStringLiteral("保存布局"));
  button(kCmdLoadLayout, QStringLiteral("加载布局"));
  QToolButton* schemes = button(0, QStringLiteral("布局"));
  connect(schemes, &QToolButton::clicked, this, [this] { ShowLayoutPicker(); });
  for (const tarn::ToolbarPeriod& p : tarn::ToolbarPeriods()) button(p.command, tarn::ui::ToQString(p.label));
  QToolButton* tools = button(0, QStringLiteral("画线工具"));
  auto* menu = new QMenu(tools);
  for (const tarn::DrawingTool& t : tarn::DrawingTools()) {
    QAction* a = menu->addAction(tarn::ui::ToQString(t.label));
    connect(a, &QAction::triggered, this, [this, id = t.command] { RunCommand(id); });
  }
  tools->setMenu(menu);
  tools->setPopupMode(QToolButton::InstantPopup);
  button(kCmdAlertLine, QStringLiteral("行情预警"));
  bar->addStretch(1);
  column->addLayout(bar);

  stack_ = new QStackedWidget(this);
  column->addWidget(stack_, 1);

  auto* tabRow = new QHBoxLayout;
  tabRow->setContentsMargins(0, 0, 0, 0);
  tabRow->setSpacing(0);
  tabs_ = new CWorkspaceTabBar(this);
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setMovable(false);
  tabs_->setContextMenuPolicy(Qt::CustomContextMenu);
  tabRow->addWidget(tabs_);
  add_ = new QToolButton(this);
  add_->setText(QStringLiteral("+"));
  add_->setAutoRaise(true);
  add_->setToolTip(QStringLiteral("新建工作区"));
  connect(add_, &QToolButton::clicked, this, [this] { SetCurrent(AddWorkspace()); });
  tabRow->addWidget(add_);
  tabRow->addStretch(1);
  column->addLayout(tabRow);

  connect(tabs_, &QTabBar::currentChanged, this, [this](int i) {
    if (i >= 0 && i < stack_->count()) stack_->setCurrentIndex(i);
  });
  connect(tabs_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { TabMenu(tabs_->tabAt(at), tabs_->mapToGlobal(at)); });
  tabs_->onTearOff = [this](int index, QPoint at) { TearOff(index, at); };

  picker_ = new CWndSpliterTemplate(this);
  picker_->hide();
  picker_->onScheme = [this](int r, int c) {
    if (CWndChartContainer* ws = CurrentWorkspace()) ws->ApplyScheme(r, c);
  };
  picker_->onLoad = [this](const std::string& name) {
    const std::optional<std::string> bytes = tarn::ReadLayoutFile(name);
    if (!bytes || !CurrentWorkspace()) return;
    tarn::ArchiveReader r(*bytes);
    CurrentWorkspace()->Read(r);
  };

  runDialog = [](QDialog* d) { return d->exec(); };
  askText = [this](const QString& prompt, QString* text) {
    bool ok = false;
    *text = QInputDialog::getText(this, prompt, prompt, QLineEdit::Normal, *text, &ok);
    return ok;
  };
  picker_->askText = [this](const QString& prompt, QString* text) { return askText(prompt, text); };
}

CPageQuote::~CPageQuote() {
  for (CFloatingWorkspace* f : floating_) {
    f->onClose = nullptr;
    delete f;
  }
}

int CPageQuote::WorkspaceCount() const { return stack_->count(); }

CWndChartContainer* CPageQuote::Workspace(int index) const {
  return qobject_cast<CWndChartContainer*>(stack_->widget(index));
}

std::string CPageQuote::WorkspaceName(int index) const { return tarn::ui::ToGbk(tabs_->tabText(index)); }

int CPageQuote::CurrentIndex() const { return tabs_->currentIndex(); }

CWndChartContainer* CPageQuote::CurrentWorkspace() const { return Workspace(CurrentIndex()); }

CChartContainer* CPageQuote::CurrentContainer() const {
  CWndChartContainer* ws = CurrentWorkspace();
  return ws ? ws->Current() : nullptr;
}

std::vector<std::string> CPageQuote::Names() const {
  std::vector<std::string> out;
  for (int i = 0; i < WorkspaceCount(); ++i) out.push_back(WorkspaceName(i));
  for (const CFloatingWorkspace* f : floating_) out.push_back(tarn::ui::ToGbk(f->windowTitle()));
  return out;
}

CWndChartContainer* CPageQuote::NewWorkspace() {
  auto* ws = new CWndChartContainer(stack_);
  ws->currentContract = [this] { return currentContract ? currentContract() : DC_Contract{}; };
  return ws;
}

int CPageQuote::Insert(CWndChartContainer* ws, const QString& name, int at) {
  if (at < 0 || at > stack_->count()) at = stack_->count();
  stack_->insertWidget(at, ws);
  tabs_->insertTab(at, name);
  return at;
}

CWndChartContainer* CPageQuote::Take(int index, QString* name) {
  CWndChartContainer* ws = Workspace(index);
  if (!ws) return nullptr;
  if (name) *name = tabs_->tabText(index);
  stack_->removeWidget(ws);
  tabs_->removeTab(index);
  return ws;
}

int CPageQuote::AddWorkspace() {
  return Insert(NewWorkspace(), tarn::ui::ToQString(tarn::NewWorkspaceName(Names())));
}

void CPageQuote::SetCurrent(int index) {
  if (index < 0 || index >= WorkspaceCount()) return;
  tabs_->setCurrentIndex(index);
  stack_->setCurrentIndex(index);
}

void CPageQuote::RenameWorkspace(int index) {
  if (index < 0 || index >= WorkspaceCount()) return;
  QString text = tabs_->tabText(index);
  if (!askText(QStringLiteral("输入名称"), &text)) return;
  std::string name;
  const tarn::NameVerdict v = tarn::CheckWorkspaceRename(WorkspaceName(index), tarn::ui::ToGbk(text), &name);
  if (v == tarn::NameVerdict::kOk) tabs_->setTabText(index, tarn::ui::ToQString(name));
  else if (v != tarn::NameVerdict::kUnchanged) tarn::MessageBox(tarn::NameVerdictText(v), TXT("提示"));
}

std::string CPageQuote::SaveLayoutAs(int index) {
  CWndChartContainer* ws = Workspace(index);
  if (!ws) return {};
  auto* d = new CDlgSaveLayout(CDlgSaveLayout::kSave, WorkspaceName(index), this);
  const int r = runDialog(d);
  const std::string name = d->Name();
  d->deleteLater();
  if (r != QDialog::Accepted || name.empty()) return {};
  if (!tarn::SaveLayoutFile(name, ws->Record())) {
    tarn::MessageBox(TXT("布局文件保存失败"), TXT("提示"));
    return {};
  }
  tabs_->setTabText(index, tarn::ui::ToQString(name));
  return name;
}

void CPageQuote::SaveLayout(int index) { SaveLayoutAs(index); }

void CPageQuote::LoadLayout(int index) {
  CWndChartContainer* ws = Workspace(index);
  if (!ws) return;
  auto* d = new CDlgSaveLayout(CDlgSaveLayout::kOpen, std::string(), this);
  const int r = runDialog(d);
  const std::string name = d->Name();
  d->deleteLater();
  if (r != QDialog::Accepted) return;
  const std::optional<std::string> bytes = tarn::ReadLayoutFile(name);
  if (!bytes) return;  // a file that cannot be opened leaves the workspace as it was
  tarn::ArchiveReader in(*bytes);
  ws->Read(in);
}

void CPageQuote::CloseWorkspace(int index) {
  CWndChartContainer* ws = Workspace(index);
  if (!ws) return;
  if (ws->WindowCount() >= 2) {
    const tarn::MsgAnswer a =
        tarn::MessageBox(TXT("该工作区即将关闭，是否保存?"), TXT("提示"), tarn::MsgButtons::YesNoCancel);
    if (a == tarn::MsgAnswer::Cancel) return;
    // Saving that does not happen (cancelled or failed) keeps the workspace.
    if (a == tarn::MsgAnswer::Yes && SaveLayoutAs(index).empty()) return;
  }
  if (WorkspaceCount() == 1) {
    ws->Reset();
    return;
  }
  Take(index, nullptr);
  ws->deleteLater();
  SetCurrent(std::min(index, WorkspaceCount() - 1));
}

CFloatingWorkspace* CPageQuote::TearOff(int index, QPoint globalPos) {
  if (index < 0 || index >= WorkspaceCount()) return nullptr;
  QString name;
  const QSize page = size();
  CWndChartContainer* ws = Take(index, &name);
  auto* frame = new CFloatingWorkspace(ws, name, window());
  const QSize sz(std::max(200, page.width() - 200), std::max(150, page.height() - 100));
  frame->setGeometry(globalPos.x() - sz.width() / 2, globalPos.y() - 16, sz.width(), sz.height());
  frame->onClose = [this](CFloatingWorkspace* f) { Dock(f); };
  floating_.push_back(frame);
  if (WorkspaceCount() == 0) AddWorkspace();
  SetCurrent(std::max(0, index - 1));
  frame->show();
  return frame;
}

void CPageQuote::Dock(CFloatingWorkspace* frame) {
  auto it = std::find(floating_.begin(), floating_.end(), frame);
  if (it == floating_.end()) return;
  floating_.erase(it);
  CWndChartContainer* ws = frame->Workspace();
  ws->setParent(stack_);
  SetCurrent(Insert(ws, frame->windowTitle()));
  frame->onClose = nullptr;
  frame->hide();
  frame->deleteLater();
}

void CPageQuote::TabMenu(int index, QPoint globalPos) {
  if (index < 0) return;
  QMenu menu(this);
  menu.addAction(QStringLiteral("重命名"), this, [this, index] { RenameWorkspace(index); });
  menu.addAction(QStringLiteral("布局保存"), this, [this, index] { SaveLayout(index); });
  menu.addAction(QStringLiteral("加载布局"), this, [this, index] { LoadLayout(index); });
  menu.addAction(QStringLiteral("关闭"), this, [this, index] { CloseWorkspace(index); });
  menu.exec(globalPos);
}

void CPageQuote::ShowLayoutPicker() {
  picker_->ShowPage(0);
  picker_->move(mapToGlobal(QPoint(40, 24)));
  picker_->show();
}

void CPageQuote::RunCommand(int id) {
  switch (id) {
    case kCmdSaveLayout: SaveLayout(CurrentIndex()); return;
    case kCmdLoadLayout: LoadLayout(CurrentIndex()); return;
    default:
      if (CWndChartContainer* ws = CurrentWorkspace()) ws->RunCommand(id);
  }
}

std::string CPageQuote::Record() const {
  std::vector<CWndChartContainer*> all;
  for (int i = 0; i < WorkspaceCount(); ++i) all.push_back(Workspace(i));
  for (CFloatingWorkspace* f : floating_) all.push_back(f->Workspace());
  tarn::ArchiveWriter w;
  tarn::WriteQuotePageRecord(w, Names(), [&all](tarn::ArchiveWriter& o, int i) { all[static_cast<std::size_t>(i)]->Write(o); },
                             std::max(0, CurrentIndex()));
  return w.Take();
}

bool CPageQuote::LoadRecord(std::string_view bytes) {
  while (WorkspaceCount() > 0) Take(0, nullptr)->deleteLater();
  // On a page on screen the stack shows each workspace it is given first: hidden while
  // reading, it shows only the current one at the end.
  const bool onScreen = stack_->isVisible();
  if (onScreen) stack_->hide();
  tarn::ArchiveReader r(bytes);
  int current = -1;
  const bool ok = tarn::ReadQuotePageRecord(
      r,
      [this](tarn::ArchiveReader& in, const std::string& name) {
        CWndChartContainer* ws = NewWorkspace();
        Insert(ws, tarn::ui::ToQString(name));
        // A workspace makes its windows when it is first shown: the tabs not on screen cost
        // nothing until they are chosen.
        return ws->ReadDeferred(in);
      },
      &current);
  const bool any = WorkspaceCount() > 0;
  if (!any) MakeDefault();
  SetCurrent(current >= 0 && current < WorkspaceCount() ? current : 0);
  if (onScreen) stack_->show();
  return ok && any;
}

void CPageQuote::MakeDefault() {
  while (WorkspaceCount() > 0) Take(0, nullptr)->deleteLater();
  SetCurrent(AddWorkspace());
}
