#!/usr/bin/env bash
# tarvisk-cli list: adding, moving, removing and showing buyers, importing and exporting the lists as
# CSV (bad rows named by line, the good ones kept), usage errors. Usage: list_cli.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"
history_home="$work/home"

expect_out() {
    [ "$out" = "$2" ] || fail "$1: stdout is
$out
expected
$2"
}

crlf() { printf '%s\r\n' "$@"; }

run "empty" 0 list show
expect_out "empty" "$(crlf '账号,名单,备注')"

run "add" 0 list add block 刷单小号 --note '拍下不付款，多次"恶意"差评'
run "add allow" 0 list add ALLOW "  老实买家  "
run "add with line break" 0 list add 黑名单 '=差评师' --note $'第一行\n第二行'
run "show" 0 list show
expected="账号,名单,备注"$'\r\n'"'=差评师,黑名单,\"第一行"$'\n'"第二行\""$'\r\n'"刷单小号,黑名单,\"拍下不付款，多次\"\"恶意\"\"差评\""$'\r\n'"老实买家,白名单,"$'\r'
[ "$out" = "$expected" ] || fail "show: stdout is $out"
run "show allow" 0 list show allow
expect_out "show allow" "$(crlf '账号,名单,备注' '老实买家,白名单,')"

# Adding again moves the account and replaces its note.
run "move" 0 list add allow 刷单小号
run "show block" 0 list show block
[ "$(printf '%s' "$out" | grep -c 刷单小号)" -eq 0 ] || fail "move: still on the block list"
run "remove" 0 list remove 刷单小号
run "remove again" 0 list remove 刷单小号
grep -q "不在任何名单中" "$work/stderr" || fail "remove again: stderr is $(cat "$work/stderr")"

