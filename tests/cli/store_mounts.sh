#!/usr/bin/env bash
# tarvisk-cli and a history database on the file systems users have: a read-only bind mount (what the file holds is
# still read and shown, nothing new is saved and the user is told) and a full disk (the same, named as a full disk).
# Each runs in a mount namespace of its own, since root writes any file whatever its mode; the script is skipped
# where the machine allows no mount namespace. Usage: store_mounts.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"

if ! unshare -m --propagation private true 2>/dev/null; then
    echo "store_mounts: this machine allows no mount namespace, skipped"
    exit 77
fi

# in_namespace MOUNT-COMMAND FOLDER NAME ARGS...: mounts FOLDER in a mount namespace of its own with MOUNT-COMMAND
# (ro: bound read-only; full: a small tmpfs holding what FOLDER held, then filled), runs the CLI on it with ARGS, and
# keeps stdout, stderr and the exit status in $work/NAME.*.
in_namespace() {
    local mount="$1" folder="$2" name="$3"
    shift 3
    unshare -m --propagation private bash -s "$mount" "$folder" "$work/$name" "$cli" --data-dir "$folder" "$@" <<'INNER'
mount="$1" folder="$2" result="$3"
shift 3
if [ "$mount" = ro ]; then
    mount --bind "$folder" "$folder" && mount -o remount,bind,ro "$folder" || exit 90
else
    cp -a "$folder" "$result.copy" && mount -t tmpfs -o size=512k tmpfs "$folder" && cp -a "$result.copy/." "$folder/" &&
        { dd if=/dev/zero of="$folder/fill" bs=4k 2>/dev/null; true; } || exit 90
fi
"$@" >"$result.out" 2>"$result.err"
echo $? >"$result.status"
INNER
    out=$(cat "$work/$name.out")
    [ -f "$work/$name.status" ] || fail "$name: the namespace could not be set up"
}

data="$work/data"
run "listed" 0 --data-dir "$data" list add block 刷单小号 --note 拍下不付款
run "checked" 0 --data-dir "$data" --demo check 刷单小号

for mount in ro full; do
    problem=$([ "$mount" = ro ] && echo "只读" || echo "磁盘已满")
    in_namespace "$mount" "$data" "$mount-show" list show
    [ "$(cat "$work/$mount-show.status")" = 0 ] || fail "$mount: list show: $(cat "$work/$mount-show.err")"
    printf '%s' "$out" | grep -q '^刷单小号,黑名单,拍下不付款' || fail "$mount: list show: $out"
    in_namespace "$mount" "$data" "$mount-history" history check
    [ "$(printf '%s' "$out" | grep -c '"account":"刷单小号"')" -eq 1 ] || fail "$mount: history check: $out"
    in_namespace "$mount" "$data" "$mount-check" --demo check 刷单小号
    [ "$(cat "$work/$mount-check.status")" = 0 ] || fail "$mount: check: $(cat "$work/$mount-check.err")"
    printf '%s' "$out" | grep -q '"previous":{"checked_at":.*"list":"block","note":"拍下不付款"}$' ||
        fail "$mount: check: $out"
    grep -q "^check：刷单小号：本次查询没有存入历史记录。.*$problem" "$work/$mount-check.err" ||
        fail "$mount: check: stderr is $(cat "$work/$mount-check.err")"
    in_namespace "$mount" "$data" "$mount-add" list add allow 老实买家
    [ "$(cat "$work/$mount-add.status")" = 1 ] || fail "$mount: list add: exit $(cat "$work/$mount-add.status")"
    grep -q "$problem" "$work/$mount-add.err" || fail "$mount: list add: $(cat "$work/$mount-add.err")"
done

finish store_mounts
