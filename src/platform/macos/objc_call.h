#pragma once

// The boundary between the Objective-C APIs and the rest of the helper, for
// the Objective-C++ files of this folder only (ARC on). Everything else sees
// the plain C++ service headers.

#if !defined(__OBJC__) || !__has_feature(objc_arc)
#error "objc_call.h is for Objective-C++ compiled with ARC"
#endif

#import <Foundation/Foundation.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/macos/cf_value.hpp"
#include "platform/platform_error.hpp"

namespace pellucor::platform::macos {

// `text` as UTF-8 through the layer's one string conversion; nothing for nil.
inline std::optional<std::string> optionalUTF8(NSString* text) {
  if (text == nil) return std::nullopt;
  return utf8String((__bridge CFStringRef)text);
}

// The failure of `call` that raised `exception`: its name and reason, no status.
inline PlatformError exceptionError(const std::string& call, NSException* exception) {
  std::string what = call + " raised an Objective-C exception";
  if (auto name = optionalUTF8(exception.name)) what += ": " + *name;
  if (auto reason = optionalUTF8(exception.reason)) what += ": " + *reason;
  return PlatformError(what);
}

// Runs `work` inside an autorelease pool and gives its result.
//
// An Objective-C exception raised inside becomes a PlatformError, and a
// PlatformError that `work` throws is kept; either is thrown only once the
// pool has been drained, so that no exception unwinds through the pool (which
// would leave it undrained) and none of Objective-C's reaches C++ code.
template <typename Work>
auto objcCall(const std::string& call, Work&& work) -> decltype(work()) {
  std::optional<decltype(work())> result;
  std::optional<PlatformError> failure;
  @autoreleasepool {
    @try {
      try {
        result.emplace(std::forward<Work>(work)());
      } catch (const PlatformError& error) {
        failure.emplace(error);
      }
    } @catch (NSException* exception) {
      failure.emplace(exceptionError(call, exception));
    }
  }
  if (failure) throw *failure;
  return std::move(*result);
}

}  // namespace pellucor::platform::macos
