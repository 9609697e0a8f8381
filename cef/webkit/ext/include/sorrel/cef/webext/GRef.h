#pragma once
// An owning reference to a GObject: unrefs on destruction, refs on copy.

#include <glib-object.h>

#include <utility>

namespace Sorrel::cef::webext {

template <typename T>
class GRef {
 public:
  GRef() = default;
  // Takes over a reference the caller owns (transfer full).
  static GRef Adopt(T* p) {
    GRef r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static GRef Share(T* p) { return Adopt(p ? static_cast<T*>(g_object_ref(p)) : nullptr); }
  GRef(const GRef& o) : p_(o.p_ ? static_cast<T*>(g_object_ref(o.p_)) : nullptr) {}
  GRef(GRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  GRef& operator=(GRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~GRef() {
    if (p_) g_object_unref(p_);
  }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace Sorrel::cef::webext
