# Every dependency comes from the distribution's packages (scripts/setup):
# Debian's on Linux, Homebrew's on a Mac.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# utf8proc and libdeflate, as pellucor::utf8proc and pellucor::libdeflate. On
# Apple they are linked from their static archives, so that the helper bundle
# needs nothing outside the operating system.
function(pellucor_library target module archive)
  if(APPLE)
    pkg_check_modules(${target}_PC REQUIRED ${module})
    find_library(${target}_ARCHIVE NAMES ${archive} HINTS ${${target}_PC_LIBRARY_DIRS} REQUIRED NO_DEFAULT_PATH)
    add_library(pellucor_dependency_${target} INTERFACE)
    target_include_directories(pellucor_dependency_${target} SYSTEM INTERFACE ${${target}_PC_INCLUDE_DIRS})
    target_link_libraries(pellucor_dependency_${target} INTERFACE ${${target}_ARCHIVE})
  else()
    pkg_check_modules(${target}_PC REQUIRED IMPORTED_TARGET ${module})
    add_library(pellucor_dependency_${target} INTERFACE)
    target_link_libraries(pellucor_dependency_${target} INTERFACE PkgConfig::${target}_PC)
  endif()
  add_library(pellucor::${target} ALIAS pellucor_dependency_${target})
endfunction()
pellucor_library(utf8proc libutf8proc libutf8proc.a)
pellucor_library(libdeflate libdeflate libdeflate.a)

# OpenSSL's libcrypto digests on Linux; Apple builds use CommonCrypto. The
# tests use it on every platform as an independent digest (Homebrew keeps it
# outside the default search path).
if(APPLE AND PELLUCOR_BUILD_TESTS AND NOT OPENSSL_ROOT_DIR)
  execute_process(COMMAND brew --prefix openssl@3 OUTPUT_VARIABLE OPENSSL_ROOT_DIR
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT APPLE OR PELLUCOR_BUILD_TESTS)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
endif()

# The simulated desktop reads JSON and PNG files.
if(PELLUCOR_BUILD_SIM)
  find_package(PNG REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
endif()
if(PELLUCOR_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(PELLUCOR_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
