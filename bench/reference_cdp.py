#!/usr/bin/env python3
"""Reference capture: one headless Chromium over its DevTools pipe, K tabs (default 1).

Each tab takes the next address of LISTFILE: Page.navigate, wait for
Page.loadEventFired, read document.body.innerText and write it to DIR/NNNNN.txt.
With --settle the text is read again until it stays the same. Prints "saved X,
failed Y".
"""

import argparse
import fcntl
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

CHROMIUM = "/usr/lib/chromium/chromium"
HEADLESS_SHELL = "/usr/lib/chromium/chromium-headless-shell"
PAGE_TIMEOUT = 30


class DevTools:
    """Messages are JSON, each ended by a NUL byte: commands to fd 3, replies from fd 4."""

    def __init__(self, profile, program):
        commands_r, self.commands = os.pipe()
        self.replies, replies_w = os.pipe()
        # Above 4, so that putting one on 3 cannot overwrite the other.
        child_in = fcntl.fcntl(commands_r, fcntl.F_DUPFD_CLOEXEC, 10)
        child_out = fcntl.fcntl(replies_w, fcntl.F_DUPFD_CLOEXEC, 10)
        os.close(commands_r)
        os.close(replies_w)

        def give_pipe():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        command = [program, "--headless", "--remote-debugging-pipe", "--disable-gpu",
                   "--no-first-run", "--disable-background-networking", "--window-size=1280,800",
                   "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile]
        if os.geteuid() == 0:
            command.append("--no-sandbox")
        self.proc = subprocess.Popen(command, preexec_fn=give_pipe, close_fds=False,
                                     start_new_session=True, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(child_in)
        os.close(child_out)
        self.buffer = b""
        self.events = []
        self.last_id = 0

    def send(self, method, params=None, session=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self.commands, data):]
        return self.last_id

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.replies], [], [], left)[0]:
                raise TimeoutError
            chunk = os.read(self.replies, 1 << 20)
            if not chunk:
                raise EOFError("Chromium closed its pipe")
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def call(self, method, params=None, session=None, timeout=PAGE_TIMEOUT):
        """Sends a command and returns its result; events that arrive meanwhile are kept."""
        wanted = self.send(method, params, session)
        deadline = time.monotonic() + timeout
        while True:
            message = self.receive(deadline)
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError(message["error"].get("message", "error"))
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def wait_event(self, method, session, timeout=PAGE_TIMEOUT):
        deadline = time.monotonic() + timeout
        while True:
            while self.events:
                message = self.events.pop(0)
                if message["method"] == method and message.get("sessionId") == session:
                    return message
            message = self.receive(deadline)
            if "method" in message:
                self.events.append(message)

    def close(self):
        try:
            self.send("Browser.close")
            self.proc.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            pass
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)  # helpers the browser left behind
        except ProcessLookupError:
            pass
        self.proc.wait()
        os.close(self.commands)
        os.close(self.replies)


TEXT = {"expression": "document.body ? document.body.innerText : ''", "returnByValue": True}
SETTLE_POLL = 0.1    # with --settle: innerText is read again this often
SETTLE_STABLE = 0.5  # and taken once it has stayed the same this long
SETTLE_MOST = 5.0    # or this long after the load event


