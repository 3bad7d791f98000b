#!/usr/bin/env python3
"""Demo e-banking server of Tinglan Bank, for trying the assistant and for its tests.

Serves the files under site/ over HTTPS and plain HTTP on 127.0.0.1, with certificates of a
demo authority made with the openssl command in the state folder (and reused from there). A
second HTTPS port uses a certificate of another authority that nobody trusts. Paths under
/test/ answer in the ways a client must cope with; among them /test/stall sends the headers
and then holds the body back for --stall-seconds, and /test/silent reads the request and then
sends nothing at all, not even the headers, for --silent-seconds before it closes the
connection. When it listens, the server writes the ports and the authority's certificate path
as JSON to the ready file (and to stdout). It stops on SIGINT or SIGTERM, after the time
limit, and when the process that started it ends.
With --offer-update PROGRAM, cfg/item.xml's appinfo names that program's version and digest and
the server hands the program out where appinfo points; without it, appinfo matches the built
program and no update is offered.
"""

import argparse
import hashlib
import http.server
import json
import os
import pathlib
import re
import secrets
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

import make_newer_program

# Read first thing: by default the server ends when the process that started it has ended.
PARENT_PID = os.getppid()
SCRIPT_DIR = pathlib.Path(__file__).resolve().parent
TEXT_SUFFIXES = {".xml", ".html", ".htm", ".txt", ".css", ".js"}
CONTENT_TYPES = {
    ".xml": "text/xml; charset=utf-8",
    ".html": "text/html; charset=utf-8",
    ".htm": "text/html; charset=utf-8",
    ".txt": "text/plain; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "application/javascript; charset=utf-8",
    ".gif": "image/gif",
    ".jpg": "image/jpeg",
    ".png": "image/png",
}
# Where the demo configuration's appinfo fetches the newer program from.
OFFERED_PROGRAM_PATH = "/download/nestora.exe"
# /test/bytes sends byte i of the body as i % 256.
PATTERN = bytes(range(256)) * 4096

