#!/usr/bin/env bash
# Checks of the install tree: "tree" installs the build into a temporary prefix (the fixture of
# the others); each other check reads that prefix. Exit 77 skips a check whose tool is missing.
#
#   check_install.sh tree|desktop|appstream|manpage|unit|datafolder
#
# Environment: OZ_BUILD_DIR, OZ_SOURCE_DIR, OZ_PREFIX, OZ_VERSION, OZ_APPSTREAM_ID,
# OZ_MANPAGE (ON when the build writes the manual page).
set -euo pipefail

readonly SKIP=77
readonly PROGRAM="$OZ_PREFIX/bin/orvane-zentrel"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}

need() {
    command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed (apt-get install $2)"
}

# The program as an operator starts it from a terminal: no display, no data folder override.
run_program() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u ORVANE_DATA_DIR LC_ALL=C.UTF-8 "$PROGRAM" "$@"
}

# The command names of the usage's "Commands:" lines.
usage_commands() {
    run_program --help | sed -n '/^Commands:$/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p' | sort -u
}

expected_files() {
    cat <<EOF
bin/orvane-zentrel
lib/systemd/user/orvane-zentrel-schedule.service
share/applications/orvane-zentrel.desktop
share/doc/orvane-zentrel/copyright
share/icons/hicolor/128x128/apps/orvane-zentrel.png
share/icons/hicolor/256x256/apps/orvane-zentrel.png
share/icons/hicolor/48x48/apps/orvane-zentrel.png
share/icons/hicolor/scalable/apps/orvane-zentrel.svg
share/metainfo/$OZ_APPSTREAM_ID.metainfo.xml
EOF
    if [[ "$OZ_MANPAGE" == ON ]]; then
        echo share/man/man1/orvane-zentrel.1.gz
    fi
}

check_tree() {
    rm -rf "$OZ_PREFIX"
    cmake --install "$OZ_BUILD_DIR" --prefix "$OZ_PREFIX" >/dev/null
    local installed
    installed="$(cd "$OZ_PREFIX" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
    if [[ "$installed" != "$(expected_files | LC_ALL=C sort)" ]]; then
        diff <(expected_files | LC_ALL=C sort) <(echo "$installed") >&2 || true
        fail "the install tree differs from the expected files (< expected, > installed)"
    fi

    # Run from the prefix, away from the build tree.
    local version
    version="$(cd / && run_program --version)"
    [[ "${version%%$'\n'*}" == "orvane-zentrel $OZ_VERSION" ]] || fail "--version printed: $version"
    grep -q '^License GPLv3+' <<<"$version" || fail "--version names no licence: $version"
    local help
    help="$(cd / && run_program --help)"
    [[ "$help" == "Orvane·Zentrel $OZ_VERSION "* ]] || fail "--help begins: ${help%%$'\n'*}"
    grep -q '^Usage: orvane-zentrel ' <<<"$help" || fail "--help shows no usage"
    [[ -n "$(usage_commands)" ]] || fail "--help lists no commands"

    # An installed program must not look for libraries in the build tree.
    if command -v readelf >/dev/null 2>&1; then
        if readelf -d "$PROGRAM" | grep -E 'R(UN)?PATH' | grep -qF "$OZ_BUILD_DIR"; then
            fail "the installed program keeps a run path into the build tree"
        fi
    fi
}

# Width and height of a PNG from its IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

check_desktop() {
    need desktop-file-validate desktop-file-utils
    local entry="$OZ_PREFIX/share/applications/orvane-zentrel.desktop"
    desktop-file-validate "$entry" || fail "desktop-file-validate refused $entry"

    local exec icon
    exec="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    [[ -x "$OZ_PREFIX/bin/$exec" ]] || fail "Exec=$exec is not an installed program"
    icon="$(sed -n 's/^Icon=//p' "$entry")"
    local found=0 png
    for png in "$OZ_PREFIX"/share/icons/hicolor/*/apps/"$icon".png; do
        [[ -f "$png" ]] || continue
        found=1
        local folder
        folder="$(basename "$(dirname "$(dirname "$png")")")"
        [[ "$(png_size "$png")" == "$folder" ]] || fail "$png is $(png_size "$png"), not $folder"
    done
    [[ "$found" == 1 ]] || fail "Icon=$icon has no installed PNG"
    [[ -f "$OZ_PREFIX/share/icons/hicolor/scalable/apps/$icon.svg" ]] || fail "Icon=$icon has no SVG"
}

check_appstream() {
    need appstreamcli appstream
    local metainfo="$OZ_PREFIX/share/metainfo/$OZ_APPSTREAM_ID.metainfo.xml"
    # The tree check also finds the desktop entry that <launchable> names.
    appstreamcli validate-tree --no-net "$OZ_PREFIX" || fail "appstreamcli refused the install tree"
    grep -q "<launchable type=\"desktop-id\">orvane-zentrel.desktop</launchable>" "$metainfo" ||
        fail "no launchable names orvane-zentrel.desktop"
    grep -q '<summary xml:lang="zh_CN">' "$metainfo" || fail "no Chinese summary"

    local images name count=0
    images="$(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$metainfo")"
    for name in $images; do
        count=$((count + 1))
        [[ -f "$OZ_SOURCE_DIR/docs/screenshots/${name##*/}" ]] ||
            fail "screenshot ${name##*/} is not in docs/screenshots/"
    done
    [[ "$count" -gt 0 ]] || fail "no screenshots"
}

