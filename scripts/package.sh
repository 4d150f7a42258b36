#!/usr/bin/env bash
# Builds the Debian package build/orvane-zentrel_VERSION_ARCH.deb and checks it:
#   ./scripts/package.sh && sudo apt install ./build/orvane-zentrel_*.deb
# The package is built in build-package/ with Debian's hardening flags (dpkg-buildflags), so the
# development build in build/ keeps its own flags. The check lists the package's files, and lintian
# must find no error in it (warnings are shown).
source "$(dirname "$0")/common.sh"

oz_install_packages

# From the root, so dpkg-buildflags' -ffile-prefix-map is the same wherever the script is started.
cd "$OZ_ROOT"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
oz_build build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOZ_BUILD_TESTS=OFF -DOZ_BUILD_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"

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
if grep -q '^E: ' "$OZ_ROOT/build/lintian.txt"; then
    echo "lintian found errors in $deb" >&2
    exit 1
fi
echo
echo "Package: $deb ($(stat -c %s "$deb") bytes)"
echo "lintian: $(grep -c '^E: ' "$OZ_ROOT/build/lintian.txt" || true) errors," \
    "$(grep -c '^W: ' "$OZ_ROOT/build/lintian.txt" || true) warnings"
echo "Install it with: sudo apt install $deb"
