#!/usr/bin/python3
"""Runs the zra-sim program and checks its MODBUS RTU framing with pymodbus as the client."""
import argparse
import os
import re
import signal
import socket
import subprocess
import sys

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
            r.check("module count 6 in the high byte of 1993", system.registers[13] >> 8 == 6)

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


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True, help="path of the zra-sim program")
    args = parser.parse_args()
    quiet_pymodbus()
    r = Results()

    address = unique_loopback(77)
    port = free_port(address)
    proc, line = start([args.sim, "--address", address, "--modbus-port", str(port)])
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

    bad = subprocess.run([args.sim, "--fault", "nonsense"], capture_output=True, timeout=10)
    r.check("a bad --fault is refused with exit code 2",
            bad.returncode == 2 and b"unknown kind" in bad.stderr, bad.stderr)
    return r.summary()


if __name__ == "__main__":
    sys.exit(main())
