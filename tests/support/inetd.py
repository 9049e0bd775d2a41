#!/usr/bin/env python3
"""Serves every TCP connection to ADDRESS:PORT with a new process of COMMAND,
the connection as its standard input, output and error, as inetd does.
Creates READY_FILE once it listens.

Usage: inetd.py ADDRESS PORT READY_FILE COMMAND [ARGUMENT...]
"""
import os
import signal
import socket
import sys


def main():
    address, port, ready_file, command = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(4)
    signal.signal(signal.SIGCHLD, signal.SIG_IGN)
    open(ready_file, "w").close()
    while True:
        connection, _ = listener.accept()
        if os.fork() == 0:
            listener.close()
            for descriptor in (0, 1, 2):
                os.dup2(connection.fileno(), descriptor)
            os.execv(command[0], command)
        connection.close()


if __name__ == "__main__":
    main()
