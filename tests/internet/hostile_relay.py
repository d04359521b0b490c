#!/usr/bin/python3
"""A mail relay on 127.0.0.1 that misbehaves on purpose, one way per run.

Usage: hostile_relay.py LOG MODE

Prints "PORT <n>" once it listens. Every line the client sends is appended
to LOG. MODE is one of
  flood          greets, answers EHLO, then a moment later (during the pause
                 that follows) sends reply lines without end
  script         sends the replies of a whole successful conversation at
                 once on connecting and reads nothing
  noise-after    a proper conversation, but the 250 after the message is
                 followed by 64 KiB of noise
  broken-tls     offers STARTTLS, says 220 to it, then answers the handshake
                 with plain text
  silent-tls     offers STARTTLS, says 220 to it, then never says a word
                 more (nor closes)
  flood-reply    a proper greeting, then answers MAIL FROM with reply lines
                 without end (a reply that never ends while one is awaited)
The relay stops by itself after two minutes.
"""
import os
import socket
import sys
import threading
import time

log_path, mode = sys.argv[1], sys.argv[2]
threading.Timer(120, lambda: os._exit(0)).start()


def note(line):
    with open(log_path, "ab") as log:
        log.write(line + b"\n")


def lines(conn):
    buffer = b""
    while True:
        data = conn.recv(4096)
        if not data:
            return
        buffer += data
        while b"\r\n" in buffer:
            line, buffer = buffer.split(b"\r\n", 1)
            note(line)
            yield line


def conversation(conn):
    conn.sendall(b"220 relay ready\r\n")
    in_data = False
    for line in lines(conn):
        if in_data:
            if line == b".":
                in_data = False
                conn.sendall(b"250 accepted\r\n" + (b"x" * 1023 + b"\n") * 64)
            continue
        word = line.split(b" ")[0].upper()
        if word == b"EHLO":
            if mode in ("broken-tls", "silent-tls"):
                conn.sendall(b"250-relay\r\n250 STARTTLS\r\n")
            elif mode == "flood":
                conn.sendall(b"250 relay\r\n")
                time.sleep(0.1)
                block = b"250-flood " + b"f" * 1000 + b"\r\n"
                while True:
                    conn.sendall(block * 64)
            else:
                conn.sendall(b"250 relay\r\n")
        elif word == b"STARTTLS":
            conn.sendall(b"220 go ahead\r\n")
            if mode == "silent-tls":
                threading.Event().wait(60)
                return
            conn.sendall(b"this is no handshake\r\n" * 10)
        elif word == b"MAIL" and mode == "flood-reply":
            block = b"250-flood " + b"f" * 1000 + b"\r\n"
            while True:
                conn.sendall(block * 64)
        elif word == b"DATA":
            conn.sendall(b"354 go on\r\n")
            in_data = True
        elif word == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        else:
            conn.sendall(b"250 ok\r\n")


def serve(conn):
    try:
        if mode == "script":
            conn.sendall(b"220 hi\r\n250 hi\r\n250 ok\r\n250 ok\r\n250 ok\r\n354 go\r\n250 accepted\r\n221 bye\r\n")
            threading.Event().wait(60)
        else:
            conversation(conn)
    except OSError:
        pass
    finally:
        conn.close()


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(5)
print("PORT %d" % listener.getsockname()[1], flush=True)
while True:
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
