#include "trade/orders/gui/order_panel_base.h"

#include <QHBoxLayout>
#include <QIcon>

#include "data/quote_data_center.h"
#include "engines/gui/engine_widgets.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "trade/orders/gui/order_dialogs.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

namespace tarn {

namespace {
constexpr int kMsgPanelQuote = 8211;
constexpr int kMsgPanelTrade = 8212;  // the trade feed has changes

QIcon LockIcon(bool locked) {
  const QString file = QString::fromUtf8(Path(locked ? TXT("\\icon\\trade\\锁.png") : TXT("\\icon\\trade\\解锁.png")).c_str());
  return QIcon(file);
}
}  // namespace

QPushButton* PanelButton(QWidget* parent, const QString& text, std::function<void()> onClick, int width) {
  QPushButton* b = ui::MakeButton(parent, text, std::move(onClick));
  b->setStyleSheet(QStringLiteral("QPushButton { min-width: 0px; padding: 2px 4px; }"));
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  if (width > 0) b->setFixedWidth(ui::Scaled(width));
  return b;
}

bool VisibleWithParents(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (!w->isVisible()) return false;
  return true;
}

// ---- ContractSelector ------------------------------------------------------------------------

ContractSelector::ContractSelector(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(ui::Scaled(2));
  code = new QLineEdit(this);
  code->setReadOnly(true);
  code->setPlaceholderText(QStringLiteral("合约"));
  choose = PanelButton(this, QStringLiteral("..."), [this] {
    DC_Contract c = shown_;
    if (GetContractChooser() && GetContractChooser()(this, &c) && onChosen) onChosen(c);
  }, 26);
  choose->setEnabled(static_cast<bool>(GetContractChooser()));
  lock = PanelButton(this, QString(), [this] { SetLocked(!locked_); }, 26);
  lock->setToolTip(QStringLiteral("锁定合约"));
  row->addWidget(code, 1);
  row->addWidget(choose);
  row->addWidget(lock);
  SetLocked(false);
}

void ContractSelector::Show(const DC_Contract& contract) {
  shown_ = contract;
  code->setText(ui::ToQString(contract.Code()));
}

void ContractSelector::SetLocked(bool locked) {
  locked_ = locked;
  const QIcon icon = LockIcon(locked);
  lock->setIcon(icon);
  lock->setText(icon.isNull() ? (locked ? QStringLiteral("锁") : QStringLiteral("解")) : QString());
}

// ---- OrderPanelBase --------------------------------------------------------------------------

OrderPanelBase::OrderPanelBase(QWidget* parent) : QWidget(parent), feed_(TradeFeed::Acquire()) {
  selector = new ContractSelector(this);
  selector->onChosen = [this](const DC_Contract& c) { SetContract(c); };
  status = new QLabel(this);
  status->setWordWrap(true);
  status->setStyleSheet(QStringLiteral("color: #f0c050"));
}

OrderPanelBase::~OrderPanelBase() {
  Stop();
  RemoveOrderPanel(this);
}

void OrderPanelBase::Stop() {
  feed_->RemoveClient(this);
  CQuoteDataClient::Detach();
}

void OrderPanelBase::Start() {
  feed_->AddClient(this);
  feed_->Take(this);  // the first set only says "read everything": the panel reads as it draws
  AddOrderPanel(this);
}

int OrderPanelBase::RunDialog(QDialog& dialog) { return runDialog ? runDialog(dialog) : dialog.exec(); }

ConfirmOrder OrderPanelBase::Confirmation() {
  if (confirm) return confirm;
  return [this](const OrderRecord& o) { return ConfirmSendOrder(o, this); };
}

PanelQuote OrderPanelBase::Quote() const {
  Lock lock(mutex_);
  return quote_;
}

int OrderPanelBase::Decimals() const { return PriceDecimals(contract_); }

void OrderPanelBase::SetStatus(const std::string& gbk) {
  status_ = gbk;
  status->setText(ui::ToQString(gbk));
  if (onStatusChanged) onStatusChanged();
}

void OrderPanelBase::SetContract(DC_Contract contract) {
  // A continuous or index series is not traded: the panel takes the commodity's main month
  // (the chart and the grid that chose it keep the series).
  contract = TradableContract(contract);
  {
    Lock lock(mutex_);
    contract_ = contract;
    quote_ = PanelQuote{};
    haveQuote_ = false;
  }
  selector->Show(contract);
  SetStatus(std::string());
  UnsubscribeAll();
  OnContractChanged();
  if (!contract.Empty()) Subscribe(contract);  // the snapshot comes back through OnQuote
  Refresh();
}

void OrderPanelBase::OnPositionSelected(PositionRecord position) {
  if (!position.contract.SameKey(contract_) && Locked()) return;
  if (!position.contract.SameKey(contract_)) SetContract(position.contract);
  SetQuantityText(FormatC("%d", position.longQuantity >= 1 ? position.longQuantity : position.shortQuantity));
  Refresh();
}

void OrderPanelBase::RefreshIfVisible() {
  if (VisibleWithParents(this)) Refresh();
}

int OrderPanelBase::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  if (!quote) return 0;
  {
    Lock lock(mutex_);
    if (contract_.Empty() || !quote->contract.SameKey(contract_)) return 0;
    quote_ = PanelQuoteOf(*quote);
    haveQuote_ = true;
  }
  if (!quotePosted_.exchange(true)) PostWindowMessage(this, kMsgPanelQuote);
  return 0;
}

void OrderPanelBase::OnTradeFeedChanged() { PostWindowMessage(this, kMsgPanelTrade); }

void OrderPanelBase::TakeChanges() {
  const TradeChangeSet set = feed_->Take(this);
  if (set.Empty()) return;
  // The library's last message (a refused order says why) goes into the status line.
  if (!set.texts.empty()) SetStatus(set.texts.back());
  if (set.choice)
    TakeSelection(*set.choice);  // refreshes
  else
    Refresh();
}

void OrderPanelBase::TakeSelection(const ContractChoice& choice) {
  if (Locked() || choice.contract.Empty()) {
    Refresh();
    return;
  }
  const DC_Contract c = TradableContract(choice.contract);
  if (!c.SameKey(contract_)) SetContract(c);
  if (choice.price > 1e-5) OnPickedPrice(choice.price);
  Refresh();
}

bool OrderPanelBase::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kMsgPanelQuote:
      quotePosted_ = false;
      Refresh();
      return true;
    case kMsgPanelTrade:
      TakeChanges();
      return true;
    default:
      return QWidget::event(e);
  }
}

}  // namespace tarn
