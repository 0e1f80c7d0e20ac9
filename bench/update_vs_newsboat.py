#!/usr/bin/env python3
"""End-to-end update benchmark: quillon-cli update against newsboat -x reload.

Generates 50 feeds of 100 realistic items (Chinese and English titles, 200-1500-byte HTML
descriptions, RFC 822 dates), serves them on 127.0.0.1, subscribes each to one channel
through the opml table (maximum pages 1, the search services answering 404), and times
both programs on an empty and on a filled database, in the same run, several times each.

    bench/update_vs_newsboat.py [--cli build/src/quillon-cli] [--runs 5]
"""

import argparse
import email.utils
import http.server
import os
import random
import shutil
import sqlite3
import statistics
import sys
import tempfile
import threading

from bench_feeds import FEEDS, ITEMS, REPO, make_feed, quillon_data_folder, run_measured



class Handler(http.server.BaseHTTPRequestHandler):
    feeds = {}

    def do_GET(self):
        body = self.feeds.get(self.path)
        if body is None:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def timed(command, cwd):
    """Wall time and peak resident memory (MiB) of one run of `command`."""
    process, elapsed, _, peak = run_measured(command, cwd)
    if process.returncode != 0:
        sys.exit(f"{command[0]} failed: {process.stderr.decode(errors='replace')}")
    return elapsed, peak


def newsboat_folder(root, base):
    folder = os.path.join(root, "newsboat")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "urls"), "w") as f:
        f.write("".join(f"{base}/feed{i}.xml\n" for i in range(FEEDS)))
    open(os.path.join(folder, "config"), "w").close()
    return folder


def newsboat_command(folder):
    return ["newsboat", "-x", "reload", "-u", os.path.join(folder, "urls"),
            "-c", os.path.join(folder, "cache.db"), "-C", os.path.join(folder, "config")]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if not shutil.which("newsboat"):
        sys.exit("newsboat is not installed (scripts/install-deps installs it)")

    rng = random.Random(7)
    Handler.feeds = {f"/feed{i}.xml": make_feed(i, rng) for i in range(FEEDS)}
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"

    results = {}
    with tempfile.TemporaryDirectory(prefix="quillon-e2e-") as root:
        for _ in range(args.runs):
            # Empty databases, then the same databases filled by the first run.
            q = quillon_data_folder(root, base, args.cli)
            n = newsboat_folder(root, base)
            quillon = [os.path.abspath(args.cli), "--data", q, "update", "--no-pauses"]
            for name, command, cwd in (("quillon", quillon, q), ("newsboat", newsboat_command(n), n)):
                for state in ("empty", "filled"):
                    results.setdefault((name, state), []).append(timed(command, cwd))
            rows = sqlite3.connect(os.path.join(q, "data", "data.dat")).execute(
                "select count(*) from item").fetchone()[0]
            if rows != FEEDS * ITEMS:
                sys.exit(f"quillon stored {rows} items, expected {FEEDS * ITEMS}")
    server.shutdown()

    print(f"{FEEDS} feeds x {ITEMS} items on 127.0.0.1, median of {args.runs} runs")
    print(f"{'':10}{'empty db':>12}{'filled db':>12}{'peak MiB':>10}")
    medians = {}
    for name in ("quillon", "newsboat"):
        empty = statistics.median(t for t, _ in results[(name, "empty")])
        filled = statistics.median(t for t, _ in results[(name, "filled")])
        peak = max(m for state in ("empty", "filled") for _, m in results[(name, state)])
        medians[name] = (empty, filled)
        print(f"{name:10}{empty:11.3f}s{filled:11.3f}s{peak:10.1f}")
    print("ratio quillon/newsboat: empty {:.2f}, filled {:.2f}".format(
        medians["quillon"][0] / medians["newsboat"][0], medians["quillon"][1] / medians["newsboat"][1]))


if __name__ == "__main__":
    main()
