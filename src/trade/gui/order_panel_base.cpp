#include "trade/gui/order_panel_base.h"

#include <QHBoxLayout>
#include <QIcon>

#include "data/quote_data_center.h"
#include "engines/gui/engine_widgets.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "trade/gui/order_dialogs.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

namespace tarn {

namespace {
constexpr int kMsgPanelQuote = 8211;
constexpr int kMsgPanelRefresh = 8212;
constexpr int kMsgPanelText = 8213;
constexpr int kMsgPanelSelected = 8214;

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

OrderPanelBase::OrderPanelBase(QWidget* parent) : QWidget(parent), CTradeListener(false) {
  selector = new ContractSelector(this);
  selector->onChosen = [this](const DC_Contract& c) { SetContract(c); };
  status = new QLabel(this);
  status->setWordWrap(true);
  status->setStyleSheet(QStringLiteral("color: #f0c050"));
}

OrderPanelBase::~OrderPanelBase() {
  StopListening();
  CQuoteDataClient::Detach();
  RemoveOrderPanel(this);
}

void OrderPanelBase::Start() {
  StartListening();
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
}

void OrderPanelBase::SetContract(DC_Contract contract) {
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

void OrderPanelBase::OnTradeText(const std::string& text, const AccountTexts&) { PostTextMessage(this, kMsgPanelText, text); }

void OrderPanelBase::OnOrder(const OrderRecord*, const AccountTexts&) {
  if (!refreshPosted_.exchange(true)) PostWindowMessage(this, kMsgPanelRefresh);
}
void OrderPanelBase::OnAccountUpdate(int, const AccountTexts&) {
  if (!refreshPosted_.exchange(true)) PostWindowMessage(this, kMsgPanelRefresh);
}
void OrderPanelBase::OnTradeRefresh() {
  if (!refreshPosted_.exchange(true)) PostWindowMessage(this, kMsgPanelRefresh);
}
void OrderPanelBase::OnPositions(const AccountTexts&, bool) {
  if (!refreshPosted_.exchange(true)) PostWindowMessage(this, kMsgPanelRefresh);
}

void OrderPanelBase::OnContractSelected(DC_Contract contract, int direction, double price) {
  (void)direction;
  {
    Lock lock(mutex_);
    selectionPending_ = true;
    selectedContract_ = contract;
    selectedPrice_ = price;
  }
  PostWindowMessage(this, kMsgPanelSelected);
}

void OrderPanelBase::TakeSelection() {
  DC_Contract c;
  double price;
  {
    Lock lock(mutex_);
    if (!selectionPending_) return;
    selectionPending_ = false;
    c = selectedContract_;
    price = selectedPrice_;
  }
  if (Locked() || c.Empty()) return;
  if (!c.SameKey(contract_)) SetContract(c);
  if (price > 1e-5) OnPickedPrice(price);
  Refresh();
}

bool OrderPanelBase::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kMsgPanelQuote:
      quotePosted_ = false;
      Refresh();
      return true;
    case kMsgPanelRefresh:
      refreshPosted_ = false;
      Refresh();
      return true;
    case kMsgPanelText:
      SetStatus(static_cast<TextMessage*>(e)->Text());
      Refresh();
      return true;
    case kMsgPanelSelected:
      TakeSelection();
      return true;
    default:
      return QWidget::event(e);
  }
}

}  // namespace tarn
