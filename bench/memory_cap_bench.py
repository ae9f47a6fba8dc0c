#!/usr/bin/env python3
"""Memory cap: textorin-batch's peak memory with a page that allocates without end.

Serves generated pages on 127.0.0.1 and /hog, a page whose script fills 64-MiB
ArrayBuffers in a loop, keeping each; runs textorin-batch -q -j 4 over the pages
with the hogs spread among them, once for each --max-page-memory value, and
prints the peak PSS of textorin-batch with all its engine processes (sampled
every 0.05 s), the pages saved, each hog's outcome and the exit status.
"""

import argparse
import os
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

HOG = (b"<!DOCTYPE html><html><body><p>hog</p><script>const kept = []; for (;;) {"
       b" const block = new Uint8Array(64 << 20); block.fill(kept.length % 250 + 1);"
       b" kept.push(block); }</script></body></html>")
LIMIT_KB = 2 * 1024 * 1024


class Handler(cb.PageHandler):
    def do_GET(self):
        if self.path.startswith("/hog"):
            self.send_page(HOG)
        elif self.path.startswith("/page/"):
            self.send_page(cb.page_html(int(self.path.rsplit("/", 1)[1])))
        else:
            self.send_error(404)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--caps", default="1024", help="--max-page-memory values, in MiB")
    parser.add_argument("-n", "--pages", type=int, default=40)
    parser.add_argument("--hogs", type=int, default=1)
    parser.add_argument("-j", "--jobs", type=int, default=4)
    args = parser.parse_args()

    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    urls = ["%s/page/%d" % (base, n) for n in range(args.pages)]
    for h in range(args.hogs):
        urls.insert((h + 1) * len(urls) // (args.hogs + 1), "%s/hog/%d" % (base, h))

    print("%-22s %10s %7s %-36s %5s" % ("run", "peak PSS", "saved", "hog rows", "exit"))
    with tempfile.TemporaryDirectory(prefix="textorin-memory-") as work:
        for cap in [int(c) for c in args.caps.split(",")]:
            r = cb.run_batch([args.batch, "-q"], work, urls, "cap-%d" % cap,
                             ["-j", str(args.jobs), "--max-page-memory", str(cap)], every=0.05)
            hogs = [line.split("(", 1)[-1].rstrip(")\n") for line in r["lines"] if "/hog/" in line]
            print("%-22s %7.0f MB %7d %-36s %5d" % ("-j %d, cap %d MiB" % (args.jobs, cap),
                                                     r["peak"] / 1024, r["saved"],
                                                     "; ".join(hogs) or "none failed", r["code"]))
            print("  %s 2 GiB" % ("under" if r["peak"] < LIMIT_KB else "OVER"))
            if r["strays"]:
                print("  note: left %d engine processes" % len(r["strays"]))
    server.shutdown()


if __name__ == "__main__":
    main()
