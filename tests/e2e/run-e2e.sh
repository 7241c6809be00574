#!/usr/bin/env bash
# The whole program, end to end, on a virtual X display against a real list server:
#
#   tests/e2e/run-e2e.sh PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR
#
# 1. A fresh home folder; the demo lists published for a list server on a free port of
#    127.0.0.1, two demo channels generated with ffmpeg, an install tree recorded as
#    "Install Path" (orvanta --set-install-path), and a stand-in default browser that records
#    its arguments.
# 2. First run: the program copies the installed lists, fetches the current ones from the server
#    and restarts itself with "reopen".
# 3. The restarted program's tree holds the demo categories; the ORVANTA_AUTOPLAY hook plays the
#    second station (the moving test pattern); the player fetches the channel from the server
#    and two screenshots of the player area differ.
# 4. The bottom strip, by pointer clicks at its places in the window: Stop stills the picture,
#    Play starts it again, Next and Play start the next channel, Mute twice stores "TRUE" then
#    "FALSE", a drag of the volume slider stores the level of the release position, the upper
#    button of a preset stores the selected station, an empty preset says so, a search typed
#    into the caption's box selects a station for Play, and a Cyrillic one that finds nothing
#    goes to the web search engine in the browser.
# 5. The Close button ends the program; started again, the preset plays its station. The banner
#    page was fetched once per window and once per station start.
# 6. A newer list published meanwhile shows as the lists notice; a quick double click on it opens
#    one update, which downloads the list; Enter pressed twice at its last question restarts the
#    program with the list. A still newer list, answered with Cancel at that question, leaves the
#    program running.
# 7. "install" opens the install page through the stand-in browser and ends with code 0.
# 8. A second plain start ends quietly with code 0 while the first instance runs.
#
# Every process of the program, also those it starts itself, must end with code 0: each traces
# its start and its end, and a crash leaves no end.
#
# ORVANTA_E2E_ONLY=update runs steps 1, 2, 5 and 6 without the checks of the window's surface
# (the update path for a sanitizer build, which is too slow for the player's checks).
#
# Everything runs under xvfb-run with the openbox window manager; screenshots are kept in the
# scratch folder, which is kept when a check fails (ORVANTA_E2E_KEEP=1 keeps it always).
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR" >&2
    exit 2
fi
program=$(realpath "$1")
listserver=$(realpath "$2")
lists_tool=$(realpath "$3")
root=$(realpath "$4")

for tool in xvfb-run openbox xdotool xmodmap xprop ffmpeg import compare convert; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The checks run on a display of their own.
if [[ -z "${ORVANTA_E2E_DISPLAY:-}" ]]; then
    export ORVANTA_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
fi

# shellcheck source=e2e-lib.sh
source "$root/tests/e2e/e2e-lib.sh"
e2e_begin e2e
e2e_on_failure() { import -window root "$work/failure.png" 2>/dev/null || true; }
# Whether this run checks the whole window, or only the update path.
full_run() { [[ "${ORVANTA_E2E_ONLY:-}" != update ]]; }
# Every process of the program that traced its start and has ended traced an end with code 0.
processes_ended_cleanly()
{
    local pid bad=
    for pid in $(sed -n 's/^Process \([0-9]*\) starts$/\1/p' "$work/orvanta.log"); do
        [[ -d /proc/$pid && "$(readlink "/proc/$pid/exe" 2>/dev/null)" == "$program" ]] && continue
        grep -qx "Process $pid ends with 0" "$work/orvanta.log" || bad="$bad $pid"
    done
    [[ -z "$bad" ]] || fail "processes ended by a signal or a non-zero code:$bad"
}

