#!/usr/bin/env bash
# CI: installs the Debian package with apt (so its dependencies are checked), runs the installed programs from
# /usr/bin (tarvisk-cli on the demo marketplace, tarvisk --demo on an X server: its main window appears and it
# finds its badge images in /usr/share/tarvisk), then removes the package again, also when a check fails.
#
#   scripts/install_check.sh [PACKAGE.deb]     (default: build/release/tarvisk_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(realpath "${1:-$(ls build/release/tarvisk_*.deb)}")
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
work=$(mktemp -d)
gui_pid=""
cleanup() {
    [ -z "$gui_pid" ] || kill "$gui_pid" 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y -q tarvisk >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "$deb"
for program in tarvisk tarvix tarvisk-cli tarvisk-demo-market; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || { echo "install_check: $program is not /usr/bin/$program" >&2; exit 1; }
    env -u DISPLAY "$program" --version
done

# A user's first run, from a folder of its own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"
cd "$work"

answer=$(tarvisk-cli --demo check 老实买家)
echo "$answer"
[[ "$answer" == *'"account":"老实买家"'*'"verdict":"安全"'* ]] || { echo "install_check: tarvisk-cli check failed" >&2; exit 1; }

# The desktop program on an X server: the window manager sees the main window by its caption, with its icon; the
# program says on stderr when a badge image is missing.
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu QT_QPA_PLATFORM=xcb
cat >"$work/gui.sh" <<'GUI'
tarvisk --demo >"$1/gui.out" 2>"$1/gui.err" &
pid=$!
for _ in $(seq 120); do
    if xwininfo -name Tarvisk 2>/dev/null | grep -q 'Map State: IsViewable'; then
        sleep 2 # the first page loads while the window is up
        # The window shows the icon the package put in the icon theme.
        xprop -name Tarvisk _NET_WM_ICON | grep -q 'Icon ([0-9]* x [0-9]*)' || {
            echo "install_check: the main window has no icon" >&2
            kill "$pid"
            exit 1
        }
        kill -0 "$pid" || exit 1
        kill "$pid"
        wait "$pid"
        exit 0
    fi
    kill -0 "$pid" 2>/dev/null || exit 1
    sleep 0.5
done
kill "$pid"
exit 1
GUI
if ! xvfb-run -a -s "-screen 0 1600x1000x24" bash "$work/gui.sh" "$work"; then
    echo "install_check: the main window of /usr/bin/tarvisk did not appear:" >&2
    cat "$work/gui.err" >&2
    exit 1
fi
if grep -q '找不到徽章图片' "$work/gui.err"; then
    echo "install_check: /usr/bin/tarvisk does not find its badge images:" >&2
    cat "$work/gui.err" >&2
    exit 1
fi
[ -s /usr/share/tarvisk/tbimgs/jhuang.png ] && [ ! -e /usr/bin/Setting.ini ]
echo "install_check: tarvisk-cli checked 老实买家, tarvisk showed its main window with its badge images"

cd /
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y -q tarvisk
trap 'rm -rf "$work"' EXIT
if [ -e /usr/bin/tarvisk ] || [ -e /usr/share/tarvisk ]; then
    echo "install_check: files left after removing the package" >&2
    exit 1
fi
echo "install_check: installed, ran and removed $(basename "$deb")"
