#include "platform/macos/screen_capture_macos.hpp"

#import <ScreenCaptureKit/ScreenCaptureKit.h>

#include <condition_variable>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/macos/cf_ref.hpp"
#include "platform/macos/cf_value.hpp"
#include "platform/macos/objc_call.h"

namespace pellucor::platform::macos {
namespace {

const std::string kShareableContentCall = "SCShareableContent getShareableContent";
const std::string kCaptureCall = "SCScreenshotManager captureImage";

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::uint32_t kPremultipliedBGRA = static_cast<std::uint32_t>(kCGImageAlphaPremultipliedFirst) |
                                             static_cast<std::uint32_t>(kCGBitmapByteOrder32Little);

// The handle of a window listed by shareableWindows: the very SCWindow the
// description was read from, kept (a strong reference) for its capture.
class SCWindowObject final : public PlatformObject {
 public:
  explicit SCWindowObject(SCWindow* window) : window_(window) {}
  SCWindow* window() const { return window_; }

 private:
  SCWindow* window_;
};

// The outcome of one asynchronous call, shared by its completion handler and
// the thread that waits for it, so that a handler arriving after the wait has
// ended still finds its state alive. The first of completion and cancellation
// wins; whatever comes after it is dropped. The handler only stores and
// signals: every decision is the waiting side's.
template <typename Result>
class PendingCall {
 public:
  // Keeps `result` and `error` and wakes the waiter, unless the call was
  // cancelled or completed before; then both are released here.
  void complete(Result result, NSError* error) {
    {
      std::lock_guard lock(mutex_);
      if (phase_ != Phase::pending) return;
      phase_ = Phase::completed;
      result_ = std::move(result);
      error_ = error;
    }
    changed_.notify_all();
  }

  // Ends the wait without an outcome, unless the call has completed already.
  void cancel() {
    {
      std::lock_guard lock(mutex_);
      if (phase_ != Phase::pending) return;
      phase_ = Phase::cancelled;
    }
    changed_.notify_all();
  }

  bool cancelled() {
    std::lock_guard lock(mutex_);
    return phase_ == Phase::cancelled;
  }

  // Blocks until the call completes or is cancelled; true when it completed.
  bool wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return phase_ != Phase::pending; });
    return phase_ == Phase::completed;
  }

  // The outcome of a completed call; only after wait() answered true.
  Result takeResult() { return std::move(result_); }
  NSError* error() const { return error_; }

 private:
  enum class Phase : std::uint8_t { pending, completed, cancelled };

  std::mutex mutex_;
  std::condition_variable changed_;
  Phase phase_ = Phase::pending;
  Result result_{};
  NSError* error_ = nil;
};

template <typename Result>
using PendingCallRef = std::shared_ptr<PendingCall<Result>>;

// Starts an asynchronous call through `start` (which hands the state to the
// call's completion handler) and blocks until it completes or `stop` asks for
// a stop. The platform is not called when the stop was asked for already.
template <typename Result, typename Start>
PendingCallRef<Result> awaitCompletion(const std::string& call, const StopToken& stop, Start start) {
  auto state = std::make_shared<PendingCall<Result>>();
  const StopRegistration registration = stop.onStop([state] { state->cancel(); });
  if (state->cancelled()) throw PlatformError(call + " cancelled before it was made");
  start(state);
  if (!state->wait()) throw PlatformError(call + " cancelled");
  return state;
}

// The failure `error` reported for `call`: its code as the status, its domain
// and description as the text.
PlatformError errorFailure(const std::string& call, NSError* error) {
  std::string what = call + " failed: " + optionalUTF8(error.domain).value_or(std::string());
  if (auto description = optionalUTF8(error.localizedDescription)) what += ": " + *description;
  return PlatformError(what, static_cast<std::int64_t>(error.code));
}

// A pixel count of the stream configuration, which the platform keeps as an
// unsigned size.
std::size_t pixelCount(const char* name, std::int64_t value) {
  if (value < 0) throw PlatformError(std::string("capture ") + name + " is negative");
  return static_cast<std::size_t>(value);
}

