#!/usr/bin/env python3
"""SNMPv3 traps with made-up engine IDs, as a forger sends them.

  v3_flood.py HOST PORT USER FIRST COUNT RATE SOURCES

sends COUNT SNMPv3 traps (authPriv flags, user USER, a zero digest and
salt: no key is known) to HOST:PORT, each with an engine ID of its own (numbered from
FIRST), RATE a second (0: as fast as they go), from SOURCES loopback
addresses 127.0.90.1 on in turn. Prints "sent=N per_second=R".
"""
import socket
import sys
import time

from trap_flood import integer, oid, tlv


def message(engine, user, number):
    security = tlv(0x30, tlv(0x04, engine) + integer(1) + integer(100) + tlv(0x04, user) + tlv(0x04, bytes(12)) +
                   tlv(0x04, bytes(8)))
    binds = tlv(0x30, tlv(0x30, oid("1.3.6.1.6.3.1.1.4.1.0") + oid("1.3.6.1.6.3.1.1.5.1")))
    scoped = tlv(0x30, tlv(0x04, engine) + tlv(0x04, b"") +
                 tlv(0xA7, integer(number) + integer(0) + integer(0) + binds))
    head = tlv(0x30, integer(number) + integer(65507) + tlv(0x04, b"\x03") + integer(3))
    return tlv(0x30, integer(3) + head + tlv(0x04, security) + scoped)


def main(argv):
    host, port, user, first, count, rate, sources = argv[1], int(argv[2]), argv[3].encode(), int(argv[4]), \
        int(argv[5]), float(argv[6]), int(argv[7])
    socks = []
    for i in range(sources):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(("127.0.%d.%d" % (90 + i // 250, i % 250 + 1), 0))
        socks.append(s)
    start = time.monotonic()
    for i in range(count):
        if rate > 0:
            due = start + i / rate
            now = time.monotonic()
            if due > now:
                time.sleep(due - now)
        engine = b"\x80\x00\x1f\x88\x04" + (first + i).to_bytes(8, "big")
        socks[i % sources].sendto(message(engine, user, first + i), (host, port))
    took = time.monotonic() - start
    print("sent=%d per_second=%.0f" % (count, count / took if took > 0 else 0))


if __name__ == "__main__":
    main(sys.argv)
