#!/usr/bin/env python3
"""Speed of record: textorin-batch against a DevTools script (1 and 4 tabs) and lynx, in one run.

Two sets served on 127.0.0.1: N generated static pages, and M pages of Python's
HTML manual (python3-doc: Sphinx pages with their style sheets, scripts and
images). For each set it runs textorin-batch with its defaults (-j 4, settle),
at -j 1, at -j 1 --settle 0, bench/reference_cdp.py with 4 tabs, with 1 tab
(innerText at the load event) and with 4 tabs each in a browser context of its
own (as textorin-batch keeps its rows apart), the 4-tab script again on Chromium's
headless shell (the engine textorin-batch runs), and lynx -dump once per address; prints pages per
second, the CPU seconds per page of each run with all its processes, and the
ratios against the 4-tab script (with --repeat N, every run N times in turn and
its median round; --before BATCH runs an earlier build beside it). Every file of the defaults is compared byte for
byte with the script's own innerText of the same page taken after it settles
(reference_cdp.py --settle). --jobs 1,2,4,8 adds a run for each -j.
"""

import argparse
import functools
import http.server
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402
import jobs_bench  # noqa: E402

MANUAL = "/usr/share/doc/python3/html"


class Files(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass


def serve(handler):
    server = cb.Server(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def manual_pages(count):
    found = sorted(os.path.relpath(os.path.join(folder, name), MANUAL)
                   for folder, _, names in os.walk(os.path.join(MANUAL, "library"), followlinks=True)
                   for name in names if name.endswith(".html"))
    step = max(1, len(found) // count)
    return found[::step][:count]


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command):
    cpu, start = children_cpu(), time.monotonic()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.monotonic() - start, children_cpu() - cpu


def textorin(program, work, name, urls, extra):
    out = cb.new_folder(work, name)
    report = os.path.join(work, name + ".jsonl")
    elapsed, cpu = timed([program, "-q", "--folder", out, "--report", report] + extra
                         + [cb.write_list(work, urls)])
    texts = cb.report_texts(report, out)
    return dict(elapsed=elapsed, cpu=cpu, saved=len(texts), texts=texts)


def reference(work, name, urls, extra):
    out = cb.new_folder(work, name)
    elapsed, cpu = timed([sys.executable, os.path.join(cb.HERE, "reference_cdp.py"), "--folder", out]
                         + extra + [cb.write_list(work, urls)])
    texts = cb.reference_texts(out, urls)
    return dict(elapsed=elapsed, cpu=cpu, saved=len(texts), texts=texts)


def lynx(work, name, urls):
    cpu = children_cpu()
    result = cb.per_address(["lynx", "-dump", "-nolist"], work, name, urls)
    return dict(elapsed=result["elapsed"], cpu=children_cpu() - cpu, saved=result["saved"], texts={})


def run_set(args, work, label, urls):
    runs = [("textorin defaults (-j 4)", lambda w: textorin(args.batch, w, label + "-default", urls, []))]
    for jobs in args.jobs:
        runs.append(("textorin -j %d" % jobs,
                     functools.partial(lambda j, w: textorin(args.batch, w, "%s-j%d" % (label, j), urls,
                                                             ["-j", str(j)]), jobs)))
    runs += [
        ("textorin -j 1 --settle 0",
         lambda w: textorin(args.batch, w, label + "-settle0", urls, ["-j", "1", "--settle", "0"])),
    ]
    if args.before:
        # An earlier build in the same rounds: before and after side by side.
        runs += [
            ("before: defaults (-j 4)", lambda w: textorin(args.before, w, label + "-before", urls, [])),
            ("before: -j 1 --settle 0",
             lambda w: textorin(args.before, w, label + "-before-settle0", urls, ["-j", "1", "--settle", "0"])),
        ]
    runs += [
        ("script, 4 tabs", lambda w: reference(w, label + "-ref4", urls, ["--tabs", "4"])),
        ("script, 1 tab", lambda w: reference(w, label + "-ref1", urls, ["--tabs", "1"])),
        # The same script on the engine textorin-batch runs.
        ("script, 4 tabs, shell",
         lambda w: reference(w, label + "-ref4s", urls, ["--tabs", "4", "--shell"])),
        # What keeping rows apart costs: the script's tabs each in a context of its own.
        ("script, 4 tabs, 4 contexts",
         lambda w: reference(w, label + "-ref4c", urls, ["--tabs", "4", "--contexts"])),
    ]
    if shutil.which("lynx"):
        runs.append(("lynx -dump", lambda w: lynx(w, label + "-lynx", urls)))
    # A first pass warms the server's file cache, so that no run pays for it alone.
    textorin(args.batch, work, label + "-warm-up", urls, [])
    # Rounds take every run in turn; each run's figure is its median round.
    rounds = {name: [] for name, _ in runs}
    for number in range(args.repeat):
        folder = os.path.join(work, "%s-round%d" % (label, number))
        os.mkdir(folder)
        for name, run in runs:
            rounds[name].append(run(folder))
    results = {name: sorted(done, key=lambda r: r["elapsed"])[len(done) // 2] for name, done in rounds.items()}
    settled = reference(work, label + "-settled", urls, ["--tabs", "4", "--settle"])["texts"]

    base = results["script, 4 tabs"]
    print("\n%s: %d pages" % (label, len(urls)))
    print("%-28s %8s %8s %10s %8s" % ("", "pages/s", "saved", "CPU s/page", "ratio"))
    for name, result in results.items():
        rate = result["saved"] / result["elapsed"]
        print("%-28s %8.2f %8d %10.3f %7.2fx" % (name, rate, result["saved"], result["cpu"] / len(urls),
                                                rate / (base["saved"] / base["elapsed"])))
    default = results["textorin defaults (-j 4)"]["texts"]
    exact = sum(1 for url, text in default.items() if settled.get(url) == text)
    print("defaults exact against the script's settled innerText: %d of %d" % (exact, len(urls)))
    for url in [u for u, text in default.items() if settled.get(u) != text][:3]:
        print("    differs: " + url)
    one, none = results.get("textorin -j 1"), results["textorin -j 1 --settle 0"]
    if one:
        print("settle at -j 1: %+.1f ms per page" % (1000 * (one["elapsed"] - none["elapsed"]) / len(urls)))


def run_scale(program, work, base, counts):
    """The defaults on ever more static pages: pages/s and peak PSS against the first count."""
    print("\nscale: textorin defaults on static pages")
    print("%-8s %8s %14s %8s %8s" % ("pages", "pages/s", "peak PSS MB", "rate", "PSS"))
    first = None
    for count in counts:
        result = cb.run_batch([program, "-q"], work, [base + "now/%d" % n for n in range(count)],
                              "scale-%d" % count)
        first = first or result
        print("%-8d %8.2f %14.0f %7.2fx %7.2fx" % (count, result["rate"], result["peak"] / 1024,
                                                  result["rate"] / first["rate"],
                                                  result["peak"] / first["peak"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--before", default="",
                        help="an earlier textorin-batch run in the same rounds, to compare builds")
    parser.add_argument("--static", type=int, default=200, help="generated pages (default 200)")
    parser.add_argument("--manual", type=int, default=100, help="manual pages (default 100)")
    parser.add_argument("--jobs", default="1", help="-j values to run besides the defaults (default 1)")
    parser.add_argument("--repeat", type=int, default=1,
                        help="rounds of every run, each figure the median round (default 1)")
    parser.add_argument("--scale", default="",
                        help="static page counts for the defaults' pages/s and peak PSS, e.g. 100,1000,5000")
    args = parser.parse_args()
    args.jobs = [int(j) for j in args.jobs.split(",") if j]
    if 1 not in args.jobs:
        args.jobs.insert(0, 1)

    static, static_base = serve(jobs_bench.Handler)
    sets = [("static", [static_base + "now/%d" % n for n in range(args.static)])]
    manual = None
    if args.manual and os.path.isdir(MANUAL):
        manual, manual_base = serve(functools.partial(Files, directory=MANUAL))
        sets.append(("manual", [manual_base + page for page in manual_pages(args.manual)]))
    elif args.manual:
        print("no Python manual: run scripts/setup.sh --bench", file=sys.stderr)
    work = tempfile.mkdtemp(prefix="speed-bench-")
    try:
        if args.scale:
            run_scale(args.batch, work, static_base, [int(n) for n in args.scale.split(",") if n])
        for label, urls in sets:
            run_set(args, work, label, urls)
    finally:
        static.shutdown()
        if manual:
            manual.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
