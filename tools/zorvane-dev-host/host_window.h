#pragma once

// The development host's one window, for the main thread only: titled
// "Zorvane Dev", its content the marker element of a fixed test plugin (drawn
// as three colour blocks the trial looks for in a capture) holding a text
// field that receives the keys the helper posts.

#import <AppKit/AppKit.h>

#include <string>
#include <vector>

namespace zorvane_dev {

// The fixed test plugin the window shows.
inline constexpr const char* kSurface = "plugin.application";
inline constexpr const char* kApplicationID = "7d3e1a5c90b24f68e1c0a9b2";
inline constexpr const char* kApplicationName = "Zorvane Dev Trial Plugin";
inline constexpr const char* kApplicationRevision = "trial-1";
inline constexpr const char* kMarkerIdentifier = "plugin-application-browser-root";
// The host's product name: its localized name and its window's title.
inline constexpr const char* kProductName = "Zorvane Dev";
inline constexpr const char* kBundleID = "com.brevant.zorvane.dev";

// "<surface> application_id=<id> application_name=<name> application_revision=<revision>"
std::string markerDescription();

// A solid block of the window's drawing: its centre in the content view's
// coordinates (points, origin at the bottom left) and its colour.
struct ColourBlock {
  const char* name;
  double x;
  double y;
  double red;
  double green;
  double blue;
};
std::vector<ColourBlock> colourBlocks();

// A key-down event that reached this application.
struct ReceivedKey {
  unsigned short keyCode = 0;
  bool command = false;
  bool shift = false;
  bool option = false;
  bool control = false;
  std::string characters;
};

}  // namespace zorvane_dev

@interface ZDHostWindow : NSObject
@property(nonatomic, readonly) NSWindow* window;
@property(nonatomic, readonly) NSTextField* field;

// Shows the window, makes it key with the text field focused, and asks for
// the application to be activated.
- (void)show;
// Empties the text field, focuses it, and forgets the keys received so far.
- (void)resetTyping;
// The key-down events received since the last reset, in order.
- (std::vector<zorvane_dev::ReceivedKey>)receivedKeys;
// The text field's text (an edit in progress included).
- (std::string)typedText;
@end
