# oz_core_library(NAME DEPS...): a static library of every .cpp in the current folder
# (an interface library while the folder has no sources yet).
function(oz_core_library name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE oz_options ${ARGN})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC oz_options ${ARGN})
endfunction()

# oz_test_suite(NAME DEPS...): one GoogleTest executable of every .cpp in the current folder.
function(oz_test_suite name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE oz_options ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    # Shared test helpers are included from the root: "tests/support/temp_folder.h".
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE OZ_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               OZ_BINARY_DIR="${CMAKE_BINARY_DIR}")
    # Parameterised cases keep their given names instead of printed parameter values.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
endfunction()

# oz_benchmark(NAME SOURCE DEPS...): one Google Benchmark executable.
function(oz_benchmark name source)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE oz_options ${ARGN} benchmark::benchmark)
    target_compile_definitions(${name} PRIVATE OZ_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()
