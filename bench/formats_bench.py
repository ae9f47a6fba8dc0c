#!/usr/bin/env python3
"""Output formats side by side: pages per second of each, against plain text, in one run.

Serves 300 generated article pages on 127.0.0.1 (a menu, a sidebar, an article of
headings, paragraphs, a list, a table and a code block, a footer) and runs
textorin-batch -q over them once for each of: text, text --main-content,
markdown, markdown --main-content, html and json.
"""

import argparse
import os
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

RUNS = [("text", []), ("text --main-content", ["--main-content"]),
        ("markdown", ["--format", "markdown"]),
        ("markdown --main-content", ["--format", "markdown", "--main-content"]),
        ("html", ["--format", "html"]), ("json", ["--format", "json"])]


def article(n):
    words = " ".join(cb.WORDS[(n + i) % len(cb.WORDS)] for i in range(60))
    paragraphs = "".join("<p>Paragraph %d of page %d: %s.</p>" % (p, n, words) for p in range(8))
    return ("<!DOCTYPE html><html lang=en><head><meta charset=utf-8><title>Article %d</title></head>"
            "<body><nav><a href=/>Home</a> <a href=/about>About</a></nav>"
            "<aside><h3>Related</h3><ul><li><a href=/r/1>One</a></li><li><a href=/r/2>Two</a></li></ul></aside>"
            "<article><h1>Article %d</h1>%s<h2>Details</h2><ul><li>first<ul><li>nested</li></ul></li></ul>"
            "<table><tr><th>Key</th><th>Value</th></tr><tr><td>n</td><td>%d</td></tr></table>"
            "<pre><code>value = %d\n</code></pre><p>See <a href=next.html>the next page</a>.</p></article>"
            "<footer>Footer</footer></body></html>" % (n, n, paragraphs, n, n)).encode()


class Handler(cb.PageHandler):
    def do_GET(self):
        try:
            body = article(int(self.path.rsplit("/", 1)[1]))
        except ValueError:
            self.send_error(404)
            return
        self.send_page(body)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("-n", "--pages", type=int, default=300)
    args = parser.parse_args()
    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    urls = ["http://127.0.0.1:%d/a/%d" % (server.server_address[1], n) for n in range(args.pages)]
    results = []
    with tempfile.TemporaryDirectory(prefix="textorin-formats-") as work:
        for i, (label, options) in enumerate(RUNS):
            r = cb.run_batch([args.batch, "-q"], work, urls, "run%d" % i, options)
            results.append((label, r))
    server.shutdown()
    base = results[0][1]["rate"]
    print("%-26s %7s %9s %10s %9s" % ("format", "pages", "pages/s", "peak PSS", "vs text"))
    for label, r in results:
        print("%-26s %7d %9.2f %7.0f MB %8.2fx" % (label, r["saved"], r["rate"], r["peak"] / 1024,
                                                  r["rate"] / base))


if __name__ == "__main__":
    main()
