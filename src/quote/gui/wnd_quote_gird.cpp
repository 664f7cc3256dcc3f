#include "quote/gui/wnd_quote_gird.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "platform/text.h"
#include "quote/block_list.h"
#include "quote/grid_columns.h"
#include "quote/gui/block_tab_bar.h"
#include "quote/gui/dlg_sel_contract.h"
#include "quote/gui/dlg_set_grid_head.h"
#include "quote/gui/grid_messages.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "ui/fonts.h"
#include "ui/frameless_window.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

namespace {

CWndQuoteGird::AlertHook& AlertHookSlot() {
  static CWndQuoteGird::AlertHook hook;
  return hook;
}

}  // namespace

void CWndQuoteGird::SetQuoteAlertHook(AlertHook hook) { AlertHookSlot() = std::move(hook); }
bool CWndQuoteGird::HasQuoteAlertHook() { return static_cast<bool>(AlertHookSlot()); }

CWndQuoteGird::CWndQuoteGird(QWidget* parent, IQuoteGridHost* host) : QWidget(parent), host_(host) {
  using tarn::ui::Scaled;
  captionHeight_ = Scaled(24);
  setFont(tarn::ui::UiFont(9));
  runDialog = [](QDialog* d) { return d->exec(); };

  grid_ = new CQuoteGridCtrl(this);
  // The default columns, then the column file's when it passes its rules.
  for (int kind : tarn::DefaultGridKinds()) grid_->AddColumn(kind);
  grid_->LoadColumns(true);
  blockBar_ = new BlockTabBar(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, captionHeight_, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(grid_, 1);
  layout->addWidget(blockBar_);

  switchButton_ = new QToolButton(this);
  switchButton_->setText(QStringLiteral("▼"));
  switchButton_->setFont(tarn::ui::UiFont(11));
  switchButton_->setAutoRaise(true);
  switchButton_->setToolTip(QStringLiteral("显示设置"));
  switchButton_->setFocusPolicy(Qt::NoFocus);
  connect(switchButton_, &QToolButton::clicked, this, [this] {
    QMenu* menu = BuildSwitchMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(switchButton_->mapToGlobal(QPoint(0, switchButton_->height())));
  });
  maximize_ = new tarn::ui::CaptionButton(tarn::ui::CaptionButton::Kind::Maximize, this);
  close_ = new tarn::ui::CaptionButton(tarn::ui::CaptionButton::Kind::Close, this);
  connect(maximize_, &QAbstractButton::clicked, this, [this] { PostWindowCommand(tarn::kWindowMaximize); });
  connect(close_, &QAbstractButton::clicked, this, [this] { PostWindowCommand(tarn::kWindowClose); });

  grid_->onDeleteKey = [this](int row) { DeleteFromBlock(row, UserBlockStore::kUserBlock); };
  grid_->onToggleUserBlock = [this](int row) { ToggleUserBlock(row); };
  grid_->onContextMenu = [this](const QPoint& global, int row) {
    QMenu* menu = BuildContextMenu(row, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
  };
  grid_->onRowsReordered = [this] {
    // The user's block takes the order the grid shows now.
    GetUserBlockStore().Set(block_, grid_->Model().Contracts());
  };
  blockBar_->onCommand = [this](int command) {
    const int index = command - BlockTabBar::kFirstCommand;
    if (index >= 0 && index < static_cast<int>(blockBar_->Blocks().size()))
      ShowBlock(blockBar_->Blocks()[static_cast<std::size_t>(index)].code);
  };
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
  GetUserBlockStore().AddListener(this);
  LayoutCaption();
}

CWndQuoteGird::~CWndQuoteGird() { GetUserBlockStore().RemoveListener(this); }

void CWndQuoteGird::SetHost(IQuoteGridHost* host) {
  host_ = host;
  LayoutCaption();
}

// ---- blocks -----------------------------------------------------------------------------------

void CWndQuoteGird::RefreshBlocks(const std::string& code) {
  blockBar_->SetBlocks(BuildBlockList(GetUserBlockStore(), GetQuoteDataCenter()));
  const std::string wanted = code.empty() ? block_ : code;
  int index = blockBar_->IndexOf(wanted);
  if (index < 0) index = blockBar_->Blocks().empty() ? -1 : 0;
  block_.clear();
  if (index >= 0) ShowBlock(blockBar_->Blocks()[static_cast<std::size_t>(index)].code);
  else grid_->SetRows({}, false);
}

void CWndQuoteGird::ShowBlock(const std::string& code) {
  int index = blockBar_->IndexOf(code);
  if (index < 0) {
    // A user block that is new since the bar was filled.
    if (!IsUserBlock(GetUserBlockStore(), code)) return;
    blockBar_->SetBlocks(BuildBlockList(GetUserBlockStore(), GetQuoteDataCenter()));
    index = blockBar_->IndexOf(code);
    if (index < 0) return;
  }
  const bool same = code == block_;
  block_ = code;
  blockBar_->SetCurrent(index);
  UserBlockStore& store = GetUserBlockStore();
  grid_->SetRows(BlockContracts(store, GetQuoteDataCenter(), code), IsUserBlock(store, code), same);
  update(QRect(0, 0, width(), captionHeight_));
  if (!same && onBlockChanged) onBlockChanged(block_);
}

void CWndQuoteGird::OnUserBlockChanged(const std::string& block) {
  tarn::PostTextMessage(this, tarn::kMsgGridBlockChanged, block);
}

void CWndQuoteGird::OnBlockEvent(const std::string& block, int code) {
  if (code == kBlockDeleted) tarn::PostTextMessage(this, tarn::kMsgGridBlockDeleted, block);
}

// ---- messages ---------------------------------------------------------------------------------

bool CWndQuoteGird::event(QEvent* e) {
  const int type = static_cast<int>(e->type());
  switch (type) {
    case tarn::kMsgGridRowDoubleClicked:
      OnDoubleClicked(static_cast<tarn::ContractMessage*>(e)->Contract());
      return true;
    case tarn::kMsgGridSelectionChanged:
      OnSelectionChanged(static_cast<tarn::ContractMessage*>(e)->Contract());
      return true;
    case tarn::kMsgGridBlockChanged: {
      const std::string& block = static_cast<tarn::TextMessage*>(e)->Text();
      if (block == block_) ShowBlock(block_);
      else if (blockBar_->IndexOf(block) < 0) RefreshBlocks();  // a new user block: a new tab
      return true;
    }
    case tarn::kMsgGridBlockDeleted: {
      const std::string& block = static_cast<tarn::TextMessage*>(e)->Text();
      RefreshBlocks(block == block_ ? std::string(UserBlockStore::kUserBlock) : std::string());
      return true;
    }
    default: return QWidget::event(e);
  }
}

void CWndQuoteGird::OnDoubleClicked(const DC_Contract& c) {
  contract_ = c;
  if (!host_) return;
  host_->ShowContract(c, block_, tarn::GridDoubleClickShowsChart(host_->HostInfo()));
}

void CWndQuoteGird::OnSelectionChanged(const DC_Contract& c) {
  if (c.SameKey(contract_)) return;
  contract_ = c;
  if (ITradeApi* trade = GetTradeApi()) trade->SelectContract(c, 0, 0);
  if (host_ && host_->HostContractKey() != c.Key()) host_->FollowContract(c);
  if (onContractChanged) onContractChanged(c);
}

bool CWndQuoteGird::ApplyWizardItem(const tarn::WizardItem& item) {
  if (item.kind == tarn::kWizardWindow && item.display.ends_with(TXT("自选板块"))) {
    ShowBlock(UserBlockStore::kUserBlock);
    return block_ == UserBlockStore::kUserBlock;
  }
  if (item.kind != tarn::kWizardContract || !SelectContract(item.contract)) return false;
  if (host_) OnDoubleClicked(contract_);
  return true;
}

bool CWndQuoteGird::SelectContract(const DC_Contract& contract) {
  if (contract.Empty()) return false;
  const std::string key(contract.Key());
  int row = grid_->Model().FindRow(key);
  if (row < 0) {
    ShowBlock(ExchangeCodeOf(contract));
    row = grid_->Model().FindRow(key);
  }
  if (row < 0) return false;
  grid_->Model().Select(row);
  grid_->update();
  OnSelectionChanged(grid_->Model().RowAt(row)->contract);
  return true;
}

void CWndQuoteGird::PostWindowCommand(int command) {
  if (!host_ || !parentWidget()) return;
  tarn::PostWindowMessage(parentWidget(), tarn::kMsgGridWindowCommand, command);
}

// ---- menus ------------------------------------------------------------------------------------

std::vector<tarn::GridMenuEntry> CWndQuoteGird::MenuEntries(int row) const {
  tarn::GridMenuContext c;
  const tarn::QuoteGridModel& m = grid_->Model();
  c.onRow = row >= 0 && row < m.RowCount();
  UserBlockStore& store = GetUserBlockStore();
  c.blockIsUsers = IsUserBlock(store, block_);
  c.blockIsUserList = block_ == UserBlockStore::kUserBlock;
  c.blockIsLibrary = !c.blockIsUsers && !block_.empty();
  if (c.onRow) {
    const DC_Contract& contract = m.RowAt(row)->contract;
    c.contractInUser = store.Contains(contract, UserBlockStore::kUserBlock);
    c.contractInBlock = c.blockIsUsers && store.Contains(contract, block_);
  }
  c.windowCommands = host_ && tarn::GridOffersWindowCommands(host_->HostInfo());
  c.alertAvailable = HasQuoteAlertHook();
  return tarn::BuildGridMenu(c);
}

QMenu* CWndQuoteGird::BuildContextMenu(int row, QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (const tarn::GridMenuEntry& e : MenuEntries(row)) {
    if (e.id == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* a = menu->addAction(tarn::ui::ToQString(e.text));
    a->setData(e.id);
    const int id = e.id;
    connect(a, &QAction::triggered, this, [this, id, row] { RunMenuCommand(id, row); });
  }
  return menu;
}

QMenu* CWndQuoteGird::BuildSwitchMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  const tarn::GridDisplayFlags& flags = grid_->Model().Flags();
  for (int i = 0; i < tarn::kGridSwitchCount; ++i) {
    const auto s = static_cast<tarn::GridSwitch>(i);
    QAction* a = menu->addAction(tarn::ui::ToQString(tarn::GridSwitchText(s)));
    a->setCheckable(true);
    a->setChecked(flags.Get(s));
    connect(a, &QAction::toggled, this, [this, s](bool on) { grid_->SetSwitch(s, on); });
  }
  return menu;
}

void CWndQuoteGird::RunMenuCommand(int id, int row) {
  const tarn::QuoteGridModel& m = grid_->Model();
  const bool onRow = row >= 0 && row < m.RowCount();
  switch (id) {
    case tarn::kGridCmdHeaderSettings: EditHeader(); break;
    case tarn::kGridCmdAutoFit: grid_->AutoFitWidths(false); break;
    case tarn::kGridCmdToggleUserBlock:
      if (onRow) ToggleUserBlock(row);
      break;
    case tarn::kGridCmdDelete:
      if (onRow) DeleteFromBlock(row, block_);
      break;
    case tarn::kGridCmdContractSettings: EditUserBlock(); break;
    case tarn::kGridCmdSplitTopBottom: PostWindowCommand(tarn::kWindowSplitTopBottom); break;
    case tarn::kGridCmdSplitLeftRight: PostWindowCommand(tarn::kWindowSplitLeftRight); break;
    case tarn::kGridCmdCloseWindow: PostWindowCommand(tarn::kWindowClose); break;
    case tarn::kGridCmdQuoteAlert:
      if (onRow && HasQuoteAlertHook()) AlertHookSlot()(window(), m.RowAt(row)->contract);
      break;
    default: break;
  }
}

void CWndQuoteGird::ToggleUserBlock(int row) {
  const DC_Contract c = grid_->Model().RowAt(row)->contract;
  UserBlockStore& store = GetUserBlockStore();
  if (store.Contains(c, UserBlockStore::kUserBlock)) store.Remove(c, UserBlockStore::kUserBlock);
  else store.Add(c, UserBlockStore::kUserBlock);
}

void CWndQuoteGird::DeleteFromBlock(int row, const std::string& block) {
  if (row < 0 || row >= grid_->Model().RowCount()) return;
  GetUserBlockStore().Remove(grid_->Model().RowAt(row)->contract, block);
}

void CWndQuoteGird::EditUserBlock() {
  CDlgSelContract dlg(true, GetUserBlockStore().Contracts(UserBlockStore::kUserBlock), window());
  if (runDialog(&dlg) == QDialog::Accepted) GetUserBlockStore().Set(UserBlockStore::kUserBlock, dlg.List());
}

void CWndQuoteGird::EditHeader() {
  std::vector<int> kinds;
  for (const QG_ColInfo& c : grid_->Model().Columns()) kinds.push_back(c.dataIndex);
  CDlgSetGridHead dlg(kinds, window());
  if (runDialog(&dlg) == QDialog::Accepted) grid_->SetColumnKinds(dlg.Kinds());
}

// ---- caption ----------------------------------------------------------------------------------

QString CWndQuoteGird::Title() const {
  const int index = blockBar_->IndexOf(block_);
  if (index < 0) return QStringLiteral("行情报价");
  return tarn::ui::ToQString(blockBar_->Blocks()[static_cast<std::size_t>(index)].display);
}

void CWndQuoteGird::LayoutCaption() {
  const bool windowButtons = host_ && tarn::GridOffersWindowCommands(host_->HostInfo());
  const int h = captionHeight_;
  int x = width();
  for (tarn::ui::CaptionButton* b : {close_, maximize_}) {
    b->setVisible(windowButtons);
    if (windowButtons) {
      x -= h + tarn::ui::Scaled(8);
      b->setGeometry(x, 0, h + tarn::ui::Scaled(8), h);
    }
  }
  switchButton_->setGeometry(x - h, 0, h, h);
}

void CWndQuoteGird::resizeEvent(QResizeEvent*) { LayoutCaption(); }

void CWndQuoteGird::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  const QRect caption(0, 0, width(), captionHeight_);
  p.fillRect(caption, tarn::ui::Blend(t.background, t.menuBar, 0.9));
  p.fillRect(QRect(0, captionHeight_ - 1, width(), 1), tarn::ui::Blend(t.background, t.border, 0.8));
  p.setPen(t.title.lightness() < 90 ? t.text : t.title);
  QFont f = font();
  f.setBold(true);
  p.setFont(f);
  p.drawText(caption.adjusted(tarn::ui::Scaled(8), 0, -captionHeight_ * 3, 0), Qt::AlignVCenter | Qt::AlignLeft, Title());
}
