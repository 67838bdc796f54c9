#!/usr/bin/env bash
# tarvisk-cli rank against the in-process demo marketplace: the table as tab-separated lines, the
# found or not-found line, --item / --shop / --pages, the exit status and usage errors.
# Usage: rank_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

header=$'No.\t宝贝名\t位置\tid\t图片\t销售量'

# expect_table NAME ROWS LAST-LINE: header, ROWS numbered rows of six cells, then LAST-LINE (none
# when LAST-LINE is empty: the walk could not give an answer).
expect_table() {
    local name="$1" rows="$2" last="$3" lines=$(($2 + 2)) rows_only='1d;$d'
    if [ -z "$last" ]; then
        lines=$((rows + 1))
        rows_only='1d'
    fi
    [ "$(head -n 1 "$work/out")" = "$header" ] || fail "$name: header is $(head -n 1 "$work/out")"
    [ "$(grep -c '' "$work/out")" -eq "$lines" ] || fail "$name: $(grep -c '' "$work/out") lines, expected $lines"
    [ -z "$last" ] || [ "$(tail -n 1 "$work/out")" = "$last" ] ||
        fail "$name: last line is '$(tail -n 1 "$work/out")', expected '$last'"
    # Every row: its number, a title, a position, an id, a picture address and digits (the pattern
    # spells the id's 10 to 12 digits out, as not every awk knows intervals).
    local bad
    bad=$(sed "$rows_only" "$work/out" | awk -F'\t' '
        NF != 6 || $1 != NR || $3 !~ /^[0-9]+页 [0-9]+行 第[1-4]$/ || $4 !~ /^[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]?[0-9]?$/ ||
        $5 !~ /^http:\/\/pics\.taobaocdn\.com\/bao\/uploaded\/i[1-4]\/[0-9]+\.jpg$/ || $6 !~ /^[0-9]+$/ { print NR": "$0 }' |
        head -n 3)
    [ -z "$bad" ] || fail "$name: malformed rows: $bad"
}

# row N: row N of the table (line N + 1).
row() { sed -n "$(($1 + 1))p" "$work/out"; }

run "one item on page 2" 0 --demo rank 软件开发 --item 42054041382
expect_table "one item on page 2" 51 "已找到 2页 2行 第3"
row 51 | grep -Eq $'^51\t演示店铺一 包邮 第1款\t2页 2行 第3\t42054041382\thttp://pics\\.taobaocdn\\.com/bao/uploaded/i[1-4]/42054041382\\.jpg\t[0-9]+$' ||
    fail "row 51 is $(row 51)"
[ "$(row 45 | cut -f3)" = "2页 1行 第1" ] || fail "row 45 is $(row 45)"
[ "$(row 44 | cut -f3)" = "1页 11行 第4" ] || fail "row 44 is $(row 44)"
[ ! -s "$work/stderr" ] || fail "stderr not empty off a terminal: $(cat "$work/stderr")"

# A pasted keyword with blanks around it is the same keyword.
run "a keyword with blanks around it" 0 --demo rank " 软件开发　" --item 42054041382
expect_table "a keyword with blanks around it" 51 "已找到 2页 2行 第3"

run "a pasted item address" 0 --demo rank 软件开发 --item 'http://item.taobao.com/item.htm?spm=a1z10.3&id=42054041382'
expect_table "a pasted item address" 51 "已找到 2页 2行 第3"
# The address's id= wins over the numbers after it.
run "an item address with a sku" 0 --demo rank 软件开发 --item 'https://detail.tmall.com/item.htm?id=42054041382&skuId=4987654321'
expect_table "an item address with a sku" 51 "已找到 2页 2行 第3"

run "target past the pages walked" 0 --demo rank 软件开发 --item 42054041382 --pages 1
expect_table "target past the pages walked" 44 "未找到"

run "pages below one" 0 --demo rank 软件开发 --item 42054041382 --pages 0
expect_table "pages below one" 44 "未找到"
run "pages not a number" 0 --demo rank 软件开发 --item 42054041382 --pages abc
expect_table "pages not a number" 44 "未找到"
run "fraction of a page" 0 --demo rank 冷门宝贝 --item 42054041382 --pages 2.5
expect_table "fraction of a page" 50 "未找到"
# Page 3 of 冷门宝贝 is a search page without results: read, and it lists nothing.
run "a page past the results" 0 --demo rank 冷门宝贝 --item 42054041382 --pages 3
expect_table "a page past the results" 50 "未找到"

