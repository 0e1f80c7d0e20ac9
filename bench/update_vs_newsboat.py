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
import resource
import shutil
import sqlite3
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

FEEDS = 50
ITEMS = 100
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

WORDS_ZH = "新闻 体育 足球 经济 科技 国际 市场 政府 会议 发布 增长 公司 城市 学生 天气 交通 文化 旅游".split()
WORDS_EN = "market growth council report storm league match policy energy science city rail".split()


def make_feed(index, rng):
    now = time.time()
    items = []
    for i in range(ITEMS):
        if rng.random() < 0.5:
            title = "".join(rng.choice(WORDS_ZH) for _ in range(rng.randint(4, 9)))
        else:
            title = " ".join(rng.choice(WORDS_EN) for _ in range(rng.randint(4, 10))).capitalize()
        title += f" {index}-{i}"
        words = []
        while len(" ".join(words).encode()) < rng.randint(200, 1500) - 40:
            words.append(rng.choice(WORDS_ZH + WORDS_EN))
        description = "<p>" + " ".join(words) + '</p><p><a href="http://example.test/">更多</a></p>'
        date = email.utils.formatdate(now - rng.randint(0, 20 * 86400), usegmt=True)
        items.append(
            "<item><title>{}</title><link>http://news{}.test/{}.html</link>"
            "<description><![CDATA[{}]]></description><author>记者{}</author>"
            "<guid>http://news{}.test/{}.html</guid><pubDate>{}</pubDate></item>".format(
                title, index, i, description, i % 7, index, i, date))
    return ('<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel>'
            "<title>Feed {0}</title><link>http://news{0}.test/</link>"
            "<description>Feed number {0}</description>{1}</channel></rss>").format(
                index, "".join(items)).encode()


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
    started = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - started
    if status != 0:
        sys.exit(f"{command[0]} failed: {process.stderr.read().decode(errors='replace')}")
    return elapsed, usage.ru_maxrss / 1024.0


def quillon_folder(root, base):
    folder = os.path.join(root, "quillon")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "data"))
    os.makedirs(os.path.join(folder, "document"))
    db = sqlite3.connect(os.path.join(folder, "data", "data.dat"))
    db.executescript(open(os.path.join(REPO, "data", "schema.sql")).read())
    db.executemany("insert into opml (opml_key, opml_xml_url, opml_html_url) values (?, ?, ?)",
                   [(f"频道{i}", f"{base}/feed{i}.xml", f"http://news{i}.test/") for i in range(FEEDS)])
    db.commit()
    db.close()
    settings = [50, 1, 30, 0, 0x00FA6464, 0x00FA64FA, 0x00DCFADC, 0x00FAC896, 0x00B432FA,
                0x00DCDC96, 0x00C896FA, 0x00F0FA96, 0x00DCDCDC]
    with open(os.path.join(folder, "data", "sysdata.dat"), "wb") as f:
        f.write(struct.pack("<13i", *settings))
    with open(os.path.join(folder, "data", "services.conf"), "w") as f:
        for key in ("baidu", "google", "yahoo", "sogou"):
            f.write(f"search.{key} = {base}\n")
    nodes = "".join(f"<KEYWORDNODE><ID>{i + 1}</ID><NODETYPE>KEY</NODETYPE><TEXT>频道{i}</TEXT></KEYWORDNODE>"
                    for i in range(FEEDS))
    with open(os.path.join(folder, "document", "keywordlist.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER'
                f"</NODETYPE><TEXT>我的频道</TEXT>{nodes}</KEYWORDTREE>")
    return folder


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
    quillon = [os.path.abspath(args.cli), "update", "--no-pauses"]

    results = {}
    with tempfile.TemporaryDirectory(prefix="quillon-e2e-") as root:
        for _ in range(args.runs):
            # Empty databases, then the same databases filled by the first run.
            q = quillon_folder(root, base)
            n = newsboat_folder(root, base)
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
