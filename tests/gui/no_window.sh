#!/usr/bin/env bash
# tarvisk --no-window end to end: the commands of tarvisk-cli through the browser print what tarvisk-cli prints and
# exit as it does (a slider page: 4), on the in-process demo marketplace and through --route; a buyer check works
# through the profile's login; two programs never open one browser profile at once; usage errors.
# Usage: no_window.sh PATH-TO-TARVISK PATH-TO-TARVISK-CLI
set -u
program="$1"
cli="$2"
source "$(dirname "$0")/../cli/cli_lib.bash"

# same NAME STATUS ARGS...: tarvisk --no-window --fetch browser ARGS and tarvisk-cli ARGS print the same on stdout
# and stderr and both exit with STATUS.
same() {
    local name=$1 expected=$2
    shift 2
    "$program" --no-window --fetch browser --pause 0 "$@" >"$work/window.out" 2>"$work/window.err"
    local status=$?
    "$cli" "$@" >"$work/cli.out" 2>"$work/cli.err"
    [ "$status" -eq "$expected" ] || fail "$name: exit status $status, expected $expected: $(cat "$work/window.err")"
    cmp -s "$work/window.out" "$work/cli.out" || fail "$name: stdout differs from tarvisk-cli's: $(diff "$work/window.out" "$work/cli.out" | head -5)"
    # A page not read ends its message with what helps, which differs between the browser and direct requests.
    sed -i 's/。程序自己的请求通不过验证：.*$/。/; s/。没有窗口时无法通过验证：.*$/。/' "$work/window.err" "$work/cli.err"
    cmp -s "$work/window.err" "$work/cli.err" || fail "$name: stderr differs from tarvisk-cli's: $(diff "$work/window.err" "$work/cli.err" | head -5)"
}

same "shop" 0 --demo shop demoshop1.taobao.com
same "rank to page 2" 0 --demo rank 软件开发 --item 42054041382 --pages 3
same "rank by shop" 0 --demo rank 连衣裙 --shop demoshop2.taobao.com --pages 2
same "a slider ends the walk" 4 --demo rank 限流宝贝 --item 42054041382 --pages 4

# Today's pages through the browser: every item counted as the page shows it, paid placements marked, the place
# among the unpaid items in the final line; the shop's own list without its recommendations; the runs kept as
# today's. A slider cannot be passed without a window, and the message says where it can.
today() {
    local name=$1 expected=$2
    shift 2
    "$program" --no-window --demo --fetch browser --pause 0 "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq "$expected" ] || fail "$name: exit status $status, expected $expected: $(cat "$work/err")"
}
today "today's walk" 0 rank 今日好物 --item 46500000076 --pages 3
[ "$(tail -n 1 "$work/out")" = "已找到 2页 第15个（自然排名第56）" ] || fail "today's walk: $(tail -n 1 "$work/out")"
[ "$(sed -n 2p "$work/out" | cut -f3)" = "1页 第1个（广告）" ] || fail "today's walk: row 1: $(sed -n 2p "$work/out")"
[ "$(sed -n 5p "$work/out" | cut -f3)" = "1页 第4个" ] || fail "today's walk: row 4: $(sed -n 5p "$work/out")"
today "a paid placement found" 0 rank 今日好物 --item 46500000209 --pages 5
[ "$(tail -n 1 "$work/out")" = "已找到 4页 第3个（广告）" ] || fail "a paid placement found: $(tail -n 1 "$work/out")"
today "today's shop" 0 shop todayshop.taobao.com
[ "$(grep -c '' "$work/out")" -eq 70 ] || fail "today's shop: $(grep -c '' "$work/out") items"
[ "$(tail -n 1 "$work/err")" = "共查到70个宝贝" ] || fail "today's shop: $(cat "$work/err")"
today "the gateway's shop" 0 shop gatewayshop.taobao.com
[ "$(grep -c '' "$work/out")" -eq 75 ] || fail "the gateway's shop: $(grep -c '' "$work/out") items"
[ "$(tail -n 1 "$work/err")" = "共查到75个宝贝" ] || fail "the gateway's shop: $(cat "$work/err")"
# A gateway that answers page 1 for every page leaves the walk incomplete, never 未找到.
today "a walk that does not advance" 4 rank 今日不翻页 --item 46500000038 --pages 3
grep -q "第2页：和前面的页相同：淘宝没有翻页" "$work/err" || fail "a walk that does not advance: $(cat "$work/err")"
today "check" 0 check 老实买家
grep -q '^{"account":"老实买家",.*"verdict":"安全"}$' "$work/out" || fail "check: $(cat "$work/out")"
today "today's history" 0 history rank
grep -q '"text":"2页 第15个（自然排名第56） (#63)","position_kind":"place"' "$work/out" ||
    fail "today's history: $(cat "$work/out")"
