#!/usr/bin/env bash
# tarvisk-cli history rank --competitors and history prune against the in-process demo marketplace, whose shops'
# items TARVISK_DEMO_SHIFT moves between runs: the items above the target in the newest run, in walk order, each with
# the change the shift made; the CSV file; usage errors; pruning keeps today's runs and deletes an old one with its
# items.
# Usage: rank_competitors.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"
history_home="$work/home"
database="$history_home/Tarvisk/demo/history.sqlite3"

# demoshop1's 6th item stands at 5页 11行 第4 for 软件开发 (place 220), its first item above it at 2页 2行 第3 (51).
item=42054046447
competitors() { run "$1" "$2" --demo history rank 软件开发 --item "$item" --competitors "${@:3}"; }

competitors "nothing stored" 0
expect_lines "nothing stored" 0
grep -q '^history rank：没有关键字“软件开发”找宝贝 42054046447' "$work/stderr" ||
    fail "nothing stored: stderr: $(cat "$work/stderr")"
run "without a target" 2 --demo history rank 软件开发 --competitors
grep -q -- '--competitors：要同时给出 KEYWORD 和 --item 或 --shop' "$work/stderr" ||
    fail "without a target: stderr: $(cat "$work/stderr")"
run "without a keyword" 2 --demo history rank --shop demoshop1.taobao.com --competitors
competitors "with a limit" 2 --limit 3

run "first run" 0 --demo rank 软件开发 --item "$item" --pages 6
cp "$work/out" "$work/first"
TARVISK_DEMO_SHIFT=5 run "shifted run" 0 --demo rank 软件开发 --item "$item" --pages 6
cp "$work/out" "$work/second"
competitors "competitors" 0 --csv "$work/competitors.csv"
# The competitors are the rows the shifted run listed before the target (224 of them), as its table shows them. The
# shift moved the demo shop's first item 5 places down; the other sellers' items kept their places, but for the one
# that took its old place and those that were below the target before.
python3 - "$work/out" "$work/first" "$work/second" <<'PY' || fail "competitors: $(head -c 600 "$work/out")"
import json, sys
lines = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
def table(path):
    rows = [line.rstrip("\n").split("\t") for line in open(path, encoding="utf-8")][1:-1]
    return [{"number": int(r[0]), "title": r[1], "place": r[2], "item_id": r[3], "sales": r[5]} for r in rows]
first, second = table(sys.argv[2]), table(sys.argv[3])
assert len(lines) == 224 and second[-1]["item_id"] == "42054046447", (len(lines), second[-1])
keys = ["number", "page", "place", "item_id", "title", "shop", "price", "sales", "paid", "change", "sales_before",
        "price_before"]
for line, row in zip(lines, second):
    assert list(line) == keys, list(line)
    assert {k: line[k] for k in row} == row, (line, row)
    assert line["page"] == int(row["place"].split("页")[0]) and (line["shop"], line["price"], line["paid"]) == ("", "", False), line
changes = [line["change"] for line in lines]
assert changes == ["="] * 50 + ["新上榜"] + ["="] * 4 + ["↓5"] + ["="] * 163 + ["新上榜"] * 5, changes
moved = lines[55]
assert moved["item_id"] == "42054041382" and moved["place"] == "2页 3行 第4", moved
assert moved["sales_before"] == first[50]["sales"] and moved["price_before"] == "", (moved, first[50])
for line in lines:
    if line["change"] == "新上榜":
        assert line["sales_before"] is None and line["price_before"] is None, line
    elif line["change"] == "=":
        assert line["sales_before"] == line["sales"], line
PY
[ "$(head -c 3 "$work/competitors.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "competitors csv: no BOM"
[ "$(grep -c $'\r$' "$work/competitors.csv")" -eq 225 ] || fail "competitors csv: $(grep -c '' "$work/competitors.csv") lines"
sed -n 57p "$work/competitors.csv" | grep -q '^56,2,2页 3行 第4,"=""42054041382""",演示店铺一 包邮 第1款,,,[0-9]*,,↓5,[0-9]*,'$'\r''$' ||
    fail "competitors csv: line 57 is $(sed -n 57p "$work/competitors.csv")"

# Pruning: today's runs stay; a run made 400 days ago goes, with its items.
run "prune nothing" 0 --demo history prune --older-than 1
expect_line "prune nothing" 1 '已删除 0 次排名查询（早于 [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}）'
run "runs kept" 0 --demo history rank
expect_lines "runs kept" 2
python3 -c '
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("UPDATE ranking_runs SET ran_at = ran_at - 400 * 86400 WHERE id = (SELECT min(id) FROM ranking_runs)")
db.commit()' "$database" || fail "could not age the first run"
run "prune" 0 --demo history prune --older-than 365
expect_line "prune" 1 "已删除 1 次排名查询（早于 $(date -d '-365 days' +%F) [0-9:]{8}）"
run "run left" 0 --demo history rank
expect_lines "run left" 1
[ "$(python3 -c '
import sqlite3, sys
print(sqlite3.connect(sys.argv[1]).execute("SELECT count(*) FROM ranking_run_items").fetchone()[0])' "$database")" = 225 ] ||
    fail "prune: the items of the deleted run are left"
competitors "without the pruned run" 0
[ "$(grep -c '"change":"新上榜"' "$work/out")" -eq 224 ] || fail "without the pruned run: $(head -n 2 "$work/out")"

for days in 0 -3 abc 2.5; do
    run "prune --older-than $days" 2 --demo history prune --older-than "$days"
done
run "prune without days" 2 --demo history prune

finish "$(basename "$0" .sh)"
