#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace pellucor::platform::macos {

// The one owner of Core Foundation references. Ownership is stated where a
// reference enters: `adopt` takes over the reference a Copy or Create call
// returned, `retain` keeps a reference a Get call returned. Release happens
// in one place, the destructor; nothing is released by hand.
template <typename T>
class CFRef {
 public:
  CFRef() noexcept = default;

  static CFRef adopt(T reference) noexcept { return CFRef(reference); }
  static CFRef retain(T reference) noexcept {
    if (reference != nullptr) CFRetain(reference);
    return CFRef(reference);
  }

  CFRef(const CFRef& other) noexcept : reference_(other.reference_) {
    if (reference_ != nullptr) CFRetain(reference_);
  }
  CFRef(CFRef&& other) noexcept : reference_(std::exchange(other.reference_, nullptr)) {}
  CFRef& operator=(CFRef other) noexcept {
    std::swap(reference_, other.reference_);
    return *this;
  }
  ~CFRef() {
    if (reference_ != nullptr) CFRelease(reference_);
  }

  T get() const noexcept { return reference_; }
  explicit operator bool() const noexcept { return reference_ != nullptr; }

  // For a Copy or Create call that answers through an out parameter: drops
  // what this holds and gives the place the call writes its new reference to.
  T* out() noexcept {
    *this = CFRef();
    return &reference_;
  }

 private:
  explicit CFRef(T reference) noexcept : reference_(reference) {}

  T reference_ = nullptr;
};

// The type identifier of each Core Foundation type that cfCast knows.
template <typename T>
CFTypeID cfTypeID() noexcept;
template <>
inline CFTypeID cfTypeID<CFStringRef>() noexcept { return CFStringGetTypeID(); }
template <>
inline CFTypeID cfTypeID<CFBooleanRef>() noexcept { return CFBooleanGetTypeID(); }
template <>
inline CFTypeID cfTypeID<CFNumberRef>() noexcept { return CFNumberGetTypeID(); }
template <>
inline CFTypeID cfTypeID<CFArrayRef>() noexcept { return CFArrayGetTypeID(); }
template <>
inline CFTypeID cfTypeID<CFDictionaryRef>() noexcept { return CFDictionaryGetTypeID(); }
template <>
inline CFTypeID cfTypeID<CFURLRef>() noexcept { return CFURLGetTypeID(); }

// `reference` as T when it is of T's type; null otherwise (also for null).
// Never a cast that trusts the platform.
template <typename T>
T cfCast(CFTypeRef reference) noexcept {
  if (reference == nullptr || CFGetTypeID(reference) != cfTypeID<T>()) return nullptr;
  return static_cast<T>(reference);
}

}  // namespace pellucor::platform::macos
