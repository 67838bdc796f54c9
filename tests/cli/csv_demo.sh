#!/usr/bin/env bash
# tarvisk-cli rank --csv and shop --csv against the in-process demo marketplace: the same rows as
# stdout, UTF-8 with BOM, CR LF, RFC 4180 quoting, ids as ="..." so spreadsheets keep every digit;
# stdout unchanged; a file that cannot be written is an error after the answer.
# Usage: csv_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

bom() { [ "$(head -c 3 "$1" | od -An -tx1 | tr -d ' ')" = "efbbbf" ]; }

run "rank plain" 0 --demo rank 软件开发 --item 42054041382
plain="$out"
run "rank csv" 0 --demo rank 软件开发 --item 42054041382 --csv "$work/rank.csv"
[ "$out" = "$plain" ] || fail "rank csv: stdout differs from a run without --csv"
bom "$work/rank.csv" || fail "rank csv: no BOM"
[ "$(grep -c $'\r$' "$work/rank.csv")" -eq 52 ] || fail "rank csv: $(grep -c '' "$work/rank.csv") lines"
[ "$(head -n 1 "$work/rank.csv" | tail -c +4)" = $'序号,宝贝名,位置,宝贝ID,图片,销售量\r' ] || fail "rank csv header: $(head -n 1 "$work/rank.csv")"
grep -q '^51,演示店铺一 包邮 第1款,2页 2行 第3,"=""42054041382""",http://pics\.taobaocdn\.com/bao/uploaded/i[1-4]/42054041382\.jpg,[0-9]*'$'\r''$' \
    "$work/rank.csv" || fail "rank csv: row 51 is $(sed -n 52p "$work/rank.csv")"
# Each CSV row holds the cells of the same row on stdout.
csv_ids=$(sed '1d' "$work/rank.csv" | sed 's/^[^,]*,[^,]*,[^,]*,"=""\([0-9]*\)""".*/\1/' | tr -d '\r')
out_ids=$(printf '%s\n' "$plain" | sed '1d;$d' | cut -f4)
[ "$csv_ids" = "$out_ids" ] || fail "rank csv: ids differ from stdout"

run "shop csv" 0 --demo shop demoshop1.taobao.com --csv "$work/shop.csv"
bom "$work/shop.csv" || fail "shop csv: no BOM"
[ "$(grep -c '' "$work/shop.csv")" -eq 26 ] || fail "shop csv: $(grep -c '' "$work/shop.csv") lines"
[ "$(sed -n 2p "$work/shop.csv")" = $'"=""42054041382""",演示店铺一 包邮 第1款\r' ] || fail "shop csv: row 1 is $(sed -n 2p "$work/shop.csv")"
[ "$(tail -n 1 "$work/stderr")" = "共查到25个宝贝" ] || fail "shop csv: status is $(tail -n 1 "$work/stderr")"

run "shop csv unwritable" 1 --demo shop demoshop1.taobao.com --csv "$work/missing/shop.csv"
[ "$(grep -c '' "$work/out")" -eq 25 ] || fail "shop csv unwritable: the listing was not printed"
grep -q "shop：无法写入 CSV 文件" "$work/stderr" || fail "shop csv unwritable: $(cat "$work/stderr")"
run "rank csv unwritable" 1 --demo rank 软件开发 --item 42054041382 --csv "$work"
grep -q "rank：无法写入 CSV 文件" "$work/stderr" || fail "rank csv unwritable: $(cat "$work/stderr")"

finish csv_demo
