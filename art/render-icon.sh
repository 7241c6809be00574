#!/usr/bin/env bash
# Renders the application icon from art/icon/orvanta.svg into packaging/icons/: the SVG itself
# and a PNG for each size that desktops look for. Run it after changing the source; the output
# is the same on every run, so only real changes show up in the history.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out="$root/packaging/icons"
sizes=(16 22 24 32 48 64 128 256)

if ! command -v rsvg-convert >/dev/null; then
    as_root=()
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "Install librsvg2-bin (needs root or sudo)." >&2; exit 1; }
        as_root=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends librsvg2-bin
fi

mkdir -p "$out"
cp "$here/icon/orvanta.svg" "$out/orvanta.svg"
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$out/orvanta-$size.png" "$here/icon/orvanta.svg"
done
echo "Rendered ${sizes[*]} into $out"
