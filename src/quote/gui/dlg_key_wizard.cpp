#include "quote/gui/dlg_key_wizard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include "libs/indicators/formula_manager.h"
#include "data/quote_data_center.h"
#include "quote/keyboard_commands.h"
#include "ui/fonts.h"
#include "ui/text_qt.h"
#include "ui/theme.h"

namespace {

QPointer<CDlgKeyWizard>& InstanceSlot() {
  static QPointer<CDlgKeyWizard> wizard;
  return wizard;
}

// Design units: the list starts 23 below the top, the edit is 30 high, the close box 20 by 16.
constexpr int kListTop = 23;
constexpr int kEditHeight = 30;
constexpr int kMargin = 3;

}  // namespace

CDlgKeyWizard* CDlgKeyWizard::Instance() { return InstanceSlot().data(); }

CDlgKeyWizard* CDlgKeyWizard::Ensure(QWidget* view) {
  if (!InstanceSlot()) new CDlgKeyWizard(view);
  return InstanceSlot().data();
}

CDlgKeyWizard::CDlgKeyWizard(QWidget* view)
    : QWidget(view, Qt::Tool | Qt::FramelessWindowHint), view_(view) {
  using tarn::ui::Scaled;
  setObjectName(QString::number(kTemplateId));
  const QFont font = tarn::ui::UiFont(10.5, 550);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kEditId));
  edit_->setFont(font);
  edit_->setFrame(true);
  list_ = new QListWidget(this);
  list_->setObjectName(QString::number(kListId));
  list_->setFont(font);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(edit_, &QLineEdit::textChanged, this, [this] { Search(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
    PickCurrent();
    HideWizard();
  });
  resize(Scaled(300), Scaled(340));
  Relayout();
  InstanceSlot() = this;
  qApp->installEventFilter(this);
  // The index is built once, right after the window exists (timer 1, period 0).
  buildTimer_.setSingleShot(true);
  buildTimer_.setInterval(0);
  connect(&buildTimer_, &QTimer::timeout, this, [this] { BuildIndex(); });
  buildTimer_.start();
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

CDlgKeyWizard::~CDlgKeyWizard() {
  qApp->removeEventFilter(this);
  if (InstanceSlot() == this) InstanceSlot() = nullptr;
}

QRect CDlgKeyWizard::CloseBox() const {
  using tarn::ui::Scaled;
  return QRect(width() - Scaled(20) - Scaled(kMargin), Scaled(kMargin), Scaled(20), Scaled(16));
}

void CDlgKeyWizard::Relayout() {
  using tarn::ui::Scaled;
  const int editTop = height() - kMargin - Scaled(kEditHeight);
  edit_->setGeometry(kMargin, editTop, width() - 2 * kMargin, Scaled(kEditHeight));
  const int listTop = Scaled(kListTop);
  list_->setGeometry(kMargin, listTop, width() - 2 * kMargin, std::max(0, editTop - kMargin - listTop));
}

void CDlgKeyWizard::resizeEvent(QResizeEvent*) { Relayout(); }

void CDlgKeyWizard::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  p.fillRect(rect(), tarn::ui::PanelColor());
  p.fillRect(QRect(0, 0, width(), tarn::ui::Scaled(kListTop) - 1), t.menuBar);
  p.setPen(t.border);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  // The close box: a cross.
  const QRect box = CloseBox();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(t.text, 1.4));
  const int d = std::min(box.width(), box.height()) / 4;
  const QPoint c = box.center();
  p.drawLine(c + QPoint(-d, -d), c + QPoint(d, d));
  p.drawLine(c + QPoint(-d, d), c + QPoint(d, -d));
}

void CDlgKeyWizard::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && CloseBox().contains(e->position().toPoint())) HideWizard();
}

void CDlgKeyWizard::HideWizard() { hide(); }

bool CDlgKeyWizard::IsOwnControl(QObject* o) const {
  auto* w = qobject_cast<QWidget*>(o);
  return w && (w == edit_ || w == list_ || edit_->isAncestorOf(w) || list_->isAncestorOf(w));
}

// ---- the index and the search -----------------------------------------------------------------

void CDlgKeyWizard::BuildIndex() {
  buildTimer_.stop();
  tarn::FormulaManager& formulas = tarn::FormulaManager::Instance();
  std::vector<tarn::IndicatorEntry> indicators = formulas.Indicators();
  // Nobody has read the formula files yet: read them now, so that indicators can be typed.
  if (indicators.empty()) {
    formulas.Load();
    indicators = formulas.Indicators();
  }
  index_.Build(indicators, tarn::KeyboardCommandList(), GetQuoteDataCenter());
  built_ = true;
  // Text typed before the index existed is searched again.
  if (!edit_->text().isEmpty()) Search();
}

