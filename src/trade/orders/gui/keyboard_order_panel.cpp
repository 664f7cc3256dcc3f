#include "trade/orders/gui/keyboard_order_panel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QKeyEvent>
#include <QThread>
#include <QVBoxLayout>

#include "data/quote_data_center.h"
#include "engines/engine_support.h"
#include "engines/gui/engine_widgets.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "tools/tick_tallies.h"
#include "trade/orders/gui/three_key_panel.h"
#include "trade/orders/order_panel_logic.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"

using tarn::ui::Scaled;
using tarn::ui::ToGbk;
using tarn::ui::ToQString;

namespace {
// Every commodity the quote library lists: key "EXCHANGE|COMMODITY", name and code.
struct ProductChoice {
  std::string key, name, code;
};
std::vector<ProductChoice> ListedProducts() {
  std::vector<ProductChoice> out;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return out;
  const int ne = center->GetExchanges(nullptr, 0);
  std::vector<DC_Exchange> exchanges(static_cast<std::size_t>(std::max(ne, 0)));
  const int gotE = center->GetExchanges(exchanges.data(), ne);
  for (int i = 0; i < gotE; ++i) {
    const std::string code(exchanges[static_cast<std::size_t>(i)].Code());
    const int nc = center->GetCommodities(nullptr, 0, code.c_str());
    std::vector<DC_Commodity> list(static_cast<std::size_t>(std::max(nc, 0)));
    const int gotC = center->GetCommodities(list.data(), nc, code.c_str());
    for (int j = 0; j < gotC; ++j) {
      const DC_Commodity& c = list[static_cast<std::size_t>(j)];
      out.push_back({code + "|" + std::string(c.Code()), std::string(c.Display()), std::string(c.Code())});
    }
  }
  return out;
}

CWndKeybordOrderPanel*& Active() {
  static CWndKeybordOrderPanel* panel = nullptr;
  return panel;
}
}  // namespace

// ---- CDlgSetKeybordOrder ---------------------------------------------------------------------

CDlgSetKeybordOrder::CDlgSetKeybordOrder(const tarn::KeyOrderTable& table, QWidget* parent)
    : tarn::ui::Dialog(parent, QStringLiteral("快捷下单设置")), table_(table) {
  auto* root = new QVBoxLayout(Body());
  root->setContentsMargins(Scaled(12), Scaled(10), Scaled(12), Scaled(10));
  root->setSpacing(Scaled(8));
  // Products and their default quantities.
  auto* productRow = new QHBoxLayout;
  product = new QComboBox(Body());
  product->addItem(QString());
  productKeys_.push_back(std::string());
  for (const ProductChoice& p : ListedProducts()) {
    product->addItem(ToQString(p.name + " (" + p.code + ")"));
    productKeys_.push_back(p.key);
  }
  productQuantity = tarn::ui::MakeNumberEdit(Body(), 60);
  productRow->addWidget(new QLabel(QStringLiteral("品种"), Body()));
  productRow->addWidget(product, 1);
  productRow->addWidget(new QLabel(QStringLiteral("下单默认量"), Body()));
  productRow->addWidget(productQuantity);
  productRow->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("添加"), [this] { AddProduct(); }));
  productRow->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("删除"), [this] { RemoveProduct(); }));
  root->addLayout(productRow);
  products = tarn::ui::MakeListTable(Body(), {TXT("品种名称"), TXT("品种代码"), TXT("下单默认量")}, 2);
  products->setMinimumHeight(Scaled(120));
  root->addWidget(products);
  // Key bindings.
  auto* bindingRow = new QHBoxLayout;
  key = new QLineEdit(Body());
  key->setMaxLength(4);
  key->setFixedWidth(Scaled(40));
  auto combo = [this](std::initializer_list<const std::string*> texts) {
    auto* c = new QComboBox(Body());
    for (const std::string* t : texts) c->addItem(ToQString(*t));
    c->setCurrentIndex(-1);
    return c;
  };
  action = combo({&tarn::KeyActionText(0), &tarn::KeyActionText(1), &tarn::KeyActionText(2)});
  offset = combo({&tarn::KeyOffsetText(0), &tarn::KeyOffsetText(1), &tarn::KeyOffsetText(2)});
  priceType = combo({&tarn::KeyPriceTypeText(0), &tarn::KeyPriceTypeText(1), &tarn::KeyPriceTypeText(2)});
  ticks = tarn::ui::MakeNumberEdit(Body(), 50);
  ticks->setText(QStringLiteral("0"));
  bindingRow->addWidget(new QLabel(QStringLiteral("快捷键"), Body()));
  bindingRow->addWidget(key);
  bindingRow->addWidget(action);
  bindingRow->addWidget(offset);
  bindingRow->addWidget(priceType);
  bindingRow->addWidget(new QLabel(QStringLiteral("超价(点)"), Body()));
  bindingRow->addWidget(ticks);
  bindingRow->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("添加"), [this] { AddBinding(); }));
  bindingRow->addWidget(tarn::ui::MakeButton(Body(), QStringLiteral("删除"), [this] { RemoveBinding(); }));
  root->addLayout(bindingRow);
  bindings = tarn::ui::MakeListTable(Body(), {TXT("快捷键"), TXT("动作"), TXT("开平"), TXT("价格类型"), TXT("超价(点)")}, 4);
  bindings->setMinimumHeight(Scaled(120));
  root->addWidget(bindings);
  cancelFirst = new QCheckBox(QStringLiteral("下单前撤销同方向挂单"), Body());
  cancelFirst->setChecked(table_.cancelFirst);
  connect(cancelFirst, &QCheckBox::toggled, this, [this](bool on) { table_.cancelFirst = on; });
  root->addWidget(cancelFirst);
  root->addWidget(tarn::ui::MakeOkCancel(this));
  Fill();
}

