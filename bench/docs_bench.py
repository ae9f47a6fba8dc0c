#!/usr/bin/env python3
"""Formats on real documentation: failed rows, fenced code and the main content, in one run.

Serves manual pages of Debian's documentation packages (Sphinx, Doxygen,
gi-docgen, rustdoc, mdBook, DocBook, AsciiDoc and Asciidoctor output;
scripts/setup.sh --bench installs them) from /usr/share on 127.0.0.1 and measures:

- rows failed by textorin-batch with --format markdown, --format markdown
  --main-content and --format text --main-content, and the rows whose report
  names a format_fallback;
- every <pre> the page shows, fenced in the markdown with its lines;
- main content right: of the generator's own main container, at least 98% of
  its characters (its lines, blanks collapsed) in the --main-content text file,
  and at most 5% of the navigation-only lines (the body's lines the container
  lacks) as lines of the file; the pages under 98% (losing body text) and
  those over 5% (keeping navigation) are counted apart;
- that --format text gives the body's text as the engine lays it out (the
  plain-text path), compared with the reference script's reading of each page.

The truth comes from a plain DevTools client (reference_cdp.py's) that loads
each page and reads the container, the body and each <pre> with innerText.
"""

import argparse
import functools
import glob
import http.server
import json
import os
import re
import shutil
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402
import reference_cdp as ref  # noqa: E402

SHARE = "/usr/share"
DOCBOOK = ("body > div[class]:not(.navheader):not(.navfooter)")
# (generator, package, glob or globs under /usr/share, pages taken, main container selector)
SETS = [
    ("Sphinx", "cmake-doc", "doc/cmake-doc/html/*/*.html", 20, "[role=main], div.body"),
    ("Sphinx", "developers-reference", "developers-reference/*.html", 10, "[role=main], div.body"),
    # Django's theme: the document column beside the sidebar, under the site's title line.
    ("Sphinx", "python-django-doc", ["doc/python-django-doc/html/%s/*.html" % part for part in
                                     ("faq", "howto", "internals", "intro", "misc", "ref", "topics")],
     20, "#yui-main"),
    ("Sphinx", "python-django-doc", "doc/python-django-doc/html/releases/*.*.*.html", 4, "#yui-main"),
    ("Sphinx", "python-django-doc", "doc/python-django-doc/html/releases/[1-4].[0-9].html", 6, "#yui-main"),
    ("Doxygen", "libjsoncpp-doc", "doc/libjsoncpp-doc/*.html", 20, "div.contents"),
    ("Doxygen", "libjsoncpp-doc", "doc/libjsoncpp-doc/*_source.html", 8, "div.contents"),
    ("Doxygen", "libjsoncpp-doc", "doc/libjsoncpp-doc/*-members.html", 8, "div.contents"),
    ("gi-docgen", "libpango1.0-doc", "doc/libpango1.0-doc/reference/Pango/*.html", 20,
     "section#main"),
    ("rustdoc", "cargo-doc", "doc/cargo/doc/*/*.html", 15, "#main-content"),
    ("rustdoc", "cargo-doc", "doc/cargo/doc/*/index.html", 7, "#main-content"),
    ("rustdoc", "rust-doc", ["doc/rust-doc/html/%s/index.html" % crate
                             for crate in ("alloc", "core", "proc_macro", "std", "test")], 5, "#main-content"),
    ("mdBook", "rust-doc", "doc/rust-doc/html/book/ch*.html", 20, "main"),
    ("mdBook", "rust-doc", "doc/rust-doc/html/nomicon/*.html", 5, "main"),
    ("DocBook", "maint-guide", "doc/maint-guide/html/*.en.html", 11, DOCBOOK),
    ("DocBook", "valgrind", "doc/valgrind/html/*.html", 10, DOCBOOK),
    ("DocBook", "valgrind", "doc/valgrind/html/*-manual.html", 10, DOCBOOK),
    ("DocBook", "ninja-build", "doc/ninja-build/manual.html", 1, DOCBOOK),
    ("AsciiDoc", "tig", "doc/tig/*.html", 4, "#content"),
    ("Asciidoctor", "ccache", "doc/ccache/manual.html", 1, "#content"),
]
# Indexes, search pages and mdBook's one page of the whole book.
SKIPPED = re.compile(r"(genindex|search|py-modindex|all|settings|help|print)\.html$")

