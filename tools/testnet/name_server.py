#!/usr/bin/env python3
"""A name server for the test network that knows a few names.

    name_server.py ADDRESS SILENT-DOMAIN [NAME=ADDRESS,ADDRESS...]...

A query for a NAME is answered with its addresses, in the order given, as a
pool name's several addresses are (no address for any type but A). A query
for a name in SILENT-DOMAIN is read and never answered, as by a name server
that has gone away; any other query is answered at once with "no such name"
(NXDOMAIN). Runs until killed.
"""
import socket
import struct
import sys


def query_name(message):
    """The first question's name, lower case, or None if it cannot be read."""
    labels, at = [], 12
    while at < len(message):
        length = message[at]
        if length == 0:
            return ".".join(labels).lower()
        if length > 63:
            return None
        labels.append(message[at + 1:at + 1 + length].decode("ascii", "replace"))
        at += 1 + length
    return None


def response(message, code, addresses=()):
    """The answer to the message's one question: Code (0 found, 3 no such
    name) and an A record for each address."""
    ident, flags = struct.unpack("!HH", message[:4])
    end = message.index(b"\0", 12) + 5  # the question: name, type, class
    answer_flags = 0x8000 | (flags & 0x7900) | 0x0080 | code  # response, opcode and RD kept, RA
    records = b"".join(struct.pack("!HHHIH", 0xC00C, 1, 1, 60, 4) + socket.inet_aton(a) for a in addresses)
    return struct.pack("!HHHHHH", ident, answer_flags, 1, len(addresses), 0, 0) + message[12:end] + records


def query_type(message):
    end = message.index(b"\0", 12)
    return struct.unpack("!H", message[end + 1:end + 3])[0]


def main():
    address, silent = sys.argv[1], sys.argv[2].lower().strip(".")
    known = {}
    for argument in sys.argv[3:]:
        name, addresses = argument.split("=", 1)
        known[name.lower().strip(".")] = addresses.split(",")
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, 53))
    while True:
        message, client = s.recvfrom(4096)
        name = query_name(message)
        if name is None or name == silent or name.endswith("." + silent):
            continue
        if name in known:
            found = known[name] if query_type(message) == 1 else []
            s.sendto(response(message, 0, found), client)
        else:
            s.sendto(response(message, 3), client)


if __name__ == "__main__":
    main()
