"""The feeds and the data folder that the end-to-end update benchmarks share.

FEEDS feeds of ITEMS realistic items each: Chinese and English titles, 200-1500-byte HTML
descriptions, RFC 822 dates within the last 20 days.
"""

import email.utils
import os
import shutil
import sqlite3
import subprocess
import struct
import tempfile
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


def quillon_data_folder(root, base, cli, subscriptions=None, channels=None):
    """A Quillon data folder under `root` with each feed of `base` subscribed to its own
    channel; maximum pages 1, every search service pointed at `base`. `subscriptions`, a
    list of (channel, address), replaces the one feed per channel; the tree holds their
    channels in order of first appearance, then those of `channels` that have none. The quillon-cli `cli` lays it out (its database
    needs the program's search tokenizer)."""
    if subscriptions is None:
        subscriptions = [(f"频道{i}", f"{base}/feed{i}.xml") for i in range(FEEDS)]
    folder = os.path.join(root, "quillon")
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run([cli, "--data", folder, "folder"], check=True, stdout=subprocess.DEVNULL)
    db = sqlite3.connect(os.path.join(folder, "data", "data.dat"))
    db.executemany("insert into opml (opml_key, opml_xml_url, opml_html_url) values (?, ?, '')",
                   subscriptions)
    db.commit()
    db.close()
    settings = [50, 1, 30, 0, 0x00FA6464, 0x00FA64FA, 0x00DCFADC, 0x00FAC896, 0x00B432FA,
                0x00DCDC96, 0x00C896FA, 0x00F0FA96, 0x00DCDCDC]
    with open(os.path.join(folder, "data", "sysdata.dat"), "wb") as f:
        f.write(struct.pack("<13i", *settings))
    with open(os.path.join(folder, "data", "services.conf"), "w") as f:
        for key in ("baidu", "google", "yahoo", "sogou"):
            f.write(f"search.{key} = {base}\n")
    channels = list(dict.fromkeys([channel for channel, _ in subscriptions] + (channels or [])))
    nodes = "".join(f"<KEYWORDNODE><ID>{i + 1}</ID><NODETYPE>KEY</NODETYPE><TEXT>{name}</TEXT>"
                    "</KEYWORDNODE>" for i, name in enumerate(channels))
    with open(os.path.join(folder, "document", "keywordlist.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER'
                f"</NODETYPE><TEXT>我的频道</TEXT>{nodes}</KEYWORDTREE>")
    return folder


def run_measured(command, cwd=None, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE):
    """Runs `command` under GNU time: the finished process, wall and CPU seconds, peak MiB.

    The peak is GNU time's, not from this process's wait4: a child started from Python reports
    at least Python's own resident size at the moment it was started (Linux keeps the larger
    of the two across the exec), some 27 MiB while a feed server runs.
    """
    with tempfile.NamedTemporaryFile("r") as report:
        started = time.perf_counter()
        process = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + command,
                                 cwd=cwd, stdout=stdout, stderr=stderr)
        elapsed = time.perf_counter() - started
        # A failing command's report starts with a line of its own.
        user, system, peak = report.read().split()[-3:]
    return process, elapsed, float(user) + float(system), int(peak) / 1024.0
