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

# clang 14 with libstdc++ 12 cannot compile the qpdf 11.3 headers as C++20 (a vector of an incomplete
# type in qpdf/JSON.hh); they compile as C++17. Gives the target's sources that include them, directly
# or through one of the target's own headers, that standard.
function(lyrafold_compile_qpdf_users_as_cxx17 target)
    set(CMAKE_REQUIRED_DEFINITIONS -DPOINTERHOLDER_TRANSITION=4)
    set(CMAKE_REQUIRED_INCLUDES ${QPDF_INCLUDE_DIRS})
    check_cxx_source_compiles("#include <qpdf/QPDF.hh>\nint main() { return 0; }" LYRAFOLD_QPDF_HEADERS_IN_CXX20)
    if(LYRAFOLD_QPDF_HEADERS_IN_CXX20)
        return()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    file(RELATIVE_PATH layer "${PROJECT_SOURCE_DIR}/src" "${folder}")
    set(patterns "#include <qpdf/")
    foreach(source IN LISTS sources)
        if(source MATCHES "\\.h$")
            file(STRINGS "${folder}/${source}" hits REGEX "#include <qpdf/")
            if(hits)
                list(APPEND patterns "#include \"${layer}/${source}\"")
            endif()
        endif()
    endforeach()
    foreach(source IN LISTS sources)
        if(NOT source MATCHES "\\.cpp$")
            continue()
        endif()
        file(READ "${folder}/${source}" text)
        foreach(pattern IN LISTS patterns)
            string(FIND "${text}" "${pattern}" at)
            if(at GREATER_EQUAL 0)
                set_property(SOURCE "${folder}/${source}" DIRECTORY "${folder}" APPEND PROPERTY COMPILE_OPTIONS
                    -std=c++17 -Wno-c++20-extensions)
                break()
            endif()
        endforeach()
    endforeach()
endfunction()
