#!/usr/bin/env bash
# Builds the Debian package build/orvane-zentrel_VERSION_ARCH.deb the quick way (CPack, in
# build-package/, kept between calls) and checks it:
#   ./scripts/package.sh && sudo apt install ./build/orvane-zentrel_*.deb
# "dpkg-buildpackage -us -uc -b" builds the same files from debian/ (and a -dbgsym package);
# scripts/reproducible-build.sh compares the two ways. The package gets Debian's hardening flags
# (dpkg-buildflags), so the development build in build/ keeps its own flags. The check lists the
# package's files, and lintian must find no error and no warning in it.
source "$(dirname "$0")/common.sh"

oz_install_packages

# From the root, so dpkg-buildflags' -ffile-prefix-map is the same wherever the script is started.
cd "$OZ_ROOT"
# Configured as dh_auto_configure does it (debian/rules): the flags of dpkg-buildflags, no build type
# of CMake's own. Every date in the package is the commit's (SOURCE_DATE_EPOCH).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
    SOURCE_DATE_EPOCH="$(git -C "$OZ_ROOT" log -1 --format=%ct 2>/dev/null ||
        dpkg-parsechangelog -l "$OZ_ROOT/debian/changelog" -STimestamp)"
fi
export SOURCE_DATE_EPOCH
oz_build build-package -DCMAKE_BUILD_TYPE=None -DOZ_BUILD_TESTS=OFF -DOZ_BUILD_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr

mkdir -p "$OZ_ROOT/build"
rm -f "$OZ_ROOT"/build/orvane-zentrel_*.deb
(cd "$OZ_ROOT/build-package" && cpack -G DEB -B "$OZ_ROOT/build")
rm -rf "$OZ_ROOT/build/_CPack_Packages"

deb="$(ls "$OZ_ROOT"/build/orvane-zentrel_*.deb)"
echo
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
echo
# lintian warns when it runs as root; the warning is not about the package.
lintian --display-info "$deb" 2> >(grep -v 'running with root privileges' >&2) | tee "$OZ_ROOT/build/lintian.txt" || true
if grep -q '^[EW]: ' "$OZ_ROOT/build/lintian.txt"; then
    echo "lintian found errors or warnings in $deb" >&2
    exit 1
fi
echo
echo "Package: $deb ($(stat -c %s "$deb") bytes)"
echo "lintian: $(grep -c '^E: ' "$OZ_ROOT/build/lintian.txt" || true) errors," \
    "$(grep -c '^W: ' "$OZ_ROOT/build/lintian.txt" || true) warnings"
echo "Install it with: sudo apt install $deb"
