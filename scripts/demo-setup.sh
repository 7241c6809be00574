#!/usr/bin/env bash
# Sets up the demo list server's folder and starts or stops the server. Builds nothing: the
# tools come from an existing build folder.
#
#   scripts/demo-setup.sh [BUILD_DIR [SITE_DIR]]          set up the site
#   scripts/demo-setup.sh --start [BUILD_DIR [SITE_DIR]]  set up, then start the list server
#   scripts/demo-setup.sh --stop [BUILD_DIR]              stop the list server
#
# BUILD_DIR defaults to build/ and SITE_DIR to BUILD_DIR/demo-site. Setting up publishes the list
# sources of demo/lists with orvanta-lists, copies the pages and pictures of demo/site, and
# generates the demo channels with ffmpeg, once: a channel whose playlist exists is kept. The
# server listens on 127.0.0.1:8719, the address the demo server list names; its process id and
# log are kept in BUILD_DIR (demo-listserver.pid, demo-listserver.log).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=8719
url="http://127.0.0.1:$port/"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
# Seconds of each channel; the playlist repeats them, so a channel runs for an hour.
clip_seconds=60
loops=60

action=setup
case "${1:-}" in
--start) action=start; shift ;;
--stop) action=stop; shift ;;
--help | -h) sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
-*) echo "demo-setup: unknown option $1 (try --help)" >&2; exit 2 ;;
esac
build=$(realpath -m "${1:-$root/build}")
site=$(realpath -m "${2:-$build/demo-site}")
pid_file="$build/demo-listserver.pid"
log_file="$build/demo-listserver.log"

# The process id of the running demo server, or nothing.
running_server()
{
    [[ -f "$pid_file" ]] || return 0
    local pid
    pid=$(cat "$pid_file")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    if [[ -r "/proc/$pid/cmdline" ]] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q orvanta-listserver; then
        echo "$pid"
    fi
}

stop_server()
{
    local pid
    pid=$(running_server)
    if [[ -z "$pid" ]]; then
        echo "The demo list server is not running."
        rm -f "$pid_file"
        return 0
    fi
    kill "$pid"
    for _ in $(seq 50); do
        [[ -d "/proc/$pid" ]] || break
        sleep 0.1
    done
    rm -f "$pid_file"
    echo "Stopped the demo list server (process $pid)."
}

# generate NAME TITLE VIDEO_SOURCE PITCH [VIDEO_FILTER]: one channel as HLS (H.264 and AAC in
# 2-second segments), skipped when it exists. Generated in a scratch folder that is renamed at
# the end, so an interrupted run leaves no half channel behind.
generate()
{
    local name=$1 title=$2 source=$3 pitch=$4 filter=${5:-null}
    local folder="$site/channels/$name" scratch="$site/channels/.$name.partial"
    if [[ -f "$folder/index.m3u8" ]]; then
        echo "  $name: already generated"
        return 0
    fi
    if [[ $has_text -eq 1 ]]; then
        local box="fontcolor=white:box=1:boxcolor=black@0.55:fontfile=$font"
        filter+=",drawtext=$box:text='$title':fontsize=30:boxborderw=10:x=24:y=24"
        filter+=",drawtext=$box:text='%{pts\\:hms}':fontsize=26:boxborderw=8:x=w-tw-24:y=h-th-24"
    fi
    rm -rf "$scratch"
    mkdir -p "$scratch"
    local started=$SECONDS
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "$source" \
        -f lavfi -i "sine=frequency=$pitch:beep_factor=2:sample_rate=48000" \
        -t "$clip_seconds" -vf "$filter" -af "volume=0.25" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -keyint_min 50 -sc_threshold 0 \
        -c:a aac -b:a 96k -ac 2 \
        -f hls -hls_time 2 -hls_playlist_type vod -hls_segment_filename "$scratch/seg%03d.ts" \
        "$scratch/once.m3u8"
    # The clip repeated as one long programme; the timestamps start again at every repeat, which
    # the discontinuity tag announces to the player.
    {
        echo "#EXTM3U"
        echo "#EXT-X-VERSION:3"
        grep '^#EXT-X-TARGETDURATION' "$scratch/once.m3u8"
        echo "#EXT-X-MEDIA-SEQUENCE:0"
        echo "#EXT-X-PLAYLIST-TYPE:VOD"
        for ((loop = 0; loop < loops; loop++)); do
            [[ $loop -gt 0 ]] && echo "#EXT-X-DISCONTINUITY"
            grep -E '^(#EXTINF|seg)' "$scratch/once.m3u8"
        done
        echo "#EXT-X-ENDLIST"
    } >"$scratch/index.m3u8"
    rm -rf "$folder"
    mv "$scratch" "$folder"
    echo "  $name: generated in $((SECONDS - started)) s"
}

