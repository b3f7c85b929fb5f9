#pragma once

#import "host_window.h"

#include <string>

namespace zorvane_dev {

// Runs the trial on a background queue while the main thread keeps running
// the application's event loop, writes the report and the captured PNG into
// `outputDirectory` (created when missing), and then calls `finished` on the
// main queue with the exit status: 0 only when every check passed.
void startTrial(ZDHostWindow* host, std::string outputDirectory, void (^finished)(int status));

}  // namespace zorvane_dev
