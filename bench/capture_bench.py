#!/usr/bin/env python3
"""Capture benchmark: Textorin against a plain DevTools script and per-address peers.

Serves N generated pages, /slow (answered after 8 s) and /huge (30 MB of text/plain;
/huge-stream sends it without a Content-Length) on 127.0.0.1 and measures in one
run: pages per second of textorin-batch (default and --settle 0), of
bench/reference_cdp.py, and of lynx -dump and Chromium --dump-dom per address; the
peak PSS of textorin-batch's process tree; the CPU share of textorin-batch's and of
the window's own process while a page takes 8 s to arrive; how textorin-batch
fails the 30 MB page. Prints one table and the ratios.
"""

import argparse
import contextlib
import http.server
import json
import os
import re
import shutil
import signal
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CHROMIUM = "/usr/lib/chromium/chromium"
SLOW_S = 8
HUGE = b"huge text page line for the size limit\n" * (30 * 1024 * 1024 // 39)
SCRIPT_TEXT = re.compile(rb"script line \d+")  # written by each page's script
WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
         "omicron pi rho sigma tau upsilon phi chi psi omega").split()


def page_html(n):
    paragraphs = []
    for p in range(12):
        words = [WORDS[(n * 7 + p * 3 + i) % len(WORDS)] for i in range(40)]
        paragraphs.append("<p>%s.</p>" % " ".join(words))
    return ("<!DOCTYPE html><html><head><meta charset=utf-8><title>Page %d</title></head>"
            "<body><h1>Page %d</h1>%s<div id=s></div>"
            "<script>document.getElementById('s').textContent = 'script line ' + (%d * 2);"
            "</script></body></html>" % (n, n, "".join(paragraphs), n)).encode()


class PageHandler(http.server.BaseHTTPRequestHandler):
    """A quiet HTTP/1.1 handler for the benchmarks' page servers."""
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def send_page(self, body, kind="text/html; charset=utf-8"):
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Handler(PageHandler):
    def do_GET(self):
        kind = "text/html; charset=utf-8"
        if self.path.startswith("/slow"):
            time.sleep(SLOW_S)
            body = b"<html><body><p>slow page</p></body></html>"
        elif self.path.startswith("/huge"):
            body, kind = HUGE, "text/plain; charset=utf-8"
        elif self.path.startswith("/page/"):
            body = page_html(int(self.path.rsplit("/", 1)[1]))
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        if self.path.startswith("/huge-stream"):
            # The size shows only as the text arrives; the end of the connection ends it.
            self.close_connection = True
            self.send_header("Connection", "close")
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        for start in range(0, len(body), 1 << 20):
            self.wfile.write(body[start:start + (1 << 20)])


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are not news


def proc_stat(pid):
    """Fields of /proc/PID/stat after the command name (index 1 is the parent)."""
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()


def tree(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                children.setdefault(int(proc_stat(int(entry))[1]), []).append(int(entry))
            except OSError:
                pass
    found, stack = [], [pid]
    while stack:
        found.append(stack.pop())
        stack.extend(children.get(found[-1], []))
    return found


def pss_kb(pid):
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            return sum(int(line.split()[1]) for line in f if line.startswith("Pss:"))
    except OSError:
        return 0


def cpu_seconds(pid):
    fields = proc_stat(pid)
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Watched:
    """A program under test: its output lines and every process of its tree seen."""

    def __init__(self, command):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.proc = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True)
        self.lines, self.seen = [], set()
        self.reader = threading.Thread(target=self.read)
        self.reader.start()

    def read(self):
        for line in self.proc.stdout:
            self.lines.append(line)

    def rows_done(self):
        return sum(1 for line in self.lines if line.startswith("["))

    def tree_pss_kb(self):
        total = 0
        for pid in tree(self.proc.pid):
            try:
                self.seen.add((pid, proc_stat(pid)[19]))
            except OSError:
                continue
            total += pss_kb(pid)
        return total

    def alive(self):
        """The processes seen in the tree that still run, the program itself aside."""
        left = []
        for pid, start in self.seen:
            try:
                fields = proc_stat(pid)
            except OSError:
                continue
            if pid != self.proc.pid and fields[19] == start and fields[0] != "Z":
                left.append(pid)
        return left

    def finish(self, timeout=600):
        """Waits for the program; returns (and ends) the processes it left running."""
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.reader.join()
        deadline = time.monotonic() + 2
        while self.alive() and time.monotonic() < deadline:
            time.sleep(0.1)
        left = self.alive()
        for pid in left:
            os.kill(pid, signal.SIGKILL)
        return left


