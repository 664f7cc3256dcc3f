// Locks and listener sets.
//
// A critical section is re-entrant (engines call their listeners with their own lock held, and
// a listener may call back into the engine on the same thread), so it is a recursive mutex.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

namespace tarn {

using CriticalSection = std::recursive_mutex;
using Lock = std::lock_guard<std::recursive_mutex>;
using UniqueLock = std::unique_lock<std::recursive_mutex>;

// An ordered set of listener pointers (insertion order) with the guarantee the notification
// interfaces promise: once Remove has returned, the removed listener is never called again,
// not even by a delivery already running on another thread (Remove waits for it, unless it is
// called from inside that delivery on the same thread).
template <class T>
class ListenerSet {
 public:
  void Add(T* listener) {
    Lock lock(mutex_);
    if (std::find(items_.begin(), items_.end(), listener) == items_.end()) items_.push_back(listener);
  }
  void Remove(T* listener) {
    Lock lock(mutex_);
    items_.erase(std::remove(items_.begin(), items_.end(), listener), items_.end());
  }
  bool Contains(T* listener) const {
    Lock lock(mutex_);
    return std::find(items_.begin(), items_.end(), listener) != items_.end();
  }
  std::size_t Size() const {
    Lock lock(mutex_);
    return items_.size();
  }
  // Calls f(listener) for every listener in order. A listener removed while the walk is under
  // way (by itself or by another listener on this thread) is skipped from then on.
  template <class F>
  void ForEach(F&& f) {
    Lock lock(mutex_);
    std::vector<T*> snapshot = items_;
    for (T* l : snapshot) {
      if (std::find(items_.begin(), items_.end(), l) == items_.end()) continue;
      f(l);
    }
  }

 private:
  mutable CriticalSection mutex_;
  std::vector<T*> items_;
};

}  // namespace tarn
