#include "workspace/split_layout.h"

#include <algorithm>
#include <cmath>

namespace tarn {

const std::vector<LayoutScheme>& LayoutSchemes() {
  static const std::vector<LayoutScheme> schemes = {{1, 1}, {1, 2}, {1, 3}, {2, 2}, {2, 3},
                                                    {3, 4}, {3, 5}, {3, 6}, {4, 6}};
  return schemes;
}

double DraggedRatio(int pos, int start, int length) {
  const int span = length - kSplitBarWidth;
  if (span <= 0) return 0.5;
  const double r = static_cast<double>(pos - start) / span;
  if (r < 0.005) return 0.05;
  if (r > 0.95) return 0.95;
  return r;
}

int SplitLayout::NewNode(const Node& n) {
  if (!free_.empty()) {
    const int i = free_.back();
    free_.pop_back();
    nodes_[static_cast<std::size_t>(i)] = n;
    return i;
  }
  nodes_.push_back(n);
  return static_cast<int>(nodes_.size()) - 1;
}

void SplitLayout::FreeNode(int index) {
  nodes_[static_cast<std::size_t>(index)] = Node{};
  nodes_[static_cast<std::size_t>(index)].type = 0;
  free_.push_back(index);
}

std::vector<int> SplitLayout::LeavesInOrder() const {
  std::vector<int> out, stack;
  if (root_ >= 0) stack.push_back(root_);
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    const Node& n = nodes_[static_cast<std::size_t>(i)];
    if (n.type == kNodeLeaf) {
      out.push_back(i);
      continue;
    }
    if (n.second >= 0) stack.push_back(n.second);
    if (n.first >= 0) stack.push_back(n.first);
  }
  return out;
}

std::vector<int> SplitLayout::Windows() const {
  std::vector<int> out;
  for (int leaf : LeavesInOrder()) out.push_back(nodes_[static_cast<std::size_t>(leaf)].window);
  return out;
}

int SplitLayout::WindowCount() const { return static_cast<int>(LeavesInOrder().size()); }

int SplitLayout::LeafOf(int window) const {
  for (std::size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].type == kNodeLeaf && nodes_[i].window == window && window != 0) return static_cast<int>(i);
  return -1;
}

void SplitLayout::Notify() {
  if (current_ == 0 || !Holds(current_)) {
    const std::vector<int> w = Windows();
    current_ = w.empty() ? 0 : w.front();
  }
  if (WindowCount() < 2) maximised_ = false;
  if (owner_) owner_->LeafWindowsChanged(Windows());
}

void SplitLayout::Clear() {
  const std::vector<int> windows = Windows();
  nodes_.clear();
  free_.clear();
  root_ = -1;
  current_ = 0;
  maximised_ = false;
  dragging_ = -1;
  for (int w : windows)
    if (owner_) owner_->ReleaseLeafWindow(w);
}

void SplitLayout::MakeSingle() {
  Clear();
  Node leaf;
  leaf.window = owner_ ? owner_->CreateLeafWindow() : 1;
  root_ = NewNode(leaf);
  current_ = leaf.window;
  Notify();
  Arrange(area_);
}

void SplitLayout::SetCurrent(int window) {
  if (Holds(window)) current_ = window;
}

int SplitLayout::Split(int window, int orientation) {
  const int leaf = LeafOf(window);
  if (leaf < 0 || !owner_ || (orientation != kSplitTopBottom && orientation != kSplitLeftRight)) return 0;
  Node fresh;
  fresh.window = owner_->CreateLeafWindow();
  const int parent = nodes_[static_cast<std::size_t>(leaf)].parent;
  Node split;
  split.type = kNodeSplit;
  split.orientation = orientation;
  split.ratio = 0.5;
  split.parent = parent;
  const int s = NewNode(split);
  const int second = NewNode(fresh);
  Node& sn = nodes_[static_cast<std::size_t>(s)];
  sn.first = leaf;
  sn.second = second;
  nodes_[static_cast<std::size_t>(leaf)].parent = s;
  nodes_[static_cast<std::size_t>(second)].parent = s;
  if (parent < 0) {
    root_ = s;
  } else {
    Node& p = nodes_[static_cast<std::size_t>(parent)];
    (p.first == leaf ? p.first : p.second) = s;
  }
  maximised_ = false;
  Notify();
  Arrange(area_);
  return fresh.window;
}

