#!/usr/bin/env bash
# tarvisk-cli shop against the in-process demo marketplace: the listing on stdout (id, blank, title,
# CR LF per item), the status line last on stderr, the exit status, usage errors.
# Usage: shop_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

# expect_status NAME TEXT: the last line on stderr is exactly TEXT.
expect_status() {
    local last
    last=$(tail -n 1 "$work/stderr")
    [ "$last" = "$2" ] || fail "$1: last stderr line is '$last', expected '$2'"
}

# expect_items NAME COUNT: stdout is COUNT lines of "id title" each ending in CR LF, nothing else.
expect_items() {
    local lines crlf
    lines=$(grep -c '' "$work/out")
    crlf=$(grep -Ec $'^[0-9]{9,13} [^\r]+\r$' "$work/out")
    [ "$lines" -eq "$2" ] || fail "$1: $lines lines, expected $2"
    [ "$crlf" -eq "$2" ] || fail "$1: $crlf well-formed lines ending in CR LF, expected $2"
    [ "$2" -eq 0 ] || [ "$(tail -c 2 "$work/out" | od -An -tx1 | tr -d ' ')" = "0d0a" ] ||
        fail "$1: the last line does not end in CR LF"
}

run "two pages and the end notice" 0 --demo shop DEMOSHOP1.TAOBAO.COM
expect_items "two pages and the end notice" 25
expect_status "two pages and the end notice" "共查到25个宝贝"
[ "$(head -n 1 "$work/out")" = $'42054041382 演示店铺一 包邮 第1款\r' ] ||
    fail "first item: $(head -n 1 "$work/out" | od -c | head -3)"
[ "$(sed -n 25p "$work/out")" = $'42054065694 演示店铺一 包邮 第25款\r' ] || fail "last item: $(sed -n 25p "$work/out")"
[ "$(grep -c '' "$work/stderr")" -eq 1 ] || fail "stderr holds more than the status line (no progress off a terminal)"

run "first hundred links of a page" 0 --demo shop http://demoshop2.taobao.com/
expect_items "first hundred links of a page" 109
expect_status "first hundred links of a page" "共查到109个宝贝"
grep -q '^43100000343 ' "$work/out" && fail "the link without text (item 50) was listed"
grep -q '^43100000833 ' "$work/out" && fail "item 120, past the first 100 links of page 1, was listed"

run "page without links ends the crawl" 0 --demo shop demoshop3.taobao.com
expect_items "page without links ends the crawl" 45
grep -q $'^123456789 演示店铺三 型号 123456789 加厚\r$' "$work/out" || fail "digits in a title did not make the id"

run "unknown shop" 0 --demo shop nosuchshop.taobao.com
expect_items "unknown shop" 0
[ ! -s "$work/out" ] || fail "unknown shop: stdout not empty"
expect_status "unknown shop" "共查到0个宝贝"

run "no shop name" 0 --demo shop http://demoshop1.taobao.com
[ ! -s "$work/out" ] || fail "no shop name: stdout not empty"
expect_status "no shop name" "共查到0个宝贝"

run "missing address" 2 shop
[ ! -s "$work/out" ] || fail "missing address: stdout not empty"
run "two addresses" 2 shop a.taobao.com b.taobao.com

finish shop_demo