run "first item of a shop" 0 --demo rank 连衣裙 --shop demoshop2.taobao.com
expect_table "first item of a shop" 10 "已找到 1页 3行 第2"
[ "$(row 10 | cut -f4)" = "43100000021" ] || fail "shop item row is $(row 10)"
[ "$(tail -n 1 "$work/stderr")" = "共查到109个宝贝（第1页另有20个未列出，每页只列前100个）" ] ||
    fail "shop crawl status: $(cat "$work/stderr")"

# A shop listing without items, or one that ended at a page it could not read, is not walked: exit 4, the shop page
# named on stderr.
run "shop without items" 4 --demo rank 冷门宝贝 --shop nosuchshop.taobao.com --pages 2
[ ! -s "$work/out" ] || fail "shop without items: walked: $(head -n 3 "$work/out")"
[ "$(tail -n 1 "$work/stderr")" = "rank: 店铺页面 http://nosuchshop.taobao.com/search.htm?v=1&pageNo=1 没有列出任何宝贝，没有查询排名。请检查店铺地址。" ] ||
    fail "shop without items: stderr: $(cat "$work/stderr")"

# On a terminal, stderr shows "page i/n" as the walk goes.
if command -v script >/dev/null; then
    progress=$(script -qec "'$cli' --demo rank 软件开发 --item 1234567890 --pages 2 >/dev/null" /dev/null | tr '\r' '\n')
    printf '%s\n' "$progress" | grep -q '^第1/2页' || fail "no progress on a terminal: $progress"
    printf '%s\n' "$progress" | grep -q '^第2/2页' || fail "no progress for page 2 on a terminal: $progress"
fi

# A verification page ends the walk: the rows before it, no final line, the page on stderr, exit 4.
run "verification at page 3" 4 --demo rank 限流宝贝 --item 42054041382
expect_table "verification at page 3" 88 ""
grep -Fxq 'rank：第3页：淘宝要求安全验证（滑块或访问受限） http://s.taobao.com//search/_____tmd_____/punish?x5secdata=demo&x5step=1' "$work/stderr" ||
    fail "verification at page 3: stderr: $(cat "$work/stderr")"
# Passing the slider in the login browser does not help the program's own requests: the message names what does.
[ "$(tail -n 1 "$work/stderr")" = "排名查询在第3页停止：淘宝要求安全验证（滑块或访问受限），没有找到目标宝贝。之前各页的宝贝已列出。程序自己的请求通不过验证：请改用 tarvisk --no-window（通过浏览器读取页面），或用更长的 --pause 放慢速度后再查询。" ] ||
    fail "verification at page 3: message: $(tail -n 1 "$work/stderr")"
run "found before the verification" 0 --demo rank 限流宝贝 --item "$(sed -n 3p "$work/out" | cut -f4)"
expect_table "found before the verification" 2 "已找到 1页 1行 第2"

# Sales written as current pages do ("2.3万+人付款") are listed as their count.
run "sales in 万" 0 --demo rank 热销爆款 --item 42054041382 --pages 1
expect_table "sales in 万" 44 "未找到"
cut -f6 "$work/out" | sed '1d;$d' | grep -Eq '^[1-5][0-9]000$' || fail "sales in 万: no count of ten thousand or more"

run "incomplete shop list" 4 --demo rank 软件开发 --shop loginshop.taobao.com --pages 1
[ ! -s "$work/out" ] || fail "incomplete shop list: walked: $(head -n 3 "$work/out")"
grep -q '^shop：第2页：淘宝要求登录 https://login\.taobao\.com/member/login\.jhtml?redirectURL=' "$work/stderr" ||
    fail "incomplete shop list: stderr: $(cat "$work/stderr")"
tail -n 1 "$work/stderr" | grep -q '^rank: 店铺宝贝列表不完整（第2页没有读到：https://login\.taobao\.com/.*），没有查询排名' ||
    fail "incomplete shop list: last line: $(tail -n 1 "$work/stderr")"

