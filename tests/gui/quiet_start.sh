#!/usr/bin/env bash
# The desktop program started in demo mode on a real X server (run under xvfb-run): for its first seconds, while the
# login browser loads the demo login page over HTTPS, the terminal shows nothing but notices about the environment
# the test itself sets up. Usage: quiet_start.sh PATH-TO-TARVISK
set -u
program="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp -r "$(dirname "$program")/tbimgs" "$work/" 2>/dev/null
timeout -s TERM 12 "$program" --demo >"$work/stdout" 2>"$work/stderr"
status=$?
[ "$status" -eq 124 ] || { echo "FAIL: the program ended by itself with status $status"; cat "$work/stderr"; exit 1; }
# What the test's environment causes: no sandbox when run as root, no runtime folder without a login session.
noise=$(grep -v -e '^Sandboxing disabled by user\.$' -e '^QStandardPaths: XDG_RUNTIME_DIR not set' -e '^$' "$work/stderr" "$work/stdout")
if [ -n "$noise" ]; then
    echo "FAIL: the program printed:"
    printf '%s\n' "$noise" | head -n 20
    exit 1
fi
echo "quiet_start: nothing printed"
