#!/usr/bin/env bash
# The installed program driven as the desktop's media keys and media panel drive it, over a
# private session bus (dbus-run-session) on a virtual X display with openbox:
#
#   tests/e2e/run-mpris-e2e.sh BUILD_DIR SOURCE_DIR
#
# The restarted program owns org.mpris.MediaPlayer2.orvanta; Next, Previous, Play, Pause,
# PlayPause and Stop play and stop the tree's stations (the list server's log and the status and
# metadata tell), Volume moves and stores the slider's level, changes are announced, Raise
# brings back the minimised window, and the installed desktop entry starts the program again.
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2; exit 2; }
build=$(realpath "$1")
root=$(realpath "$2")
# shellcheck source=e2e-lib.sh
source "$root/tests/e2e/e2e-lib.sh"
e2e_need xvfb-run dbus-run-session gdbus gio openbox xdotool xprop ffmpeg import
e2e_on_display "$@"
if [[ -z "${ORVANTA_E2E_BUS:-}" ]]; then
    export ORVANTA_E2E_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi

e2e_begin mpris
e2e_home
e2e_install
e2e_installed_list_server
e2e_channel pattern "testsrc2=size=640x360:rate=25" 30
pass "list server at $url"

e2e_openbox

# --- Helpers for the bus -------------------------------------------------------------------------
service=org.mpris.MediaPlayer2.orvanta
# call METHOD [ARGUMENTS...]: a method of the remote's object, answered as gdbus prints it.
call()
{
    gdbus call --session --dest "$service" --object-path /org/mpris/MediaPlayer2 \
        --method "$@"
}
player() { call "org.mpris.MediaPlayer2.Player.$1"; }
# property INTERFACE NAME: the value as gdbus prints it, such as (<'Playing'>,).
property() { call org.freedesktop.DBus.Properties.Get "$1" "$2"; }
status_is() { [[ "$(property org.mpris.MediaPlayer2.Player PlaybackStatus)" == "(<'$1'>,)" ]]; }
metadata() { property org.mpris.MediaPlayer2.Player Metadata; }
name_owned()
{
    [[ "$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$service")" == "(true,)" ]]
}

# --- First run, the name on the bus -----------------------------------------------------------
gdbus monitor --session --dest "$service" >"$work/monitor.log" 2>&1 &
helper_pids+=($!)
e2e_first_run
wait_for 30 name_owned || fail "the program does not own $service"
[[ "$(property org.mpris.MediaPlayer2 Identity)" == "(<'ORVANTA'>,)" ]] ||
    fail "Identity is $(property org.mpris.MediaPlayer2 Identity)"
[[ "$(property org.mpris.MediaPlayer2 DesktopEntry)" == "(<'orvanta'>,)" ]] ||
    fail "DesktopEntry is $(property org.mpris.MediaPlayer2 DesktopEntry)"
status_is Stopped || fail "a fresh start is $(property org.mpris.MediaPlayer2.Player PlaybackStatus)"
pass "the program owns $service as ORVANTA (orvanta.desktop), stopped"

# --- Next, Next ---------------------------------------------------------------------------------
wait_for 30 grep -q 'GET /icons/' "$work/server.log" || fail "the tree did not load"
player Next >/dev/null
wait_for 20 at_least 1 channels/bars/index.m3u8 || fail "Next did not play the first station"
[[ "$(metadata)" == *"'xesam:title': <'Colour Bars'>"* ]] || fail "Next: metadata $(metadata)"
player Next >/dev/null
wait_for 30 grep -q 'GET /channels/pattern/seg0' "$work/server.log" ||
    fail "the second Next did not play the test pattern"
wait_for 30 status_is Playing || fail "the test pattern plays, but the status is not Playing"
meta=$(metadata)
[[ "$meta" == *"'xesam:title': <'Test Pattern'>"* &&
    "$meta" == *"'xesam:album': <'Demo Channels/Test Signals/Test Pattern'>"* &&
    "$meta" == *"'xesam:url': <'${url}channels/pattern/index.m3u8'>"* &&
    "$meta" == *"'mpris:trackid': <objectpath '/org/orvanta/Station/s"* ]] ||
    fail "the test pattern's metadata: $meta"
pass "Next and Next play the first two stations; the second is Playing with its caption and path"

# --- Pause, PlayPause, Play, Stop --------------------------------------------------------------
player Pause >/dev/null
wait_for 10 status_is Stopped || fail "Pause did not stop"
pattern_before=$(requests channels/pattern/index.m3u8)
player PlayPause >/dev/null
wait_for 20 at_least $((pattern_before + 1)) channels/pattern/index.m3u8 ||
    fail "PlayPause did not play the station again"
wait_for 30 status_is Playing || fail "PlayPause: the status is not Playing"
player PlayPause >/dev/null
wait_for 10 status_is Stopped || fail "the second PlayPause did not stop"
player Play >/dev/null
wait_for 30 status_is Playing || fail "Play: the status is not Playing"
player Stop >/dev/null
wait_for 10 status_is Stopped || fail "Stop did not stop"
pass "Pause stops, PlayPause plays and stops, Play plays, Stop stops"

# --- Previous -----------------------------------------------------------------------------------
player Previous >/dev/null
wait_for 20 at_least 2 channels/bars/index.m3u8 || fail "Previous did not play the first station"
[[ "$(metadata)" == *"'xesam:title': <'Colour Bars'>"* ]] || fail "Previous: metadata $(metadata)"
pass "Previous plays the station before"

# --- Volume -----------------------------------------------------------------------------------
stored_volume() { sed -n 's/^Volume=//p' "$XDG_CONFIG_HOME/ORVANTA/settings.ini"; }
# The slider's track has a place every 4 levels: 0.3 lands on the nearest one, which is what the
# property reads and the store holds.
call org.freedesktop.DBus.Properties.Set org.mpris.MediaPlayer2.Player Volume '<0.3>' >/dev/null
volume=$(property org.mpris.MediaPlayer2.Player Volume | sed 's/^(<\(.*\)>,)$/\1/')
level=$(awk -v v="$volume" 'BEGIN { printf "%d", v * 100 + 0.5 }')
[[ $level -ge 28 && $level -le 32 ]] || fail "Volume 0.3 reads $volume"
[[ "$(stored_volume)" == "$level" ]] || fail "Volume $volume stored \"$(stored_volume)\""
call org.freedesktop.DBus.Properties.Set org.mpris.MediaPlayer2.Player Volume '<1.7>' >/dev/null
[[ "$(stored_volume)" == 100 ]] || fail "Volume 1.7 stored \"$(stored_volume)\""
# Each request announces what it changed at once: five times Playing, five times Stopped.
changes() { grep -c "PropertiesChanged ('org.mpris.MediaPlayer2.Player', {.*'PlaybackStatus': <'$1'>" "$work/monitor.log" || true; }
[[ "$(changes Playing)" -ge 4 && "$(changes Stopped)" -ge 4 ]] ||
    fail "PropertiesChanged for the status: $(changes Playing) Playing, $(changes Stopped) Stopped"
grep -q "PropertiesChanged ('org.mpris.MediaPlayer2.Player', {.*'Volume': <1.0>" \
    "$work/monitor.log" || fail "no PropertiesChanged for the volume"
pass "Volume sets and stores the slider's level ($level for 0.3, the top for 1.7); changes are announced"

# --- Raise, close -----------------------------------------------------------------------------
wait_for 30 window_shown || fail "no main window on the display"
id=$(window_id)
xdotool windowminimize --sync "$id"
import -window root "$work/minimised.png"
call org.mpris.MediaPlayer2.Raise >/dev/null
wait_for 10 window_shown || fail "Raise did not bring the window back"
active() { [[ "$(xdotool getactivewindow 2>/dev/null)" == "$id" ]]; }
wait_for 10 active || fail "the raised window is not the active one"
sleep 1
import -window root "$work/raised.png"
pass "Raise brings the minimised window back as the active window"

find_window
close_window
name_owned && fail "$service is still owned after the program ended"
pass "the Close button ends the program and frees its name"

# --- Started from the desktop entry, as the application menu starts it -----------------------
PATH="$prefix/bin:$PATH" gio launch "$prefix/share/applications/orvanta.desktop" \
    >>"$work/orvanta.log" 2>&1 || fail "gio launch refused the desktop entry"
wait_for 60 name_owned || fail "the desktop entry did not start the program"
find_window
xdotool windowactivate --sync "$(window_id)"
close_window
pass "the desktop entry starts the program"

failed=0
echo "e2e: all checks passed"
