#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest: once in build/ and
# once in build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "$0")/scripts/common.sh"

oz_install_packages

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

oz_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOZ_BUILD_TESTS=ON -DOZ_BUILD_BENCH=ON
ctest --test-dir "$OZ_ROOT/build" --output-on-failure -j "$OZ_JOBS" --timeout 300

oz_build build-asan -DCMAKE_BUILD_TYPE=Debug -DOZ_SANITIZE=ON -DOZ_BUILD_TESTS=ON -DOZ_BUILD_BENCH=OFF
ctest --test-dir "$OZ_ROOT/build-asan" --output-on-failure -j "$OZ_JOBS" --timeout 600
