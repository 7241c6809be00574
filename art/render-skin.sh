#!/usr/bin/env bash
# Renders the skin pictures from the SVG sources in art/ into res/Skin/ (and the built-in search
# picture into res/). Run it from anywhere after changing a source; the output is byte-for-byte
# the same on every run, so only real changes show up in the history.
#
# GIF keeps one transparent colour and no partial transparency, so every picture is flattened
# onto the colour that lies under it in the window:
#   - player controls, presets and the slider face: the flat strip colour (MAIN_BG_COLOR);
#   - caption buttons: the rows of the top strip they stand on (taken from the rendered BarTop);
#   - pictures with a cut-out shape (banner frame corners, slider thumb, search picture): edges
#     blended against their usual background, then the transparency cut at half opacity.
# Buttons get three pictures: Name.Gif, NameHover.Gif and NamePressed.Gif, the latter two drawn
# with the style sheets in art/states/; the pressed picture is also moved one pixel down.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
skin="$root/res/Skin"

# Must equal MAIN_BG_COLOR ("Slate") of res/Skin/SkinInfo.xml.
strip_colour="#1e2229"
# Background against which the search picture's edges are blended: between the menu and the
# Search button colours.
icon_matte="#252a33"

need=()
command -v rsvg-convert >/dev/null || need+=(librsvg2-bin)
command -v convert >/dev/null || need+=(imagemagick)
if [[ ${#need[@]} -gt 0 ]]; then
    as_root=()
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "Install ${need[*]} (needs root or sudo)." >&2; exit 1; }
        as_root=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$skin"

# svg_to_png SOURCE OUTPUT [STYLESHEET]: renders at the size written in the source.
svg_to_png()
{
    local args=()
    [[ $# -ge 3 ]] && args=(--stylesheet "$3")
    rsvg-convert "${args[@]}" --format png --output "$2" "$1"
}

# to_gif INPUT OUTPUT: alpha cut at 50 %, no dithering, no metadata.
to_gif()
{
    convert "$1" -channel A -threshold 50% +channel +dither -strip "$2"
}

# flatten LAYER BACKGROUND OUTPUT [DY]: the layer over an opaque background picture, moved DY
# pixels down.
flatten()
{
    convert "$2" "$1" -geometry "+0+${4:-0}" -compose over -composite -alpha off "$3"
}

# cutout LAYER MATTE OUTPUT: edges blended against MATTE, transparency kept where the layer is
# at least half opaque.
cutout()
{
    local size
    size=$(identify -format '%wx%h' "$1")
    convert \( -size "$size" "xc:$2" "$1" -compose over -composite -alpha off \) \
        \( "$1" -alpha extract \) -compose copy_opacity -composite "$3"
}

# Frame pieces: drawn exactly as designed.
for source in "$here"/frame/*.svg; do
    name=$(basename "$source" .svg)
    svg_to_png "$source" "$work/$name.png"
    to_gif "$work/$name.png" "$skin/$name.gif"
done

# What lies under the buttons: the flat strip, and for the caption buttons (17 x 17 at y = 8)
# the top strip's rows 8 to 24.
convert -size 64x64 "xc:$strip_colour" "$work/under-strip.png"
convert "$work/BarTop.png" -crop 1x17+0+8 +repage -scale '17x17!' -alpha off "$work/under-caption.png"

# button NAME SOURCE UNDER: the three state pictures of one button.
button()
{
    local name=$1 source=$2 under=$3 size state sheet dy
    size=$(rsvg-convert --format png "$source" | identify -format '%wx%h' -)
    convert "$under" -crop "$size+0+0" +repage "$work/under-$name.png"
    for state in "" Hover Pressed; do
        sheet=()
        dy=0
        [[ $state == Hover ]] && sheet=("$here/states/hover.css")
        [[ $state == Pressed ]] && sheet=("$here/states/pressed.css") && dy=1
        svg_to_png "$source" "$work/$name$state-layer.png" "${sheet[@]}"
        flatten "$work/$name$state-layer.png" "$work/under-$name.png" "$work/$name$state.png" "$dy"
        to_gif "$work/$name$state.png" "$skin/$name$state.Gif"
    done
}

for name in Stop Play Prev Next FullScreen MuteOn MuteOff PresetOn PresetOff Station; do
    button "$name" "$here/buttons/$name.svg" "$work/under-strip.png"
done
for name in Close Minimize Maximize Restore; do
    button "$name" "$here/buttons/$name.svg" "$work/under-caption.png"
done

# Volume slider: an opaque face and a thumb with rounded ends.
svg_to_png "$here/buttons/SliderBG.svg" "$work/SliderBG-layer.png"
convert "$work/under-strip.png" -crop 19x63+0+0 +repage "$work/under-slider.png"
flatten "$work/SliderBG-layer.png" "$work/under-slider.png" "$work/SliderBG.png"
to_gif "$work/SliderBG.png" "$skin/SliderBG.gif"
svg_to_png "$here/buttons/SliderButton.svg" "$work/SliderButton-layer.png"
cutout "$work/SliderButton-layer.png" "$strip_colour" "$work/SliderButton.png"
to_gif "$work/SliderButton.png" "$skin/SliderButton.Gif"

# The built-in search engine's picture lives directly in res/.
svg_to_png "$here/MoviesSearch.svg" "$work/MoviesSearch-layer.png"
cutout "$work/MoviesSearch-layer.png" "$icon_matte" "$work/MoviesSearch.png"
to_gif "$work/MoviesSearch.png" "$root/res/MoviesSearch.gif"

echo "Skin pictures written to $skin and $root/res/MoviesSearch.gif"
