#!/usr/bin/env bash
# Times "orvanta-lists show" on a large generated station directory against a small pugixml
# program that reads the same plain files (tests/bench/PugiDirectoryShow.cpp), and prints both
# figures and the ratio. Both print the same lines (checked byte for byte) to /dev/null; the
# pugixml program is also timed reading without printing.
#
# Usage: scripts/bench-directory.sh [BUILD_DIR] [STATIONS_PER_MENU] [ROUNDS]
# The directory has 20 categories of 50 menus each; 100 stations a menu (the default) give
# 100,000 stations in about 15 MB. Each figure is the best of ROUNDS runs (default 7) in CPU
# time (user + system), which a busy machine disturbs less than the wall-clock time, also shown.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
stations=${2:-100}
rounds=${3:-7}
# LISTS may name another build of the tool, such as one from before a change.
lists=${LISTS:-$build/tools/orvanta-lists}
pugi=$build/tests/bench/pugixml_directory_show
for program in "$lists" "$pugi"; do
    [[ -x $program ]] || { echo "missing $program: build it first (libpugixml-dev)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plain" "$work/res"

"$root/scripts/make-directory.sh" "$work/plain" 20 50 "$stations" http://img.example.net/icons/
# The program reads the lists scrambled, as the servers deliver them.
for file in "$work"/plain/*.txt; do
    "$lists" scramble "$file" "$work/res/$(basename "$file")"
done

"$lists" show "$work/res" >"$work/show.txt"
"$pugi" "$work/plain" >"$work/pugi.txt"
cmp -s "$work/show.txt" "$work/pugi.txt" || { echo "the two programs print different lines" >&2; exit 1; }
records=$(wc -l <"$work/show.txt")
megabytes=$(du -cb "$work"/plain/*.txt | awk 'END { printf "%.1f", $1 / 1e6 }')
echo "directory: $records records, $megabytes MB of plain text"

# Best CPU time (user + system) and best wall-clock time of the command over the rounds, in ms.
best() {
    local cpu=999999 wall=999999 line
    for ((round = 0; round < rounds; ++round)); do
        line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null; } 2>&1 )
        read -r r u s <<<"$line"
        cpu=$(awk -v a="$cpu" -v u="$u" -v s="$s" 'BEGIN { t = (u + s) * 1000; print (t < a ? t : a) }')
        wall=$(awk -v a="$wall" -v r="$r" 'BEGIN { t = r * 1000; print (t < a ? t : a) }')
    done
    echo "$cpu $wall"
}

read -r show_cpu show_wall <<<"$(best "$lists" show "$work/res")"
read -r pugi_cpu pugi_wall <<<"$(best "$pugi" "$work/plain")"
read -r walk_cpu walk_wall <<<"$(best "$pugi" --walk-only "$work/plain")"
printf '%-44s %8s %8s\n' "" "CPU ms" "wall ms"
printf '%-44s %8.0f %8.0f\n' "orvanta-lists show (scrambled lists)" "$show_cpu" "$show_wall"
printf '%-44s %8.0f %8.0f\n' "pugixml, same lines printed (plain lists)" "$pugi_cpu" "$pugi_wall"
printf '%-44s %8.0f %8.0f\n' "pugixml, parse and walk only (plain lists)" "$walk_cpu" "$walk_wall"
awk -v a="$show_cpu" -v b="$pugi_cpu" -v c="$walk_cpu" 'BEGIN {
    printf "ratio (CPU): %.2f against pugixml printing, %.2f against pugixml walking only\n", a / b, a / c }'
