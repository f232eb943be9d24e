#pragma once
#include "sim/FrameLog.h"
#include "sim/Simulator.h"
#include "sim/SimulatorState.h"
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace zra::sim {

// What a connection does about one request: send the reply (none when empty), possibly late, or
// close the connection.
struct Answer {
    QByteArray reply;
    int delayMs = 0;
    bool close = false;
};

// The management and MODBUS servers. Lives in the simulator's thread; the sockets it creates are
// served by that thread's event loop.
class ServerCore : public QObject {
    Q_OBJECT
public:
    ServerCore(const Options& options, SimulatorState& state);
    bool listen(QString* error);

    Answer answerModbus(const QByteArray& frame);
    Answer answerManagement(const QByteArray& frame);
    void logReply(bool management, const Answer& answer);
    void logNote(bool management, const QString& text);

private:
    void accept(QTcpServer& server, bool management);

    const Options& m_options;
    SimulatorState& m_state;
    QTcpServer m_managementServer;
    QTcpServer m_modbusServer;
    FrameLog m_log;
};

// One client connection: reassembles request frames from the stream and answers them strictly in
// order (a delayed answer holds back the requests behind it).
class Connection : public QObject {
    Q_OBJECT
public:
    Connection(ServerCore& core, QTcpSocket* socket, bool management);

private:
    void onReadyRead();
    void process();
    void deliver(const Answer& answer);

    ServerCore& m_core;
    QTcpSocket* m_socket;
    bool m_management;
    bool m_waiting = false; // a delayed answer is pending
    bool m_closing = false;
    QByteArray m_buffer;
};

} // namespace zra::sim