bool SplitLayout::Close(int window) {
  const int leaf = LeafOf(window);
  if (leaf < 0) return false;
  const int parent = nodes_[static_cast<std::size_t>(leaf)].parent;
  if (parent < 0) return false;  // the only window
  const Node p = nodes_[static_cast<std::size_t>(parent)];
  const int sibling = p.first == leaf ? p.second : p.first;
  nodes_[static_cast<std::size_t>(sibling)].parent = p.parent;
  if (p.parent < 0) {
    root_ = sibling;
  } else {
    Node& g = nodes_[static_cast<std::size_t>(p.parent)];
    (g.first == parent ? g.first : g.second) = sibling;
  }
  FreeNode(leaf);
  FreeNode(parent);
  if (current_ == window) current_ = 0;
  if (dragging_ == parent) dragging_ = -1;
  if (owner_) owner_->ReleaseLeafWindow(window);
  Notify();
  Arrange(area_);
  return true;
}

void SplitLayout::ToggleMaximise() {
  if (WindowCount() < 2) {
    maximised_ = false;
    return;
  }
  maximised_ = !maximised_;
  Arrange(area_);
}

int SplitLayout::Chain(const std::vector<int>& items, int orientation) {
  int node = items.back();
  const int count = static_cast<int>(items.size());
  for (int k = count - 2; k >= 0; --k) {
    Node split;
    split.type = kNodeSplit;
    split.orientation = orientation;
    split.ratio = 1.0 / (count - k);
    split.first = items[static_cast<std::size_t>(k)];
    split.second = node;
    const int s = NewNode(split);
    nodes_[static_cast<std::size_t>(split.first)].parent = s;
    nodes_[static_cast<std::size_t>(node)].parent = s;
    node = s;
  }
  nodes_[static_cast<std::size_t>(node)].parent = -1;
  return node;
}

void SplitLayout::ApplyScheme(int rows, int columns) {
  if (rows < 1 || columns < 1 || rows * columns > kMaxLayoutWindows) return;
  const int n = rows * columns;
  std::vector<int> windows = Windows();
  while (static_cast<int>(windows.size()) < n && owner_) windows.push_back(owner_->CreateLeafWindow());
  while (static_cast<int>(windows.size()) > n) {
    const int w = windows.back();
    windows.pop_back();
    if (owner_) owner_->ReleaseLeafWindow(w);
  }
  if (windows.empty()) return;
  nodes_.clear();
  free_.clear();
  dragging_ = -1;
  maximised_ = false;
  std::vector<int> leaves;
  for (int w : windows) {
    Node leaf;
    leaf.window = w;
    leaves.push_back(NewNode(leaf));
  }
  if (n == 1) {
    root_ = leaves[0];
  } else if (n == 3 && rows == 1) {
    // One window on top, two side by side below.
    const int below = Chain({leaves[1], leaves[2]}, kSplitLeftRight);
    root_ = Chain({leaves[0], below}, kSplitTopBottom);
    nodes_[static_cast<std::size_t>(root_)].ratio = 0.5;
  } else {
    std::vector<int> rowNodes;
    for (int r = 0; r < rows; ++r)
      rowNodes.push_back(Chain(std::vector<int>(leaves.begin() + r * columns, leaves.begin() + (r + 1) * columns),
                               kSplitLeftRight));
    root_ = Chain(rowNodes, kSplitTopBottom);
  }
  Notify();
  Arrange(area_);
}

