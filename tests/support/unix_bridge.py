#!/usr/bin/env python3
"""Runs the shell commands that test programs under wine leave in FOLDER.

A Windows program under wine can start a Linux program, but gets no handle to
wait on, and every child it starts this way interrupts it with SIGCHLD, which
wine's C runtime does not survive cleanly (its standard output stops). So
the commands run here instead: NAME.sh appears (written whole, then renamed
into place); NAME.out gets the command's standard output and NAME.status its
exit status, the status last.

Usage: unix_bridge.py FOLDER
"""
import os
import subprocess
import sys
import threading
import time


def run(base, script):
    with open(base + ".out", "wb") as out:
        status = subprocess.run(["/bin/sh", script], stdin=subprocess.DEVNULL, stdout=out).returncode
    with open(base + ".tmp", "w") as f:
        f.write("%d\n" % status)
    os.rename(base + ".tmp", base + ".status")
    os.remove(script)


def main():
    folder = sys.argv[1]
    while True:
        for name in sorted(os.listdir(folder)):
            if name.endswith(".sh"):
                base = os.path.join(folder, name[:-3])
                os.rename(base + ".sh", base + ".running")
                threading.Thread(target=run, args=(base, base + ".running"), daemon=True).start()
        time.sleep(0.002)


if __name__ == "__main__":
    main()
