# Shared by the whole-program tests; sourced, not run. run-mpris-e2e.sh and run-wayland-e2e.sh
# test the program as a user installs it: `cmake --install` into a scratch prefix with no
# "Install Path" recorded, and a list server serving the demo lists published for its port, which
# also become the installed tree's first lists. They set `build` and `root` and call, in order:
# e2e_begin, e2e_home, e2e_install, e2e_installed_list_server, e2e_channel..., e2e_first_run.

work=
program=${program:-}
failed=1
server_pid=
# Extra processes of the test (window manager, compositor, bus monitor), ended at the end.
helper_pids=()

# Processes of the installed program of this test only: those carrying its tag.
our_programs()
{
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == "$program" ]] || continue
        tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "ORVANTA_E2E_TAG=$work" && echo "$pid"
    done
    return 0
}

e2e_cleanup()
{
    local pid
    for pid in $(our_programs); do
        kill "$pid" 2>/dev/null || true
    done
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
    for pid in "${helper_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    sleep 0.5
    for pid in $(our_programs); do
        kill -9 "$pid" 2>/dev/null || true
    done
    if [[ $failed -eq 0 && -z "${ORVANTA_E2E_KEEP:-}" ]]; then
        rm -rf "$work"
    else
        echo "e2e: scratch folder kept: $work"
    fi
}

# fail TEXT: reports the failure with the ends of the logs and ends the test. A script may define
# e2e_on_failure to keep a screenshot first.
fail()
{
    echo "FAILED: $*" >&2
    declare -F e2e_on_failure >/dev/null && e2e_on_failure
    echo "--- program log (last 40 lines) ---" >&2
    tail -n 40 "$work/orvanta.log" >&2 2>/dev/null || true
    echo "--- list server log (last 20 lines) ---" >&2
    tail -n 20 "$work/server.log" >&2 2>/dev/null || true
    exit 1
}
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: retries the command every 0.2 s until it succeeds.
wait_for()
{
    local limit=$((SECONDS + $1))
    shift
    until "$@"; do
        [[ $SECONDS -lt $limit ]] || return 1
        sleep 0.2
    done
}

