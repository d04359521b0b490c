#!/usr/bin/python3
"""A small update host for the tests: serves a folder over HTTP on 127.0.0.1.

Usage: http_host.py ROOT LOG

Prints "PORT <n>" once it listens. Every request is appended to LOG as
"<path> cache-control=<value> pragma=<value>". A file "<name>.announce"
beside a served file makes the server announce that many bytes in
Content-Length, send the file as it is and close the connection: a download
cut short. The server stops by itself after ten minutes.
"""
import http.server
import os
import sys
import threading

root, log_path = sys.argv[1], sys.argv[2]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        with open(log_path, "a") as log:
            log.write("%s cache-control=%s pragma=%s\n" % (
                self.path, self.headers.get("Cache-Control"), self.headers.get("Pragma")))
        path = self.translate_path(self.path)
        announce = path + ".announce"
        if os.path.isfile(path) and os.path.isfile(announce):
            with open(path, "rb") as f:
                data = f.read()
            with open(announce) as f:
                length = int(f.read().strip())
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(length))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.close_connection = True
            return
        super().do_GET()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print("PORT %d" % server.server_address[1], flush=True)
threading.Timer(600, lambda: os._exit(0)).start()
server.serve_forever()
