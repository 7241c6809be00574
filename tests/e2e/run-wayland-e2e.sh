#!/usr/bin/env bash
# The installed program under headless weston on Wayland, with no X server at all:
#
#   tests/e2e/run-wayland-e2e.sh BUILD_DIR SOURCE_DIR
#
# The first run finds the installed tree and restarts; the window is a toplevel titled
# "ORVANTA - 1.18" with the application id "orvanta" at 1010 x 640 (from the client's protocol
# log); the ORVANTA_AUTOPLAY hook plays the test pattern, whose frames change the compositor's
# screenshots; SIGTERM ends it as a logout does (a headless compositor takes no outside pointer,
# so the window's controls are the X11 tests').
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2; exit 2; }
build=$(realpath "$1")
root=$(realpath "$2")
# shellcheck source=e2e-lib.sh
source "$root/tests/e2e/e2e-lib.sh"
e2e_need weston weston-screenshooter ffmpeg compare

e2e_begin wayland
e2e_home
unset DISPLAY
e2e_install
e2e_installed_list_server
e2e_channel pattern "testsrc2=size=640x360:rate=25" 30
pass "list server at $url"

# --- The compositor ---------------------------------------------------------------------------
export WAYLAND_DISPLAY=orvanta-e2e
weston --backend=headless-backend.so --use-gl --width=1280 --height=800 --debug \
    --socket="$WAYLAND_DISPLAY" --idle-time=0 >"$work/weston.log" 2>&1 &
helper_pids+=($!)
wait_for 20 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
export QT_QPA_PLATFORM=wayland
pass "weston runs headless on $WAYLAND_DISPLAY"

shot() { (cd "$work" && weston-screenshooter >/dev/null 2>&1) && mv "$(ls -t "$work"/wayland-screenshot-*.png | head -n 1)" "$work/$1.png"; }
e2e_on_failure() { shot failure || true; }

# --- First run ----------------------------------------------------------------------------------
# The restarted program's Wayland protocol log tells what the compositor was asked and answered.
export WAYLAND_DEBUG=client ORVANTA_AUTOPLAY=2
e2e_first_run
unset WAYLAND_DEBUG

# --- The window -------------------------------------------------------------------------------
titled() { grep -q 'xdg_toplevel@[0-9]*\.set_title("ORVANTA - 1\.18")' "$work/orvanta.log"; }
wait_for 60 titled || fail "no toplevel window titled \"ORVANTA - 1.18\""
grep -q 'xdg_toplevel@[0-9]*\.set_app_id("orvanta")' "$work/orvanta.log" ||
    fail "the window does not name its desktop entry"
sized() { grep -q 'xdg_surface@[0-9]*\.set_window_geometry(0, 0, 1010, 640)' "$work/orvanta.log"; }
wait_for 30 sized || fail "the window is not 1010 x 640"
pass "the window appears at 1010 x 640 with the application id orvanta"

# --- A demo channel plays ----------------------------------------------------------------------
wait_for 60 grep -q 'Autoplay: .*channels/pattern/index.m3u8' "$work/orvanta.log" ||
    fail "the autoplay hook did not start the test pattern"
wait_for 60 grep -q 'GET /channels/pattern/seg001' "$work/server.log" ||
    fail "the player did not fetch the channel's segments"
sleep 3
shot playing-a || fail "no screenshot of the compositor"
sleep 1
shot playing-b || fail "no screenshot of the compositor"
changed=$(compare -metric AE "$work/playing-a.png" "$work/playing-b.png" null: 2>&1 || true)
changed=${changed%% *}
changed=${changed%.*}
[[ "$changed" -gt 2000 ]] || fail "the picture does not move ($changed pixels changed)"
pass "the test pattern plays ($changed pixels changed between two screenshots)"

# --- End --------------------------------------------------------------------------------------
kill -TERM "$main_pid"
wait_for 20 gone || fail "the program did not end"
pass "the program ended"

failed=0
echo "e2e: all checks passed"
