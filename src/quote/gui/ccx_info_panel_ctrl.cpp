#include "quote/gui/ccx_info_panel_ctrl.h"

#include <QDialog>
#include <QPainter>
#include <QPointer>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "tools/color_scheme.h"
#include "tools/gui/dlg_tick_statistic.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

namespace {

QColor ToColor(tarn::Colorref c) { return QColor(tarn::RedOf(c), tarn::GreenOf(c), tarn::BlueOf(c)); }

}  // namespace

CCXInfoPanelCtrl::CCXInfoPanelCtrl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CXInfoPanel"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  quote_ = ZeroRecord<DC_Quote>();
  CreatePanel();
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, [this] {
    ApplySettings();
    update();
  });
}

CCXInfoPanelCtrl::~CCXInfoPanelCtrl() {
  Detach();  // no quote reaches a window that is going
  if (tracer_) {
    tracer_->SetOwner(nullptr);
    tracer_.reset();
  }
  GetSettingCfg().RemoveListener(this);
  GetUserBlockStore().RemoveListener(this);
  ReleasePanel();
}

void CCXInfoPanelCtrl::CreatePanel() {
  if (!tracer_) tracer_ = std::make_unique<CPanelDataTracer>();
  GetSettingCfg().AddListener(this);
  GetUserBlockStore().AddListener(this);
  ReleasePanel();
  panel_ = tarn::infopanel::CreateInfoPanel();
  panel_->Create(0, 0, 300, 300, this);
  panel_->SetSideBarMode(sideBar_ ? 1 : 0);
  panel_->SetCommandSink(this);
  tracer_->SetOwner(this);
  ApplySettings();
  Place();
}

void CCXInfoPanelCtrl::ReleasePanel() {
  if (!panel_) return;
  panel_->SetCommandSink(nullptr);
  panel_->Release();
  tarn::infopanel::DestroyInfoPanel(panel_);
  panel_ = nullptr;
}

void CCXInfoPanelCtrl::ApplySettings() {
  if (!panel_) return;
  const CColorScheme& scheme = GetColorScheme();
  tarn::infopanel::PanelColors c;
  c.background = scheme.Get(kColorDiSe);
  c.text = scheme.Get(kColorZiFuXianShi);
  c.title = scheme.Get(kColorTaiTouZiFu);
  c.header = scheme.Get(kColorTiXingSe);
  c.rising = scheme.Get(kColorShangZhang);
  c.falling = scheme.Get(kColorXiaDie);
  c.flat = scheme.Get(kColorPingPan);
  c.border = scheme.Get(kColorBianKuang);
  c.quote = scheme.Get(kColorBaoJiaZiFu);
  c.sideBar = scheme.Get(kColorCeBianLan);
  panel_->SetColors(c);
  tarn::infopanel::PanelFont f;
  f.family = tarn::ui::UiFontFamily().toStdString();
  f.pixelSize = tarn::ui::Scaled(12);
  panel_->SetFont(f);
  const tarn::InfoPanelSettings s = tarn::LoadInfoPanelSettings();
  panel_->SetFields(s.fields, s.buySell, s.pricePanel);
  panel_->SetLevel(displayLevel_, UserSetting::InfoPanelLevel());
  if (tracer_) tracer_->SetMultiple(GetSettingCfg().multiAvgQty);
}

void CCXInfoPanelCtrl::ShowContract(const DC_Contract& contract, bool fresh) {
  if (contract.commodity == 0) return;
  {
    tarn::Lock lock(mutex_);
    contract_ = contract;
    quote_ = ZeroRecord<DC_Quote>();
    quote_.contract = contract;
  }
  UnsubscribeAll();
  UpdateBlockMark();
  if (parentWidget()) parentWidget()->setWindowTitle(tarn::ui::ToQString(contract.Name()));
  if (!panel_) return;
  panel_->SetLevel(displayLevel_, UserSetting::InfoPanelLevel());
  panel_->SetContract(&contract_);
  if (!fresh) return;
  Subscribe(contract_);
  std::vector<QuoteDetail> trades;
  DC_Quote snapshot = ZeroRecord<DC_Quote>();
  snapshot.contract = contract_;
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) {
    center->GetQuoteDetail(Handle(), 0, trades, &snapshot);
    if (center->SubscribeQuote(Handle(), &contract_, &snapshot, 1) != 0) {
      snapshot = ZeroRecord<DC_Quote>();
      snapshot.contract = contract_;
    }
  }
  {
    tarn::Lock lock(mutex_);
    quote_.data = snapshot.data;
  }
  tradesPending_ = false;
  FeedPanel(&trades);
  if (tracer_) tracer_->Follow(contract_, GetSettingCfg().multiAvgQty);
}

void CCXInfoPanelCtrl::FeedPanel(const std::vector<QuoteDetail>* trades) {
  if (!panel_) return;
  if (tradesPending_ && !trades) {
    panel_->Redraw();  // the trades' message follows with the list
    return;
  }
  DC_Quote q;
  {
    tarn::Lock lock(mutex_);
    q.contract = contract_;
    q.unused = 0;
    q.data = quote_.data;
  }
  if (trades) {
    const tarn::TradeSpan span = tarn::PanelTrades(*trades);
    panel_->SetQuote(&q, span.data, span.count, 1, 1);
    return;
  }
  std::vector<QuoteDetail> list;
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->GetQuoteDetail(Handle(), 0, list, &q);
  panel_->SetQuote(&q, list.empty() ? nullptr : list.data(), static_cast<int>(list.size()), 1, 1);
}

void CCXInfoPanelCtrl::UpdateBlockMark() {
  if (!panel_) return;
  DC_Contract c;
  {
    tarn::Lock lock(mutex_);
    c = contract_;
  }
  panel_->SetInUserBlock(!c.Empty() && GetUserBlockStore().Contains(c, UserBlockStore::kUserBlock));
}

