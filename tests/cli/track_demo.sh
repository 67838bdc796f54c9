#!/usr/bin/env bash
# tarvisk-cli track against the in-process demo marketplace: the tracked keywords, each walked for its own target
# with the window's pages and pause as its settings file keeps them, printed and kept as rank --keywords-file does;
# keywords tracked before keywords had targets take the window's target once; a slider page does not end the run
# until two come in a row; track add / remove / list; what is missing is named (exit 2).
# Usage: track_demo.sh PATH-TO-TARVISK-CLI PATH-TO-HISTORY-WRITER
set -u
source "$(dirname "$0")/cli_lib.bash"
# The settings file is the one beside the program, as for the window: a copy of the program has a folder of its own.
mkdir -p "$work/bin"
cp "$1" "$work/bin/tarvisk-cli"
cli="$work/bin/tarvisk-cli"
writer="$2"

# settings KEY=VALUE...: the ranking window's settings file (in the code page the window writes).
settings() {
    printf '[配置]\r\n%s\r\n' "$@" | iconv -f UTF-8 -t GBK >"$work/bin/Setting.ini"
}

settings 'op=1' 'Goods=42054041382' 'Pages=2'
run "no keywords" 2 --demo --data-dir "$work/d" track
grep -q '^track：还没有要跟踪的关键字' "$work/stderr" || fail "no keywords: $(cat "$work/stderr")"

"$writer" "$work/d/history.sqlite3" --track 软件开发 连衣裙 || fail "history writer"
run "item" 0 --demo --data-dir "$work/d" track
expect_lines "item" 2
expect_line "item" 1 $'软件开发\t2页 2行 第3 \\(#51\\)\t无记录'
expect_line "item" 2 $'连衣裙\t未找到\t无记录'
# Kept in the history: the next run names it as the previous outcome, with the window's page count changed.
settings 'op=1' 'Goods=42054041382' 'Pages=1'
run "fewer pages" 0 --demo --data-dir "$work/d" track
expect_line "fewer pages" 1 $'软件开发\t未找到\t2页 2行 第3 \\(#51\\)'

# The keywords keep the item they took, whatever the window names next; a keyword of the shop is tracked for it.
settings 'op=2' 'SURL=demoshop2.taobao.com' 'Pages=3'
run "add" 0 --demo --data-dir "$work/d" track add 连衣裙 --shop demoshop2.taobao.com --alert-drop 2
expect_line "add" 1 '^已加入跟踪：连衣裙（店铺 demoshop2.taobao.com），提醒：下降2位以上、跌出、读不到$'
run "two targets" 0 --demo --data-dir "$work/d" track
expect_lines "two targets" 3
expect_line "two targets" 1 $'软件开发\t2页 2行 第3 \\(#51\\)\t未找到'
expect_line "two targets" 3 $'连衣裙\t1页 3行 第2 \\(#10\\)\t无记录'
run "list" 0 --demo --data-dir "$work/d" track list
expect_line "list" 1 '^{"keyword":"软件开发","item":"42054041382","name":"宝贝 42054041382 演示店铺一 .*","alert_drop":5,"alert_fell_out":true,"alert_unread":true}$'
expect_line "list" 3 '^{"keyword":"连衣裙","shop":"demoshop2.taobao.com","name":"店铺 demoshop2.taobao.com","alert_drop":2,"alert_fell_out":true,"alert_unread":true}$'
run "remove" 0 --demo --data-dir "$work/d" track remove 连衣裙 --shop demoshop2.taobao.com
run "list after remove" 0 --demo --data-dir "$work/d" track list
expect_lines "list after remove" 2

# A slider page leaves its keyword incomplete and the run goes on, with an alert and what to do; two in a row end it.
"$writer" "$work/d/history.sqlite3" --track 软件开发 限流宝贝 || fail "history writer"
settings 'op=1' 'Goods=42054041382' 'Pages=5'
"$cli" --demo --data-dir "$work/d" track add 限流宝贝 --item 43100000001 >/dev/null || fail "add 2"
"$cli" --demo --data-dir "$work/d" track add 软件开发 --item 43100000001 >/dev/null || fail "add 3"
run "unread pages" 4 --demo --data-dir "$work/d" track --blocked-wait 0
expect_lines "unread pages" 6
expect_line "unread pages" 1 $'软件开发\t2页 2行 第3 \\(#51\\)\t2页 2行 第3 \\(#51\\)'
expect_line "unread pages" 2 $'限流宝贝\t结果不完整\t无记录'
expect_line "unread pages" 3 $'限流宝贝\t结果不完整\t无记录'
expect_line "unread pages" 4 $'软件开发\t未查询\t无记录'
expect_line "unread pages" 5 $'提醒\t限流宝贝\t没有读完：淘宝要求安全验证（滑块或访问受限）'
expect_line "unread pages" 6 $'提醒\t限流宝贝\t没有读完：淘宝要求安全验证（滑块或访问受限）'
grep -q '^track：限流宝贝：第3页：' "$work/stderr" || fail "unread pages: $(cat "$work/stderr")"
grep -q '重新查询未完成的' "$work/stderr" || fail "unread pages, what to do: $(cat "$work/stderr")"

# Keywords tracked before keywords had targets wait for the window's target.
"$writer" "$work/d/history.sqlite3" --track 连衣裙 || fail "history writer"
settings 'op=1' 'Pages=2'
run "no item" 2 --demo --data-dir "$work/d" track
grep -q '^track：这些关键字还没有查询目标，没有查询：连衣裙' "$work/stderr" || fail "no item: $(cat "$work/stderr")"
run "bad target" 2 --demo --data-dir "$work/d" track add 连衣裙 --item 12
finish "$(basename "$0" .sh)"
