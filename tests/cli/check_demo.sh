#!/usr/bin/env bash
# tarvisk-cli check against the in-process demo marketplace: the JSON lines, the HTML report, the
# account file, --date, the stops and their exit status. Usage: check_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

id='[A-Za-z0-9]{32}'
date_re='[0-9]{4}年[0-9]{2}月[0-9]{2}日'

run "report json" 0 --demo check 老实买家 皇冠旗舰店
expect_lines "report json" 2
expect_line "old quiet buyer" 1 "\{\"account\":\"老实买家\",\"registration_date\":\"$date_re\",\"days_since_registration\":2250,\"new_account\":false,\"user_id\":\"$id\",\"rating_link\":\"http://rate\.taobao\.com/user-rate-$id\.htm\",\"good_rate\":\"99\.65\",\"certification\":\"personal\",\"role\":\"buyer\",\"seller_credit\":0,\"buyer_credit\":286,\"week\":\{\"good\":1,\"neutral\":0,\"bad\":0\},\"month\":\{\"good\":6,\"neutral\":1,\"bad\":0\},\"verdict\":\"安全\"\}"
expect_line "top seller" 2 "\{\"account\":\"皇冠旗舰店\",.*\"certification\":\"enterprise\",\"role\":\"seller\",\"seller_credit\":1286400,\"buyer_credit\":56,\"week\":\{\"good\":320,\"neutral\":6,\"bad\":2\},\"month\":\{\"good\":1350,\"neutral\":21,\"bad\":5\},\"verdict\":\"安全\"\}"

run "unsafe buyers" 0 --demo check 小白新号 刷单小号 月度大户 "  卡线买家  "
expect_lines "unsafe buyers" 4
expect_line "new account" 1 "\{\"account\":\"小白新号\",.*\"days_since_registration\":12,\"new_account\":true,.*\"good_rate\":\"\",\"certification\":\"none\",.*\"verdict\":\"不安全\"\}"
expect_line "busy week" 2 "\{\"account\":\"刷单小号\",.*\"week\":\{\"good\":7,.*\"verdict\":\"不安全\"\}"
expect_line "busy month" 3 "\{\"account\":\"月度大户\",.*\"month\":\{\"good\":22,.*\"verdict\":\"不安全\"\}"
expect_line "boundary buyer, trimmed" 4 "\{\"account\":\"卡线买家\",.*\"days_since_registration\":31,.*\"verdict\":\"安全\"\}"

run "stops" 3 --demo check 被封账号 老实买家 盘点中的店 资料残缺 " "
expect_lines "stops" 5
expect_line "banned" 1 '\{"account":"被封账号","message":"对不起，亲输入的淘宝账号已被查封","title":"提示信息"\}'
expect_line "report between stops" 2 '\{"account":"老实买家",.*"verdict":"安全"\}'
expect_line "audit" 3 '\{"account":"盘点中的店","message":"对不起，亲输入的淘宝账号不存在或正被盘点","title":"信息校验出错"\}'
expect_line "no date" 4 '\{"account":"资料残缺","message":"[^"]+","title":""\}'
expect_line "empty" 5 '\{"account":"","message":"亲输入的淘宝账号不能为空","title":""\}'

# --html writes one whole document: charset declared, the reports one after another, the program's own badges
# carried inside it, so that the file shows the same wherever it is opened.
run "html" 0 --demo check --html 小本卖家 皇冠旗舰店
expect_line "html doctype" 1 '<!DOCTYPE html>'
printf '%s' "$out" | grep -Fq '<meta charset="utf-8">' || fail "html: no charset: $out"
[ "$(printf '%s\n' "$out" | tail -n 1)" = "</html>" ] || fail "html: not closed: $(printf '%s\n' "$out" | tail -n 1)"
printf '%s' "$out" | grep -Fq "<div><h3 style='color:#df4040;font-size:20px;'>小本卖家</h3></div>" || fail "html: no heading: $out"
printf '%s' "$out" | grep -Fq "卖家信用：<span style='color:#36c'>8600</span> <img align=\"absmiddle\" src='http://pics.taobaocdn.com/newrank/s_blue_1.gif' />" ||
    fail "html: no seller badges: $out"
printf '%s' "$out" | grep -Fq "src='data:image/png;base64,iVBORw0KGgo" || fail "html: the top badge is not carried: $out"
printf '%s' "$out" | grep -Fq "tbimgs/" && fail "html: a badge points at the program's folder"
printf '%s' "$out" | grep -Fq '"verdict"' && fail "html: JSON printed"

run "html stop" 3 --demo check --html 被封账号
printf '%s' "$out" | grep -Fq '<p>被封账号：对不起，亲输入的淘宝账号已被查封</p>' || fail "html stop: $out"