# The window manager of the display, as on a desktop.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
helper_pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start"
# The Cyrillic letters the test types, on spare keys of the keyboard map. Without them xdotool
# remaps a key for every letter and restores it at once, and a letter can get lost while the
# program reads the changing map.
spare_keys=($(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }'))
[[ ${#spare_keys[@]} -ge 4 ]] || fail "the keyboard map has no spare keys"
xmodmap -e "keycode ${spare_keys[0]} = Cyrillic_te Cyrillic_TE" \
    -e "keycode ${spare_keys[1]} = Cyrillic_ie Cyrillic_IE" \
    -e "keycode ${spare_keys[2]} = Cyrillic_es Cyrillic_ES" \
    -e "keycode ${spare_keys[3]} = Cyrillic_ve Cyrillic_VE"

# --- Helpers for the window ----------------------------------------------------------------------
# Places in the 1010 x 640 client area: preset i at x = 15 + 32 i, its upper button from y = 570
# (29 x 30) and its station button from y = 600 (29 x 34); the controls from x = 177 at y = 575,
# 63 high: Stop 55, Play 52, Previous 52, Next 52, Full screen 55, volume 19, Mute 32.
window_id() { xdotool search --onlyvisible --name '^ORVANTA - 1\.18$' | head -n 1; }
window_shown() { [[ -n "$(window_id)" ]]; }
find_window()
{
    local id
    wait_for 30 window_shown || fail "no main window on the display"
    id=$(window_id)
    eval "$(xdotool getwindowgeometry --shell "$id")"
    wx=$X wy=$Y
    [[ "$WIDTH x $HEIGHT" == "1010 x 640" ]] || fail "the window is $WIDTH x $HEIGHT"
}
# click X Y: a left click at a point of the window's client area.
click()
{
    xdotool mousemove --sync $((wx + $1)) $((wy + $2)) click 1
    sleep 0.4
}
preset_x() { echo $((15 + 32 * $1 + 14)); }
STOP_X=204 PLAY_X=258 NEXT_X=362 SLIDER_X=452 MUTE_X=478 CONTROLS_Y=606
shot() { import -window root "$work/$1.png"; }
# The player area of the window; two shots of it a second apart differ while a picture moves.
player_changes()
{
    shot "$1-a"
    sleep 1
    shot "$1-b"
    local area="600x380+$((wx + 325))+$((wy + 70))" changed
    convert "$work/$1-a.png" -crop "$area" +repage "$work/$1-area-a.png"
    convert "$work/$1-b.png" -crop "$area" +repage "$work/$1-area-b.png"
    changed=$(compare -metric AE "$work/$1-area-a.png" "$work/$1-area-b.png" null: 2>&1 || true)
    changed=${changed%% *}
    echo "${changed%.*}"
}
# setting KEY NAME: a value of the settings store; KEY is "" or the key below SOFTWARE\ORVANTA,
# such as "\Stations\2".
setting()
{
    section="[SOFTWARE\\ORVANTA$1]" name="$2" awk '
        $0 == ENVIRON["section"] { inside = 1; next }
        /^\[/ { inside = 0 }
        inside && index($0, ENVIRON["name"] "=") == 1 { print substr($0, length(ENVIRON["name"]) + 2) }
    ' "$XDG_CONFIG_HOME/ORVANTA/settings.ini"
}
# at_least COUNT FILE: the list server was asked for the file at least COUNT times.
at_least() { [[ "$(requests "$2")" -ge "$1" ]]; }
# The program's message box: one of its dialog windows (found by class and type), not the
# update dialog.
box_id()
{
    local id
    for id in $(xdotool search --onlyvisible --classname '^orvanta$'); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG || continue
        # The update dialog is a dialog too, and shows before and between its message boxes.
        case "$(xdotool getwindowname "$id" 2>/dev/null)" in
        "Check For Updates" | "Getting Lists") continue ;;
        esac
        echo "$id"
        return 0
    done
    return 1
}
# answer_box TEXT NAME: waits for the message box, keeps a screenshot of it, answers it with
# Enter and checks the text it showed (the program traces each box when it closes).
answer_box()
{
    local box
    wait_for 10 box_id >/dev/null || fail "no message box for: $1"
    box=$(box_id)
    sleep 0.5
    shot "box-$2"
    xdotool windowactivate --sync "$box" key Return
    wait_for 10 grep -qF "Message box: $1" "$work/orvanta.log" || fail "the box did not say: $1"
}

# --- 1. A fresh account -------------------------------------------------------------------------
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM ORVANTA_PLAYER_HEADLESS
export ORVANTA_DEBUG=1 ORVANTA_AUTOPLAY=2 ORVANTA_E2E_TAG="$work"
export no_proxy='*' NO_PROXY='*'

# The stand-in browser, named as the default browser by its desktop entry.
mkdir -p "$work/bin"
cat >"$work/bin/stand-in-browser" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$work/browser.tmp" && mv "$work/browser.tmp" "$work/browser-arguments"
EOF
cat >"$XDG_DATA_HOME/applications/stand-in-browser.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Stand-in browser
Exec=$work/bin/stand-in-browser %u
EOF
printf '[Default Applications]\nx-scheme-handler/http=stand-in-browser.desktop\n' \
    >"$XDG_CONFIG_HOME/mimeapps.list"
# xdg-settings answers from the desktop settings above; this machine need not have xdg-utils.
cat >"$work/bin/xdg-settings" <<'EOF'
#!/bin/sh
[ "$1 $2" = "get default-web-browser" ] || exit 1
sed -n 's/^x-scheme-handler\/http=//p' "$XDG_CONFIG_HOME/mimeapps.list"
EOF
# xdg-open, the desktop's opener of addresses, hands them to the default browser.
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
exec "$work/bin/stand-in-browser" "\$@"
EOF
chmod +x "$work/bin/stand-in-browser" "$work/bin/xdg-settings" "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

e2e_list_server "$listserver" "$lists_tool"
# The test pattern moves in every frame and carries the first checks; the Mandelbrot channel is
# the one after it in the tree.
e2e_channel pattern "testsrc2=size=640x360:rate=25" 60
e2e_channel fractal "testsrc2=size=320x180:rate=25" 60
pass "list server at $url with the demo lists"

# The install tree as an installer leaves it: the skin and the first lists.
install="$work/install"
mkdir -p "$install/res"
cp -R "$root/res/." "$install/res/"
for list in "$site"/*.txt; do
    [[ "$(basename "$list")" == UpdateSettings.txt ]] || cp "$list" "$install/res/"
done
"$program" --set-install-path "$install" || fail "--set-install-path failed"
grep -q "$install" "$XDG_CONFIG_HOME/ORVANTA/settings.ini" || fail "Install Path not recorded"
pass "install tree recorded"

# --- 2. First run: fetch the lists, restart -------------------------------------------------------
cd "$work"
status=0
timeout 120 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
[[ $status -ne 124 ]] || fail "the first run did not end"
[[ $status -eq 0 ]] || fail "the first run ended with $status"
[[ -f "$XDG_DATA_HOME/ORVANTA/res/Skin/SkinInfo.xml" ]] || fail "the installed res tree was not copied"
grep -q 'GET /UpdateSettings.txt' "$work/server.log" || fail "the first run fetched nothing"
grep -q 'GET /MoviesSettings.txt' "$work/server.log" || fail "the lists were not downloaded"
grep -iq 'Copy Settings.*FALSE' "$XDG_CONFIG_HOME/ORVANTA/settings.ini" ||
    fail "Copy Settings was not cleared"
reopened() { [[ -n "$(our_programs)" ]]; }
wait_for 30 reopened || fail "the program did not restart"
main_pid=$(our_programs | head -n 1)
tr '\0' ' ' <"/proc/$main_pid/cmdline" | grep -q 'reopen' || fail "the restart lacks \"reopen\""
pass "first run fetched the lists and restarted (process $main_pid)"

if full_run; then
# --- 3. The tree shows the demo lists, a station plays ------------------------------------------
wait_for 60 grep -q 'Autoplay: tree: Demo Channels | News | Music & Culture' "$work/orvanta.log" ||
    fail "the tree does not show the demo categories"
grep -q "Autoplay: ${url}channels/pattern/index.m3u8" "$work/orvanta.log" ||
    fail "the second station is not the test pattern"
wait_for 60 grep -q 'GET /channels/pattern/seg0' "$work/server.log" ||
    fail "the player did not fetch the channel"
pass "the tree shows the demo lists and the test pattern is fetched"
find_window
sleep 4
moving=$(player_changes autoplay)
colours=$(convert "$work/autoplay-area-b.png" -format %k info:)
[[ "$colours" -gt 50 ]] || fail "the player area is plain ($colours colours)"
[[ "$moving" -gt 2000 ]] || fail "the picture does not move ($moving pixels changed)"
pass "the video moves ($moving pixels changed, $colours colours)"

# --- 4. The bottom strip -------------------------------------------------------------------------
# Started so far: the window's own banner, and the station the hook played. When the hook plays
# before the web engine has sent the window's first request, the two loads of the same page are
# one request; every later station start is one more.
wait_for 20 at_least 1 pages/Banner.htm || fail "the banner page was not fetched"
sleep 2
banner_loads=$(requests pages/Banner.htm)
[[ $banner_loads -le 2 ]] || fail "the banner page was fetched $banner_loads times at the start"

click $STOP_X $CONTROLS_Y
sleep 1
still=$(player_changes stopped)
[[ "$still" -lt 200 ]] || fail "the picture still moves after Stop ($still pixels changed)"
pass "Stop stills the picture"

click $PLAY_X $CONTROLS_Y
banner_loads=$((banner_loads + 1))
sleep 3
moving=$(player_changes playing)
[[ "$moving" -gt 2000 ]] || fail "Play did not start the picture again ($moving pixels changed)"
pass "Play starts it again ($moving pixels changed)"

click $NEXT_X $CONTROLS_Y
click $PLAY_X $CONTROLS_Y
banner_loads=$((banner_loads + 1))
wait_for 20 grep -q 'GET /channels/fractal/seg0' "$work/server.log" ||
    fail "Next and Play did not start the next channel"
pass "Next and Play start the next channel"

click $MUTE_X $CONTROLS_Y
[[ "$(setting '' Mute)" == TRUE ]] || fail "Mute stored \"$(setting '' Mute)\""
click $MUTE_X $CONTROLS_Y
[[ "$(setting '' Mute)" == FALSE ]] || fail "the second Mute stored \"$(setting '' Mute)\""
pass "Mute twice stores TRUE, then FALSE"

# The slider's track runs from y = 21 (level 100) to 46 (level 0) below its top; the thumb's
# bottom edge follows the pointer 5 pixels below it.
release_y=30
thumb_y=$((release_y + 5 < 21 ? 21 : (release_y + 5 > 46 ? 46 : release_y + 5)))
level=$((100 - (thumb_y - 21) * 4))
xdotool mousemove --sync $((wx + SLIDER_X)) $((wy + 575 + 40)) mousedown 1
for y in 36 33 $release_y; do
    xdotool mousemove --sync $((wx + SLIDER_X)) $((wy + 575 + y))
    sleep 0.1
done
xdotool mouseup 1
sleep 0.5
[[ "$(setting '' Volume)" == "$level" ]] ||
    fail "the slider stored \"$(setting '' Volume)\", not $level"
pass "a drag of the volume slider stores level $level"

# The Next click left the Mandelbrot channel selected in the tree: pre-set it on preset 2.
click "$(preset_x 2)" 585
answer_box "The Station Was Pre-Set Successfully" preset-done
[[ "$(setting '\Stations\2' Url)" == "${url}channels/fractal/index.m3u8" ]] ||
    fail "preset 2 holds the address \"$(setting '\Stations\2' Url)\""
[[ "$(setting '\Stations\2' Name)" == "Demo Channels/Generative/Mandelbrot" ]] ||
    fail "preset 2 holds the name \"$(setting '\Stations\2' Name)\""
pass "preset 2 holds the selected station"

click "$(preset_x 4)" 617
answer_box "This Button Is Not Pre-Set Yet. | Select A Station From The List | And Then Click The Upper Button." preset-empty
pass "an empty preset says how to pre-set it"

# Typed text in the search box: the tree search ignores case and selects the station; Play asks
# the server for it (this test generates no such channel, so the request is what counts).
click 130 15
xdotool type --delay 40 "game of LIFE"
xdotool key Return
sleep 0.5
click $PLAY_X $CONTROLS_Y
banner_loads=$((banner_loads + 1))
wait_for 20 grep -q 'GET /channels/life/index.m3u8' "$work/server.log" ||
    fail "the typed search did not select Game of Life"
pass "a typed search selects the station and Play asks for it"

# Non-Latin text with capitals and punctuation finds no station; the offer of a web search,
# accepted with Enter, opens the first engine's page for it in the browser.
click 130 15
xdotool key ctrl+a
xdotool type --delay 40 "Тест: ТВ?"
xdotool key Return
wait_for 10 box_id >/dev/null || fail "no offer of a web search"
shot box-web-search
xdotool windowactivate --sync "$(box_id)" key Return
wait_for 10 test -f "$work/browser-arguments" || fail "the web search opened no browser"
web_search=$(cat "$work/browser-arguments")
# "Тест: ТВ?" in UTF-8, the blank as "+".
[[ "$web_search" == "https://duckduckgo.com/?q=%D0%A2%D0%B5%D1%81%D1%82%3A+%D0%A2%D0%92%3F" ]] ||
    fail "the web search went to: $web_search"
rm "$work/browser-arguments"
pass "typed Cyrillic text goes to the web search as $web_search"

# A typed address in mixed case with punctuation: no station has it, and the offered web search
# opens it as an http address.
click 130 15
xdotool key ctrl+a
xdotool type --delay 40 "www.Example.org/a?b=C"
xdotool key Return
wait_for 10 box_id >/dev/null || fail "no offer for the typed address"
xdotool windowactivate --sync "$(box_id)" key Return
wait_for 10 test -f "$work/browser-arguments" || fail "the typed address opened no browser"
[[ "$(cat "$work/browser-arguments")" == "http://www.Example.org/a?b=C" ]] ||
    fail "the typed address went to: $(cat "$work/browser-arguments")"
rm "$work/browser-arguments"
pass "a typed address opens as http://www.Example.org/a?b=C"
else
    find_window
fi

# --- 5. Close, start again, play the preset --------------------------------------------------------
click 984 16
gone() { [[ -z "$(our_programs)" ]]; }
wait_for 20 gone || fail "the Close button did not end the program"
pass "the Close button ends the program"

# Meanwhile the server gets a newer Demo Channels list, which the next start will find.
sed -i 's|<VERSION>1.0</VERSION>|<VERSION>1.1</VERSION>|; s|<CAPTION>Colour Bars</CAPTION>|<CAPTION>Colour Bars HD</CAPTION>|' \
    "$work/lists/DemoChannels.txt"
"$lists_tool" publish "$work/lists" "$site" >/dev/null

status_file="$work/restart.status"
# Without the autoplay hook: this time only the preset plays.
(
    status=0
    env -u ORVANTA_AUTOPLAY timeout 300 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
    echo "$status" >"$status_file"
) &
find_window
if full_run; then
    banner_loads=$((banner_loads + 1))
    wait_for 30 at_least $banner_loads pages/Banner.htm ||
        fail "the restarted window did not fetch its banner"
    fractal_before=$(requests channels/fractal/index.m3u8)
    shot restarted
    click "$(preset_x 2)" 617
    banner_loads=$((banner_loads + 1))
    wait_for 20 at_least $((fractal_before + 1)) channels/fractal/index.m3u8 ||
        fail "preset 2 did not play its station after the restart"
    sleep 3
    moving=$(player_changes preset)
    [[ "$moving" -gt 1000 ]] || fail "the preset's station does not move ($moving pixels changed)"
    pass "after a restart preset 2 plays its station"

    sleep 2
    banner=$(requests pages/Banner.htm)
    [[ "$banner" -eq $banner_loads ]] ||
        fail "the banner page was fetched $banner times, not $banner_loads (once per window and station start)"
    pass "the banner page was fetched once per window and once per station start ($banner)"
fi

# --- 6. Newer lists on request -------------------------------------------------------------------
# The silent check two seconds after the start found the newer list: the "Updated Lists
# Available" notice stands right of the Search button. A quick double click on it opens one
# update, which asks, downloads, and offers to restart; Enter answers Yes, and Enter pressed twice
# at once answers OK.
NOTICE_X=420 NOTICE_Y=15
asked() { grep -c 'Message box: Updates Are Available' "$work/orvanta.log" || true; }
asked_before=$(asked)
sleep 3
xdotool mousemove --sync $((wx + NOTICE_X)) $((wy + NOTICE_Y)) click --repeat 2 --delay 80 1
wait_for 10 box_id >/dev/null || fail "the lists notice offered no update"
shot box-update
xdotool windowactivate --sync "$(box_id)" key Return
sleep 1
wait_for 20 box_id >/dev/null || fail "the update did not offer to restart"
shot box-restart
xdotool windowactivate --sync "$(box_id)" key --delay 30 Return Return
wait_for 20 test -f "$status_file" || fail "the update did not end the program"
[[ "$(cat "$status_file")" == 0 ]] || fail "the updated program ended with $(cat "$status_file")"
reopened_with_list() { [[ -n "$(our_programs)" && "$(setting '' DemoChannels.txt)" == "$1" ]]; }
wait_for 60 reopened_with_list 1.1 || fail "the program did not come back with the newer list"
grep -q 'Colour Bars HD' <("$lists_tool" unscramble "$XDG_DATA_HOME/ORVANTA/res/DemoChannels.txt") ||
    fail "the newer list is not in the res folder"
[[ $(($(asked) - asked_before)) -eq 1 ]] || fail "the double click asked $(($(asked) - asked_before)) times"
main_pid=$(our_programs | head -n 1)
tr '\0' ' ' <"/proc/$main_pid/cmdline" | grep -q 'reopen' || fail "the update's restart lacks \"reopen\""
find_window
shot updated
pass "one update from a double click; it downloads the newer list and the program restarts with it"

# A still newer list; the restarted program ends, and a new start finds the list. This time the
# last question is answered with Cancel (Escape): the list is downloaded, and the program goes on.
sed -i 's|<VERSION>1.1</VERSION>|<VERSION>1.2</VERSION>|' "$work/lists/DemoChannels.txt"
"$lists_tool" publish "$work/lists" "$site" >/dev/null
click 984 16
wait_for 20 gone || fail "the Close button did not end the restarted program"
rm -f "$status_file"
(
    status=0
    env -u ORVANTA_AUTOPLAY timeout 300 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
    echo "$status" >"$status_file"
) &
find_window
sleep 4
click $NOTICE_X $NOTICE_Y
wait_for 10 box_id >/dev/null || fail "the lists notice offered no second update"
xdotool windowactivate --sync "$(box_id)" key Return
sleep 1
wait_for 20 box_id >/dev/null || fail "the second update did not offer to restart"
xdotool windowactivate --sync "$(box_id)" key Escape
wait_for 10 grep -qF 'Message box: Update Success | Click Ok To Restart The Application -> 2' "$work/orvanta.log" ||
    fail "Cancel did not answer the restart question"
sleep 2
[[ ! -f "$status_file" && "$(our_programs | wc -l)" -eq 1 ]] || fail "Cancel did not leave the program running alone"
main_pid=$(our_programs | head -n 1)
pass "Cancel at the restart question leaves the program running"
processes_ended_cleanly
pass "every process of the program so far ended with code 0"

if full_run; then
    # --- 7. "install" opens the install page ---------------------------------------------------------
    status=0
    timeout 60 "$program" install >>"$work/orvanta.log" 2>&1 || status=$?
    [[ $status -eq 0 ]] || fail "\"install\" ended with $status"
    wait_for 10 test -f "$work/browser-arguments" || fail "no browser was started for \"install\""
    [[ "$(cat "$work/browser-arguments")" == "${url}InstallPageOrvanta.htm" ]] ||
        fail "the browser got: $(cat "$work/browser-arguments")"
    pass "\"install\" opened ${url}InstallPageOrvanta.htm"

    # --- 8. A second plain start ends quietly ----------------------------------------------------------
    status=0
    timeout 60 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
    [[ $status -eq 0 ]] || fail "the second start ended with $status"
    [[ "$(our_programs)" == "$main_pid" ]] || fail "a second instance stayed: $(our_programs)"
    pass "a second plain start ended quietly"
fi

click 984 16
wait_for 20 gone || fail "the Close button did not end the program"
wait_for 10 test -f "$status_file" || fail "the program's end was not seen"
[[ "$(cat "$status_file")" == 0 ]] || fail "the program ended with $(cat "$status_file")"
processes_ended_cleanly
pass "the Close button ends the program, and every process ended with code 0"

failed=0
echo "e2e: all checks passed"
