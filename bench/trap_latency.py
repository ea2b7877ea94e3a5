#!/usr/bin/env python3
"""How long a trap takes from its sender to the agent's event log.

  trap_latency.py send HOST PORT SOURCE AGENT COUNT RATE SENT [FORGED-AGENT [EVERY]]

sends COUNT SNMPv1 coldStart traps to HOST:PORT from SOURCE, naming AGENT as
their agent address, RATE a second, and writes the wall-clock time each was
sent (seconds, one a line) to SENT. With FORGED-AGENT, an enterprise-specific
trap naming that address is sent from 127.0.0.1 every EVERY seconds
(default 20) while they last, as a forger keeps an element's recognition
retry busy.

  trap_latency.py report SENT EVENTS TEXT [WAIT]

waits (at most WAIT seconds, default 60) until as many lines as traps sent
are logged, then matches the sent traps, in order, with the lines of the agent's event-log
file EVENTS (KORAGENT_EVENT_LOG, one JSON object a line) whose text holds
TEXT, and prints the delay of each from sending to its line's time: count,
missing, p50, p99 and max in milliseconds.
"""
import datetime
import json
import socket
import sys
import time

from trap_flood import integer, oid, tlv


def v1_trap(agent, generic, specific, stamp):
    pdu = tlv(0xA4, oid("1.3.6.1.4.1.8072.3.2.10") + tlv(0x40, socket.inet_aton(agent)) + integer(generic) +
              integer(specific) + integer(stamp, 0x43) + tlv(0x30, b""))
    return tlv(0x30, integer(0) + tlv(0x04, b"public") + pdu)


def send(argv):
    host, port, source, agent, count, rate, out = argv[0], int(argv[1]), argv[2], argv[3], int(argv[4]), \
        float(argv[5]), argv[6]
    forged = argv[7] if len(argv) > 7 else None
    every = float(argv[8]) if len(argv) > 8 else 20.0
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((source, 0))
    forger = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    forger.bind(("127.0.0.1", 0))
    start = time.monotonic()
    next_forged = start
    times = []
    for i in range(count):
        due = start + i / rate
        while True:
            now = time.monotonic()
            if forged and now >= next_forged:
                forger.sendto(v1_trap(forged, 6, 77, i), (host, port))
                next_forged += every
            if now >= due:
                break
            time.sleep(min(due - now, 0.01))
        times.append(time.time())
        sock.sendto(v1_trap(agent, 0, 0, i), (host, port))
    with open(out, "w") as f:
        f.write("\n".join("%.6f" % t for t in times) + "\n")


def logged_times(path, text):
    times = []
    for line in open(path):
        try:
            entry = json.loads(line)
        except ValueError:
            continue
        if text in entry.get("text", ""):
            stamp = datetime.datetime.strptime(entry["time"], "%Y-%m-%dT%H:%M:%S.%fZ")
            times.append(stamp.replace(tzinfo=datetime.timezone.utc).timestamp())
    return times


def report(argv):
    sent = [float(line) for line in open(argv[0]) if line.strip()]
    # Traps still waiting in the agent are logged late, not lost: wait for
    # them up to WAIT seconds (default 60).
    deadline = time.monotonic() + (float(argv[3]) if len(argv) > 3 else 60.0)
    logged = logged_times(argv[1], argv[2])
    while len(logged) < len(sent) and time.monotonic() < deadline:
        time.sleep(0.5)
        logged = logged_times(argv[1], argv[2])
    delays = sorted((b - a) * 1000 for a, b in zip(sent, logged))
    if not delays:
        print("no trap was logged")
        return 1
    pick = lambda q: delays[min(len(delays) - 1, int(q * len(delays)))]
    print("traps %d, logged %d, missing %d; ms from sending to the event log: p50 %.1f, p99 %.1f, max %.1f" %
          (len(sent), len(logged), max(0, len(sent) - len(logged)), pick(0.5), pick(0.99), delays[-1]))
    return 0


if __name__ == "__main__":
    verb = sys.argv[1] if len(sys.argv) > 1 else ""
    if verb == "send":
        send(sys.argv[2:])
    elif verb == "report":
        sys.exit(report(sys.argv[2:]))
    else:
        sys.exit(__doc__)
