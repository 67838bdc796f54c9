#!/usr/bin/env python3
"""Both jobs of tarvisk-cli against tarvisk-demo-market on loopback, side by side with curl fetching the
same pages and with a plain Python script (bench/plain_jobs.py) doing the same job.

usage: bench/wire_bench.py [--build build/release] [--runs 3]

For each job it prints the median over the runs of: the program's wall time, the wall time of curl
fetching the same pages (one curl process for all pages, once on kept-alive connections and once on a
fresh connection per page; the better counts), the program's CPU time (user + system) next to the
plain script's, the program's peak memory (RSS), and the ratios with their goals. Exits 1 when the
program's output differs from the plain script's (they did not do the same job).
"""

import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import plain_jobs  # noqa: E402

WALL_GOAL = 1.2   # program wall time / curl's
CPU_GOAL = 0.2    # program CPU time / the plain script's
RSS_GOAL_MIB = 18.2  # peak RSS of the 100-page walk before the speed work (19 MB)
PAGES = 100
KEYWORD = "perfbench"
MISSING_ITEM = "99999999999"
SHOP = "bigshop.taobao.com"


def run(command, output=None):
    """Runs a command; returns wall seconds, CPU seconds (user + system) and peak RSS in KiB.

    The peak comes from GNU time: a child forked from this script would count the script's own
    memory, which it holds until it starts the command, in its peak."""
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name] + command,
                                   stdout=output or subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   env=dict(os.environ, PYTHONIOENCODING="utf-8"))
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("wire_bench: %s exited with %d" % (command[0], os.waitstatus_to_exitcode(status)))
        return wall, usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1])


def curl(route, urls, body, headers, fresh):
    command = ["curl", "-s", "--connect-to", "::" + route, "--data-binary", body]
    for header in headers + (["Connection: close"] if fresh else []):
        command += ["-H", header]
    return run(command + urls)[0]


def rank_urls():
    url = plain_jobs.search_url(KEYWORD)
    # The program asks for pages 2 and later with the lower-cased address.
    return [(url if page == 1 else url.lower()) + "&s=" + str((page - 1) * 44) for page in range(1, PAGES + 1)]


def shop_urls():
    return ["http://" + SHOP + "/search.htm?v=1&pageNo=" + str(page) for page in range(1, PAGES + 1)]


class Job:
    def __init__(self, name, program, plain, urls, body, headers):
        self.name, self.program, self.plain = name, program, plain
        self.urls, self.body, self.headers = urls, body, headers
        self.samples = {key: [] for key in ("wall", "cpu", "rss", "reused", "fresh", "plain")}
        self.same_output = True

    def measure(self, route, work):
        outputs = []
        for command, sample in ((self.program, True), (self.plain, False)):
            with open(work / "out", "wb") as output:
                wall, cpu, rss = run(command, output)
            outputs.append((work / "out").read_bytes())
            if sample:
                self.samples["wall"].append(wall)
                self.samples["cpu"].append(cpu)
                self.samples["rss"].append(rss / 1024)
            else:
                self.samples["plain"].append(cpu)
        self.same_output = self.same_output and outputs[0] == outputs[1]
        for fresh in (False, True):
            self.samples["fresh" if fresh else "reused"].append(
                curl(route, self.urls(), self.body, self.headers, fresh))

    def median(self, key):
        return statistics.median(self.samples[key])


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(root / "build" / "release"), help="the build folder")
    parser.add_argument("--runs", type=int, default=3, help="runs of each job (the median counts)")
    arguments = parser.parse_args()
    build = pathlib.Path(arguments.build)
    cli = str(build / "src" / "cli" / "tarvisk-cli")

    market = subprocess.Popen([str(build / "src" / "demo" / "tarvisk-demo-market")], stdout=subprocess.PIPE, text=True)
    try:
        route = market.stdout.readline().split()[-1]
        plain = [sys.executable, str(pathlib.Path(plain_jobs.__file__)), route]
        jobs = [
            Job("rank %s --pages %d (walk)" % (KEYWORD, PAGES),
                [cli, "--route", route, "rank", KEYWORD, "--pages", str(PAGES), "--item", MISSING_ITEM],
                plain + ["rank", KEYWORD, str(PAGES), MISSING_ITEM], rank_urls, "",
                ["Content-Type: application/x-www-form-urlencoded", "User-Agent: " + plain_jobs.USER_AGENT]),
            Job("shop %s (%d pages)" % (SHOP, PAGES), [cli, "--route", route, "shop", SHOP],
                plain + ["shop", SHOP], shop_urls, "&x=0.5", ["content-type: application/x-www-form-urlencoded"]),
        ]
        with tempfile.TemporaryDirectory() as folder:
            for _ in range(arguments.runs):
                for job in jobs:
                    job.measure(route, pathlib.Path(folder))
    finally:
        market.terminate()
        market.wait()

    print("median of %d runs on loopback against tarvisk-demo-market\n" % arguments.runs)
    print("%-32s %9s %18s %7s %9s %9s %7s %9s" %
          ("job (tarvisk-cli)", "wall", "curl reused/fresh", "ratio", "CPU", "Python", "ratio", "peak RSS"))
    failed = False
    for job in jobs:
        curl_best = min(job.median("reused"), job.median("fresh"))
        wall_ratio = job.median("wall") / curl_best
        cpu_ratio = job.median("cpu") / job.median("plain")
        print("%-32s %7.2f s %7.2f / %5.2f s %6.2fx %7.2f s %7.2f s %6.2fx %5.1f MiB" %
              (job.name, job.median("wall"), job.median("reused"), job.median("fresh"), wall_ratio,
               job.median("cpu"), job.median("plain"), cpu_ratio, job.median("rss")))
        if not job.same_output:
            print("  the program's output differs from the plain script's")
            failed = True
    walk_rss = jobs[0].median("rss")
    print("\ngoals: wall <= %.1fx curl's better time, CPU <= %.1fx the plain script's, peak RSS of the walk <= %.1f MiB"
          % (WALL_GOAL, CPU_GOAL, RSS_GOAL_MIB))
    for job in jobs:
        wall_ok = job.median("wall") <= WALL_GOAL * min(job.median("reused"), job.median("fresh"))
        cpu_ok = job.median("cpu") <= CPU_GOAL * job.median("plain")
        print("  %-30s wall %s, CPU %s" % (job.name, "met" if wall_ok else "MISSED", "met" if cpu_ok else "MISSED"))
    print("  %-30s peak RSS %s" % (jobs[0].name, "met" if walk_rss <= RSS_GOAL_MIB else "MISSED"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
