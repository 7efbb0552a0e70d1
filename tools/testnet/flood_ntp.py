#!/usr/bin/env python3
"""Floods a client's UDP ports with 48-byte datagrams, as fast as one sender can.

    flood_ntp.py answer ADDRESS SECONDS
        A time server at ADDRESS:123 that never answers a request: it floods
        the port the request came from, and port 123 of the same host, for
        SECONDS from then on. What it sends passes the client's source check
        (it comes from the server asked) and fails every other one.
    flood_ntp.py send FROM TO SECONDS
        Floods TO:123 from FROM at once, for SECONDS.

Each flood is logged on standard output: "flooded N datagrams to HOST:PORT,...
in S s". Runs until killed (answer) or until the flood is over (send).
"""
import socket
import sys
import time

# Looks like a server's reply (version 4, mode 4, stratum 2) for a request
# nobody made.
DATAGRAM = bytes([0x24, 2, 6, 0xEC]) + bytes(36) + b"\x5a" * 8


def flood(sock, targets, seconds):
    sent, end = 0, time.monotonic() + seconds
    while time.monotonic() < end:
        for _ in range(256):
            for target in targets:
                try:
                    sock.sendto(DATAGRAM, target)
                    sent += 1
                except OSError:
                    pass  # a full send buffer or an ICMP error: go on
    names = ",".join(f"{host}:{port}" for host, port in targets)
    print(f"flooded {sent} datagrams to {names} in {seconds} s", flush=True)


def answer(address, seconds):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((address, 123))
    while True:
        _, client = sock.recvfrom(2048)
        print(f"{address} received a request from {client[0]}:{client[1]}", flush=True)
        flood(sock, [client, (client[0], 123)], seconds)


def send(source, destination, seconds):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((source, 0))
    flood(sock, [(destination, 123)], seconds)


def main():
    mode, arguments = sys.argv[1], sys.argv[2:]
    if mode == "answer":
        answer(arguments[0], float(arguments[1]))
    elif mode == "send":
        send(arguments[0], arguments[1], float(arguments[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
