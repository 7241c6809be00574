#!/usr/bin/env bash
# The installer's words without a window system:
#
#   tests/shell/installer-words.sh PROGRAM LISTSERVER LISTS_TOOL
#
# "install" and "uninstall" run with no display at all and no browser to start: each ends with
# code 0 and prints the address of its page on the first server that answers (a dead server
# stands ahead of it). A plain start while another process holds the single-instance lock ends
# with code 0 without a display too: it decides before the window system starts.
set -euo pipefail
program=$(realpath "$1")
listserver=$(realpath "$2")
lists_tool=$(realpath "$3")

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-words.XXXXXX")
server_pid=
holder_pid=
cleanup()
{
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
    [[ -n "$holder_pid" ]] && kill "$holder_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail()
{
    echo "FAILED: $*" >&2
    exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/runtime" no_proxy='*' NO_PROXY='*'
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/ORVANTA/res" "$work/site" "$work/bin"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# No browser anywhere: the program's PATH holds only a desktop query that names none.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/xdg-settings"
chmod +x "$work/bin/xdg-settings"

"$listserver" --port 0 "$work/site" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 50); do
    grep -q '^Serving' "$work/server.out" && break
    sleep 0.1
done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/server.out")
[[ -n "$port" ]] || fail "the list server did not start"
touch "$work/site/InstallPageOrvanta.htm" "$work/site/UninstallPageOrvanta.htm"
# A refused port ahead of the live server.
printf '<SERVERS><URL>http://127.0.0.1:1/</URL><URL>http://127.0.0.1:%s/</URL></SERVERS>' "$port" \
    >"$work/servers.xml"
"$lists_tool" scramble "$work/servers.xml" "$XDG_DATA_HOME/ORVANTA/res/ServerSettings.txt"

for word in install uninstall; do
    status=0
    output=$(timeout 60 env PATH="$work/bin" "$program" "$word" 2>"$work/$word.err") || status=$?
    [[ $status -eq 0 ]] || { cat "$work/$word.err" >&2; fail "\"$word\" ended with $status"; }
    page=InstallPageOrvanta.htm
    [[ $word == uninstall ]] && page=UninstallPageOrvanta.htm
    [[ "$output" == "http://127.0.0.1:$port/$page" ]] || fail "\"$word\" printed: $output"
    echo "ok: \"$word\" without a display printed $output"
done

lock="$XDG_RUNTIME_DIR/ZQ Marquint Mutex"
flock "$lock" sleep 60 &
holder_pid=$!
for _ in $(seq 50); do
    flock -n "$lock" true || break
    sleep 0.1
done
status=0
timeout 60 "$program" >"$work/second.out" 2>"$work/second.err" || status=$?
[[ $status -eq 0 ]] || { cat "$work/second.err" >&2; fail "a second start ended with $status"; }
[[ ! -s "$work/second.out" ]] || fail "a second start printed: $(cat "$work/second.out")"
echo "ok: a second start without a display ended quietly"
