#include "tools/gui/dlg_tick_statistic.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/window_message.h"

namespace {

QTreeWidget* MakeList(const std::vector<std::string>& columns, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  QStringList headers;
  for (const std::string& c : columns) headers << tarn::ui::ToQString(c);
  list->setHeaderLabels(headers);
  list->header()->setDefaultAlignment(Qt::AlignCenter);
  list->header()->setStretchLastSection(false);
  const int wide = columns.size() > 8 ? 72 : 96;  // the slices' 14 columns fit the dialog's width
  for (int i = 0; i < list->columnCount(); ++i) list->setColumnWidth(i, tarn::ui::Scaled(i == 0 ? 72 : wide));
  return list;
}

QDateTimeEdit* MakePicker(QWidget* parent) {
  auto* p = new QDateTimeEdit(parent);
  p->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  p->setTimeSpec(Qt::LocalTime);
  return p;
}

}  // namespace

CDlgTickStatistic::CDlgTickStatistic(const DC_Contract& contract, QWidget* parent)
    : tarn::ui::Dialog(parent), contract_(contract), decimals_(PriceDecimals(contract)),
      summary_(tarn::InitialSpanSummary()) {
  SetTitle(tarn::ui::ToQString(TXT("当日逐笔数据统计分析 - ") + std::string(contract.Name())));
  auto* root = new QVBoxLayout(Body());
  const int m = tarn::ui::Scaled(10);
  root->setContentsMargins(m, m, m, m);
  root->setSpacing(tarn::ui::Scaled(8));

  auto* inputs = new QGridLayout;
  inputs->setHorizontalSpacing(tarn::ui::Scaled(8));
  auto label = [this](const QString& text) { return new QLabel(text, Body()); };
  quantity = new QSpinBox(Body());
  quantity->setRange(0, 1000000);
  quantity->setValue(100);
  oiChange = new QSpinBox(Body());
  oiChange->setRange(0, 1000000);
  oiChange->setValue(100);
  sliceMinutes = new QSpinBox(Body());
  sliceMinutes->setRange(1, 1440);
  sliceMinutes->setValue(1);
  side = new QComboBox(Body());
  for (const std::string& t : tarn::SideFilterTexts()) side->addItem(tarn::ui::ToQString(t));
  cls = new QComboBox(Body());
  for (const std::string& t : tarn::TickClassFilterTexts()) cls->addItem(tarn::ui::ToQString(t));
  from = MakePicker(Body());
  to = MakePicker(Body());
  filterButton = new QPushButton(QStringLiteral("筛选"), Body());
  filterButton->setDefault(true);
  inputs->addWidget(label(QStringLiteral("现手≥")), 0, 0);
  inputs->addWidget(quantity, 0, 1);
  inputs->addWidget(label(QStringLiteral("增仓≥")), 0, 2);
  inputs->addWidget(oiChange, 0, 3);
  inputs->addWidget(label(QStringLiteral("方向")), 0, 4);
  inputs->addWidget(side, 0, 5);
  inputs->addWidget(label(QStringLiteral("开平")), 0, 6);
  inputs->addWidget(cls, 0, 7);
  inputs->addWidget(label(QStringLiteral("切片(分钟)")), 1, 0);
  inputs->addWidget(sliceMinutes, 1, 1);
  inputs->addWidget(label(QStringLiteral("从")), 1, 2);
  inputs->addWidget(from, 1, 3);
  inputs->addWidget(label(QStringLiteral("到")), 1, 4);
  inputs->addWidget(to, 1, 5);
  inputs->addWidget(filterButton, 1, 7);
  root->addLayout(inputs);

  tabs = new QTabWidget(Body());
  bigList = MakeList(tarn::BigOrderColumns(), tabs);
  sliceList = MakeList(tarn::SliceColumns(), tabs);
  tabs->addTab(bigList, tarn::ui::ToQString(TXT("大单筛选")));
  tabs->addTab(sliceList, tarn::ui::ToQString(TXT("切片分析")));
  root->addWidget(tabs, 1);

  auto* sums = new QHBoxLayout;
  spanLabel = new QLabel(Body());
  countLabel = new QLabel(Body());
  totalLabel = new QLabel(Body());
  averageLabel = new QLabel(Body());
  shareLabel = new QLabel(Body());
  progressLabel = new QLabel(Body());
  for (QLabel* l : {spanLabel, countLabel, totalLabel, averageLabel, shareLabel}) {
    l->setFont(tarn::ui::MonoFont(9.0));
    sums->addWidget(l);
  }
  sums->addStretch(1);
  sums->addWidget(progressLabel);
  root->addLayout(sums);
  ShowSummary();
  setMinimumSize(tarn::ui::Scaled(900), tarn::ui::Scaled(520));

  connect(filterButton, &QPushButton::clicked, this, [this] { RunFilter(); });
  connect(tabs, &QTabWidget::currentChanged, this, [this](int) { ShowSummary(); });
  connect(from, &QDateTimeEdit::dateTimeChanged, this, [this] {
    if (!settingPickers_) fromSet_ = true;
  });
  connect(to, &QDateTimeEdit::dateTimeChanged, this, [this] {
    if (!settingPickers_) toSet_ = true;
  });

  // The contract's quotes tell of new ticks; the first computation covers the whole day.
  Subscribe(contract_);
  ReloadTicks();
  if (!day_.empty()) Start(day_.front().time, day_.back().time);
}

