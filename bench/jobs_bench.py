#!/usr/bin/env python3
"""Parallel pages: textorin-batch -j 1, 4 and 16 side by side, in one run.

Serves generated pages on 127.0.0.1: /late/N answers after 0.3 s, /now/N at once.
For each --jobs value, loads 200 late pages and 500 immediate ones and prints the
pages per second, the peak PSS of textorin-batch with all its engine processes,
whether every file matches the --jobs 1 run, and the ratios against --jobs 1.
"""

import argparse
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

DELAY_S = 0.3


class Handler(cb.PageHandler):
    def do_GET(self):
        if self.path.startswith("/late/"):
            time.sleep(DELAY_S)
        try:
            n = int(self.path.rsplit("/", 1)[1])
        except ValueError:
            self.send_error(404)
            return
        self.send_page(cb.page_html(n))


def files_of(folder):
    result = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = f.read()
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--jobs", default="1,4,16")
    parser.add_argument("--late", type=int, default=200)
    parser.add_argument("--now", type=int, default=500)
    args = parser.parse_args()
    jobs = [int(j) for j in args.jobs.split(",")]

    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    sets = {"late": ["%s/late/%d" % (base, n) for n in range(args.late)],
            "now": ["%s/now/%d" % (base, n) for n in range(args.now)]}
    results = {}
    with tempfile.TemporaryDirectory(prefix="textorin-jobs-") as work:
        for kind, urls in sets.items():
            for j in jobs:
                name = "%s-j%d" % (kind, j)
                r = cb.run_batch([args.batch, "-q"], work, urls, name, ["-j", str(j)], every=0.25)
                r["files"] = files_of(os.path.join(work, name))
                results[(kind, j)] = r
                if r["strays"]:
                    print("note: -j %d left %d engine processes" % (j, len(r["strays"])))
    server.shutdown()

    print("%-34s %8s %9s %10s %6s %9s" % ("run", "pages", "pages/s", "peak PSS", "exit", "as -j %d" % jobs[0]))
    for kind, urls in sets.items():
        first = results[(kind, jobs[0])]
        for j in jobs:
            r = results[(kind, j)]
            label = "%d pages %s, -j %d" % (len(urls), "after 0.3 s" if kind == "late" else "at once", j)
            same = "same" if r["files"] == first["files"] else "DIFFERENT"
            print("%-34s %8d %9.2f %7.0f MB %6d %9s" % (label, r["saved"], r["rate"],
                                                        r["peak"] / 1024, r["code"], same))
    print()
    for kind in sets:
        first = results[(kind, jobs[0])]
        for j in jobs[1:]:
            r = results[(kind, j)]
            print("%s: -j %d is %.2fx the pages/s of -j %d, at %.2fx its peak memory"
                  % (kind, j, r["rate"] / first["rate"], jobs[0], r["peak"] / max(first["peak"], 1)))
    print("cores: %d" % os.cpu_count())


if __name__ == "__main__":
    main()
