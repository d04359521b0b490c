#!/usr/bin/python3
"""A small update host for the tests: serves a folder over HTTP on 127.0.0.1,
and misbehaves the way real networks do when asked to.

Usage: http_host.py ROOT LOG [--tls CERT KEY]

With --tls it speaks https with that certificate. Prints "PORT <n>" once it
listens. Every request is appended to LOG as
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
                      redirect URL   302 to URL
                      gzip MB        MB megabytes of zeros, gzip-compressed, sent
                                     as Content-Encoding gzip whatever was asked
                      KIND W H       a W x H picture made here (the file's own
                                     bytes are not used); KIND is png,
                                     png-interlaced, png16, bmp, gif, jpeg,
                                     jpeg-progressive or jpeg-cmyk
                                     (picture_files.py)
A file named PORTAL in ROOT turns the host into a captive portal: every path,
whether it exists or not, is answered 200 with the same HTML page.
A missing file is answered 404 with the server's HTML error page.

The server stops by itself after ten minutes.
"""
import http.server
import os
import ssl
import sys
import threading
import time
import zlib

import picture_files

root, log_path = sys.argv[1], sys.argv[2]
tls = sys.argv[sys.argv.index("--tls") + 1:sys.argv.index("--tls") + 3] if "--tls" in sys.argv else None
made = {}
made_lock = threading.Lock()


def gzip_zeros(megabytes):
    packer = zlib.compressobj(9, zlib.DEFLATED, 31)
    block = b"\0" * (1 << 20)
    return b"".join(packer.compress(block) for _ in range(megabytes)) + packer.flush()


def made_once(key, make):
    with made_lock:
        if key not in made:
            made[key] = make()
        return made[key]

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
        if mode[0] in ("redirect-loop", "redirect"):
            self.send_response(302)
            self.send_header("Location", self.path if mode[0] == "redirect-loop" else mode[1])
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif mode[0] == "gzip":
            body = made_once(("gzip", mode[1]), lambda: gzip_zeros(int(mode[1])))
            self.begin([("Content-Encoding", "gzip"), ("Content-Length", str(len(body)))])
            self.wfile.write(body)
        elif mode[0] in picture_files.KINDS:
            body = made_once(tuple(mode), lambda: picture_files.make(mode[0], int(mode[1]), int(mode[2])))
            self.begin([("Content-Length", str(len(body)))])
            self.wfile.write(body)
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
            # Cut means cut: half the file. (All of it without the last
            # chunk is the whole file, which a client may rightly take.)
            body = data if mode[0] == "chunked" else data[:len(data) // 2]
            for start in range(0, len(body), size):
                piece = body[start:start + size]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            if mode[0] == "chunked":
                self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
if tls:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(tls[0], tls[1])
    # The handshake happens in the request's own thread, not in accept().
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
print("PORT %d" % server.server_address[1], flush=True)
threading.Timer(600, lambda: os._exit(0)).start()
server.serve_forever()
