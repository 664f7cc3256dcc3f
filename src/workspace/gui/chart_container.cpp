#include "workspace/gui/chart_container.h"

#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include "chart/chart_forms.h"
#include "chart/chart_menu.h"
#include "chart/order_lines.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "libs/indicators/formula_manager.h"
#include "platform/text.h"
#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "engines/strategy_file.h"
#include "quote/gui/ccx_info_panel_ctrl.h"
#include "quote/gui/dlg_sel_contract.h"
#include "quote/gui/grid_messages.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/info_panel_settings.h"
#include "trade/orders/gui/order_dialogs.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

// ---- toolbar -----------------------------------------------------------------------------------

CChartToolBar::CChartToolBar(QWidget* parent) : QWidget(parent) {
  const auto add = [this](int command, const QString& text) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setAutoRaise(true);
    b->setProperty("command", command);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, [this, command] {
      if (onCommand) onCommand(command);
    });
    buttons_.push_back(b);
    return b;
  };
  add(tarn::kToolbarBack, QStringLiteral("返回"));
  for (const tarn::ToolbarPeriod& p : tarn::ToolbarPeriods()) {
    QToolButton* b = add(p.command, tarn::ui::ToQString(p.label));
    b->setCheckable(true);
  }
  QToolButton* tools = add(0, QStringLiteral("画线工具"));
  add(tarn::kToolbarLineOrder, QStringLiteral("画线下单"));
  auto* menu = new QMenu(tools);
  for (const tarn::DrawingTool& t : tarn::DrawingTools()) {
    QAction* a = menu->addAction(tarn::ui::ToQString(t.label));
    connect(a, &QAction::triggered, this, [this, id = t.command] {
      if (onCommand) onCommand(id);
    });
  }
  tools->setMenu(menu);
  tools->setPopupMode(QToolButton::InstantPopup);
  int x = 2;
  for (QToolButton* b : buttons_) {
    b->adjustSize();
    b->move(x, 1);
    x += b->width() + 1;
  }
}

QSize CChartToolBar::sizeHint() const {
  int w = 4, h = 0;
  for (QToolButton* b : buttons_) {
    w += b->width() + 1;
    h = std::max(h, b->height());
  }
  return {w, h + 2};
}

void CChartToolBar::SetPeriodCommand(int command) {
  for (QToolButton* b : buttons_)
    if (b->isCheckable()) b->setChecked(b->property("command").toInt() == command);
}

QToolButton* CChartToolBar::Button(int command) const {
  for (QToolButton* b : buttons_)
    if (b->property("command").toInt() == command) return b;
  return nullptr;
}

void CChartToolBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  p.fillRect(rect(), t.menuBar);
  p.setPen(t.border);
  p.drawLine(0, height() - 1, width(), height() - 1);
}

// ---- container ---------------------------------------------------------------------------------

CChartContainer::CChartContainer(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ChartContainer"));
  sidePanel_ = tarn::GridSidePanelShown();
  const std::vector<std::string>& labels = tarn::ContainerButtonLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    auto* b = new QPushButton(tarn::ui::ToQString(labels[i]), this);
    const int action = tarn::ContainerButtonAction(static_cast<int>(i));
    connect(b, &QPushButton::clicked, this, [this, action] {
      if (action >= 0) ShowContent(action);
      else WindowCommand(-action - 1);
    });
    buttons_.push_back(b);
  }
  Arrange();
}

CChartContainer::~CChartContainer() { DropChart(); }

void CChartContainer::EnsureGrid() {
  if (grid_) return;
  grid_ = new CWndQuoteGird(this, this);
  grid_->setObjectName(QStringLiteral("QuoteGridWnd"));
  // A new grid shows the container's block (the first block when it has none).
  grid_->RefreshBlocks(block_);
}

void CChartContainer::SetSidePanel(bool on) {
  sidePanel_ = on;
  if (on && content_ == tarn::kContentQuoteGrid && !panel_) {
    panel_ = new CCXInfoPanelCtrl(this);
    panel_->setObjectName(QStringLiteral("103"));
    if (!contract_.Empty()) panel_->ShowContract(contract_, true);
  } else if (!on && panel_) {
    delete panel_;
    panel_ = nullptr;
  }
  Arrange();
}

