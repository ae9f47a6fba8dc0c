#!/usr/bin/env python3
"""Row queue: a BEFORE and an AFTER textorin-batch side by side, in one run.

Serves generated pages on 127.0.0.1 and runs both programs over two lists:
- slow rows among fast ones: --slow-rows rows (default 2000), two in every ten
  answered after 0.5 s, with -q -j 4: rows per second; AFTER runs once more with -v,
  and its timeline lines give each page's idle time while a row was left to start;
- one host with a wait: --wait-rows rows (default 1200) with --wait 0.3 -j 4; the
  server notes when each listed document is asked for: the smallest gap between two
  of them, the gaps under the wait, and rows per second.
Prints one table and the ratios after/before.
"""

import argparse
import os
import re
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

SLOW_S = 0.5
WAIT_S = 0.3
FAR_S = 0.25  # gaps this far under the wait are not the few ms of the request's way
JOBS = "4"
# "timeline: row R page P at START ms: ready +A, answer +B, ... write +W ms": the
# page is free again at the start plus every step's time.
TIMELINE = re.compile(r"timeline: row (\d+) page (\d+) at (-?\d+) ms: (.*) ms$")
STEP = re.compile(r"\+(\d+)")


class Handler(cb.PageHandler):
    arrivals = []  # (monotonic time, path) of every /wait/N document asked for
    lock = threading.Lock()

    def do_GET(self):
        now = time.monotonic()
        kind, _, number = self.path.strip("/").partition("/")
        if kind not in ("fast", "slow", "wait") or not number.isdigit():
            self.send_error(404)
            return
        if kind == "wait":
            with self.lock:
                self.arrivals.append((now, self.path))
        elif kind == "slow":
            time.sleep(SLOW_S)
        self.send_page(cb.page_html(int(number)))


def page_idle_ms(lines):
    """(idle ms, loads, pages): per page, the gaps between the end of a load and the
    start of its next one, counting gaps that end by the run's last load start."""
    loads = [(int(m.group(1)), int(m.group(2)), int(m.group(3)),
              int(m.group(3)) + sum(int(n) for n in STEP.findall(m.group(4))))
             for m in map(TIMELINE.search, (line.rstrip("\n") for line in lines)) if m]
    if not loads:
        return None, 0, 0
    last_start = max(start for _, _, start, _ in loads)
    pages = {}
    for _, page, start, end in loads:
        pages.setdefault(page, []).append((start, end))
    idle = 0
    for spans in pages.values():
        spans.sort()
        for (_, end), (start, _) in zip(spans, spans[1:]):
            if start <= last_start:
                idle += max(0, start - end)
    return idle, len(loads), len(pages)


def host_gaps(arrivals):
    """(smallest gap s, the gaps under the wait as (s, path, next path), paths asked
    for more than once)."""
    arrivals = sorted(arrivals)
    gaps = [(b[0] - a[0], a[1], b[1]) for a, b in zip(arrivals, arrivals[1:])]
    repeated = len(arrivals) - len({path for _, path in arrivals})
    return (min(gaps)[0] if gaps else None), [g for g in gaps if g[0] < WAIT_S], repeated


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--before", default="/work/wt-before/build/src/textorin-batch")
    parser.add_argument("--after", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--slow-rows", type=int, default=2000)
    parser.add_argument("--wait-rows", type=int, default=1200)
    args = parser.parse_args()
    programs = {"before": args.before, "after": args.after}
    for name, path in programs.items():
        if not os.access(path, os.X_OK):
            parser.error("no %s program at %s" % (name, path))

    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    mixed = ["%s/%s/%d" % (base, "slow" if n % 10 in (3, 7) else "fast", n)
             for n in range(args.slow_rows)]
    waited = ["%s/wait/%d" % (base, n) for n in range(args.wait_rows)]
    rows, notes = [], []

    def run(label, who, urls, work, extra):
        r = cb.run_batch([programs[who], "-q", "-j", JOBS] + extra, work, urls,
                         "%s-%d" % (who, len(rows)), every=1.0)
        r.update(label=label, who=who, rows=len(urls), idle=None, gap=None, under=None,
                 far=None)
        failed = [line.strip() for line in r["lines"] if re.match(r"\[\d+/\d+\] ", line)]
        if r["saved"] != len(urls) or r["code"] != 0 or failed:
            notes.append("%s, %s: %d/%d saved, exit %d%s" % (label, who, r["saved"], len(urls),
                         r["code"], "; first failed: " + failed[0] if failed else ""))
        if r["strays"]:
            notes.append("%s, %s left %d engine processes (ended by the bench)"
                         % (label, who, len(r["strays"])))
        rows.append(r)
        print("... %-30s %-6s %.2f rows/s" % (label, who, r["rate"]), file=sys.stderr)
        return r

    try:
        with tempfile.TemporaryDirectory(prefix="textorin-queue-") as work:
            slow_label = "2 in 10 rows after 0.5 s"
            for who in programs:
                run(slow_label, who, mixed, work, [])
            r = run("  same, -v (timeline)", "after", mixed, work, ["-v"])
            idle, loads, pages = page_idle_ms(r["lines"])
            r["idle"] = idle
            if idle is None:
                notes.append("the -v run printed no timeline lines")
            elif loads != len(mixed):
                notes.append("the -v run's timeline has %d loads for %d rows" % (loads, len(mixed)))
            wait_label = "one host, --wait %.1f" % WAIT_S
            for who in programs:
                del Handler.arrivals[:]
                r = run(wait_label, who, waited, work, ["--wait", str(WAIT_S)])
                r["gap"], under, repeated = host_gaps(list(Handler.arrivals))
                far = [g for g in under if g[0] < FAR_S]
                r["under"], r["far"] = len(under), len(far)
                if far:
                    notes.append("%s, %s: gaps under %.2f s: %s" % (
                        wait_label, who, FAR_S, ", ".join("%s to %s %.0f ms" % (a, b, gap * 1000)
                                                         for gap, a, b in far[:10])))
                if repeated:
                    notes.append("%s, %s: %d documents were asked for twice"
                                 % (wait_label, who, repeated))
    finally:
        server.shutdown()

    print("%-26s %-6s %5s %5s %7s %10s %9s %9s %10s %4s" % (
        "set", "binary", "rows", "saved", "rows/s", "idle/row", "min gap", "gaps<%.1fs" % WAIT_S,
        "gaps<%.2fs" % FAR_S, "exit"))
    for r in rows:
        idle = "%.1f ms" % (r["idle"] / r["rows"]) if r["idle"] is not None else "-"
        gap = "%.3f s" % r["gap"] if r["gap"] is not None else "-"
        under, far = ("-" if r[k] is None else str(r[k]) for k in ("under", "far"))
        print("%-26s %-6s %5d %5d %7.2f %10s %9s %9s %10s %4d" % (
            r["label"], r["who"], r["rows"], r["saved"], r["rate"], idle, gap, under, far,
            r["code"]))
    print()
    for r in rows:
        if r["idle"] is not None:
            print("page idle while a row was left (after, -v): %.2f s in all, %.1f ms per row"
                  % (r["idle"] / 1000, r["idle"] / r["rows"]))
    for label in (slow_label, wait_label):
        before, after = (next(r for r in rows if r["label"] == label and r["who"] == who)
                         for who in programs)
        print("%s: after is %.2fx the rows/s of before" % (label, after["rate"] / before["rate"]))
    for note in notes:
        print("NOTE: " + note)
    return 0


if __name__ == "__main__":
    sys.exit(main())
