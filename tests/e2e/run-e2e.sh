#!/usr/bin/env bash
# The whole program on a virtual X display with openbox, against a real list server:
#
#   tests/e2e/run-e2e.sh PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR
#
# A fresh account with an install tree recorded by --set-install-path and a stand-in browser;
# the first run fetches the lists and restarts; a station plays and moves; the bottom strip, the
# presets and typed searches (capitals, punctuation, Cyrillic) are driven with xdotool; a
# restart plays a preset; newer lists are fetched on request and the program restarts with them;
# "install" opens the install page; a second start ends quietly. Every process of the program
# must trace its end with code 0. ORVANTA_E2E_ONLY=update skips the checks of the window's
# surface (for a sanitizer build). Screenshots stay in the scratch folder when a check fails
# (ORVANTA_E2E_KEEP=1 keeps them always).
set -euo pipefail

[[ $# -eq 4 ]] || { echo "usage: $0 PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR" >&2; exit 2; }
program=$(realpath "$1")
listserver=$(realpath "$2")
lists_tool=$(realpath "$3")
root=$(realpath "$4")
# shellcheck source=e2e-lib.sh
source "$root/tests/e2e/e2e-lib.sh"
e2e_need xvfb-run openbox xdotool xmodmap xprop ffmpeg import compare convert
e2e_on_display "$@"
e2e_begin e2e
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

e2e_openbox
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
preset_x() { echo $((15 + 32 * $1 + 14)); }
STOP_X=204 PLAY_X=258 NEXT_X=362 SLIDER_X=452 CONTROLS_Y=606
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
# search TEXT: TEXT typed into the caption's search box, then Enter.
search()
{
    click 130 15
    xdotool key ctrl+a
    xdotool type --delay 40 "$1"
    xdotool key Return
}
# web_search TEXT ADDRESS: a search that finds no station; the offered web search, accepted with
# Enter, hands ADDRESS to the browser.
web_search()
{
    search "$1"
    wait_for 10 box_id >/dev/null || fail "no offer of a web search for $1"
    shot "box-web-search-${#1}"
    xdotool windowactivate --sync "$(box_id)" key Return
    browser_got "$2"
    pass "typed \"$1\" finds no station and goes to $2"
}
# browser_got ADDRESS: the stand-in browser was started with the address alone.
browser_got()
{
    wait_for 10 test -f "$work/browser-arguments" || fail "no browser was started for $1"
    [[ "$(cat "$work/browser-arguments")" == "$1" ]] ||
        fail "the browser got $(cat "$work/browser-arguments"), not $1"
    rm "$work/browser-arguments"
}
# publish_list SED_SCRIPT: the server gets a changed Demo Channels list.
publish_list()
{
    sed -i "$1" "$work/lists/DemoChannels.txt"
    "$lists_tool" publish "$work/lists" "$site" >/dev/null
}
# start_program: the program started again without the autoplay hook; its exit status goes to
# status_file when it ends.
status_file="$work/program.status"
start_program()
{
    rm -f "$status_file"
    (
        status=0
        env -u ORVANTA_AUTOPLAY timeout 300 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
        echo "$status" >"$status_file"
    ) &
    find_window
}
# update_from_notice CLICKS KEYS...: clicks the lists notice (right of the Search button), says
# Yes to the update it offers and answers the restart question with the keys.
update_from_notice()
{
    xdotool mousemove --sync $((wx + 420)) $((wy + 15)) click --repeat "$1" --delay 80 1
    shift
    wait_for 10 box_id >/dev/null || fail "the lists notice offered no update"
    shot box-update
    xdotool windowactivate --sync "$(box_id)" key Return
    sleep 1
    wait_for 20 box_id >/dev/null || fail "the update did not offer to restart"
    shot box-restart
    xdotool windowactivate --sync "$(box_id)" key --delay 30 "$@"
}

# --- A fresh account -------------------------------------------------------------------------
e2e_home
export ORVANTA_AUTOPLAY=2
# A stand-in browser that records its arguments, named as the default browser by its desktop
# entry and by xdg-settings (this machine need not have xdg-utils); xdg-open is the same.
mkdir -p "$work/bin" "$XDG_DATA_HOME/applications"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.tmp" && mv "%s.tmp" "%s"\n' \
    "$work/browser" "$work/browser" "$work/browser-arguments" >"$work/bin/stand-in-browser"
printf '[Desktop Entry]\nType=Application\nName=Stand-in browser\nExec=%s %%u\n' \
    "$work/bin/stand-in-browser" >"$XDG_DATA_HOME/applications/stand-in-browser.desktop"
printf '#!/bin/sh\n[ "$1 $2" = "get default-web-browser" ] && echo stand-in-browser.desktop\n' \
    >"$work/bin/xdg-settings"
chmod +x "$work/bin/stand-in-browser" "$work/bin/xdg-settings"
ln -s stand-in-browser "$work/bin/xdg-open"
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

# --- First run: fetch the lists, restart -------------------------------------------------------
e2e_first_run

if full_run; then
# --- The tree shows the demo lists, a station plays ------------------------------------------
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

# --- The bottom strip -------------------------------------------------------------------------
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

# The tree search ignores case and selects the station; Play asks the server for it (this test
# generates no such channel, so the request is what counts).
search "game of LIFE"
sleep 0.5
click $PLAY_X $CONTROLS_Y
banner_loads=$((banner_loads + 1))
wait_for 20 grep -q 'GET /channels/life/index.m3u8' "$work/server.log" ||
    fail "the typed search did not select Game of Life"
pass "a typed search selects the station and Play asks for it"

# Cyrillic capitals and punctuation in UTF-8, the blank as "+"; an address in mixed case opens
# as an http address.
web_search "Тест: ТВ?" "https://duckduckgo.com/?q=%D0%A2%D0%B5%D1%81%D1%82%3A+%D0%A2%D0%92%3F"
web_search "www.Example.org/a?b=C" "http://www.Example.org/a?b=C"
else
    find_window
fi

# --- Close, start again, play the preset --------------------------------------------------------
close_window
pass "the Close button ends the program"

# Meanwhile the server gets a newer Demo Channels list, which the next start will find.
publish_list 's|<VERSION>1.0</VERSION>|<VERSION>1.1</VERSION>|; s|Colour Bars<|Colour Bars HD<|'

# Without the autoplay hook: this time only the preset plays.
start_program
if full_run; then
    banner_loads=$((banner_loads + 1))
    wait_for 30 at_least $banner_loads pages/Banner.htm ||
        fail "the restarted window did not fetch its banner"
    fractal_before=$(requests channels/fractal/index.m3u8)
    shot restarted
    # Nothing of the player shows while the start page covers the view: its video window once
    # stood black over the caption's search box at every such start.
    [[ "$(convert "$work/restarted.png" -format "%[pixel:p{$((wx + 65)),$((wy + 15))}]" info:)" == \
        "srgb(255,255,255)" ]] || fail "the search box is covered after the restart"
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

# --- Newer lists on request -------------------------------------------------------------------
# The silent check two seconds after the start found the newer list. A quick double click on the
# notice opens one update; Enter pressed twice at once answers the restart question.
asked() { grep -c 'Message box: Updates Are Available' "$work/orvanta.log" || true; }
asked_before=$(asked)
sleep 3
update_from_notice 2 Return Return
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
publish_list 's|<VERSION>1.1</VERSION>|<VERSION>1.2</VERSION>|'
close_window
start_program
sleep 4
update_from_notice 1 Escape
wait_for 10 grep -qF 'Message box: Update Success | Click Ok To Restart The Application -> 2' "$work/orvanta.log" ||
    fail "Cancel did not answer the restart question"
sleep 2
[[ ! -f "$status_file" && "$(our_programs | wc -l)" -eq 1 ]] || fail "Cancel did not leave the program running alone"
main_pid=$(our_programs | head -n 1)
pass "Cancel at the restart question leaves the program running"
processes_ended_cleanly
pass "every process of the program so far ended with code 0"

if full_run; then
    # --- "install" opens the install page; a second plain start ends quietly ---------------------
    run_program 60 install
    browser_got "${url}InstallPageOrvanta.htm"
    pass "\"install\" opened ${url}InstallPageOrvanta.htm"
    run_program 60
    [[ "$(our_programs)" == "$main_pid" ]] || fail "a second instance stayed: $(our_programs)"
    pass "a second plain start ended quietly"
fi

close_window
wait_for 10 test -f "$status_file" || fail "the program's end was not seen"
[[ "$(cat "$status_file")" == 0 ]] || fail "the program ended with $(cat "$status_file")"
processes_ended_cleanly
pass "the Close button ends the program, and every process ended with code 0"

failed=0
echo "e2e: all checks passed"
