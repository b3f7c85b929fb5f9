#include "platform/macos/accessibility_macos.hpp"

#include <ApplicationServices/ApplicationServices.h>

#include "platform/macos/cf_object.hpp"
#include "platform/macos/cf_ref.hpp"
#include "platform/macos/cf_value.hpp"

namespace pellucor::platform::macos {
namespace {

// The element a handle holds, or null when it holds something else.
AXUIElementRef elementOf(const PlatformHandle& handle) noexcept {
  const CFTypeRef object = cfObjectOf<CFTypeRef>(handle);
  if (object == nullptr || CFGetTypeID(object) != AXUIElementGetTypeID()) return nullptr;
  // The platform's element type is not const-qualified; the handle only
  // holds the reference.
  return const_cast<AXUIElementRef>(static_cast<const __AXUIElement*>(object));
}

// The status unchanged; the value converted when the call succeeded with one.
template <typename T>
AXResult resultOf(AXError status, const CFRef<T>& value) {
  AXResult result;
  result.status = status;
  if (status == kAXErrorSuccess && value) result.value = platformValue(value.get());
  return result;
}

AXResult illegalArgument() {
  AXResult result;
  result.status = kAXErrorIllegalArgument;
  return result;
}

}  // namespace

bool MacAccessibility::isProcessTrusted() const { return AXIsProcessTrusted(); }

bool MacAccessibility::isProcessTrustedWithPrompt() const {
  const void* keys[] = {kAXTrustedCheckOptionPrompt};
  const void* values[] = {kCFBooleanTrue};
  const auto options = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
      kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  return AXIsProcessTrustedWithOptions(options.get());
}

PlatformHandle MacAccessibility::createApplicationElement(std::int32_t pid) const {
  return handleFor(CFRef<CFTypeRef>::adopt(AXUIElementCreateApplication(pid)));
}

AXResult MacAccessibility::copyAttributeValue(const PlatformHandle& element, std::string_view attribute) const {
  const AXUIElementRef target = elementOf(element);
  const auto name = makeCFString(attribute);
  if (target == nullptr || !name) return illegalArgument();
  CFRef<CFTypeRef> value;
  const AXError status = AXUIElementCopyAttributeValue(target, name.get(), value.out());
  return resultOf(status, value);
}

AXResult MacAccessibility::copyActionNames(const PlatformHandle& element) const {
  const AXUIElementRef target = elementOf(element);
  if (target == nullptr) return illegalArgument();
  CFRef<CFArrayRef> names;
  const AXError status = AXUIElementCopyActionNames(target, names.out());
  return resultOf(status, names);
}

}  // namespace pellucor::platform::macos
