#!/usr/bin/env python3
"""Answers that are no page: PDFs against pdftotext itself, JSON against HTML pages, in one run.

Generates N PDFs (1 to 10 pages of text lines each) and serves them on 127.0.0.1,
with N JSON answers and N HTML pages holding the same text. Runs textorin-batch -q
over the PDFs at -j 1 and -j 4, and over their local files (file: rows, read
without the engine); runs pdftotext -enc UTF-8 once per file, from the file and
from standard input (as textorin-batch runs it). Then textorin-batch over the JSON
answers and the HTML pages. Checks that every saved PDF text is pdftotext's own.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import capture_bench as cb  # noqa: E402


def pdf_escape(text):
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def make_pdf(pages):
    """A PDF of the given pages, each a list of lines in Helvetica."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None,
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"]
    kids = []
    for lines in pages:
        content = ("BT /F1 10 Tf 50 800 Td 13 TL "
                   + " ".join("(%s) '" % pdf_escape(line) for line in lines) + " ET").encode("latin-1")
        kids.append(len(objects) + 1)
        objects.append(("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << "
                        "/F1 3 0 R >> >> /Contents %d 0 R >>" % (len(objects) + 2)).encode())
        objects.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    objects[1] = ("<< /Type /Pages /Kids [%s] /Count %d >>"
                  % (" ".join("%d 0 R" % k for k in kids), len(kids))).encode()
    out, offsets = b"%PDF-1.4\n", []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return out


def document_lines(n):
    """Pages of lines for document n: 1 to 10 pages of 60 lines."""
    words = cb.WORDS
    return [["Document %d, page %d, line %d: %s" % (n, p, line, " ".join(
        words[(n + p + line + i) % len(words)] for i in range(12))) for line in range(60)]
        for p in range(1 + n % 10)]


class Handler(cb.PageHandler):
    answers = {}

    def do_GET(self):
        found = self.answers.get(self.path)
        if not found:
            self.send_error(404)
            return
        self.send_page(*found)


def timed(commands):
    start = time.monotonic()
    for command, stdin in commands:
        with open(stdin, "rb") if stdin else open(os.devnull, "rb") as source:
            subprocess.run(command, stdin=source, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(cb.ROOT, "build", "src", "textorin-batch"))
    parser.add_argument("-n", "--files", type=int, default=50)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="textorin-answers-") as work:
        pdfs = []
        for n in range(args.files):
            pages = document_lines(n)
            path = os.path.join(work, "doc%02d.pdf" % n)
            with open(path, "wb") as f:
                f.write(make_pdf(pages))
            pdfs.append(path)
            text = "\n".join("\n".join(lines) for lines in pages)
            Handler.answers["/pdf/%d.pdf" % n] = (open(path, "rb").read(), "application/pdf")
            Handler.answers["/json/%d" % n] = (
                ('{"document": %d, "text": "%s"}' % (n, text.replace("\n", "\\n"))).encode(), "application/json")
            Handler.answers["/html/%d" % n] = (
                ("<!DOCTYPE html><html><head><meta charset=utf-8></head><body><pre>%s</pre></body></html>"
                 % text).encode(), "text/html; charset=utf-8")
        server = cb.Server(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        base = "http://127.0.0.1:%d" % server.server_address[1]

        expected = {}
        for path in pdfs:
            expected[os.path.basename(path)] = subprocess.run(
                ["pdftotext", "-enc", "UTF-8", path, "-"], stdout=subprocess.PIPE, check=True).stdout
        runs = [("PDFs, -j 1", ["-j", "1"], ["%s/pdf/%d.pdf" % (base, n) for n in range(args.files)]),
                ("PDFs, -j 4", ["-j", "4"], ["%s/pdf/%d.pdf" % (base, n) for n in range(args.files)]),
                ("PDF files (file:), -j 4", ["-j", "4"], ["file://" + path for path in pdfs]),
                ("JSON answers, -j 4", ["-j", "4"], ["%s/json/%d" % (base, n) for n in range(args.files)]),
                ("HTML pages, -j 4", ["-j", "4"], ["%s/html/%d" % (base, n) for n in range(args.files)])]
        results = []
        for i, (label, options, urls) in enumerate(runs):
            results.append((label, cb.run_batch([args.batch, "-q"], work, urls, "run%d" % i, options)))
        mismatched = 0
        for i in range(3):
            folder = os.path.join(work, "run%d" % i)
            for name in os.listdir(folder):
                number = int(re.search(r"(\d+)\.pdf\.txt$", name).group(1))
                with open(os.path.join(folder, name), "rb") as f:
                    mismatched += f.read() != expected[os.path.basename(pdfs[number])]
        from_file = timed([(["pdftotext", "-enc", "UTF-8", path, os.path.join(work, "out.txt")], None)
                           for path in pdfs])
        from_stdin = timed([(["pdftotext", "-enc", "UTF-8", "-", "-"], path) for path in pdfs])
        server.shutdown()

    n = args.files
    print("%-26s %6s %9s %12s %10s" % ("run", "saved", "seconds", "ms per file", "peak PSS"))
    for label, r in results:
        print("%-26s %6d %9.2f %12.1f %7.0f MB" % (label, r["saved"], r["elapsed"], 1000 * r["elapsed"] / n,
                                                    r["peak"] / 1024))
    print("%-26s %6s %9.2f %12.1f" % ("pdftotext from the file", "", from_file, 1000 * from_file / n))
    print("%-26s %6s %9.2f %12.1f" % ("pdftotext from stdin", "", from_stdin, 1000 * from_stdin / n))
    print()
    for label, r in results[:3]:
        print("%s against pdftotext per file: %.1fx" % (label, r["elapsed"] / from_file))
    print("JSON answers against HTML pages of the same text: %.2fx the time"
          % (results[3][1]["elapsed"] / results[4][1]["elapsed"]))
    print("saved PDF texts that differ from pdftotext's: %d" % mismatched)
    for label, r in results:
        if r["code"] != 0 or r["strays"]:
            print("note: %s exited %s, left %d processes" % (label, r["code"], len(r["strays"])))


if __name__ == "__main__":
    main()
