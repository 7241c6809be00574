#!/usr/bin/env bash
# tests/shell/installer-words.sh PROGRAM LISTSERVER LISTS_TOOL: the program's words that need no
# window system, run with no display and no browser. A second start decides before the window
# system starts, so it too ends quietly without a display.
set -euo pipefail
program=$(realpath "$1")
listserver=$(realpath "$2")
lists_tool=$(realpath "$3")

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-words.XXXXXX")
server_pid=
cleanup() { [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/runtime" no_proxy='*' NO_PROXY='*'
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/ORVANTA/res" "$work/site" "$work/bin" "$work/install"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# No browser anywhere: the program's PATH holds only a desktop query that names none.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/xdg-settings"
chmod +x "$work/bin/xdg-settings"

"$listserver" --port 0 "$work/site" >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 50); do grep -q '^Serving' "$work/server.out" && break || sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)\/.*/\1/p' "$work/server.out")
[[ -n "$port" ]] || fail "the list server did not start"
touch "$work/site/InstallPageOrvanta.htm" "$work/site/UninstallPageOrvanta.htm"

# words SERVER_URLS PAGE_BASE: install and uninstall print their page on the first server that
# answers (a refused one stands ahead of it), or nothing when none answers.
words()
{
    printf '<SERVERS>%s</SERVERS>' "$1" >"$work/servers.xml"
    "$lists_tool" scramble "$work/servers.xml" "$XDG_DATA_HOME/ORVANTA/res/ServerSettings.txt"
    for word in install Uninstall; do
        status=0
        output=$(timeout 60 env PATH="$work/bin" "$program" "$word" 2>"$work/$word.err") || status=$?
        [[ $status -eq 0 ]] || { cat "$work/$word.err" >&2; fail "\"$word\" ended with $status"; }
        page=
        [[ -z "$2" ]] || page="$2/${word^}PageOrvanta.htm"
        [[ "$output" == "$page" ]] || fail "\"$word\" printed \"$output\", not \"$page\""
        echo "ok: \"$word\" without a display printed \"$output\""
    done
}
words "<URL>http://127.0.0.1:1/</URL><URL>http://127.0.0.1:$port/</URL>" "http://127.0.0.1:$port"
words "<URL>http://127.0.0.1:1/</URL>" ""

# The lock is held on a descriptor of this script, which the program does not inherit.
exec 9>"$XDG_RUNTIME_DIR/ZQ Marquint Mutex"
flock -n 9 || fail "could not take the single-instance lock"
status=0
timeout 60 "$program" >"$work/second.out" 2>"$work/second.err" 9>&- || status=$?
[[ $status -eq 0 ]] || { cat "$work/second.err" >&2; fail "a second start ended with $status"; }
[[ ! -s "$work/second.out" ]] || fail "a second start printed: $(cat "$work/second.out")"
echo "ok: a second start without a display ended quietly"
exec 9>&-

(cd "$work" && "$program" --set-install-path install) || fail "--set-install-path install failed"
status=0
"$program" --set-install-path "$work/missing" 2>/dev/null || status=$?
[[ $status -eq 1 ]] || fail "--set-install-path of a missing folder ended with $status"
grep -qxF "Install Path=$work/install" "$XDG_CONFIG_HOME/ORVANTA/settings.ini" ||
    fail "the install path was not recorded as $work/install"
echo "ok: --set-install-path records an absolute folder and refuses a missing one"