void CCXInfoPanelCtrl::OnPanelCommand(const tarn::infopanel::PanelCommand& command) {
  using namespace tarn::infopanel;
  switch (command.type) {
    case kPanelRefresh: {
      IQuoteDataCenter* center = GetQuoteDataCenter();
      if (!center || contract_.Empty()) return;
      DC_Quote buffer = ZeroRecord<DC_Quote>();
      if (center->SubscribeQuote(NotifyHandle(), &contract_, &buffer, 1) == 0) {
        {
          tarn::Lock lock(mutex_);
          quote_.data = buffer.data;
        }
        FeedPanel(nullptr);
      }
      return;
    }
    case kPanelSideBarOff:
    case kPanelSideBarOn:
      sideBar_ = command.argument == 1;
      if (panel_) panel_->SetSideBarMode(sideBar_ ? 1 : 0);
      Place();
      update();
      return;
    case kPanelTickStatistics: {
      if (contract_.Empty()) return;
      // The dialog is a child of the top window, which may go while it runs modally.
      QPointer<CDlgTickStatistic> dialog = new CDlgTickStatistic(contract_, window());
      if (runDialog) {
        runDialog(dialog);
      } else {
        dialog->exec();
      }
      if (dialog) dialog->deleteLater();
      return;
    }
    case kPanelPrice: {
      const tarn::PanelPriceSelection s = tarn::SelectionForPrice(command.price, command.sideFlag);
      if (!s.select || contract_.Empty()) return;
      if (ITradeApi* trade = GetTradeApi()) trade->SelectContract(contract_, s.direction, s.price);
      return;
    }
    default:
      return;
  }
}

int CCXInfoPanelCtrl::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  if (!quote) return 0;
  {
    tarn::Lock lock(mutex_);
    if (contract_.Empty() || !quote->contract.SameKey(contract_)) return 0;
    quote_.data = quote->data;
  }
  if (!quotePosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgQuote);
  return 0;
}

void CCXInfoPanelCtrl::OnTickData(const DC_Contract* record) {
  if (!record) return;
  {
    tarn::Lock lock(mutex_);
    if (contract_.Empty() || !record->SameKey(contract_)) return;
  }
  if (!tradesPending_.exchange(true)) tarn::PostWindowMessage(this, kMsgTrades);
}

void CCXInfoPanelCtrl::OnContractReset(DC_Contract contract) {
  {
    tarn::Lock lock(mutex_);
    if (contract_.Empty() || !contract.SameKey(contract_)) return;
  }
  tarn::PostWindowMessage(this, kMsgReset);
}

void CCXInfoPanelCtrl::OnSettingCfgChanged(bool recomputeColumns) {
  (void)recomputeColumns;
  ApplySettings();
}

void CCXInfoPanelCtrl::OnUserBlockChanged(const std::string& block) {
  if (block == UserBlockStore::kUserBlock) UpdateBlockMark();
}

void CCXInfoPanelCtrl::OnBlockEvent(const std::string& block, int code) {
  (void)code;
  if (block == UserBlockStore::kUserBlock) UpdateBlockMark();
}

void CCXInfoPanelCtrl::OnPanelTallies() {
  if (!talliesPosted_.exchange(true)) tarn::PostWindowMessage(this, kMsgTallies);
}

bool CCXInfoPanelCtrl::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kMsgQuote:
      quotePosted_ = false;
      FeedPanel(nullptr);
      return true;
    case kMsgTrades: {
      std::vector<QuoteDetail> list;
      DC_Quote q = ZeroRecord<DC_Quote>();
      q.contract = contract_;
      if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->GetQuoteDetail(Handle(), 0, list, &q);
      tradesPending_ = false;
      FeedPanel(&list);
      return true;
    }
    case kMsgTallies: {
      talliesPosted_ = false;
      if (!panel_ || !tracer_) return true;
      const tarn::TickTallies t = tracer_->Tallies();
      tarn::infopanel::PanelTallies p;
      p.valid = t.total > 0;
      p.bigBuy = t.BigBuyRatio();
      p.bigSell = t.BigSellRatio();
      p.smallBuy = t.SmallBuyRatio();
      p.smallSell = t.SmallSellRatio();
      p.bigOrderSize = tracer_->BigOrderSize();
      panel_->SetTallies(p);
      return true;
    }
    case kMsgReset:
      ShowContract(contract_, true);
      return true;
    default:
      return QWidget::event(e);
  }
}

void CCXInfoPanelCtrl::Place() {
  if (!panel_) return;
  const tarn::PanelRect r = tarn::PanelRectFor(width(), height(), sideBar_);
  panel_->Move(r.x, r.y, r.width, r.height);
}

void CCXInfoPanelCtrl::resizeEvent(QResizeEvent*) {
  Place();
  update();
}

void CCXInfoPanelCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const CColorScheme& scheme = GetColorScheme();
  p.fillRect(rect(), ToColor(scheme.Get(kColorDiSe)));
  if (!sideBar_) return;
  // The side bar: a strip in the scheme's side-bar colour with a grip.
  const QRect strip(0, 0, tarn::kPanelSideBarWidth, height());
  p.fillRect(strip, ToColor(scheme.Get(kColorCeBianLan)));
  p.setPen(ToColor(scheme.Get(kColorBianKuang)));
  p.drawLine(strip.right(), 0, strip.right(), height());
  p.setPen(ToColor(scheme.Get(kColorZiFuXianShi)));
  const int mid = height() / 2;
  for (int i = -2; i <= 2; ++i) p.drawPoint(strip.center().x(), mid + i * 4);
}
