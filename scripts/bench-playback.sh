#!/usr/bin/env bash
# The playback cost of ORVANTA against the mpv command-line player, side by side:
#
#   scripts/bench-playback.sh [BUILD_DIR [SECONDS]]
#
# Both play the same 320 x 240 HLS clip from a list server on 127.0.0.1, one after the other,
# on the same virtual X display (Xvfb with the openbox window manager), each for SECONDS
# (default 20) after a 5-second warm-up. mpv plays it three times: in a window of the size of
# ORVANTA's window, and in one of the size of ORVANTA's picture, the latter also with its OpenGL
# renderer forced (as the library's render API uses it). The CPU time of each process and
# its child processes (the web engine's helpers for ORVANTA) over that time is printed as a
# percentage of one core, with the ratio ORVANTA / mpv; ORVANTA's main process alone is shown
# too. ORVANTA_BENCH_SHOTS=FOLDER keeps a screenshot of each run.
#
# BUILD_DIR (default build/) must hold the program and the list tools (orvanta, orvanta-lists,
# orvanta-listserver). A Release build gives the figures that matter.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
seconds=${2:-20}
warmup=5
program="$build/Sources/orvanta"
lists_tool="$build/tools/orvanta-lists"
listserver="$build/tools/orvanta-listserver"

for tool in "$program" "$lists_tool" "$listserver"; do
    [[ -x "$tool" ]] || { echo "bench-playback: $tool is missing; build first" >&2; exit 1; }
done
for tool in xvfb-run openbox xprop xdotool ffmpeg mpv; do
    command -v "$tool" >/dev/null || { echo "bench-playback: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The measurement runs on a display of its own.
if [[ -z "${ORVANTA_BENCH_DISPLAY:-}" ]]; then
    export ORVANTA_BENCH_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-bench.XXXXXX")
server_pid=
wm_pid=
measured_pid=

# The processes of ORVANTA started in this run (tagged in their environment).
our_programs()
{
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == "$program" ]] || continue
        tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "ORVANTA_BENCH_TAG=$work" && echo "$pid"
    done
    return 0
}

