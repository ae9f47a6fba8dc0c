#!/usr/bin/env python3
"""Hostile pages: each between two good ones, at -j 1 and -j 4, in one run.

Serves on 127.0.0.1 good pages and hostile ones (a history.pushState storm, a
memory hog, window.stop() while parsing, a script that navigates in a loop, a
page that hangs its renderer, a PDF, an endless redirect) and runs textorin-batch
over a list where every hostile row stands between two good rows. For each row it
prints the outcome and reason, and per run the exit status, the time, the peak
PSS of the program with its engine, whether every good row was saved with its own
text, and whether a profile folder was left behind.
"""

import argparse
import json
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402

HOSTILE = {
    "storm": "<p>storm</p><script>let n = 0; (function f() { for (let i = 0; i < 2000; ++i)"
             " history.pushState({}, '', '?s=' + (n++)); setTimeout(f, 0); })();</script>",
    "hog": "<p>hog</p><script>const kept = []; (function f() { const b = new Uint8Array(64 << 20);"
           " b.fill(7); kept.push(b); setTimeout(f, 10); })();</script>",
    "stop": "<p>stopped early</p><script>window.stop();</script><p>never parsed</p>"
            "<img src='/stall.png'>",
    "loop": "<p>loop</p><script>setTimeout(() => { location.href = '/hostile/loop?' + Date.now(); }, 10);"
            "</script>",
    "hang": "<p>hang</p><script>setTimeout(() => { for (;;) {} }, 50);</script>",
}

PDF = (b"%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>"
       b"endobj\n3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n")


class Handler(cb.PageHandler):
    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path.startswith("/good/"):
            self.send_page(("<html><body><p>good page %s</p></body></html>" % path[6:]).encode())
        elif path.startswith("/hostile/") and path[9:] in HOSTILE:
            self.send_page(("<html><body>%s</body></html>" % HOSTILE[path[9:]]).encode())
        elif path == "/hostile/pdf":
            self.send_page(PDF, "application/pdf")
        elif path == "/hostile/redirect":
            self.send_response(302)
            self.send_header("Location", "/hostile/redirect?" + str(time.monotonic_ns()))
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif path == "/stall.png":
            time.sleep(120)
        else:
            self.send_error(404)


def run(batch, urls, jobs, work, name, extra):
    folder = cb.new_folder(work, name)
    report = os.path.join(work, name + ".jsonl")
    listed = cb.write_list(work, urls)
    before = set(p for p in os.listdir(tempfile.gettempdir()) if p.startswith("textorin-"))
    started = time.monotonic()
    watched = cb.Watched([batch, "-q", "-j", str(jobs), "--folder", folder, "--report", report]
                         + extra + [listed])
    peak = 0
    while watched.proc.poll() is None:
        peak = max(peak, watched.tree_pss_kb())
        time.sleep(0.25)
    left = watched.finish()
    seconds = time.monotonic() - started
    after = set(p for p in os.listdir(tempfile.gettempdir()) if p.startswith("textorin-"))
    rows = []
    with open(report) as f:
        rows = [json.loads(line) for line in f if line.strip()]
    good_ok = all(r["outcome"] == "saved" for r in rows if "/good/" in r["address"])
    for r in rows:
        if "/good/" in r["address"] and r["outcome"] == "saved":
            with open(os.path.join(folder, r["file"])) as f:
                good_ok = good_ok and ("good page " + r["address"].rsplit("/", 1)[1]) in f.read()
    return {"exit": watched.proc.returncode, "seconds": seconds, "peak_mib": peak / 1024,
            "rows": rows, "good_ok": good_ok, "left_processes": len(left),
            "left_profiles": sorted(after - before)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--jobs", default="1,4")
    parser.add_argument("--timeout", default="20", help="--timeout for each page")
    parser.add_argument("extra", nargs="*", help="more textorin-batch options")
    args = parser.parse_args()

    server = cb.Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    urls, n = [], 0
    for hostile in list(HOSTILE) + ["pdf", "redirect"]:
        urls += ["%s/good/%d" % (base, n), "%s/hostile/%s" % (base, hostile)]
        n += 1
    urls.append("%s/good/%d" % (base, n))
    with tempfile.TemporaryDirectory(prefix="hostile-pass-") as work:
        for jobs in [int(j) for j in args.jobs.split(",")]:
            result = run(args.batch, urls, jobs, work, "j%d" % jobs, ["--timeout", args.timeout] + args.extra)
            print("-j %d: exit %d, %.1f s, peak PSS %.0f MiB, good rows %s, processes left %d, "
                  "profiles left %s" % (jobs, result["exit"], result["seconds"], result["peak_mib"],
                                        "all saved with their text" if result["good_ok"] else "LOST",
                                        result["left_processes"], result["left_profiles"] or "none"))
            for row in result["rows"]:
                if "/hostile/" in row["address"] or row["outcome"] != "saved":
                    print("   %-9s %-7s %s" % (row["address"].rsplit("/", 1)[1], row["outcome"],
                                                row.get("reason") or ""))
    server.shutdown()


if __name__ == "__main__":
    main()
