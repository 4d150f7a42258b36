#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the program.
#   ./run.sh            the program (arguments are passed on)
#   ./run.sh --demo     a publishing run against the local stand-in back end
source "$(dirname "$0")/scripts/common.sh"

oz_install_packages
oz_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOZ_BUILD_TESTS=OFF -DOZ_BUILD_BENCH=OFF

if [[ "${1:-}" == "--demo" ]]; then
    shift
    exec "$OZ_ROOT/scripts/demo.sh" "$@"
fi
exec "$OZ_ROOT/build/bin/orvane-zentrel" "$@"