void CDlgKeyWizard::Search() {
  list_->clear();
  const std::string typed = tarn::ui::ToGbk(edit_->text());
  if (typed.empty()) return;
  const tarn::ui::ThemeColors& t = tarn::ui::Theme();
  for (int row : index_.Search(typed, GetQuoteDataCenter())) {
    const tarn::WizardItem& entry = index_.At(static_cast<std::size_t>(row));
    auto* item = new QListWidgetItem(tarn::ui::ToQString(entry.display), list_);
    item->setData(Qt::UserRole, row);
    item->setForeground(entry.kind == tarn::kWizardIndicator ? t.text
                        : entry.kind == tarn::kWizardContract ? t.quote
                                                              : t.unchanged);
  }
  if (list_->count() > 0) list_->setCurrentRow(0);
}

void CDlgKeyWizard::PickCurrent() {
  QListWidgetItem* current = list_->count() > 0 ? list_->currentItem() : nullptr;
  if (current && notify_) {
    const int row = current->data(Qt::UserRole).toInt();
    if (row >= 0 && static_cast<std::size_t>(row) < index_.Size()) {
      IKeyWizardNotify* target = notify_;
      target->OnKeyWizardItem(index_.At(static_cast<std::size_t>(row)));
      QWidget* window = target->KeyWizardFocusWindow();
      QWidget* focus = QApplication::focusWidget();
      if (window && !(focus && (focus == window || window->isAncestorOf(focus)))) {
        window->activateWindow();
        window->setFocus();
      }
    }
  }
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

// ---- keys and mouse ---------------------------------------------------------------------------

void CDlgKeyWizard::OpenAtView() {
  using tarn::ui::Scaled;
  QRect area;
  if (view_) area = QRect(view_->mapToGlobal(QPoint(0, 0)), view_->size());
  else if (QScreen* s = QGuiApplication::primaryScreen()) area = s->availableGeometry();
  move(area.x() + area.width() - Scaled(4) - width(), area.y() + area.height() - Scaled(34) - height());
  show();
  raise();
  activateWindow();
  edit_->clear();
}

bool CDlgKeyWizard::HandleKey(QObject* target, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return false;
  auto* k = static_cast<QKeyEvent*>(e);
  const bool own = IsOwnControl(target);
  if (own) {
    switch (k->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        PickCurrent();
        HideWizard();
        return true;
      case Qt::Key_Escape:
        HideWizard();
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
        list_->setFocus();
        if (target == list_) return false;  // the list moves its selection itself
        {
          QKeyEvent copy(QEvent::KeyPress, k->key(), k->modifiers(), k->text());
          QCoreApplication::sendEvent(list_, &copy);
        }
        return true;
      default: break;
    }
  }
  // Characters.
  const QList<uint> chars = k->text().toUcs4();
  if (chars.isEmpty()) return false;
  const char32_t ch = chars.front();
  if (ch == 8 || ch == 27) return false;
  if (own || ch == 3) {
    if (target == edit_ || edit_->hasFocus()) return false;  // the edit types it itself
  } else {
    // Shortcuts with Ctrl, Alt or Meta are no typing.
    if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (!tarn::OpensKeyWizard(ch)) return false;
    OpenAtView();
  }
  edit_->setFocus();
  QKeyEvent copy(QEvent::KeyPress, k->key(), k->modifiers(), k->text());
  QCoreApplication::sendEvent(edit_, &copy);
  return true;
}

bool CDlgKeyWizard::eventFilter(QObject* watched, QEvent* e) {
  const QEvent::Type type = e->type();
  if (type == QEvent::KeyPress && IsOwnControl(watched)) return HandleKey(watched, e);
  if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && isVisible()) {
    auto* m = static_cast<QMouseEvent*>(e);
    const bool hides = (type == QEvent::MouseButtonPress && m->button() == Qt::LeftButton) ||
                       (type == QEvent::MouseButtonDblClick && m->button() == Qt::RightButton);
    if (hides && !IsOwnControl(watched)) {
      // A press the edit or list passed up to the wizard itself is still theirs.
      const bool fromOwn = watched == this && IsOwnControl(childAt(mapFromGlobal(m->globalPosition().toPoint())));
      if (!fromOwn) HideWizard();
    }
  }
  return false;
}