today "today's slider" 4 rank 今日限流 --item 46500000114 --pages 3
grep -q "没有窗口时无法通过验证：请在 tarvisk 的窗口中查询" "$work/err" || fail "today's slider: $(cat "$work/err")"
# With its own requests, the run is told to read through the browser, not to use the mode it is in.
"$program" --no-window --demo --fetch direct --pause 0 rank 限流宝贝 --item 42054041382 --pages 4 >/dev/null 2>"$work/err"
[ $? -eq 4 ] || fail "--fetch direct at a slider: $(cat "$work/err")"
grep -q "程序自己的请求通不过验证：请改用 --fetch browser" "$work/err" || fail "--fetch direct at a slider: $(cat "$work/err")"

# As root with the browser's sandbox on, the browser cannot start: the message says what to do.
if [ "$(id -u)" -eq 0 ]; then
    env -u QTWEBENGINE_DISABLE_SANDBOX QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu "$program" --no-window --demo \
        shop demoshop1.taobao.com >/dev/null 2>"$work/err"
    [ $? -eq 1 ] || fail "root with the sandbox: exit status, $(cat "$work/err")"
    grep -q "请以普通用户运行，或先设置环境变量 QTWEBENGINE_DISABLE_SANDBOX=1" "$work/err" ||
        fail "root with the sandbox: $(cat "$work/err")"
fi

start_demo_server
same "through --route" 0 --route "$route" shop demoshop3.taobao.com

# A routed run gets a throwaway profile: the saved profile's cookies never go to the routed server, and nothing of
# it is kept, nor locked.
"$program" --no-window --route "$route" --fetch browser shop demoshop3.taobao.com >/dev/null 2>&1 ||
    fail "a routed run through the browser failed"
[ ! -e "$XDG_DATA_HOME/tarvisk/browser" ] || fail "a routed run used the saved browser profile"

# Another program holds the saved profile (a live process of the program's name, in the lock file as the program
# writes it): a run that would use it says who holds it. Its requests go nowhere, should it get past the lock.
cp "$(command -v sleep)" "$work/tarvisk"
"$work/tarvisk" 60 &
holder=$!
mkdir -p "$XDG_DATA_HOME/tarvisk"
printf '%s\ntarvisk\n%s\n%s\n%s\n' "$holder" "$(hostname)" "$(cat /etc/machine-id 2>/dev/null)" \
    "$(cat /proc/sys/kernel/random/boot_id)" >"$XDG_DATA_HOME/tarvisk/browser.lock"
ALL_PROXY=http://127.0.0.1:9 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --host-resolver-rules=MAP * ~NOTFOUND" \
    "$program" --no-window --fetch browser shop demoshop3.taobao.com >"$work/out" 2>"$work/err"
status=$?
kill "$holder"
rm -f "$XDG_DATA_HOME/tarvisk/browser.lock"
[ "$status" -eq 1 ] || fail "busy profile: exit status $status, expected 1: $(cat "$work/err")"
grep -q "浏览器资料正被另一个程序（tarvisk，进程 $holder）使用" "$work/err" || fail "busy profile: stderr is $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "busy profile: stdout is $(cat "$work/out")"

# A run stopped while it pauses ends as an interrupted run.
"$program" --no-window --route "$route" --fetch browser --pause 60 shop demoshop1.taobao.com >"$work/long.out" 2>&1 &
long=$!
sleep 3
kill -TERM "$long"
wait "$long"
status=$?
[ "$status" -eq 130 ] || fail "a run stopped: exit status $status, expected 130: $(cat "$work/long.out")"

"$program" --no-window --fetch sometimes --demo shop demoshop1.taobao.com >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "--fetch sometimes is no usage error"
printf 'not a certificate\n' >"$work/bad.pem"
"$program" --no-window --trust-certificate "$work/bad.pem" --route "$route" shop demoshop1.taobao.com >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "a certificate file without a certificate is no usage error: $(cat "$work/err")"

# The desktop program's own command line speaks Chinese and names itself; without a display it says what works.
desktop() {
    local name=$1 expected=$2 pattern=$3
    shift 3
    "$@" >"$work/out" 2>&1
    local status=$?
    [ "$status" -eq "$expected" ] || fail "$name: exit status $status, expected $expected: $(cat "$work/out")"
    grep -q -- "$pattern" "$work/out" || fail "$name: $(cat "$work/out")"
}
desktop "help" 0 "^用法：tarvisk \[--demo\] \[--data-dir DIR\]$" "$program" --help
desktop "an unknown option" 2 "^tarvisk：不认识的参数：--demi$" "$program" --demi
desktop "no command" 2 "^用 tarvisk --no-window --help 查看用法。$" "$program" --no-window
desktop "no display" 1 "^没有显示器时请用 tarvisk --no-window 命令" env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= \
    "$program" --demo
"$program" --no-window --help rank >"$work/out" 2>&1
! grep -q -E "文字|TEXT" "$work/out" || fail "placeholders: $(grep -E "文字|TEXT" "$work/out")"

finish no_window
