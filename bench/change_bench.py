#!/usr/bin/env python3
"""Changes: a list run with a state, then the same run again over unchanged pages.

Serves --pages pages (default 1000; capture_bench's pages, a script each) on
127.0.0.1, each with an ETag, answering 304 Not Modified to a request that
names it, and runs textorin-batch -q -j 4 --state FILE over them twice:
- first: every page new, loaded and rendered in full;
- second: the same command; every page answers 304.
Prints pages/s of both, their ratio, the 304s the server answered, the
changes the second run's summary counts, and the state file's size per page.
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


class Handler(cb.PageHandler):
    pages = 1000
    full = 0
    not_modified = 0
    lock = threading.Lock()

    def do_GET(self):
        kind, _, number = self.path.strip("/").partition("/")
        if kind != "p" or not number.isdigit() or int(number) >= self.pages:
            self.send_error(404)
            return
        etag = '"v1-%s"' % number
        if self.headers.get("If-None-Match") == etag:
            with Handler.lock:
                Handler.not_modified += 1
            self.send_response(304)
            self.send_header("ETag", etag)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        with Handler.lock:
            Handler.full += 1
        body = cb.page_html(int(number))
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("ETag", etag)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def timed(command):
    run = cb.Watched(command)
    start = time.monotonic()
    run.finish()
    return time.monotonic() - start, run.proc.returncode, run.lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build", "src",
                                                          "textorin-batch"))
    parser.add_argument("--pages", type=int, default=1000)
    args = parser.parse_args()
    Handler.pages = args.pages
    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    work = tempfile.mkdtemp(prefix="change-bench-")
    try:
        urls = ["%s/p/%d" % (base, n) for n in range(args.pages)]
        out = cb.new_folder(work, "out")
        state = os.path.join(work, "state.sqlite")
        command = [args.program, "-q", "-j", "4", "--timeout", "30", "--folder", out, "--state", state,
                   cb.write_list(work, urls)]
        first_s, first_code, _ = timed(command)
        full_first = Handler.full
        second_s, second_code, lines = timed(command)
        state_bytes = os.path.getsize(state)
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)

    first_rate, second_rate = args.pages / first_s, args.pages / second_s
    print("%-8s %8s %8s %8s %6s" % ("run", "pages", "seconds", "pages/s", "exit"))
    print("%-8s %8d %8.1f %8.2f %6d" % ("first", args.pages, first_s, first_rate, first_code))
    print("%-8s %8d %8.1f %8.2f %6d" % ("second", args.pages, second_s, second_rate, second_code))
    print("second/first pages per second: %.2f" % (second_rate / first_rate if first_rate else 0))
    print("full loads in the second run: %d; 304 answers: %d" % (Handler.full - full_first, Handler.not_modified))
    print("".join(line for line in lines if line.startswith("Changes:")).strip())
    print("state file: %d bytes, %.0f bytes a page" % (state_bytes, state_bytes / args.pages))


if __name__ == "__main__":
    main()
