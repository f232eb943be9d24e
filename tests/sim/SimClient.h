#pragma once
// A plain blocking TCP client for driving the in-process simulator from the test thread, and
// helpers that build request frames. Every wait is bounded.
#include "sim/Crc16.h"
#include "sim/Simulator.h"
#include "tests/support/Loopback.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace zra::sim::test {

inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

inline QByteArray withCrc(QByteArray frame) {
    appendCrc(frame);
    return frame;
}

// unit, function, address, quantity (or value for function 6), CRC.
inline QByteArray request(quint8 unit, quint8 function, quint16 address, quint16 quantity) {
    QByteArray frame;
    frame.append(static_cast<char>(unit));
    frame.append(static_cast<char>(function));
    frame.append(static_cast<char>(address >> 8));
    frame.append(static_cast<char>(address & 0xFF));
    frame.append(static_cast<char>(quantity >> 8));
    frame.append(static_cast<char>(quantity & 0xFF));
    return withCrc(frame);
}

inline QByteArray writeMultiple(quint8 unit, quint16 address, const QList<quint16>& values) {
    QByteArray frame;
    frame.append(static_cast<char>(unit));
    frame.append('\x10');
    frame.append(static_cast<char>(address >> 8));
    frame.append(static_cast<char>(address & 0xFF));
    frame.append('\0');
    frame.append(static_cast<char>(values.size()));
    frame.append(static_cast<char>(values.size() * 2));
    for (quint16 v : values) {
        frame.append(static_cast<char>(v >> 8));
        frame.append(static_cast<char>(v & 0xFF));
    }
    return withCrc(frame);
}

inline QByteArray toHex(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

class Client {
public:
    bool connectTo(const QString& address, quint16 port) {
        m_socket.connectToHost(address, port);
        return m_socket.waitForConnected(3000);
    }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(3000);
    }
    // Waits until count bytes arrived or timeoutMs passed; returns what arrived (at most count).
    QByteArray receive(qsizetype count, int timeoutMs = 3000) {
        QElapsedTimer timer;
        timer.start();
        while (m_socket.bytesAvailable() < count && timer.elapsed() < timeoutMs &&
               m_socket.state() == QAbstractSocket::ConnectedState)
            m_socket.waitForReadyRead(qMax<qint64>(1, timeoutMs - timer.elapsed()));
        return m_socket.read(count);
    }
    // Everything that arrives within quietMs.
    QByteArray receiveFor(int quietMs) {
        QByteArray all = m_socket.readAll();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < quietMs && m_socket.state() == QAbstractSocket::ConnectedState) {
            if (m_socket.waitForReadyRead(qMax<qint64>(1, quietMs - timer.elapsed())))
                all += m_socket.readAll();
        }
        return all + m_socket.readAll();
    }
    QByteArray exchange(const QByteArray& bytes, qsizetype count) {
        send(bytes);
        return receive(count);
    }
    bool waitClosed(int timeoutMs = 3000) {
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            return true;
        return m_socket.waitForDisconnected(timeoutMs);
    }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
};

// A simulator on a loopback address of its own, started for the test, and clients for it.
class SimFixture : public ::testing::Test {
protected:
    // Another test process may hold an address by chance: the next one is tried.
    void startSim(Options options = {}) {
        QString error;
        for (int attempt = 0; attempt < 5; ++attempt) {
            options.address = zra::test::NextLoopbackAddress();
            sim = std::make_unique<Simulator>(options);
            if (sim->start(&error))
                return;
        }
        FAIL() << error.toStdString();
    }
    void connectModbus(Client& client) {
        ASSERT_TRUE(client.connectTo(sim->address(), sim->modbusPort()));
    }
    void connectManagement(Client& client) {
        ASSERT_TRUE(client.connectTo(sim->address(), sim->managementPort()));
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }
    std::unique_ptr<Simulator> sim;
};

} // namespace zra::sim::test
