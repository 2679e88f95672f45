#!/usr/bin/env python3
"""Local HTTP server for the tests: serves one folder with Range requests.

Paths:
  /FILE                    the file, whole or by Range (206)
  /slow/RATE/FILE          the same, sent at about RATE bytes per second
Any missing file answers 404. The chosen port is printed on the first line of
standard output, so a test can start this on port 0 and read it back.
"""
import http.server
import os
import re
import socketserver
import sys
import threading
import time
import urllib.parse

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
CHUNK = 16384
TYPES = {".mp4": "video/mp4", ".m4a": "audio/mp4", ".m4s": "video/iso.segment",
         ".mpd": "application/dash+xml", ".html": "text/html; charset=utf-8",
         ".jpg": "image/jpeg", ".webm": "video/webm"}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def resolve(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        rate = 0
        m = re.match(r"^/slow/(\d+)(/.*)$", path)
        if m:
            rate, path = int(m.group(1)), m.group(2)
        full = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        if not full.startswith(ROOT + os.sep) or not os.path.isfile(full):
            return None, 0
        return full, rate

    def do_HEAD(self):
        self.serve(False)

    def do_GET(self):
        self.serve(True)

    def serve(self, with_body):
        full, rate = self.resolve()
        if full is None:
            body = b"not found"
            self.send_response(404)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if with_body:
                self.wfile.write(body)
            return
        size = os.path.getsize(full)
        start, end = 0, size - 1
        rng = self.headers.get("Range")
        m = re.match(r"bytes=(\d*)-(\d*)$", rng or "")
        if m and (m.group(1) or m.group(2)):
            if m.group(1):
                start = int(m.group(1))
                end = int(m.group(2)) if m.group(2) else size - 1
            else:
                start = max(0, size - int(m.group(2)))
            end = min(end, size - 1)
            if start > end:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        else:
            self.send_response(200)
        ext = os.path.splitext(full)[1].lower()
        self.send_header("Content-Type", TYPES.get(ext, "application/octet-stream"))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(end - start + 1))
        self.end_headers()
        if with_body:
            self.send_body(full, start, end, rate)

    def send_body(self, full, start, end, rate):
        began = time.monotonic()
        sent = 0
        # A slow body goes out in pieces of about a tenth of a second, so that even a small
        # file (a DASH segment) arrives over time rather than at once.
        step = min(CHUNK, max(1024, rate // 10)) if rate else CHUNK
        with open(full, "rb") as f:
            f.seek(start)
            left = end - start + 1
            while left > 0:
                data = f.read(min(step, left))
                if not data:
                    break
                try:
                    self.wfile.write(data)
                except (BrokenPipeError, ConnectionResetError):
                    return
                left -= len(data)
                sent += len(data)
                if rate:
                    ahead = sent / rate - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)


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


def main():
    threading.Thread(target=end_with_parent, daemon=True).start()
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
