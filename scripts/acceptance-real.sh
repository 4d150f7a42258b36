#!/usr/bin/env bash
# Runs the program against the real back ends on this machine (see docs/acceptance.md) and prints
# each section's table: scripts/acceptance/*.sh (common.sh is what they share). Not part of CI. Usage: acceptance-real.sh [SECTION...]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export OZ_BIN="${OZ_BIN:-$ROOT/build/bin/orvane-zentrel}"
if [[ ! -x "$OZ_BIN" ]]; then
    cmake --build "$ROOT/build" --target orvane-zentrel
fi
sections=("$@")
if (( ${#sections[@]} == 0 )); then
    for file in "$ROOT"/scripts/acceptance/*.sh; do
        [[ "$(basename "$file")" == common.sh ]] && continue  # sourced by the sections
        sections+=("$(basename "$file" .sh)")
    done
fi
for section in "${sections[@]}"; do
    echo "## $section"
    echo
    bash "$ROOT/scripts/acceptance/$section.sh"
    echo
done
