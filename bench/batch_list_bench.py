#!/usr/bin/env python3
"""List benchmark: textorin-batch over a huge list and over an endless one.

Serves one tiny page for every path on 127.0.0.1 and measures:
- a generated list of --size-mb MB (default 200) of rows http://127.0.0.1:PORT/p/N, run
  with --settle 0: the time until the first "[1/" line, the time until a progress
  line shows the counted total, and the peak RSS of textorin-batch's own process
  (VmHWM, its engine aside) when --rows rows are done and the run is ended by SIGTERM;
- /dev/zero as the list: the RSS sampled for --zero-seconds (default 10) and the peak,
  then SIGTERM, and how long the program took to end.
Prints the figures and the memory bound (twice the list's size plus 300 MB).
"""

import argparse
import http.server
import os
import re
import signal
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import capture_bench as cb  # noqa: E402
ROOT = os.path.dirname(HERE)
PAGE = b"<!DOCTYPE html><html><body><p>tiny page</p></body></html>"
PROGRESS = re.compile(r"^\[(\d+)/(\d+|\?)\] ")


class Handler(cb.PageHandler):
    def do_GET(self):
        self.send_page(PAGE)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # the engine drops connections when it is ended


def status_kb(pid, field):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, ValueError, IndexError):
                continue
            children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def alive(pid):
    """True while the process runs (a zombie has ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def write_list(path, port, size):
    prefix = "http://127.0.0.1:%d/p/" % port
    with open(path, "w") as f:
        written, n = 0, 0
        while written < size:
            block = "".join("%s%d\n" % (prefix, i) for i in range(n, n + 100000))
            n += 100000
            f.write(block)
            written += len(block)
    return n


class Batch:
    """textorin-batch over one list: its progress lines as they come."""

    def __init__(self, program, list_path, folder, home):
        env = dict(os.environ, XDG_CONFIG_HOME=home, HOME=home)
        self.start = time.monotonic()
        self.proc = subprocess.Popen([program, "--settle", "0", "--folder", folder, list_path],
                                     env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True)
        self.first_row_s = None
        self.total_s = None
        self.total = None
        self.rows = 0
        self.peak_kb = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            match = PROGRESS.match(line)
            if not match:
                continue
            now = time.monotonic() - self.start
            self.rows = int(match.group(1))
            if self.first_row_s is None:
                self.first_row_s = now
            if self.total_s is None and match.group(2) != "?":
                self.total_s, self.total = now, int(match.group(2))

    def sample(self):
        self.peak_kb = max(self.peak_kb, status_kb(self.proc.pid, "VmHWM"))
        return status_kb(self.proc.pid, "VmRSS")

    def terminate(self):
        """SIGTERM; returns the seconds until the program ended and the processes it left."""
        self.sample()
        tree = descendants(self.proc.pid)
        sent = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        ended = time.monotonic() - sent
        # The program ends its engine's process groups itself; give them time to go.
        deadline = time.monotonic() + 5
        while True:
            left = [pid for pid in tree if alive(pid)]
            if not left or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        return ended, left


def mb(kb):
    return kb / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("--size-mb", type=int, default=200)
    parser.add_argument("--rows", type=int, default=50, help="rows to finish before SIGTERM")
    parser.add_argument("--zero-seconds", type=float, default=10)
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        sys.exit("no program at %s: build first" % args.program)

    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    notes = []
    with tempfile.TemporaryDirectory(prefix="textorin-list-bench-") as work:
        folder = os.path.join(work, "out")
        home = os.path.join(work, "home")
        os.mkdir(folder)
        os.mkdir(home)
        list_path = os.path.join(work, "list.txt")
        rows = write_list(list_path, port, args.size_mb * 1000 * 1000)
        list_mb = os.path.getsize(list_path) / (1024.0 * 1024.0)

        batch = Batch(args.program, list_path, folder, home)
        deadline = time.monotonic() + 120
        while batch.rows < args.rows and batch.proc.poll() is None and time.monotonic() < deadline:
            batch.sample()
            time.sleep(0.05)
        done_rows = batch.rows
        ended, left = batch.terminate()
        if left:
            notes.append("the list run left %d engine processes (ended by the benchmark)" % len(left))
        if done_rows < args.rows:
            notes.append("the list run finished only %d rows in 120 s" % done_rows)

        zero = Batch(args.program, "/dev/zero", folder, home)
        samples = []
        stop = time.monotonic() + args.zero_seconds
        while time.monotonic() < stop and zero.proc.poll() is None:
            samples.append(zero.sample())
            time.sleep(0.25)
        zero_ended, zero_left = zero.terminate()
        if zero_left:
            notes.append("the /dev/zero run left %d processes (ended by the benchmark)" % len(zero_left))
    server.shutdown()

    def seconds(value):
        return "%.2f s" % value if value is not None else "never"

    print("List of %.0f MB, %d rows, --settle 0:" % (list_mb, rows))
    print("  first \"[1/\" line         %s" % seconds(batch.first_row_s))
    print("  first counted total       %s%s" % (seconds(batch.total_s),
                                               " (%d rows)" % batch.total if batch.total else ""))
    print("  rows done at SIGTERM      %d" % done_rows)
    print("  peak RSS (VmHWM)          %.1f MB (bound %.0f MB)" % (mb(batch.peak_kb), 2 * list_mb + 300))
    print("  ended after SIGTERM in    %.2f s" % ended)
    print("/dev/zero for %.0f s:" % args.zero_seconds)
    if samples:
        print("  RSS first / last sample   %.1f MB / %.1f MB (%d samples)"
              % (mb(samples[0]), mb(samples[-1]), len(samples)))
    print("  peak RSS (VmHWM)          %.1f MB" % mb(zero.peak_kb))
    print("  ended after SIGTERM in    %.2f s" % zero_ended)
    for note in notes:
        print("Note: " + note)


if __name__ == "__main__":
    main()
