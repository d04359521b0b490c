#!/usr/bin/python3
"""A real SMTP relay for the tests (aiosmtpd) on 127.0.0.1.

Usage: mail_relay.py OUT_FOLDER [--refuse-sender] [--refuse-recipient ADDR] [--silent]

Prints "PORT <n>" once it listens. Each accepted message is appended to
OUT_FOLDER/messages.jsonl (helo, sender, recipients, data); each QUIT adds a
line "QUIT" to OUT_FOLDER/quit.log. --silent accepts connections and never
answers. The relay stops by itself after ten minutes.
"""
import json
import os
import socket
import sys
import threading
import time

out = sys.argv[1]
args = sys.argv[2:]
refuse_sender = "--refuse-sender" in args
refuse_recipient = args[args.index("--refuse-recipient") + 1] if "--refuse-recipient" in args else None
threading.Timer(600, lambda: os._exit(0)).start()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


if "--silent" in args:
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(5)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    held = []
    while True:
        conn, _ = listener.accept()
        held.append(conn)

from aiosmtpd.controller import Controller


class Handler:
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if refuse_sender:
            return "550 5.7.1 Sender refused"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == refuse_recipient:
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        record = {
            "helo": session.host_name,
            "sender": envelope.mail_from,
            "recipients": envelope.rcpt_tos,
            "data": envelope.original_content.decode("latin-1"),
        }
        with open(os.path.join(out, "messages.jsonl"), "a") as f:
            f.write(json.dumps(record) + "\n")
        return "250 Message accepted for delivery"

    async def handle_QUIT(self, server, session, envelope):
        with open(os.path.join(out, "quit.log"), "a") as f:
            f.write("QUIT\n")
        return "221 Bye"


port = free_port()
controller = Controller(Handler(), hostname="127.0.0.1", port=port)
controller.start()
print("PORT %d" % port, flush=True)
while True:
    time.sleep(3600)
