#!/usr/bin/env python3
"""Capture benchmark: Textorin's batch front end against per-address peers.

Serves N generated pages on 127.0.0.1, then in one run:
  * textorin-batch over all N pages (one engine, one page object),
  * headless Chromium started once per address (--dump-dom) over a sample,
  * lynx -dump once per address over all N pages,
and prints pages per second, the ratios, Textorin's CPU seconds, the CPU share
of its main process while one slow (5 s) page loads, and the peak memory of
Textorin and its engine processes together.
"""

import argparse
import http.server
import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
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


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path.startswith("/slow"):
            time.sleep(5)
            body = b"<html><body><p>slow page</p></body></html>"
        elif self.path.startswith("/page/"):
            body = page_html(int(self.path.rsplit("/", 1)[1]))
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early (per-address peers exiting) are not news


def tree_rss_kb(pid):
    """Resident memory of a process and all its descendants, in KiB."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except OSError:
            continue
    total, stack = 0, [pid]
    while stack:
        p = stack.pop()
        stack.extend(children.get(p, []))
        try:
            with open("/proc/%d/status" % p) as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def run_textorin(batch, urls, folder, samples):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("\n".join(urls))
        listfile = f.name
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.monotonic()
    proc = subprocess.Popen([batch, "--folder", folder, listfile], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak, cpu = 0, 0.0
    while proc.poll() is None:
        peak = max(peak, tree_rss_kb(proc.pid))
        try:
            cpu = cpu_seconds(proc.pid)
        except OSError:
            pass
        samples.append((time.monotonic() - start, peak))
        time.sleep(0.1)
    elapsed = time.monotonic() - start
    os.unlink(listfile)
    return elapsed, cpu, peak, proc.returncode


def slow_page_cpu(batch, url, folder):
    """CPU share of the main process between 1 s and 4.5 s of a 5 s page load."""
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write(url + "\n")
        listfile = f.name
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    proc = subprocess.Popen([batch, "--folder", folder, listfile], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    c0, t0 = cpu_seconds(proc.pid), time.monotonic()
    time.sleep(3.5)
    c1, t1 = cpu_seconds(proc.pid), time.monotonic()
    proc.wait()
    os.unlink(listfile)
    return (c1 - c0) / (t1 - t0) * 100.0


def per_address(command, urls):
    start = time.monotonic()
    for url in urls:
        subprocess.run(command + [url], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
    return time.monotonic() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-n", "--pages", type=int, default=500)
    parser.add_argument("--chromium-sample", type=int, default=30,
                        help="addresses for the per-address Chromium peer (default 30)")
    parser.add_argument("--batch", default=os.path.join(ROOT, "build", "src", "textorin-batch"))
    args = parser.parse_args()

    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % server.server_address[1]
    urls = ["%s/page/%d" % (base, i) for i in range(args.pages)]
    work = tempfile.mkdtemp(prefix="textorin-bench-")
    try:
        out = os.path.join(work, "out")
        os.mkdir(out)
        samples = []
        t_elapsed, t_cpu, t_peak, code = run_textorin(args.batch, urls, out, samples)
        saved = len(os.listdir(out))
        t_rate = saved / t_elapsed

        chromium = shutil.which("chromium")
        c_rate = None
        if chromium:
            profile = os.path.join(work, "chromium-profile")
            command = [chromium, "--headless", "--no-sandbox", "--disable-gpu",
                       "--disable-background-networking", "--disable-component-update",
                       "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
                       "--dump-dom"]
            sample = urls[:args.chromium_sample]
            c_rate = len(sample) / per_address(command, sample)

        lynx = shutil.which("lynx")
        l_rate = None
        if lynx:
            l_rate = len(urls) / per_address([lynx, "-dump", "-nolist"], urls)

        slow_cpu = slow_page_cpu(args.batch, base + "/slow", out)
        first_half = max((p for t, p in samples if t <= t_elapsed / 2), default=0)

        print("pages: %d (saved %d, exit %d)" % (args.pages, saved, code))
        print("textorin-batch:          %8.1f pages/s  (%.1f s wall, %.1f CPU s main process)"
              % (t_rate, t_elapsed, t_cpu))
        if c_rate:
            print("chromium per address:    %8.2f pages/s  (sample of %d)"
                  % (c_rate, args.chromium_sample))
            print("  ratio textorin/chromium: %.1fx" % (t_rate / c_rate))
        if l_rate:
            print("lynx -dump per address:  %8.1f pages/s" % l_rate)
            print("  ratio textorin/lynx:     %.2fx" % (t_rate / l_rate))
        print("CPU of main process during a 5 s page: %.1f %% of one core" % slow_cpu)
        print("peak memory, program + engine: %.0f MB (first half of the run: %.0f MB)"
              % (t_peak / 1024, first_half / 1024))
    finally:
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
