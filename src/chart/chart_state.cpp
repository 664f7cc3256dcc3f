#include "chart/chart_state.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace tarn {

namespace {

constexpr int kMaxPoints = 3;
// A board holds a few dozen cards at most; more is damage.
constexpr int32_t kMaxCubeCards = 256;

// Marks the reader failed at this point (a value no sound record holds): a read past the end.
bool Refuse(ArchiveReader& in) {
  char none = 0;
  return in.Raw(&none, in.Remaining() + 1);
}

void WriteObject(ArchiveWriter& out, const candlechart::DrawObject& o) {
  out.Int32(o.kind);
  out.UInt32(o.color);
  out.Int32(o.thickness);
  out.Int32(static_cast<int32_t>(o.dash));
  out.String(o.text);
  out.Int32(o.icon);
  out.Int32(static_cast<int32_t>(o.points.size()));
  for (const candlechart::DrawPoint& p : o.points) {
    out.Int64(p.time);
    out.Double(p.price);
  }
}

bool ReadObject(ArchiveReader& in, candlechart::DrawObject* o) {
  int32_t kind = 0, thickness = 1, dash = 0, icon = 0, points = 0;
  uint32_t color = 0;
  if (!in.Int32(kind) || !in.UInt32(color) || !in.Int32(thickness) || !in.Int32(dash) || !in.String(o->text) ||
      !in.Int32(icon) || !in.Count(points, 16))
    return false;
  if (points > kMaxPoints || candlechart::DrawKindPoints(kind) == 0) return Refuse(in);
  o->kind = kind;
  o->color = color & 0xFFFFFF;
  o->thickness = std::clamp(thickness, 1, 9);
  o->dash = dash == 1 ? candlechart::Dash::Dot : dash == 2 ? candlechart::Dash::Dash : candlechart::Dash::Solid;
  o->icon = icon;
  o->points.clear();
  for (int32_t i = 0; i < points; ++i) {
    candlechart::DrawPoint p;
    if (!in.Int64(p.time) || !in.Double(p.price)) return false;
    if (!std::isfinite(p.price)) return Refuse(in);  // no chart point has such a price
    o->points.push_back(p);
  }
  return true;
}

void WriteNames(ArchiveWriter& out, const std::vector<std::string>& names) {
  out.Int32(static_cast<int32_t>(names.size()));
  for (const std::string& n : names) out.String(n);
}

bool ReadNames(ArchiveReader& in, std::vector<std::string>* names, int32_t most) {
  int32_t n = 0;
  if (!in.Count(n, 1)) return false;
  if (n > most) return Refuse(in);
  names->clear();
  for (int32_t i = 0; i < n; ++i) {
    std::string s;
    if (!in.String(s)) return false;
    names->push_back(std::move(s));
  }
  return true;
}

}  // namespace

void WriteChartState(ArchiveWriter& out, const ChartContainerState& s) {
  out.Int32(kChartStateVersion);
  out.Int32(s.content);
  out.String(s.contractKey);
  out.String(s.blockName);
  out.Bool(s.sidePanel);
  out.Bool(s.linked);
  out.Int32(s.period.kind);
  out.Int32(s.period.multiplier);
  out.Bool(s.inverted);
  out.Int32(s.paneCount);
  out.Double(s.barSpacing);
  WriteNames(out, s.overlays);
  WriteNames(out, s.indicators);
  out.Int32(static_cast<int32_t>(s.objects.size()));
  for (const candlechart::DrawObject& o : s.objects) WriteObject(out, o);
  WriteNames(out, s.cubeCards);
  out.Int32(static_cast<int32_t>(s.cubeCards.size()));
  for (std::size_t i = 0; i < s.cubeCards.size(); ++i)
    out.Int32(i < s.cubeCardKinds.size() ? s.cubeCardKinds[i] : kCubeCardContract);
}

bool ReadChartState(ArchiveReader& in, ChartContainerState* s) {
  int32_t version = 0;
  if (!in.Int32(version)) return false;
  if (version < 1 || version > kChartStateVersion) return Refuse(in);
  int32_t content = 0;
  if (!in.Int32(content)) return false;
  s->content = content >= kContentQuoteGrid && content <= kContentPriceCube ? content : kContentNone;
  if (!in.String(s->contractKey) || !in.String(s->blockName) || !in.Bool(s->sidePanel) || !in.Bool(s->linked))
    return false;
  ChartPeriod p;
  if (!in.Int32(p.kind) || !in.Int32(p.multiplier)) return false;
  s->period = IsValidPeriod(p) ? p : ChartPeriod{};
  int32_t panes = 0;
  double spacing = 0;
  if (!in.Bool(s->inverted) || !in.Int32(panes) || !in.Double(spacing)) return false;
  s->paneCount = std::clamp(panes, 1, 6);
  s->barSpacing = spacing >= 1 && spacing <= 48 ? spacing : 8;
  if (!ReadNames(in, &s->overlays, 16) || !ReadNames(in, &s->indicators, 5)) return false;
  int32_t objects = 0;
  if (!in.Count(objects, 24)) return false;
  s->objects.clear();
  for (int32_t i = 0; i < objects; ++i) {
    candlechart::DrawObject o;
    if (!ReadObject(in, &o)) return false;
    s->objects.push_back(std::move(o));
  }
  s->cubeCards.clear();
  s->cubeCardKinds.clear();
  if (version >= 19 && !ReadNames(in, &s->cubeCards, kMaxCubeCards)) return false;
  if (version < 20) {
    s->cubeCardKinds.assign(s->cubeCards.size(), kCubeCardContract);
    return true;
  }
  int32_t kinds = 0;
  if (!in.Count(kinds, 4)) return false;
  if (kinds != static_cast<int32_t>(s->cubeCards.size())) return Refuse(in);
  for (int32_t i = 0; i < kinds; ++i) {
    int32_t kind = 0;
    if (!in.Int32(kind)) return false;
    if (kind != kCubeCardContract && kind != kCubeCardStrategy) return Refuse(in);
    s->cubeCardKinds.push_back(kind);
  }
  return true;
}

ChartObjectStore& ChartObjectStore::Instance() {
  static ChartObjectStore store;
  return store;
}

static std::string StoreKey(const std::string& contractKey, const ChartPeriod& p) {
  return Format("%s|%d|%d", contractKey, p.kind, p.multiplier);
}

void ChartObjectStore::Put(const std::string& contractKey, const ChartPeriod& period,
                           std::vector<candlechart::DrawObject> objects) {
  if (contractKey.empty()) return;
  Lock lock(lock_);
  if (objects.empty()) objects_.erase(StoreKey(contractKey, period));
  else objects_[StoreKey(contractKey, period)] = std::move(objects);
}

std::vector<candlechart::DrawObject> ChartObjectStore::Get(const std::string& contractKey,
                                                           const ChartPeriod& period) const {
  Lock lock(lock_);
  auto it = objects_.find(StoreKey(contractKey, period));
  return it == objects_.end() ? std::vector<candlechart::DrawObject>{} : it->second;
}

void ChartObjectStore::Clear() {
  Lock lock(lock_);
  objects_.clear();
}

}  // namespace tarn
