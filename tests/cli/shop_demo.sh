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
expect_status "first hundred links of a page" "共查到109个宝贝（第1页另有20个未列出，每页只列前100个）"
grep -q '^43100000343 ' "$work/out" && fail "the link without text (item 50) was listed"
grep -q '^43100000833 ' "$work/out" && fail "item 120, past the first 100 links of page 1, was listed"

run "page without links ends the crawl" 0 --demo shop demoshop3.taobao.com
expect_items "page without links ends the crawl" 45
grep -q $'^43500000011 演示店铺三 型号 123456789 加厚\r$' "$work/out" || fail "digits in a title took the place of the id"

run "unknown shop" 0 --demo shop nosuchshop.taobao.com
expect_items "unknown shop" 0
[ ! -s "$work/out" ] || fail "unknown shop: stdout not empty"
expect_status "unknown shop" "共查到0个宝贝"

run "address without its final slash" 0 --demo shop http://demoshop1.taobao.com
expect_items "address without its final slash" 25

run "no shop name" 0 --demo shop http://demoshop1.taobao.cn/
[ ! -s "$work/out" ] || fail "no shop name: stdout not empty"
expect_status "no shop name" "共查到0个宝贝"

# The 100-page limit: the count line says the shop may have more.
run "page limit" 0 --demo shop bigshop.taobao.com
expect_items "page limit" 10000
expect_status "page limit" "共查到10000个宝贝（最多读100页，后面可能还有）"

# Links of every scheme, an https link just before an http one among them: all listed, in page order.
run "mixed schemes" 0 --demo shop mixshop.taobao.com
expect_items "mixed schemes" 30
[ "$(sed -n 2,3p "$work/out" | cut -d' ' -f1 | tr -d '\r' | tr '\n' ' ')" = "46000000023 46000000046 " ] ||
    fail "mixed schemes: items 2 and 3: $(sed -n 2,3p "$work/out")"

# Current pages write their item links without a scheme or with https: listed as the old form.
run "current links" 0 --demo shop newshop.taobao.com
expect_items "current links" 30
expect_status "current links" "共查到30个宝贝"
[ "$(sed -n 2p "$work/out")" = $'45000000017 演示新店 正品 第2款\r' ] || fail "current links: item 2: $(sed -n 2p "$work/out")"

# A login page ends the listing: the items before it, then the page and the reason on stderr, and the count
# line saying why it is partial, exit 4.
run "login at page 2" 4 --demo shop loginshop.taobao.com
expect_items "login at page 2" 20
[ "$(grep -c '' "$work/stderr")" -eq 3 ] || fail "login at page 2: stderr: $(cat "$work/stderr")"
grep -q '^shop：第2页：淘宝要求登录 https://login\.taobao\.com/member/login\.jhtml?redirectURL=http%3A%2F%2Floginshop\.taobao\.com%2Fsearch\.htm' "$work/stderr" ||
    fail "login at page 2: stderr: $(cat "$work/stderr")"
grep -Fxq "店铺宝贝列表不完整：读取店铺第2页时淘宝要求登录，只列出了之前各页的20个宝贝。请先登录淘宝，再重新查询。" "$work/stderr" ||
    fail "login at page 2: no message: $(cat "$work/stderr")"
expect_status "login at page 2" "共查到20个宝贝（第2页没有读到，列表不完整）"

start_demo_server --test-pages
for kind in slider punish empty; do
    run "$kind at page 1" 4 --route "$route" shop "refuse-$kind-1.taobao.com"
    expect_items "$kind at page 1" 0
    grep -Eq "^shop：第1页：(淘宝要求安全验证|淘宝返回了空白页).* http://refuse-$kind-1\.taobao\.com/" "$work/stderr" ||
        fail "$kind at page 1: stderr: $(cat "$work/stderr")"
done
# A page the crawl cannot read, whatever it holds, leaves the listing incomplete.
for kind in empty busy newlayout; do
    run "$kind at page 2" 4 --route "$route" shop "refuse-$kind-2.taobao.com"
    expect_items "$kind at page 2" 20
    grep -Eq "^shop：第2页：(淘宝返回了空白页|淘宝的服务器出错|页面内容无法识别).* http://refuse-$kind-2\.taobao\.com/" "$work/stderr" ||
        fail "$kind at page 2: stderr: $(cat "$work/stderr")"
    expect_status "$kind at page 2" "共查到20个宝贝（第2页没有读到，列表不完整）"
done

# --pause waits between pages, give or take 30%: three pages, two pauses of 0.4 s.
start=$(date +%s%N)
run "pause" 0 --demo --pause 0.4 shop demoshop1.taobao.com
elapsed=$((($(date +%s%N) - start) / 1000000))
expect_items "pause" 25
[ "$elapsed" -ge 560 ] || fail "pause: three pages took ${elapsed} ms"

run "missing address" 2 shop
[ ! -s "$work/out" ] || fail "missing address: stdout not empty"
run "two addresses" 2 shop a.taobao.com b.taobao.com

finish shop_demo