class Tabs:
    """K tabs of one browser, each loading the next address of the list as it is free."""

    def __init__(self, browser, urls, folder, tabs, settle, contexts=False):
        self.browser = browser
        self.folder = folder
        self.settle = settle
        self.queue = list(enumerate(urls, 1))[::-1]
        self.replies = {}   # command id -> (session, what)
        self.current = {}   # session -> the row's state
        self.timers = []    # (due, session)
        self.saved = self.failed = 0
        sessions = []
        # All tabs first: a call drops the replies of commands sent before it.
        for _ in range(min(tabs, len(urls))):
            params = {"url": "about:blank"}
            if contexts:
                params["browserContextId"] = browser.call("Target.createBrowserContext")["browserContextId"]
            target = browser.call("Target.createTarget", params)["targetId"]
            session = browser.call("Target.attachToTarget",
                                   {"targetId": target, "flatten": True})["sessionId"]
            browser.call("Page.enable", session=session)
            sessions.append(session)
        browser.events.clear()
        for session in sessions:
            self.start(session)

    def start(self, session):
        if not self.queue:
            return
        number, url = self.queue.pop()
        self.current[session] = {"number": number, "url": url, "deadline": time.monotonic() + PAGE_TIMEOUT,
                                 "loaded": None, "text": None, "since": None}
        self.replies[self.browser.send("Page.navigate", {"url": url}, session)] = (session, "navigate")

    def read_text(self, session):
        self.replies[self.browser.send("Runtime.evaluate", TEXT, session)] = (session, "text")

    def end(self, session, text=None, error=None):
        row = self.current.pop(session)
        if error is None:
            with open(os.path.join(self.folder, "%05d.txt" % row["number"]), "w", encoding="utf-8") as out:
                out.write(text)
            self.saved += 1
        else:
            print("failed %s: %s" % (row["url"], error), file=sys.stderr)
            self.failed += 1
        self.start(session)

    def on_text(self, session, message):
        row = self.current[session]
        text = message.get("result", {}).get("result", {}).get("value") or ""
        now = time.monotonic()
        if not self.settle:
            self.end(session, text)
            return
        if text != row["text"]:
            row["text"], row["since"] = text, now
        if now - row["since"] >= SETTLE_STABLE or now - row["loaded"] >= SETTLE_MOST:
            self.end(session, text)
        else:
            self.timers.append((now + SETTLE_POLL, session))

    def on_message(self, message):
        if "id" in message:
            session, what = self.replies.pop(message["id"], (None, None))
            if session not in self.current:
                return
            if "error" in message:
                self.end(session, error=message["error"].get("message", "error"))
            elif what == "navigate" and message.get("result", {}).get("errorText"):
                self.end(session, error=message["result"]["errorText"])
            elif what == "text":
                self.on_text(session, message)
        elif message.get("method") == "Page.loadEventFired":
            session = message.get("sessionId")
            if session in self.current and self.current[session]["loaded"] is None:
                self.current[session]["loaded"] = time.monotonic()
                self.read_text(session)

    def run(self):
        while self.current:
            now = time.monotonic()
            for due, session in [t for t in self.timers if t[0] <= now]:
                self.timers.remove((due, session))
                if session in self.current:
                    self.read_text(session)
            for session, row in list(self.current.items()):
                if now > row["deadline"]:
                    self.end(session, error="timed out")
            if not self.current:
                break
            wake = min([row["deadline"] for row in self.current.values()] + [t[0] for t in self.timers])
            try:
                self.on_message(self.browser.receive(max(wake, time.monotonic() + 0.001)))
            except TimeoutError:
                pass


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--tabs", type=int, default=1, help="pages loading at once (default 1)")
    parser.add_argument("--settle", action="store_true",
                        help="take innerText once it has stayed the same for %.1f s (at most %.0f s "
                             "after the load event)" % (SETTLE_STABLE, SETTLE_MOST))
    parser.add_argument("--contexts", action="store_true",
                        help="each tab in a browser context of its own")
    parser.add_argument("--shell", action="store_true",
                        help="run Chromium's headless shell instead of the full browser")
    parser.add_argument("listfile")
    args = parser.parse_args()
    with open(args.listfile) as f:
        urls = [line.strip() for line in f if line.strip()]

    profile = tempfile.mkdtemp(prefix="reference-cdp-")
    browser = DevTools(profile, HEADLESS_SHELL if args.shell else CHROMIUM)
    try:
        tabs = Tabs(browser, urls, args.folder, max(1, args.tabs), args.settle, args.contexts)
        tabs.run()
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    print("saved %d, failed %d" % (tabs.saved, tabs.failed))
    return 0 if tabs.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