# Export, then import into another data folder: the same lists.
run "export" 0 list export "$work/lists.csv"
[ "$(head -c 3 "$work/lists.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "export: no BOM"
run "show before" 0 list show
before="$out"
history_home="$work/second"
run "import export" 0 list import "$work/lists.csv"
grep -q "导入了2个账号，0行没有导入" "$work/stderr" || fail "import export: $(cat "$work/stderr")"
run "show after" 0 list show
[ "$out" = "$before" ] || fail "round trip: $out"

# A file with bad rows: each named with its line (the header is line 1), the good rows imported.
printf '%s\r\n' 'account,list,note' '好买家,allow,回头客' ',block,no account' '某人,grey,' '"两行' '备注",block,x,extra' \
    '坏买家,Block,"引号""内"' >"$work/bad.csv"
run "bad rows" 5 list import "$work/bad.csv"
grep -q "bad.csv 第3行：" "$work/stderr" || fail "bad rows: line 3 not named: $(cat "$work/stderr")"
grep -q "bad.csv 第4行：.*grey" "$work/stderr" || fail "bad rows: line 4 not named: $(cat "$work/stderr")"
grep -q "bad.csv 第5行：" "$work/stderr" || fail "bad rows: line 5 not named: $(cat "$work/stderr")"
grep -q "导入了2个账号，3行没有导入" "$work/stderr" || fail "bad rows: $(cat "$work/stderr")"
run "bad rows imported" 0 list show
printf '%s' "$out" | grep -q '^好买家,白名单,回头客' || fail "bad rows: good row missing: $out"
printf '%s' "$out" | grep -q '^坏买家,黑名单,"引号""内"' || fail "bad rows: good row missing: $out"

# What a spreadsheet on Chinese Windows saves: GBK without BOM, LF line ends.
printf 'account,list,note\n表格买家,block,来自表格\n' | iconv -f UTF-8 -t GBK >"$work/gbk.csv"
run "gbk" 0 list import "$work/gbk.csv"
run "gbk imported" 0 list show block
printf '%s' "$out" | grep -q '^表格买家,黑名单,来自表格' || fail "gbk: $out"

printf 'someone,block,\n' >"$work/headless.csv"
run "no header" 5 list import "$work/headless.csv"
grep -q "第1行：.*账号,名单,备注" "$work/stderr" || fail "no header: $(cat "$work/stderr")"

# Files users already have: without a note column the notes stay; Chinese headers and lists as well as English.
history_home="$work/third"
run "noted" 0 list add block 刷单小号 --note 拍下不付款
printf 'account,list\r\n刷单小号,allow\r\n' >"$work/no-note.csv"
run "no note column" 0 list import "$work/no-note.csv"
grep -q "原有的备注都保留" "$work/stderr" || fail "no note column: $(cat "$work/stderr")"
run "note kept" 0 list show
expect_out "note kept" "$(crlf '账号,名单,备注' '刷单小号,白名单,拍下不付款')"
printf '账号,名单,备注\r\n中文表头,黑名单,来自表格\r\n' >"$work/chinese.csv"
run "chinese header" 0 list import "$work/chinese.csv"
run "chinese imported" 0 list show 黑名单
expect_out "chinese imported" "$(crlf '账号,名单,备注' '中文表头,黑名单,来自表格')"

# Strict reading: a UTF-8 file with one stray byte is UTF-8, and its bad line is named and left out; rows of one
# account that disagree are named and left out; a line over 64 KiB refuses the file.
printf '账号,名单,备注\n甲买家,黑名单,刷单小号\n坏\xff,黑名单,\n乙买家,白名单,\n丙,黑名单,\n丙,白名单,\n' >"$work/strict.csv"
run "stray byte and conflict" 5 list import "$work/strict.csv"
grep -q "strict.csv 第3行：不是有效的UTF-8文字" "$work/stderr" || fail "stray byte: $(cat "$work/stderr")"
grep -q "strict.csv 第5行：.*矛盾" "$work/stderr" || fail "conflict line 5: $(cat "$work/stderr")"
grep -q "strict.csv 第6行：.*矛盾" "$work/stderr" || fail "conflict line 6: $(cat "$work/stderr")"
run "strict imported" 0 list show
printf '%s' "$out" | grep -q '^甲买家,黑名单,刷单小号' || fail "stray byte: decoded as: $out"
printf '%s' "$out" | grep -q '^丙,' && fail "conflicting rows imported: $out"
{ printf '账号,名单,备注\n长备注,黑名单,'; head -c 65536 /dev/zero | tr '\0' x; printf '\n'; } >"$work/long.csv"
run "line over 64 KiB" 2 list import "$work/long.csv"
grep -q "long.csv 第2行：这一行超过65536字节" "$work/stderr" || fail "long line: $(cat "$work/stderr")"

# Texts from files never reach the terminal as control sequences, on stdout or stderr.
run "hostile note" 0 list add block 坏人 --note $'\e]52;c;ZXZpbA==\a\e[2J\xc2\x9b31m'
run "hostile show" 0 list show
printf '%s' "$out" | grep -q $'[\x1b\x07]\|\xc2\x9b' && fail "list show printed control characters: $(printf '%q' "$out")"
printf 'account,list\n某人,\e[2J\xc2\x9b\n' >"$work/hostile.csv"
run "hostile cell" 5 list import "$work/hostile.csv"
grep -q $'[\x1b\x07]\|\xc2\x9b' "$work/stderr" && fail "list import echoed control characters: $(cat -v "$work/stderr")"

# An export never replaces a read-only file; a new one gets the user's umask.
printf 'keep' >"$work/readonly.csv"
chmod 0444 "$work/readonly.csv"
run "read-only export" 1 list export "$work/readonly.csv"
grep -q "只读" "$work/stderr" || fail "read-only export: $(cat "$work/stderr")"
[ "$(cat "$work/readonly.csv")" = keep ] || fail "read-only export: the file was replaced"
for mask in 022 077; do
    rm -f "$work/masked.csv"
    (umask "$mask" && XDG_DATA_HOME="$history_home" "$cli" list export "$work/masked.csv") ||
        fail "umask $mask export failed"
    mode=$(stat -c %a "$work/masked.csv")
    [ "$mode" = "$(printf '%o' $((0666 & ~0$mask)))" ] || fail "umask $mask: export mode $mode"
done

# Usage errors: exit 2, nothing stored.
usage() {
    local name="$1" word="$2"
    shift 2
    run "$name" 2 "$@"
    grep -qi -- "$word" "$work/stderr" || fail "$name: stderr does not mention '$word': $(cat "$work/stderr")"
}
usage "bad list" "黑名单 或 白名单" list add grey someone
usage "empty account" "账号" list add block "   "
usage "control character" "账号" list add block $'a\tb'
usage "note too long" "备注不能超过2000个字" list add block someone --note "$(head -c 2001 /dev/zero | tr '\0' x)"
usage "missing file" "无法读取" list import "$work/missing.csv"
usage "folder as file" "无法读取" list import "$work"
usage "no list subcommand" "缺少命令" list
usage "no history subcommand" "缺少命令" history

run "export unwritable" 1 list export "$work/no/such/x.csv"
grep -q "无法写入" "$work/stderr" || fail "export unwritable: $(cat "$work/stderr")"

finish list_cli
