#!/usr/bin/env bash
# Makes the Debian package of a build folder with cpack and checks it without installing it: its
# control fields, the dependencies dpkg-shlibdeps found (and apt-get's simulated install), its
# files, icons and desktop entry, stripped programs, and that the unpacked program, with no
# install path recorded, finds the tree beside itself and copies the first lists.
#
#   tests/package/check-package.sh BUILD_DIR
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(realpath "$1")
# shellcheck source=../e2e/e2e-lib.sh
source "$(dirname "$(realpath "$0")")/../e2e/e2e-lib.sh"
e2e_need cpack dpkg-deb dpkg-shlibdeps apt-get desktop-file-validate file
e2e_begin package

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "cpack made no single .deb"
deb=${debs[0]}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[[ "$(basename "$deb")" == "orvanta_${version}_$(dpkg --print-architecture).deb" ]] ||
    fail "the package is named $(basename "$deb")"
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == orvanta && "$(field Version)" == "$version" &&
    "$(field Section)" == video ]] || fail "control: $(dpkg-deb -f "$deb")"
pass "$(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

depends=$(field Depends)
for library in libqt6webenginecore6 libqt6webenginewidgets6 libqt6dbus6 libqt6widgets6 libmpv2 \
    libcurl4 libc6 libqt6webenginecore6-bin; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "Depends lacks $library: $depends"
done
[[ "$(field Recommends)" == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland"
# apt would install it here: every dependency can be had (a simulation changes nothing).
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get cannot install the package"; }
grep -q '^Inst orvanta ' "$work/apt.log" || { cat "$work/apt.log" >&2; fail "apt-get would not install it"; }
pass "Depends: $depends"

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -c "$deb" >"$work/contents"
for path in usr/bin/orvanta usr/bin/orvanta-lists usr/bin/orvanta-listserver \
    usr/share/orvanta/res/Skin/SkinInfo.xml usr/share/orvanta/res/MoviesSearch.gif \
    usr/share/orvanta/res/DemoChannels.txt usr/share/orvanta/res/ServerSettings.txt \
    usr/share/applications/orvanta.desktop usr/share/icons/hicolor/scalable/apps/orvanta.svg; do
    [[ -e "$work/root/$path" ]] || fail "the package lacks /$path"
done
[[ ! -e "$work/root/usr/share/orvanta/res/UpdateSettings.txt" ]] ||
    fail "the server's list of lists is among the first lists"
for size in 16 22 24 32 48 64 128 256; do
    icon="$work/root/usr/share/icons/hicolor/${size}x$size/apps/orvanta.png"
    [[ "$(file -b "$icon")" == "PNG image data, $size x $size, "* ]] ||
        fail "the ${size}px icon is: $(file -b "$icon" 2>&1)"
done
grep -q ' root/root ' "$work/contents" || fail "the files are not owned by root"
for name in orvanta orvanta-lists orvanta-listserver; do
    [[ "$(file -b "$work/root/usr/bin/$name")" == *", stripped"* ]] ||
        fail "/usr/bin/$name is not stripped"
    [[ -x "$work/root/usr/bin/$name" ]] || fail "/usr/bin/$name is not executable"
done
pass "$(wc -l <"$work/contents") entries: programs, tree, first lists, desktop entry, icons"

entry="$work/root/usr/share/applications/orvanta.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejected the desktop entry"
key() { sed -n "s/^$1=//p" "$entry"; }
[[ "$(key Exec)" == orvanta && "$(key Icon)" == orvanta && "$(key Name)" == ORVANTA &&
    "$(key GenericName)" == "Internet TV" &&
    "$(key Categories)" == "AudioVideo;Video;Player;TV;" ]] || fail "the desktop entry: $(cat "$entry")"
grep -qi '^Actions=\|install' "$entry" && fail "the desktop entry offers actions: $(cat "$entry")"
pass "the desktop entry is valid and offers no install or uninstall action"

# The unpacked program, with no install path recorded, finds the tree beside itself.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen ORVANTA_DEBUG=1
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Without a list server its first run waits in the update dialog: it is ended once it has copied
# the first lists.
"$work/root/usr/bin/orvanta" >"$work/orvanta.log" 2>&1 &
program_pid=$!
wait_for 30 test -f "$XDG_DATA_HOME/ORVANTA/res/DemoChannels.txt" || true
kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
grep -q "No install path recorded; using $work/root/usr/share/orvanta$" "$work/orvanta.log" ||
    fail "the unpacked program did not find its tree"
[[ -f "$XDG_DATA_HOME/ORVANTA/res/DemoChannels.txt" ]] ||
    fail "the first run did not copy the first lists"
pass "the unpacked program finds /usr/share/orvanta beside itself and copies the first lists"

failed=0
echo "package: all checks passed"
