#!/usr/bin/env bash
# The programs installed with `cmake --install --prefix` into a scratch folder, beside the same programs in the
# build folder: every installed file in its place and valid, --version on all four programs, and the desktop program
# finding its badge images in both trees (and saying so when they are missing).
# Usage: installed_tree.sh CMAKE BUILD-FOLDER VERSION
set -u
cmake="$1"
build=$(cd "$2" && pwd)
version="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
mkdir -p "$HOME"

prefix="$work/prefix with space"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    fail "cmake --install failed"
    exit 1
}
gui=0
[ -x "$build/src/app/tarvisk" ] && gui=1

expected=(bin/tarvisk-cli bin/tarvisk-demo-market share/man/man1/tarvisk-cli.1.gz share/man/man1/tarvisk-demo-market.1.gz
    share/doc/tarvisk/copyright share/doc/tarvisk/changelog.gz share/tarvisk/tbimgs/jhuang.png
    share/tarvisk/tbimgs/jhuang.gif)
if [ "$gui" -eq 1 ]; then
    expected+=(bin/tarvisk bin/tarvix
        share/applications/tarvisk.desktop share/applications/tarvix.desktop share/metainfo/com.tarvisk.Tarvisk.metainfo.xml
        share/man/man1/tarvisk.1.gz share/man/man1/tarvix.1.gz
        share/icons/hicolor/scalable/apps/tarvisk.svg share/icons/hicolor/scalable/apps/tarvix.svg)
    for size in 16 22 24 32 48 64 128 256; do
        for name in tarvisk tarvix; do
            expected+=("share/icons/hicolor/${size}x${size}/apps/$name.png")
        done
    done
fi
for file in "${expected[@]}"; do
    [ -s "$prefix/$file" ] || fail "not installed: $file"
done
for page in "$prefix"/share/man/man1/*.1.gz; do
    # man's own check of the page's markup; the pages name each other as they are installed.
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -E UTF-8 -l - 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
if [ "$gui" -eq 1 ]; then
    desktop-file-validate "$prefix"/share/applications/*.desktop || fail "desktop entries are not valid"
    appstreamcli validate --no-net "$prefix"/share/metainfo/*.xml >"$work/appstream.log" 2>&1 ||
        fail "metainfo is not valid: $(cat "$work/appstream.log")"
    for size in 16 22 24 32 48 64 128 256; do
        for png in "$prefix/share/icons/hicolor/${size}x${size}/apps/"*.png; do
            [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
        done
    done
fi

# --version: the version and one commit for all four programs, in both trees; the desktop programs need no display.
programs=(src/cli/tarvisk-cli src/demo/tarvisk-demo-market)
[ "$gui" -eq 1 ] && programs+=(src/app/tarvisk src/app/tarvix)
commit=""
for program in "${programs[@]}"; do
    name=$(basename "$program")
    for path in "$build/$program" "$prefix/bin/$name"; do
        line=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$path" --version 2>&1)
        status=$?
        [ "$status" -eq 0 ] || fail "$path --version: exit $status: $line"
        if [[ "$line" =~ ^$name\ ${version//./\\.}\ \(commit\ ([0-9a-f]{4,}|unknown)\)$ ]]; then
            commit=${commit:-${BASH_REMATCH[1]}}
            [ "${BASH_REMATCH[1]}" = "$commit" ] || fail "$path --version names another commit: $line"
        else
            fail "$path --version: \"$line\""
        fi
    done
done

# The installed command line runs from any folder.
cd "$work"
answer=$("$prefix/bin/tarvisk-cli" --demo check 老实买家 2>"$work/cli.err")
[[ "$answer" == *'"account":"老实买家"'*'"verdict":"安全"'* ]] || fail "installed tarvisk-cli check: $answer $(cat "$work/cli.err")"

# start_gui PROGRAM: runs the desktop program in demo mode for a few seconds, headless; its stderr in $work/gui.err.
start_gui() {
    QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
        timeout -s TERM 6 "$1" --demo >"$work/gui.out" 2>"$work/gui.err"
    local status=$?
    [ "$status" -eq 124 ] || fail "$1 ended by itself with status $status: $(cat "$work/gui.err")"
}
if [ "$gui" -eq 1 ]; then
    for program in "$build/src/app/tarvisk" "$prefix/bin/tarvisk" "$prefix/bin/tarvix"; do
        start_gui "$program"
        if grep -q '找不到徽章图片' "$work/gui.err"; then
            fail "$program misses its badge images: $(cat "$work/gui.err")"
        fi
    done
    # An installed program keeps its settings per user, never in the package's folder.
    [ ! -e "$prefix/bin/Setting.ini" ] || fail "the installed program wrote Setting.ini beside itself"
    # A program copied out of both trees runs, and says what it misses.
    mkdir -p "$work/copy"
    cp "$prefix/bin/tarvisk" "$work/copy/"
    start_gui "$work/copy/tarvisk"
    for badge in jhuang.png jhuang.gif; do
        grep -Fq "Tarvisk: 找不到徽章图片 $work/copy/tbimgs/$badge" "$work/gui.err" ||
            fail "the copied program does not say $badge is missing: $(cat "$work/gui.err")"
    done
fi

if [ "$failures" -gt 0 ]; then
    echo "installed_tree: $failures failures" >&2
    exit 1
fi
echo "installed_tree: ${#expected[@]} files installed, ${#programs[@]} programs in both trees"