cleanup()
{
    local pid
    [[ -n "$measured_pid" ]] && kill "$measured_pid" 2>/dev/null || true
    for pid in $(our_programs); do
        kill "$pid" 2>/dev/null || true
    done
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
    [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
    sleep 0.5
    rm -rf "$work"
}
trap cleanup EXIT

wait_for()
{
    local limit=$((SECONDS + $1))
    shift
    until "$@"; do
        [[ $SECONDS -lt $limit ]] || return 1
        sleep 0.2
    done
}

# cpu_ticks PID [self]: the CPU time (user and system, in clock ticks) of the process and all of
# its descendants that run now; with "self" of the process alone.
cpu_ticks()
{
    local total=0 pid ticks
    local -a queue=("$1")
    while [[ ${#queue[@]} -gt 0 ]]; do
        pid=${queue[0]}
        queue=("${queue[@]:1}")
        [[ -r "/proc/$pid/stat" ]] || continue
        # Fields 14 and 15 after the command name, which may hold blanks.
        ticks=$(sed 's/^.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }')
        total=$((total + ticks))
        [[ "${2:-}" == self ]] && break
        queue+=($(cat /proc/"$pid"/task/*/children 2>/dev/null))
    done
    echo "$total"
}

# measure PID: percent of one core used by the process tree over the measuring time, and by the
# process alone.
measure()
{
    sleep "$warmup"
    local before after self_before self_after hz
    hz=$(getconf CLK_TCK)
    before=$(cpu_ticks "$1")
    self_before=$(cpu_ticks "$1" self)
    sleep "$seconds"
    after=$(cpu_ticks "$1")
    self_after=$(cpu_ticks "$1" self)
    awk -v d=$((after - before)) -v e=$((self_after - self_before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%.1f %.1f\n", 100 * d / hz / s, 100 * e / hz / s }'
}

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "bench-playback: openbox did not start" >&2; exit 1; }

# A fresh account, and a list server whose first demo station is the clip.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM ORVANTA_PLAYER_HEADLESS ORVANTA_AUTOPLAY
export ORVANTA_BENCH_TAG="$work" no_proxy='*' NO_PROXY='*'

site="$work/site"
mkdir -p "$site/channels/bench"
"$listserver" --port 0 "$site" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
wait_for 10 grep -q '^Serving' "$work/server.out" || { echo "bench-playback: no list server" >&2; exit 1; }
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/server.out")
clip="http://127.0.0.1:$port/channels/bench/index.m3u8"
cp -R "$root/demo/lists" "$work/lists"
sed -i "s|127\.0\.0\.1:8719|127.0.0.1:$port|g; s|channels/bars/index.m3u8|channels/bench/index.m3u8|" \
    "$work/lists"/*.txt
"$lists_tool" publish "$work/lists" "$site" >/dev/null
cp -R "$root/demo/site/." "$site/"
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
    -t $((warmup + seconds + 30)) -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 \
    -c:a aac -ac 2 -f hls -hls_time 2 -hls_playlist_type vod \
    -hls_segment_filename "$site/channels/bench/seg%03d.ts" "$site/channels/bench/index.m3u8"

install="$work/install"
mkdir -p "$install/res"
cp -R "$root/res/." "$install/res/"
for list in "$site"/*.txt; do
    [[ "$(basename "$list")" == UpdateSettings.txt ]] || cp "$list" "$install/res/"
done
"$program" --set-install-path "$install"

# The first run fetches the lists and restarts itself; that instance is ended, and the measured
# one plays the first station by itself.
cd "$work"
timeout 120 "$program" >>"$work/orvanta.log" 2>&1
reopened() { [[ -n "$(our_programs)" ]]; }
gone() { [[ -z "$(our_programs)" ]]; }
wait_for 30 reopened || { echo "bench-playback: the first run did not restart" >&2; exit 1; }
sleep 3
for pid in $(our_programs); do
    kill "$pid" 2>/dev/null || true
done
wait_for 10 gone || true

ORVANTA_AUTOPLAY=1 ORVANTA_DEBUG=1 "$program" >>"$work/orvanta.log" 2>&1 &
measured_pid=$!
wait_for 60 grep -q 'GET /channels/bench/seg0' "$work/server.log" ||
    { echo "bench-playback: ORVANTA did not play the clip" >&2; tail "$work/orvanta.log" >&2; exit 1; }
window=$(xdotool search --sync --onlyvisible --pid "$measured_pid" 2>/dev/null | head -n 1)
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
# The picture is a native window of its own inside ORVANTA's window: the largest child window.
picture=$(xwininfo -tree -id "$window" | awk '$1 ~ /^0x/ && match($0, /[0-9]+x[0-9]+\+/) {
    size = substr($0, RSTART, RLENGTH - 1); split(size, wh, "x")
    if (wh[1] * wh[2] > best) { best = wh[1] * wh[2]; chosen = size } } END { print chosen }')
read -r orvanta_cpu orvanta_self_cpu < <(measure "$measured_pid")
# ORVANTA_BENCH_SHOTS=FOLDER keeps a screenshot of each player at the end of its measurement.
[[ -n "${ORVANTA_BENCH_SHOTS:-}" ]] && import -window root "$ORVANTA_BENCH_SHOTS/orvanta.png"
kill "$measured_pid"
wait "$measured_pid" 2>/dev/null || true
measured_pid=

# run_mpv SIZE [OPTION...]: mpv's CPU share with its window of that size at the top left of the
# screen.
run_mpv()
{
    mpv --no-config --really-quiet --geometry="$1+0+0" --autofit="$1" "${@:2}" "$clip" >>"$work/mpv.log" 2>&1 &
    measured_pid=$!
    measure "$measured_pid" | cut -d' ' -f1
    [[ -n "${ORVANTA_BENCH_SHOTS:-}" ]] && import -window root "$ORVANTA_BENCH_SHOTS/mpv-$1.png"
    kill "$measured_pid"
    wait "$measured_pid" 2>/dev/null || true
    measured_pid=
}
[[ -n "$picture" ]] || picture=$geometry
mpv_window_cpu=$(run_mpv "$geometry")
mpv_picture_cpu=$(run_mpv "$picture")
# On a software OpenGL driver mpv leaves its OpenGL renderer for the plain SDL output; the render
# API of the library always uses the OpenGL renderer. This run makes mpv use it too.
mpv_gpu_cpu=$(run_mpv "$picture" --vo=gpu --gpu-sw=yes)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
echo "Clip: 320 x 240 HLS (H.264, AAC); $seconds s measured after $warmup s; % of one core"
echo "ORVANTA, window $geometry (picture $picture): $orvanta_cpu % (main process $orvanta_self_cpu %)"
echo "mpv, window $geometry: $mpv_window_cpu %  (ratio $(ratio "$orvanta_cpu" "$mpv_window_cpu"))"
echo "mpv, window $picture: $mpv_picture_cpu %  (ratio $(ratio "$orvanta_cpu" "$mpv_picture_cpu"))"
echo "mpv --vo=gpu --gpu-sw=yes, window $picture: $mpv_gpu_cpu %  (ratio $(ratio "$orvanta_cpu" "$mpv_gpu_cpu"))"
