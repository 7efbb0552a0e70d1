#!/usr/bin/env python3
"""A name server for the test network that knows no names.

    name_server.py ADDRESS SILENT-DOMAIN

A query for a name in SILENT-DOMAIN is read and never answered, as by a name
server that has gone away; any other query is answered at once with "no such
name" (NXDOMAIN). Runs until killed.
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


def no_such_name(message):
    ident, flags = struct.unpack("!HH", message[:4])
    end = message.index(b"\0", 12) + 5  # the question: name, type, class
    answer_flags = 0x8000 | (flags & 0x7900) | 0x0080 | 3  # response, opcode and RD kept, RA, NXDOMAIN
    return struct.pack("!HHHHHH", ident, answer_flags, 1, 0, 0, 0) + message[12:end]


def main():
    address, silent = sys.argv[1], sys.argv[2].lower().strip(".")
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, 53))
    while True:
        message, client = s.recvfrom(4096)
        name = query_name(message)
        if name is None or name == silent or name.endswith("." + silent):
            continue
        s.sendto(no_such_name(message), client)


if __name__ == "__main__":
    main()
