// Small pieces shared by the local engines: the key index type, the process-wide instance
// pattern with a scoped replacement for tests, and the number readers of their dialogs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarn {

// Hash of a contract key that accepts std::string and std::string_view alike, so that a quote's
// key can be looked up without building a string.
struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
template <class V>
using KeyMap = std::unordered_map<std::string, V, KeyHash, std::equal_to<>>;

// One engine object per process, reached through T::Instance(). The application uses the
// object created on first use; a test (or an owner that wants a fresh engine) installs its own
// with a ScopedEngine, which puts the previous one back when it goes.
template <class T>
class EngineInstance {
 public:
  static T& Get() {
    if (T* p = installed_.load(std::memory_order_acquire)) return *p;
    // Created once and never destroyed: the engine outlives every window and library thread
    // that may still call it while the process ends.
    static T* const fallback = new T;
    return *fallback;
  }
  static T* Install(T* p) { return installed_.exchange(p, std::memory_order_acq_rel); }

 private:
  static inline std::atomic<T*> installed_{nullptr};
};

template <class T>
class ScopedEngine {
 public:
  template <class... Args>
  explicit ScopedEngine(Args&&... args) : engine_(std::forward<Args>(args)...) {
    previous_ = EngineInstance<T>::Install(&engine_);
  }
  ~ScopedEngine() { EngineInstance<T>::Install(previous_); }
  ScopedEngine(const ScopedEngine&) = delete;
  ScopedEngine& operator=(const ScopedEngine&) = delete;
  T& operator*() { return engine_; }
  T* operator->() { return &engine_; }
  T& Get() { return engine_; }

 private:
  T engine_;
  T* previous_ = nullptr;
};

// The readers of the dialogs' edit boxes, as the C library's atof / atoll read them but
// independent of the process's locale: leading blanks, an optional sign, digits (and for a
// decimal a fraction and an exponent); reading stops at the first character that does not fit,
// and a text without a number reads 0. A decimal that is not finite ("inf", "nan", or too
// large) reads 0; an integer beyond the type's range is clamped.
double ParseDecimalText(std::string_view text);
int64_t ParseInt64Text(std::string_view text);
int32_t ParseInt32Text(std::string_view text);

// A last price the engines may act on: finite and above `threshold`.
bool UsablePrice(double price, double threshold);

}  // namespace tarn