void CChartContainer::MakeChart(bool timeShare) {
  chart_ = new CCChartCtrl(this, timeShare);
  chart_->onWindowCommand = [this](int command) { WindowCommand(command); };
  // The split and close entries need a workspace to act on.
  chart_->windowCommandsOffered = [this] {
    return static_cast<bool>(onWindowCommand) && tarn::GridOffersWindowCommands(HostInfo());
  };
  chart_->onChooseContract = [this] { ChooseContract(); };
  chart_->onSwitchContract = [this](int step) { SwitchContract(step); };
  if (!timeShare) chart_->onLeftClick = [this](int x, int y) { return PlaceLineOrder(x, y); };
  if (!timeShare) {
    if (haveChartState_) {
      // The kept record's drawn objects belong to the contract it was taken on: another
      // contract's chart gets its own objects from the store when its contract is set.
      tarn::ChartContainerState state = chartState_;
      state.period = period_;
      if (state.contractKey != ContractKeyText() || !(chartState_.period == period_)) state.objects.clear();
      chart_->RestoreState(state);
    } else {
      chart_->SetPeriod(period_);
    }
  }
  if (!toolBar_) {
    toolBar_ = new CChartToolBar(this);
    toolBar_->onCommand = [this](int id) { RunToolbarCommand(id); };
  }
  toolBar_->SetPeriodCommand(tarn::CommandForPeriod(chart_->Period()));
  toolBar_->show();
  chart_->show();
  chart_->SetContract(contract_);
}

void CChartContainer::DropChart() {
  if (!chart_) return;
  if (!chart_->TimeShare()) {
    chart_->SaveState(&chartState_);
    chartState_.contractKey = std::string(chart_->Contract().Key());
    haveChartState_ = true;
    period_ = chart_->Period();
  }
  delete chart_;
  chart_ = nullptr;
}

void CChartContainer::ShowContent(int kind) {
  if (kind == content_ && (kind != tarn::kContentKLine || chart_)) {
    Arrange();
    return;
  }
  if ((kind == tarn::kContentKLine || kind == tarn::kContentTimeShare) && contract_.Empty() && currentContract)
    contract_ = currentContract();
  DropChart();
  content_ = kind;
  if (kind == tarn::kContentQuoteGrid) {
    EnsureGrid();
    grid_->show();
    if (sidePanel_) SetSidePanel(true);
  } else {
    if (grid_) grid_->hide();
    if (panel_) panel_->hide();
  }
  if (kind == tarn::kContentPriceCube) {
    EnsureCube();
    cube_->show();
  } else if (cube_) {
    cube_->hide();
  }
  if (kind == tarn::kContentKLine || kind == tarn::kContentTimeShare) MakeChart(kind == tarn::kContentTimeShare);
  else if (toolBar_) toolBar_->hide();
  Arrange();
  if (chart_) chart_->setFocus();
}

void CChartContainer::Arrange() {
  const int w = width(), h = height();
  const bool empty = content_ == tarn::kContentNone;
  const std::vector<tarn::ButtonBox> boxes = tarn::ContainerButtonBoxes(w, h);
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->setVisible(empty);
    // Splitting needs a workspace to hold the new window.
    const int action = tarn::ContainerButtonAction(static_cast<int>(i));
    if (action == -1 || action == -2) buttons_[i]->setEnabled(static_cast<bool>(onWindowCommand));
    if (empty && i < boxes.size()) buttons_[i]->setGeometry(boxes[i].x, boxes[i].y, boxes[i].w, boxes[i].h);
  }
  if (content_ == tarn::kContentQuoteGrid && grid_) {
    const int panelWidth = panel_ ? std::min(tarn::ui::Scaled(250), w / 2) : 0;
    grid_->setGeometry(0, 0, w - panelWidth, h);
    if (panel_) {
      panel_->setGeometry(w - panelWidth, 0, panelWidth, h);
      panel_->show();
    }
  }
  if (content_ == tarn::kContentPriceCube && cube_) cube_->setGeometry(0, 0, w, h);
  if (chart_ && toolBar_) {
    const int th = toolBar_->sizeHint().height();
    toolBar_->setGeometry(0, 0, w, th);
    chart_->setGeometry(0, th, w, std::max(0, h - th));
  }
}

void CChartContainer::resizeEvent(QResizeEvent*) { Arrange(); }

void CChartContainer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), tarn::ui::Theme().background);
}

