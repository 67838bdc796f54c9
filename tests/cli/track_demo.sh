#!/usr/bin/env bash
# tarvisk-cli track against the in-process demo marketplace: the keywords the ranking window tracks, walked with the
# window's target, pages and pause as its settings file keeps them, printed and kept as rank --keywords-file does;
# what is missing is named (exit 2).
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

settings 'op=2' 'SURL=demoshop2.taobao.com' 'Pages=3'
run "shop" 0 --demo --data-dir "$work/d" track
expect_line "shop" 2 $'连衣裙\t1页 3行 第2 \\(#10\\)\t无记录'

# A verification page ends the run, as it ends rank --keywords-file's, and raises an alert after the keyword lines.
"$writer" "$work/d/history.sqlite3" --track 限流宝贝 软件开发 || fail "history writer"
settings 'op=1' 'Goods=42054041382' 'Pages=5'
run "unread page" 4 --demo --data-dir "$work/d" track --alert-drop 5
expect_line "unread page" 2 $'软件开发\t未查询\t未找到'
expect_line "unread page" 3 $'提醒\t限流宝贝\t没有读完：淘宝要求安全验证（滑块或访问受限）'
grep -q '^track：限流宝贝：第3页：' "$work/stderr" || fail "unread page: $(cat "$work/stderr")"

settings 'op=1' 'Pages=2'
run "no item" 2 --demo --data-dir "$work/d" track
grep -q '^track：还没有设置要查的宝贝' "$work/stderr" || fail "no item: $(cat "$work/stderr")"
settings 'op=2' 'Goods=42054041382'
run "no shop" 2 --demo --data-dir "$work/d" track
grep -q '^track：还没有设置要查的店铺' "$work/stderr" || fail "no shop: $(cat "$work/stderr")"

finish "$(basename "$0" .sh)"
