#!/usr/bin/env bash
# tarvisk-cli stopped by Ctrl+C (SIGINT) or SIGTERM in the middle of a job: it stops at once, keeps the whole
# lines it has printed, says on stderr that it was cancelled, and exits with 130.
# Usage: interrupt_demo.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

# A demo server with the misbehaving keywords and shops: after their first page, "hostile-silent" never answers.
start_demo_server --test-pages

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# interrupt NAME SIGNAL DELAY ARGS...: runs the CLI with ARGS in the background, sends SIGNAL after DELAY seconds,
# and checks that it ends within two seconds with the status 130; stdout into $work/out, stderr into $work/stderr.
interrupt() {
    local name="$1" signal="$2" delay="$3"
    shift 3
    "$cli" "$@" >"$work/out" 2>"$work/stderr" &
    local pid=$!
    sleep "$delay"
    local sent
    sent=$(now_ms)
    kill -s "$signal" "$pid"
    wait "$pid"
    local status=$? took=$(($(now_ms) - sent))
    [ "$status" -eq 130 ] || fail "$name: exit status $status, expected 130 ($(cat "$work/stderr"))"
    [ "$took" -lt 2000 ] || fail "$name: took $took ms to stop"
}

# expect_stderr_last NAME TEXT: the last line on stderr is exactly TEXT.
expect_stderr_last() {
    local last
    last=$(tail -n 1 "$work/stderr")
    [ "$last" = "$2" ] || fail "$1: last stderr line is '$last', expected '$2'"
}

# A CSV file asked for is not written by a stopped job: an earlier one stays as it was.
printf 'earlier\n' >"$work/rank.csv"
interrupt "walk" INT 2 --route "$route" rank hostile-silent --item 99999999999 --pages 3 --csv "$work/rank.csv"
[ "$(cat "$work/rank.csv")" = "earlier" ] || fail "walk: the CSV file was replaced"
grep -q "已取消，没有写入 .*rank.csv" "$work/stderr" || fail "walk: stderr does not say the CSV file was not written"
[ "$(grep -c '' "$work/out")" -eq 46 ] || fail "walk: $(grep -c '' "$work/out") lines, expected the header, 44 rows and the caption"
[ "$(sed -n 45p "$work/out" | cut -f3)" = "1页 11行 第4" ] || fail "walk: row 44 is $(sed -n 45p "$work/out")"
[ "$(tail -n 1 "$work/out")" = "已取消" ] || fail "walk: last line is $(tail -n 1 "$work/out")"
expect_stderr_last "walk" "已取消：读到第1页"

interrupt "shop listing" TERM 2 --route "$route" shop hostile-silent.taobao.com
[ "$(grep -Ec $'^[0-9]{10,13} [^\r]+\r$' "$work/out")" -eq 20 ] || fail "shop listing: stdout is $(cat "$work/out")"
[ "$(grep -c '' "$work/out")" -eq 20 ] || fail "shop listing: more than the 20 listed lines"
expect_stderr_last "shop listing" "已取消：已列出20个宝贝"

# Checks half a second apart: the signal comes during a pause, which ends at once too.
for _ in $(seq 100); do echo 老实买家; done >"$work/accounts.txt"
interrupt "checks" INT 1.5 --demo --pause 0.5 check --file "$work/accounts.txt"
checked=$(grep -c '' "$work/out")
[ "$checked" -ge 1 ] && [ "$checked" -lt 100 ] || fail "checks: $checked lines"
[ "$(grep -c '^{"account":"老实买家",.*"verdict":"安全".*}$' "$work/out")" -eq "$checked" ] ||
    fail "checks: a line is not a whole report: $(grep -v '}$' "$work/out" | head -n 1)"
expect_stderr_last "checks" "已取消：已查完${checked}个账号"

finish interrupt_demo
