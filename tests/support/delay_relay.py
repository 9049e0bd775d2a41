#!/usr/bin/env python3
"""A UDP relay that stands for a long link: listens on ADDRESS:161 and
forwards each datagram to TARGET:161, and each answer back, every one half
of ROUND_TRIP_MS late, so that a request to ADDRESS sees the agent at TARGET
one round trip away. Creates READY_FILE once it listens; runs until ended.

Usage: delay_relay.py ADDRESS TARGET ROUND_TRIP_MS READY_FILE
"""
import heapq
import select
import socket
import sys
import time


def main():
    address, target, round_trip_ms, ready = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
    half = round_trip_ms / 2000.0
    front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    front.bind((address, 161))
    backs = {}  # client address -> the socket its requests leave from
    clients = {}  # that socket -> the client
    due = []  # (when, sequence, socket, datagram, to)
    sequence = 0
    open(ready, "w").close()
    while True:
        timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
        readable, _, _ = select.select([front] + list(clients), [], [], timeout)
        now = time.monotonic()
        for sock in readable:
            data, peer = sock.recvfrom(65536)
            if sock is front:
                back = backs.get(peer)
                if back is None:
                    back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                    back.bind((address, 0))
                    backs[peer], clients[back] = back, peer
                heapq.heappush(due, (now + half, sequence, back, data, (target, 161)))
            else:
                heapq.heappush(due, (now + half, sequence, front, data, clients[sock]))
            sequence += 1
        while due and due[0][0] <= time.monotonic():
            _, _, sock, data, to = heapq.heappop(due)
            sock.sendto(data, to)


if __name__ == "__main__":
    main()