def write_list(work, urls):
    fd, path = tempfile.mkstemp(suffix=".txt", dir=work)
    with os.fdopen(fd, "w") as f:
        f.write("\n".join(urls))
    return path


def new_folder(work, name):
    path = os.path.join(work, name)
    os.mkdir(path)
    return path


def reference_texts(folder, urls):
    """{address: bytes} of what reference_cdp.py saved (NNNNN.txt in list order)."""
    texts = {}
    for number, url in enumerate(urls, 1):
        path = os.path.join(folder, "%05d.txt" % number)
        if os.path.exists(path):
            with open(path, "rb") as f:
                texts[url] = f.read()
    return texts


def report_texts(report, folder):
    """{address: bytes} of the rows textorin-batch's --report names as saved in FOLDER."""
    texts = {}
    with open(report) as f:
        for line in f:
            row = json.loads(line)
            if row.get("outcome") == "saved":
                with open(os.path.join(folder, row["file"]), "rb") as saved:
                    texts[row["address"]] = saved.read()
    return texts


def count_output(folder):
    """(files with text, files holding the scripted line)."""
    saved = scripted = 0
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        saved += bool(data.strip())
        scripted += bool(SCRIPT_TEXT.search(data))
    return saved, scripted


def run_sampled(command, out, every=0.5):
    """Runs COMMAND, sampling its tree's PSS (with the rows done) every EVERY seconds."""
    run = Watched(command)
    start, samples, cpu = time.monotonic(), [], 0.0
    while run.proc.poll() is None:
        samples.append((run.rows_done(), run.tree_pss_kb()))
        with contextlib.suppress(OSError):
            cpu = cpu_seconds(run.proc.pid)
        time.sleep(every)
    elapsed = time.monotonic() - start
    strays = run.finish()
    saved, scripted = count_output(out)
    return dict(elapsed=elapsed, rate=saved / elapsed, saved=saved, scripted=scripted, cpu=cpu,
                code=run.proc.returncode, samples=samples, strays=strays, lines=run.lines,
                peak=max((kb for _, kb in samples), default=0))


def run_batch(program, work, urls, name, extra=(), every=0.5):
    """PROGRAM --folder OUT [EXTRA] LISTFILE: textorin-batch or the reference script."""
    out = new_folder(work, name)
    return run_sampled(program + ["--folder", out] + list(extra) + [write_list(work, urls)], out,
                       every)


