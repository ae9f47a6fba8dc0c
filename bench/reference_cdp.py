#!/usr/bin/env python3
"""Reference capture: one headless Chromium over its DevTools pipe, one tab for every page.

For each address of LISTFILE: Page.navigate, wait for Page.loadEventFired, read
document.body.innerText and write it to DIR/NNNNN.txt. Prints "saved X, failed Y".
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
PAGE_TIMEOUT = 30


class DevTools:
    """Messages are JSON, each ended by a NUL byte: commands to fd 3, replies from fd 4."""

    def __init__(self, profile):
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

        command = [CHROMIUM, "--headless", "--remote-debugging-pipe", "--disable-gpu",
                   "--no-first-run", "--disable-background-networking",
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


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--folder", required=True)
    parser.add_argument("listfile")
    args = parser.parse_args()
    with open(args.listfile) as f:
        urls = [line.strip() for line in f if line.strip()]

    profile = tempfile.mkdtemp(prefix="reference-cdp-")
    browser = DevTools(profile)
    saved = failed = 0
    try:
        target = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.call("Target.attachToTarget",
                               {"targetId": target, "flatten": True})["sessionId"]
        browser.call("Page.enable", session=session)
        for number, url in enumerate(urls, 1):
            browser.events.clear()
            try:
                result = browser.call("Page.navigate", {"url": url}, session)
                if result.get("errorText"):
                    raise RuntimeError(result["errorText"])
                browser.wait_event("Page.loadEventFired", session)
                text = browser.call("Runtime.evaluate", {"expression": "document.body.innerText",
                                                         "returnByValue": True}, session)
                with open(os.path.join(args.folder, "%05d.txt" % number), "w",
                          encoding="utf-8") as out:
                    out.write(text["result"].get("value") or "")
                saved += 1
            except (RuntimeError, TimeoutError) as error:
                print("failed %s: %s" % (url, error or "timed out"), file=sys.stderr)
                failed += 1
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    print("saved %d, failed %d" % (saved, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
