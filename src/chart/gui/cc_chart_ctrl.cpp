#include "chart/gui/cc_chart_ctrl.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <limits>
#include <mutex>

#include "chart/gui/chart_dialogs.h"
#include "libs/indicators/formula_manager.h"
#include "data/quote_data_center.h"
#include "engines/gui/alert_windows.h"
#include "libs/candlechart/gui/chart_painter.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "quote/user_block_store.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

namespace cc = tarn::candlechart;

namespace {

// The first bar of the time-share chart's day: after the last break of more than four hours
// that follows a bar of the afternoon (exchange time, UTC+8), so that a night session and the
// day after it make one trading day.
std::size_t TimeShareDayStart(const std::vector<DC_KData>& bars) {
  for (std::size_t i = bars.size(); i-- > 1;) {
    const int64_t gap = bars[i].time - bars[i - 1].time;
    const int hour = static_cast<int>(((bars[i - 1].time + 8 * 3600) % 86400) / 3600);
    if (gap > 4 * 3600 && hour >= 13 && hour < 20) return i;
  }
  return 0;
}

// The formula files are read once, by the first chart.
void EnsureFormulasLoaded() {
  static std::once_flag once;
  std::call_once(once, [] { tarn::FormulaManager::Instance().Load(); });
}

}  // namespace

CCChartCtrl::CCChartCtrl(QWidget* parent, bool timeShare)
    : CRenderWnd(parent), CTradeListener(false), indicators_(&tarn::FormulaManager::Instance()) {
  EnsureFormulasLoaded();
  setObjectName(QStringLiteral("KChart"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  period_ = timeShare ? tarn::ChartPeriod{tarn::kPeriodTimeShare, 1} : tarn::ChartPeriod{tarn::kPeriodDays, 1};
  engine_ = cc::CreateChartEngine();
  engine_->Create("KChart", timeShare ? 1 : 0, GetSettingCfg().axisAlign);
  engine_->SetNotify(this);
  ApplySettings();
  ApplyDefaults();
  runDialog = [](QDialog* d) { return d->exec(); };
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // Timer 11: lines whose notification was lost in a burst, and the time-share day's roll.
    if (!linesPosted_.load()) RefreshOrderLines();
  });
  timer_.start();
  tarn::AddKlineSettingListener(this);
  GetSettingCfg().AddListener(this);
  GetColorScheme().AddListener(this);
  StartListening();
  RefreshOrderLines();
}

CCChartCtrl::~CCChartCtrl() {
  StopListening();
  history_.Stop();
  history_.Detach();
  tarn::RemoveKlineSettingListener(this);
  GetSettingCfg().RemoveListener(this);
  GetColorScheme().RemoveListener(this);
  // The drawn objects go to the program's store before the engine ends.
  KeepObjects();
  cc::DestroyChartEngine(engine_);
  engine_ = nullptr;
}

void CCChartCtrl::KeepObjects() {
  if (!engine_ || contract_.Empty()) return;
  const int count = engine_->ObjectCount();
  std::vector<cc::DrawObject> objects;
  for (int i = 0; i < count; ++i) objects.push_back(*engine_->Object(i));
  tarn::ChartObjectStore::Instance().Put(std::string(contract_.Key()), period_, std::move(objects));
}

// ---- settings ------------------------------------------------------------------------------------

