#!/usr/bin/python3
"""A server certificate that fails in one way, for the tests of what the
Online System says about a host that cannot prove its identity.

Usage: make_certificate.py FOLDER KIND

FOLDER holds ca.pem and ca.key (the authority the Online System trusts);
writes server.pem and server.key there. KIND is one of
  self-signed    signed by its own key, not by the authority
  expired        signed by the authority, valid until yesterday
  not-yet-valid  signed by the authority, valid from tomorrow on
  wrong-name     signed by the authority, for elsewhere.example only
"""
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

folder, kind = sys.argv[1], sys.argv[2]
now = datetime.datetime.now(datetime.timezone.utc)
key = ec.generate_private_key(ec.SECP256R1())
subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")])

if kind == "self-signed":
    issuer_name, signing_key = subject, key
else:
    with open(os.path.join(folder, "ca.pem"), "rb") as f:
        issuer_name = x509.load_pem_x509_certificate(f.read()).subject
    with open(os.path.join(folder, "ca.key"), "rb") as f:
        signing_key = serialization.load_pem_private_key(f.read(), password=None)

not_before, not_after = now - datetime.timedelta(hours=1), now + datetime.timedelta(days=2)
if kind == "expired":
    not_before, not_after = now - datetime.timedelta(days=10), now - datetime.timedelta(days=1)
elif kind == "not-yet-valid":
    not_before, not_after = now + datetime.timedelta(days=1), now + datetime.timedelta(days=10)

names = [x509.DNSName("elsewhere.example")] if kind == "wrong-name" else [
    x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("localhost")]
if kind == "wrong-name":
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "elsewhere.example")])

certificate = (x509.CertificateBuilder()
               .subject_name(subject)
               .issuer_name(issuer_name)
               .public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(not_before)
               .not_valid_after(not_after)
               .add_extension(x509.SubjectAlternativeName(names), critical=False)
               .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
               .sign(signing_key, hashes.SHA256()))
with open(os.path.join(folder, "server.pem"), "wb") as f:
    f.write(certificate.public_bytes(serialization.Encoding.PEM))
with open(os.path.join(folder, "server.key"), "wb") as f:
    f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                              serialization.NoEncryption()))
