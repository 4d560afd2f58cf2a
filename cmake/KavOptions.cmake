option(KAV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KAV_BUILD_TESTS "Build the test suite" ON)
option(KAV_BUILD_BENCH "Build the benchmarks" ON)
option(KAV_FUZZ "Build libFuzzer targets (needs clang)" OFF)

# Warnings apply to our own targets only (see kav_target_defaults).
set(KAV_WARNINGS -Wall -Wextra)
# GCC 12 at -O3 takes the inlined std::string appends for overlapping copies of
# some 2^63 bytes (a compiler fault, fixed in GCC 13); every other build keeps
# the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND KAV_WARNINGS $<$<CONFIG:Release>:-Wno-restrict>)
endif()

if(KAV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing: everything is built with coverage instrumentation for libFuzzer and
# with AddressSanitizer/UBSan; only the fuzz programs link libFuzzer's main.
if(KAV_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
