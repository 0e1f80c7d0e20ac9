#!/usr/bin/env python3
"""The window's memory while it is read for half an hour.

A new data folder holds CHANNELS channels whose searches all go to one server on 127.0.0.1;
each answers a feed of 20 items whose links lead to article pages of the same server. The
window is `window_reader` (bench/window_reader.cpp): the real window, offscreen, with a reader
in its event loop that shows the next item page every step, opens an item's article in the
browser pane every seventh step and moves to the next channel every twentieth. The PSS of the
window and of all its processes is sampled 25 s after start and then every SAMPLE minutes up
to MINUTES, with and without Mesa's software renderer (libLLVM, swrast_dri), which a GPU
driver replaces.

    bench/window_reading.py [--reader build-bench/bench/window_reader]
                            [--cli build/src/quillon-cli] [--channels 30] [--minutes 30]
                            [--sample 5] [--step-ms 3000]
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
from window_update import memory_line

PARAGRAPH = ("这是一篇用来测量阅读时内存的文章。它有标题、几段正文和一张小图，"
             "像新闻网站上的一篇普通报道那样。")


class Handler(http.server.BaseHTTPRequestHandler):
    lock = threading.Lock()
    articles = 0  # article pages served, guarded by lock

    def do_GET(self):
        host = f"http://127.0.0.1:{self.server.server_address[1]}"
        if self.path.startswith("/article/"):
            body = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>文章</title>"
                    "<style>body { font-family: serif; max-width: 40em; margin: auto }</style>"
                    f"</head><body><h1>文章 {self.path}</h1>"
                    "<svg width=\"320\" height=\"160\"><rect width=\"320\" height=\"160\" "
                    "fill=\"#ccddee\"/></svg>" +
                    "".join(f"<p>{PARAGRAPH * 3} {i}</p>" for i in range(30)) +
                    "</body></html>").encode()
            kind = "text/html; charset=utf-8"
            with Handler.lock:
                Handler.articles += 1
        else:
            key = hashlib.sha1(self.path.encode()).hexdigest()[:12]
            now = time.time()
            items = "".join(
                f"<item><title>新闻 {key} 第{i}条</title><link>{host}/article/{key}/{i}</link>"
                f"<description>{PARAGRAPH} 关于 {key} 的第 {i} 条新闻。</description>"
                f"<pubDate>{email.utils.formatdate(now - i * 600, usegmt=True)}</pubDate></item>"
                for i in range(20))
            body = ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel>'
                    f"<title>search</title>{items}</channel></rss>").encode()
            kind = "application/rss+xml; charset=utf-8"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--reader",
                        default=os.path.join(REPO, "build-bench", "bench", "window_reader"))
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--channels", type=int, default=30)
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--sample", type=float, default=5, help="minutes between samples")
    parser.add_argument("--step-ms", type=int, default=3000)
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}/search?q={{word}}"

    with tempfile.TemporaryDirectory(prefix="quillon-reading-") as root:
        folder = quillon_data_folder(root, base, os.path.abspath(args.cli), [],
                                     channels=[f"频道{i}" for i in range(args.channels)])
        env = dict(os.environ, QUILLON_DATA=folder, QT_QPA_PLATFORM="offscreen")
        started = time.monotonic()
        window = subprocess.Popen([os.path.abspath(args.reader), str(args.step_ms)], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            samples = [25.0]
            at = args.sample * 60
            while at <= args.minutes * 60 + 1:
                samples.append(at)
                at += args.sample * 60
            for at in samples:
                time.sleep(max(0.0, started + at - time.monotonic()))
                if window.poll() is not None:
                    sys.exit(f"the window ended with {window.returncode}")
                with Handler.lock:
                    articles = Handler.articles
                print(f"{at / 60:5.1f} min, {articles} articles opened: "
                      f"{memory_line(window.pid)}", flush=True)
        finally:
            window.send_signal(signal.SIGKILL)
            window.wait()
    server.shutdown()


if __name__ == "__main__":
    main()
