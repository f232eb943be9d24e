#!/usr/bin/python3
"""Runs the zra-sim program and checks it with pymodbus as the client: the RTU framing, the
default installation's registers and the effect of the writes the tool sends, a scenario file,
the request log and the live values."""
import argparse
import os
import re
import signal
import socket
import subprocess
import sys
import time

from interop_common import Results, free_port, quiet_pymodbus, start, stop, unique_loopback
from pymodbus.client import ModbusTcpClient
from pymodbus.transaction import ModbusRtuFramer

LINE = re.compile(r"^zra-sim: management ([\d.]+):(\d+), MODBUS ([\d.]+):(\d+)$")


def management_xr(address, port):
    with socket.create_connection((address, port), timeout=3) as s:
        s.sendall(bytes.fromhex("235852000300F20004"))
        reply = b""
        while len(reply) < 10:
            chunk = s.recv(10 - len(reply))
            if not chunk:
                break
            reply += chunk
        return reply


def check_client(r, address, port):
    client = ModbusTcpClient(address, port=port, framer=ModbusRtuFramer, timeout=3, retries=0)
    if not r.check("pymodbus client connects", client.connect()):
        return
    try:
        system = client.read_input_registers(1980, 15, slave=1)
        ok = not system.isError() and len(system.registers) == 15
        r.check("function 4 reads the system block", ok, str(system))
        if ok:
            r.check("phase count 3 in the low byte of 1980", system.registers[0] & 0xFF == 3)
            r.check("module count 9 in the high byte of 1993", system.registers[13] >> 8 == 9)

        control = client.read_holding_registers(1488, 1, slave=1)
        r.check("function 3 reads 1488 as 0xC000",
                not control.isError() and control.registers == [0xC000], str(control))

        written = client.write_register(1700, 0x1000, slave=1)
        r.check("function 6 is echoed", not written.isError() and written.value == 0x1000,
                str(written))
        back = client.read_holding_registers(1700, 1, slave=1)
        r.check("function 6 value reads back", not back.isError() and back.registers == [0x1000],
                str(back))

        password = [0x566F, 0x7274, 0x6578, 0x5F50, 0x384C]
        multiple = client.write_registers(2100, password, slave=1)
        r.check("function 16 is echoed",
                not multiple.isError() and multiple.address == 2100 and multiple.count == 5,
                str(multiple))
        back = client.read_holding_registers(2100, 5, slave=1)
        r.check("function 16 values read back", not back.isError() and back.registers == password,
                str(back))

        missing = client.read_holding_registers(3000, 1, slave=1)
        r.check("absent register gives exception 2",
                missing.isError() and getattr(missing, "exception_code", None) == 2, str(missing))
        too_many = client.read_input_registers(1980, 126, slave=1)
        r.check("quantity 126 gives exception 3",
                too_many.isError() and getattr(too_many, "exception_code", None) == 3,
                str(too_many))
    finally:
        client.close()


def data_bytes(registers):
    return b"".join(v.to_bytes(2, "big") for v in registers)


def read_bytes(client, address, count):
    reply = client.read_input_registers(address, count, slave=1)
    return None if reply.isError() else data_bytes(reply.registers)


def config_state(client):
    reply = client.read_holding_registers(1488, 1, slave=1)
    return None if reply.isError() else reply.registers[0] >> 8


def poll_commit(client, limit=21):
    seen = []
    for _ in range(limit):
        seen.append(config_state(client))
        if seen[-1] in (0xC0, 0x40, None):
            break
    return seen