# The body, each shown <pre> and the container (the largest match), as innerText.
# Heading permalinks (a lone mark linking to a fragment), which every converting
# format leaves out, are removed before the container and the body are read again
# for the main content.
TRUTH = """(() => {
  const text = (element) => element ? String(element.innerText) : null;
  const body = document.body;
  for (const element of body.querySelectorAll('*'))
    if (getComputedStyle(element).contentVisibility === 'auto')
      element.style.setProperty('content-visibility', 'visible', 'important');
  const pres = Array.from(body.querySelectorAll('pre'))
    .filter((pre) => pre.checkVisibility({ visibilityProperty: true }) && pre.innerText.trim())
    .map((pre) => pre.innerText);
  const whole = text(body);
  for (const link of body.querySelectorAll('h1 a, h2 a, h3 a, h4 a, h5 a, h6 a'))
    if (/^[\u00b6\u00a7#]?$/.test(link.textContent.trim()) && /^#|^$/.test(link.getAttribute('href') || '')
        && !link.querySelector('img'))
      link.remove();
  let container = null;
  for (const element of document.querySelectorAll(%s))
    if (!container || element.innerText.length > container.innerText.length)
      container = element;
  return { container: text(container), body: whole, mainBody: text(body), pres };
})()"""


class QuietFiles(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def pages():
    """(generator, package, path under /usr/share, selector) for each page of the set."""
    chosen = []
    taken = set()
    for generator, package, pattern, count, selector in SETS:
        patterns = [pattern] if isinstance(pattern, str) else pattern
        files = sorted(f for p in patterns for f in glob.glob(os.path.join(SHARE, p)) if not SKIPPED.search(f))
        if not files:
            print("missing: %s (scripts/setup.sh --bench installs it)" % package, file=sys.stderr)
            continue
        step = max(1, len(files) // count)
        for path in [f for f in files[::step] if f not in taken][:count]:
            taken.add(path)
            chosen.append((generator, package, os.path.relpath(path, SHARE), selector))
    return chosen


def truth(urls_and_selectors, settle):
    """What a plain client reads of each page: container, body and <pre> texts."""
    profile = tempfile.mkdtemp(prefix="docs-bench-cdp-")
    browser = ref.DevTools(profile, ref.CHROMIUM)
    found = []
    try:
        target = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        browser.call("Page.enable", session=session)
        for url, selector in urls_and_selectors:
            browser.events.clear()
            browser.call("Page.navigate", {"url": url}, session)
            browser.wait_event("Page.loadEventFired", session)
            time.sleep(settle)
            result = browser.call("Runtime.evaluate", {"expression": TRUTH % json.dumps(selector),
                                                       "returnByValue": True}, session)
            found.append(result["result"].get("value") or {})
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    return found


def squeeze(text):
    return re.sub(r"\s+", " ", text).strip()


def lines_of(text):
    return [line for line in (squeeze(part) for part in (text or "").split("\n")) if line]


def main_content_right(container, body, saved):
    """(share of the container's characters in the file, share of navigation-only lines in it)."""
    kept_lines = lines_of(container)
    file_text = squeeze(saved)
    file_lines = set(lines_of(saved))
    total = sum(len(line) for line in kept_lines) or 1
    present = sum(len(line) for line in kept_lines if line in file_text)
    own = set(kept_lines)
    navigation = [line for line in dict.fromkeys(lines_of(body)) if line not in own]
    shown = sum(1 for line in navigation if line in file_lines)
    return present / total, shown / len(navigation) if navigation else 0.0


# A fenced block, indented as in a list item or not.
FENCE = re.compile(r"^([ \t]*)(`{3,}|~{3,})[^\n`]*\n(.*?)\n\1\2[ \t]*$", re.M | re.S)


def code_lines(text, indent=""):
    lines = [line[len(indent):] if line.startswith(indent) else line for line in text.split("\n")]
    return "\n".join(line.rstrip() for line in lines).replace("\u00a0", " ").strip("\n")


def fenced(markdown, pres):
    """How many of PRES the markdown holds as a fenced block with the same lines."""
    blocks = {code_lines(m.group(3), m.group(1)) for m in FENCE.finditer(markdown)}
    return sum(1 for pre in pres if code_lines(pre) in blocks)


def run(batch, work, urls, name, options):
    """Runs textorin-batch over URLS; (folder, report lines by address, exit code)."""
    folder = cb.new_folder(work, name)
    report = os.path.join(work, name + ".jsonl")
    r = cb.run_sampled([batch, "-q", "--folder", folder, "--report", report] + options
                       + [cb.write_list(work, urls)], folder)
    with open(report, encoding="utf-8") as f:
        rows = [json.loads(line) for line in f if line.strip()]
    return folder, {row["address"]: row for row in rows}, r["code"]


def read_saved(folder, row):
    if not row or not row.get("file"):
        return None
    with open(os.path.join(folder, row["file"]), encoding="utf-8") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--settle", type=float, default=1.0,
                        help="seconds the reference waits after the load event")
    parser.add_argument("--only", metavar="REGEX", help="only the pages whose path matches")
    parser.add_argument("-v", "--verbose", action="store_true", help="name each page that misses")
    args = parser.parse_args()
    chosen = [page for page in pages() if not args.only or re.search(args.only, page[2])]
    server = cb.Server(("127.0.0.1", 0), functools.partial(QuietFiles, directory=SHARE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d/" % server.server_address[1]
    urls = [base + path for _, _, path, _ in chosen]
    found = truth([(url, selector) for url, (_, _, _, selector) in zip(urls, chosen)], args.settle)

    with tempfile.TemporaryDirectory(prefix="textorin-docs-") as work:
        runs = {}
        for name, options in [("text", ["--format", "text"]),
                              ("markdown", ["--format", "markdown"]),
                              ("markdown-main", ["--format", "markdown", "--main-content"]),
                              ("text-main", ["--format", "text", "--main-content"])]:
            runs[name] = run(args.batch, work, urls, name, options)
        server.shutdown()

        per_generator = {}
        misses = []
        for url, (generator, package, path, _), seen in zip(urls, chosen, found):
            g = per_generator.setdefault(generator, dict(pages=0, failed=0, format_fallback=0,
                                                         pres=0, fenced=0, main=0, measured=0,
                                                         text_same=0, fallback=0, lost=0,
                                                         navigation=0))
            g["pages"] += 1
            for name in ("markdown", "markdown-main", "text-main"):
                row = runs[name][1].get(url, {})
                g["failed"] += row.get("outcome") != "saved"
                g["format_fallback"] += bool(row.get("format_fallback"))
            text = read_saved(runs["text"][0], runs["text"][1].get(url))
            g["text_same"] += text is not None and text == seen.get("body")
            markdown = read_saved(runs["markdown"][0], runs["markdown"][1].get(url)) or ""
            pres = seen.get("pres", [])
            got = fenced(markdown, pres)
            g["pres"] += len(pres)
            g["fenced"] += got
            if got < len(pres):
                misses.append("%s: %d of %d <pre> fenced" % (path, got, len(pres)))
            main_row = runs["text-main"][1].get(url)
            g["fallback"] += bool(main_row and main_row.get("fallback"))
            saved = read_saved(runs["text-main"][0], main_row)
            if seen.get("container") is None or saved is None:
                misses.append("%s: no container or no file" % path)
                continue
            g["measured"] += 1
            kept, navigation = main_content_right(seen["container"], seen["mainBody"], saved)
            g["lost"] += kept < 0.98
            g["navigation"] += navigation > 0.05
            if kept >= 0.98 and navigation <= 0.05:
                g["main"] += 1
            else:
                misses.append("%s: main content %.1f%% kept, %.1f%% of navigation" %
                              (path, kept * 100, navigation * 100))

    print("%-12s %5s %6s %9s %11s %11s %5s %8s %9s %10s" % (
        "generator", "pages", "failed", "fmt-fb", "pre fenced", "main right", "lost", "nav kept",
        "fallback", "text same"))
    total = {k: 0 for k in ("pages", "failed", "format_fallback", "pres", "fenced", "main",
                            "measured", "text_same", "fallback", "lost", "navigation")}
    row = "%-12s %5d %6d %9d %5d/%-5d %5d/%-5d %5d %8d %9d %5d/%-4d"
    for generator, g in per_generator.items():
        for k in total:
            total[k] += g[k]
        print(row % (generator, g["pages"], g["failed"], g["format_fallback"], g["fenced"], g["pres"],
                     g["main"], g["measured"], g["lost"], g["navigation"], g["fallback"], g["text_same"],
                     g["pages"]))
    t = total
    print(row % ("all", t["pages"], t["failed"], t["format_fallback"], t["fenced"], t["pres"], t["main"],
                 t["measured"], t["lost"], t["navigation"], t["fallback"], t["text_same"], t["pages"]))
    pages_count = max(1, t["pages"])
    print("main content right on %.1f%% of pages; losing body text (under 98%%) on %.1f%%, "
          "navigation kept (over 5%%) on %.1f%%; exit codes: %s" % (
              100.0 * t["main"] / pages_count, 100.0 * t["lost"] / pages_count,
              100.0 * t["navigation"] / pages_count,
        ", ".join("%s %d" % (name, r[2]) for name, r in runs.items())))
    if args.verbose:
        for line in misses:
            print("  " + line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
