#include "trade/grid/gui/money_wnd.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"

using namespace tarn;

CMoneyWnd::CMoneyWnd(QWidget* parent) : QWidget(parent), feed_(TradeFeed::Acquire()) {
  cells_ = LoadFundsCellList();
  setMinimumHeight(ui::Scaled(40));
  setMouseTracking(true);
  connect(ui::ThemeNotifier::Instance(), &ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
  feed_->AddClient(this);
  feed_->Take(this);  // the first set only says "read everything"
  Refresh();
}

CMoneyWnd::~CMoneyWnd() { feed_->RemoveClient(this); }

QSize CMoneyWnd::sizeHint() const {
  return QSize(CellWidth() * static_cast<int>(ShownFundsCells(cells_).size()) + ui::Scaled(24), ui::Scaled(42));
}

int CMoneyWnd::CellWidth() const { return ui::Scaled(100); }

void CMoneyWnd::Refresh() {
  funds_ = FundsRecord{};
  if (ITradeApi* api = GetTradeApi()) api->GetAccountFunds(funds_, std::string(), "Base");
  update();
}

void CMoneyWnd::OnTradeFeedChanged() { PostWindowMessage(this, kRefreshMessage); }

bool CMoneyWnd::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kRefreshMessage) {
    const TradeChangeSet set = feed_->Take(this);
    if (set.reload || set.funds) Refresh();
    return true;
  }
  return QWidget::event(e);
}

std::vector<int> CMoneyWnd::VisibleCells() const {
  std::vector<int> shown = ShownFundsCells(cells_);
  const int room = std::max(0, width() - SettingsRect().width());
  const std::size_t fit = static_cast<std::size_t>(room / std::max(1, CellWidth()));
  if (shown.size() > fit) shown.resize(fit);
  return shown;
}

QRect CMoneyWnd::CellRect(int position) const { return QRect(position * CellWidth(), 0, CellWidth(), height()); }

QRect CMoneyWnd::SettingsRect() const {
  const int w = ui::Scaled(22);
  return QRect(width() - w, 0, w, height());
}

void CMoneyWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const ui::ThemeColors& theme = ui::Theme();
  p.fillRect(rect(), theme.background);
  const std::vector<int> shown = VisibleCells();
  const QFont label = ui::UiFont(8.5);
  const QFont value = ui::MonoFont(9.5, QFont::DemiBold);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const QRect r = CellRect(static_cast<int>(i));
    const QRect top(r.left(), r.top() + ui::Scaled(2), r.width(), r.height() / 2 - ui::Scaled(2));
    const QRect bottom(r.left(), r.top() + r.height() / 2, r.width(), r.height() / 2 - ui::Scaled(2));
    p.setFont(label);
    p.setPen(theme.hint);
    p.drawText(top, Qt::AlignCenter, ui::ToQString(FundsCellLabel(shown[i])));
    const FundsCellValue v = FundsCellText(shown[i], funds_);
    p.setFont(value);
    p.setPen(ui::FromColorref(v.color));
    p.drawText(bottom, Qt::AlignCenter, ui::ToQString(v.text));
    if (shown[i] == kFundsAccountCell) {  // it opens the account list
      p.setPen(QPen(theme.border, 1, Qt::DotLine));
      p.drawLine(bottom.left() + ui::Scaled(14), bottom.bottom(), bottom.right() - ui::Scaled(14), bottom.bottom());
    }
    p.setPen(theme.border);
    p.drawLine(r.right(), r.top() + ui::Scaled(6), r.right(), r.bottom() - ui::Scaled(6));
  }
  // The settings icon: three short bars.
  const QRect s = SettingsRect();
  p.setPen(QPen(theme.text, ui::Scaled(2), Qt::SolidLine, Qt::RoundCap));
  const int cx = s.center().x(), cy = s.center().y(), half = ui::Scaled(5);
  for (int dy : {-5, 0, 5}) p.drawLine(cx - half, cy + ui::Scaled(dy), cx + half, cy + ui::Scaled(dy));
}