def per_address(command, work, name, urls):
    """Runs COMMAND URL once per address, its output saved as one file each."""
    out = new_folder(work, name)
    start = time.monotonic()
    for number, url in enumerate(urls, 1):
        with open(os.path.join(out, "%05d.txt" % number), "wb") as f:
            proc = subprocess.Popen(command + [url], stdout=f, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
            with contextlib.suppress(subprocess.TimeoutExpired):
                proc.wait(timeout=60)
            with contextlib.suppress(ProcessLookupError):
                os.killpg(proc.pid, signal.SIGKILL)  # helpers outliving the program
            proc.wait()
    elapsed = time.monotonic() - start
    saved, scripted = count_output(out)
    return dict(elapsed=elapsed, rate=saved / elapsed, saved=saved, scripted=scripted)


def waiting_cpu(command):
    """CPU share of COMMAND's own process from 1 s to 7 s after it starts."""
    run = Watched(command)
    time.sleep(1.0)
    c0, t0 = cpu_seconds(run.proc.pid), time.monotonic()
    time.sleep(3.0)
    run.tree_pss_kb()  # notes the engine's processes for the leftover check
    time.sleep(3.0)
    c1, t1 = cpu_seconds(run.proc.pid), time.monotonic()
    strays = run.finish(timeout=120)
    return (c1 - c0) / (t1 - t0) * 100.0, run, strays


def window_cpu(base):
    """The figure window_wait_bench prints for its own process."""
    program = os.path.join(ROOT, "build", "bench", "window_wait_bench")
    if not os.access(program, os.X_OK):
        return None, "not built", []
    _, run, strays = waiting_cpu([program, base + "/slow"])
    found = re.search(r"([\d.]+) % of one core", "".join(run.lines))
    return (float(found.group(1)) if found else None), "exit %s" % run.proc.returncode, strays


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-n", "--pages", type=int, default=500)
    parser.add_argument("--chromium-sample", type=int, default=30,
                        help="addresses for per-address Chromium (default 30)")
    parser.add_argument("--batch", default=os.path.join(ROOT, "build", "src", "textorin-batch"))
    args = parser.parse_args()

    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    urls = ["%s/page/%d" % (base, i) for i in range(args.pages)]
    work = tempfile.mkdtemp(prefix="textorin-bench-")
    rows, notes = [], []

    def row(name, value, detail=""):
        rows.append((name, value, detail))
        print("... %-30s %s" % (name, value), file=sys.stderr)  # progress while it runs

    def strays(name, pids):
        if pids:
            notes.append("%s left %d engine processes running (ended by the bench): %s"
                         % (name, len(pids), pids))

    def rate_row(name, r, of):
        peak = ", peak PSS %.0f MB" % (r["peak"] / 1024) if "peak" in r else ""
        row(name, "%.2f pages/s" % r["rate"], "%.1f s, %d/%d saved, %d with script text%s"
            % (r["elapsed"], r["saved"], of, r["scripted"], peak))
        strays(name, r.get("strays"))

    try:
        batch = [args.batch]
        a = run_batch(batch, work, urls, "default")
        rate_row("textorin-batch (default)", a, args.pages)
        b = run_batch(batch, work, urls, "settle0", ["--settle", "0"])
        rate_row("textorin-batch --settle 0", b, args.pages)
        ref = run_batch([sys.executable, os.path.join(HERE, "reference_cdp.py")], work, urls,
                        "reference")
        rate_row("reference_cdp.py (one tab)", ref, args.pages)

        l = None
        if shutil.which("lynx"):
            l = per_address(["lynx", "-dump", "-nolist"], work, "lynx", urls)
            rate_row("lynx -dump per address", l, args.pages)
        else:
            notes.append("lynx is not installed (scripts/setup.sh --bench)")
        sample = urls[:args.chromium_sample]
        command = [CHROMIUM, "--headless", "--disable-gpu", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update",
                   "--disable-sync", "--user-data-dir=" + os.path.join(work, "dump-profile")]
        if os.geteuid() == 0:
            command.append("--no-sandbox")
        c = per_address(command + ["--dump-dom"], work, "dumpdom", sample)
        rate_row("chromium --dump-dom per address", c, len(sample))

        first = max((kb for done, kb in a["samples"] if done <= 100), default=0)
        row("peak PSS, first 100 pages", "%.0f MB" % (first / 1024), "default run, program + engine")
        row("peak PSS, all %d pages" % args.pages, "%.0f MB" % (a["peak"] / 1024),
            "about %.1f CPU s in textorin-batch's own process" % a["cpu"])

        share, run, left = waiting_cpu([args.batch, "--folder", new_folder(work, "slow"),
                                        write_list(work, [base + "/slow"])])
        strays("textorin-batch (slow page)", left)
        row("batch CPU during an 8 s page", "%.2f %% of one core" % share,
            "main process, 1 s to 7 s; exit %d" % run.proc.returncode)
        share, detail, left = window_cpu(base)
        strays("window_wait_bench", left)
        row("window CPU during an 8 s page",
            "%.2f %% of one core" % share if share is not None else "n/a", detail)

        for path, name in (("/huge", "30 MB text/plain page"),
                           ("/huge-stream", "  same, no Content-Length")):
            h = run_batch(batch, work, [base + path], path[1:], every=0.05)
            strays("textorin-batch (%s)" % path, h["strays"])
            output = "".join(h["lines"])
            status = re.search(r"\[1/1\] (\w+)", output)
            reason = re.search(r"page too large[^\n]*", output)
            verdict = "%s: %s" % (status.group(1) if status else "no row",
                                  reason.group(0) if reason else "no size report")
            row(name, "%.0f MB peak PSS" % (h["peak"] / 1024),
                "%s; exit %d, %.1f s" % (verdict, h["code"], h["elapsed"]))
            if "FAILED: page too large" not in verdict:
                notes.append("%s was not failed as too large: %s" % (path, output.strip()))
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)

    print()
    for name, value, detail in rows:
        print("%-34s %-22s %s" % (name, value, detail))
    print()
    print("textorin default vs --settle 0:   %+.3f s per page"
          % (1 / a["rate"] - 1 / b["rate"]))
    print("textorin --settle 0 vs reference: %.2fx the pages per second" % (b["rate"] / ref["rate"]))
    for name, peer in (("lynx", l), ("per-address chromium", c)):
        if peer:
            print("textorin vs %-21s default %.2fx, --settle 0 %.2fx"
                  % (name + ":", a["rate"] / peer["rate"], b["rate"] / peer["rate"]))
    for note in notes:
        print("NOTE: " + note)
    return 0


if __name__ == "__main__":
    sys.exit(main())
