#!/usr/bin/python3
"""A real SMTP relay for the tests (aiosmtpd) on 127.0.0.1.

Usage: mail_relay.py OUT_FOLDER [--refuse-sender] [--refuse-recipient ADDR] [--silent]
                     [--no-8bitmime] [--helo-only] [--starttls CERT KEY]

Prints "PORT <n>" once it listens. Each accepted message is appended to
OUT_FOLDER/messages.jsonl (helo, sender, recipients, mail_options, data) with
what Python's email package makes of it under "parsed" (its headers, the
body decoded by its transfer encoding and character set, and any defects
found); each QUIT adds a line "QUIT" to OUT_FOLDER/quit.log. --silent accepts
connections and never answers. --no-8bitmime leaves 8BITMIME out of the EHLO
answer; --helo-only refuses EHLO as an old relay does. --starttls offers STARTTLS with
that certificate (and records whether each message came encrypted). The relay
stops by itself after ten minutes.
"""
import email
import email.policy
import email.utils
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
no_8bitmime = "--no-8bitmime" in args
helo_only = "--helo-only" in args
starttls = args[args.index("--starttls") + 1:args.index("--starttls") + 3] if "--starttls" in args else None
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


def readable_date(text):
    try:
        return email.utils.parsedate_to_datetime(text) is not None
    except (TypeError, ValueError):
        return False


def parse(raw):
    message = email.message_from_bytes(raw, policy=email.policy.compat32)
    body = message.get_payload(decode=True) or b""
    charset = message.get_content_charset() or "us-ascii"
    return {
        "date_readable": readable_date(message.get("Date")),
        "headers": [[name, value] for name, value in message.items()],
        "content_type": message.get_content_type(),
        "charset": charset,
        "transfer_encoding": message.get("Content-Transfer-Encoding", ""),
        "body": body.decode(charset, errors="replace"),
        "defects": [type(d).__name__ for d in message.defects],
    }


class Handler:
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if helo_only:
            return ["502 5.5.2 Error: command not recognized"]
        session.host_name = hostname
        if no_8bitmime:
            responses = [r for r in responses if r[4:].upper() != "8BITMIME"]
        return responses

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if refuse_sender:
            return "550 5.7.1 Sender refused"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
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
            "mail_options": envelope.mail_options,
            "data": envelope.original_content.decode("latin-1"),
            "encrypted": session.ssl is not None,
            "parsed": parse(envelope.original_content),
        }
        with open(os.path.join(out, "messages.jsonl"), "a") as f:
            f.write(json.dumps(record) + "\n")
        return "250 Message accepted for delivery"

    async def handle_QUIT(self, server, session, envelope):
        with open(os.path.join(out, "quit.log"), "a") as f:
            f.write("QUIT\n")
        return "221 Bye"


port = free_port()
options = {}
if starttls:
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(starttls[0], starttls[1])
    options = {"tls_context": context}
controller = Controller(Handler(), hostname="127.0.0.1", port=port, **options)
controller.start()
print("PORT %d" % port, flush=True)
while True:
    time.sleep(3600)