void CDlgSetKeybordOrder::Fill() {
  std::map<std::string, ProductChoice> names;
  for (const ProductChoice& p : ListedProducts()) names[p.key] = p;
  std::vector<std::vector<std::string>> rows;
  shownProducts_.clear();
  for (const auto& [k, q] : table_.products) {
    auto it = names.find(k);
    const std::string code = k.substr(k.find('|') == std::string::npos ? 0 : k.find('|') + 1);
    rows.push_back({it == names.end() ? k : it->second.name, code, tarn::FormatC("%d", q)});
    shownProducts_.push_back(k);
  }
  tarn::ui::FillListTable(products, rows);
  rows.clear();
  shownBindings_.clear();
  for (const auto& [k, b] : table_.bindings) {
    rows.push_back({std::string(1, static_cast<char>(k)), tarn::KeyActionText(b.action), tarn::KeyOffsetText(b.offset),
                    tarn::KeyPriceTypeText(b.priceType), tarn::FormatC("%d", b.ticks)});
    shownBindings_.push_back(k);
  }
  tarn::ui::FillListTable(bindings, rows);
}

void CDlgSetKeybordOrder::AddProduct() {
  const int i = product->currentIndex();
  const std::string k = i >= 0 && i < static_cast<int>(productKeys_.size()) ? productKeys_[static_cast<std::size_t>(i)] : "";
  if (const auto error = tarn::AddKeyProduct(table_, k, ToGbk(productQuantity->text()))) {
    tarn::MessageBox(*error);
    return;
  }
  Fill();
}

void CDlgSetKeybordOrder::RemoveProduct() {
  const int row = tarn::ui::SelectedRow(products);
  if (row < 0 || row >= static_cast<int>(shownProducts_.size())) {
    tarn::MessageBox(TXT("请点击选择一条记录"));
    return;
  }
  table_.products.erase(shownProducts_[static_cast<std::size_t>(row)]);
  Fill();
}

void CDlgSetKeybordOrder::AddBinding() {
  if (const auto error = tarn::AddKeyBinding(table_, ToGbk(key->text()), action->currentIndex(), offset->currentIndex(),
                                             priceType->currentIndex(), ToGbk(ticks->text()))) {
    tarn::MessageBox(*error);
    return;
  }
  Fill();
}

void CDlgSetKeybordOrder::RemoveBinding() {
  const int row = tarn::ui::SelectedRow(bindings);
  if (row < 0 || row >= static_cast<int>(shownBindings_.size())) {
    tarn::MessageBox(TXT("请选择一条记录"));
    return;
  }
  table_.bindings.erase(shownBindings_[static_cast<std::size_t>(row)]);
  Fill();
}

namespace tarn {
bool ConfigureKeyOrders(QWidget* parent, const std::function<int(QDialog&)>& run) {
  CDlgSetKeybordOrder dialog(GetKeyOrderTable(), parent);
  const int result = run ? run(dialog) : dialog.exec();
  if (result != QDialog::Accepted) return false;
  if (!ReplaceKeyOrderTable(dialog.Table())) MessageBox(TXT("保存快捷下单设置失败"));
  return true;
}

CWndKeybordOrderPanel* KeyboardOrderPanel() { return Active(); }

namespace {
bool IsTextInput(const QWidget* w) {
  if (!w) return false;
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) return !e->isReadOnly();
  if (const auto* e = qobject_cast<const QTextEdit*>(w)) return !e->isReadOnly();
  if (const auto* e = qobject_cast<const QPlainTextEdit*>(w)) return !e->isReadOnly();
  if (qobject_cast<const QAbstractSpinBox*>(w)) return true;
  if (const auto* c = qobject_cast<const QComboBox*>(w)) return c->isEditable();
  return false;
}
}  // namespace