# The account's age follows --date: 18 days from now the 12-day-old account is 30 days old.
run "date 30" 0 --demo check --date "$(date -d '+18 days' +%F)" 小白新号
expect_line "date 30" 1 '\{"account":"小白新号",.*"days_since_registration":30,"new_account":true,.*"verdict":"不安全"\}'
run "date 31" 0 --demo check --date "$(date -d '+19 days' +%F)" 小白新号
expect_line "date 31" 1 '\{"account":"小白新号",.*"days_since_registration":31,"new_account":false,.*"verdict":"安全"\}'

# Accounts from a file come after the named ones: BOM, CR LF and blank lines are handled.
printf '\xEF\xBB\xBF老实买家\r\n\r\n   \r\n刷单小号\r\n\n' >"$work/accounts.txt"
run "file" 0 --demo check 小本卖家 --file "$work/accounts.txt"
expect_lines "file" 3
expect_line "file 1" 1 '\{"account":"小本卖家",.*\}'
expect_line "file 2" 2 '\{"account":"老实买家",.*\}'
expect_line "file 3" 3 '\{"account":"刷单小号",.*\}'

# A cookies file that does not hold the login leaves the demo login working.
printf '# Netscape HTTP Cookie File\n.example.com\tTRUE\t/\tFALSE\t0\tother\tvalue\n' >"$work/cookies.txt"
run "cookies" 0 --cookies "$work/cookies.txt" --demo check demo_buyer
expect_line "cookies" 1 '\{"account":"demo_buyer",.*"verdict":"安全"\}'

# Pages that could not be read: one line each naming the page and the reason, exit 4, also when another account
# stopped (3) or got its report. A login or verification page ends the run, as the batch window does: the accounts
# after it are not checked (未查询), and stderr says why and what to do.
run "unread pages" 4 --demo check 评价空白 评价改版 资料要登录 老实买家 刷单小号
expect_lines "unread pages" 5
expect_line "rating empty" 1 '\{"account":"评价空白","message":"对不起，无法读取信用评价页：淘宝返回了空白页。[^"]+","page":"rating","reason":"empty"\}'
expect_line "rating new layout" 2 '\{"account":"评价改版","message":"[^"]+","page":"rating","reason":"unrecognised"\}'
expect_line "profile login" 3 '\{"account":"资料要登录","message":"对不起，无法读取会员资料页：淘宝要求登录。本次查询没有结论。请先登录淘宝，再重新查询。","page":"profile","reason":"login"\}'
expect_line "not checked 1" 4 '\{"account":"老实买家","message":"未查询"\}'
expect_line "not checked 2" 5 '\{"account":"刷单小号","message":"未查询"\}'
grep -q "后面的2个账号未查询。请先登录淘宝" "$work/stderr" || fail "unread pages: stderr is $(cat "$work/stderr")"
for blocked in 资料要验证:profile:verification 评价要登录:rating:login 评价要验证:rating:verification; do
    IFS=: read -r account page reason <<<"$blocked"
    run "$account" 4 --demo check "$account" 老实买家 --csv "$work/blocked.csv"
    expect_line "$account" 1 "\\{\"account\":\"$account\",\"message\":\"[^\"]+\",\"page\":\"$page\",\"reason\":\"$reason\"\\}"
    expect_line "$account: next not checked" 2 '\{"account":"老实买家","message":"未查询"\}'
    grep -q "^,老实买家,.*,未查询"$'\r''$' "$work/blocked.csv" || fail "$account: csv: $(cat "$work/blocked.csv")"
done
run "unread before stopped" 4 --demo check 被封账号 评价空白 老实买家
expect_line "unread before stopped 1" 1 '\{"account":"被封账号",.*"title":"提示信息"\}'
expect_line "unread before stopped 2" 2 '\{"account":"评价空白",.*"reason":"empty"\}'
expect_line "unread before stopped 3" 3 '\{"account":"老实买家",.*"verdict":"安全"\}'
run "html unread" 4 --demo check --html 评价改版
printf '%s' "$out" | grep -q '^<p>评价改版：.*</p>$' || fail "html unread: $out"

# --pause waits between accounts, give or take 30%: two pauses of 0.5 s take at least 0.7 s.
start=$(date +%s%N)
run "pause" 0 --demo --pause 0.5 check 老实买家 demo_buyer 卡线买家
elapsed=$((($(date +%s%N) - start) / 1000000))
expect_lines "pause" 3
[ "$elapsed" -ge 700 ] || fail "pause: three accounts took ${elapsed} ms"

# Without a login the marketplace sends empty profiles: a separate demo server, reached by --route.
start_demo_server
run "not logged in" 3 --route "$route" check 老实买家
expect_line "not logged in" 1 '\{"account":"老实买家","message":"对不起，由于官方限制，亲需要成功登录任意一个淘宝账号（建议用小号）\\r\\n\\r\\n如果一直本提示 代码亲查询的账号不是一个纯买家账号，代表安全呢","title":""\}'

finish check_demo
