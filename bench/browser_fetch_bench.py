#!/usr/bin/env python3
"""The browser page fetch against plain Chromium, on the demo marketplace's today's pages.

usage: bench/browser_fetch_bench.py [--build build/release] [--rounds 3] [--chromium chromium]

Runs bench/browser_fetch_bench (the program's fetch through its own engine, in a page no window shows, logged in
to the demo) and drives Debian's chromium through its DevTools pipe over the same pages of a tarvisk-demo-market,
with the same login cookie. For each page it prints the medians of: the time the page's own script took to put
its results on the page (data-drawn-ms, from the start of the navigation), in both browsers; the wall time until
a driver has them (the program: the whole fetch, the rendered page and its answers in hand; Chromium: the
navigation's start until its results stand); and the memory of the program's page. The pause between pages is
not counted.
"""

import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

PAGES = [
    "https://s.taobao.com/search?q=%E4%BB%8A%E6%97%A5%E5%A5%BD%E7%89%A9&page=1&tab=all",
    "https://s.taobao.com/search?q=%E4%BB%8A%E6%97%A5%E5%A5%BD%E7%89%A9&page=2&tab=all",
    "https://todayshop.taobao.com/search.htm?search=y&pageNo=1",
    "https://todayshop.taobao.com/search.htm?search=y&pageNo=3",
    "https://gatewayshop.taobao.com/search.htm?search=y&pageNo=1",
    "https://gatewayshop.taobao.com/search.htm?search=y&pageNo=3",
]
ENGINE = {"QT_QPA_PLATFORM": "offscreen", "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu"}


def program_times(build, rounds):
    env = dict(os.environ, **ENGINE)
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    lines = subprocess.run([str(build / "bench" / "browser_fetch_bench"), str(rounds)] + PAGES, env=env, check=True,
                           capture_output=True, text=True).stdout.splitlines()
    records = [json.loads(line) for line in lines]
    return [r for r in records if "page" in r], records[-1]


class DevTools:
    """Chromium's DevTools protocol over --remote-debugging-pipe: commands on fd 3, answers on fd 4."""

    def __init__(self, chromium, rules, profile):
        to_chromium, self.commands = os.pipe()
        self.answers, from_chromium = os.pipe()

        def pipes():
            os.dup2(to_chromium, 3)
            os.dup2(from_chromium, 4)

        flags = ["--headless", "--disable-gpu", "--remote-debugging-pipe", "--user-data-dir=" + profile,
                 "--host-resolver-rules=" + rules, "--no-first-run", "about:blank"]
        if os.geteuid() == 0:
            flags.insert(0, "--no-sandbox")
        # The pipes become fds 3 and 4 in the child, and stay open there (no closing of inherited fds).
        self.process = subprocess.Popen([chromium] + flags, close_fds=False, preexec_fn=pipes,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_chromium)
        os.close(from_chromium)
        self.buffer = b""
        self.next = 0
        self.session = None

    def call(self, method, session=True, **params):
        self.next += 1
        message = {"id": self.next, "method": method, "params": params}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                self.buffer += os.read(self.answers, 1 << 16)
            raw, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(raw)
            if answer.get("id") == self.next:
                if "error" in answer:
                    sys.exit("browser_fetch_bench: %s: %s" % (method, answer["error"]))
                return answer.get("result", {})

    def close(self):
        self.process.kill()
        self.process.wait()


def chromium_times(build, chromium, rounds):
    work = pathlib.Path(tempfile.mkdtemp())
    market = subprocess.Popen([str(build / "src" / "demo" / "tarvisk-demo-market"), "--port", "0"],
                              stdout=subprocess.PIPE, text=True)
    try:
        route = market.stdout.readline().split()[-1]
        https = market.stdout.readline().split()[-1]
        cookies = work / "cookies"
        subprocess.run(["curl", "-s", "-o", "/dev/null", "--connect-to", "::" + route, "-c", str(cookies), "-d",
                        "TPL_username=tarvisk_demo&TPL_password=demo1234",
                        "http://login.taobao.com/member/login.jhtml"], check=True)
        login = [line.split("\t") for line in cookies.read_text().splitlines()
                 if line.count("\t") == 6 and not line.startswith("# ")]
        # Connections to port 443 go to the market's HTTPS port, every other one to its HTTP port.
        tools = DevTools(chromium, "MAP *:443 %s, MAP * %s" % (https, route), str(work / "profile"))
        try:
            page = next(t for t in tools.call("Target.getTargets")["targetInfos"] if t["type"] == "page")
            tools.session = tools.call("Target.attachToTarget", targetId=page["targetId"], flatten=True)["sessionId"]
            tools.call("Security.setIgnoreCertificateErrors", ignore=True)
            tools.call("Network.enable")
            for fields in login:
                name = fields[5]
                tools.call("Network.setCookie", name=name, value=fields[6], domain=fields[0].lstrip("#HttpOnly_"),
                           path="/")
            times = []
            for round_ in range(rounds):
                for address in PAGES:
                    start = time.perf_counter()
                    tools.call("Page.navigate", url=address)
                    drawn = None
                    while drawn is None and time.perf_counter() - start < 30:
                        value = tools.call("Runtime.evaluate", expression=(
                            "(document.querySelector('[data-drawn-ms]') || {dataset: {}}).dataset.drawnMs || ''"
                        ))["result"].get("value")
                        drawn = int(value) if value else None
                        if drawn is None:
                            time.sleep(0.01)
                    times.append({"page": address, "round": round_, "wall_ms": round(1000 * (time.perf_counter() - start)),
                                  "drawn_ms": drawn})
            return times
        finally:
            tools.close()
    finally:
        market.terminate()
        market.wait()


def median(records, page, key):
    values = [r[key] for r in records if r["page"] == page and r[key] is not None]
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--chromium", default="chromium")
    arguments = parser.parse_args()
    build = pathlib.Path(arguments.build)
    ours, memory = program_times(build, arguments.rounds)
    theirs = chromium_times(build, arguments.chromium, arguments.rounds)
    print("%-62s %12s %12s %14s %14s %6s" % ("page", "drawn: ours", "chromium", "wall: fetch", "chromium",
                                            "ratio"))
    for page in PAGES:
        fetch, chromium = median(ours, page, "fetch_ms"), median(theirs, page, "wall_ms")
        print("%-62s %10.0f ms %9.0f ms %11.0f ms %11.0f ms %6.2f" % (
            page, median(ours, page, "drawn_ms"), median(theirs, page, "drawn_ms"), fetch, chromium,
            fetch / chromium))
    print("memory (proportional set size) before the page and with it: the program %d / %d KiB, the engine's "
          "processes %d / %d KiB, of which its renderers %d / %d KiB" % tuple(
              memory["program_kib"] + memory["helpers_kib"] + memory["renderers_kib"]))


if __name__ == "__main__":
    main()
