#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo list server and runs ORVANTA:
#
#   scripts/run.sh [PROGRAM ARGUMENTS...]
#
# 1. scripts/install-deps.sh: the Debian packages that are missing (apt-get, sudo when needed).
# 2. A Release build of the program and the list tools in build/.
# 3. scripts/demo-setup.sh --start: the demo lists published into build/demo-site, the demo
#    channels generated once with ffmpeg, the list server started in the background on
#    127.0.0.1:8719 (scripts/demo-setup.sh --stop ends it).
# 4. What an installer does: the install tree build/install/res with the skin, the search picture
#    and the first lists (the published demo lists), recorded as the "Install Path" setting with
#    `orvanta --set-install-path`.
# 5. build/Sources/orvanta with the given arguments. On the first run of an account it fetches the lists
#    from the list server and restarts itself.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
install="$build/install"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target orvanta orvanta-lists orvanta-listserver
"$root/scripts/demo-setup.sh" --start "$build"

rm -rf "$install"
mkdir -p "$install/res"
cp -R "$root/res/." "$install/res/"
for list in "$build/demo-site"/*.txt; do
    [[ "$(basename "$list")" == UpdateSettings.txt ]] || cp "$list" "$install/res/"
done
"$build/Sources/orvanta" --set-install-path "$install"
echo "Installed into $install"

exec "$build/Sources/orvanta" "$@"