setup_site()
{
    local lists_tool="$build/tools/orvanta-lists"
    [[ -x "$lists_tool" ]] || { echo "demo-setup: $lists_tool is missing; build first (cmake --build $build)" >&2; exit 1; }
    command -v ffmpeg >/dev/null || { echo "demo-setup: ffmpeg is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

    mkdir -p "$site/channels"
    "$lists_tool" publish "$root/demo/lists" "$site"
    cp -R "$root/demo/site/." "$site/"
    echo "Published the demo lists, pages and pictures into $site"

    has_text=0
    local filters
    filters=$(ffmpeg -hide_banner -filters 2>/dev/null || true)
    if [[ -f "$font" ]] && grep -q ' drawtext ' <<<"$filters"; then
        has_text=1
    else
        echo "  (no drawtext filter or no DejaVu font: the channels carry no captions)"
    fi
    local started=$SECONDS
    echo "Demo channels ($clip_seconds s each, repeated to an hour):"
    generate bars "Colour Bars" "smptebars=size=640x360:rate=25" 440
    generate pattern "Test Pattern" "testsrc2=size=640x360:rate=25" 660
    # The fractal is computed at a quarter of the pixels: at full size it takes most of the time.
    generate fractal "Mandelbrot" "mandelbrot=size=320x180:rate=25" 330 "scale=640:360"
    generate life "Game of Life" \
        "life=size=160x90:rate=25:mold=10:ratio=0.3:life_color=#4ade80:death_color=#14171c:mold_color=#1e3a5f" \
        523 "scale=640:360:flags=neighbor"
    echo "Channels ready after $((SECONDS - started)) s."
}

start_server()
{
    local server="$build/tools/orvanta-listserver" pid
    [[ -x "$server" ]] || { echo "demo-setup: $server is missing; build first" >&2; exit 1; }
    pid=$(running_server)
    if [[ -n "$pid" ]]; then
        echo "The demo list server already runs (process $pid) at $url"
        return 0
    fi
    if curl -s -o /dev/null --max-time 2 --noproxy '*' "$url"; then
        echo "demo-setup: something else already answers at $url; stop it first" >&2
        exit 1
    fi
    setsid "$server" --port "$port" "$site" >>"$log_file" 2>&1 </dev/null &
    pid=$!
    echo "$pid" >"$pid_file"
    for _ in $(seq 100); do
        if curl -sf -o /dev/null --max-time 2 --noproxy '*' "${url}UpdateSettings.txt"; then
            echo "The demo list server runs (process $pid) at $url; log: $log_file"
            return 0
        fi
        if [[ ! -d "/proc/$pid" ]]; then
            rm -f "$pid_file"
            echo "demo-setup: the list server ended at once:" >&2
            tail -n 5 "$log_file" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "demo-setup: the list server does not answer at $url; see $log_file" >&2
    exit 1
}

case "$action" in
setup) setup_site ;;
start) setup_site; start_server ;;
stop) stop_server ;;
esac