# e2e_need TOOL...: ends the test when a tool is missing.
e2e_need()
{
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null ||
            { echo "e2e: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
    done
}

# e2e_on_display ARGUMENTS: runs the script again on a virtual X display of its own.
e2e_on_display()
{
    [[ -n "${ORVANTA_E2E_DISPLAY:-}" ]] && return 0
    export ORVANTA_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
}

# The openbox window manager on the display, as on a desktop; a failure keeps a screenshot.
e2e_openbox()
{
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    helper_pids+=($!)
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "openbox did not start"
    e2e_on_failure() { import -window root "$work/failure.png" 2>/dev/null || true; }
}

# The main window on the X display: find_window waits for it and takes its place (wx, wy);
# click X Y is a left click at a point of its client area.
window_id() { xdotool search --onlyvisible --name '^ORVANTA - 1\.18$' | head -n 1; }
window_shown() { [[ -n "$(window_id)" ]]; }
find_window()
{
    wait_for 30 window_shown || fail "no main window on the display"
    eval "$(xdotool getwindowgeometry --shell "$(window_id)")"
    wx=$X wy=$Y
    [[ "$WIDTH x $HEIGHT" == "1010 x 640" ]] || fail "the window is $WIDTH x $HEIGHT"
}
click()
{
    xdotool mousemove --sync $((wx + $1)) $((wy + $2)) click 1
    sleep 0.4
}
gone() { [[ -z "$(our_programs)" ]]; }
# The window's Close button, which must end the program.
close_window()
{
    click 984 16
    wait_for 20 gone || fail "the Close button did not end the program"
}

# e2e_begin NAME: the scratch folder, cleaned up at the end.
e2e_begin()
{
    work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-$1.XXXXXX")
    trap e2e_cleanup EXIT
}

# A fresh account in the scratch folder; the program traces what the checks read.
e2e_home()
{
    export HOME="$work/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM ORVANTA_PLAYER_HEADLESS ORVANTA_AUTOPLAY
    export ORVANTA_DEBUG=1 ORVANTA_E2E_TAG="$work"
    export no_proxy='*' NO_PROXY='*'
}

# The build installed into the scratch prefix: program, tree, desktop entry and icon.
e2e_install()
{
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed"
    program="$prefix/bin/orvanta"
    tree="$prefix/share/orvanta"
    [[ -x "$program" && -f "$tree/res/Skin/SkinInfo.xml" && -f "$tree/res/DemoChannels.txt" ]] ||
        fail "the install lacks the program or its tree"
    pass "installed into $prefix"
}

# e2e_list_server LISTSERVER LISTS_TOOL: the list server on a free port of 127.0.0.1 serving
# the demo lists published for that port, and the demo pages and pictures.
e2e_list_server()
{
    site="$work/site"
    mkdir -p "$site"
    "$1" --port 0 "$site" >"$work/server.out" 2>"$work/server.log" &
    server_pid=$!
    wait_for 10 grep -q '^Serving' "$work/server.out" || fail "the list server did not start"
    port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/server.out")
    url="http://127.0.0.1:$port/"
    cp -R "$root/demo/lists" "$work/lists"
    sed -i "s|127\.0\.0\.1:8719|127.0.0.1:$port|g" "$work/lists"/*.txt
    "$2" publish "$work/lists" "$site" >/dev/null
    cp -R "$root/demo/site/." "$site/"
}

# The installed list server with the lists published for it; they also replace the installed
# first lists.
e2e_installed_list_server()
{
    e2e_list_server "$prefix/bin/orvanta-listserver" "$prefix/bin/orvanta-lists"
    local list
    for list in "$site"/*.txt; do
        [[ "$(basename "$list")" == UpdateSettings.txt ]] || cp "$list" "$tree/res/"
    done
}

# e2e_channel NAME SOURCE SECONDS: one demo channel as HLS from an ffmpeg test source.
e2e_channel()
{
    mkdir -p "$site/channels/$1"
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "$2" -f lavfi -i "sine=frequency=660:sample_rate=48000" \
        -t "$3" -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -c:a aac -ac 2 \
        -f hls -hls_time 2 -hls_playlist_type vod \
        -hls_segment_filename "$site/channels/$1/seg%03d.ts" "$site/channels/$1/index.m3u8"
}

requests() { grep -c "GET /$1" "$work/server.log" || true; }
# at_least COUNT FILE: the list server was asked for the file at least COUNT times.
at_least() { [[ "$(requests "$2")" -ge "$1" ]]; }

# First run: the program copies its tree, fetches the lists, clears "Copy Settings" and restarts
# itself with "reopen"; main_pid is the restarted program. Only a test that recorded an install
# tree (install) may find an "Install Path" in the store.
e2e_first_run()
{
    cd "$work"
    local store="$XDG_CONFIG_HOME/ORVANTA/settings.ini"
    run_program 120 "$@"
    [[ -f "$XDG_DATA_HOME/ORVANTA/res/Skin/SkinInfo.xml" ]] || fail "the res tree was not copied"
    grep -q 'GET /UpdateSettings.txt' "$work/server.log" || fail "the first run fetched nothing"
    grep -q 'GET /MoviesSettings.txt' "$work/server.log" || fail "the lists were not downloaded"
    grep -iq 'Copy Settings.*FALSE' "$store" || fail "Copy Settings was not cleared"
    [[ -n "${install:-}" ]] || ! grep -q "Install Path" "$store" ||
        fail "an \"Install Path\" was recorded"
    wait_for 30 program_runs || fail "the program did not restart"
    main_pid=$(our_programs | head -n 1)
    tr '\0' ' ' <"/proc/$main_pid/cmdline" | grep -q 'reopen' || fail "the restart lacks \"reopen\""
    pass "the first run fetched the lists and restarted ($main_pid)"
}
program_runs() { [[ -n "$(our_programs)" ]]; }
# run_program SECONDS ARGUMENTS...: the program run to its end, which must come with code 0.
run_program()
{
    local seconds=$1 status=0
    shift
    timeout "$seconds" "$program" "$@" >>"$work/orvanta.log" 2>&1 || status=$?
    [[ $status -eq 0 ]] || fail "orvanta $* ended with $status"
}
