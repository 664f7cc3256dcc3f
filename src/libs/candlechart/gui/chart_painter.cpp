#include "libs/candlechart/gui/chart_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/text.h"

namespace tarn::candlechart {

namespace {

QColor Qc(Colorref c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QString Text(const std::string& gbk) { return QString::fromUtf8(GbkToUtf8(gbk)); }

Qt::PenStyle Style(Dash d) {
  switch (d) {
    case Dash::Dot: return Qt::DotLine;
    case Dash::Dash: return Qt::DashLine;
    default: return Qt::SolidLine;
  }
}

QPen Pen(Colorref c, int thickness, Dash d) {
  QPen pen(Qc(c));
  pen.setWidth(thickness);
  pen.setStyle(Style(d));
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

void PaintCandles(QPainter& p, const SceneCandles& c) {
  const QColor color = Qc(c.color);
  const float half = c.bodyWidth / 2;
  p.setPen(QPen(color, 1));
  const std::size_t n = c.xs.size();
  if (c.bodyWidth <= 1.5f) {
    for (std::size_t i = 0; i < n; ++i) p.drawLine(QPointF(c.xs[i], c.high[i]), QPointF(c.xs[i], c.low[i]));
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const float top = std::min(c.open[i], c.close[i]);
    const float bottom = std::max(c.open[i], c.close[i]);
    const float x = std::round(c.xs[i]);
    if (c.hollow) {
      p.drawLine(QPointF(x, c.high[i]), QPointF(x, top));
      p.drawLine(QPointF(x, bottom), QPointF(x, c.low[i]));
      p.drawRect(QRectF(x - half, top, c.bodyWidth - 1, std::max(1.0f, bottom - top)));
    } else {
      p.drawLine(QPointF(x, c.high[i]), QPointF(x, c.low[i]));
      p.fillRect(QRectF(x - half, top, c.bodyWidth, std::max(1.0f, bottom - top)), color);
    }
  }
}

void PaintMarker(QPainter& p, const SceneMarker& m) {
  const QColor color = Qc(m.color);
  switch (m.kind) {
    case SceneMarker::kCircle:
      p.setPen(QPen(color, 1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(m.x, m.y), 2.5, 2.5);
      break;
    case SceneMarker::kPoint:
      p.fillRect(QRectF(m.x - 1, m.y - 1, 2, 2), color);
      break;
    case SceneMarker::kCross:
      p.setPen(QPen(color, 1));
      p.drawLine(QPointF(m.x - 3, m.y - 3), QPointF(m.x + 3, m.y + 3));
      p.drawLine(QPointF(m.x - 3, m.y + 3), QPointF(m.x + 3, m.y - 3));
      break;
    case SceneMarker::kArrowHead: {
      const double len = std::hypot(m.dx, m.dy);
      if (len < 1e-3) break;
      const double ux = m.dx / len, uy = m.dy / len;
      QPainterPath path;
      path.moveTo(m.x, m.y);
      path.lineTo(m.x - ux * 10 - uy * 5, m.y - uy * 10 + ux * 5);
      path.lineTo(m.x - ux * 10 + uy * 5, m.y - uy * 10 - ux * 5);
      path.closeSubpath();
      p.fillPath(path, color);
      break;
    }
    case SceneMarker::kIcon: {
      // 1 an up arrow (buy), 2 a down arrow (sell), others a filled circle.
      QPainterPath path;
      if (m.icon == 1) {
        path.moveTo(m.x, m.y - 8);
        path.lineTo(m.x - 5, m.y);
        path.lineTo(m.x + 5, m.y);
      } else if (m.icon == 2) {
        path.moveTo(m.x, m.y + 8);
        path.lineTo(m.x - 5, m.y);
        path.lineTo(m.x + 5, m.y);
      } else {
        path.addEllipse(QPointF(m.x, m.y), 4, 4);
      }
      path.closeSubpath();
      p.fillPath(path, m.icon == 1 ? QColor(255, 60, 60) : m.icon == 2 ? QColor(0, 200, 0) : color);
      break;
    }
  }
}

}  // namespace

QFont ChartFont(int pixels) {
  QFont f(QStringLiteral("WenQuanYi Micro Hei"));
  f.setPixelSize(pixels);
  return f;
}

std::function<int(const std::string&)> ChartTextMeasure(const QFont& font) {
  auto metrics = std::make_shared<QFontMetrics>(font);
  return [metrics](const std::string& s) { return metrics->horizontalAdvance(Text(s)); };
}

void PaintLayer(QPainter& p, const ChartLayer& layer, const QFont& font) {
  for (const SceneRect& r : layer.rects) {
    if (r.filled) {
      p.fillRect(r.x, r.y, r.w, r.h, Qc(r.color));
    } else {
      p.setPen(QPen(Qc(r.color), 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.x, r.y, std::max(0, r.w - 1), std::max(0, r.h - 1));
    }
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  for (const SceneCandles& c : layer.candles) PaintCandles(p, c);
  for (const SceneLine& l : layer.lines) {
    // A far-off price can map to a far-off (or infinite) pixel: such lines are not drawn.
    if (!(std::fabs(l.x1) < 1e6f && std::fabs(l.y1) < 1e6f && std::fabs(l.x2) < 1e6f && std::fabs(l.y2) < 1e6f))
      continue;
    p.setPen(Pen(l.color, l.thickness, l.dash));
    p.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  std::vector<QPointF> points;
  for (const ScenePolyline& pl : layer.polylines) {
    p.setPen(Pen(pl.color, pl.thickness, pl.dash));
    points.clear();
    for (std::size_t i = 0; i < pl.xs.size(); ++i) {
      if (!(std::fabs(pl.ys[i]) < 1e6f)) {
        if (points.size() > 1) p.drawPolyline(points.data(), static_cast<int>(points.size()));
        points.clear();
        continue;
      }
      points.emplace_back(pl.xs[i], pl.ys[i]);
    }
    if (points.size() > 1) p.drawPolyline(points.data(), static_cast<int>(points.size()));
  }
  for (const SceneMarker& m : layer.markers) PaintMarker(p, m);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setFont(font);
  const QFontMetrics fm(font);
  for (const SceneText& t : layer.texts) {
    const QString s = Text(t.text);
    const int w = fm.horizontalAdvance(s);
    int x = t.x;
    if (t.align == 1) x -= w;
    else if (t.align == 2) x -= w / 2;
    const int top = t.y - fm.height() / 2;
    if (t.background) p.fillRect(x - 2, top, w + 4, fm.height(), Qc(t.boxColor));
    p.setPen(Qc(t.color));
    p.drawText(x, top + fm.ascent(), s);
  }
}

void PaintSceneBase(QPainter& p, const ChartScene& scene, const QFont& font) {
  p.fillRect(0, 0, scene.width, scene.height, Qc(scene.background));
  PaintLayer(p, scene.base, font);
  if (!scene.objects.Empty()) {
    p.save();
    p.setClipRect(scene.objectClip.x, scene.objectClip.y, scene.objectClip.w, scene.objectClip.h);
    PaintLayer(p, scene.objects, font);
    p.restore();
  }
}

void PaintScene(QPainter& p, const ChartScene& scene, const QFont& font) {
  PaintSceneBase(p, scene, font);
  PaintLayer(p, scene.cursor, font);
}

}  // namespace tarn::candlechart
