#!/usr/bin/env bash
# tarvisk-cli rank --keywords-file --alert-drop and --notify against the in-process demo marketplace, whose shops'
# items TARVISK_DEMO_SHIFT moves between runs: an alert line after the keyword lines for a drop of N places or more,
# none for a smaller one, one for an item that fell out of the pages walked and one for a run a verification page
# ended; the alerts posted to a group bot of the test's own on 127.0.0.1, a bot that never answers (the run ends as
# it would without it), an address refused before anything is walked.
# Usage: rank_alerts.sh PATH-TO-TARVISK-CLI
set -u
cli="$1"
source "$(dirname "$0")/cli_lib.bash"
history_home="$work/home"

printf '软件开发\n' >"$work/keywords"
# walk NAME STATUS [ARGS...]: the keyword file for the demo shop's item, two pages, alerts from 3 places.
walk() {
    run "$1" "$2" --demo rank --keywords-file "$work/keywords" --item 42054041382 --pages 2 --alert-drop 3 "${@:3}"
}

walk "first run" 0
expect_lines "first run" 1
TARVISK_DEMO_SHIFT=5 walk "drop" 0
expect_lines "drop" 2
expect_line "drop" 1 $'软件开发\t2页 3行 第4 \\(#56\\)\t2页 2行 第3 \\(#51\\)'
expect_line "drop" 2 $'提醒\t软件开发\t下降5位：2页 2行 第3 → 2页 3行 第4'
TARVISK_DEMO_SHIFT=7 walk "drop below the threshold" 0
expect_lines "drop below the threshold" 1
TARVISK_DEMO_SHIFT=40 walk "fell out" 0
expect_lines "fell out" 2
expect_line "fell out" 2 $'提醒\t软件开发\t跌出前2页（上次 2页 4行 第2）'

# A verification page ends the run: its alert comes after every keyword line, the exit status stays 4.
printf '限流宝贝\n软件开发\n' >"$work/throttled"
alert=$'提醒\t限流宝贝\t没有读完：淘宝要求安全验证（滑块或访问受限）'
slider() {
    run "$1" 4 --demo rank --keywords-file "$work/throttled" --item 42054041382 --pages 5 --alert-drop 3 "${@:2}"
}
slider "verification page"
expect_lines "verification page" 3
expect_line "verification page" 2 $'软件开发\t未查询\t未找到'
expect_line "verification page" 3 "$alert"

# A group bot of our own: it keeps the Content-Type and the body of each POST and answers as WeCom does.
python3 - "$work/posts" "$work/bot-port" <<'PY' &
import http.server, sys
class Bot(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        with open(sys.argv[1], "ab") as posts:
            posts.write(self.headers["Content-Type"].encode() + b"\n" + body + b"\n")
        answer = b'{"errcode":0,"errmsg":"ok"}'
        self.send_response(200)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Bot)
open(sys.argv[2], "w").write(str(server.server_port))
server.serve_forever()
PY
bot_pid=$!
# A bot that takes the connection and never answers.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(4)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
time.sleep(120)' "$work/silent-port" &
silent_pid=$!
trap 'kill "$bot_pid" "$silent_pid" 2>/dev/null; cleanup' EXIT
for _ in $(seq 100); do [ -s "$work/bot-port" ] && [ -s "$work/silent-port" ] && break; sleep 0.05; done

slider "notify" --notify "http://127.0.0.1:$(cat "$work/bot-port")/cgi-bin/webhook/send?key=SECRET"
expect_line "notify" 3 "$alert"
grep -q '提醒没有发出' "$work/stderr" && fail "notify: $(cat "$work/stderr")"
python3 - "$work/posts" "$alert" <<'PY' || fail "notify: the bot received $(cat "$work/posts" 2>/dev/null)"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 2 and lines[0] == "application/json", lines
assert json.loads(lines[1]) == {"msgtype": "text", "text": {"content": "Tarvisk 排名提醒\n" + sys.argv[2]}}, lines
PY

slider "bot never answers" --notify "http://127.0.0.1:$(cat "$work/silent-port")/hook?key=SECRET"
expect_line "bot never answers" 3 "$alert"
grep -q '^提醒没有发出：http://127\.0\.0\.1/…：' "$work/stderr" || fail "bot never answers: $(cat "$work/stderr")"
grep -q SECRET "$work/stderr" && fail "bot never answers: the bot's key was printed: $(cat "$work/stderr")"

# Addresses refused before anything is walked: plain http to another machine, --notify without --alert-drop.
run "http to another machine" 2 --demo rank --keywords-file "$work/keywords" --item 42054041382 --alert-drop 3 \
    --notify 'http://example.com/hook?key=SECRET'
expect_lines "http to another machine" 0
grep -q 'http://example\.com/…' "$work/stderr" || fail "http to another machine: $(cat "$work/stderr")"
grep -q SECRET "$work/stderr" && fail "http to another machine: the bot's key was printed: $(cat "$work/stderr")"
run "notify without alerts" 2 --demo rank --keywords-file "$work/keywords" --item 42054041382 \
    --notify 'https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=k'

finish "$(basename "$0" .sh)"
