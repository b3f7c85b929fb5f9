#include "platform/macos/code_signing_macos.hpp"

#include <Security/Security.h>

#include <optional>
#include <utility>

#include "platform/macos/cf_object.hpp"
#include "platform/macos/cf_ref.hpp"
#include "platform/macos/cf_value.hpp"

namespace pellucor::platform::macos {
namespace {

// Running code held by `handle`, or null.
SecCodeRef runningCodeOf(const PlatformHandle& handle) noexcept {
  const CFTypeRef object = cfObjectOf<CFTypeRef>(handle);
  if (object == nullptr || CFGetTypeID(object) != SecCodeGetTypeID()) return nullptr;
  // The platform's running-code type is not const-qualified; the handle only
  // holds the reference.
  return const_cast<SecCodeRef>(static_cast<SecStaticCodeRef>(object));
}

// Static (or running) code held by `handle`, or null.
SecStaticCodeRef staticCodeOf(const PlatformHandle& handle) noexcept {
  const CFTypeRef object = cfObjectOf<CFTypeRef>(handle);
  if (object == nullptr) return nullptr;
  const CFTypeID type = CFGetTypeID(object);
  if (type != SecStaticCodeGetTypeID() && type != SecCodeGetTypeID()) return nullptr;
  return static_cast<SecStaticCodeRef>(object);
}

template <typename T>
CodeResult codeResult(OSStatus status, CFRef<T> code) {
  return CodeResult{status, handleFor(CFRef<CFTypeRef>::retain(code.get()))};
}

CodeResult invalidObject() { return CodeResult{errSecCSInvalidObjectRef, nullptr}; }

}  // namespace

CodeResult MacCodeSigning::copySelf(std::uint32_t flags) const {
  CFRef<SecCodeRef> code;
  const OSStatus status = SecCodeCopySelf(flags, code.out());
  return codeResult(status, std::move(code));
}

CodeResult MacCodeSigning::copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const {
  const auto number = CFRef<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &pid));
  const void* keys[] = {kSecGuestAttributePid};
  const void* values[] = {number.get()};
  const auto attributes = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
      kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  CFRef<SecCodeRef> guest;
  const OSStatus status = SecCodeCopyGuestWithAttributes(nullptr, attributes.get(), flags, guest.out());
  return codeResult(status, std::move(guest));
}

std::int32_t MacCodeSigning::checkValidity(const PlatformHandle& code, std::uint32_t flags) const {
  const SecCodeRef target = runningCodeOf(code);
  if (target == nullptr) return errSecCSInvalidObjectRef;
  return SecCodeCheckValidity(target, flags, nullptr);
}

CodeResult MacCodeSigning::copyStaticCode(const PlatformHandle& code, std::uint32_t flags) const {
  const SecCodeRef target = runningCodeOf(code);
  if (target == nullptr) return invalidObject();
  CFRef<SecStaticCodeRef> staticCode;
  const OSStatus status = SecCodeCopyStaticCode(target, flags, staticCode.out());
  return codeResult(status, std::move(staticCode));
}

std::int32_t MacCodeSigning::checkStaticValidity(const PlatformHandle& staticCode, std::uint32_t flags) const {
  const SecStaticCodeRef target = staticCodeOf(staticCode);
  if (target == nullptr) return errSecCSInvalidObjectRef;
  return SecStaticCodeCheckValidity(target, flags, nullptr);
}

SigningInformationResult MacCodeSigning::copySigningInformation(const PlatformHandle& code,
                                                                std::uint32_t flags) const {
  SigningInformationResult result;
  const SecStaticCodeRef target = staticCodeOf(code);
  if (target == nullptr) {
    result.status = errSecCSInvalidObjectRef;
    return result;
  }
  CFRef<CFDictionaryRef> dictionary;
  result.status = SecCodeCopySigningInformation(target, flags, dictionary.out());
  if (!dictionary) return result;

  SigningInformation information;
  const auto entry = [&dictionary](CFStringRef key) -> std::optional<PlatformValue> {
    const void* value = nullptr;
    if (!CFDictionaryGetValueIfPresent(dictionary.get(), key, &value)) return std::nullopt;
    return platformValue(value);
  };
  information.identifier = entry(kSecCodeInfoIdentifier);
  information.teamIdentifier = entry(kSecCodeInfoTeamIdentifier);
  information.hasDesignatedRequirement = CFDictionaryContainsKey(dictionary.get(), kSecCodeInfoDesignatedRequirement);
  result.information = std::move(information);
  return result;
}

}  // namespace pellucor::platform::macos