void CCChartCtrl::ApplySettings() {
  const CSettingCfg& s = GetSettingCfg();
  const CColorScheme& scheme = GetColorScheme();
  const tarn::KLineColors k = tarn::LoadKLineColors();
  cc::ChartColors c;
  c.background = scheme.Get(kColorDiSe);
  c.title = scheme.Get(kColorBiaoTi);
  c.text = scheme.Get(kColorZiFuXianShi);
  c.hint = scheme.Get(kColorTiXingSe);
  c.axis = scheme.Get(kColorZuoBiaoXian);
  c.scale = scheme.Get(kColorKeDu);
  c.rising = scheme.Get(kColorShangZhang);
  c.falling = scheme.Get(kColorXiaDie);
  c.flat = scheme.Get(kColorPingPan);
  c.indicatorName = scheme.Get(kColorZhiBiaoMing);
  for (int i = 0; i < 10; ++i) c.lines[static_cast<std::size_t>(i)] = scheme.Get(kColorDiYiTiao + i);
  c.candleUp = k.up;
  c.candleDown = k.down;
  engine_->SetColors(c);
  engine_->SetCandleStyle(k.style == 1 ? 1 : 0);
  const int pixels = tarn::ui::Scaled(12);
  font_ = cc::ChartFont(pixels);
  engine_->SetFontPixels(pixels);
  engine_->SetTextMeasure(cc::ChartTextMeasure(font_));
  engine_->SetRightBlank(s.rightBlank);
  engine_->SetLastPriceLine(s.newPriceLine != 0);
  engine_->SetSnap(UserSetting::SnapDrawing());
  cacheValid_ = false;
}

void CCChartCtrl::ApplyDefaults() {
  const bool ts = TimeShare();
  const int panes = ts ? 2 : 3;
  engine_->Create("KChart", ts ? 1 : 0, GetSettingCfg().axisAlign);
  engine_->Configure(0, engine_->Inverted(), panes, period_.kind != tarn::kPeriodTick);
  tarn::Lock lock(lock_);
  indicators_.SetPeriod(period_);
  indicators_.SetPaneCount(panes);
  for (int p = 0; p < panes; ++p) indicators_.Remove(p);
  for (const std::string& o : tarn::ChartIndicators::DefaultOverlays(ts)) indicators_.AddOverlay(o);
  const std::vector<std::string> defaults = tarn::ChartIndicators::DefaultPanes(panes, ts);
  for (std::size_t i = 0; i < defaults.size(); ++i)
    if (!defaults[i].empty()) indicators_.Load(static_cast<int>(i) + 1, defaults[i]);
  dataDirty_ = true;
  pendingFirst_ = 0;
}

void CCChartCtrl::OnKlineSettingChanged() {
  if (IQuoteDataCenter* center = GetQuoteDataCenter(); center && !contract_.Empty())
    center->ContractSettingChanged(contract_);
  ApplySettings();
  Apply(cc::Invalidate::Full);
}

void CCChartCtrl::OnSettingCfgChanged(bool) {
  ApplySettings();
  RefreshOrderLines();
  Apply(cc::Invalidate::Full);
}

void CCChartCtrl::OnColorSchemeChanged() {
  ApplySettings();
  Apply(cc::Invalidate::Full);
}

// ---- contract, period, loading --------------------------------------------------------------------

void CCChartCtrl::SetContract(const DC_Contract& contract) {
  // Objects a chart without a contract holds (restored from a record) are the new contract's.
  const bool adopt = contract_.Empty() && engine_->ObjectCount() > 0;
  KeepObjects();
  contract_ = contract;
  if (adopt) KeepObjects();
  engine_->SetObjects(tarn::ChartObjectStore::Instance().Get(std::string(contract_.Key()), period_));
  Load(true);
  RefreshOrderLines();
}

void CCChartCtrl::SetPeriod(const tarn::ChartPeriod& period) {
  if (!tarn::IsValidPeriod(period)) return;
  KeepObjects();
  const bool modeChanged = (period.kind == tarn::kPeriodTimeShare) != TimeShare();
  period_ = period;
  if (modeChanged) {
    ApplyDefaults();
  } else {
    engine_->Configure(0, engine_->Inverted(), engine_->PaneCount(), period_.kind != tarn::kPeriodTick);
    tarn::Lock lock(lock_);
    indicators_.SetPeriod(period_);
    for (int p = 0; p < indicators_.PaneCount(); ++p) indicators_.Reload(p);
  }
  engine_->SetObjects(tarn::ChartObjectStore::Instance().Get(std::string(contract_.Key()), period_));
  Load(true);
}