std::string CChartContainer::ContractKeyText() const {
  return contract_.Empty() ? storedKey_ : std::string(contract_.Key());
}

void CChartContainer::SetContract(const DC_Contract& contract) {
  contract_ = contract;
  storedKey_.clear();
  if (chart_) chart_->SetContract(contract);
  if (panel_ && !contract.Empty()) panel_->ShowContract(contract, true);
}

void CChartContainer::RunToolbarCommand(int id) {
  if (id == tarn::kToolbarBack) {
    ShowContent(tarn::kContentQuoteGrid);
    return;
  }
  if (id == tarn::kToolbarLineOrder) {
    OpenLineOrderPanel();
    return;
  }
  if (const auto period = tarn::PeriodForCommand(id)) {
    if (period->kind == tarn::kPeriodTimeShare) {
      ShowContent(tarn::kContentTimeShare);
    } else {
      period_ = *period;
      if (content_ != tarn::kContentKLine) ShowContent(tarn::kContentKLine);
      if (chart_ && !(chart_->Period() == *period)) chart_->SetPeriod(*period);
    }
    if (toolBar_ && chart_) toolBar_->SetPeriodCommand(tarn::CommandForPeriod(chart_->Period()));
    return;
  }
  if (id > 4000 && id < 5000 && chart_) chart_->BeginTool(id);
}

void CChartContainer::WindowCommand(int command) {
  if (onWindowCommand) {
    onWindowCommand(command);
    return;
  }
  // The only window: closing resets it; splitting and maximising need a workspace.
  if (command == tarn::kWindowClose) ResetToEmpty();
}

void CChartContainer::EnsureCube() {
  if (cube_) return;
  cube_ = new CWndPriceCube(this);
  cube_->setObjectName(QStringLiteral("PriceCube"));
  unknownCards_.clear();
  IQuoteDataCenter* center = GetQuoteDataCenter();
  std::vector<CombolStrategy> strategies;
  bool strategiesRead = false;
  for (const tarn::CubeCardRef& card : cubeKeys_) {
    if (card.combol) {
      if (!strategiesRead) strategies = tarn::LoadStrategyFile();
      strategiesRead = true;
      if (const auto s = tarn::FindStrategy(strategies, card.key)) cube_->AddStrategyCard(*s);
      else unknownCards_.emplace_back(unknownCards_.size() + cube_->Cube().Cards().size(), card);
      continue;
    }
    DC_Contract c{};
    if (center && center->FindContract(&c, card.key.c_str()) > 0 && !c.Empty()) cube_->AddCard(c);
    else unknownCards_.emplace_back(unknownCards_.size() + cube_->Cube().Cards().size(), card);
  }
  if (cube_->Cube().Cards().empty() && unknownCards_.empty() && !contract_.Empty()) cube_->AddCard(contract_);
}

void CChartContainer::OpenLineOrderPanel() {
  if (content_ != tarn::kContentKLine) ShowContent(tarn::kContentKLine);
  if (!linePanel_) {
    linePanel_ = new CDlgLineOrderPanel(this);
    linePanel_->adjustSize();
    // Over the chart's bottom right corner (the indicator panes), leaving the price pane, where
    // the orders are clicked, in sight.
    const QPoint corner = mapToGlobal(QPoint(width(), height()));
    linePanel_->move(corner.x() - linePanel_->width() - 8, corner.y() - linePanel_->height() - 8);
  }
  linePanel_->show();
  linePanel_->raise();
}

bool CChartContainer::PlaceLineOrder(int x, int y) {
  if (!linePanel_ || content_ != tarn::kContentKLine || !chart_ || chart_->TimeShare()) return false;
  if (linePanel_->Palette().Armed() < 0) return false;
  const DC_Contract contract = chart_->Contract();
  const DC_Commodity* commodity = CommodityOf(contract);
  const double tick = commodity ? commodity->tickSize : 0;
  const std::optional<double> price = tarn::PriceAtClick(*chart_->Engine(), x, y, tick);
  if (!price) return false;
  double last = 0;
  DC_Quote quote{};
  if (IQuoteDataCenter* q = GetQuoteDataCenter(); q && q->SubscribeQuote(NotifyHandle{}, &contract, &quote, 1) == 0)
    last = quote.data.last;
  const std::optional<ConditionOrderRequest> request =
      tarn::LineOrderRequest(linePanel_->Palette(), contract, *price, last, tick, PriceDecimals(contract));
  linePanel_->Disarm();
  if (request)
    if (ITradeApi* api = GetTradeApi()) api->InsertConditionOrder(*request);
  return true;
}

