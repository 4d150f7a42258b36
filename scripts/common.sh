# Shared by run.sh and test.sh: installs what is missing, configures and builds.
set -euo pipefail

OZ_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OZ_JOBS="$(nproc 2>/dev/null || echo 2)"

# oz_missing_packages [LIST]: the packages of LIST (scripts/packages.txt) not installed.
oz_missing_packages() {
    local list="${1:-$OZ_ROOT/scripts/packages.txt}"
    local missing=()
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$pkg")
        fi
    done <"$list"
    echo "${missing[@]:-}"
}

oz_install_packages() {
    local missing
    missing="$(oz_missing_packages "$@")"
    [[ -z "$missing" ]] && return 0
    if [[ "$(id -u)" != 0 ]]; then
        echo "Missing Debian packages: $missing" >&2
        echo "Install them as root (apt-get install $missing) and run this script again." >&2
        exit 1
    fi
    echo "Installing: $missing"
    apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# oz_build DIR [cmake options...]
oz_build() {
    local dir="$1"
    shift
    cmake -S "$OZ_ROOT" -B "$OZ_ROOT/$dir" -G Ninja "$@"
    cmake --build "$OZ_ROOT/$dir" -j "$OZ_JOBS"
}