void CCChartCtrl::Load(bool refresh) {
  {
    tarn::Lock lock(lock_);
    bars_.Reset();
    shownFrom_ = 0;
    indicators_.Compute(nullptr, 0);
    dataDirty_ = true;
    pendingFirst_ = 0;
  }
  if (contract_.Empty()) {
    history_.Stop();
    if (refresh) NeedRedraw();
    return;
  }
  const DC_Commodity* commodity = CommodityOf(contract_);
  const int decimals = commodity ? commodity->decimals : 2;
  const std::string title = std::string(contract_.Name()) + " " + tarn::PeriodName(period_.kind, period_.multiplier);
  engine_->SetInstrument(title, decimals, period_.kind, tarn::PeriodSeconds(period_));
  {
    tarn::Lock lock(lock_);
    indicators_.SetAverageLine(TimeShare(), commodity ? commodity->multiplier : 1);
  }
  // The time-share chart is measured against the previous settlement.
  if (TimeShare()) {
    DC_Quote q{};
    q.contract = contract_;
    double reference = 0;
    if (IQuoteDataCenter* center = GetQuoteDataCenter(); center && center->SubscribeQuote(NotifyHandle{}, &contract_, &q, 1) == 0)
      reference = q.data.preSettlement > 1e-5 ? q.data.preSettlement : q.data.preClose;
    engine_->SetReferencePrice(reference);
  } else {
    engine_->SetReferencePrice(0);
  }
  capacity_ = TimeShare() ? 1500 : tarn::kDefaultBarCapacity;
  int result = -1;
  if (mode_ == tarn::kDataLatest) result = history_.Request(contract_, capacity_, this, period_.kind, period_.multiplier);
  else if (mode_ == tarn::kDataRange)
    result = history_.RequestRange(contract_, 0, capacity_, this, period_.kind, period_.multiplier);
  // Bars that do not follow by event are in the client's store now.
  if (result != 1) OnHisDataEvent(&contract_, 0, 0, 0);
  if (refresh || mode_ == tarn::kDataRange) NeedRedraw();
}

void CCChartCtrl::OnHisDataEvent(const DC_Contract*, int, int, int) {
  IQuoteDataCenter* center = GetQuoteDataCenter();
  bool changed = false;
  {
    tarn::Lock lock(lock_);
    if (contract_.Empty()) return;
    const DC_Contract contract = contract_;
    const tarn::ChartPeriod period = period_;
    const int capacity = capacity_;
    tarn::HistorySource source;
    source.copyHistory = [center, contract, period] {
      BarStore store;
      if (center) center->CopyHistory(&contract, period.kind, period.multiplier, &store);
      return std::move(store.bars);
    };
    source.requestHistory = [center, contract, period, capacity] {
      BarStore store;
      if (center)
        center->RequestHistory(NotifyHandle{}, &contract, period.kind, period.multiplier, &store, capacity,
                               period.kind == tarn::kPeriodTick ? 1 : 0);
      return std::move(store.bars);
    };
    // The client's store is read only when the list takes the event's bars.
    const std::vector<DC_KData> event = (mode_ != tarn::kDataLatest || bars_.Size() == 0)
                                            ? history_.Store().Snapshot()
                                            : std::vector<DC_KData>{};
    const tarn::BarChange change = bars_.OnHistoryEvent(mode_, capacity_, event, source);
    if (change.changed) {
      const std::vector<DC_KData>& all = bars_.Bars();
      const std::size_t from = TimeShare() ? TimeShareDayStart(all) : 0;
      std::size_t first = change.firstChanged;
      if (from != shownFrom_ || first < from) first = from;
      shownFrom_ = from;
      const std::size_t relative = first - from;
      indicators_.Update(all.data() + from, all.size() - from, relative);
      pendingFirst_ = dataDirty_ ? std::min(pendingFirst_, relative) : relative;
      dataDirty_ = true;
      changed = true;
    }
  }
  if (changed) NeedRedraw();
}

void CCChartCtrl::OnHisDataReset(int, int, int) {
  // The link came back or the library reset the contract (a main contract's new month): the
  // bars are loaded again on the window's thread.
  if (!reloadPosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgChartReload);
}

