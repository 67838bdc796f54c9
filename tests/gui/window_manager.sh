#!/usr/bin/env bash
# Under a real window manager (openbox on Xvfb, at 1600×1000 and 1366×768): a walk and a shop read through the
# browser show the seller no window (the page the browser reads in is never handed to the window manager, and no
# window the window manager passes over stands on the screen); and every window stands whole on the screen.
# Usage: window_manager.sh PATH-TO-BROWSER-WALK-TEST PATH-TO-WINDOW-PLACEMENT-TEST
set -u
walk_test="$1"
placement_test="$2"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [ "${3:-}" != "--inside" ]; then
    for size in 1600x1000 1366x768; do
        xvfb-run -a -s "-screen 0 ${size}x24" bash "$0" "$walk_test" "$placement_test" --inside "$size" || exit 1
    done
    echo "window manager: no hidden page shown, every window on the screen, at 1600x1000 and 1366x768"
    exit 0
fi
size="$4"
width=${size%x*}
height=${size#*x}

work=$(mktemp -d)
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    wmctrl -m >/dev/null 2>&1 && break
    sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"

# The windows a seller would see: those the window manager manages, and those it passes over (override-redirect)
# that stand on the screen, larger than a pixel.
shown() {
    wmctrl -lG 2>/dev/null | sed 's/^/managed: /'
    for window in $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
        xwininfo -id "$window" 2>/dev/null | awk -v w="$width" -v h="$height" -v id="$window" '
            /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
            /Width:/ { cw = $2 } /Height:/ { ch = $2 } /Map State: IsViewable/ { viewable = 1 }
            /Override Redirect State: yes/ { passed = 1 }
            END { if (viewable && passed && cw > 1 && ch > 1 && x < w && y < h && x + cw > 0 && y + ch > 0)
                      printf "unmanaged on screen: %s %dx%d+%d+%d\n", id, cw, ch, x, y }'
    done
}

QT_QPA_PLATFORM=xcb "$walk_test" aTodayWalkFindsItsTargetOnPage2 theShopWindowListsATodayShopThroughTheBrowser \
    >"$work/walk.log" 2>&1 &
walk=$!
seen=""
while kill -0 "$walk" 2>/dev/null; do
    seen+="$(shown 2>/dev/null)"$'\n'
    sleep 0.2
done
wait "$walk" || fail "$size: the walks failed: $(grep -E 'FAIL|Loc' "$work/walk.log" | head -5)"
seen=$(printf '%s\n' "$seen" | grep . | sort -u)
[ -z "$seen" ] || fail "$size: windows shown during the walks: $(printf '%s\n' "$seen" | head -5)"

QT_QPA_PLATFORM=xcb "$walk_test" thePauseWindowStaysAboveTheWindowWhoseJobItHolds >"$work/pause.log" 2>&1 ||
    fail "$size: $(grep -E 'FAIL|Loc' "$work/pause.log" | head -5)"
QT_QPA_PLATFORM=xcb "$placement_test" everyWindowStandsWholeOnTheScreen >"$work/placement.log" 2>&1 ||
    fail "$size: $(grep -E 'FAIL|Loc' "$work/placement.log" | head -5)"
