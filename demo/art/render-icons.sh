#!/usr/bin/env bash
# Renders the demo's station, folder and search-engine pictures from the SVG sources in this
# folder into demo/site/icons/ and demo/site/engines/. Run it after changing a source; the GIFs
# are committed, so setting up the demo needs neither tool. Needs librsvg2-bin and imagemagick.
#
# GIF keeps one transparent colour and no partial transparency: the rounded edges are blended
# against the dark colour the tree and the menu stand on, then cut at half opacity.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
site="$here/../site"
matte="#1e2229"
engines=(Web Encyclopedia Video Archive)

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install librsvg2-bin imagemagick)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$site/icons" "$site/engines"

for source in "$here"/*.svg; do
    name=$(basename "$source" .svg)
    folder=icons
    for engine in "${engines[@]}"; do
        [[ "$name" == "$engine" ]] && folder=engines
    done
    rsvg-convert --format png --output "$work/$name.png" "$source"
    # Colour from the picture blended over the matte, transparency from the picture's own alpha.
    convert "$work/$name.png" \( +clone -background "$matte" -alpha remove \) +swap \
        -compose CopyOpacity -composite -channel A -threshold 50% +channel +dither -strip \
        "$site/$folder/$name.gif"
done
echo "Rendered $(ls "$here"/*.svg | wc -l) pictures into $site/icons and $site/engines"
