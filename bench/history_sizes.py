#!/usr/bin/env python3
"""Memory and time of tarvisk-cli on a large history and a huge list file: `history check` over ROWS stored checks
(to stdout, and with --csv) and `list import` of a file of one 250 MB line. Each is one run of the built program; the
peak resident memory is the kernel's count for that process.

usage: history_sizes.py [--build build/release] [--rows 200000] [--line-mb 250]
"""

import argparse
import os
import sqlite3
import subprocess
import tempfile
import time


def measure(command, stdout=subprocess.DEVNULL):
    """Runs `command`; returns (exit status, seconds, peak RSS in MiB)."""
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    return process.returncode, time.monotonic() - start, usage.ru_maxrss / 1024


def fill_history(cli, folder, rows):
    """Makes the database with the program, then stores `rows` checks of 1000 accounts in it."""
    subprocess.run([cli, "--data-dir", folder, "list", "add", "block", "买家7"], check=True)
    db = sqlite3.connect(os.path.join(folder, "history.sqlite3"))
    row = ("2014年11月26日", 3500, 0, "UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT",
           "http://rate.taobao.com/user-rate-UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT.htm", "99.85", "personal", "buyer", 0, 12,
           3, 0, 0, 9, 0, 1, "safe")
    db.executemany("INSERT INTO checks (checked_at, account, registration_date, days_since_registration, new_account, "
                   "user_id, rating_link, good_rate, certification, role, seller_credit, buyer_credit, week_good, "
                   "week_neutral, week_bad, month_good, month_neutral, month_bad, verdict) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   ((1700000000 + i, "买家%d" % (i % 1000)) + row for i in range(rows)))
    db.commit()
    db.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--rows", type=int, default=200000)
    parser.add_argument("--line-mb", type=int, default=250)
    arguments = parser.parse_args()
    cli = os.path.join(arguments.build, "src", "cli", "tarvisk-cli")
    with tempfile.TemporaryDirectory() as work:
        folder = os.path.join(work, "data")
        fill_history(cli, folder, arguments.rows)
        lines = []
        for name, extra in (("history check", []), ("history check --csv", ["--csv", os.path.join(work, "h.csv")])):
            with open(os.path.join(work, "out"), "wb") as out:
                status, seconds, peak = measure([cli, "--data-dir", folder, "history", "check"] + extra, out)
            lines.append("| `%s`, %d checks | %d | %.1f s | %.1f MiB |" % (name, arguments.rows, status, seconds, peak))
        huge = os.path.join(work, "huge.csv")
        with open(huge, "wb") as out:
            out.write("账号,名单,备注\n某人,黑名单,".encode())
            block = b"x" * (1 << 20)
            for _ in range(arguments.line_mb):
                out.write(block)
            out.write(b"\n")
        status, seconds, peak = measure([cli, "--data-dir", folder, "list", "import", huge])
        lines.append("| `list import` of one %d MB line | %d | %.1f s | %.1f MiB |" %
                     (arguments.line_mb, status, seconds, peak))
    print("| run | exit | time | peak RSS |\n|---|---|---|---|")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
