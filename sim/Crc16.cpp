#include "sim/Crc16.h"

namespace zra::sim {

quint16 crc16Modbus(const char* data, qsizetype size) {
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<quint8>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001)
                            : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

void appendCrc(QByteArray& frame) {
    const quint16 crc = crc16Modbus(frame);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
}

bool hasValidCrc(const QByteArray& frame) {
    if (frame.size() < 3)
        return false;
    const quint16 crc = crc16Modbus(frame.constData(), frame.size() - 2);
    return static_cast<quint8>(frame[frame.size() - 2]) == (crc & 0xFF) &&
           static_cast<quint8>(frame[frame.size() - 1]) == (crc >> 8);
}

} // namespace zra::sim
