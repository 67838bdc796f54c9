#!/usr/bin/env bash
# tarvisk-cli and the local database, against the in-process demo marketplace: a check brings its
# previous check and what changed, a listed buyer its list and note; history check lists the stored
# checks newest first; --csv; --data-dir; a database that cannot be used never costs the answer.
# Usage: history_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"
history_home="$work/home"

iso='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}'
facts='"registration_date":"[^"]+","days_since_registration":[0-9]+,"new_account":(true|false),"user_id":"[A-Za-z0-9]{32}","rating_link":"[^"]+","good_rate":"[0-9.]*","certification":"[a-z]+","role":"[a-z]+","seller_credit":[0-9]+,"buyer_credit":[0-9]+,"week":\{[^}]+\},"month":\{[^}]+\}'

# A first check prints what it always printed; the second one adds the first as "previous".
run "first check" 0 --demo check 老实买家
expect_line "first check" 1 "\{\"account\":\"老实买家\",$facts,\"verdict\":\"安全\"\}"
first="$out"
run "second check" 0 --demo check 老实买家
expect_line "second check" 1 "\{\"account\":\"老实买家\",$facts,\"verdict\":\"安全\",\"previous\":\{\"checked_at\":\"$iso\",$facts,\"verdict\":\"安全\"\},\"changed\":\[\]\}"
[ "${out%%,\"previous\"*}}" = "$first" ] || fail "second check: the facts differ from the first check's"

# 19 days on, the 12-day-old account is no longer new: the age, the flag and the verdict changed.
run "new account" 0 --demo check 小白新号
run "no longer new" 0 --demo check --date "$(date -d '+19 days' +%F)" 小白新号
expect_line "no longer new" 1 "\{\"account\":\"小白新号\",.*\"verdict\":\"安全\",\"previous\":\{\"checked_at\":\"$iso\",.*\"days_since_registration\":12,\"new_account\":true,.*\"verdict\":\"不安全\"\},\"changed\":\[\"days_since_registration\",\"new_account\",\"verdict\"\]\}"

# A stop, or a check whose page could not be read, is not stored.
run "stop" 3 --demo check 被封账号
run "unread" 4 --demo check 评价要登录
run "no stored stop" 0 --demo history check 被封账号
[ -z "$out" ] || fail "a stopped check was stored: $out"
run "no stored unread check" 0 --demo history check 评价要登录
[ -z "$out" ] || fail "a check without a report was stored: $out"

# Listed buyers carry their list and note; the verdict stays the rule's.
run "block" 0 --demo list add block 刷单小号 --note '拍下不付款, "恶意"差评'
run "listed" 0 --demo check 刷单小号
expect_line "listed" 1 "\{\"account\":\"刷单小号\",.*\"verdict\":\"不安全\",\"list\":\"block\",\"note\":\"拍下不付款, \\\\\"恶意\\\\\"差评\"\}"
run "allow" 0 --demo list add allow 刷单小号
run "allowed" 0 --demo check 刷单小号
expect_line "allowed" 1 "\{\"account\":\"刷单小号\",.*\"verdict\":\"不安全\",\"previous\":\{.*\},\"changed\":\[\],\"list\":\"allow\",\"note\":\"\"\}"

# The history, newest first: all of it, one account, the newest few.
run "history" 0 --demo history check
expect_lines "history" 6
accounts=$(printf '%s\n' "$out" | sed 's/^{"checked_at":"[^"]*","account":"\([^"]*\)".*/\1/' | tr '\n' ' ')
[ "$accounts" = "刷单小号 刷单小号 小白新号 小白新号 老实买家 老实买家 " ] || fail "history order: $accounts"
expect_line "history line" 1 "\{\"checked_at\":\"$iso\",\"account\":\"刷单小号\",$facts,\"verdict\":\"不安全\"\}"
run "history of one" 0 --demo history check "  老实买家 "
expect_lines "history of one" 2
run "history limit" 0 --demo history check --limit 3
expect_lines "history limit" 3
# What demo runs keep stays out of the user's own history.
run "own history" 0 history check
expect_lines "own history" 0