# Empty pages are unread: the walk goes on, and does not call its target not found.
start_demo_server --test-pages
run "empty page 2" 4 --route "$route" rank refuse-empty-2 --item 42054041382 --pages 3
expect_table "empty page 2" 88 ""
[ "$(row 45 | cut -f3)" = "3页 1行 第1" ] || fail "empty page 2: row 45 is $(row 45)"
grep -q '^rank：第2页：淘宝返回了空白页 http://s\.taobao\.com/search?initiative_id=' "$work/stderr" ||
    fail "empty page 2: stderr: $(cat "$work/stderr")"
run "empty page 1" 4 --route "$route" rank refuse-empty-1 --item 42054041382 --pages 2
expect_table "empty page 1" 44 ""
run "found after an empty page" 0 --route "$route" rank refuse-empty-1 --item "$(row 5 | cut -f4)" --pages 3
expect_table "found after an empty page" 5 "已找到 2页 2行 第1"
# An error page ("系统繁忙", 503) or a page of another layout is unread too: incomplete, never 未找到, and so stored.
history_home="$work/unread-history"
for kind in busy newlayout; do
    run "$kind at page 2" 4 --route "$route" rank "refuse-$kind-2" --item 42054041382 --pages 3
    expect_table "$kind at page 2" 88 ""
    grep -Eq "^rank：第2页：(淘宝的服务器出错|页面内容无法识别).* http://s\.taobao\.com/search\?" "$work/stderr" ||
        fail "$kind at page 2: stderr: $(cat "$work/stderr")"
    run "$kind at page 2 in the history" 0 history rank "refuse-$kind-2"
    grep -q '"outcome":"incomplete".*"unread_pages":\[{"page":2,' "$work/out" ||
        fail "$kind at page 2: stored as: $(cat "$work/out")"
done
history_home=""
run "login at page 1" 4 --route "$route" rank refuse-login-1 --item 42054041382
expect_table "login at page 1" 0 ""
grep -q '^rank：第1页：淘宝要求登录 https://login\.taobao\.com/member/login\.jhtml?redirectURL=' "$work/stderr" ||
    fail "login at page 1: stderr: $(cat "$work/stderr")"

# --pause waits between pages, give or take 30%.
start=$(date +%s%N)
run "pause" 0 --demo --pause 0.5 rank 冷门宝贝 --item 42054041382 --pages 2
elapsed=$((($(date +%s%N) - start) / 1000000))
expect_table "pause" 50 "未找到"
[ "$elapsed" -ge 350 ] || fail "pause: two pages took ${elapsed} ms"

run "no target" 2 rank 软件开发
run "two targets" 2 rank 软件开发 --item 42054041382 --shop demoshop1.taobao.com
run "item without an id" 2 rank 软件开发 --item 12345678
grep -q -- "--item" "$work/stderr" || fail "item without an id: stderr does not name --item: $(cat "$work/stderr")"
# Today's pages fetch their results with their own scripts: a direct request reads no result, and the walk and the
# crawl say so (exit 4), never 未找到 or an empty list.
for args in "rank 今日好物 --item 46500000076 --pages 3" "rank 今日好物 --shop todayshop.taobao.com" \
    "shop todayshop.taobao.com"; do
    # shellcheck disable=SC2086
    run "$args, direct" 4 --demo $args
    ! grep -q "^未找到$\|^共查到0个宝贝$" "$work/out" "$work/stderr" || fail "$args, direct: an answer: $out"
    grep -q "只有通过浏览器才能读到.*请改用 tarvisk --no-window" "$work/stderr" ||
        fail "$args, direct: stderr: $(cat "$work/stderr")"
    # Every later page would be the same: the run ends at the first.
    ! grep -q "第2页" "$work/stderr" || fail "$args, direct: went on past page 1: $(cat "$work/stderr")"
done

run "no keyword" 2 rank --item 42054041382
run "an empty keyword" 2 rank "" --item 42054041382
grep -q "关键字不能为空" "$work/stderr" || fail "an empty keyword: stderr: $(cat "$work/stderr")"
run "a keyword of blanks" 2 rank "  " --item 42054041382
[ ! -s "$work/out" ] || fail "usage error printed on stdout"

finish rank_demo