QMenu* CMoneyWnd::BuildAccountMenu() {
  accounts_.clear();
  if (ITradeApi* api = GetTradeApi()) api->GetAccounts(accounts_);
  if (accounts_.size() <= 1) return nullptr;
  auto* menu = new QMenu(this);
  for (std::size_t i = 0; i < accounts_.size(); ++i) {
    QAction* a = menu->addAction(ui::ToQString(accounts_[i]));
    const int id = kAccountItemBase + static_cast<int>(i);
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, id] { ChooseAccount(id); });
  }
  return menu;
}

void CMoneyWnd::ChooseAccount(int itemId) {
  const int index = itemId - kAccountItemBase;
  if (index < 0 || index >= static_cast<int>(accounts_.size())) return;
  if (ITradeApi* api = GetTradeApi()) api->SetCurrentAccount(accounts_[static_cast<std::size_t>(index)]);
  Refresh();
}

void CMoneyWnd::ChooseCells() {
  CDlgFundsCells d(cells_, this);
  const int result = runDialog ? runDialog(d) : d.exec();
  if (result != QDialog::Accepted) return;
  cells_ = d.Chosen();
  SaveFundsCellList(cells_);
  updateGeometry();
  update();
}

void CMoneyWnd::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint pos = e->position().toPoint();
  if (SettingsRect().contains(pos)) {
    ChooseCells();
    return;
  }
  const std::vector<int> shown = VisibleCells();
  const int position = pos.x() / std::max(1, CellWidth());
  if (position < static_cast<int>(shown.size()) && shown[static_cast<std::size_t>(position)] == kFundsAccountCell) {
    if (QMenu* menu = BuildAccountMenu()) {
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->popup(mapToGlobal(CellRect(position).bottomLeft()));
    }
  }
}

// ---- cell choice -------------------------------------------------------------------------------

CDlgFundsCells::CDlgFundsCells(const std::vector<int>& cells, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("资金栏目设置")) {
  auto* layout = new QHBoxLayout(Body());
  layout->setContentsMargins(ui::Scaled(12), ui::Scaled(10), ui::Scaled(12), ui::Scaled(10));
  list = new QListWidget(Body());
  list->setMinimumSize(ui::Scaled(180), ui::Scaled(320));
  // The shown cells first, in their order, then the others.
  std::vector<int> order = ShownFundsCells(cells);
  for (int i = 0; i < kFundsCellCount; ++i)
    if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
  const std::vector<int> shown = ShownFundsCells(cells);
  for (int index : order) {
    auto* item = new QListWidgetItem(ui::ToQString(FundsCellLabel(index)), list);
    item->setData(Qt::UserRole, index);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(std::find(shown.begin(), shown.end(), index) != shown.end() ? Qt::Checked : Qt::Unchecked);
  }
  list->setCurrentRow(0);
  layout->addWidget(list);
  auto* side = new QVBoxLayout;
  auto* up = new QPushButton(QStringLiteral("上移"), Body());
  auto* down = new QPushButton(QStringLiteral("下移"), Body());
  connect(up, &QPushButton::clicked, this, &CDlgFundsCells::MoveUp);
  connect(down, &QPushButton::clicked, this, &CDlgFundsCells::MoveDown);
  side->addWidget(up);
  side->addWidget(down);
  side->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, Body());
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOk(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
  side->addWidget(buttons);
  layout->addLayout(side);
}

std::vector<int> CDlgFundsCells::Chosen() const {
  std::vector<int> out;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->checkState() == Qt::Checked) out.push_back(list->item(i)->data(Qt::UserRole).toInt());
  return out;
}

void CDlgFundsCells::MoveUp() {
  const int row = list->currentRow();
  if (row <= 0) return;
  QListWidgetItem* item = list->takeItem(row);
  list->insertItem(row - 1, item);
  list->setCurrentRow(row - 1);
}

void CDlgFundsCells::MoveDown() {
  const int row = list->currentRow();
  if (row < 0 || row + 1 >= list->count()) return;
  QListWidgetItem* item = list->takeItem(row);
  list->insertItem(row + 1, item);
  list->setCurrentRow(row + 1);
}
