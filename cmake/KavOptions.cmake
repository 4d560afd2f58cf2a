option(KAV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KAV_BUILD_TESTS "Build the test suite" ON)
option(KAV_BUILD_BENCH "Build the benchmarks" ON)
option(KAV_FUZZ "Build libFuzzer targets (needs clang)" OFF)
# Unity builds: each target compiles its sources in batches of KAV_UNITY_BATCH
# files, one compiler run a batch, which saves the headers' cost seven times
# out of eight. ./test.sh turns it on; a target or a source file can stay out
# (the README's "The test build" says how).
option(KAV_UNITY "Compile each target's sources in unity batches" OFF)
set(KAV_UNITY_BATCH 8 CACHE STRING "Source files in one unity batch")
if(KAV_UNITY)
    set(CMAKE_UNITY_BUILD ON)
    set(CMAKE_UNITY_BUILD_BATCH_SIZE ${KAV_UNITY_BATCH})
endif()

# Warnings apply to our own targets only (see kav_target_defaults).
set(KAV_WARNINGS -Wall -Wextra)
# GCC 12, optimising (-O2 of RelWithDebInfo as well as -O3), takes the inlined
# std::string appends for overlapping copies of some 2^63 bytes (a compiler
# fault, fixed in GCC 13); the unoptimised Debug build keeps the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND KAV_WARNINGS $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Wno-restrict>)
endif()
# GCC spares a type of the anonymous namespace used by a class of the main file
# from -Wsubobject-linkage; in a unity batch the main file is the batch, so every
# included file's fixtures and pimpls would warn although each is still in one
# translation unit only.
if(KAV_UNITY AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND KAV_WARNINGS -Wno-subobject-linkage)
endif()

if(KAV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    # Programs are linked at a fixed address: UBSan's and ASan's data for every
    # checked place holds pointers, some two million in a test program, which a
    # position-independent program has the loader relocate at every start, a
    # third of a test case's own start-up time over some eight hundred cases.
    add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
endif()

# lld links several times faster than the default linker (package lld).
find_program(KAV_LLD ld.lld)
if(KAV_LLD)
    option(KAV_USE_LLD "Link with lld" ON)
else()
    set(KAV_USE_LLD OFF)
endif()
if(KAV_USE_LLD)
    add_link_options(-fuse-ld=lld)
endif()

# Fuzzing: everything is built with coverage instrumentation for libFuzzer and
# with AddressSanitizer/UBSan; only the fuzz programs link libFuzzer's main.
if(KAV_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
