# One place for the warning flags of every target we own. Third-party headers
# come in as SYSTEM includes, so -Werror never applies to them.
add_library(pellucor_warnings INTERFACE)
target_compile_options(pellucor_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wswitch-enum
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Werror)
