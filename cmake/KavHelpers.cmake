# kav_target_defaults(target): include root, warnings.
function(kav_target_defaults target)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE ${KAV_WARNINGS})
endfunction()

# kav_library(name DEPS dep...) builds every .cpp of the calling folder (not
# its subfolders) into one static library.
function(kav_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    kav_target_defaults(${name})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# kav_executable(name SOURCES ... DEPS ...)
function(kav_executable name)
    cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    kav_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# kav_test(name SOURCES ... DEPS ...) makes one GoogleTest executable and
# registers its cases with CTest. COST N (about the seconds its longest case
# takes under the sanitizers on two cores) makes CTest start its cases first:
# a fresh clone has no timings of earlier runs, and a long case started last
# leaves the other cores idle while it ends. WAITS marks a program whose cases
# mostly wait rather than compute (see below).
function(kav_test name)
    cmake_parse_arguments(ARG "WAITS" "TIMEOUT;COST" "DEPS;SOURCES;LABELS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    kav_target_defaults(${name})
    kav_test_code(${name})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} kav_testsupport GTest::gtest GTest::gmock)
    kav_test_pch(${name})
    set(props TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    if(ARG_COST)
        list(APPEND props COST ${ARG_COST})
    endif()
    if(ARG_WAITS)
        list(APPEND props RESOURCE_GROUPS cpus:1)
    else()
        list(APPEND props RESOURCE_GROUPS cpus:2)
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# The tests' share of the cores: ./test.sh hands CTest a resource "cpus" of
# two slots a core and twice as many jobs as cores. An ordinary test
# takes two slots, a core; a test of a WAITS program takes one: its cases wait
# for an X server, for a program that runs at a person's pace or for replies
# on the wall clock, and leave most of a core to another test. Without the
# resource file (a plain ctest -jN) the groups are not used.
#
# kav_test_code(target): a target of test code (the cases and their support, not
# the product they link). With the sanitizers on it keeps AddressSanitizer but
# leaves UBSan's checks to the product's own objects, and in Debug has line
# tables only (-g1, enough for every stack trace): UBSan's instrumentation
# doubles the compile time of GoogleTest's and the fixtures' templates, which
# are half the test build, and it checks nothing there that the product's
# objects, built with both sanitizers, do not.
function(kav_test_code target)
    if(KAV_SANITIZE)
        target_compile_options(${target} PRIVATE -fno-sanitize=undefined)
    endif()
    target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-g1>)
    # GCC 12's fault with inlined std::string appends (see KAV_WARNINGS) also
    # takes the tests' joined literals, optimised, for copies out of bounds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE
            $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread>)
    endif()
endfunction()

# Test code's precompiled header: GoogleTest, GoogleMock, nlohmann/json and
# the standard headers cost some three seconds in every test batch, parsed
# anew each time; kav_testsupport compiles them once (tests/support) and every
# test target reuses its header, so they must keep the same compile options.
# ccache does not cache a compile that uses a precompiled header unless told
# to, so under it the header is off by default.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set(kav_pch_default OFF)
else()
    set(kav_pch_default ON)
endif()
option(KAV_TEST_PCH "Precompile the test code's common headers" ${kav_pch_default})

# kav_test_pch(target): a target of test code reuses kav_testsupport's header.
function(kav_test_pch target)
    if(KAV_TEST_PCH)
        target_precompile_headers(${target} REUSE_FROM kav_testsupport)
    endif()
endfunction()

# kav_backend(name DEPS dep...) builds every .cpp of the calling folder into
# an object library: a back end that registers itself with the layer below
# when it is linked in (a static initialiser), so its objects must reach the
# program whole, never sit unused in an archive. Only programs link back ends.
function(kav_backend name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} OBJECT ${sources})
    kav_target_defaults(${name})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Test peers: the simulated dealer and the Boost.Beast servers and clients
# that the tests talk to are the independent other side, not the product.
# They are built without the sanitizers and, in Debug, with line tables only
# (-g1): Beast's templates cost several times more compile time with ASan and
# full debug information, and the client's code keeps both.
#
# kav_peer(target): the whole target.
function(kav_peer target)
    foreach(prop COMPILE_OPTIONS LINK_OPTIONS)
        get_target_property(opts ${target} ${prop})
        if(opts)
            list(FILTER opts EXCLUDE REGEX "^-f(no-)?sanitize")
            set_target_properties(${target} PROPERTIES ${prop} "${opts}")
        endif()
    endforeach()
    target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-g1>)
    # GCC 12's fault with inlined std::string appends (see KAV_WARNINGS) also
    # takes the tests' joined literals, optimised, for copies out of bounds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE
            $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread>)
    endif()
endfunction()

# kav_peer_sources(file...): single files of a target that the product's tests
# link (a file with options of its own stays out of the unity batches).
function(kav_peer_sources)
    set_source_files_properties(${ARGN} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        PROPERTIES COMPILE_OPTIONS "-fno-sanitize=all;$<$<CONFIG:Debug>:-g1>"
                   SKIP_PRECOMPILE_HEADERS ON)
endfunction()