bool KeyOrderingMayTake() { return !QApplication::activeModalWidget() && !IsTextInput(QApplication::focusWidget()); }

bool DispatchTypedCharacter(uint8_t character) {
  CWndKeybordOrderPanel* panel = Active();
  if (!panel || !VisibleWithParents(panel) || !KeyOrderingMayTake()) return false;
  return panel->Dispatch(character);
}
}  // namespace tarn

// ---- CWndKeybordOrderPanel -------------------------------------------------------------------

CWndKeybordOrderPanel::CWndKeybordOrderPanel(QWidget* parent) : tarn::OrderPanelBase(parent) {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(Scaled(8), Scaled(6), Scaled(8), Scaled(6));
  root->setSpacing(Scaled(6));
  root->addWidget(selector);
  auto* form = new QFormLayout;
  multiplier = tarn::ui::MakeNumberEdit(this, 60);
  multiplier->setText(QStringLiteral("1.0"));
  connect(multiplier, &QLineEdit::textChanged, this, [this] { Refresh(); });
  auto* mRow = new QHBoxLayout;
  mRow->addWidget(multiplier, 1);
  mRow->addWidget(tarn::PanelButton(this, QStringLiteral("▲"), [this] { StepMultiplier(1.0); }, 24));
  mRow->addWidget(tarn::PanelButton(this, QStringLiteral("▼"), [this] { StepMultiplier(-1.0); }, 24));
  form->addRow(QStringLiteral("倍数"), mRow);
  quantity = new QLabel(this);
  form->addRow(QStringLiteral("下单量"), quantity);
  root->addLayout(form);
  ask = new QLabel(this);
  bid = new QLabel(this);
  ask->setFont(tarn::ui::MonoFont(9));
  bid->setFont(tarn::ui::MonoFont(9));
  root->addWidget(ask);
  root->addWidget(bid);
  enable = new QPushButton(QStringLiteral("启用键盘下单"), this);
  enable->setCheckable(true);
  enable->setMinimumHeight(Scaled(34));
  connect(enable, &QPushButton::clicked, this, [this] { ToggleEnabled(); });
  root->addWidget(enable);
  auto* actions = new QHBoxLayout;
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("配置"), [this] {
    tarn::ConfigureKeyOrders(this, runDialog);
    Refresh();
  }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全平"), [this] { tarn::CloseAllOf(Contract()); }));
  actions->addWidget(tarn::PanelButton(this, QStringLiteral("全撤"), [] { tarn::CancelWorkingOrders(0); }));
  root->addLayout(actions);
  root->addWidget(status);
  root->addStretch(1);
  Active() = this;
  Refresh();
  Start();
}

CWndKeybordOrderPanel::~CWndKeybordOrderPanel() {
  Stop();
  if (Active() == this) Active() = nullptr;
}

double CWndKeybordOrderPanel::Multiplier() const { return tarn::ParseDecimalText(ToGbk(multiplier->text())); }

void CWndKeybordOrderPanel::StepMultiplier(double delta) {
  multiplier->setText(ToQString(tarn::FormatC("%.1f", std::max(0.0, Multiplier() + delta))));
}

void CWndKeybordOrderPanel::ToggleEnabled() {
  tarn::KeyOrderTable& t = tarn::GetKeyOrderTable();
  t.enabled = !t.enabled;
  Refresh();
}

bool CWndKeybordOrderPanel::Dispatch(uint8_t character) {
  tarn::KeyboardPanelState state;
  state.contract = Contract();
  state.multiplier = Multiplier();
  const tarn::DispatchWait w = wait ? wait : [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
  const tarn::DispatchResult r = tarn::DispatchKeyOrder(tarn::GetKeyOrderTable(), state, character, w);
  if (r.handled) {
    SetStatus(r.status);
    Refresh();
  }
  return r.handled;
}

void CWndKeybordOrderPanel::Refresh() {
  const DC_Contract& c = Contract();
  const tarn::KeyOrderTable& t = tarn::GetKeyOrderTable();
  quantity->setText(ToQString(tarn::FormatC(
      "%lld", static_cast<long long>(tarn::KeyOrderQuantity(tarn::ProductDefault(t, c), Multiplier())))));
  tarn::ShowBook(ask, bid, Quote(), c, Decimals());
  enable->setChecked(t.enabled);
}

