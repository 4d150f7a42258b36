# Shared by the sections of scripts/acceptance/: sourced by each, never run as a section itself.
#
#   OZ_ROOT, OZ_BIN          the repository and the program the sections drive
#   oz_work_dir NAME         a fresh folder /tmp/NAME.XXXXXX that the web server may read
#   oz_sql DATABASE QUERY    one query through `mysql`, rows tab-separated without a header
#   oz_require_bin           ends the section (status 2) when the program is not built
#   oz_section_args ARGS...  reads the sections' common options into BIN (--bin PATH), ONLY
#                            (--only PORT[,PORT...]) and KEEP (--keep-temp); --help prints the
#                            section's opening comment
#   oz_apache_site_up NAME   enables the Apache site whose configuration comes on stdin, as
#                            /etc/apache2/sites-available/NAME.conf, and reloads Apache
#   oz_apache_site_down NAME disables and removes it again (quietly, also when it never came up)

OZ_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
OZ_BIN="${OZ_BIN:-$OZ_ROOT/build/bin/orvane-zentrel}"

oz_work_dir() {
    local dir
    dir="$(mktemp -d "/tmp/$1.XXXXXX")"
    chmod 755 "$dir"
    echo "$dir"
}

oz_sql() { mysql -N -B --default-character-set=utf8mb4 "$1" -e "$2" 2>/dev/null; }

oz_require_bin() {
    [[ -x "$OZ_BIN" ]] || { echo "no program at $OZ_BIN (cmake --build build --target orvane-zentrel)" >&2; exit 2; }
}

oz_apache_site_up() {
    {
        echo "# Made by an acceptance section of Orvane·Zentrel; removed when it ends."
        cat
    } >"/etc/apache2/sites-available/$1.conf"
    a2ensite -q "$1" >/dev/null
    apachectl graceful
    sleep 1
}

oz_apache_site_down() {
    a2dissite -q "$1" >/dev/null 2>&1 || true
    rm -f "/etc/apache2/sites-available/$1.conf"
    apachectl graceful || true
}

oz_section_args() {
    BIN="$OZ_BIN"
    ONLY=""
    KEEP=0
    while [ $# -gt 0 ]; do
        case "$1" in
            --bin) BIN=$2; shift ;;
            --only) ONLY=$2; shift ;;
            --keep-temp) KEEP=1 ;;
            -h|--help) awk 'NR > 1 && !/^#/ {exit} NR > 1 {sub(/^# ?/, ""); print}' "$0"; exit 0 ;;
            *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
        esac
        shift
    done
}