std::vector<DC_KData> CCChartCtrl::Bars() const {
  tarn::Lock lock(lock_);
  const std::vector<DC_KData>& all = bars_.Bars();
  return std::vector<DC_KData>(all.begin() + static_cast<std::ptrdiff_t>(std::min(shownFrom_, all.size())), all.end());
}

std::size_t CCChartCtrl::BarCount() const {
  tarn::Lock lock(lock_);
  return bars_.Size() - std::min(shownFrom_, bars_.Size());
}

void CCChartCtrl::PushData() {
  tarn::Lock lock(lock_);
  if (!dataDirty_) return;
  const std::vector<DC_KData>& all = bars_.Bars();
  const std::size_t from = std::min(shownFrom_, all.size());
  if (from == 0) {
    engine_->UpdateBars(all, std::min(pendingFirst_, all.size()));
  } else {
    engine_->SetBars(std::vector<DC_KData>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end()));
  }
  if (engine_->PaneCount() != indicators_.PaneCount()) engine_->SetPaneCount(indicators_.PaneCount());
  for (int p = 0; p < indicators_.PaneCount(); ++p) engine_->SetPaneContent(p, indicators_.Content(p));
  dataDirty_ = false;
  pendingFirst_ = std::numeric_limits<std::size_t>::max();
  cacheValid_ = false;
}

void CCChartCtrl::ComputeAll() {
  tarn::Lock lock(lock_);
  const std::vector<DC_KData>& all = bars_.Bars();
  const std::size_t from = std::min(shownFrom_, all.size());
  indicators_.Compute(all.data() + from, all.size() - from);
  dataDirty_ = true;
  pendingFirst_ = 0;
}

// ---- state ---------------------------------------------------------------------------------------

void CCChartCtrl::SaveState(tarn::ChartContainerState* s) const {
  s->period = period_;
  s->inverted = engine_->Inverted();
  s->paneCount = engine_->PaneCount();
  s->barSpacing = engine_->BarSpacing();
  tarn::Lock lock(lock_);
  s->overlays = indicators_.Overlays();
  s->indicators = indicators_.PaneIndicators();
  s->objects = engine_->Objects();
}

void CCChartCtrl::RestoreState(const tarn::ChartContainerState& s) {
  period_ = s.period;
  ApplyDefaults();
  engine_->SetInverted(s.inverted);
  engine_->SetBarSpacing(s.barSpacing);
  SetPaneCount(s.paneCount);
  {
    tarn::Lock lock(lock_);
    indicators_.Remove(0);
    for (const std::string& o : s.overlays) indicators_.AddOverlay(o);
    for (std::size_t i = 0; i < s.indicators.size() && static_cast<int>(i) + 1 < indicators_.PaneCount(); ++i) {
      if (s.indicators[i].empty()) indicators_.Remove(static_cast<int>(i) + 1);
      else indicators_.Load(static_cast<int>(i) + 1, s.indicators[i]);
    }
    dataDirty_ = true;
  }
  engine_->SetObjects(s.objects);
}

// ---- commands ------------------------------------------------------------------------------------

bool CCChartCtrl::BeginTool(int tool) {
  if (!engine_->BeginTool(tool)) return false;
  setFocus();
  Apply(cc::Invalidate::Full);
  return true;
}

void CCChartCtrl::SetPaneCount(int count) {
  count = std::clamp(count, 1, 6);
  {
    tarn::Lock lock(lock_);
    const int before = indicators_.PaneCount();
    indicators_.SetPaneCount(count);
    // New panes take the default indicators of their place.
    const std::vector<std::string> defaults = tarn::ChartIndicators::DefaultPanes(count, TimeShare());
    for (int p = before; p < count; ++p)
      if (!defaults[static_cast<std::size_t>(p - 1)].empty()) indicators_.Load(p, defaults[static_cast<std::size_t>(p - 1)]);
    dataDirty_ = true;
  }
  engine_->SetPaneCount(count);
  ComputeAll();
  NeedRedraw();
}

