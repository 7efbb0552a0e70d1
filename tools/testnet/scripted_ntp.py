#!/usr/bin/env python3
"""Answers SNTP requests with scripted replies, one script per address.

    scripted_ntp.py ADDRESS=SCRIPT...

Scripts (every reply carries the request's version and mode 4, server):
  kiss-o-death      leap indicator 3, stratum 0, zero timestamps ("RATE"),
                    answering the request
  unsynchronised    leap indicator 3, stratum 16, ten years off
  zero-transmit     a good reply whose transmit timestamp is zero
  wrong-origin      a good reply an hour off, for some other request
  ignored-then-good a kiss-o'-death for some other request, then 50 ms later
                    a good reply
  stale-then-good   the previous request's reply again, an hour off, then
                    50 ms later the good reply (the first request gets only
                    the good one)
  silent            nothing at all: a server gone quiet
  good              the good reply at once
A good reply copies the request's transmit timestamp into its originate
timestamp and carries this machine's time. Each datagram received is logged
on standard output, one "ADDRESS received N bytes from CLIENT" line each.
Runs until killed.
"""
import selectors
import socket
import struct
import sys
import time

NTP_EPOCH_OFFSET = 2208988800
TEN_YEARS = 3652 * 86400
AN_HOUR = 3600


def ntp_stamp(unix_time):
    if unix_time is None:
        return 0
    seconds = int(unix_time) + NTP_EPOCH_OFFSET
    fraction = int((unix_time % 1) * 2**32)
    return ((seconds & 0xFFFFFFFF) << 32) | fraction


def reply(request, leap=0, stratum=2, origin=None, received=None, sent=None, reference_id=b"SCRP"):
    version = (request[0] >> 3) & 7
    origin = struct.unpack("!Q", request[40:48])[0] if origin is None else origin
    return struct.pack("!BBbbII4sQQQQ", (leap << 6) | (version << 3) | 4, stratum, 6, -20, 0x100, 0x100,
                       reference_id, ntp_stamp(received), origin, ntp_stamp(received), ntp_stamp(sent))


def now_reply(request, shift=0, received=None, **fields):
    t = time.time()
    return reply(request, received=(received or t) + shift, sent=t + shift, **fields)


class Server:
    def __init__(self, script):
        self.script = script
        self.previous_stamp = None

    def answers(self, request):
        """(delay in seconds, datagram) pairs for one request; a datagram of
        None is the good reply, stamped when it leaves."""
        stamp = struct.unpack("!Q", request[40:48])[0]
        previous, self.previous_stamp = self.previous_stamp, stamp
        kiss = reply(request, leap=3, stratum=0, reference_id=b"RATE")
        if self.script == "kiss-o-death":
            return [(0, kiss)]
        if self.script == "silent":
            return []
        if self.script == "good":
            return [(0, None)]
        forged_kiss = reply(request, leap=3, stratum=0, reference_id=b"RATE", origin=stamp ^ 0x5A5A5A5A5A5A5A5A)
        if self.script == "unsynchronised":
            return [(0, now_reply(request, TEN_YEARS, leap=3, stratum=16))]
        if self.script == "zero-transmit":
            return [(0, reply(request, received=time.time(), sent=None))]
        if self.script == "wrong-origin":
            return [(0, now_reply(request, AN_HOUR, origin=stamp ^ 0x5A5A5A5A5A5A5A5A))]
        if self.script == "ignored-then-good":
            return [(0, forged_kiss), (0.05, None)]
        if self.script == "stale-then-good":
            stale = [] if previous is None else [(0, now_reply(request, AN_HOUR, origin=previous))]
            return stale + [(0.05, None)]
        raise SystemExit("unknown script " + self.script)


def main():
    selector = selectors.DefaultSelector()
    for argument in sys.argv[1:]:
        address, script = argument.split("=", 1)
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((address, 123))
        selector.register(s, selectors.EVENT_READ, Server(script))
    while True:
        for key, _ in selector.select():
            request, client = key.fileobj.recvfrom(2048)
            arrival = time.time()
            print(f"{key.fileobj.getsockname()[0]} received {len(request)} bytes from {client[0]}", flush=True)
            if len(request) < 48:
                continue
            for delay, datagram in key.data.answers(request):
                time.sleep(delay)
                key.fileobj.sendto(datagram or now_reply(request, received=arrival), client)


if __name__ == "__main__":
    main()
