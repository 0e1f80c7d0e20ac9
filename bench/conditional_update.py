#!/usr/bin/env python3
"""What conditional fetches save: a second quillon-cli update, 304 against 200 answers.

Serves 50 feeds of 100 realistic items on 127.0.0.1, each with an ETag and a Last-Modified,
subscribed to one channel each through the opml table (maximum pages 1; the search services
answer with an empty feed). A first update fills the database; then, on that filled
database, the next update is timed twice: once against a server that answers 304 to the
validators Quillon sends back, once against one that ignores them and sends every feed in
full again. Wall time and the bytes the server sent are the median of several runs.

    bench/conditional_update.py [--cli build/src/quillon-cli] [--runs 5]
"""

import argparse
import email.utils
import http.server
import os
import random
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from bench_feeds import FEEDS, ITEMS, REPO, make_feed, quillon_data_folder

EMPTY_FEED = b'<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel><title>s</title></channel></rss>'

class Handler(http.server.BaseHTTPRequestHandler):
    feeds = {}
    last_modified = email.utils.formatdate(time.time() - 3600, usegmt=True)
    honour_validators = True
    lock = threading.Lock()
    sent = 0  # body and header bytes written, guarded by lock
    answers = {}  # status -> count, guarded by lock

    def do_GET(self):
        path = self.path.split("?")[0]
        body = self.feeds.get(path, EMPTY_FEED)
        etag = '"{}"'.format(path)
        unchanged = self.honour_validators and path in self.feeds and (
            self.headers.get("If-None-Match") == etag
            or self.headers.get("If-Modified-Since") == self.last_modified)
        headers = [("ETag", etag), ("Last-Modified", self.last_modified)]
        if unchanged:
            status, body = 304, b""
        else:
            status = 200
            headers += [("Content-Type", "application/rss+xml; charset=utf-8"),
                        ("Content-Length", str(len(body)))]
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        with Handler.lock:
            Handler.sent += len(body) + sum(len(n) + len(v) + 4 for n, v in headers) + 20
            Handler.answers[status] = Handler.answers.get(status, 0) + 1

    def log_message(self, *args):
        pass


def update(cli, folder, honour):
    """Wall time, bytes the server sent, its answers by status and the tool's output."""
    Handler.honour_validators = honour
    with Handler.lock:
        Handler.sent = 0
        Handler.answers = {}
    started = time.perf_counter()
    run = subprocess.run([cli, "--data", folder, "update", "--no-pauses"], capture_output=True)
    elapsed = time.perf_counter() - started
    if run.returncode != 0:
        sys.exit(f"quillon-cli update failed: {run.stderr.decode(errors='replace')}")
    with Handler.lock:
        return elapsed, Handler.sent, dict(Handler.answers), run.stdout.decode()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)

    rng = random.Random(7)
    Handler.feeds = {f"/feed{i}.xml": make_feed(i, rng) for i in range(FEEDS)}
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"

    results = {True: [], False: []}
    for _ in range(args.runs):
        with tempfile.TemporaryDirectory(prefix="quillon-conditional-") as root:
            folder = quillon_data_folder(root, base, cli)
            update(cli, folder, True)  # fills the database, remembers the validators
            for honour in (True, False):
                elapsed, sent, answers, out = update(cli, folder, honour)
                # One line per channel, then the summary line, which has no tabs.
                unchanged = sum(int(line.split("\t")[4].split()[0])
                                for line in out.splitlines() if "\t" in line)
                expected = FEEDS if honour else 0
                if unchanged != expected or answers.get(304, 0) != expected:
                    sys.exit(f"expected {expected} unchanged feeds, the tool saw {unchanged}, "
                             f"the server answered {answers}")
                results[honour].append((elapsed, sent))
    server.shutdown()

    feed_bytes = sum(len(body) for body in Handler.feeds.values())
    print(f"{FEEDS} subscribed feeds x {ITEMS} items ({feed_bytes / 1e6:.1f} MB) on 127.0.0.1, "
          f"second update on a filled database, median of {args.runs} runs")
    print(f"{'server answers':18}{'wall time':>12}{'bytes sent':>14}")
    for honour, label in ((True, "304 Not Modified"), (False, "200 in full")):
        elapsed = statistics.median(t for t, _ in results[honour])
        sent = statistics.median(b for _, b in results[honour])
        print(f"{label:18}{elapsed:11.3f}s{sent:14,.0f}")


if __name__ == "__main__":
    main()
