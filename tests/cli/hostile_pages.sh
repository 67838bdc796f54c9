#!/usr/bin/env bash
# tarvisk-cli against pages and servers that misbehave (the demo marketplace program with its test pages):
# control characters in page texts never reach the terminal, whether printed as text, as table cells or
# as JSON; and a request that stalls ends after --stall seconds as an empty page.
# Usage: hostile_pages.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

start_demo_server --test-pages

# no_controls NAME FILE: FILE holds no C0 control character but tab and line feed (and carriage return
# before a line feed), no DEL, and no C1 control character in UTF-8.
no_controls() {
    perl -ne 's/\r\n\z/\n/; if (/[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]/) { print "line $.: $_"; exit 1 }' "$2" >"$work/bad" ||
        fail "$1: a control character reached the terminal: $(od -c "$work/bad" | head -4)"
}

# U+FFFD, the replacement character, in UTF-8 (the scripts run in the C locale).
r=$'\xef\xbf\xbd'

# Titles with a colour, a clipboard write, a C1 "clear screen", a lone carriage return, backspaces and DEL.
run "shop with control titles" 0 --route "$route" shop control-titles.taobao.com
no_controls "shop with control titles" "$work/out"
no_controls "shop with control titles (stderr)" "$work/stderr"
expect_lines "shop with control titles" 6
# has_text NAME TEXT: the output holds TEXT as it is.
has_text() {
    grep -qF -- "$2" "$work/out" || fail "$1: no line with '$2': $(od -c "$work/out" | head -6)"
}
has_text "colour" "1100000000 $r[31mred$r[0m"$'\r'
has_text "clipboard" "1100000001 $r]52;c;cm0gLXJmIH4=${r}clipboard"$'\r'
has_text "C1 clear screen" "1100000002 ${r}2Jclear"$'\r'
has_text "lone carriage return" "1100000003 real${r}fake"$'\r'
has_text "plain title unchanged" $'1100000005 plain\r'

# The keyword returns in every title of the search: the table cells must not carry it raw.
keyword=$'key\e]52;c;cm0gLXJmIH4=\a\x7f\xc2\x9b2J'
run "rank with a control keyword" 0 --route "$route" rank "$keyword" --pages 1 --item 42054041382
no_controls "rank with a control keyword" "$work/out"
grep -qF "key$r]52;c;cm0gLXJmIH4=$r$r${r}2J " "$work/out" ||
    fail "rank with a control keyword: titles do not show the keyword made safe: $(head -3 "$work/out")"

# JSON escapes C0 characters itself; DEL and C1 would pass as they are.
"$cli" --route "$route" check $'a\x7fb\xc2\x9bc\ed' >"$work/out" 2>"$work/stderr"
no_controls "check with a control account" "$work/out"
grep -qF "\"account\":\"a${r}b${r}c${r}d\"" "$work/out" || fail "check with a control account: $(cat "$work/out")"

# Stalled servers: nothing for 2 seconds ends the request as an empty page; the listing is incomplete.
for fault in silent drip short; do
    started=$(date +%s)
    run "stalled $fault shop" 4 --route "$route" --stall 2 shop "hostile-$fault.taobao.com"
    took=$(($(date +%s) - started))
    [ "$took" -le 12 ] || fail "stalled $fault shop: took $took s with --stall 2"
    grep -q "^shop：第2页：淘宝返回了空白页 " "$work/stderr" || fail "stalled $fault shop: $(cat "$work/stderr")"
    expect_lines "stalled $fault shop: the first page's items" 20
done

finish hostile_pages