std::vector<tarn::CubeCardRef> CChartContainer::CubeCardRefs() const {
  if (!cube_) return cubeKeys_;
  std::vector<tarn::CubeCardRef> cards;
  for (const tarn::PriceCard& card : cube_->Cube().Cards()) cards.push_back(tarn::CardRef(card));
  // Kept for a later start that knows them, at their places (in ascending order of place).
  for (const auto& [place, card] : unknownCards_)
    cards.insert(cards.begin() + static_cast<std::ptrdiff_t>(std::min(place, cards.size())), card);
  return cards;
}

std::vector<std::string> CChartContainer::CubeCards() const {
  std::vector<std::string> keys;
  for (const tarn::CubeCardRef& card : CubeCardRefs()) keys.push_back(card.key);
  return keys;
}

void CChartContainer::ResetToEmpty() {
  if (cube_) cube_->hide();
  DropChart();
  if (grid_) grid_->hide();
  if (panel_) panel_->hide();
  if (toolBar_) toolBar_->hide();
  content_ = tarn::kContentNone;
  Arrange();
  update();
}

bool CChartContainer::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgContainerTool) {
    // A workspace-wide tool id (id - 4000): the chart takes it when it knows it.
    if (chart_) chart_->BeginTool(4000 + static_cast<int>(static_cast<tarn::WindowMessage*>(e)->WParam()));
    return true;
  }
  if (static_cast<int>(e->type()) == tarn::kMsgGridWindowCommand) {
    WindowCommand(static_cast<int>(static_cast<tarn::WindowMessage*>(e)->WParam()));
    return true;
  }
  return QWidget::event(e);
}

void CChartContainer::ChooseContract() {
  auto* d = new CDlgSelContract(false, {}, this);
  const int r = chart_ && chart_->runDialog ? chart_->runDialog(d) : d->exec();
  if (r == QDialog::Accepted && !d->Contract().Empty()) SetContract(d->Contract());
  d->deleteLater();
}

void CChartContainer::SwitchContract(int step) {
  EnsureGrid();
  const tarn::QuoteGridModel& m = grid_->Grid()->Model();
  const int rows = m.RowCount();
  if (rows == 0) return;
  int at = -1;
  for (int i = 0; i < rows; ++i)
    if (m.RowAt(i)->contract.Key() == contract_.Key()) at = i;
  const int next = at < 0 ? 0 : ((at + step) % rows + rows) % rows;
  SetContract(m.RowAt(next)->contract);
}

tarn::ChartContainerState CChartContainer::State() const {
  tarn::ChartContainerState s = chartState_;
  // A chart without a contract (its key unknown to the quote library) shows nothing: the kept
  // record stays as it was read.
  if (chart_ && !chart_->TimeShare() && !contract_.Empty()) {
    chart_->SaveState(&s);
  } else {
    s.period = period_;
    // Objects kept from another contract's chart are not this contract's.
    if (s.contractKey != ContractKeyText() || !(chartState_.period == s.period))
      s.objects = tarn::ChartObjectStore::Instance().Get(ContractKeyText(), s.period);
  }
  s.content = content_;
  s.contractKey = ContractKeyText();
  s.cubeCards.clear();
  s.cubeCardKinds.clear();
  for (const tarn::CubeCardRef& card : CubeCardRefs()) {
    s.cubeCards.push_back(card.key);
    s.cubeCardKinds.push_back(card.combol ? tarn::kCubeCardStrategy : tarn::kCubeCardContract);
  }
  // A grid that has not shown its block yet keeps the one it was given.
  s.blockName = grid_ && !grid_->BlockName().empty() ? grid_->BlockName() : block_;
  s.sidePanel = sidePanel_;
  s.linked = linked_;
  return s;
}

