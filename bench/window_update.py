#!/usr/bin/env python3
"""The window through its start-up update of many channels that search one host.

A new data folder holds CHANNELS channels (no subscribed feeds) whose search services all
point at one server on 127.0.0.1; every search answers a feed of 20 new items. The window
(`quillon`, offscreen) starts on it and its start-up update fetches every channel, one
request a second on that one host. Reported: the window process's CPU time over the update
against its wall time, the same for its WebEngine processes, and the memory (PSS) of the
window and of all its processes 25 s after start and at the end of the update, with and
without Mesa's software renderer (libLLVM, swrast_dri), which a GPU driver replaces.

    bench/window_update.py [--window build/src/quillon] [--cli build/src/quillon-cli]
                           [--channels 500] [--perf FILE]
"""

import argparse
import email.utils
import hashlib
import http.server
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

from bench_feeds import REPO, quillon_data_folder

TICKS = os.sysconf("SC_CLK_TCK")
SOFTWARE_GL = ("libLLVM", "swrast_dri", "kms_swrast_dri")


class Handler(http.server.BaseHTTPRequestHandler):
    lock = threading.Lock()
    requests = 0  # guarded by lock
    last = 0.0  # time.monotonic() of the latest request, guarded by lock

    def do_GET(self):
        key = hashlib.sha1(self.path.encode()).hexdigest()[:12]
        now = time.time()
        items = "".join(
            f"<item><title>新闻 {key} 第{i}条</title><link>http://news.test/{key}/{i}</link>"
            f"<description>关于 {key} 的第 {i} 条新闻。</description>"
            f"<pubDate>{email.utils.formatdate(now - i * 600, usegmt=True)}</pubDate></item>"
            for i in range(20))
        body = ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel>'
                f"<title>search</title>{items}</channel></rss>").encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        with Handler.lock:
            Handler.requests += 1
            Handler.last = time.monotonic()

    def log_message(self, *args):
        pass


def descendants(pid):
    """Every process below `pid`."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
            except OSError:
                pass
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS
    except OSError:
        return 0.0


def pss_kib(pid):
    """(PSS of the process, PSS of its software renderer's mappings) in KiB."""
    total = software = 0
    mapping = ""
    try:
        with open(f"/proc/{pid}/smaps") as f:
            for line in f:
                if line[0] in "0123456789abcdef" and "-" in line.split()[0]:
                    parts = line.split()
                    mapping = parts[5] if len(parts) > 5 else ""
                elif line.startswith("Pss:"):
                    kib = int(line.split()[1])
                    total += kib
                    if any(name in mapping for name in SOFTWARE_GL):
                        software += kib
    except OSError:
        pass
    return total, software


def memory_line(window):
    own, own_gl = pss_kib(window)
    everything, everything_gl = own, own_gl
    for pid in descendants(window):
        pss, gl = pss_kib(pid)
        everything += pss
        everything_gl += gl
    return (f"window {own / 1024:.1f} MiB ({(own - own_gl) / 1024:.1f} without software GL), "
            f"with its processes {everything / 1024:.1f} MiB "
            f"({(everything - everything_gl) / 1024:.1f} without)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--window", default=os.path.join(REPO, "build", "src", "quillon"))
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--channels", type=int, default=500)
    parser.add_argument("--quiet-seconds", type=float, default=15,
                        help="the update counts as done after this long without a request")
    parser.add_argument("--perf", metavar="FILE",
                        help="also record the window's profile with perf into FILE")
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}/search?q={{word}}"

    with tempfile.TemporaryDirectory(prefix="quillon-window-") as root:
        folder = quillon_data_folder(root, base, os.path.abspath(args.cli), [],
                                     channels=[f"关键词{i}" for i in range(args.channels)])
        env = dict(os.environ, QUILLON_DATA=folder, QT_QPA_PLATFORM="offscreen")
        started = time.monotonic()
        window = subprocess.Popen([os.path.abspath(args.window)], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        profiler = None
        if args.perf:
            profiler = subprocess.Popen(["perf", "record", "-q", "-F", "999", "--call-graph", "dwarf,16384", "-p",
                                         str(window.pid), "-o", args.perf])
        try:
            time.sleep(25)
            print(f"25 s after start: {memory_line(window.pid)}")
            own_at_25 = cpu_seconds(window.pid)
            while True:
                time.sleep(1)
                if window.poll() is not None:
                    sys.exit(f"the window ended with {window.returncode}")
                with Handler.lock:
                    requests, last = Handler.requests, Handler.last
                if requests and time.monotonic() - last > args.quiet_seconds:
                    break
            ended = last
            at_end = memory_line(window.pid)
            own = cpu_seconds(window.pid)
            others = sum(cpu_seconds(pid) for pid in descendants(window.pid))
        finally:
            if profiler:
                profiler.send_signal(signal.SIGINT)
                profiler.wait()
            window.send_signal(signal.SIGTERM)
            try:
                window.wait(30)
            except subprocess.TimeoutExpired:
                window.kill()
    server.shutdown()

    wall = ended - started
    print(f"{args.channels} channels searching one host on 127.0.0.1: {requests} requests, "
          f"the start-up update over {wall:.0f} s after start")
    print(f"window CPU {own:.2f} s = {100 * own / wall:.2f} % of a core ("
          f"{100 * (own - own_at_25) / (wall - 25):.2f} % after its first 25 s); its WebEngine "
          f"processes {others:.2f} s = {100 * others / wall:.2f} %")
    print(f"at the end of the update: {at_end}")


if __name__ == "__main__":
    main()