void CCChartCtrl::ToggleInverted() {
  engine_->SetInverted(!engine_->Inverted());
  Apply(cc::Invalidate::Full);
}

bool CCChartCtrl::LoadIndicator(int pane, const std::string& name) {
  bool ok;
  {
    tarn::Lock lock(lock_);
    tarn::formula::FormulaDef def;
    if (!tarn::FormulaManager::Instance().Find(name, &def)) return false;
    if (def.mainChart) pane = 0;
    else if (pane <= 0) pane = 1;
    if (pane >= indicators_.PaneCount()) SetPaneCount(pane + 1);
    ok = indicators_.Load(pane, name);
  }
  if (ok) {
    ComputeAll();
    NeedRedraw();
  }
  return ok;
}

bool CCChartCtrl::OverlayIndicator(const std::string& name) {
  bool ok;
  {
    tarn::Lock lock(lock_);
    ok = indicators_.AddOverlay(name);
  }
  if (ok) {
    ComputeAll();
    NeedRedraw();
  }
  return ok;
}

std::vector<tarn::ChartMenuItem> CCChartCtrl::MenuEntries(int objectKind) const {
  tarn::ChartMenuContext c;
  c.objectKind = objectKind;
  c.inverted = engine_->Inverted();
  c.paneCount = engine_->PaneCount();
  c.candleStyle = tarn::LoadKLineColors().style;
  c.inUserBlock = !contract_.Empty() && GetUserBlockStore().Contains(contract_, UserBlockStore::kUserBlock);
  c.alertAvailable = !contract_.Empty();
  c.windowCommands = windowCommandsOffered ? windowCommandsOffered() : false;
  c.groups = tarn::FormulaManager::Instance().Groups();
  c.indicators = tarn::FormulaManager::Instance().Indicators();
  return tarn::BuildChartMenu(c, const_cast<std::vector<std::string>*>(&loadNames_),
                              const_cast<std::vector<std::string>*>(&overlayNames_));
}

QMenu* CCChartCtrl::BuildMenu(const std::vector<tarn::ChartMenuItem>& items, QWidget* parent) {
  auto* menu = new QMenu(parent);
  const std::function<void(QMenu*, const std::vector<tarn::ChartMenuItem>&)> fill =
      [&fill](QMenu* m, const std::vector<tarn::ChartMenuItem>& list) {
        for (const tarn::ChartMenuItem& it : list) {
          if (!it.children.empty()) {
            fill(m->addMenu(tarn::ui::ToQString(it.text)), it.children);
          } else if (it.id == 0) {
            m->addSeparator();
          } else {
            QAction* a = m->addAction(tarn::ui::ToQString(it.text));
            a->setData(it.id);
            if (it.checked) {
              a->setCheckable(true);
              a->setChecked(true);
            }
          }
        }
      };
  fill(menu, items);
  return menu;
}