void CChartContainer::Restore(const tarn::ChartContainerState& s) {
  DC_Contract c{};
  if (IQuoteDataCenter* center = GetQuoteDataCenter(); center && !s.contractKey.empty())
    center->FindContract(&c, s.contractKey.c_str());
  contract_ = c;
  storedKey_ = c.Empty() ? s.contractKey : std::string();
  block_ = s.blockName;
  sidePanel_ = s.sidePanel;
  linked_ = s.linked;
  period_ = s.period;
  chartState_ = s;
  haveChartState_ = true;
  cubeKeys_.clear();
  for (std::size_t i = 0; i < s.cubeCards.size(); ++i) {
    const bool combol = i < s.cubeCardKinds.size() && s.cubeCardKinds[i] == tarn::kCubeCardStrategy;
    cubeKeys_.push_back({combol, s.cubeCards[i]});
  }
  delete cube_;
  cube_ = nullptr;
  if (grid_) grid_->RefreshBlocks(block_);
  ShowContent(s.content);
}

tarn::GridHostInfo CChartContainer::HostInfo() const {
  tarn::GridHostInfo h;
  h.inChartContainer = true;
  h.workspaceWindows = workspaceWindows ? workspaceWindows() : 1;
  h.linkedGridContainer = linked_;
  return h;
}

void CChartContainer::ShowContract(const DC_Contract& contract, const std::string& block, bool showChart) {
  contract_ = contract;
  storedKey_.clear();
  block_ = block;
  if (showChart) ShowContent(tarn::kContentKLine);
  else if (panel_) panel_->ShowContract(contract, true);
}

void CChartContainer::FollowContract(const DC_Contract& contract) {
  contract_ = contract;
  storedKey_.clear();
  if (panel_) panel_->ShowContract(contract, true);
  if (chart_) chart_->SetContract(contract);
}

std::string CChartContainer::HostContractKey() const { return std::string(contract_.Key()); }

void CChartContainer::ShowPeriod(const tarn::ChartPeriod& period) {
  if (!tarn::IsValidPeriod(period)) return;
  if (period.kind == tarn::kPeriodTimeShare) {
    ShowContent(tarn::kContentTimeShare);
  } else {
    period_ = period;
    if (content_ != tarn::kContentKLine) ShowContent(tarn::kContentKLine);
    if (chart_ && !(chart_->Period() == period)) chart_->SetPeriod(period);
  }
  if (toolBar_ && chart_) toolBar_->SetPeriodCommand(tarn::CommandForPeriod(chart_->Period()));
}

bool CChartContainer::ApplyWizardItem(const tarn::WizardItem& item) {
  switch (item.kind) {
    case tarn::kWizardContract:
      if (item.contract.Empty()) return false;
      if (content_ == tarn::kContentQuoteGrid && grid_) return grid_->ApplyWizardItem(item);
      SetContract(item.contract);
      if (content_ == tarn::kContentNone || content_ == tarn::kContentPriceCube) ShowContent(tarn::kContentKLine);
      return true;
    case tarn::kWizardPeriod:
      ShowPeriod({item.extra1, item.extra2});
      return true;
    case tarn::kWizardIndicator: {
      if (content_ != tarn::kContentKLine) ShowContent(tarn::kContentKLine);
      if (!chart_) return false;
      tarn::formula::FormulaDef def;
      const bool main = tarn::FormulaManager::Instance().Find(item.key, &def) && def.mainChart;
      return main ? chart_->LoadIndicator(0, item.key) : chart_->LoadIndicator(1, item.key);
    }
    case tarn::kWizardWindow: {
      const auto is = [&item](const std::string& text) { return item.display.ends_with(text); };
      if (is(TXT("行情报价"))) {
        ShowContent(tarn::kContentQuoteGrid);
      } else if (is(TXT("图形切换"))) {
        ShowContent(content_ == tarn::kContentKLine ? tarn::kContentTimeShare : tarn::kContentKLine);
      } else if (is(TXT("盘口报价"))) {
        if (content_ != tarn::kContentQuoteGrid) ShowContent(tarn::kContentQuoteGrid);
        SetSidePanel(!sidePanel_);
      } else if (is(TXT("自选板块"))) {
        if (content_ != tarn::kContentQuoteGrid) ShowContent(tarn::kContentQuoteGrid);
        return grid_ && grid_->ApplyWizardItem(item);
      } else {
        return false;
      }
      return true;
    }
    default: return false;
  }
}

QWidget* CChartContainer::FocusWindow() const {
  if (chart_ && chart_->isVisible()) return chart_;
  if (grid_ && grid_->isVisible()) return grid_->Grid();
  return const_cast<CChartContainer*>(this);
}
