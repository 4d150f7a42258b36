# The fuzz targets of tests/fuzz/ (see docs/fuzzing.md).
#
# OZ_FUZZ=ON (clang): every target becomes a libFuzzer program, fuzz_NAME, with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the whole project is compiled with the coverage instrumentation
# libFuzzer steers by. scripts/fuzz.sh configures such a build in build-fuzz/ and runs one target.
#
# Any test build (OZ_BUILD_TESTS, any compiler): every target also becomes a replay program,
# fuzz_replay_NAME, and a CTest that feeds it every file of tests/fuzz/corpus/NAME/ (the seed
# corpus and the reproducers of past findings) and of the folders tests/fuzz/shared-seeds.txt
# names for NAME, as regression tests.
option(OZ_FUZZ "Build the libFuzzer targets of tests/fuzz (needs clang)" OFF)

if(OZ_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "OZ_FUZZ needs clang with libFuzzer: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(oz_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(oz_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
endif()

# oz_fuzz_target(NAME SOURCE): the programs of one target (see above). The target links every core
# library, so a new reader is one call away.
function(oz_fuzz_target name source)
    set(libraries oz_schedule oz_engine oz_backend oz_http oz_content oz_config oz_tools oz_text)
    if(OZ_FUZZ)
        add_executable(fuzz_${name} ${source})
        target_link_libraries(fuzz_${name} PRIVATE oz_options ${libraries})
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    elseif(OZ_BUILD_TESTS)
        set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
        if(NOT IS_DIRECTORY ${corpus})
            message(FATAL_ERROR "The fuzz target ${name} has no seed corpus: ${corpus}")
        endif()
        set(seeds ${corpus})
        set(shared_list ${CMAKE_CURRENT_SOURCE_DIR}/shared-seeds.txt)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${shared_list})
        file(STRINGS ${shared_list} shared REGEX "^${name} ")
        foreach(line ${shared})
            string(REGEX REPLACE "^${name} +" "" folder "${line}")
            list(APPEND seeds ${CMAKE_SOURCE_DIR}/${folder})
        endforeach()
        add_executable(fuzz_replay_${name} ${source} ${CMAKE_CURRENT_SOURCE_DIR}/replay_main.cpp)
        target_link_libraries(fuzz_replay_${name} PRIVATE oz_options ${libraries})
        add_test(NAME fuzz_replay_${name} COMMAND fuzz_replay_${name} ${seeds})
        set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS fuzz TIMEOUT 300)
    endif()
endfunction()

# The test build adds tests/fuzz with the other tests; a fuzzing build needs no other test.
if(OZ_FUZZ AND NOT OZ_BUILD_TESTS)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/fuzz ${CMAKE_BINARY_DIR}/tests/fuzz)
endif()