void CCChartCtrl::OnChartContextMenu(int x, int y, int objectKind, int object) {
  menuObject_ = object;
  menuPane_ = std::max(0, engine_->PaneAt(y));
  QMenu* menu = BuildMenu(MenuEntries(objectKind), this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  connect(menu, &QMenu::triggered, this, [this](QAction* a) { RunCommand(a->data().toInt()); });
  menu->popup(mapToGlobal(QPoint(x, y)));
}

void CCChartCtrl::OnIndicatorMenu(int x, int y, int pane) {
  menuPane_ = pane;
  QMenu* menu = BuildMenu(tarn::BuildIndicatorMenu(), this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  connect(menu, &QMenu::triggered, this, [this, pane](QAction* a) { RunIndicatorCommand(a->data().toInt(), pane); });
  menu->popup(mapToGlobal(QPoint(x, y)));
}

void CCChartCtrl::RunCommand(int id) {
  using namespace tarn;
  if (id >= kChartCmdPanes1 && id <= kChartCmdPanes1 + 5) {
    SetPaneCount(id - kChartCmdPanes1 + 1);
    return;
  }
  if (id >= kChartCmdLoadIndicator && id < kChartCmdLoadIndicator + static_cast<int>(loadNames_.size())) {
    LoadIndicator(menuPane_, loadNames_[static_cast<std::size_t>(id - kChartCmdLoadIndicator)]);
    return;
  }
  if (id >= kChartCmdOverlay && id < kChartCmdOverlay + static_cast<int>(overlayNames_.size())) {
    OverlayIndicator(overlayNames_[static_cast<std::size_t>(id - kChartCmdOverlay)]);
    return;
  }
  switch (id) {
    case kChartCmdModifyText: EditObjectText(menuObject_); break;
    case kChartCmdObjectStyle: EditObjectStyle(menuObject_); break;
    case kChartCmdDeleteObject:
      engine_->DeleteObject(menuObject_);
      menuObject_ = -1;
      KeepObjects();
      Apply(cc::Invalidate::Full);
      break;
    case kChartCmdDeleteAll:
      engine_->DeleteAllObjects();
      menuObject_ = -1;
      KeepObjects();
      Apply(cc::Invalidate::Full);
      break;
    case kChartCmdInvert: ToggleInverted(); break;
    case kChartCmdSelectContract:
      if (onChooseContract) onChooseContract();
      break;
    case kChartCmdToggleUser: {
      if (contract_.Empty()) break;
      UserBlockStore& store = GetUserBlockStore();
      if (store.Contains(contract_, UserBlockStore::kUserBlock)) store.Remove(contract_, UserBlockStore::kUserBlock);
      else store.Add(contract_, UserBlockStore::kUserBlock);
      break;
    }
    case kChartCmdQuoteAlert:
      if (!contract_.Empty()) EditAlertFor(this, contract_);
      break;
    case kChartCmdSplitTopBottom:
    case kChartCmdSplitLeftRight:
    case kChartCmdCloseWindow:
      if (onWindowCommand) onWindowCommand(id - kChartCmdSplitTopBottom);
      break;
    case kChartCmdScheme1:
    case kChartCmdScheme2: ChooseCandleStyle(id - kChartCmdScheme1); break;
    default: break;
  }
}

void CCChartCtrl::RunIndicatorCommand(int id, int pane) {
  using namespace tarn;
  std::string name;
  {
    tarn::Lock lock(lock_);
    name = indicators_.PaneIndicator(pane);
  }
  switch (id) {
    case kIndicatorReload: {
      tarn::Lock lock(lock_);
      indicators_.Reload(pane);
    }
      ComputeAll();
      NeedRedraw();
      break;
    case kIndicatorParams: EditParams(pane); break;
    case kIndicatorRemove: {
      tarn::Lock lock(lock_);
      indicators_.Remove(pane);
      dataDirty_ = true;
    }
      NeedRedraw();
      break;
    case kIndicatorEditor:
      if (name.empty()) break;
      if (!StartFormulaEditor(FormulaEditorLaunch(mainTitle.empty() ? TXT("Tarn交易分析终端") : mainTitle, name)))
        tarn::MessageBox(TXT("打开编辑器失败"), TXT("提示"));
      break;
    default: break;
  }
}

int CCChartCtrl::RunDialog(QDialog* d) {
  const int r = runDialog ? runDialog(d) : d->exec();
  d->deleteLater();
  return r;
}

void CCChartCtrl::EditObjectText(int object) {
  const cc::DrawObject* o = engine_->Object(object);
  if (!o) return;
  auto* d = new CDlgObjectText(o->text, this);
  if (RunDialog(d) == QDialog::Accepted) {
    cc::DrawObject changed = *o;
    changed.text = d->Text();
    engine_->UpdateObject(object, changed);
  } else if (o->text.empty()) {
    // A new text object left without a text is not kept.
    engine_->DeleteObject(object);
  }
  KeepObjects();
  Apply(cc::Invalidate::Full);
}

void CCChartCtrl::EditObjectStyle(int object) {
  const cc::DrawObject* o = engine_->Object(object);
  if (!o) return;
  auto* d = new CDlgObjectStyle(tarn::StyleOf(*o), this);
  if (RunDialog(d) == QDialog::Accepted) {
    engine_->UpdateObject(object, tarn::WithStyle(*o, d->Style()));
    KeepObjects();
    Apply(cc::Invalidate::Full);
  }
}

void CCChartCtrl::EditParams(int pane) {
  std::string name;
  std::vector<double> current;
  {
    tarn::Lock lock(lock_);
    name = indicators_.PaneIndicator(pane);
    if (const tarn::formula::Indicator* ind = indicators_.Indicator(pane)) current = ind->Params();
  }
  tarn::formula::FormulaDef def;
  if (name.empty() || !tarn::FormulaManager::Instance().Find(name, &def)) return;
  auto* d = new CDlgIndicatorParam(def, tarn::IndicatorParamRows(def, current), this);
  if (RunDialog(d) != QDialog::Accepted) return;
  tarn::FormulaManager::Instance().SaveParams(def.name, d->Values());
  {
    tarn::Lock lock(lock_);
    indicators_.Reload(pane);
  }
  ComputeAll();
  NeedRedraw();
}

void CCChartCtrl::OnObjectDrawn(int object) {
  const cc::DrawObject* o = engine_->Object(object);
  if (o && o->kind == cc::kDrawText) EditObjectText(object);
  KeepObjects();
}

void CCChartCtrl::OnObjectDoubleClicked(int object) {
  const cc::DrawObject* o = engine_->Object(object);
  if (!o) return;
  if (o->kind == cc::kDrawText) EditObjectText(object);
  else EditObjectStyle(object);
}

// ---- order lines ---------------------------------------------------------------------------------

void CCChartCtrl::OnOrder(const OrderRecord*, const AccountTexts&) {
  if (!linesPosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgChartOrderLines);
}
void CCChartCtrl::OnPositions(const AccountTexts&, bool) {
  if (!linesPosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgChartOrderLines);
}
void CCChartCtrl::OnTradeRefresh() {
  if (!linesPosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgChartOrderLines);
}

void CCChartCtrl::RefreshOrderLines() {
  std::vector<tarn::ChartOrderLine> lines;
  ITradeApi* api = GetTradeApi();
  if (api && !contract_.Empty()) {
    std::vector<OrderRecord> orders;
    std::vector<PositionRecord> positions;
    api->GetOrders(orders);
    api->GetPositions(positions);
    const DC_Commodity* commodity = CommodityOf(contract_);
    lines = tarn::BuildOrderLines(contract_.Key(), orders, positions, tarn::OrderLineSwitchesFromSettings(),
                                  commodity ? commodity->decimals : 2);
  }
  std::vector<cc::OrderLine> shown;
  for (const tarn::ChartOrderLine& l : lines) shown.push_back(l.line);
  lines_ = std::move(lines);
  if (shown != engine_->OrderLines()) {
    engine_->SetOrderLines(std::move(shown));
    Apply(cc::Invalidate::Full);
  }
}

void CCChartCtrl::OnOrderLineDropped(int line, double price) {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return;
  const DC_Commodity* commodity = CommodityOf(contract_);
  const tarn::OrderLineDrop drop =
      tarn::DropOrderLine(lines_[static_cast<std::size_t>(line)], price, commodity ? commodity->tickSize : 0);
  if (drop.action == tarn::OrderLineDrop::kRefuse) {
    tarn::MessageBox(drop.message, TXT("提示"));
  } else if (drop.action == tarn::OrderLineDrop::kModify) {
    if (ITradeApi* api = GetTradeApi()) api->ModifyOrder(drop.order, drop.price, drop.quantity);
  }
  Apply(cc::Invalidate::Full);
}

// ---- window ----------------------------------------------------------------------------------------

void CCChartCtrl::Apply(cc::Invalidate level) {
  if (level == cc::Invalidate::None) return;
  if (level == cc::Invalidate::Full) cacheValid_ = false;
  update();
}

void CCChartCtrl::Render() {
  PushData();
  repaint();
}

bool CCChartCtrl::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgChartOrderLines) {
    linesPosted_ = false;
    RefreshOrderLines();
    return true;
  }
  if (static_cast<int>(e->type()) == kMsgChartReload) {
    reloadPosted_ = false;
    Load(true);
    return true;
  }
  return CRenderWnd::event(e);
}

