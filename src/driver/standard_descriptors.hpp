#pragma once

namespace pellucor {

// Opens /dev/null on each of the standard descriptors 0, 1 and 2 that is
// closed, so that no file the process opens later can take its number and
// receive what is meant for standard input, output or error. Every entry
// calls this before it opens anything. Returns false when a closed
// descriptor could not be filled, in which case the entry must not go on;
// never throws.
[[nodiscard]] bool openNullOnClosedStandardDescriptors() noexcept;

}  // namespace pellucor
