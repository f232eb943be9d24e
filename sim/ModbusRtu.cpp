#include "sim/ModbusRtu.h"
#include "sim/Crc16.h"

namespace zra::sim {

namespace {
quint8 byteAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<quint8>(bytes[i]);
}

quint16 wordAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<quint16>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

void appendWord(QByteArray& bytes, quint16 value) {
    bytes.append(static_cast<char>(value >> 8));
    bytes.append(static_cast<char>(value & 0xFF));
}

QByteArray readReply(RegisterStore& store, const QByteArray& frame) {
    const quint8 unit = byteAt(frame, 0);
    const quint8 function = byteAt(frame, 1);
    const quint16 first = wordAt(frame, 2);
    const quint16 quantity = wordAt(frame, 4);
    if (quantity == 0 || quantity > modbus::MaxReadQuantity)
        return exceptionReply(unit, function, modbus::IllegalDataValue);
    const auto space = function == modbus::ReadHolding ? RegisterStore::Space::Holding
                                                       : RegisterStore::Space::Input;
    store.prepareRead(space, first, quantity);
    if (!store.contains(space, first, quantity))
        return exceptionReply(unit, function, modbus::IllegalDataAddress);
    QByteArray reply;
    reply.append(static_cast<char>(unit));
    reply.append(static_cast<char>(function));
    reply.append(static_cast<char>(quantity * 2));
    for (quint16 value : store.read(space, first, quantity))
        appendWord(reply, value);
    appendCrc(reply);
    return reply;
}

QByteArray writeSingleReply(RegisterStore& store, const QByteArray& frame) {
    const quint16 address = wordAt(frame, 2);
    if (!store.canWrite(address, 1))
        return exceptionReply(byteAt(frame, 0), modbus::WriteSingle, modbus::IllegalDataAddress);
    const QList<quint16> values = {wordAt(frame, 4)};
    if (const quint8 code = store.refusal(address, values))
        return exceptionReply(byteAt(frame, 0), modbus::WriteSingle, code);
    store.write(address, values);
    return frame.left(8);
}

QByteArray writeMultipleReply(RegisterStore& store, const QByteArray& frame) {
    const quint8 unit = byteAt(frame, 0);
    const quint16 first = wordAt(frame, 2);
    const quint16 quantity = wordAt(frame, 4);
    const quint8 byteCount = byteAt(frame, 6);
    if (quantity == 0 || quantity > modbus::MaxWriteQuantity || byteCount != quantity * 2)
        return exceptionReply(unit, modbus::WriteMultiple, modbus::IllegalDataValue);
    if (!store.canWrite(first, quantity))
        return exceptionReply(unit, modbus::WriteMultiple, modbus::IllegalDataAddress);
    QList<quint16> values;
    for (int i = 0; i < quantity; ++i)
        values.append(wordAt(frame, 7 + 2 * i));
    if (const quint8 code = store.refusal(first, values))
        return exceptionReply(unit, modbus::WriteMultiple, code);
    store.write(first, values);
    QByteArray reply = frame.left(6);
    appendCrc(reply);
    return reply;
}
} // namespace

qsizetype requestFrameLength(const QByteArray& buffer) {
    if (buffer.size() < 2)
        return 0;
    qsizetype length = 0;
    switch (byteAt(buffer, 1)) {
    case modbus::ReadHolding:
    case modbus::ReadInput:
    case modbus::WriteSingle:
        length = 8;
        break;
    case modbus::WriteMultiple:
        if (buffer.size() < 7)
            return 0;
        length = 7 + byteAt(buffer, 6) + 2;
        break;
    default:
        if (buffer.size() >= 4 && hasValidCrc(buffer))
            return buffer.size();
        length = 8;
        break;
    }
    return buffer.size() >= length ? length : 0;
}

RequestInfo describeRequest(const QByteArray& frame) {
    RequestInfo info;
    if (frame.size() >= 1)
        info.unit = byteAt(frame, 0);
    if (frame.size() >= 2)
        info.function = byteAt(frame, 1);
    if (frame.size() >= 4)
        info.first = info.last = wordAt(frame, 2);
    const bool ranged = info.function == modbus::ReadHolding ||
                        info.function == modbus::ReadInput ||
                        info.function == modbus::WriteMultiple;
    if (ranged && frame.size() >= 6) {
        const int quantity = wordAt(frame, 4);
        if (quantity > 0)
            info.last = static_cast<quint16>(qMin(0xFFFF, info.first + quantity - 1));
    }
    return info;
}

QByteArray exceptionReply(quint8 unit, quint8 function, quint8 code) {
    QByteArray reply;
    reply.append(static_cast<char>(unit));
    reply.append(static_cast<char>(function | 0x80));
    reply.append(static_cast<char>(code));
    appendCrc(reply);
    return reply;
}

bool acceptsRequest(const QByteArray& frame, quint8 unitId) {
    // A frame whose length does not match its function is as malformed as one with a bad CRC.
    return frame.size() >= 4 && requestFrameLength(frame) == frame.size() && hasValidCrc(frame) &&
           byteAt(frame, 0) == unitId;
}

QByteArray serveRequest(RegisterStore& store, quint8 unitId, const QByteArray& frame) {
    if (!acceptsRequest(frame, unitId))
        return {};
    const quint8 function = byteAt(frame, 1);
    switch (function) {
    case modbus::ReadHolding:
    case modbus::ReadInput:
        return readReply(store, frame);
    case modbus::WriteSingle:
        return writeSingleReply(store, frame);
    case modbus::WriteMultiple:
        return writeMultipleReply(store, frame);
    default:
        return exceptionReply(unitId, function, modbus::IllegalFunction);
    }
}

} // namespace zra::sim