void CCChartCtrl::resizeEvent(QResizeEvent*) {
  engine_->Resize(width(), height());
  cacheValid_ = false;
}

void CCChartCtrl::paintEvent(QPaintEvent*) {
  PushData();
  engine_->Resize(width(), height());
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = size() * dpr;
  const cc::ChartScene* scene;
  if (!cacheValid_ || engine_->NeedsLayout() || cache_.size() != pixels) {
    scene = &engine_->Scene();
    cache_ = QPixmap(pixels);
    cache_.setDevicePixelRatio(dpr);
    QPainter cp(&cache_);
    cc::PaintSceneBase(cp, *scene, font_);
    cacheValid_ = true;
  } else {
    scene = &engine_->CursorScene();
  }
  QPainter p(this);
  p.drawPixmap(0, 0, cache_);
  cc::PaintLayer(p, scene->cursor, font_);
}

void CCChartCtrl::mousePressEvent(QMouseEvent* e) {
  setFocus();
  const int button = e->button() == Qt::RightButton ? cc::kRightButton : e->button() == Qt::LeftButton ? cc::kLeftButton : 0;
  const QPoint pos = e->position().toPoint();
  if (button == cc::kLeftButton && onLeftClick && onLeftClick(pos.x(), pos.y())) return;
  Apply(engine_->MousePress(button, pos.x(), pos.y()));
}

