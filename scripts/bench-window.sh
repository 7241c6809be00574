#!/usr/bin/env bash
# How long the program's window takes to appear with a large cached station directory, and how
# much memory the directory costs, on a virtual X display with the openbox window manager:
#
#   scripts/bench-window.sh [BUILD_DIR] [MENUS_PER_CATEGORY] [ROUNDS]
#
# The lists sit in the data folder as after a first run (nothing is fetched at start; the one
# server of the server list is a port of 127.0.0.1 where nothing listens), with 20 categories of
# MENUS_PER_CATEGORY menus (default 100) of 100 stations, 200,000 stations by default; every
# station names one of a hundred icons, all of them already in the icon cache. The same program
# is also started with an empty directory.
#
# Appearance: from the start of the process until xdotool finds its main window mapped (the
# window is shown once the tree has loaded), polled every 10 ms; the best of ROUNDS starts
# (default 3). Memory: the resident size of the process three seconds after its window
# appeared (the Rss of /proc/PID/smaps_rollup), with the directory and with the empty one, and
# the difference. Second start: a second plain start while the window is open, from its start
# until it has ended ("already running"); the best of the rounds.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build}")
menus=${2:-100}
rounds=${3:-3}
program=$build/Sources/orvanta
lists=$build/tools/orvanta-lists
for tool in "$program" "$lists"; do
    [[ -x $tool ]] || { echo "missing $tool: build it first" >&2; exit 1; }
done
for tool in xvfb-run openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# On a display of its own.
if [[ -z "${ORVANTA_BENCH_DISPLAY:-}" ]]; then
    export ORVANTA_BENCH_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
fi

work=$(mktemp -d)
wm_pid=
program_pid=
cleanup()
{
    [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
    [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for ((i = 0; i < 100; ++i)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
done

# setup NAME CATEGORIES MENUS STATIONS: an account whose data folder holds the lists and the
# cached icons, as after a first run; prints the home folder.
setup()
{
    local home=$work/$1 plain=$work/$1-plain res name icons=http://127.0.0.1:9/icons/
    mkdir -p "$home/install/res" "$home/runtime"
    chmod 700 "$home/runtime"
    cp -R "$root/res/." "$home/install/res/"
    res="$home/data/ORVANTA/res"
    mkdir -p "$res/CacheIcons"
    cp -R "$root/res/." "$res/"
    "$root/scripts/make-directory.sh" "$plain" "$2" "$3" "$4" "$icons"
    cp "$root/demo/lists/SearchSettings.txt" "$plain/"
    printf '<SERVER_SETTINGS>\n\t<VERSION>1.0</VERSION>\n\t<URL>http://127.0.0.1:9/</URL>\n</SERVER_SETTINGS>\n' \
        >"$plain/ServerSettings.txt"
    for file in "$plain"/*.txt; do
        "$lists" scramble "$file" "$res/$(basename "$file")"
    done
    # The icon cache names a file after its address with the punctuation flattened.
    for ((i = 0; i < 100; ++i)); do
        name=$(printf '%s%d.gif' "$icons" "$i" | tr '\\/:.,?<>][}{' '____________')
        cp "$root/res/MoviesSearch.gif" "$res/CacheIcons/$name.gif"
    done
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
        "$program" --set-install-path "$home/install" >/dev/null
    printf 'Copy Settings=FALSE\n' >>"$home/config/ORVANTA/settings.ini"
    echo "$home"
}

now_ms() { date +%s%3N; }

# measure HOME: starts the program, waits for its window, answers "MILLISECONDS KILOBYTES".
measure()
{
    local home=$1 start shown rss second
    start=$(now_ms)
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
        XDG_RUNTIME_DIR=$home/runtime no_proxy='*' NO_PROXY='*' \
        "$program" >"$home/program.log" 2>&1 &
    program_pid=$!
    until xdotool search --onlyvisible --pid "$program_pid" --name '^ORVANTA - ' >/dev/null 2>&1; do
        if ! kill -0 "$program_pid" 2>/dev/null; then
            echo "the program ended before its window appeared" >&2
            tail -n 20 "$home/program.log" >&2
            exit 1
        fi
        sleep 0.01
    done
    shown=$(now_ms)
    # A second plain start while the window is open: from its start until it has ended.
    second=$(now_ms)
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
        XDG_RUNTIME_DIR=$home/runtime no_proxy='*' NO_PROXY='*' \
        "$program" >>"$home/second.log" 2>&1 || true
    second=$(($(now_ms) - second))
    sleep 3
    # The sum over the mappings: the status file's VmRSS is kept per thread and can lag.
    rss=$(awk '/^Rss:/ { print $2 }' "/proc/$program_pid/smaps_rollup")
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
    echo "$((shown - start)) $rss $second"
}

# best HOME: the best appearance and second-start times over the rounds and the memory of the
# last round.
best()
{
    local best_ms=999999 best_second=999999 ms kb second
    for ((round = 0; round < rounds; ++round)); do
        read -r ms kb second <<<"$(measure "$1")"
        ((ms < best_ms)) && best_ms=$ms
        ((second < best_second)) && best_second=$second
    done
    echo "$best_ms $kb $best_second"
}

big=$(setup big 20 "$menus" 100)
empty=$(setup empty 0 0 0)
read -r big_ms big_kb big_second <<<"$(best "$big")"
read -r empty_ms empty_kb empty_second <<<"$(best "$empty")"
stations=$((20 * menus * 100))
printf '%-36s %10s %12s %16s\n' "" "window ms" "resident MB" "second start ms"
printf '%-36s %10d %12.1f %16d\n' "$stations stations" "$big_ms" \
    "$(awk -v k="$big_kb" 'BEGIN { print k / 1024 }')" "$big_second"
printf '%-36s %10d %12.1f %16d\n' "empty directory" "$empty_ms" \
    "$(awk -v k="$empty_kb" 'BEGIN { print k / 1024 }')" "$empty_second"
awk -v a="$big_kb" -v b="$empty_kb" 'BEGIN { printf "memory of the directory: %.1f MB\n", (a - b) / 1024 }'
