#!/usr/bin/env python3
"""The tests' HTTP server: serves the folder given on 127.0.0.1, whole files or by Range.

/slow/RATE/FILE sends FILE at about RATE bytes a second; a missing file answers 404. The
port is printed on the first line, so a test starts this on port 0 and reads it back.
"""
import http.server
import os
import re
import socketserver
import sys
import threading
import time
import urllib.parse

ROOT = os.path.abspath(sys.argv[1])
CHUNK = 16384
TYPES = {".mp4": "video/mp4", ".m4a": "audio/mp4", ".m4s": "video/iso.segment",
         ".mpd": "application/dash+xml", ".html": "text/html; charset=utf-8",
         ".jpg": "image/jpeg", ".webm": "video/webm"}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.serve(False)

    def do_GET(self):
        self.serve(True)

    def resolve(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        slow = re.match(r"^/slow/(\d+)(/.*)$", path)
        rate, path = (int(slow.group(1)), slow.group(2)) if slow else (0, path)
        full = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        inside = full.startswith(ROOT + os.sep) and os.path.isfile(full)
        return (full if inside else None), rate

    def head(self, code, length, headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def serve(self, with_body):
        full, rate = self.resolve()
        if full is None:
            self.head(404, len(b"not found"), [("Content-Type", "text/plain")])
            if with_body:
                self.wfile.write(b"not found")
            return
        size = os.path.getsize(full)
        start, end, code = 0, size - 1, 200
        asked = re.match(r"bytes=(\d*)-(\d*)$", self.headers.get("Range") or "")
        if asked and (asked.group(1) or asked.group(2)):
            if asked.group(1):
                start = int(asked.group(1))
                end = min(int(asked.group(2) or size - 1), size - 1)
            else:
                start = max(0, size - int(asked.group(2)))
            if start > end:
                self.head(416, 0, [("Content-Range", "bytes */%d" % size)])
                return
            code = 206
        headers = [("Content-Type", TYPES.get(os.path.splitext(full)[1].lower(),
                                              "application/octet-stream")),
                   ("Accept-Ranges", "bytes")]
        if code == 206:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, end, size)))
        self.head(code, end - start + 1, headers)
        if with_body:
            self.send_body(full, start, end - start + 1, rate)

    def send_body(self, full, start, left, rate):
        began, sent = time.monotonic(), 0
        # A slow body goes out in pieces of about a tenth of a second, so that even a small
        # file (a DASH segment) arrives over time rather than at once.
        step = min(CHUNK, max(1024, rate // 10)) if rate else CHUNK
        with open(full, "rb") as f:
            f.seek(start)
            while left > 0:
                data = f.read(min(step, left))
                if not data:
                    return
                try:
                    self.wfile.write(data)
                except (BrokenPipeError, ConnectionResetError):
                    return
                left, sent = left - len(data), sent + len(data)
                if rate:
                    time.sleep(max(0, sent / rate - (time.monotonic() - began)))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that hangs up (a stopped download) is part of the tests, not a fault.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            super().handle_error(request, client_address)


def end_with_parent():
    # A test that dies (a sanitizer's report) must not leave the server holding the test
    # runner's output open: CTest would wait for it until its time limit.
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


if __name__ == "__main__":
    threading.Thread(target=end_with_parent, daemon=True).start()
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()
