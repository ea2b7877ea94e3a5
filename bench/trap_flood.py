#!/usr/bin/env python3
"""SNMPv1 traps sent fast over UDP from one process, as anyone on the
management network can send them (no snmptrap per trap, whose persistent
files the machine shares).

  trap_flood.py HOST PORT SOURCE-ADDRESS COUNT RATE AGENT-ADDRESSES

COUNT coldStart traps to HOST:PORT from SOURCE-ADDRESS, RATE a second (0: as
fast as they can be sent), each naming the next of the comma-separated
AGENT-ADDRESSES as its agent address (a managed element's address can be put
there from anywhere) and its number as its time stamp. Prints "sent=N
per_second=R".
"""
import socket
import sys
import time


def tlv(tag, body):
    size = len(body)
    head = bytes([size]) if size < 128 else bytes([0x81, size]) if size < 256 else bytes([0x82, size >> 8, size & 255])
    return bytes([tag]) + head + body


def integer(value, tag=0x02):
    return tlv(tag, value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big", signed=True))


def oid(text):
    ids = [int(x) for x in text.split(".")]
    body = bytes([ids[0] * 40 + ids[1]])
    for i in ids[2:]:
        chunk = [i & 0x7F]
        while i > 127:
            i >>= 7
            chunk.insert(0, 0x80 | (i & 0x7F))
        body += bytes(chunk)
    return tlv(0x06, body)


def v1_trap(agent, number):
    pdu = tlv(0xA4, oid("1.3.6.1.4.1.8072.3.2.10") + tlv(0x40, socket.inet_aton(agent)) + integer(0) + integer(0) +
              integer(number, 0x43) + tlv(0x30, b""))
    return tlv(0x30, integer(0) + tlv(0x04, b"public") + pdu)


def main(argv):
    host, port, source, count, rate, agents = argv[1], int(argv[2]), argv[3], int(argv[4]), int(argv[5]), argv[6]
    agents = agents.split(",")
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((source, 0))
    start = time.monotonic()
    for k in range(count):
        # Paced in steps of 10 ms against the start, so the rate holds over
        # the whole run.
        if rate > 0 and k % max(1, rate // 100) == 0:
            delay = start + k / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)
        sock.sendto(v1_trap(agents[k % len(agents)], k), (host, port))
    print("sent=%d per_second=%.0f" % (count, count / max(time.monotonic() - start, 1e-6)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