SCStreamConfiguration* streamConfiguration(const CaptureConfiguration& configuration) {
  SCStreamConfiguration* stream = [[SCStreamConfiguration alloc] init];
  if (configuration.width) stream.width = pixelCount("width", *configuration.width);
  if (configuration.height) stream.height = pixelCount("height", *configuration.height);
  if (configuration.showsCursor) stream.showsCursor = *configuration.showsCursor ? YES : NO;
  if (configuration.captureResolution) {
    stream.captureResolution = static_cast<SCCaptureResolutionType>(*configuration.captureResolution);
  }
  if (configuration.pixelFormat) stream.pixelFormat = *configuration.pixelFormat;
  return stream;
}

ShareableWindow shareableWindow(SCWindow* window) {
  ShareableWindow shareable;
  shareable.windowID = window.windowID;
  if (SCRunningApplication* owner = window.owningApplication; owner != nil) {
    shareable.owner = OwningApplication{owner.processID, optionalUTF8(owner.bundleIdentifier)};
  }
  shareable.onScreen = window.onScreen;
  shareable.title = optionalUTF8(window.title);
  const CGRect frame = window.frame;
  shareable.frame = Rect{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
  shareable.handle = std::make_shared<const SCWindowObject>(window);
  return shareable;
}

std::size_t product(std::size_t a, std::size_t b) {
  if (b != 0 && a > std::numeric_limits<std::size_t>::max() / b) throw PlatformError("captured image size overflows");
  return a * b;
}

std::int64_t imageSide(std::size_t side) {
  if (side > static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max())) {
    throw PlatformError("captured image size overflows");
  }
  return static_cast<std::int64_t>(side);
}

bool isPremultipliedBGRA(CGImageRef image) {
  return CGImageGetBitsPerComponent(image) == 8 && CGImageGetBitsPerPixel(image) == 32 &&
         static_cast<std::uint32_t>(CGImageGetBitmapInfo(image)) == kPremultipliedBGRA &&
         CGImageGetAlphaInfo(image) == kCGImageAlphaPremultipliedFirst &&
         CGColorSpaceGetModel(CGImageGetColorSpace(image)) == kCGColorSpaceModelRGB &&
         CGImageGetDecode(image) == nullptr && !CGImageIsMask(image);
}

// The image's own buffer, its rows at the stride they have.
CapturedImage copiedRows(CGImageRef image, std::size_t width, std::size_t height) {
  const std::size_t bytesPerRow = CGImageGetBytesPerRow(image);
  if (bytesPerRow / kBytesPerPixel < width) throw PlatformError("captured image rows are narrower than their pixels");
  const std::size_t length = product(bytesPerRow, height);
  const auto data = CFRef<CFDataRef>::adopt(CGDataProviderCopyData(CGImageGetDataProvider(image)));
  if (!data) throw PlatformError("captured image pixels cannot be read");
  const CFIndex available = CFDataGetLength(data.get());
  const UInt8* bytes = CFDataGetBytePtr(data.get());
  if (available < 0 || static_cast<std::size_t>(available) < length || (bytes == nullptr && length != 0)) {
    throw PlatformError("captured image buffer is shorter than its rows");
  }
  CapturedImage captured{imageSide(width), imageSide(height), bytesPerRow, {}};
  captured.pixels.assign(bytes, bytes + length);
  return captured;
}

// A colour space that a bitmap context of the handed-over layout can use
// without converting the image's colours: the image's own when it is RGB and
// can be drawn into.
CFRef<CGColorSpaceRef> drawingSpace(CGImageRef image) {
  CGColorSpaceRef own = CGImageGetColorSpace(image);
  if (own != nullptr && CGColorSpaceGetModel(own) == kCGColorSpaceModelRGB && CGColorSpaceSupportsOutput(own)) {
    return CFRef<CGColorSpaceRef>::retain(own);
  }
  return CFRef<CGColorSpaceRef>::adopt(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
}

// The image drawn 1:1 into a zeroed bitmap of the handed-over layout, its
// pixels replacing the transparent black rather than blending over it.
CapturedImage redrawnRows(CGImageRef image, std::size_t width, std::size_t height) {
  const std::size_t bytesPerRow = product(width, kBytesPerPixel);
  CapturedImage captured{imageSide(width), imageSide(height), bytesPerRow, {}};
  captured.pixels.assign(product(bytesPerRow, height), 0);
  const CFRef<CGColorSpaceRef> space = drawingSpace(image);
  if (!space) throw PlatformError("no colour space to draw the captured image in");
  {
    // The context draws into the pixels it is given; it is gone before they are handed over.
    const auto context = CFRef<CGContextRef>::adopt(CGBitmapContextCreate(
        captured.pixels.data(), width, height, 8, bytesPerRow, space.get(), kPremultipliedBGRA));
    if (!context) throw PlatformError("no bitmap context for the captured image");
    CGContextSetBlendMode(context.get(), kCGBlendModeCopy);
    CGContextDrawImage(context.get(), CGRectMake(0, 0, static_cast<CGFloat>(width), static_cast<CGFloat>(height)),
                       image);
  }
  return captured;
}

}  // namespace