CDlgTickStatistic::~CDlgTickStatistic() {
  Detach();
  StopWorker();
}

void CDlgTickStatistic::StopWorker() {
  // A worker still running is asked to stop at its next row and waited for (it holds only
  // copies, so this is quick); it is never killed in the middle of its work.
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  cancel_ = false;
}

tarn::TickFilterInputs CDlgTickStatistic::Inputs() const {
  tarn::TickFilterInputs in;
  in.quantityThreshold = quantity->value();
  in.oiThreshold = oiChange->value();
  in.sliceMinutes = sliceMinutes->value();
  in.sideFilter = side->currentIndex();
  in.classFilter = cls->currentIndex();
  in.tab = tabs->currentIndex();
  return in;
}

void CDlgTickStatistic::ReloadTicks() {
  reloadPosted_ = false;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return;
  std::vector<TickRecord> delivered;
  center->GetTicks(Handle(), delivered, &contract_);
  day_ = tarn::DayTicks(delivered);
  if (day_.empty()) return;
  settingPickers_ = true;
  if (!fromSet_) from->setDateTime(QDateTime::fromSecsSinceEpoch(day_.front().time));
  if (!toSet_) to->setDateTime(QDateTime::fromSecsSinceEpoch(day_.back().time));
  settingPickers_ = false;
}

void CDlgTickStatistic::RunFilter() {
  if (Running()) return;
  userRun_ = true;
  Start(from->dateTime().toSecsSinceEpoch(), to->dateTime().toSecsSinceEpoch());
}

void CDlgTickStatistic::Start(int64_t spanFrom, int64_t spanTo) {
  StopWorker();
  SetControlsEnabled(false);
  progressLabel->clear();
  spanFrom_ = spanFrom;
  spanTo_ = spanTo;
  finished_ = false;
  tarn::Lock lock(mutex_);
  worker_ = std::thread([this, day = day_, in = Inputs(), spanFrom, spanTo] {
    tarn::TickStatisticResult r = tarn::RunTickStatistic(day, spanFrom, spanTo, in, [this](std::size_t rows) {
      if (cancel_) return false;
      tarn::PostWindowMessage(this, kMsgRowAdded, static_cast<intptr_t>(rows));
      return true;
    });
    const bool cancelled = r.cancelled;
    const bool failed = r.failed;
    {
      tarn::Lock resultLock(mutex_);
      result_ = std::move(r);
    }
    finished_ = true;
    if (!cancelled) tarn::PostWindowMessage(this, kMsgDone, failed ? -1 : 0);
  });
}

