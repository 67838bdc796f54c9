#!/usr/bin/env bash
# tarvisk-cli usage errors: exit status 2 with a message on stderr, nothing on stdout, no request.
# Usage: check_usage.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

# usage NAME STDERR-WORD ARGS...: exit status 2, stderr mentions the word, stdout empty.
usage() {
    local name="$1" word="$2"
    shift 2
    run "$name" 2 "$@"
    [ -z "$out" ] || fail "$name: printed on stdout: $out"
    grep -qi -- "$word" "$work/stderr" || fail "$name: stderr does not mention '$word': $(cat "$work/stderr")"
}

mkdir "$work/folder"
: >"$work/empty.txt"
printf '\n  \r\n\r\n' >"$work/blank.txt"

usage "no accounts" "没有给出账号" check
usage "only blank lines" "没有给出账号" check --file "$work/blank.txt"
usage "empty file" "没有给出账号" check --file "$work/empty.txt"
usage "missing file" "无法读取账号文件" check --file "$work/missing.txt" someone
usage "folder as file" "无法读取账号文件" check --file "$work/folder" someone
usage "impossible date" "日期" check --date 2014-02-30 someone
usage "date without dashes" "日期" check --date 20140101 someone
usage "date with letters" "日期" check --date 2014-1a-01 someone
usage "route without port" "HOST:PORT" --route 127.0.0.1 check someone
usage "route with bad port" "HOST:PORT" --route 127.0.0.1:70000 check someone
usage "route with port 0" "HOST:PORT" --route 127.0.0.1:0 check someone
for route in '127.0.0.1"--x=1:18431' '127.0.0.1,MAP * evil:80' 'host name:80' '-x:80' '[::1:80' '[::g]:80'; do
    usage "route $route" "HOST:PORT" --route "$route" check someone
done
usage "route and demo" "--demo 不能同时使用" --route 127.0.0.1:8080 --demo check someone
usage "missing cookies file" "无法读取cookie 文件" --cookies "$work/missing.txt" check someone
usage "folder as cookies file" "无法读取cookie 文件" --cookies "$work/folder" check someone
# A line longer than 64 KiB is refused, whatever follows it: the file is not read on.
{ printf 'first\n'; head -c 65537 /dev/zero | tr '\0' a; printf '\nlast\n'; } >"$work/long.txt"
usage "account line of 64 KiB and a byte" "账号文件 .*long.txt 的第2行超过65536字节" check --file "$work/long.txt"
{ printf '.taobao.com\tTRUE\t/\tFALSE\t0\tname\t'; head -c 65536 /dev/zero | tr '\0' v; printf '\n'; } >"$work/long-cookie.txt"
usage "cookie line of 64 KiB and more" "cookie 文件 .*long-cookie.txt 的第1行" --cookies "$work/long-cookie.txt" check someone
head -c 65536 /dev/zero | tr '\0' a >"$work/limit.txt"
"$cli" --route 127.0.0.1:9 --stall 1 check --file "$work/limit.txt" >"$work/out" 2>"$work/stderr"
grep -q "第1行" "$work/stderr" && fail "a line of exactly 64 KiB was refused: $(cat "$work/stderr")"
usage "stall of 0 seconds" "--stall" --stall 0 check someone
usage "stall not a number" "--stall" --stall soon check someone
usage "no command" "缺少命令" --demo
usage "unknown option" "不认识的参数：--nope" check --nope someone
usage "negative pause" "秒数" --pause -1 check someone
usage "pause not a number" "秒数" --pause abc check someone
usage "pause not a number at all" "秒数" --pause nan shop a.taobao.com
usage "pause too long" "秒数" --pause 3601 rank k --item 42054041382

help=$("$cli" --help)
status=$?
[ "$status" -eq 0 ] || fail "--help: exit status $status"
for word in check shop rank --route --cookies --demo --pause --stall; do
    printf '%s' "$help" | grep -q -- "$word" || fail "--help does not mention $word"
done
check_help=$("$cli" check --help)
for word in --html --date --file ACCOUNT; do
    printf '%s' "$check_help" | grep -q -- "$word" || fail "check --help does not mention $word"
done
# The help is Chinese, the words the command-line library adds included.
for words in "$help" "$check_help" "$("$cli" list --help)"; do
    english=$(printf '%s\n' "$words" | grep -E '\b(Usage|Options|Subcommands|Positionals|REQUIRED|TEXT|Print this)\b')
    [ -z "$english" ] || fail "--help has English: $english"
    printf '%s' "$words" | grep -q '用法' || fail "--help is not Chinese: $words"
done

finish check_usage
