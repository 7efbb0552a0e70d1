#!/usr/bin/env python3
"""Round trips of SNTP exchanges as seen on the wire, beside QueryServer's time.

    sntp_wire.py sniff SERVER OUT     record, until SIGTERM, when each request to
                                      SERVER:123 left and each reply came back
                                      (kernel timestamps), one "request|reply NS"
                                      line each; run it in the client's network
                                      namespace
    sntp_wire.py report OUT QUERIES   pair the n-th request with the n-th reply and
                                      with the n-th "QueryServer took" line of
                                      sntpquery --timing in QUERIES; print the first
                                      query and the median of those after it, with
                                      the time before the request left and after
                                      the reply came
"""
import signal
import socket
import statistics
import struct
import sys

ETH_P_ALL = 0x0003  # outgoing packets reach only taps of every protocol
ETH_P_IP = 0x0800
SO_TIMESTAMPNS = 35


def sniff(server, out_path):
    server = socket.inet_aton(server)
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ALL))
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with open(out_path, "w", buffering=1) as out:
        while True:
            packet, ancillary, _, link = s.recvmsg(2048, 64)
            if link[1] != ETH_P_IP or len(packet) < 28 or packet[9] != 17:
                continue
            header = (packet[0] & 15) * 4
            source, destination = packet[12:16], packet[16:20]
            source_port, destination_port = struct.unpack("!HH", packet[header:header + 4])
            kind = ("request" if destination == server and destination_port == 123 else
                    "reply" if source == server and source_port == 123 else None)
            stamps = [struct.unpack("qq", data[:16]) for level, type_, data in ancillary
                      if level == socket.SOL_SOCKET and type_ == SO_TIMESTAMPNS]
            if kind and stamps:
                seconds, nanoseconds = stamps[0]
                out.write(f"{kind} {seconds * 10**9 + nanoseconds}\n")


def timing_lines(queries_path, name):
    """(ms, start s, end s) of each "NAME took T ms (system clock S to E)" line."""
    found = []
    for line in open(queries_path, errors="replace"):
        if name + " took " in line:
            words = line.replace("(", " ").replace(")", " ").split()
            found.append((float(words[words.index("took") + 1]), float(words[-3]), float(words[-1])))
    return found


def report(wire_path, queries_path):
    events = {"request": [], "reply": []}
    for line in open(wire_path):
        kind, ns = line.split()
        events[kind].append(int(ns) / 1e9)
    exchanges = list(zip(events["request"], events["reply"]))
    queries = timing_lines(queries_path, "QueryServer")
    if not exchanges or len(exchanges) != len(queries):
        sys.exit(f"cannot pair {len(exchanges)} exchanges on the wire with {len(queries)} queries")
    rows = {"round trip on the wire": [], "time inside QueryServer": [], "difference": [],
            "  before the request left": [], "  after the reply came": []}
    for (request, reply), (inside, start, end) in zip(exchanges, queries):
        round_trip = 1000 * (reply - request)
        for name, value in zip(rows, (round_trip, inside, inside - round_trip,
                                      1000 * (request - start), 1000 * (end - reply))):
            rows[name].append(value)
    print(f"{'per query, ms':28}{'first':>10}{'median of ' + str(len(queries) - 1) + ' after':>22}")
    for name, values in rows.items():
        after = statistics.median(values[1:]) if len(values) > 1 else float("nan")
        print(f"{name:28}{values[0]:10.3f}{after:22.3f}")
    for inside, _, _ in timing_lines(queries_path, "isConnected"):
        print(f"isConnected, which looks this host's name up as every query does: {inside:.3f} ms")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "sniff":
        sniff(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "report":
        report(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