CA_EXTENSIONS = """basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
"""
SERVER_EXTENSIONS = """basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:localhost
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def make_key(path):
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
            "-out", str(path))


def sign(work, csr, extensions, out, issuer_args, days):
    ext_file = work / (out.stem + ".ext")
    ext_file.write_text(extensions)
    openssl("x509", "-req", "-in", str(csr), *issuer_args, "-sha256", "-days", str(days),
            "-set_serial", "0x" + secrets.token_hex(8), "-extfile", str(ext_file),
            "-out", str(out))


def make_authority(work, name, subject):
    key, csr, cert = work / f"{name}.key", work / f"{name}.csr", work / f"{name}.pem"
    make_key(key)
    openssl("req", "-new", "-key", str(key), "-subj", subject, "-out", str(csr))
    sign(work, csr, CA_EXTENSIONS, cert, ["-signkey", str(key)], 3650)
    openssl("x509", "-in", str(cert), "-outform", "DER", "-out", str(work / f"{name}.der"))


def make_server_certificate(work, name, authority):
    key, csr = work / f"{name}.key", work / f"{name}.csr"
    make_key(key)
    openssl("req", "-new", "-key", str(key), "-subj", "/O=Tinglan Bank Demo/CN=127.0.0.1",
            "-out", str(csr))
    sign(work, csr, SERVER_EXTENSIONS, work / f"{name}.pem",
         ["-CA", str(work / f"{authority}.pem"), "-CAkey", str(work / f"{authority}.key")], 825)


CERTIFICATE_FILES = ["ca.pem", "ca.der", "server.pem", "server.key",
                     "untrusted-ca.pem", "untrusted-server.pem", "untrusted-server.key"]


def ensure_certificates(state):
    """Makes the two authorities and their server certificates unless they are there.

    They are made in a folder of their own and then renamed into place at once, so servers
    started together on one state folder all use one complete set."""
    certs = state / "certs"
    if all((certs / name).is_file() for name in CERTIFICATE_FILES):
        return certs
    state.mkdir(parents=True, exist_ok=True)
    work = pathlib.Path(tempfile.mkdtemp(prefix="certs-", dir=state))
    try:
        make_authority(work, "ca", "/C=CN/O=Tinglan Bank Demo/CN=Tinglan Bank Demo Root CA")
        make_server_certificate(work, "server", "ca")
        make_authority(work, "untrusted-ca", "/C=CN/O=Untrusted Demo/CN=Untrusted Demo CA")
        make_server_certificate(work, "untrusted-server", "untrusted-ca")
        if certs.exists() and not all((certs / name).is_file() for name in CERTIFICATE_FILES):
            shutil.rmtree(certs, ignore_errors=True)  # an incomplete set from an older run
        os.rename(work, certs)
    except OSError:
        if not all((certs / name).is_file() for name in CERTIFICATE_FILES):
            raise
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return certs


class BankHandler(http.server.BaseHTTPRequestHandler):
    server_version = "TinglanBankDemo/1.0"
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        if self.server.bank.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), format % args))

    def do_GET(self):
        try:
            self.route()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def route(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        tests = {
            "/test/404": lambda: self.send_small(404, b"<html><body>not found</body></html>"),
            "/test/500": lambda: self.send_small(500, b"<html><body>server error</body></html>"),
            "/test/nolength": self.send_without_length,
            "/test/short": self.send_short_body,
            "/test/stall": self.send_stall,
            "/test/silent": self.send_nothing,
            "/test/redirect": lambda: self.send_redirect(query.get("to", ["/"])[0]),
            "/test/bytes": lambda: self.send_bytes(int(query.get("n", ["0"])[0])),
        }
        handler = tests.get(url.path)
        if handler:
            handler()
        elif self.server.bank.offered_program and url.path == OFFERED_PROGRAM_PATH:
            self.send_small(200, self.server.bank.offered_program, "application/octet-stream")
        else:
            self.send_site_file(urllib.parse.unquote(url.path))

    def send_small(self, status, body, content_type="text/html; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_without_length(self):
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(b"a body without a length header\n")

    def send_short_body(self):
        body = b"only half of what was announced"
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body) * 2))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def send_stall(self):
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "100")
        self.end_headers()
        self.wfile.flush()
        self.server.bank.stopping.wait(self.server.bank.stall_seconds)

    def send_nothing(self):
        self.close_connection = True
        self.server.bank.stopping.wait(self.server.bank.silent_seconds)

    def send_redirect(self, target):
        self.send_response(302)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def send_bytes(self, count):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(count))
        self.end_headers()
        remaining = count
        while remaining > 0:
            chunk = min(remaining, len(PATTERN))
            self.wfile.write(PATTERN[:chunk])
            remaining -= chunk

    def send_site_file(self, path):
        site = self.server.bank.site
        target = (site / path.lstrip("/")).resolve()
        if target != site and site not in target.parents:
            self.send_small(404, b"<html><body>not found</body></html>")
            return
        if target.is_dir():
            if not path.endswith("/"):
                self.send_redirect(path + "/")
                return
            target = target / "index.html"
        if not target.is_file():
            self.send_small(404, b"<html><body>not found</body></html>")
            return
        body = target.read_bytes()
        if target.suffix.lower() in TEXT_SUFFIXES:
            body = self.fill_placeholders(body)
        if target.name == "item.xml" and self.server.bank.offered_program:
            body = self.server.bank.offer_update(body)
        content_type = CONTENT_TYPES.get(target.suffix.lower(), "application/octet-stream")
        self.send_small(200, body, content_type)

    def fill_placeholders(self, body):
        bank = self.server.bank
        host = urllib.parse.urlsplit("//" + (self.headers.get("Host") or bank.host)).hostname
        host = host or bank.host
        body = body.replace(b"@BANK_HOST@", f"{host}:{bank.https_port}".encode())
        return body.replace(b"@BANK_HTTP_HOST@", f"{host}:{bank.http_port}".encode())


class BankHttpServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, bank, port, tls_context=None):
        super().__init__((bank.host, port), BankHandler)
        self.bank = bank
        if tls_context:
            # The handshake happens in the request's thread, on its first read.
            self.socket = tls_context.wrap_socket(self.socket, server_side=True,
                                                  do_handshake_on_connect=False)

    def handle_error(self, request, client_address):
        if self.bank.verbose:
            super().handle_error(request, client_address)


def tls_context(certs, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(certs / f"{name}.pem"), str(certs / f"{name}.key"))
    return context


class Bank:
    def __init__(self, options):
        self.host = options.bind
        self.site = pathlib.Path(options.site).resolve()
        self.verbose = options.verbose
        self.stall_seconds = options.stall_seconds
        self.silent_seconds = options.silent_seconds
        self.stopping = threading.Event()
        self.offered_program = None
        if options.offer_update:
            self.offered_program = pathlib.Path(options.offer_update).read_bytes()
            self.offered_version = make_newer_program.file_version(self.offered_program)
            if not self.offered_version:
                raise OSError(f"{options.offer_update} has no version record")
        certs = ensure_certificates(pathlib.Path(options.state).resolve())
        self.servers = [
            BankHttpServer(self, options.https_port, tls_context(certs, "server")),
            BankHttpServer(self, options.http_port),
            BankHttpServer(self, options.untrusted_port, tls_context(certs, "untrusted-server")),
        ]
        self.https_port, self.http_port, self.untrusted_port = (
            server.server_address[1] for server in self.servers)
        self.ready = {
            "pid": os.getpid(),
            "host": self.host,
            "https_port": self.https_port,
            "http_port": self.http_port,
            "untrusted_port": self.untrusted_port,
            "ca_file": str(certs / "ca.pem"),
            "ca_der_file": str(certs / "ca.der"),
            "untrusted_ca_file": str(certs / "untrusted-ca.pem"),
        }

    def offer_update(self, item_xml):
        """The configuration's appinfo naming the offered program's version and digest."""
        md5 = hashlib.md5(self.offered_program).hexdigest()

        def rewrite(match):
            appinfo = re.sub(rb'version="[^"]*"', b'version="%s"' % self.offered_version.encode(),
                             match.group(0))
            return re.sub(rb'md5="[^"]*"', b'md5="%s"' % md5.encode(), appinfo)

        return re.sub(rb"<appinfo\b[^>]*>", rewrite, item_xml)

    def serve(self, ready_file, time_limit, parent_pid):
        for server in self.servers:
            threading.Thread(target=server.serve_forever, daemon=True).start()
        if ready_file:
            write_atomically(pathlib.Path(ready_file), json.dumps(self.ready))
        print(json.dumps(self.ready), flush=True)
        deadline = time.monotonic() + time_limit
        while not self.stopping.wait(1.0):
            if time.monotonic() >= deadline or os.getppid() != parent_pid:
                self.stopping.set()
        # The serving threads are daemons: they end with the process.
        if ready_file:
            pathlib.Path(ready_file).unlink(missing_ok=True)


def write_atomically(path, text):
    temporary = path.with_name(path.name + f".{os.getpid()}.tmp")
    temporary.write_text(text)
    os.replace(temporary, path)


def parse_options(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--state", required=True,
                        help="folder for the certificates (made once, then reused)")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--https-port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--http-port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--untrusted-port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--site", default=str(SCRIPT_DIR / "site"))
    parser.add_argument("--ready-file", help="where to write the ports as JSON once listening")
    parser.add_argument("--time-limit", type=float, default=3600.0, help="seconds")
    parser.add_argument("--stall-seconds", type=float, default=600.0,
                        help="how long /test/stall keeps the body back")
    parser.add_argument("--silent-seconds", type=float, default=600.0,
                        help="how long /test/silent stays silent before it closes")
    parser.add_argument("--parent-pid", type=int, default=PARENT_PID,
                        help="stop when this process is no longer the parent (default: the"
                        " process that started the server)")
    parser.add_argument("--offer-update", metavar="PROGRAM",
                        help="offer this program file (made by make_newer_program.py) as the"
                        " newer version in cfg/item.xml's appinfo and at " + OFFERED_PROGRAM_PATH)
    parser.add_argument("--verbose", action="store_true", help="log requests to stderr")
    return parser.parse_args(argv)


def main(argv):
    options = parse_options(argv)
    try:
        bank = Bank(options)
    except subprocess.CalledProcessError as error:
        sys.stderr.write("bank_server: openssl failed: %s\n" % error.stderr.decode(errors="replace"))
        return 1
    except OSError as error:
        sys.stderr.write("bank_server: %s\n" % error)
        return 1
    signal.signal(signal.SIGTERM, lambda *_: bank.stopping.set())
    signal.signal(signal.SIGINT, lambda *_: bank.stopping.set())
    bank.serve(options.ready_file, options.time_limit, options.parent_pid)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
