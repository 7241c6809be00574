#!/usr/bin/env bash
# The whole program, end to end, on a virtual X display against a real list server:
#
#   tests/e2e/run-e2e.sh PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR
#
# 1. A fresh home folder; the demo lists published for a list server on a free port of
#    127.0.0.1, one demo channel generated with ffmpeg, an install tree recorded as
#    "Install Path" (orvanta --set-install-path), and a stand-in default browser that records
#    its arguments.
# 2. First run: the program copies the installed lists, fetches the current ones from the server
#    and restarts itself with "reopen".
# 3. The restarted program's tree holds the demo categories; the ORVANTA_AUTOPLAY hook plays the
#    second station (the moving test pattern); the player fetches the channel from the server
#    and two screenshots of the player area differ.
# 4. "install" opens the install page through the stand-in browser and ends with code 0.
# 5. A second plain start ends quietly with code 0 while the first instance runs.
#
# Everything runs under xvfb-run; the scratch folder is kept when a check fails
# (ORVANTA_E2E_KEEP=1 keeps it always).
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 PROGRAM LISTSERVER LISTS_TOOL SOURCE_DIR" >&2
    exit 2
fi
program=$(realpath "$1")
listserver=$(realpath "$2")
lists_tool=$(realpath "$3")
root=$(realpath "$4")

for tool in xvfb-run ffmpeg import compare convert; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The checks run on a display of their own.
if [[ -z "${ORVANTA_E2E_DISPLAY:-}" ]]; then
    export ORVANTA_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-e2e.XXXXXX")
failed=1
server_pid=

# Processes of this test only: those carrying its tag in their environment.
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

cleanup()
{
    local pid
    for pid in $(our_programs); do
        kill "$pid" 2>/dev/null || true
    done
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
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
trap cleanup EXIT

fail()
{
    echo "FAILED: $*" >&2
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
chmod +x "$work/bin/stand-in-browser" "$work/bin/xdg-settings"
export PATH="$work/bin:$PATH"

# The list server on a free port, then the demo lists published for that port.
site="$work/site"
mkdir -p "$site"
"$listserver" --port 0 "$site" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
wait_for 10 grep -q '^Serving' "$work/server.out" || fail "the list server did not start"
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/server.out")
url="http://127.0.0.1:$port/"
cp -R "$root/demo/lists" "$work/lists"
sed -i "s|127\.0\.0\.1:8719|127.0.0.1:$port|g" "$work/lists"/*.txt
"$lists_tool" publish "$work/lists" "$site" >/dev/null
cp -R "$root/demo/site/." "$site/"
# The test pattern moves in every frame; 30 seconds are enough for the screenshots.
mkdir -p "$site/channels/pattern"
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "sine=frequency=660:sample_rate=48000" \
    -t 30 -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -c:a aac -ac 2 \
    -f hls -hls_time 2 -hls_playlist_type vod \
    -hls_segment_filename "$site/channels/pattern/seg%03d.ts" "$site/channels/pattern/index.m3u8"
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

# --- 3. The tree shows the demo lists, a station plays ------------------------------------------
wait_for 60 grep -q 'Autoplay: tree: Demo Channels | News | Music & Culture' "$work/orvanta.log" ||
    fail "the tree does not show the demo categories"
grep -q "Autoplay: ${url}channels/pattern/index.m3u8" "$work/orvanta.log" ||
    fail "the second station is not the test pattern"
wait_for 60 grep -q 'GET /channels/pattern/seg0' "$work/server.log" ||
    fail "the player did not fetch the channel"
pass "the tree shows the demo lists and the test pattern is fetched"
# The window is centred on the 1280 x 800 screen; the player fills its right part.
sleep 4
import -window root "$work/shot1.png"
sleep 2
import -window root "$work/shot2.png"
area=600x380+460+150
convert "$work/shot1.png" -crop "$area" +repage "$work/area1.png"
convert "$work/shot2.png" -crop "$area" +repage "$work/area2.png"
colours=$(convert "$work/area2.png" -format %k info:)
changed=$(compare -metric AE "$work/area1.png" "$work/area2.png" null: 2>&1 || true)
changed=${changed%% *}
[[ "$colours" -gt 50 ]] || fail "the player area is plain ($colours colours)"
[[ "${changed%.*}" -gt 2000 ]] || fail "the picture does not move ($changed pixels changed)"
pass "the video moves ($changed pixels changed, $colours colours)"

# --- 4. "install" opens the install page ---------------------------------------------------------
status=0
timeout 60 "$program" install >>"$work/orvanta.log" 2>&1 || status=$?
[[ $status -eq 0 ]] || fail "\"install\" ended with $status"
wait_for 10 test -f "$work/browser-arguments" || fail "no browser was started for \"install\""
[[ "$(cat "$work/browser-arguments")" == "${url}InstallPageOrvanta.htm" ]] ||
    fail "the browser got: $(cat "$work/browser-arguments")"
pass "\"install\" opened ${url}InstallPageOrvanta.htm"

# --- 5. A second plain start ends quietly ----------------------------------------------------------
status=0
timeout 60 "$program" >>"$work/orvanta.log" 2>&1 || status=$?
[[ $status -eq 0 ]] || fail "the second start ended with $status"
[[ "$(our_programs)" == "$main_pid" ]] || fail "a second instance stayed: $(our_programs)"
pass "a second plain start ended quietly"

failed=0
echo "e2e: all checks passed"
