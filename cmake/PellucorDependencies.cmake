# Every dependency comes from the distribution's packages (scripts/setup):
# Debian's on Linux, Homebrew's on a Mac.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# On Linux the third-party libraries are linked from their static archives
# too, outside the sanitizer and fuzz builds: a process that loads fewer
# shared objects starts sooner, and pellucor-sim starts once per request
# (bench/process_start_bench.cpp). The sanitizer builds keep the shared
# libraries their runtimes are made for.
if(NOT APPLE AND NOT PELLUCOR_SANITIZE AND NOT PELLUCOR_BUILD_FUZZ)
  set(PELLUCOR_STATIC_THIRD_PARTY ON)
else()
  set(PELLUCOR_STATIC_THIRD_PARTY OFF)
endif()

# utf8proc and libdeflate, as pellucor::utf8proc and pellucor::libdeflate. On
# Apple they are linked from their static archives, so that the helper bundle
# needs nothing outside the operating system.
function(pellucor_library target module archive)
  if(APPLE OR PELLUCOR_STATIC_THIRD_PARTY)
    pkg_check_modules(${target}_PC REQUIRED ${module})
    # Homebrew's archives are found only where its pkg-config files point;
    # Debian's are in the default search path (where some of its pkg-config
    # files do not point).
    if(APPLE)
      set(search NO_DEFAULT_PATH)
    else()
      set(search "")
    endif()
    find_library(${target}_ARCHIVE NAMES ${archive} HINTS ${${target}_PC_LIBRARY_DIRS} REQUIRED ${search})
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
if(PELLUCOR_STATIC_THIRD_PARTY)
  set(OPENSSL_USE_STATIC_LIBS TRUE)
endif()
if(NOT APPLE OR PELLUCOR_BUILD_TESTS)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
endif()

# The simulated desktop reads JSON and PNG files.
if(PELLUCOR_BUILD_SIM)
  if(PELLUCOR_STATIC_THIRD_PARTY)
    set(pellucor_saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
    set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  endif()
  find_package(PNG REQUIRED)
  if(PELLUCOR_STATIC_THIRD_PARTY)
    set(CMAKE_FIND_LIBRARY_SUFFIXES ${pellucor_saved_suffixes})
  endif()
  find_package(nlohmann_json 3 REQUIRED)
endif()
if(PELLUCOR_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(PELLUCOR_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