void CDlgTickStatistic::SetControlsEnabled(bool on) {
  filterButton->setEnabled(on);
  for (QWidget* w : std::initializer_list<QWidget*>{quantity, oiChange, sliceMinutes, side, cls, from, to}) {
    w->setEnabled(on);
  }
  tabs->tabBar()->setEnabled(on);
}

void CDlgTickStatistic::TakeResult(int outcome) {
  if (worker_.joinable()) worker_.join();
  SetControlsEnabled(true);
  if (outcome == -1) {
    bigList->clear();
    sliceList->clear();
    {
      tarn::Lock lock(mutex_);
      result_ = tarn::TickStatisticResult{};
      result_.tab = tabs->currentIndex();
    }
    ShowSummary();
    // The automatic first run over the whole day uses no criteria the user chose: nothing is
    // asked of them then.
    if (userRun_) tarn::MessageBox(TXT("请重新选取筛选标准"), TXT("温馨提示"));
    return;
  }
  Fill();
  ShowSummary();
}

void CDlgTickStatistic::Fill() {
  tarn::Lock lock(mutex_);
  QTreeWidget* list = result_.tab == 0 ? bigList : sliceList;
  list->setUpdatesEnabled(false);
  list->clear();
  QList<QTreeWidgetItem*> items;
  auto add = [&](const std::vector<std::string>& texts) {
    auto* item = new QTreeWidgetItem;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      item->setText(static_cast<int>(i), tarn::ui::ToQString(texts[i]));
      item->setTextAlignment(static_cast<int>(i), Qt::AlignRight | Qt::AlignVCenter);
    }
    items.push_back(item);
  };
  if (result_.tab == 0) {
    for (const tarn::BigOrderRow& row : result_.bigOrders) add(tarn::BigOrderRowTexts(row, decimals_));
  } else {
    for (const tarn::SliceRow& row : result_.slices) add(tarn::SliceRowTexts(row, decimals_));
  }
  list->addTopLevelItems(items);
  list->setUpdatesEnabled(true);
}

void CDlgTickStatistic::ShowSummary() {
  {
    tarn::Lock lock(mutex_);
    const std::size_t rows = result_.tab == 0 ? result_.bigOrders.size() : result_.slices.size();
    if (spanFrom_ != 0 || spanTo_ != 0) {
      summary_ = tarn::MakeSpanSummary(spanFrom_, spanTo_, !day_.empty(), day_.empty() ? 0 : day_.back().time,
                                       result_.resultTicks, result_.resultLots, rows, result_.dayLots);
    }
  }
  spanLabel->setText(tarn::ui::ToQString(summary_.span));
  countLabel->setText(tarn::ui::ToQString(summary_.count));
  totalLabel->setText(tarn::ui::ToQString(summary_.total));
  averageLabel->setText(tarn::ui::ToQString(summary_.average));
  shareLabel->setText(tarn::ui::ToQString(summary_.share));
}

void CDlgTickStatistic::OnOk() { RunFilter(); }

int CDlgTickStatistic::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  if (quote && quote->contract.SameKey(contract_) && !reloadPosted_.exchange(true)) {
    tarn::PostWindowMessage(this, kMsgTicksChanged);
  }
  return 0;
}

void CDlgTickStatistic::OnTickData(const DC_Contract* record) {
  if (record && record->SameKey(contract_) && !reloadPosted_.exchange(true)) {
    tarn::PostWindowMessage(this, kMsgTicksChanged);
  }
}

bool CDlgTickStatistic::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kMsgRowAdded:
      progressLabel->setText(QString::number(static_cast<tarn::WindowMessage*>(e)->WParam()));
      return true;
    case kMsgDone:
      TakeResult(static_cast<int>(static_cast<tarn::WindowMessage*>(e)->WParam()));
      return true;
    case kMsgTicksChanged:
      ReloadTicks();
      return true;
    default:
      return tarn::ui::Dialog::event(e);
  }
}
