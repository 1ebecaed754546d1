# The fuzzing configuration (LYRAFOLD_FUZZ): everything built with clang's coverage instrumentation
# for libFuzzer, with the address and undefined-behaviour sanitizers, so that the fuzz targets in
# tests/fuzz find memory faults as well as broken rules.
include(CheckCXXSourceCompiles)

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LYRAFOLD_FUZZ needs clang with libFuzzer (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()
set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *, std::size_t) { return 0; }
]] LYRAFOLD_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT LYRAFOLD_HAVE_LIBFUZZER)
    message(FATAL_ERROR "clang cannot link libFuzzer here: install libclang-rt-dev")
endif()

set(lyrafold_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
add_compile_options(-fsanitize=fuzzer-no-link ${lyrafold_sanitizers} -fno-omit-frame-pointer)
add_link_options(${lyrafold_sanitizers})