def check_installation(r, address, port):
    """The default installation, frozen, decoded byte by byte from the documented positions."""
    client = ModbusTcpClient(address, port=port, framer=ModbusRtuFramer, timeout=3, retries=0)
    if not r.check("installation: client connects", client.connect()):
        return
    try:
        d = read_bytes(client, 1980, 15)
        if not r.check("system block: 30 data bytes", d is not None and len(d) == 30, repr(d)):
            return
        expected = {1: 3, 10: 1, 11: 2, 12: 3, 13: 1, 14: 90, 15: 2, 16: 2, 17: 3, 22: 2, 23: 7,
                    26: 9, 27: 9, 28: 20}
        wrong = {k: d[k] for k, v in expected.items() if d[k] != v}
        r.check("system block bytes at their positions", not wrong, repr(wrong))
        r.check("serial number, bytes 2-5", int.from_bytes(d[2:6], "big", signed=True) == 100234)
        r.check("software revisions 1989, 1990",
                int.from_bytes(d[18:20], "big") == 1 and int.from_bytes(d[20:22], "big") == 19)

        counts = {"phases (1980 low)": (1980, 1, 3), "modules (1993 high)": (1993, 0, 9),
                  "AC groups (1988 high)": (1988, 0, 2), "DC groups (1987 low)": (1987, 1, 2),
                  "events (1994 high)": (1994, 0, 20)}
        for name, (register, byte, value) in counts.items():
            one = read_bytes(client, register, 1)
            r.check(f"count of {name}", one is not None and one[byte] == value, repr(one))

        modules = [read_bytes(client, 31 * n, 31) for n in range(9)]
        phase1 = read_bytes(client, 1600, 27)
        out_w = sum(int.from_bytes(m[12:14], "big") for m in modules if m[7] == 1)
        r.check("phase 1 output power is the sum of its modules",
                abs(int.from_bytes(phase1[28:32], "big", signed=True) - out_w) <= 3,
                f"{phase1[28:32].hex()} vs {out_w}")

        text = read_bytes(client, 16660 + 8 * 31, 8)
        r.check("alarm description in Windows-1250", text.decode("cp1250") == "Výpadek sítě AC ",
                repr(text))
        name = read_bytes(client, 4160, 20)[8:40]
        r.check("variable name in Windows-1250",
                name.decode("cp1250").rstrip(" ") == "Jmenovité výstupní napětí", repr(name))

        # A commit that accepts: variable 7 from 5 s to 10 s.
        client.write_register(6, 10, slave=1)
        r.check("a written value is pending", config_state(client) == 0x80)
        client.write_register(1488, 256, slave=1)
        r.check("commit: two busy polls, then accepted", poll_commit(client) == [0x20, 0x20, 0xC0])
        r.check("accepted value stored", read_bytes(client, 4160 + 20 * 6, 2) == bytes([0, 10, 0, 0]))

        # A commit that refuses: variable 3 at 300.0 V is above its 270.0 V limit.
        client.write_register(2, 3000, slave=1)
        client.write_register(1488, 256, slave=1)
        r.check("commit with a value out of range ends in 0x40", poll_commit(client)[-1] == 0x40)
        record = read_bytes(client, 4160 + 20 * 2, 2)
        r.check("refused value not stored, validity TOO_HIGH (3)",
                record == bytes([0x09, 0xE2, 0, 3]), record.hex())

        # A cancel.
        client.write_register(7, 30, slave=1)
        client.write_register(1488, 512, slave=1)
        back = client.read_holding_registers(7, 1, slave=1)
        r.check("cancel: idle and the old value back",
                config_state(client) == 0xC0 and back.registers == [5], str(back))

        # Module 1 switched off: its AC output status turns to SB (1).
        client.write_register(1512, 0x0200, slave=1)
        r.check("module OFF shows on the next read", read_bytes(client, 0, 1)[0] == 1)
        refused = client.write_register(1510, 0x0109, slave=1)
        r.check("phase 9 of 3 is refused with exception 3",
                refused.isError() and getattr(refused, "exception_code", None) == 3, str(refused))

        # The clock: 24 Dec 2024 10:15:30, no summer time.
        client.write_registers(1500, [0x1E0F, 0x0A18, 0x0C00, 2024], slave=1)
        clock = read_bytes(client, 2002, 4)
        r.check("clock write reads back at 2002", clock == bytes.fromhex("1E0F0A180C0007E8"),
                clock.hex())

        before = read_bytes(client, 0, 62)
        time.sleep(1.2)
        r.check("--frozen: two reads are equal", read_bytes(client, 0, 62) == before)
    finally:
        client.close()