CapturedImage premultipliedBGRA(CGImageRef image) {
  if (image == nullptr) throw PlatformError("no captured image");
  const std::size_t width = CGImageGetWidth(image);
  const std::size_t height = CGImageGetHeight(image);
  if (isPremultipliedBGRA(image)) return copiedRows(image, width, height);
  return redrawnRows(image, width, height);
}

std::vector<ShareableWindow> MacScreenCapture::shareableWindows(StopToken stop) const {
  return objcCall(kShareableContentCall, [&stop]() -> std::vector<ShareableWindow> {
    using Content = SCShareableContent*;
    const auto call = awaitCompletion<Content>(kShareableContentCall, stop, [](PendingCallRef<Content> state) {
      [SCShareableContent getShareableContentExcludingDesktopWindows:YES
                                                 onScreenWindowsOnly:YES
                                                   completionHandler:^(SCShareableContent* content, NSError* error) {
                                                     state->complete(content, error);
                                                   }];
    });
    if (NSError* error = call->error(); error != nil) throw errorFailure(kShareableContentCall, error);
    const Content content = call->takeResult();
    if (content == nil) throw PlatformError(kShareableContentCall + " gave neither content nor an error");
    std::vector<ShareableWindow> windows;
    windows.reserve(content.windows.count);
    for (SCWindow* window in content.windows) windows.push_back(shareableWindow(window));
    return windows;
  });
}

CapturedImage MacScreenCapture::captureImage(const PlatformHandle& window, const CaptureConfiguration& configuration,
                                             StopToken stop) const {
  const auto* windowObject = dynamic_cast<const SCWindowObject*>(window.get());
  if (windowObject == nullptr) throw PlatformError("the window handle does not hold a ScreenCaptureKit window");
  return objcCall(kCaptureCall, [&]() -> CapturedImage {
    SCStreamConfiguration* stream = streamConfiguration(configuration);
    // Creating a content filter in a process that has not yet connected to
    // the window server can abort; asking for the main display connects it.
    static_cast<void>(CGMainDisplayID());
    SCContentFilter* filter = [[SCContentFilter alloc] initWithDesktopIndependentWindow:windowObject->window()];
    using Image = CFRef<CGImageRef>;
    const auto call = awaitCompletion<Image>(kCaptureCall, stop, [filter, stream](PendingCallRef<Image> state) {
      [SCScreenshotManager captureImageWithFilter:filter
                                    configuration:stream
                                completionHandler:^(CGImageRef image, NSError* error) {
                                  // The image belongs to the caller of the handler: keep a reference.
                                  state->complete(Image::retain(image), error);
                                }];
    });
    if (NSError* error = call->error(); error != nil) throw errorFailure(kCaptureCall, error);
    const Image image = call->takeResult();
    if (!image) throw PlatformError(kCaptureCall + " gave neither an image nor an error");
    return premultipliedBGRA(image.get());
  });
}

std::optional<PlatformValue> MacScreenCapture::windowList(std::uint32_t options, std::uint32_t relativeToWindow) const {
  return objcCall("CGWindowListCopyWindowInfo", [options, relativeToWindow]() -> std::optional<PlatformValue> {
    const auto list = CFRef<CFArrayRef>::adopt(
        CGWindowListCopyWindowInfo(static_cast<CGWindowListOption>(options), relativeToWindow));
    if (!list) return std::nullopt;
    return platformValue(list.get());
  });
}

}  // namespace pellucor::platform::macos