void SplitLayout::Arrange(const LayoutRect& area) {
  area_ = area;
  if (root_ < 0) return;
  const int maxLeaf = maximised_ ? LeafOf(current_) : -1;
  std::vector<std::pair<int, LayoutRect>> stack{{root_, area}};
  while (!stack.empty()) {
    auto [i, r] = stack.back();
    stack.pop_back();
    Node& n = nodes_[static_cast<std::size_t>(i)];
    n.rect = r;
    if (n.type == kNodeLeaf) {
      if (maxLeaf >= 0) n.rect = i == maxLeaf ? area : LayoutRect{};
      continue;
    }
    const int length = n.orientation == kSplitTopBottom ? r.h : r.w;
    const int span = std::max(0, length - kSplitBarWidth);
    const int firstLen = std::clamp(static_cast<int>(n.ratio * span), 0, span);
    LayoutRect a = r, b = r;
    if (n.orientation == kSplitTopBottom) {
      a.h = firstLen;
      n.bar = {r.x, r.y + firstLen, r.w, std::min(kSplitBarWidth, r.h)};
      b.y = r.y + firstLen + kSplitBarWidth;
      b.h = std::max(0, r.h - firstLen - kSplitBarWidth);
    } else {
      a.w = firstLen;
      n.bar = {r.x + firstLen, r.y, std::min(kSplitBarWidth, r.w), r.h};
      b.x = r.x + firstLen + kSplitBarWidth;
      b.w = std::max(0, r.w - firstLen - kSplitBarWidth);
    }
    if (maxLeaf >= 0) n.bar = {};
    stack.push_back({n.second, b});
    stack.push_back({n.first, a});
  }
}

LayoutRect SplitLayout::WindowRect(int window) const {
  const int leaf = LeafOf(window);
  return leaf < 0 ? LayoutRect{} : nodes_[static_cast<std::size_t>(leaf)].rect;
}

std::vector<LayoutRect> SplitLayout::Bars() const {
  std::vector<LayoutRect> out;
  if (maximised_) return out;
  for (const Node& n : nodes_)
    if (n.type == kNodeSplit) out.push_back(n.bar);
  return out;
}

int SplitLayout::BarOrientationAt(int x, int y) const {
  if (maximised_) return -1;
  for (const Node& n : nodes_)
    if (n.type == kNodeSplit && n.bar.Contains(x, y)) return n.orientation;
  return -1;
}

bool SplitLayout::BeginDrag(int x, int y) {
  dragging_ = -1;
  if (maximised_) return false;
  for (std::size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].type == kNodeSplit && nodes_[i].bar.Contains(x, y)) dragging_ = static_cast<int>(i);
  return dragging_ >= 0;
}

void SplitLayout::DragTo(int x, int y) {
  if (dragging_ < 0) return;
  Node& n = nodes_[static_cast<std::size_t>(dragging_)];
  n.ratio = n.orientation == kSplitTopBottom ? DraggedRatio(y, n.rect.y, n.rect.h) : DraggedRatio(x, n.rect.x, n.rect.w);
  Arrange(area_);
}

