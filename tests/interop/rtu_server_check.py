#!/usr/bin/python3
"""Checks that pymodbus_rtu_server.py serves its documented registers to a pymodbus client."""
import argparse
import sys

from interop_common import Results, free_port, quiet_pymodbus, start, stop, unique_loopback
from pymodbus.client import ModbusTcpClient
from pymodbus.transaction import ModbusRtuFramer


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--server", required=True, help="path of pymodbus_rtu_server.py")
    args = parser.parse_args()
    quiet_pymodbus()
    r = Results()

    address = unique_loopback(78)
    port = free_port(address)
    proc, line = start([sys.executable, args.server, "--address", address, "--port", str(port)])
    try:
        if r.check("server reports LISTENING", line == f"LISTENING {address}:{port}", repr(line)):
            client = ModbusTcpClient(address, port=port, framer=ModbusRtuFramer, timeout=3,
                                     retries=0)
            r.check("client connects", client.connect())
            try:
                holding = client.read_holding_registers(1488, 2, slave=1)
                r.check("function 3: 1000 + address % 1000",
                        not holding.isError() and holding.registers == [1488, 1489], str(holding))
                inputs = client.read_input_registers(1980, 15, slave=1)
                r.check("function 4: 2000 + address % 1000",
                        not inputs.isError() and inputs.registers == list(range(2980, 2995)),
                        str(inputs))
                edge = client.read_input_registers(2199, 1, slave=1)
                r.check("last register 2199", not edge.isError() and edge.registers == [2199],
                        str(edge))
                single = client.write_register(1700, 0x1000, slave=1)
                r.check("function 6 echoed", not single.isError(), str(single))
                back = client.read_holding_registers(1700, 1, slave=1)
                r.check("function 6 value reads back",
                        not back.isError() and back.registers == [0x1000], str(back))
                multiple = client.write_registers(2100, [1, 2, 3, 4, 5], slave=1)
                r.check("function 16 echoed", not multiple.isError(), str(multiple))
                back = client.read_holding_registers(2100, 5, slave=1)
                r.check("function 16 values read back",
                        not back.isError() and back.registers == [1, 2, 3, 4, 5], str(back))
            finally:
                client.close()
    finally:
        code = stop(proc)
    r.check("server exits on SIGTERM", code is not None, f"exit code {code}")
    return r.summary()


if __name__ == "__main__":
    sys.exit(main())
