# Shared by the tarvisk-cli shop and rank scripts (sourced after check_lib.bash).

# run NAME EXPECTED-STATUS ARGS...: runs the CLI with ARGS, stdout into $work/out, stderr into
# $work/err, and checks the exit status.
run() {
    local name="$1" want="$2"
    shift 2
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq "$want" ] || fail "$name: exit status $status, expected $want ($(cat "$work/err"))"
}
