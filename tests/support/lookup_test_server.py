#!/usr/bin/env python3
"""A stand-in for the lookup service, for the end-to-end tests of Zentravo.exe.

It serves HTTPS on one address and port (127.0.0.1:443 by default, where a program
built for plain "localhost" sends its lookups; the tests pass the build's own port)
with the certificate given, records every request
it receives exactly as the bytes arrived, and answers according to the link, so
each test chooses the answer it needs.

The record file (--record) gets one entry per request, appended before the
answer is sent, so a test that has seen the answer finds the request recorded:

  "request HEAD_LENGTH BODY_LENGTH\\n", the head as received (request line and
  header lines, each ending CR LF, without the empty line that ends the head),
  the body, "\\n"

The answer depends on the request target, whose link is everything after the
first "url=". The first rule that matches wins:

  "status500" in the target     status 500, body "123456"
  "chinese" in the target       status 200, body UTF-8 "中文" (E4 B8 AD E6 96 87)
  "zero-byte" in the target     status 200, body "12", a zero byte, "34"
  "long-answer" in the target   status 200, a body of 3,000 digits "0123456789..."
  "redirect" in the target      status 302 to /weibo/brellik.php?url=answer=77
  "answer=DIGITS" in the target status 200, body DIGITS
  anything else                 status 200, body "ok"

Once it listens, it writes "listening\\n" to the file named by --ready-file. A port
that is taken is tried again every half second for --bind-wait seconds. The
server ends on SIGTERM or SIGINT, and by itself after --lifetime seconds.
"""

import argparse
import os
import re
import signal
import socket
import ssl
import sys
import threading
import time

MAX_HEAD = 64 * 1024
CHINESE = "中文".encode("utf-8")
LONG_ANSWER = (b"0123456789" * 300)


def answer_for(target):
    """(status, reason, extra headers, body) for the raw request target."""
    if b"status500" in target:
        return 500, "Internal Server Error", [], b"123456"
    if b"chinese" in target:
        return 200, "OK", [], CHINESE
    if b"zero-byte" in target:
        return 200, "OK", [], b"12\x0034"
    if b"long-answer" in target:
        return 200, "OK", [], LONG_ANSWER
    if b"redirect" in target:
        return 302, "Found", [("Location", "/weibo/brellik.php?url=answer=77")], b"moved"
    digits = re.search(rb"answer=([0-9]+)", target)
    if digits:
        return 200, "OK", [], digits.group(1)
    return 200, "OK", [], b"ok"


class Recorder:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        with open(path, "wb"):
            pass

    def add(self, head, body):
        entry = b"request %d %d\n" % (len(head), len(body)) + head + body + b"\n"
        with self.lock, open(self.path, "ab") as out:
            out.write(entry)


def read_request(stream, pending):
    """(head, body, rest) of the next request on `stream`; None at its end."""
    while b"\r\n\r\n" not in pending:
        if len(pending) > MAX_HEAD:
            return None
        chunk = stream.recv(4096)
        if not chunk:
            return None
        pending += chunk
    end = pending.index(b"\r\n\r\n")
    head, pending = pending[:end + 2], pending[end + 4:]
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(pending) < length:
        chunk = stream.recv(4096)
        if not chunk:
            return None
        pending += chunk
    return head, pending[:length], pending[length:]


def serve_connection(connection, context, recorder, verbose):
    try:
        stream = context.wrap_socket(connection, server_side=True)
    except (ssl.SSLError, OSError) as error:
        if verbose:
            sys.stderr.write("lookup-test-server: handshake failed: %s\n" % error)
        connection.close()
        return
    try:
        pending = b""
        while True:
            request = read_request(stream, pending)
            if request is None:
                break
            head, body, pending = request
            recorder.add(head, body)
            request_line = head.split(b"\r\n", 1)[0]
            parts = request_line.split(b" ")
            target = parts[1] if len(parts) >= 2 else b""
            status, reason, headers, answer = answer_for(target)
            if verbose:
                sys.stderr.write("lookup-test-server: %r -> %d\n" % (request_line, status))
            lines = ["HTTP/1.1 %d %s" % (status, reason),
                     "Content-Type: text/plain; charset=utf-8",
                     "Content-Length: %d" % len(answer)]
            lines += ["%s: %s" % header for header in headers]
            stream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + answer)
    except (ssl.SSLError, OSError) as error:
        if verbose:
            sys.stderr.write("lookup-test-server: connection ended: %s\n" % error)
    finally:
        stream.close()


def bind(address, port, wait_seconds):
    deadline = time.monotonic() + wait_seconds
    told = False
    while True:
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            listener.bind((address, port))
            listener.listen(16)
            return listener
        except OSError as error:
            listener.close()
            if time.monotonic() >= deadline:
                raise
            if not told:
                sys.stderr.write("lookup-test-server: %s:%d: %s; waiting for it\n" % (address, port, error))
                sys.stderr.flush()
                told = True
            time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--ready-file", required=True)
    parser.add_argument("--bind-wait", type=float, default=120)
    parser.add_argument("--lifetime", type=float, default=900)
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(options.cert, options.key)
    recorder = Recorder(options.record)
    listener = bind(options.address, options.port, options.bind_wait)

    def accept_loop():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return  # the listener was closed: shutting down
            threading.Thread(target=serve_connection, daemon=True,
                             args=(connection, context, recorder, options.verbose)).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    temporary = options.ready_file + ".tmp"
    with open(temporary, "w") as out:
        out.write("listening\n")
    os.replace(temporary, options.ready_file)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait(options.lifetime)
    try:
        listener.shutdown(socket.SHUT_RDWR)  # wakes the accept loop
    except OSError:
        pass
    listener.close()


if __name__ == "__main__":
    main()
