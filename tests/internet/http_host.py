#!/usr/bin/python3
"""A small update host for the tests: serves a folder over HTTP on 127.0.0.1,
and misbehaves the way real networks do when asked to.

Usage: http_host.py ROOT LOG

Prints "PORT <n>" once it listens. Every request is appended to LOG as
"<path> cache-control=<value> pragma=<value>".

How a file is answered is chosen by files beside it:
  <name>.announce   holds a number: Content-Length announces that many bytes,
                    the file is sent as it is and the connection closed (a
                    download cut short, or a wrong announced length)
  <name>.mode       holds one of
                      nolength-cut   no Content-Length, half the file, then close
                      endless        no Content-Length, the file repeated forever
                      trickle MS     the right Content-Length, then one byte
                                     every MS milliseconds
                      chunked        the file in chunks, ended properly
                      chunked-cut    the file in chunks, closed before the end
                      redirect-loop  302 to the same path, for ever
A file named PORTAL in ROOT turns the host into a captive portal: every path,
whether it exists or not, is answered 200 with the same HTML page.
A missing file is answered 404 with the server's HTML error page.

The server stops by itself after ten minutes.
"""
import http.server
import os
import sys
import threading
import time

root, log_path = sys.argv[1], sys.argv[2]

PORTAL_PAGE = (b"<!DOCTYPE html>\n<html>\n<head><title>Welcome to the hotel network</title></head>\n"
               b"<body>\n<h1>Please log in to use the internet</h1>\n"
               b"<form action=\"/login\"><input name=\"room\"></form>\n</body>\n</html>\n")


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, fmt, *args):
        pass

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def begin(self, headers):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()

    def do_GET(self):
        with open(log_path, "a") as log:
            log.write("%s cache-control=%s pragma=%s\n" % (
                self.path, self.headers.get("Cache-Control"), self.headers.get("Pragma")))
        try:
            self.answer()
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def answer(self):
        if os.path.isfile(os.path.join(root, "PORTAL")):
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(PORTAL_PAGE)))
            self.end_headers()
            self.wfile.write(PORTAL_PAGE)
            return
        path = self.translate_path(self.path)
        if not os.path.isfile(path):
            super().do_GET()
            return
        if os.path.isfile(path + ".announce"):
            data = self.read(path)
            length = int(self.read(path + ".announce").strip())
            self.begin([("Content-Length", str(length))])
            self.wfile.write(data)
            self.wfile.flush()
            return
        if not os.path.isfile(path + ".mode"):
            super().do_GET()
            return
        mode = self.read(path + ".mode").decode().split()
        data = self.read(path)
        if mode[0] == "redirect-loop":
            self.send_response(302)
            self.send_header("Location", self.path)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif mode[0] == "nolength-cut":
            self.begin([])
            self.wfile.write(data[:len(data) // 2])
        elif mode[0] == "endless":
            self.begin([])
            block = (data or b"x") * max(1, 65536 // max(1, len(data)))
            while True:
                self.wfile.write(block)
        elif mode[0] == "trickle":
            gap = int(mode[1]) / 1000.0
            self.begin([("Content-Length", str(len(data)))])
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(gap)
        elif mode[0] in ("chunked", "chunked-cut"):
            # Chunked bodies need HTTP/1.1 in the status line.
            self.protocol_version = "HTTP/1.1"
            self.begin([("Transfer-Encoding", "chunked"), ("Connection", "close")])
            size = 1000
            for start in range(0, len(data), size):
                piece = data[start:start + size]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            if mode[0] == "chunked":
                self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("PORT %d" % server.server_address[1], flush=True)
threading.Timer(600, lambda: os._exit(0)).start()
server.serve_forever()
