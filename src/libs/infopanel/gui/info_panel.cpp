#include "libs/infopanel/gui/info_panel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "data/quote_data_center.h"
#include "platform/text.h"

namespace tarn::infopanel {

namespace {

QColor ToColor(Colorref c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
QString ToText(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }

}  // namespace

// The panel's window: paints the model's drawing list, rebuilt only when the model or the size
// changed, and turns clicks into commands.
class PanelWindow : public QWidget {
 public:
  PanelWindow(CInfoPanel* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setObjectName(QStringLiteral("InfoPanel"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
  }

  void Detach() { owner_ = nullptr; }

  const PanelView& View() {
    const InfoPanelModel& m = owner_->model_;
    if (builtRevision_ != m.Revision() || view_.width != width() || view_.height != height()) {
      view_ = m.BuildView(width(), height(), RowHeight());
      builtRevision_ = m.Revision();
    }
    return view_;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_) return;
    const PanelView& v = View();
    QPainter p(this);
    p.fillRect(rect(), ToColor(v.background));
    QFont normal = Font();
    QFont bold = normal;
    bold.setBold(true);
    for (const PanelItem& it : v.items) {
      switch (it.kind) {
        case PanelItem::kLine:
          p.setPen(ToColor(it.color));
          p.drawLine(it.x, it.y, it.x + it.w, it.y + it.h);
          break;
        case PanelItem::kFill:
        case PanelItem::kBar:
          p.fillRect(it.x, it.y, it.w, it.h, ToColor(it.color));
          break;
        case PanelItem::kText: {
          p.setFont(it.bold ? bold : normal);
          p.setPen(ToColor(it.color));
          const Qt::Alignment h = it.align == 1 ? Qt::AlignRight : (it.align == 2 ? Qt::AlignHCenter : Qt::AlignLeft);
          p.drawText(QRect(it.x, it.y, it.w, it.h), (h | Qt::AlignVCenter).toInt(), ToText(it.text));
          break;
        }
      }
    }
  }

  void mousePressEvent(QMouseEvent* e) override {
    if (!owner_ || e->button() != Qt::LeftButton) return;
    PanelCommand c;
    const QPoint at = e->position().toPoint();
    if (InfoPanelModel::HitTest(View(), at.x(), at.y(), &c)) owner_->Raise(c);
  }

 private:
  QFont Font() const {
    QFont f = font();
    const PanelFont& pf = owner_->model_.Font();
    if (!pf.family.empty()) f.setFamily(QString::fromStdString(pf.family));
    f.setPixelSize(std::max(pf.pixelSize, 6));
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
  }
  int RowHeight() const { return QFontMetrics(Font()).height() + 4; }

  CInfoPanel* owner_;
  PanelView view_;
  uint64_t builtRevision_ = 0;
};

CInfoPanel::CInfoPanel() = default;

CInfoPanel::~CInfoPanel() { Release(); }

bool CInfoPanel::Create(int x, int y, int width, int height, QWidget* parent) {
  Release();
  window_ = new PanelWindow(this, parent);
  window_->setGeometry(x, y, width, height);
  window_->show();
  return true;
}

void CInfoPanel::Release() {
  if (!window_) return;
  // Deleted once control returns to the event loop: a command handler running inside the
  // window's own mouse event may release the panel.
  window_->Detach();
  window_->hide();
  window_->deleteLater();
  window_ = nullptr;
}

void CInfoPanel::Move(int x, int y, int width, int height) {
  if (window_) window_->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
}

void CInfoPanel::SetLevel(int displayLevel, int depthLevels) {
  model_.SetLevel(displayLevel, depthLevels);
  Redraw();
}

void CInfoPanel::SetContract(const DC_Contract* contract) {
  const DC_Contract c = contract ? *contract : ZeroRecord<DC_Contract>();
  model_.SetContract(c, c.Empty() ? 2 : PriceDecimals(c));
  Redraw();
}

void CInfoPanel::SetQuote(const DC_Quote* quote, const QuoteDetail* trades, int count, int a, int b) {
  (void)a;
  (void)b;
  if (!quote) return;
  model_.SetQuote(*quote, trades, count);
  Redraw();
}

void CInfoPanel::SetInUserBlock(bool in) {
  model_.SetInUserBlock(in);
  Redraw();
}

void CInfoPanel::SetSideBarMode(int on) {
  model_.SetSideBar(on != 0);
  Redraw();
}

void CInfoPanel::Redraw() {
  if (window_) window_->update();
}

void CInfoPanel::SetColors(const PanelColors& colors) {
  model_.SetColors(colors);
  Redraw();
}

void CInfoPanel::SetFont(const PanelFont& font) {
  model_.SetFont(font);
  Redraw();
}

void CInfoPanel::SetFields(const std::vector<int>& fields, bool showDepth, bool showPrice) {
  model_.SetFields(fields, showDepth, showPrice);
  Redraw();
}

void CInfoPanel::SetTallies(const PanelTallies& tallies) {
  model_.SetTallies(tallies);
  Redraw();
}

QWidget* CInfoPanel::Window() const { return window_; }

const PanelView& CInfoPanel::View() {
  static const PanelView empty;
  return window_ ? window_->View() : empty;
}

void CInfoPanel::Raise(const PanelCommand& c) {
  // The receiver may release this panel while handling the command; nothing of it is used after.
  if (sink_) sink_->OnPanelCommand(c);
}

CInfoPanel* CreateInfoPanel() { return new CInfoPanel; }

void DestroyInfoPanel(CInfoPanel* panel) { delete panel; }

}  // namespace tarn::infopanel