def check_scenario_run(r, sim, scenario, address):
    """A scenario file, live values and the request log on standard output."""
    port = free_port(address)
    proc, line = start([sim, "--address", address, "--management-port", "0", "--modbus-port",
                        str(port), "--scenario", scenario, "--log", "-"])
    try:
        if not r.check("scenario run starts", LINE.match(line or "") is not None, repr(line)):
            return
        client = ModbusTcpClient(address, port=port, framer=ModbusRtuFramer, timeout=3, retries=0)
        client.connect()
        try:
            d = read_bytes(client, 1980, 15)
            r.check("scenario: 1 phase, 4 modules, 3 seen, 2 alarms",
                    d is not None and (d[1], d[26], d[27], d[12]) == (1, 4, 3, 2), repr(d))
            first = read_bytes(client, 0, 31 * 3)
            time.sleep(1.2)
            r.check("live values move when not frozen", read_bytes(client, 0, 31 * 3) != first)
            locked = client.write_register(1700, 0x0400, slave=1)
            r.check("a command without the password is refused",
                    locked.isError() and getattr(locked, "exception_code", None) == 1, str(locked))
        finally:
            client.close()
    finally:
        code = stop(proc)
    out = proc.stdout.read().decode("latin-1")
    r.check("scenario run: summary line names the file", scenario in out, out[:300])
    r.check("--log - prints every request", "MODBUS rx 01 04 07 BC 00 0F 70 9E" in out, out[-300:])
    r.check("scenario run exits with code 0", code == 0)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True, help="path of the zra-sim program")
    parser.add_argument("--scenario", required=True, help="a scenario file to serve")
    args = parser.parse_args()
    quiet_pymodbus()
    r = Results()

    address = unique_loopback(77)
    port = free_port(address)
    proc, line = start([args.sim, "--address", address, "--modbus-port", str(port), "--frozen"])
    try:
        match = LINE.match(line or "")
        if r.check("first line names what it serves", match is not None, repr(line)):
            r.check("first line has the requested address and ports",
                    match.group(1) == address and match.group(2) == "9760"
                    and match.group(3) == address and int(match.group(4)) == port)
            xr = management_xr(address, 9760)
            r.check("XR reports the MODBUS port",
                    len(xr) == 10 and xr[:6] == bytes.fromhex("235852000400")
                    and int.from_bytes(xr[6:8], "little") == port, xr.hex(" "))
            check_installation(r, address, port)
            check_client(r, address, port)
    finally:
        code = stop(proc)
    r.check("exits with code 0 on SIGTERM", code == 0, f"exit code {code}")
    if code != 0:
        sys.stderr.write(proc.stderr.read().decode("latin-1", "replace"))

    # SIGINT (Ctrl+C) ends it as cleanly; a login and firmware from the command line show in XR/GS.
    proc, line = start([args.sim, "--address", address, "--login", "servis:tajne", "--firmware",
                        "4"])
    try:
        if r.check("second run starts", LINE.match(line or "") is not None, repr(line)):
            xr = management_xr(address, 9760)
            r.check("--login makes XR report a required login", xr[9:10] == b"\x01", xr.hex(" "))
    finally:
        os.kill(proc.pid, signal.SIGINT)
        try:
            code = proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = stop(proc)
    r.check("exits with code 0 on SIGINT", code == 0, f"exit code {code}")

    check_scenario_run(r, args.sim, args.scenario, unique_loopback(78))

    bad = subprocess.run([args.sim, "--fault", "nonsense"], capture_output=True, timeout=10)
    r.check("a bad --fault is refused with exit code 2",
            bad.returncode == 2 and b"unknown kind" in bad.stderr, bad.stderr)
    missing = subprocess.run([args.sim, "--scenario", "/nonexistent/x.json"], capture_output=True,
                             timeout=10)
    r.check("an unreadable scenario is refused with exit code 2",
            missing.returncode == 2 and b"x.json" in missing.stderr, missing.stderr)
    return r.summary()


if __name__ == "__main__":
    sys.exit(main())
