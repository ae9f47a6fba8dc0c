#!/usr/bin/env python3
"""Blocked resources on real manual pages: textorin-batch --block against the reference script.

Serves N pages of Debian's CMake manual (cmake-doc: Sphinx pages with their style
sheets, scripts and images) on 127.0.0.1 and, in one run, takes every page's text
with bench/reference_cdp.py (everything loaded, innerText at the load event) and
with textorin-batch under each --block choice. Prints pages per second and how
many files are byte for byte the reference's text.
"""

import argparse
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
MANUAL = "/usr/share/doc/cmake-data/html"
CHOICES = ["media", "none", "images,media", "images,media,fonts", "images,media,fonts,stylesheets"]


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def pages(count):
    found = []
    for folder, _, names in os.walk(MANUAL):
        for name in names:
            if name.endswith(".html") and name not in ("genindex.html", "search.html"):
                found.append(os.path.relpath(os.path.join(folder, name), MANUAL))
    found.sort()
    step = max(1, len(found) // count)
    return found[::step][:count]


def reference(work, urls):
    out = os.path.join(work, "reference")
    os.mkdir(out)
    listfile = os.path.join(work, "reference.txt")
    with open(listfile, "w") as f:
        f.write("\n".join(urls) + "\n")
    start = time.monotonic()
    subprocess.run([sys.executable, os.path.join(HERE, "reference_cdp.py"), "--folder", out, listfile],
                   check=False, stdout=subprocess.DEVNULL)
    elapsed = time.monotonic() - start
    return elapsed, cb.reference_texts(out, urls)


def textorin(program, work, urls, block, jobs):
    name = "block-" + block.replace(",", "-")
    out = os.path.join(work, name)
    os.mkdir(out)
    listfile = os.path.join(work, name + ".txt")
    with open(listfile, "w") as f:
        f.write("\n".join(urls) + "\n")
    report = os.path.join(work, name + ".jsonl")
    start = time.monotonic()
    subprocess.run([program, "-q", "-j", str(jobs), "--block", block, "--folder", out,
                    "--report", report, listfile], check=False, stdout=subprocess.DEVNULL)
    elapsed = time.monotonic() - start
    return elapsed, cb.report_texts(report, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("-n", "--pages", type=int, default=100)
    parser.add_argument("-j", "--jobs", type=int, default=4)
    args = parser.parse_args()
    if not os.path.isdir(MANUAL):
        sys.exit("no CMake manual: run scripts/setup.sh --bench")

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=MANUAL))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d/" % server.server_address[1]
    urls = [base + page for page in pages(args.pages)]
    work = tempfile.mkdtemp(prefix="block-bench-")
    try:
        ref_time, ref = reference(work, urls)
        print("%-34s %8s %8s %8s" % ("", "pages/s", "saved", "exact"))
        print("%-34s %8.2f %8d %8s" % ("reference script (all loaded)", len(ref) / ref_time, len(ref), "-"))
        for block in CHOICES:
            elapsed, texts = textorin(args.batch, work, urls, block, args.jobs)
            exact = sum(1 for url, text in texts.items() if ref.get(url) == text)
            differ = [url for url, text in texts.items() if url in ref and ref[url] != text]
            label = "textorin --block %s%s" % (block, " (default)" if block == "media" else "")
            print("%-34s %8.2f %8d %8d" % (label, len(texts) / elapsed, len(texts), exact))
            for url in differ[:3]:
                print("    differs: " + url[len(base):])
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
