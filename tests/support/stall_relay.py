#!/usr/bin/env python3
"""A TCP relay for the tests: listens on ADDRESS:PORT and forwards every
connection to TARGET_PORT on the same address, as long as the file STALL does
not exist; while it does, nothing is forwarded either way (a server or a
network that hangs mid-session), and the connections stay open. Creates
READY_FILE once it listens; runs until it is ended.

Usage: stall_relay.py ADDRESS PORT TARGET_PORT STALL READY_FILE
"""
import os
import socket
import sys
import threading
import time


def pump(source, sink, stall):
    try:
        while True:
            while os.path.exists(stall):
                time.sleep(0.05)
            data = source.recv(65536)
            if not data:
                break
            while os.path.exists(stall):
                time.sleep(0.05)
            sink.sendall(data)
    except OSError:
        pass
    finally:
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def main():
    address, port, target, stall, ready = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(16)
    open(ready, "w").close()

    def accept():
        while True:
            client, _ = listener.accept()
            server = socket.create_connection((address, target))
            for a, b in ((client, server), (server, client)):
                threading.Thread(target=pump, args=(a, b, stall), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
