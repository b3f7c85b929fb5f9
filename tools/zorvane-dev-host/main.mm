// Zorvane Dev: the development host. A plain application with one window
// that carries a test plugin's marker; with --trial it runs the embedded
// helper against that window (trial.mm) and quits with the verdict.
//
//   Zorvane Dev [--trial [--output DIRECTORY]]
//
// Arguments it does not know are ignored: Launch Services and debuggers add
// their own.

#import <AppKit/AppKit.h>

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <string_view>
#include <utility>

#import "host_window.h"
#import "trial.h"

@interface ZDAppDelegate : NSObject <NSApplicationDelegate>
- (instancetype)initWithTrial:(bool)trial outputDirectory:(std::string)outputDirectory;
@end

@implementation ZDAppDelegate {
  bool _trial;
  std::string _outputDirectory;
  ZDHostWindow* _host;
}

- (instancetype)initWithTrial:(bool)trial outputDirectory:(std::string)outputDirectory {
  self = [super init];
  if (self != nil) {
    _trial = trial;
    _outputDirectory = std::move(outputDirectory);
  }
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  _host = [[ZDHostWindow alloc] init];
  [_host show];
  if (!_trial) return;
  zorvane_dev::startTrial(_host, _outputDirectory, ^(int status) {
    exit(status);
  });
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  (void)sender;
  return YES;
}

@end

namespace {

// A new directory for the report when none is given, by its physical path.
std::string defaultOutputDirectory() {
  char resolved[PATH_MAX];
  const char* temporary = NSTemporaryDirectory().UTF8String;
  std::string directory = (realpath(temporary, resolved) != nullptr ? resolved : temporary);
  directory += "/zorvane-dev-report.XXXXXX";
  return mkdtemp(directory.data()) != nullptr ? directory : std::string(temporary);
}

// The application menu, so that the host can be quit as any application.
NSMenu* mainMenu() {
  NSMenu* menu = [[NSMenu alloc] init];
  NSMenuItem* application = [[NSMenuItem alloc] init];
  [menu addItem:application];
  NSMenu* applicationMenu = [[NSMenu alloc] init];
  [applicationMenu addItemWithTitle:@"Quit Zorvane Dev" action:@selector(terminate:) keyEquivalent:@"q"];
  application.submenu = applicationMenu;
  return menu;
}

}  // namespace

int main(int argc, const char* argv[]) {
  bool trial = false;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--trial") {
      trial = true;
    } else if (argument == "--output" && i + 1 < argc) {
      output = argv[++i];
    }
  }
  @autoreleasepool {
    if (trial && output.empty()) output = defaultOutputDirectory();
    NSApplication* application = NSApplication.sharedApplication;
    application.activationPolicy = NSApplicationActivationPolicyRegular;
    application.mainMenu = mainMenu();
    // The application holds its delegate weakly: this one lives as long as main.
    NS_VALID_UNTIL_END_OF_SCOPE ZDAppDelegate* delegate = [[ZDAppDelegate alloc] initWithTrial:trial
                                                                              outputDirectory:output];
    application.delegate = delegate;
    [application run];
  }
  return 0;
}
