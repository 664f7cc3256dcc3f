// SplitLayout: the arrangement of one workspace, a tree whose leaves hold windows (chart
// containers, named here by the owner's window ids) and whose inner nodes split their area in
// two with a 2-pixel bar. It lays the tree out, splits and closes windows, maximises one, applies
// the built-in schemes, follows a dragged bar and reads and writes the split tree record. It
// knows no windows: the owner (ISpliterNotify) makes and releases them and hears the new list
// of windows after every re-arrangement.
#pragma once

#include <functional>
#include <vector>

#include "platform/archive.h"

namespace tarn {

struct LayoutRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool operator==(const LayoutRect&) const = default;
};

enum SplitOrientation : int {
  kSplitTopBottom = 0,  // one above the other, a horizontal bar between them
  kSplitLeftRight = 1,  // side by side, a vertical bar between them
};

// Node types as stored in the records.
enum LayoutNodeType : int { kNodeLeaf = 1, kNodeSplit = 2 };

constexpr int kSplitBarWidth = 2;
// Deeper split trees are refused when read: the deepest built-in scheme nests eight levels, and
// splitting by hand to this depth leaves windows a few pixels wide.
constexpr int kMaxSplitDepth = 64;
// At most this many windows in a workspace read from a file.
constexpr int kMaxLayoutWindows = 512;

struct LayoutScheme {
  int rows, columns;
};
// The nine built-in arrangements, in the picker's order.
const std::vector<LayoutScheme>& LayoutSchemes();

// The ratio a bar dragged to `pos` gives a split whose area starts at `start` and is `length`
// long: below 0.005 it becomes 0.05, above 0.95 it becomes 0.95.
double DraggedRatio(int pos, int start, int length);

class ISpliterNotify {
 public:
  virtual ~ISpliterNotify() = default;
  // A new window (its id, never 0 or negative).
  virtual int CreateLeafWindow() = 0;
  virtual void ReleaseLeafWindow(int window) = 0;
  // Every window in tree order, after a change of the arrangement.
  virtual void LeafWindowsChanged(const std::vector<int>& windows) = 0;
};

class SplitLayout {
 public:
  explicit SplitLayout(ISpliterNotify* owner) : owner_(owner) {}
  SplitLayout(const SplitLayout&) = delete;
  SplitLayout& operator=(const SplitLayout&) = delete;

  bool Empty() const { return root_ < 0; }
  // Releases every window and leaves the tree empty.
  void Clear();
  // Clears and makes a single window.
  void MakeSingle();
  // Windows in tree order (first child before second).
  std::vector<int> Windows() const;
  int WindowCount() const;
  bool Holds(int window) const { return LeafOf(window) >= 0; }

  int Current() const { return current_; }
  void SetCurrent(int window);

  // Window commands. Split: the window's leaf becomes a split of the orientation with ratio
  // 0.5, the old window first and a new one second (its id is returned, 0 on failure).
  int Split(int window, int orientation);
  // Close: false when the window is the only one (the caller resets it); otherwise its leaf goes
  // and the sibling takes the parent's place.
  bool Close(int window);
  // Maximise toggles; ignored with a single window.
  void ToggleMaximise();
  bool Maximised() const { return maximised_; }

  // Applies scheme (rows, columns): keeps the first windows, makes or releases the rest.
  void ApplyScheme(int rows, int columns);

  // Lays the tree out in `area`; the windows' and bars' rectangles follow.
  void Arrange(const LayoutRect& area);
  LayoutRect WindowRect(int window) const;
  // Every bar's rectangle (none while maximised).
  std::vector<LayoutRect> Bars() const;
  // The orientation of the bar at a point, -1 when none.
  int BarOrientationAt(int x, int y) const;

  // Dragging: starts on a bar (false if none there), moves, ends.
  bool BeginDrag(int x, int y);
  bool Dragging() const { return dragging_ >= 0; }
  void DragTo(int x, int y);
  void EndDrag() { dragging_ = -1; }
  // The area of the split whose bar is dragged (what a drag step changes).
  LayoutRect DraggedArea() const {
    return dragging_ < 0 ? LayoutRect{} : nodes_[static_cast<std::size_t>(dragging_)].rect;
  }

  // The split ratios in tree order (for tests and records).
  std::vector<double> Ratios() const;

  // The split tree record: int32 1, byte root?, then the root's type and node records. Each
  // leaf's own record is written and read by the callbacks; on reading, each leaf's window is
  // made by the owner first. Reading replaces the tree; on damage it stops there, keeps the
  // windows read so far in a tree of their own and returns false.
  void Write(ArchiveWriter& out, const std::function<void(ArchiveWriter&, int window)>& writeLeaf) const;
  bool Read(ArchiveReader& in, const std::function<bool(ArchiveReader&, int window)>& readLeaf);

 private:
  struct Node {
    int type = kNodeLeaf;
    int window = 0;  // leaves
    int orientation = kSplitTopBottom;
    double ratio = 0.5;
    int first = -1, second = -1, parent = -1;
    LayoutRect rect, bar;
  };

  int NewNode(const Node& n);
  void FreeNode(int index);
  int LeafOf(int window) const;
  std::vector<int> LeavesInOrder() const;
  void Notify();
  // Builds a chain of `count` windows from `windows[from]` split along `orientation`.
  int Chain(const std::vector<int>& items, int orientation);

  ISpliterNotify* owner_;
  std::vector<Node> nodes_;
  std::vector<int> free_;
  int root_ = -1;
  int current_ = 0;
  bool maximised_ = false;
  int dragging_ = -1;
  LayoutRect area_;
};

}  // namespace tarn
