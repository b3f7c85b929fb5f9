#import "host_window.h"

namespace zorvane_dev {

std::string markerDescription() {
  return std::string(kSurface) + " application_id=" + kApplicationID + " application_name=" + kApplicationName +
         " application_revision=" + kApplicationRevision;
}

namespace {

constexpr CGFloat kContentWidth = 480;
constexpr CGFloat kContentHeight = 300;
// The three blocks fill the upper part of the content, side by side.
constexpr CGFloat kBlockWidth = kContentWidth / 3;
constexpr CGFloat kBlockBottom = 140;
constexpr CGFloat kBlockHeight = kContentHeight - kBlockBottom;

}  // namespace

std::vector<ColourBlock> colourBlocks() {
  const double centreY = kBlockBottom + kBlockHeight / 2;
  return {
      {"red", kBlockWidth * 0.5, centreY, 1, 0, 0},
      {"green", kBlockWidth * 1.5, centreY, 0, 1, 0},
      {"blue", kBlockWidth * 2.5, centreY, 0, 0, 1},
  };
}

}  // namespace zorvane_dev

// The window's content and the plugin's marker: an accessibility group whose
// identifier and description name the test plugin, as a plugin surface of
// the real host does.
@interface ZDMarkerView : NSView
@end

@implementation ZDMarkerView

- (instancetype)initWithFrame:(NSRect)frame {
  self = [super initWithFrame:frame];
  if (self != nil) {
    self.accessibilityElement = YES;
    self.accessibilityRole = NSAccessibilityGroupRole;
    self.accessibilityIdentifier = @(zorvane_dev::kMarkerIdentifier);
    self.accessibilityLabel = @(zorvane_dev::markerDescription().c_str());
  }
  return self;
}

- (void)drawRect:(NSRect)dirtyRect {
  (void)dirtyRect;
  [NSColor.windowBackgroundColor setFill];
  NSRectFill(self.bounds);
  const CGFloat width = zorvane_dev::kBlockWidth;
  for (const zorvane_dev::ColourBlock& block : zorvane_dev::colourBlocks()) {
    [[NSColor colorWithSRGBRed:block.red green:block.green blue:block.blue alpha:1] setFill];
    NSRectFill(NSMakeRect(block.x - width / 2, zorvane_dev::kBlockBottom, width, zorvane_dev::kBlockHeight));
  }
}

@end

@implementation ZDHostWindow {
  std::vector<zorvane_dev::ReceivedKey> _keys;
  id _monitor;
}

- (instancetype)init {
  self = [super init];
  if (self == nil) return nil;
  const NSRect content = NSMakeRect(0, 0, zorvane_dev::kContentWidth, zorvane_dev::kContentHeight);
  _window = [[NSWindow alloc] initWithContentRect:content
                                        styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                                  NSWindowStyleMaskMiniaturizable
                                          backing:NSBackingStoreBuffered
                                            defer:NO];
  _window.title = @(zorvane_dev::kProductName);
  _window.releasedWhenClosed = NO;
  // One window, always the same: nothing restored from an earlier run.
  _window.restorable = NO;
  ZDMarkerView* marker = [[ZDMarkerView alloc] initWithFrame:content];
  _field = [NSTextField textFieldWithString:@""];
  _field.frame = NSMakeRect(20, 50, zorvane_dev::kContentWidth - 40, 28);
  _field.accessibilityLabel = @"Typed keys";
  [marker addSubview:_field];
  _window.contentView = marker;

  // Every key-down that reaches the application, as it arrived.
  __weak ZDHostWindow* weakSelf = self;
  _monitor = [NSEvent addLocalMonitorForEventsMatchingMask:NSEventMaskKeyDown
                                                   handler:^NSEvent*(NSEvent* event) {
                                                     [weakSelf record:event];
                                                     return event;
                                                   }];
  return self;
}

- (void)dealloc {
  if (_monitor != nil) [NSEvent removeMonitor:_monitor];
}

- (void)record:(NSEvent*)event {
  zorvane_dev::ReceivedKey key;
  key.keyCode = event.keyCode;
  const NSEventModifierFlags flags = event.modifierFlags;
  key.command = (flags & NSEventModifierFlagCommand) != 0;
  key.shift = (flags & NSEventModifierFlagShift) != 0;
  key.option = (flags & NSEventModifierFlagOption) != 0;
  key.control = (flags & NSEventModifierFlagControl) != 0;
  NSString* characters = event.characters;
  key.characters = characters != nil ? std::string(characters.UTF8String) : std::string();
  _keys.push_back(key);
}

- (void)show {
  [_window center];
  [_window makeKeyAndOrderFront:nil];
  [_window makeFirstResponder:_field];
  [NSApp activate];
}

- (void)resetTyping {
  _field.stringValue = @"";
  [_window makeFirstResponder:_field];
  _keys.clear();
}

- (std::vector<zorvane_dev::ReceivedKey>)receivedKeys {
  return _keys;
}

- (std::string)typedText {
  NSString* text = _field.stringValue;
  return text != nil ? std::string(text.UTF8String) : std::string();
}

@end
