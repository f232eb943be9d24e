#pragma once
#include "sim/RegisterStore.h"
#include <QByteArray>

namespace zra::sim {

namespace modbus {
constexpr quint8 ReadHolding = 3;
constexpr quint8 ReadInput = 4;
constexpr quint8 WriteSingle = 6;
constexpr quint8 WriteMultiple = 16;

constexpr quint8 IllegalFunction = 1;
constexpr quint8 IllegalDataAddress = 2;
constexpr quint8 IllegalDataValue = 3;
constexpr quint8 ServerDeviceBusy = 6;

constexpr int MaxReadQuantity = 125;
constexpr int MaxWriteQuantity = 123;
} // namespace modbus

// Length of the RTU request frame that starts the buffer, or 0 while more bytes are needed.
// Functions 3, 4 and 6 take 8 bytes, function 16 takes 7 + byte count + 2. A frame of another
// function has no length of its own: the whole buffer is taken when its CRC checks, else 8 bytes.
qsizetype requestFrameLength(const QByteArray& buffer);

// What a request asks for, as far as its bytes tell: the register range that fault matching
// looks at (a single register for function 6 and for unknown functions).
struct RequestInfo {
    quint8 unit = 0;
    quint8 function = 0;
    quint16 first = 0;
    quint16 last = 0;
};
RequestInfo describeRequest(const QByteArray& frame);

// A reply frame: unit, function | 0x80, code, CRC.
QByteArray exceptionReply(quint8 unit, quint8 function, quint8 code);

// True when a complete request frame is one that an RTU slave with this unit id answers: its
// length fits its function, its CRC checks and it is addressed to the unit.
bool acceptsRequest(const QByteArray& frame, quint8 unitId);

// Serves one complete request frame against the store, like an RTU slave with the given unit id.
// An empty result means no answer: a bad CRC or a request for another unit.
QByteArray serveRequest(RegisterStore& store, quint8 unitId, const QByteArray& frame);

} // namespace zra::sim
