#!/usr/bin/env python3
"""Starts and stops emulated QZ devices: one net-snmp agent per loopback address.

A lab file describes the devices, one section per address:

    [127.0.0.11]
    type = QZ120                                  # selects DeviceFiles/<type>.par
    firmware = SNMP station vers. 1.05            # LAN interface text of sysDescr
    name = Rack 3 station
    location = Hall B
    contact = ops
    # optional:
    enterprise = 98361                            # another number makes a foreign agent
    sysdescr = any text                           # replaces the whole sysDescr
    set 1.3.6.1.4.1.98361.2.2.1.0 = 1             # value of one object (integer or "text",
                                                  # or counter, gauge or timeticks N)
    readonly = 1.3.6.1.4.1.98361.2.4.2.0          # objects that refuse SETs

Every object of the type's description file is served (LEDs 0, measured values
235, parameters 0, serial number and version as text), writable with the write
community unless listed as read-only.

    device_lab.py start LABFILE RUNDIR [--devices DIR]
    device_lab.py stop RUNDIR [ADDRESS ...]
"""
import argparse
import configparser
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

READ_COMMUNITY = "kelvor"
WRITE_COMMUNITY = "stranix"
MAKER = "98361"
SYSTEM = "1.3.6.1.2.1.1"
HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DEVICE_FILES = os.path.join(HERE, "..", "DeviceFiles")


def description_objects(path):
    """(oid, default value) of every object a description file names."""
    objects = []
    if not os.path.exists(path):
        return objects
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            if not raw or raw.startswith(";"):
                continue
            fields = raw.split("\t")
            kind = fields[0][:1]
            if kind == "A" and len(fields) >= 3:
                objects.append((fields[2], 0))
            elif kind == "M" and len(fields) >= 6:
                objects.append((fields[5], 235))
            elif kind == "P" and len(fields) >= 4 and fields[1][:1] == "E":
                objects.append((fields[3], 0))
            elif kind == "S" and len(fields) >= 2:
                objects.append((fields[1], '"SN-%s"' % "-".join(fields[1].split(".")[-3:])))
            elif kind == "V" and len(fields) >= 2:
                objects.append((fields[1], '"1.05"'))
    return objects


def override_line(oid, value, writable):
    value = str(value).strip()
    typed = value.split(None, 1)
    if len(typed) == 2 and typed[0] in ("counter", "gauge", "timeticks"):
        kind = {"counter": "counter", "gauge": "unsigned", "timeticks": "timeticks"}[typed[0]]
        return "override %s.%s %s %s" % ("-rw " if writable else "", oid.lstrip("."), kind, typed[1])
    if value.startswith('"') and value.endswith('"') and len(value) >= 2:
        kind, text = "octet_str", value
    else:
        try:
            int(value)
            kind, text = "integer", value
        except ValueError:
            kind, text = "octet_str", '"%s"' % value
    return "override %s.%s %s %s" % ("-rw " if writable else "", oid.lstrip("."), kind, text)


def hex_text(text):
    return "0x" + text.encode("latin-1").hex()


def agent_config(section, device_files):
    device_type = section.get("type", "QZ120")
    enterprise = section.get("enterprise", MAKER)
    firmware = section.get("firmware", "SNMP station vers. 1.06")
    description = section.get("sysdescr", "%s Base unit %s\r\nMain board rev. B" % (firmware, device_type))
    readonly = {oid.strip().lstrip(".") for oid in section.get("readonly", "").split(",") if oid.strip()}
    values = {}
    for oid, value in description_objects(os.path.join(device_files, device_type + ".par")):
        values[oid.lstrip(".")] = value
    for key, value in section.items():
        if key.startswith("set "):
            values[key[4:].strip().lstrip(".")] = value
    lines = [
        "rocommunity %s default" % READ_COMMUNITY,
        "rwcommunity %s default" % WRITE_COMMUNITY,
        "sysObjectID .1.3.6.1.4.1.%s.1" % enterprise,
        "sysServices 72",
        "psysname %s" % section.get("name", "station"),
        "psyslocation %s" % section.get("location", "lab"),
        "psyscontact %s" % section.get("contact", "operator"),
        "override .%s.1.0 octet_str %s" % (SYSTEM, hex_text(description)),
    ]
    for oid, value in values.items():
        lines.append(override_line(oid, value, oid not in readonly))
    return "\n".join(lines) + "\n"


def wait_for_agent(address, seconds=10.0):
    """True once the agent answers a GetRequest for sysObjectID."""
    request = bytes.fromhex("302602010004066b656c766f72a019020101020100020100300e300c06082b060102010102000500")
    deadline = time.time() + seconds
    while time.time() < deadline:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(0.2)
            try:
                s.sendto(request, (address, 161))
                s.recvfrom(2048)
                return True
            except OSError:
                time.sleep(0.05)
    return False


def start(lab_file, run_dir, device_files):
    config = configparser.ConfigParser(interpolation=None, delimiters=("=",))
    config.optionxform = str
    config.read(lab_file)
    os.makedirs(run_dir, exist_ok=True)
    started = []
    for address in config.sections():
        folder = os.path.join(run_dir, address)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "persist"))
        with open(os.path.join(folder, "snmpd.conf"), "w", encoding="latin-1") as f:
            f.write(agent_config(config[address], device_files))
        env = dict(os.environ, SNMP_PERSISTENT_DIR=os.path.join(folder, "persist"), MIBS="")
        result = subprocess.run(
            ["snmpd", "-C", "-c", os.path.join(folder, "snmpd.conf"), "-M", "/nonexistent", "-m", "",
             "-Lf", os.path.join(folder, "log"), "-p", os.path.join(folder, "pid"), "udp:%s:161" % address],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if result.returncode != 0:
            stop(run_dir, started)
            sys.exit("device lab: the agent at %s did not start (is %s:161 in use? see %s)"
                     % (address, address, os.path.join(folder, "log")))
        started.append(address)
    for address in started:
        if not wait_for_agent(address):
            sys.exit("device lab: the agent at %s does not answer (see %s)" % (address, os.path.join(run_dir, address, "log")))
    print("device lab: %d agents on %s" % (len(started), ", ".join(started)))


def running(pid):
    """Whether the process still runs (a zombie left for its reaper does not)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def stop(run_dir, addresses):
    if not os.path.isdir(run_dir):
        return
    for address in addresses or sorted(os.listdir(run_dir)):
        pid_file = os.path.join(run_dir, address, "pid")
        if not os.path.exists(pid_file):
            continue
        with open(pid_file) as f:
            pid = int(f.read().strip() or 0)
        os.remove(pid_file)
        try:
            os.kill(pid, signal.SIGTERM)
            for _ in range(100):
                if not running(pid):
                    break
                time.sleep(0.02)
            else:
                os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p_start = sub.add_parser("start")
    p_start.add_argument("lab_file")
    p_start.add_argument("run_dir")
    p_start.add_argument("--devices", default=DEFAULT_DEVICE_FILES)
    p_stop = sub.add_parser("stop")
    p_stop.add_argument("run_dir")
    p_stop.add_argument("addresses", nargs="*")
    args = parser.parse_args()
    if args.command == "start":
        start(args.lab_file, args.run_dir, args.devices)
    else:
        stop(args.run_dir, args.addresses)


if __name__ == "__main__":
    main()