void CCChartCtrl::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  Apply(engine_->MouseMove(pos.x(), pos.y(), e->buttons() & Qt::LeftButton));
}

void CCChartCtrl::mouseReleaseEvent(QMouseEvent* e) {
  const int button = e->button() == Qt::RightButton ? cc::kRightButton : e->button() == Qt::LeftButton ? cc::kLeftButton : 0;
  const QPoint pos = e->position().toPoint();
  Apply(engine_->MouseRelease(button, pos.x(), pos.y()));
}

void CCChartCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  Apply(engine_->DoubleClick(pos.x(), pos.y()));
}

void CCChartCtrl::wheelEvent(QWheelEvent* e) {
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  if (GetSettingCfg().mouseWheel == 2 && onSwitchContract) {
    onSwitchContract(delta > 0 ? -1 : 1);
  } else {
    engine_->Zoom(delta > 0 ? 1 : -1);
    Apply(cc::Invalidate::Full);
  }
  e->accept();
}

void CCChartCtrl::keyPressEvent(QKeyEvent* e) {
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  if (ctrl && e->key() == Qt::Key_F) {
    ToggleInverted();
    return;
  }
  if (ctrl && e->key() == Qt::Key_Z) {
    RunCommand(tarn::kChartCmdToggleUser);
    return;
  }
  int key = 0;
  switch (e->key()) {
    case Qt::Key_Left: key = cc::ChartEngine::kKeyLeft; break;
    case Qt::Key_Right: key = cc::ChartEngine::kKeyRight; break;
    case Qt::Key_Up: key = cc::ChartEngine::kKeyUp; break;
    case Qt::Key_Down: key = cc::ChartEngine::kKeyDown; break;
    case Qt::Key_Delete: key = cc::ChartEngine::kKeyDelete; break;
    case Qt::Key_Escape: key = cc::ChartEngine::kKeyEscape; break;
    case Qt::Key_Home: key = cc::ChartEngine::kKeyHome; break;
    case Qt::Key_End: key = cc::ChartEngine::kKeyEnd; break;
    default: CRenderWnd::keyPressEvent(e); return;
  }
  const int before = engine_->ObjectCount();
  Apply(engine_->KeyPress(key));
  if (engine_->ObjectCount() != before) KeepObjects();
}
