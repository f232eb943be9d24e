#pragma once
// Reads and writes of the simulated installation through the blocking test client, decoded by
// byte position as the frames carry them.
#include "tests/sim/SimClient.h"

namespace zra::sim::test {

inline int u8(const QByteArray& data, int at) {
    return static_cast<quint8>(data.at(at));
}
inline int u16(const QByteArray& data, int at) {
    return u8(data, at) << 8 | u8(data, at + 1);
}
inline qint32 s32(const QByteArray& data, int at) {
    return static_cast<qint32>(static_cast<quint32>(u16(data, at)) << 16 | u16(data, at + 2));
}

class InstallationFixture : public SimFixture {
protected:
    void startInstallation(Options options = {}) {
        startSim(options);
        connectModbus(client);
    }
    // The data bytes of a read, or an empty array when the reply is not a normal one.
    QByteArray read(quint8 function, quint16 first, quint16 count) {
        const QByteArray reply = client.exchange(request(1, function, first, count), 5 + 2 * count);
        if (reply.size() != 5 + 2 * count || !hasValidCrc(reply))
            return {};
        return reply.mid(3, 2 * count);
    }
    QByteArray input(quint16 first, quint16 count) { return read(4, first, count); }
    QByteArray holding(quint16 first, quint16 count) { return read(3, first, count); }
    int holdingValue(quint16 address) {
        const QByteArray d = holding(address, 1);
        return d.size() == 2 ? u16(d, 0) : -1;
    }
    // 0 when the write was echoed, else the exception code (or -1: no proper answer).
    int write(quint16 address, quint16 value) { return answer(request(1, 6, address, value)); }
    int write(quint16 address, const QList<quint16>& values) {
        return answer(writeMultiple(1, address, values));
    }
    // The high byte of the configuration control register.
    int configState() {
        const int v = holdingValue(1488);
        return v < 0 ? -1 : v >> 8;
    }

    Client client;

private:
    int answer(const QByteArray& frame) {
        client.send(frame);
        QByteArray reply = client.receive(5);
        if (reply.size() == 5 && (u8(reply, 1) & 0x80) && hasValidCrc(reply))
            return u8(reply, 2);
        reply += client.receive(3);
        return reply.size() == 8 && hasValidCrc(reply) ? 0 : -1;
    }
};

} // namespace zra::sim::test
