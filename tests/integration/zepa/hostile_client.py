#!/usr/bin/env python3
"""Hostile HTTPS clients for the web server library's tests, on raw sockets.

  hostile_client.py MODE HOST PORT SOURCE-ADDRESS [ARGS...]

Each mode connects from SOURCE-ADDRESS (a loopback address of its own, so
that the test's normal requests are not counted against the same address),
does one thing a well-behaved client never does, and prints one line
"key=value ..." describing what the server did. Certificates are not checked:
the peer is the test's own server.

  raw METHOD PATH HEADER-COUNT HEADER-BYTES BODY-BYTES [EXTRA-HEADER]
        one request with HEADER-COUNT filler header lines of HEADER-BYTES each
        and BODY-BYTES of body sent without a Content-Length (unless
        EXTRA-HEADER supplies one); prints "status=N" or "status=closed"
  slow COUNT SECONDS
        COUNT connections, each sending a request head one line a second for
        at most SECONDS; prints how many the server refused at once, how many
        it closed later and the longest any stayed open
  idle COUNT SECONDS
        COUNT plain TCP connections that never start TLS, held for at most
        SECONDS; prints the same counts
  refused COUNT CONNECTIONS PATH
        COUNT requests for PATH over CONNECTIONS kept-alive connections at
        once, each with credentials the server must refuse (a wrong bearer
        token and a malformed basic header by turns); prints "sent=N
        per_second=R" and the count of each status ("s401=N")
"""
import socket
import ssl
import sys
import threading
import time


def tls_context():
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    return context


def connect(host, port, source, tls=True, timeout=5.0):
    sock = socket.create_connection((host, port), timeout=timeout, source_address=(source, 0))
    if tls:
        sock = tls_context().wrap_socket(sock, server_hostname="localhost")
    return sock


def read_status(sock):
    sock.settimeout(10.0)
    data = b""
    try:
        while b"\r\n" not in data and len(data) < 4096:
            chunk = sock.recv(4096)
            if not chunk:
                break
            data += chunk
    except (OSError, ssl.SSLError):
        pass
    line = data.split(b"\r\n", 1)[0].split()
    return line[1].decode() if len(line) >= 2 and line[0].startswith(b"HTTP/") else "closed"


def raw(host, port, source, method, path, count, size, body_bytes, extra=""):
    sock = connect(host, port, source)
    head = "%s %s HTTP/1.1\r\nHost: localhost:%d\r\nOrigin: https://localhost:%d\r\n" % (method, path, port, port)
    if extra:
        head += extra.replace("\\r\\n", "\r\n") + "\r\n"
    try:
        sock.sendall(head.encode())
        line = ("X-Filler: " + "a" * max(0, int(size) - 12) + "\r\n").encode()
        for _ in range(int(count)):
            sock.sendall(line)
        sock.sendall(b"\r\n")
        body = b"b" * 65536
        left = int(body_bytes)
        while left > 0:
            sock.sendall(body[: min(left, len(body))])
            left -= min(left, len(body))
    except (OSError, ssl.SSLError):
        pass  # the server stopped reading; its answer (if any) is waiting
    print("status=%s" % read_status(sock))


def hold(host, port, source, count, seconds, tls):
    results = []
    lock = threading.Lock()

    def one(index):
        start = time.monotonic()
        try:
            sock = connect(host, port, source, tls=tls, timeout=seconds)
        except (OSError, ssl.SSLError):
            with lock:
                results.append(("refused", 0.0))
            return
        try:
            if tls:
                sock.sendall(b"GET /KOR/rights HTTP/1.1\r\n")
            sock.settimeout(1.0)
            while time.monotonic() - start < seconds:
                try:
                    data = sock.recv(1)
                    if not data:
                        break  # closed by the server
                except socket.timeout:
                    pass
                if tls:
                    sock.sendall(b"X-Slow-%d: %d\r\n" % (index, int(time.monotonic() - start)))
            else:
                with lock:
                    results.append(("open", time.monotonic() - start))
                return
        except (OSError, ssl.SSLError):
            pass
        elapsed = time.monotonic() - start
        with lock:
            results.append(("refused" if elapsed < 0.5 else "closed", elapsed))

    threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
        time.sleep(0.005)
    for thread in threads:
        thread.join()
    refused = sum(1 for kind, _ in results if kind == "refused")
    closed = sum(1 for kind, _ in results if kind == "closed")
    still = sum(1 for kind, _ in results if kind == "open")
    longest = max([t for _, t in results] + [0.0])
    print("refused=%d closed=%d open=%d longest=%.1f" % (refused, closed, still, longest))


def refused(host, port, source, count, connections, path):
    statuses = {}
    lock = threading.Lock()
    headers = ["Authorization: Bearer " + "0" * 64, "Authorization: Basic %%%not-base64"]

    def one(share):
        sock = None
        for n in range(share):
            try:
                if sock is None:
                    sock = connect(host, port, source)
                    reader = sock.makefile("rb")
                sock.sendall(("GET %s HTTP/1.1\r\nHost: localhost:%d\r\n%s\r\n\r\n"
                              % (path, port, headers[n % 2])).encode())
                status, length = reader.readline().split()[1].decode(), 0
                for line in iter(reader.readline, b"\r\n"):
                    if not line:
                        raise OSError("closed")
                    if line.lower().startswith(b"content-length:"):
                        length = int(line.split(b":")[1])
                reader.read(length)
            except (OSError, ssl.SSLError, IndexError):
                status, sock = "closed", None
            with lock:
                statuses[status] = statuses.get(status, 0) + 1

    start = time.monotonic()
    threads = [threading.Thread(target=one, args=(count // connections,)) for _ in range(connections)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    sent = sum(statuses.values())
    print("sent=%d per_second=%.0f %s" % (sent, sent / (time.monotonic() - start),
                                         " ".join("s%s=%d" % item for item in sorted(statuses.items()))))


def main(argv):
    mode, host, port, source = argv[1], argv[2], int(argv[3]), argv[4]
    rest = argv[5:]
    if mode == "raw":
        raw(host, port, source, *rest)
    elif mode == "slow":
        hold(host, port, source, int(rest[0]), float(rest[1]), tls=True)
    elif mode == "idle":
        hold(host, port, source, int(rest[0]), float(rest[1]), tls=False)
    elif mode == "refused":
        refused(host, port, source, int(rest[0]), int(rest[1]), rest[2])
    else:
        print("unknown mode " + mode)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
