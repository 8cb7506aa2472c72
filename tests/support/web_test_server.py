#!/usr/bin/env python3
"""A small HTTP and HTTPS server on the loopback interface for the web tests.

It listens on ports the system chooses and writes them, once it is ready, to the
file named by --ports-file as NAME=PORT lines:

  http=PORT             plain HTTP
  https=PORT            HTTPS with --cert/--key (when given)
  untrusted_https=PORT  HTTPS with --untrusted-cert/--untrusted-key (when given)
  closed=PORT           a port that is bound but never listens: connections fail

Every server answers the same paths:

  /echo...         the request as received: request line, header lines, an empty
                   line, then the body
  /bytes/N         N bytes, byte i being i % 251 (a lost or reordered chunk shows)
  /empty           200 with an empty body
  /cookies         several Set-Cookie lines
  /redirect        302 to /echo?from=redirect
  /big-headers     more than 8,000 bytes of headers, ending with a Set-Cookie and a
                   Location line
  /status/N        an empty answer with status N

The server ends when it is sent SIGTERM or SIGINT, and by itself after --lifetime
seconds, so a test that dies cannot leave it behind for long.
"""

import argparse
import http.server
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading

PATTERN_PERIOD = 251


def pattern_bytes(size, cache={}):
    if size not in cache:
        unit = bytes(range(PATTERN_PERIOD))
        cache[size] = (unit * (size // PATTERN_PERIOD + 1))[:size]
    return cache[size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZentravoTestServer/1.0"
    sys_version = ""

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("web-test-server: %s\n" % (format % args))

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body and self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        body = self.read_body()
        path = self.path
        if path.startswith("/echo"):
            lines = [self.requestline] + ["%s: %s" % item for item in self.headers.items()]
            echo = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body
            self.answer(200, echo, [("Content-Type", "application/octet-stream")])
        elif path.startswith("/bytes/"):
            self.answer(200, pattern_bytes(int(path[len("/bytes/"):])),
                        [("Content-Type", "application/octet-stream")])
        elif path == "/empty":
            self.answer(200)
        elif path == "/cookies":
            self.answer(200, b"cookies", [
                ("Set-Cookie", "a=1; Path=/"),
                ("Set-Cookie", "b = 2; HttpOnly"),
                ("Set-Cookie", "t=deleted; Expires=Thu, 01 Jan 1970 00:00:00 GMT"),
                ("Set-Cookie", "plain=3"),
            ])
        elif path == "/redirect":
            self.answer(302, b"moved", [("Location", "/echo?from=redirect")])
        elif path == "/big-headers":
            filler = [("X-Filler-%02d" % i, "f" * 200) for i in range(40)]
            self.answer(200, b"big", filler + [("Set-Cookie", "late=1; Path=/"),
                                               ("Location", "/late")])
        elif path.startswith("/status/"):
            self.answer(int(path[len("/status/"):]))
        else:
            self.answer(404, b"not found")

    do_GET = do_POST = do_PUT = do_HEAD = handle_any


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, ssl_context, verbose):
        self.ssl_context = ssl_context
        self.verbose = verbose
        super().__init__(("127.0.0.1", 0), Handler)

    def finish_request(self, request, client_address):
        # The handshake runs in the connection's own thread, so a client that
        # refuses the certificate holds up no one else.
        if self.ssl_context is not None:
            request = self.ssl_context.wrap_socket(request, server_side=True)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        if isinstance(error, (ssl.SSLError, ConnectionError, BrokenPipeError)) and not self.verbose:
            return  # clients that refuse a certificate or hang up are part of the tests
        super().handle_error(request, client_address)


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--untrusted-cert")
    parser.add_argument("--untrusted-key")
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args()

    servers = {"http": Server(None, options.verbose)}
    if options.cert:
        servers["https"] = Server(tls_context(options.cert, options.key), options.verbose)
    if options.untrusted_cert:
        servers["untrusted_https"] = Server(
            tls_context(options.untrusted_cert, options.untrusted_key), options.verbose)
    closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    closed.bind(("127.0.0.1", 0))  # bound, never listening: connecting is refused

    for server in servers.values():
        threading.Thread(target=server.serve_forever, daemon=True).start()

    ports = {name: server.server_address[1] for name, server in servers.items()}
    ports["closed"] = closed.getsockname()[1]
    temporary = options.ports_file + ".tmp"
    with open(temporary, "w") as out:
        for name, port in ports.items():
            out.write("%s=%d\n" % (name, port))
    os.replace(temporary, options.ports_file)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait(options.lifetime)
    for server in servers.values():
        server.shutdown()
        server.server_close()
    closed.close()


if __name__ == "__main__":
    main()
