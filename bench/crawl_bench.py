#!/usr/bin/env python3
"""Crawl: a site followed by -r against the same pages given as a list, side by side.

Serves a generated site on 127.0.0.1: --pages pages (default 10000) of 20 links
each (a tree of 20 children a page, the rest links back into the site), and runs
textorin-batch over it twice with the same options (-q, -j 4, --wait 0):
- list: the --pages addresses in a list file;
- crawl: -r -l inf from the first page, which finds the same pages.
Both runs sample the program's own PSS (the engine aside) with the rows done;
the crawl's PSS at 1,000 pages and at the end tell whether memory stays flat.
Then a spider run (--spider -l 2) over --spider-addresses generated addresses
(default 100000: one page of 100 links to pages of 1000 links each), sampling
the PSS against the addresses listed. Prints pages/s, the ratio crawl/list and
the PSS figures.
"""

import argparse
import os
import shutil
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

LINKS = 20
SPIDER_FANOUT = 100


class Handler(cb.PageHandler):
    pages = 10000
    spider_links = 1000

    def do_GET(self):
        kind, _, number = self.path.strip("/").partition("/")
        if self.path == "/robots.txt":
            self.send_page(b"User-agent: *\nAllow: /\n", "text/plain")
        elif kind == "p" and number.isdigit() and int(number) < self.pages:
            self.send_page(site_page(int(number), self.pages))
        elif kind == "s" and number.isdigit():
            self.send_page(spider_page(int(number), self.spider_links))
        else:
            self.send_error(404)


def site_page(n, pages):
    children = [c for c in range(n * LINKS + 1, n * LINKS + LINKS + 1) if c < pages]
    others = [(n * 7919 + k * 104729) % pages for k in range(LINKS - len(children))]
    links = "".join('<li><a href="/p/%d">page %d</a></li>' % (t, t) for t in children + others)
    body = cb.page_html(n).decode()
    return body.replace("<div id=s>", "<ul>%s</ul><div id=s>" % links).encode()


def spider_page(n, links_per_page):
    if n == 0:
        targets = range(1, SPIDER_FANOUT + 1)
    else:
        targets = range(n * 1_000_000, n * 1_000_000 + links_per_page)
    links = "".join('<a href="/s/%d">%d</a> ' % (t, t) for t in targets)
    return ("<!DOCTYPE html><html><body><p>%d</p>%s</body></html>" % (n, links)).encode()


def run_sampled(command, count_lines, every=0.5):
    """(seconds, [(lines counted, program PSS kB)], exit code, output lines)."""
    run = cb.Watched(command)
    start, samples = time.monotonic(), []
    while run.proc.poll() is None:
        samples.append((count_lines(run.lines), cb.pss_kb(run.proc.pid)))
        time.sleep(every)
    elapsed = time.monotonic() - start
    run.finish()
    return elapsed, samples, run.proc.returncode, run.lines


def rows_done(lines):
    return sum(1 for line in lines if line.startswith("["))


def pss_at(samples, done):
    """The PSS of the first sample at or past DONE rows (or the last one)."""
    for count, kb in samples:
        if count >= done:
            return kb
    return samples[-1][1] if samples else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build", "src",
                                                          "textorin-batch"))
    parser.add_argument("--pages", type=int, default=10000)
    parser.add_argument("--spider-addresses", type=int, default=100000)
    args = parser.parse_args()
    Handler.pages = args.pages
    Handler.spider_links = max(1, args.spider_addresses // SPIDER_FANOUT)
    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    work = tempfile.mkdtemp(prefix="crawl-bench-")
    common = ["-q", "-j", "4", "--wait", "0", "--timeout", "30"]
    try:
        # -q prints failed rows only: -v's timeline is not wanted, so count files instead.
        urls = ["%s/p/%d" % (base, n) for n in range(args.pages)]
        list_out = cb.new_folder(work, "list")
        list_s, list_samples, list_code, _ = run_sampled(
            [args.program, "--folder", list_out] + common + [cb.write_list(work, urls)],
            lambda _lines: sum(len(files) for _, _, files in os.walk(list_out)))
        list_files = sum(len(files) for _, _, files in os.walk(list_out))
        crawl_out = cb.new_folder(work, "crawl")
        crawl_s, crawl_samples, crawl_code, crawl_lines = run_sampled(
            [args.program, "--folder", crawl_out, "-r", "-l", "inf"] + common + ["-u", base + "/p/0"],
            lambda _lines: sum(len(files) for _, _, files in os.walk(crawl_out)) - 1)
        crawl_files = sum(1 for _, _, files in os.walk(crawl_out) for f in files if f.endswith(".txt"))
        spider_out = cb.new_folder(work, "spider")
        spider_s, spider_samples, spider_code, spider_lines = run_sampled(
            [args.program, "--folder", spider_out, "--spider", "-l", "2"] + common + ["-u", base + "/s/0"],
            lambda lines: sum(1 for line in lines if line.startswith("http")))
        listed = sum(1 for line in spider_lines if line.startswith("http"))
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)

    list_rate, crawl_rate = list_files / list_s, crawl_files / crawl_s
    print("%-8s %8s %8s %8s %6s" % ("run", "pages", "seconds", "pages/s", "exit"))
    print("%-8s %8d %8.1f %8.2f %6d" % ("list", list_files, list_s, list_rate, list_code))
    print("%-8s %8d %8.1f %8.2f %6d" % ("crawl", crawl_files, crawl_s, crawl_rate, crawl_code))
    print("%-8s %8d %8.1f %8s %6d" % ("spider", listed, spider_s, "-", spider_code))
    print("crawl/list pages per second: %.2f" % (crawl_rate / list_rate if list_rate else 0))
    early, late = pss_at(crawl_samples, min(1000, crawl_files)), pss_at(crawl_samples, crawl_files)
    print("crawl program PSS: %d kB at 1,000 pages, %d kB at %d pages (%.2f)"
          % (early, late, crawl_files, late / early if early else 0))
    early, late = pss_at(spider_samples, min(10000, listed)), pss_at(spider_samples, listed)
    print("spider program PSS: %d kB at 10,000 addresses, %d kB at %d (%.2f)"
          % (early, late, listed, late / early if early else 0))
    if crawl_code or list_code or spider_code:
        print("".join(crawl_lines[-5:]))


if __name__ == "__main__":
    main()