check_manpage() {
    [[ "$OZ_MANPAGE" == ON ]] || skip "the build has no manual page (apt-get install help2man)"
    need man man-db
    local page="$OZ_PREFIX/share/man/man1/orvane-zentrel.1.gz"
    # Rendered as lintian renders it: any warning of groff is a fault of the page.
    local warnings
    warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
    [[ -z "$warnings" ]] || fail "man reports: $warnings"

    # Wide enough that no line of a command's help is broken; runs of blanks as one space.
    local text
    text="$(LC_ALL=C.UTF-8 MANWIDTH=250 man -l "$page" 2>/dev/null |
        sed 's/.\x08//g' | tr -s ' \t' ' ')"
    grep -q '^ORVANE-ZENTREL(1)' <<<"$text" || fail "the page does not render"
    local command line words
    for command in $(usage_commands); do
        grep -qx " $command" <<<"$text" || fail "the page has no section of the command $command"
        while read -ra words; do
            line="${words[*]}"
            [[ -z "$line" ]] && continue
            [[ "$text" == *"$line"* ]] || fail "the page lacks a line of \"$command --help\": $line"
        done < <(run_program "$command" --help)
    done
}

check_unit() {
    need systemd-analyze systemd
    local unit="$OZ_PREFIX/lib/systemd/user/orvane-zentrel-schedule.service"
    grep -qx "ExecStart=$PROGRAM schedule" "$unit" || fail "the unit does not start $PROGRAM schedule"

    work=""
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -m 700 "$work/runtime"
    local man=--man=no
    [[ "$OZ_MANPAGE" == ON ]] && man=--man=yes
    verify() {
        XDG_RUNTIME_DIR="$work/runtime" MANPATH="$OZ_PREFIX/share/man" systemd-analyze --user "$man" verify "$1"
    }
    # Where even a plain unit cannot be verified (no user manager can start here), skip.
    printf '[Service]\nExecStart=/bin/true\n' >"$work/oz-probe.service"
    verify "$work/oz-probe.service" >/dev/null 2>&1 || skip "systemd-analyze cannot verify user units here"
    # It reports most faults (unknown keys, bad values) as warnings and still exits 0.
    local report
    report="$(verify "$unit" 2>&1)" || fail "systemd-analyze refused $unit: $report"
    [[ -z "$report" ]] || fail "systemd-analyze: $report"
}

# The data folder of an installed program: its folder (the prefix's bin/) is not writable, so the
# settings go to $XDG_DATA_HOME/Orvane·Zentrel, or ~/.local/share/Orvane·Zentrel without it.
check_datafolder() {
    work=""
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    chmod 755 "$work"
    mkdir -p "$work/prefix/bin" "$work/home"
    cp "$PROGRAM" "$work/prefix/bin/"
    chmod 555 "$work/prefix/bin"
    printf 'www.example.com|admin|secret|0|dede\n' >"$work/sites.txt"
    chmod 644 "$work/sites.txt"

    # Root may write anywhere, so the program runs as an ordinary user.
    local as_user=()
    if [[ "$(id -u)" == 0 ]]; then
        command -v setpriv >/dev/null 2>&1 || skip "setpriv is missing (util-linux)"
        chown nobody "$work/home"
        as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    fi
    installed() {
        "${as_user[@]}" env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME="$work/home" "$@"
    }
    installed "$work/prefix/bin/orvane-zentrel" --version >/dev/null ||
        skip "the copied program cannot run from $work"

    local case base
    for case in xdg home; do
        if [[ "$case" == xdg ]]; then
            base="$work/home/xdg"
            set -- XDG_DATA_HOME="$base"
        else
            base="$work/home/.local/share"
            set --
        fi
        installed "$@" "$work/prefix/bin/orvane-zentrel" sites import "$work/sites.txt" >/dev/null ||
            fail "($case) sites import failed"
        local listing
        listing="$(installed "$@" "$work/prefix/bin/orvane-zentrel" sites)"
        grep -q 'www.example.com(admin)' <<<"$listing" || fail "($case) sites lists: $listing"
        local folder="$base/Orvane·Zentrel"
        [[ -f "$folder/Orvane·Zentrel.ini" ]] || fail "($case) no settings file in $folder"
        [[ "$(stat -c %a "$folder")" == 700 ]] || fail "($case) $folder is not private to its owner"
        rm -rf "$base/Orvane·Zentrel"
    done
    [[ "$(ls "$work/prefix/bin")" == orvane-zentrel ]] || fail "the program wrote into its own folder"

    # Without HOME and XDG_DATA_HOME there is no folder of the user's own: say so and stop.
    local status=0 said
    said="$("${as_user[@]}" env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$work/prefix/bin/orvane-zentrel" sites 2>&1)" ||
        status=$?
    [[ "$status" == 2 && "$said" == *--data-dir* ]] || fail "(no home) status $status: $said"
}

case "${1:-}" in
    tree) check_tree ;;
    desktop) check_desktop ;;
    appstream) check_appstream ;;
    manpage) check_manpage ;;
    unit) check_unit ;;
    datafolder) check_datafolder ;;
    *) fail "unknown check: ${1:-}" ;;
esac
echo "OK: $1"
