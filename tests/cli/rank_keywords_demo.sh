#!/usr/bin/env bash
# tarvisk-cli rank --keywords-file and history rank against the in-process demo marketplace: one line per
# keyword with the previous outcome, the ranking history newest first as JSON lines and CSV, an unread page
# (exit 4, the keywords after it not walked), demo runs kept apart from the user's own history, usage errors.
# Usage: rank_keywords_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"
history_home="$work/home"

# Blank lines, spaces and repeats are dropped; a byte-order mark and CR LF line ends are taken.
printf '\xEF\xBB\xBF软件开发\r\n\r\n  连衣裙 \r\n软件开发\r\n冷门宝贝\r\n' >"$work/keywords"

run "first run" 0 --demo rank --keywords-file "$work/keywords" --item 42054041382 --pages 2
expect_lines "first run" 3
expect_line "first run" 1 $'软件开发\t2页 2行 第3 \\(#51\\)\t无记录'
expect_line "first run" 2 $'连衣裙\t未找到\t无记录'
expect_line "first run" 3 $'冷门宝贝\t未找到\t无记录'

run "second run" 0 --demo rank --keywords-file "$work/keywords" --item 42054041382 --pages 1 --csv "$work/runs.csv"
expect_lines "second run" 3
expect_line "second run" 1 $'软件开发\t未找到\t2页 2行 第3 \\(#51\\)'
expect_line "second run" 3 $'冷门宝贝\t未找到\t未找到'
[ "$(head -c 3 "$work/runs.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "runs.csv: no byte-order mark"
[ "$(grep -c '' "$work/runs.csv")" -eq 4 ] || fail "runs.csv: $(cat "$work/runs.csv")"
tail -c +4 "$work/runs.csv" | grep -q '^查询时间,关键字,目标类型,目标,结果,页,行,列,名次,宝贝ID,宝贝标题,要查页数,已查页数,未读页' ||
    fail "runs.csv header: $(head -n 1 "$work/runs.csv")"

# The history of one keyword and target, newest first.
iso='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}'
run "history rank" 0 --demo history rank 软件开发 --item 42054041382 --csv "$work/history.csv"
expect_lines "history rank" 2
expect_line "history rank" 1 "\{\"ran_at\":\"$iso\",\"keyword\":\"软件开发\",\"item\":\"42054041382\",\"outcome\":\"not_found\",\"text\":\"未找到\",\"position_kind\":\"grid\",\"pages_asked\":1,\"pages_walked\":1,\"unread_pages\":\[\]\}"
expect_line "history rank" 2 "\{\"ran_at\":\"$iso\",\"keyword\":\"软件开发\",\"item\":\"42054041382\",\"outcome\":\"found\",\"text\":\"2页 2行 第3 \(#51\)\",\"position_kind\":\"grid\",\"page\":2,\"row\":2,\"column\":3,\"number\":51,\"item_id\":\"42054041382\",\"item_title\":\"[^\"]+\",\"pages_asked\":2,\"pages_walked\":2,\"unread_pages\":\[\]\}"
[ "$(grep -c '' "$work/history.csv")" -eq 3 ] || fail "history.csv: $(cat "$work/history.csv")"
run "history of every keyword" 0 --demo history rank --limit 4
expect_lines "history of every keyword" 4
run "history of another item" 0 --demo history rank 软件开发 --item 42054041383
expect_lines "history of another item" 0
# The demo's runs never mix with the user's own history.
run "user's own history" 0 history rank
expect_lines "user's own history" 0

# A shop's items: the first of them found counts.
printf '连衣裙\n' >"$work/dress"
run "shop" 0 --demo rank --keywords-file "$work/dress" --shop demoshop2.taobao.com
expect_lines "shop" 1
expect_line "shop" 1 $'连衣裙\t1页 3行 第2 \\(#10\\)\t无记录'
run "shop history" 0 --demo history rank --shop http://DemoShop2.taobao.com/
expect_line "shop history" 1 '\{"ran_at":"[^"]+","keyword":"连衣裙","shop":"demoshop2\.taobao\.com","outcome":"found",.*'

# A shop whose listing ended at a page it could not read is not walked at all.
run "shop listing incomplete" 4 --demo rank --keywords-file "$work/dress" --shop loginshop.taobao.com
expect_lines "shop listing incomplete" 0
grep -q '^rank: 店铺宝贝列表不完整' "$work/stderr" || fail "shop listing incomplete: $(cat "$work/stderr")"

# A verification page ends the run: its keyword has no answer, the keywords after it are not walked.
printf '限流宝贝\n软件开发\n' >"$work/throttled"
run "unread page" 4 --demo rank --keywords-file "$work/throttled" --item 42054041382 --pages 5
expect_lines "unread page" 2
expect_line "unread page" 1 $'限流宝贝\t结果不完整\t无记录'
expect_line "unread page" 2 $'软件开发\t未查询\t未找到'
grep -q '^rank：限流宝贝：第3页：' "$work/stderr" || fail "unread page: stderr names no page: $(cat "$work/stderr")"
run "incomplete run kept" 0 --demo history rank 限流宝贝
expect_line "incomplete run kept" 1 '.*"outcome":"incomplete","text":"结果不完整",.*"unread_pages":\[\{"page":3,"reason":"verification",.*'

# A keyword from the file reaches the terminal cleaned, in its unread-page line as everywhere.
printf 'refuse-empty-1.\e]52;c;ZXZpbA==\a\e[2J\xc2\x9b\n' >"$work/hostile"
start_demo_server --test-pages
run "hostile keyword" 4 --route "$route" rank --keywords-file "$work/hostile" --item 42054041382 --pages 1
grep -q '^rank：refuse-empty-1.*：第1页：淘宝返回了空白页' "$work/stderr" || fail "hostile keyword: $(cat -v "$work/stderr")"
grep -q $'[\x1b\x07]\|\xc2\x9b' "$work/stderr" "$work/out" && fail "hostile keyword printed raw: $(cat -v "$work/stderr")"

# Usage errors.
printf '\n  \n' >"$work/blank"
head -c 70000 /dev/zero | tr '\0' 'x' >"$work/long"
run "missing file" 2 --demo rank --keywords-file "$work/none" --item 42054041382
grep -q "无法读取关键字文件" "$work/stderr" || fail "missing file: $(cat "$work/stderr")"
run "no keyword in the file" 2 --demo rank --keywords-file "$work/blank" --item 42054041382
run "line too long" 2 --demo rank --keywords-file "$work/long" --item 42054041382
grep -q "关键字文件 .* 的第1行超过" "$work/stderr" || fail "line too long: $(cat "$work/stderr")"
run "keyword and file" 2 --demo rank 软件开发 --keywords-file "$work/keywords" --item 42054041382
run "neither keyword nor file" 2 --demo rank --item 42054041382
run "history with both targets" 2 history rank a --item 42054041382 --shop demoshop1.taobao.com
run "history with a bad item" 2 history rank a --item abc

finish "$(basename "$0" .sh)"
