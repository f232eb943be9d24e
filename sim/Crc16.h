#pragma once
#include <QByteArray>
#include <QtGlobal>

namespace zra::sim {

// CRC-16 of the MODBUS serial line: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
// The simulator's own, independent of the tool's Crc16Modbus on purpose: it is the protocol peer.
quint16 crc16Modbus(const char* data, qsizetype size);
inline quint16 crc16Modbus(const QByteArray& bytes) {
    return crc16Modbus(bytes.constData(), bytes.size());
}

// Appends the CRC of the bytes so far, low byte first.
void appendCrc(QByteArray& frame);

// True when the last two bytes are the CRC (low byte first) of everything before them.
bool hasValidCrc(const QByteArray& frame);

} // namespace zra::sim