# CSV files: UTF-8 with BOM, a header, one record per check (stops included), ids kept whole.
run "check csv" 3 --demo check 老实买家 被封账号 --csv "$work/check.csv"
[ "$(head -c 3 "$work/check.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "check csv: no BOM"
head -n 1 "$work/check.csv" | tail -c +4 | grep -q '^查询时间,账号,注册时间,.*,结论,名单,备注,上次查询时间,上次结论,说明'$'\r''$' ||
    fail "check csv header: $(head -n 1 "$work/check.csv")"
[ "$(grep -c $'\r$' "$work/check.csv")" -eq 3 ] || fail "check csv: $(grep -c '' "$work/check.csv") lines"
grep -q '^[0-9-]* [0-9:]*,老实买家,.*,安全,,,[0-9-]* [0-9:]*,安全,'$'\r''$' "$work/check.csv" || fail "check csv: no report row"
grep -q '^,被封账号,,.*,对不起，亲输入的淘宝账号已被查封'$'\r''$' "$work/check.csv" || fail "check csv: no stop row"
run "history csv" 0 --demo history check 小白新号 --csv "$work/history.csv"
[ "$(grep -c '' "$work/history.csv")" -eq 3 ] || fail "history csv: $(cat "$work/history.csv")"
# With --limit the rows shown still have their previous check, read past the limit.
run "history csv limited" 0 --demo history check 小白新号 --limit 1 --csv "$work/limited.csv"
[ "$(grep -c '' "$work/limited.csv")" -eq 2 ] || fail "history csv limited: $(cat "$work/limited.csv")"
grep -Eq '^[0-9-]+ [0-9:]+,小白新号,.*,[0-9-]+ [0-9:]+,(安全|不安全),' "$work/limited.csv" ||
    fail "history csv limited: no previous check: $(cat "$work/limited.csv")"
run "csv not writable" 1 --demo check 老实买家 --csv "$work/no/such/folder/x.csv"
expect_line "csv not writable: still answers" 1 '\{"account":"老实买家",.*\}'
grep -q "无法写入 CSV 文件" "$work/stderr" || fail "csv not writable: $(cat "$work/stderr")"

# --data-dir keeps everything in the folder it names.
run "data dir" 0 --data-dir "$work/other" --demo check demo_buyer
[ -f "$work/other/history.sqlite3" ] || fail "data dir: no database in it"
run "data dir history" 0 --data-dir "$work/other" history check
expect_lines "data dir history" 1
run "default history" 0 --demo history check demo_buyer
[ -z "$out" ] || fail "--data-dir wrote to the default folder"

# A database that cannot be used: the answer still comes, what the database could not give is "unknown", the store's
# message comes once and every account it affects names the problem.
printf 'plain file' >"$work/not-a-folder"
history_home=""
run "cannot open" 0 --data-dir "$work/not-a-folder/sub" --demo check 老实买家 demo_buyer
expect_lines "cannot open" 2
expect_line "cannot open: list unknown" 1 '\{"account":"老实买家",.*"verdict":"安全","previous":"unknown","list":"unknown"\}'
[ "$(grep -c '^tarvisk-cli：历史记录：' "$work/stderr")" -eq 1 ] || fail "cannot open: stderr is $(cat "$work/stderr")"
for account in 老实买家 demo_buyer; do
    grep -q "^check：$account：名单状态未知，上次查询未知，本次查询没有存入历史记录。无法打开历史记录库" "$work/stderr" ||
        fail "cannot open: $account not named: $(cat "$work/stderr")"
done
mkdir "$work/damaged"
head -c 4096 /dev/urandom >"$work/damaged/history.sqlite3"
run "damaged" 0 --data-dir "$work/damaged" --demo check 老实买家 demo_buyer
expect_lines "damaged" 2
grep -q '历史记录库已损坏' "$work/stderr" || fail "damaged: stderr is $(cat "$work/stderr")"
[ "$(grep -c '^tarvisk-cli：历史记录：' "$work/stderr")" -eq 1 ] || fail "damaged: said more than once: $(cat "$work/stderr")"
[ "$(find "$work/damaged" -name 'history.sqlite3.corrupt-*' | wc -l)" -eq 1 ] || fail "damaged: the file was not kept"
run "damaged, then fresh" 0 --data-dir "$work/damaged" history check
expect_lines "damaged, then fresh" 2
for command in "history check" "history rank" "list show" "list export $work/lists.csv"; do
    # shellcheck disable=SC2086 # the command's words
    run "$command of a broken store" 1 --data-dir "$work/not-a-folder/sub" $command
    [ -z "$out" ] || fail "$command of a broken store printed: $out"
done

# A database another program holds in the middle of a write: a listed buyer is "unknown", never unlisted.
locked="$work/locked"
run "locked: listed" 0 --data-dir "$locked" list add block 刷单小号
run "locked: checked" 0 --data-dir "$locked" --demo check 刷单小号
python3 -c '
import sqlite3, sys, time
db = sqlite3.connect(sys.argv[1], isolation_level=None)
db.execute("PRAGMA journal_mode = DELETE")
db.execute("BEGIN EXCLUSIVE")
db.execute("DELETE FROM buyer_lists")
open(sys.argv[2], "w").close()
time.sleep(60)' "$locked/history.sqlite3" "$work/lock-ready" &
locker=$!
for _ in $(seq 200); do [ -e "$work/lock-ready" ] && break; sleep 0.05; done
run "locked: check" 0 --data-dir "$locked" --demo check 刷单小号 老实买家
expect_line "locked: check" 1 '\{"account":"刷单小号",.*"verdict":"不安全","previous":"unknown","list":"unknown"\}'
[ "$(grep -c '^check：.*：名单状态未知，上次查询未知，本次查询没有存入历史记录。历史记录库正被另一个程序占用' "$work/stderr")" -eq 2 ] ||
    fail "locked: the problem is not named for each account: $(cat "$work/stderr")"
for command in "list show" "history check"; do
    # shellcheck disable=SC2086 # the command's words
    run "locked: $command" 1 --data-dir "$locked" $command
done
kill "$locker"
wait "$locker" 2>/dev/null
run "unlocked" 0 --data-dir "$locked" list show
printf '%s' "$out" | grep -q '^刷单小号,黑名单,' || fail "unlocked: the entry is gone: $out"

finish history_demo
