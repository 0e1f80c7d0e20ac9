#!/usr/bin/env python3
"""Two quillon-cli updates of 500 subscribed sources on 127.0.0.1, as a polite client runs them.

50 channels with 10 subscribed feeds each: 10% of the feeds answer 404, 5% answer 429 with
Retry-After: 600, the rest send 100 realistic items with an ETag (bench_feeds.make_feed). The
search service answers every channel with an empty feed. Both updates run with --no-pauses
(the deliberate pauses and the one-second spacing per host are off). For each update: wall
time, CPU time and peak memory of the tool, and the requests the server received by kind.
The second update must send nothing to the deferred (429) and the failing (404, backing off)
sources, and gets 304 from the others.

    bench/polite_update.py [--cli build/src/quillon-cli] [--runs 3]
"""

import argparse
import collections
import http.server
import os
import random
import statistics
import subprocess
import sys
import tempfile
import threading

from bench_feeds import REPO, make_feed, quillon_data_folder, run_measured

CHANNELS = 50
FEEDS_PER_CHANNEL = 10
SOURCES = CHANNELS * FEEDS_PER_CHANNEL
EMPTY_FEED = b'<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>s</title></channel></rss>'


def kind_of(index):
    """404 for 10% of the feeds, 429 for 5%, a feed for the rest, spread over the channels."""
    if index % 20 in (3, 13):
        return "404"
    if index % 20 == 7:
        return "429"
    return "feed"


class Handler(http.server.BaseHTTPRequestHandler):
    feeds = {}
    lock = threading.Lock()
    requests = collections.Counter()  # (kind, status) -> count, guarded by lock

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        return status

    def do_GET(self):
        path = self.path.split("?")[0]
        if not path.startswith("/feed"):
            kind, status = "search", self.answer(200, EMPTY_FEED,
                                                 [("Content-Type", "application/rss+xml")])
        else:
            index = int(path[len("/feed"):])
            kind = kind_of(index)
            etag = f'"{index}"'
            if kind == "404":
                status = self.answer(404)
            elif kind == "429":
                status = self.answer(429, headers=[("Retry-After", "600")])
            elif self.headers.get("If-None-Match") == etag:
                status = self.answer(304, headers=[("ETag", etag)])
            else:
                status = self.answer(200, self.feeds[index],
                                     [("Content-Type", "application/rss+xml; charset=utf-8"),
                                      ("ETag", etag)])
        with Handler.lock:
            Handler.requests[(kind, status)] += 1

    def log_message(self, *args):
        pass


def update(cli, folder):
    """Wall seconds, CPU seconds, peak memory in MiB, the server's requests, the summary line."""
    with Handler.lock:
        Handler.requests = collections.Counter()
    process, elapsed, cpu, peak = run_measured([cli, "--data", folder, "update", "--no-pauses"],
                                               stdout=subprocess.PIPE)
    if process.returncode != 0:
        sys.exit(f"quillon-cli update failed: {process.stderr.decode(errors='replace')}")
    summary = process.stdout.decode().splitlines()[-1]
    with Handler.lock:
        requests = dict(Handler.requests)
    return elapsed, cpu, peak, requests, summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)

    rng = random.Random(7)
    Handler.feeds = {i: make_feed(i, rng) for i in range(SOURCES) if kind_of(i) == "feed"}
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"

    results = {1: [], 2: []}
    for _ in range(args.runs):
        with tempfile.TemporaryDirectory(prefix="quillon-polite-") as root:
            folder = quillon_data_folder(
                root, base, cli, [(f"频道{i // FEEDS_PER_CHANNEL}", f"{base}/feed{i}")
                             for i in range(SOURCES)])
            for number in (1, 2):
                results[number].append(update(cli, folder))
    server.shutdown()

    second = results[2][-1][3]
    for kind in ("404", "429"):
        sent = sum(count for (k, _), count in second.items() if k == kind)
        if sent:
            sys.exit(f"the second update sent {sent} requests to the {kind} sources")

    print(f"{SOURCES} subscribed sources under {CHANNELS} channels on 127.0.0.1 "
          f"(10% 404, 5% 429 with Retry-After, the rest 100 items), --no-pauses, "
          f"median of {args.runs} runs")
    print(f"{'update':8}{'wall':>10}{'cpu':>10}{'peak MiB':>10}  requests (kind status: count)")
    for number in (1, 2):
        runs = results[number]
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] for r in runs)
        peak = statistics.median(r[2] for r in runs)
        requests = ", ".join(f"{k} {s}: {c}" for (k, s), c in sorted(runs[-1][3].items()))
        print(f"{number:<8}{wall:9.2f}s{cpu:9.2f}s{peak:10.1f}  {requests}")
        print(f"{'':8}{runs[-1][4]}")


if __name__ == "__main__":
    main()
