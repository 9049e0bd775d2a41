#!/usr/bin/env python3
"""A hostile Telnet server for one connection on standard output (run by
inetd.py): sends one kind of flood, never reading what the client sends,
then stays silent a while and ends. Bounded in bytes and in time.

Usage: hostile_telnet.py KIND [MEGABYTES]

KIND: negotiation   WILL and terminal-type requests for ever, never reading
      iac           IAC NOP
      subnegotiation one terminal-type sub-negotiation that never ends
      bare-cr       CR alone
      lf-only       lines ended by LF alone
      no-line-ends  text without any line end
      ff-data       the data octet 255 (IAC IAC)
      nul           NUL octets
      escape        ANSI escape sequences
"""
import os
import sys
import time

IAC, WILL, DO, SB, SE, NOP = 255, 251, 253, 250, 240, 241
TERMINAL_TYPE, SEND = 24, 1

PATTERNS = {
    "negotiation": bytes([IAC, WILL, 3, IAC, SB, TERMINAL_TYPE, SEND, IAC, SE]),
    "iac": bytes([IAC, NOP]),
    "subnegotiation": bytes([TERMINAL_TYPE]) * 64,
    "bare-cr": b"\r",
    "lf-only": b"a line that ends in LF alone\n",
    "no-line-ends": b"0123456789abcdefghijklmnopqrstuvwxyz",
    "ff-data": bytes([IAC, IAC]),
    "nul": b"\0",
    "escape": b"\x1b[1;31m\x1b[2K\x1b[H",
}
PREFIX = {
    "negotiation": bytes([IAC, DO, TERMINAL_TYPE]),
    "subnegotiation": bytes([IAC, SB]),
}


def main():
    kind = sys.argv[1]
    total = int(float(sys.argv[2]) * 1024 * 1024) if len(sys.argv) > 2 else 16 * 1024 * 1024
    block = PATTERNS[kind] * max(1, 65536 // len(PATTERNS[kind]))
    out = sys.stdout.fileno()
    deadline = time.monotonic() + 60
    try:
        os.write(out, PREFIX.get(kind, b""))
        sent = 0
        while sent < total and time.monotonic() < deadline:
            sent += os.write(out, block)
    except OSError:
        return  # the client closed the connection
    time.sleep(max(0.0, min(30.0, deadline - time.monotonic())))


if __name__ == "__main__":
    main()
