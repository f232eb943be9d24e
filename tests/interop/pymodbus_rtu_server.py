#!/usr/bin/python3
"""A MODBUS RTU-over-TCP server built on pymodbus, an independent peer for the tool's link.

Unit id 1. Holding registers 0..2199 start at 1000 + (address % 1000), input registers 0..2199 at
2000 + (address % 1000); holding registers are writable with functions 6 and 16.
Prints "LISTENING A:P" once it accepts connections and runs until SIGTERM or SIGINT.
"""
import argparse
import asyncio
import logging
import signal
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server.async_io import ModbusTcpServer
from pymodbus.transaction import ModbusRtuFramer

REGISTERS = 2200


def make_context():
    holding = [1000 + (a % 1000) for a in range(REGISTERS)]
    inputs = [2000 + (a % 1000) for a in range(REGISTERS)]
    # zero_mode: a request for address a reads block entry a (no offset of one).
    slave = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, holding),
                               ir=ModbusSequentialDataBlock(0, inputs),
                               zero_mode=True)
    return ModbusServerContext(slaves={1: slave}, single=False)


async def serve(address, port):
    server = ModbusTcpServer(make_context(), framer=ModbusRtuFramer, address=(address, port),
                             allow_reuse_address=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    actual = server.server.sockets[0].getsockname()[1]
    print(f"LISTENING {address}:{actual}", flush=True)
    await stop.wait()
    await server.shutdown()
    task.cancel()
    try:
        await task
    except asyncio.CancelledError:
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0: any free port")
    args = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    asyncio.run(serve(args.address, args.port))
    return 0


if __name__ == "__main__":
    sys.exit(main())
