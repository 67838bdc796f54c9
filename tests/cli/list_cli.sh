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
expect_out "empty" "$(crlf 'account,list,note')"

run "add" 0 list add block 刷单小号 --note '拍下不付款，多次"恶意"差评'
run "add allow" 0 list add ALLOW "  老实买家  "
run "add with line break" 0 list add 黑名单 '=差评师' --note $'第一行\n第二行'
run "show" 0 list show
expected="account,list,note"$'\r\n'"'=差评师,block,\"第一行"$'\n'"第二行\""$'\r\n'"刷单小号,block,\"拍下不付款，多次\"\"恶意\"\"差评\""$'\r\n'"老实买家,allow,"$'\r'
[ "$out" = "$expected" ] || fail "show: stdout is $out"
run "show allow" 0 list show allow
expect_out "show allow" "$(crlf 'account,list,note' '老实买家,allow,')"

# Adding again moves the account and replaces its note.
run "move" 0 list add allow 刷单小号
run "show block" 0 list show block
[ "$(printf '%s' "$out" | grep -c 刷单小号)" -eq 0 ] || fail "move: still on the block list"
run "remove" 0 list remove 刷单小号
run "remove again" 0 list remove 刷单小号
grep -q "is on no list" "$work/stderr" || fail "remove again: stderr is $(cat "$work/stderr")"

# Export, then import into another data folder: the same lists.
run "export" 0 list export "$work/lists.csv"
[ "$(head -c 3 "$work/lists.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "export: no BOM"
run "show before" 0 list show
before="$out"
history_home="$work/second"
run "import export" 0 list import "$work/lists.csv"
grep -q "2 imported, 0 skipped" "$work/stderr" || fail "import export: $(cat "$work/stderr")"
run "show after" 0 list show
[ "$out" = "$before" ] || fail "round trip: $out"

# A file with bad rows: each named with its line (the header is line 1), the good rows imported.
printf '%s\r\n' 'account,list,note' '好买家,allow,回头客' ',block,no account' '某人,grey,' '"两行' '备注",block,x,extra' \
    '坏买家,Block,"引号""内"' >"$work/bad.csv"
run "bad rows" 5 list import "$work/bad.csv"
grep -q "bad.csv: line 3: " "$work/stderr" || fail "bad rows: line 3 not named: $(cat "$work/stderr")"
grep -q "bad.csv: line 4: .*grey" "$work/stderr" || fail "bad rows: line 4 not named: $(cat "$work/stderr")"
grep -q "bad.csv: line 5: " "$work/stderr" || fail "bad rows: line 5 not named: $(cat "$work/stderr")"
grep -q "2 imported, 3 skipped" "$work/stderr" || fail "bad rows: $(cat "$work/stderr")"
run "bad rows imported" 0 list show
printf '%s' "$out" | grep -q '^好买家,allow,回头客' || fail "bad rows: good row missing: $out"
printf '%s' "$out" | grep -q '^坏买家,block,"引号""内"' || fail "bad rows: good row missing: $out"

# What a spreadsheet on Chinese Windows saves: GBK without BOM, LF line ends.
printf 'account,list,note\n表格买家,block,来自表格\n' | iconv -f UTF-8 -t GBK >"$work/gbk.csv"
run "gbk" 0 list import "$work/gbk.csv"
run "gbk imported" 0 list show block
printf '%s' "$out" | grep -q '^表格买家,block,来自表格' || fail "gbk: $out"

printf 'someone,block,\n' >"$work/headless.csv"
run "no header" 5 list import "$work/headless.csv"
grep -q "line 1: .*account,list,note" "$work/stderr" || fail "no header: $(cat "$work/stderr")"

# Usage errors: exit 2, nothing stored.
usage() {
    local name="$1" word="$2"
    shift 2
    run "$name" 2 "$@"
    grep -qi -- "$word" "$work/stderr" || fail "$name: stderr does not mention '$word': $(cat "$work/stderr")"
}
usage "bad list" "block or allow" list add grey someone
usage "empty account" "account" list add block "   "
usage "control character" "account" list add block $'a\tb'
usage "missing file" "cannot read" list import "$work/missing.csv"
usage "folder as file" "cannot read" list import "$work"
usage "no list subcommand" "subcommand" list
usage "no history subcommand" "subcommand" history

run "export unwritable" 1 list export "$work/no/such/x.csv"
grep -q "cannot write" "$work/stderr" || fail "export unwritable: $(cat "$work/stderr")"

finish list_cli
