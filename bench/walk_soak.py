#!/usr/bin/env python3
"""The walk soak: many 10-page ranking walks of tarvisk-cli, one after another, against one tarvisk-demo-market on
loopback, as a seller's script runs them. Every walk must end within a bound (2 s by default: a walk takes a small
part of a second), read all its pages and print its answer. Before every 50th walk, twenty requests for a page the
market holds back are sent and abandoned, as cancelled or stalled jobs leave them behind: the market keeps serving.

usage: bench/walk_soak.py [--build build/release] [--walks 1000] [--bound 2.0]

Prints the slowest walks and the time distribution; exits 1 when a walk took longer than the bound, failed, or
could not read a page.
"""

import argparse
import os
import pathlib
import socket
import statistics
import subprocess
import sys
import tempfile
import time

PAGES = 10
MISSING_ITEM = "99999999999"
# Big result pages (some 400 KB each) and small ones, in turn.
KEYWORDS = ["软件开发", "连衣裙", "perfbench", "手机壳"]
ABANDONED = 20


def abandon_held_back_requests(route):
    """Requests for a page whose answer the market holds back for minutes, given up at once."""
    host, port = route.rsplit(":", 1)
    for _ in range(ABANDONED):
        with socket.create_connection((host, int(port))) as client:
            client.sendall(b"GET /test/hostile/silent HTTP/1.1\r\nHost: shop.example.com\r\n\r\n")


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(root / "build" / "release"), help="the build folder")
    parser.add_argument("--walks", type=int, default=1000, help="how many walks")
    parser.add_argument("--bound", type=float, default=2.0, help="the longest a walk may take, in seconds")
    arguments = parser.parse_args()
    build = pathlib.Path(arguments.build)
    cli = str(build / "src" / "cli" / "tarvisk-cli")

    market = subprocess.Popen([str(build / "src" / "demo" / "tarvisk-demo-market"), "--test-pages"],
                              stdout=subprocess.PIPE, text=True)
    times = []
    failures = []
    try:
        route = market.stdout.readline().split()[-1]
        with tempfile.TemporaryDirectory() as data:
            for walk in range(arguments.walks):
                keyword = KEYWORDS[walk % len(KEYWORDS)]
                if walk % 50 == 0:
                    abandon_held_back_requests(route)
                command = [cli, "--route", route, "--data-dir", data, "rank", keyword, "--pages", str(PAGES),
                           "--item", MISSING_ITEM]
                start = time.perf_counter()
                done = subprocess.run(command, capture_output=True, text=True,
                                      env=dict(os.environ, LC_ALL="C.UTF-8"))
                seconds = time.perf_counter() - start
                times.append((seconds, walk, keyword))
                last = done.stdout.rstrip("\n").rsplit("\n", 1)[-1]
                if done.returncode != 0 or last != "未找到":
                    failures.append("walk %d (%s): exit %d, last line %r, %s" %
                                    (walk, keyword, done.returncode, last, done.stderr.strip()[:200]))
                if seconds > arguments.bound:
                    failures.append("walk %d (%s): %.2f s" % (walk, keyword, seconds))
    finally:
        market.terminate()
        market.wait()

    walls = sorted(seconds for seconds, _, _ in times)
    print("%d walks of %d pages: median %.3f s, 99th percentile %.3f s, slowest %.3f s (bound %.1f s)" %
          (len(walls), PAGES, statistics.median(walls), walls[int(len(walls) * 0.99) - 1], walls[-1],
           arguments.bound))
    for seconds, walk, keyword in sorted(times, reverse=True)[:5]:
        print("  walk %4d  %-10s %.3f s" % (walk, keyword, seconds))
    for failure in failures:
        print("FAILED: " + failure)
    print("walk_soak: " + ("FAILED" if failures else "OK"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
