#!/usr/bin/env python3
"""The window's memory at rest: on a new data folder, or on one that holds a big database.

The window (`quillon`, offscreen) starts on the data folder and is left alone; the PSS of the
window and of all its processes (its WebEngine processes) is sampled at the given seconds
after start, with and without Mesa's software renderer, which a GPU driver replaces. With
--database the folder gets a copy of that file as data/data.dat (the bench's million-item
file, for one) and no update is made: its services point at a closed port.

    bench/window_memory.py [--window build/src/quillon] [--cli build/src/quillon-cli]
                           [--database FILE] [--tree FILE] [--at 25,60,300]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from bench_feeds import REPO, quillon_data_folder
from window_update import memory_line


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--window", default=os.path.join(REPO, "build", "src", "quillon"))
    parser.add_argument("--cli", default=os.path.join(REPO, "build", "src", "quillon-cli"))
    parser.add_argument("--database", help="a database file to copy into the data folder")
    parser.add_argument("--tree", help="a tree file (keywordlist.xml) to copy beside it")
    parser.add_argument("--at", default="25,60", help="seconds after start to sample, ascending")
    args = parser.parse_args()
    samples = [float(s) for s in args.at.split(",")]

    with tempfile.TemporaryDirectory(prefix="quillon-memory-") as root:
        # Searches and feeds go to a port where nothing listens: the window stays at rest.
        folder = quillon_data_folder(root, "http://127.0.0.1:9", args.cli)
        if args.database:
            target = os.path.join(folder, "data", "data.dat")
            for suffix in ("", "-wal", "-shm"):
                if os.path.exists(target + suffix):
                    os.remove(target + suffix)
            shutil.copyfile(args.database, target)
        if args.tree:
            shutil.copyfile(args.tree, os.path.join(folder, "document", "keywordlist.xml"))
        env = dict(os.environ, QUILLON_DATA=folder, QT_QPA_PLATFORM="offscreen")
        started = time.monotonic()
        window = subprocess.Popen([os.path.abspath(args.window)], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for at in samples:
                time.sleep(max(0.0, started + at - time.monotonic()))
                if window.poll() is not None:
                    sys.exit(f"the window ended early ({window.returncode})")
                print(f"{at:6.0f} s: {memory_line(window.pid)}", flush=True)
        finally:
            window.terminate()
            try:
                window.wait(timeout=30)
            except subprocess.TimeoutExpired:
                window.kill()


if __name__ == "__main__":
    main()
