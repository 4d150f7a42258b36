#!/usr/bin/env bash
# Runs one fuzz target of tests/fuzz/ for a while:
#
#     scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#
# Builds build-fuzz/ with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer on first
# use (-DOZ_FUZZ=ON). The seed corpus tests/fuzz/corpus/TARGET/, and the folders
# tests/fuzz/shared-seeds.txt names for TARGET, are read, never written: new inputs
# go to build-fuzz/corpus/TARGET/, a crash, a broken promise or a slow input to
# build-fuzz/findings/TARGET/. docs/fuzzing.md says what to do with a finding.
source "$(dirname "$0")/common.sh"

targets() {
    local source
    for source in "$OZ_ROOT"/tests/fuzz/*_fuzz.cpp; do
        source="$(basename "$source")"
        echo "${source%_fuzz.cpp}"
    done
}

if [[ $# -lt 2 || ! "$2" =~ ^[0-9]+$ ]]; then
    echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
    echo "targets: $(targets | tr '\n' ' ')" >&2
    exit 2
fi
target="$1"
seconds="$2"
shift 2
if [[ ! -f "$OZ_ROOT/tests/fuzz/${target}_fuzz.cpp" ]]; then
    echo "no fuzz target '$target'; targets: $(targets | tr '\n' ' ')" >&2
    exit 2
fi

oz_install_packages
oz_install_packages "$OZ_ROOT/scripts/fuzz-packages.txt"

compiler="$(command -v clang++-14 || command -v clang++ || true)"
if [[ -z "$compiler" ]]; then
    echo "clang++ not found: install clang-14 and libclang-rt-14-dev" >&2
    exit 1
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

build="$OZ_ROOT/build-fuzz"
cmake -S "$OZ_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$compiler" \
    "${launcher[@]}" -DOZ_FUZZ=ON -DOZ_BUILD_TESTS=OFF -DOZ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$OZ_JOBS" --target "fuzz_$target"

corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
seeds=("$OZ_ROOT/tests/fuzz/corpus/$target")
while read -r name folder; do
    if [[ "$name" == "$target" ]]; then seeds+=("$OZ_ROOT/$folder"); fi
done <"$OZ_ROOT/tests/fuzz/shared-seeds.txt"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# -timeout: an input that takes seconds is a finding (a quadratic reader); the targets cut what
# may legitimately be large (inflated gzip, the direct segmenter scan).
exec "$build/bin/fuzz_$target" "$corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$@"
