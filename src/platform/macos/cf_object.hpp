#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

#include "platform/macos/cf_ref.hpp"
#include "platform/platform_value.hpp"

namespace pellucor::platform::macos {

// A platform handle that holds one Core Foundation object: an accessibility
// element, a code object, a keyboard event. Released with its last holder.
class CFObject final : public PlatformObject {
 public:
  explicit CFObject(CFRef<CFTypeRef> object) noexcept : object_(std::move(object)) {}
  CFTypeRef get() const noexcept { return object_.get(); }

 private:
  CFRef<CFTypeRef> object_;
};

// A handle for `object`; a null handle when `object` is null.
inline PlatformHandle handleFor(CFRef<CFTypeRef> object) {
  if (!object) return nullptr;
  return std::make_shared<const CFObject>(std::move(object));
}

// The object a handle made by handleFor holds, as T when it is of T's type;
// null for a null handle, a handle of another kind or another type.
template <typename T>
T cfObjectOf(const PlatformHandle& handle) noexcept {
  const auto* object = dynamic_cast<const CFObject*>(handle.get());
  if (object == nullptr) return nullptr;
  if constexpr (std::is_same_v<T, CFTypeRef>) {
    return object->get();
  } else {
    return cfCast<T>(object->get());
  }
}

}  // namespace pellucor::platform::macos
