#!/usr/bin/env bash
# Builds one commit's Debian packages twice, each time with "dpkg-buildpackage -us -uc -b" in a
# fresh clone, and checks that the two builds give the same bytes; then checks the packages with
# lintian (no error, no warning) and that scripts/package.sh (the quick way) gives the same files.
#
#   scripts/reproducible-build.sh [COMMIT]        (default: HEAD)
#
# Every date in the packages is the commit's (SOURCE_DATE_EPOCH). The clones lie in one fixed
# folder ($OZ_REPRO_DIR, default /tmp/orvane-zentrel-repro), as a package build does not depend on
# where its source lies; a compiler launcher such as ccache (CMAKE_CXX_COMPILER_LAUNCHER in the
# environment) gives the second build the same objects the first one compiled. The packages and
# their checksums are left in $OZ_REPRO_DIR/1 and $OZ_REPRO_DIR/2.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
commit="$(git -C "$root" rev-parse --verify "${1:-HEAD}^{commit}")"
work="${OZ_REPRO_DIR:-/tmp/orvane-zentrel-repro}"
SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct "$commit")"
export SOURCE_DATE_EPOCH

# One build from a clean clone into $work/$1.
build() {
    local out="$work/$1"
    rm -rf "$work/src" "$out"
    mkdir -p "$work/src" "$out"
    git clone --quiet --no-local "$root" "$work/src/orvane-zentrel"
    git -C "$work/src/orvane-zentrel" checkout --quiet --detach "$commit"
    echo "Build $1 of $commit (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH) ..."
    if ! (cd "$work/src/orvane-zentrel" && dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
        tail -30 "$out/build.log" >&2
        echo "dpkg-buildpackage failed; the log is $out/build.log" >&2
        exit 1
    fi
    mv "$work"/src/*.deb "$work"/src/*.changes "$work"/src/*.buildinfo "$out/"
    (cd "$out" && sha256sum -- *.deb >SHA256SUMS)
}

build 1
build 2

echo
cat "$work/1/SHA256SUMS"
if ! diff "$work/1/SHA256SUMS" "$work/2/SHA256SUMS" >/dev/null; then
    echo "The two builds differ:" >&2
    diff "$work/1/SHA256SUMS" "$work/2/SHA256SUMS" >&2 || true
    command -v diffoscope >/dev/null && diffoscope "$work/1" "$work/2" >&2 || true
    exit 1
fi
echo "The two builds are bit-identical."

# lintian on the packages of the first build; it warns when it runs as root, which is not about them.
changes="$(ls "$work"/1/*.changes)"
report="$(lintian --pedantic --display-info "$changes" 2> >(grep -v 'running with root privileges' >&2) || true)"
if grep -q '^[EW]: ' <<<"$report"; then
    echo "$report" >&2
    echo "lintian found errors or warnings" >&2
    exit 1
fi
echo "lintian --pedantic: no error, no warning."

# The quick way, in the second clone: the same files with the same modes.
(cd "$work/src/orvane-zentrel" && scripts/package.sh) >"$work/2/package.log" 2>&1 || {
    tail -30 "$work/2/package.log" >&2
    exit 1
}
# Paths and modes; dpkg-deb's archives list their root "./", CPack's do not.
files() { dpkg-deb --contents "$1" | awk '$6 != "./" { print $1, $6 }' | sort; }
quick="$(ls "$work"/src/orvane-zentrel/build/orvane-zentrel_*.deb)"
package="$(ls "$work"/1/orvane-zentrel_*.deb)"
if ! diff <(files "$package") <(files "$quick") >&2; then
    echo "scripts/package.sh gives other files than dpkg-buildpackage (< dpkg-buildpackage, > package.sh)" >&2
    exit 1
fi
echo "scripts/package.sh gives the same files."