std::vector<double> SplitLayout::Ratios() const {
  std::vector<double> out;
  std::vector<int> stack;
  if (root_ >= 0) stack.push_back(root_);
  while (!stack.empty()) {
    const Node& n = nodes_[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    if (n.type != kNodeSplit) continue;
    out.push_back(n.ratio);
    stack.push_back(n.second);
    stack.push_back(n.first);
  }
  return out;
}

// ---- records -------------------------------------------------------------------------------------

void SplitLayout::Write(ArchiveWriter& out, const std::function<void(ArchiveWriter&, int)>& writeLeaf) const {
  out.Int32(1);
  out.Bool(root_ >= 0);
  if (root_ < 0) return;
  out.Int32(nodes_[static_cast<std::size_t>(root_)].type);
  std::vector<int> stack{root_};
  while (!stack.empty()) {
    const Node& n = nodes_[static_cast<std::size_t>(stack.back())];
    stack.pop_back();
    out.Int32(1);  // the node's version
    if (n.type == kNodeLeaf) {
      writeLeaf(out, n.window);
      continue;
    }
    out.Int32(n.orientation);
    out.Double(n.ratio);
    out.Int32(nodes_[static_cast<std::size_t>(n.first)].type);
    out.Int32(nodes_[static_cast<std::size_t>(n.second)].type);
    stack.push_back(n.second);
    stack.push_back(n.first);
  }
}

bool SplitLayout::Read(ArchiveReader& in, const std::function<bool(ArchiveReader&, int)>& readLeaf) {
  Clear();
  int32_t version = 0;
  bool hasRoot = false;
  if (!in.Int32(version) || !in.Bool(hasRoot)) return false;
  if (!hasRoot) {
    Notify();
    return true;
  }
  int32_t rootType = 0;
  if (!in.Int32(rootType)) return false;
  struct Pending {
    int parent, slot, type, depth;
  };
  std::vector<Pending> pending{{-1, 0, rootType, 0}};
  std::vector<int> splits;  // in the order they were made
  int leaves = 0;
  bool ok = true;
  const auto attach = [this](int parent, int slot, int node) {
    nodes_[static_cast<std::size_t>(node)].parent = parent;
    if (parent < 0) root_ = node;
    else (slot == 0 ? nodes_[static_cast<std::size_t>(parent)].first : nodes_[static_cast<std::size_t>(parent)].second) = node;
  };
  while (!pending.empty() && ok) {
    const Pending p = pending.back();
    pending.pop_back();
    int32_t nodeVersion = 0;
    if (!in.Int32(nodeVersion)) {
      ok = false;
      break;
    }
    if (p.type == kNodeLeaf) {
      if (++leaves > kMaxLayoutWindows || !owner_) {
        ok = false;
        break;
      }
      Node leaf;
      leaf.window = owner_->CreateLeafWindow();
      attach(p.parent, p.slot, NewNode(leaf));
      if (!readLeaf(in, leaf.window)) ok = false;
      continue;
    }
    int32_t orientation = 0, first = 0, second = 0;
    double ratio = 0;
    if (p.type != kNodeSplit || p.depth >= kMaxSplitDepth || !in.Int32(orientation) || !in.Double(ratio) ||
        !in.Int32(first) || !in.Int32(second) || (orientation != kSplitTopBottom && orientation != kSplitLeftRight) ||
        !std::isfinite(ratio) || ratio <= 0 || ratio >= 1 || (first != kNodeLeaf && first != kNodeSplit) ||
        (second != kNodeLeaf && second != kNodeSplit)) {
      ok = false;
      break;
    }
    Node split;
    split.type = kNodeSplit;
    split.orientation = orientation;
    split.ratio = ratio;
    const int s = NewNode(split);
    attach(p.parent, p.slot, s);
    splits.push_back(s);
    pending.push_back({s, 1, second, p.depth + 1});
    pending.push_back({s, 0, first, p.depth + 1});
  }
  if (!ok) {
    // Splits left without both children give way to the child they have (or vanish); children
    // were made after their parents, so the latest splits are mended first.
    for (auto it = splits.rbegin(); it != splits.rend(); ++it) {
      const Node n = nodes_[static_cast<std::size_t>(*it)];
      if (n.first >= 0 && n.second >= 0) continue;
      const int child = n.first >= 0 ? n.first : n.second;
      if (child >= 0) nodes_[static_cast<std::size_t>(child)].parent = n.parent;
      if (n.parent < 0) {
        root_ = child;
      } else {
        Node& g = nodes_[static_cast<std::size_t>(n.parent)];
        (g.first == *it ? g.first : g.second) = child;
      }
      FreeNode(*it);
    }
  }
  Notify();
  Arrange(area_);
  return ok;
}

}  // namespace tarn
