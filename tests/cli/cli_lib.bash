# Shared by the tarvisk-cli test scripts (sourced, not run by itself): a scratch folder removed on
# exit together with a server the script started, and failure counting.
export LC_ALL=C
work=$(mktemp -d)
# The check history and the buyer lists stay in the scratch folder: each run starts with none, so that
# its output is what a first check prints, unless the script names one data folder for all its runs.
export XDG_DATA_HOME="$work/data"
history_home=""
server_pid=""
failures=0

cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# start_demo_server [ARGS...]: starts the demo marketplace program beside the CLI (stopped on exit)
# and sets $route to its HOST:PORT for --route; fails the script when the program is missing.
start_demo_server() {
    local server
    server="$(dirname "$cli")/../demo/tarvisk-demo-market"
    if [ ! -x "$server" ]; then
        fail "demo server program not found beside the CLI: $server"
        finish "$(basename "$0" .sh)"
    fi
    "$server" "$@" >"$work/server.out" &
    server_pid=$!
    for _ in $(seq 100); do
        grep -q listening "$work/server.out" 2>/dev/null && break
        sleep 0.05
    done
    route=$(sed -n 's/^listening on //p' "$work/server.out")
}

# expect_line NAME N EXTENDED-REGEX: line N of $out matches the whole pattern.
expect_line() {
    local line
    line=$(printf '%s\n' "$out" | sed -n "$2p")
    printf '%s\n' "$line" | grep -Eq "^$3\$" || fail "$1: line $2 is: $line"
}

# expect_lines NAME COUNT: $out has COUNT lines that are not empty.
expect_lines() {
    local count
    count=$(printf '%s\n' "$out" | grep -c .)
    [ "$count" -eq "$2" ] || fail "$1: $count lines, expected $2: $out"
}

# finish NAME: the script's exit status, 1 when any check failed.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$1: $failures check(s) failed" >&2
        exit 1
    fi
    echo "$1: all checks passed"
}

# run NAME EXPECTED-STATUS ARGS...: runs the CLI ($cli) with ARGS, stdout into $work/out (and $out),
# stderr into $work/stderr, and checks the exit status. The data folder is $history_home when set, else
# a fresh one.
run() {
    local name="$1" want="$2"
    shift 2
    XDG_DATA_HOME="${history_home:-$(mktemp -d -p "$work")}" "$cli" "$@" >"$work/out" 2>"$work/stderr"
    local status=$?
    out=$(cat "$work/out")
    [ "$status" -eq "$want" ] || fail "$name: exit status $status, expected $want ($(cat "$work/stderr"))"
}
