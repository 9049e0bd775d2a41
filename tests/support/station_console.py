#!/usr/bin/env python3
"""A station's service console as the manual shows it: a banner, a prompt,
and the answers to a few commands, over the connection on standard input
and output (started by inetd.py). It echoes what is typed, as the stations
do, and passes over the client's Telnet negotiation.
"""
import os
import sys

IAC, SB, SE = 255, 250, 240

STATUS = """Mains A      230 V    normal
Mains B      231 V    normal
Battery     54.2 V    normal
Door                  ALARM
Overheat              normal
Temperature 23.5 C
"""

ANSWERS = {
    "help": "show status   LEDs and measured values\nshow version  firmware\nexit          close the console\n",
    "show status": STATUS,
    "show version": "SNMP station vers. 2.10\n",
}


def say(text):
    os.write(1, text.replace("\n", "\r\n").encode())


def main():
    say("QZ300 station console, firmware 2.10\nSerial QZ300-0419-7731\nType help for the commands.\n\nqz300> ")
    line = ""
    negotiation = 0  # octets of a Telnet command still to pass over
    in_subnegotiation = False
    while True:
        data = os.read(0, 256)
        if not data:
            return
        for octet in data:
            if in_subnegotiation:
                in_subnegotiation = octet != SE
                continue
            if negotiation:
                negotiation -= 1
                in_subnegotiation = octet == SB
                continue
            if octet == IAC:
                negotiation = 2
                continue
            if octet in (10, 0):
                continue
            if octet == 13:
                command = line.strip()
                line = ""
                say("\n")
                if command == "exit":
                    return
                if command:
                    say(ANSWERS.get(command, "unknown command: " + command + "\n"))
                say("qz300> ")
                continue
            character = chr(octet)
            line += character
            say(character)


if __name__ == "__main__":
    sys.exit(main())
