#include "sim/Servers.h"
#include "sim/Management.h"
#include "sim/ModbusRtu.h"
#include <QHostAddress>
#include <QMutexLocker>
#include <QTimer>

namespace zra::sim {

namespace {
const char* channelName(bool management) {
    return management ? "MGMT" : "MODBUS";
}

QString describeFault(const Fault& fault) {
    QString text = QStringLiteral("fault ") + faultKindName(fault.kind);
    if (fault.kind == FaultKind::Delay)
        text += QStringLiteral(" %1 ms").arg(fault.delayMs);
    return text;
}
} // namespace

ServerCore::ServerCore(const Options& options, SimulatorState& state)
    : m_options(options), m_state(state) {
    connect(&m_managementServer, &QTcpServer::newConnection, this,
            [this] { accept(m_managementServer, true); });
    connect(&m_modbusServer, &QTcpServer::newConnection, this,
            [this] { accept(m_modbusServer, false); });
}

bool ServerCore::listen(QString* error) {
    auto failed = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QHostAddress address;
    if (!address.setAddress(m_options.address) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return failed(QStringLiteral("'%1' is not an IPv4 address").arg(m_options.address));
    if (!m_options.logFile.isEmpty() && !m_log.open(m_options.logFile, error))
        return false;
    if (!m_managementServer.listen(address, m_options.managementPort))
        return failed(QStringLiteral("management %1:%2: %3")
                          .arg(m_options.address)
                          .arg(m_options.managementPort)
                          .arg(m_managementServer.errorString()));
    if (!m_modbusServer.listen(address, m_options.modbusPort))
        return failed(QStringLiteral("MODBUS %1:%2: %3")
                          .arg(m_options.address)
                          .arg(m_options.modbusPort)
                          .arg(m_modbusServer.errorString()));
    QMutexLocker lock(&m_state.mutex);
    m_state.managementPort = m_managementServer.serverPort();
    m_state.modbusPort = m_modbusServer.serverPort();
    return true;
}

void ServerCore::accept(QTcpServer& server, bool management) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        logNote(management, QStringLiteral("connection from %1:%2")
                                .arg(socket->peerAddress().toString())
                                .arg(socket->peerPort()));
        new Connection(*this, socket, management);
    }
}

namespace {
// The faults that act on the connection rather than on the reply's bytes:
// delay, silence and closing. True when the fault was one of them.
bool applyTransportFault(const Fault& fault, Answer& answer) {
    switch (fault.kind) {
    case FaultKind::Delay:
        answer.delayMs = fault.delayMs;
        return true;
    case FaultKind::Silence:
        answer.reply.clear();
        return true;
    case FaultKind::Close:
        answer.reply.clear();
        answer.close = true;
        return true;
    default:
        return false;
    }
}
} // namespace

Answer ServerCore::answerModbus(const QByteArray& frame) {
    m_log.frame("MODBUS", "rx", frame);
    Answer answer;
    QMutexLocker lock(&m_state.mutex);
    m_state.modbusFrames.append(frame);
    if (!acceptsRequest(frame, m_options.unitId)) {
        lock.unlock();
        logNote(false, QStringLiteral("not answered (bad CRC, malformed or another unit)"));
        return answer;
    }
    const RequestInfo info = describeRequest(frame);
    const std::optional<Fault> fault =
        m_state.faults.takeModbus(info.function, info.first, info.last);
    // An exception fault refuses the request, so the store stays as it was.
    if (fault && fault->kind == FaultKind::Exception)
        answer.reply = reshapeModbusReply(*fault, {}, info.unit, info.function);
    else
        answer.reply = serveRequest(m_state.store, m_options.unitId, frame);
    lock.unlock();
    if (fault) {
        logNote(false, describeFault(*fault));
        if (!applyTransportFault(*fault, answer) && fault->kind != FaultKind::Exception &&
            fault->kind != FaultKind::OversizedManagement)
            answer.reply = reshapeModbusReply(*fault, answer.reply, info.unit, info.function);
    }
    return answer;
}

Answer ServerCore::answerManagement(const QByteArray& frame) {
    m_log.frame("MGMT", "rx", frame);
    ManagementIdentity identity;
    identity.loginRequired = m_options.loginRequired;
    identity.user = m_options.user;
    identity.password = m_options.password;
    identity.firmware = m_options.firmware;
    Answer answer;
    QMutexLocker lock(&m_state.mutex);
    m_state.managementFrames.append(frame);
    identity.modbusPort = m_options.reportedModbusPort.value_or(m_state.modbusPort);
    const std::optional<Fault> fault = m_state.faults.takeManagement(managementCommand(frame));
    lock.unlock();
    answer.reply = serveManagementRequest(identity, frame);
    if (fault) {
        logNote(true, describeFault(*fault));
        if (!applyTransportFault(*fault, answer) && fault->kind == FaultKind::OversizedManagement)
            answer.reply = oversizedManagementReply(answer.reply);
    }
    return answer;
}

void ServerCore::logReply(bool management, const Answer& answer) {
    if (!answer.reply.isEmpty())
        m_log.frame(channelName(management), "tx", answer.reply);
    if (answer.close)
        logNote(management, QStringLiteral("connection closed"));
}

void ServerCore::logNote(bool management, const QString& text) {
    m_log.note(channelName(management), text);
}

Connection::Connection(ServerCore& core, QTcpSocket* socket, bool management)
    : QObject(&core), m_core(core), m_socket(socket), m_management(management) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    // Bytes that arrived before the signal was connected.
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &Connection::onReadyRead);
}

void Connection::onReadyRead() {
    m_buffer.append(m_socket->readAll());
    process();
}

void Connection::process() {
    while (!m_waiting && !m_closing) {
        const qsizetype length =
            m_management ? managementFrameLength(m_buffer) : requestFrameLength(m_buffer);
        if (length == 0)
            return;
        if (length < 0) {
            m_core.logNote(m_management,
                           QStringLiteral("not a management frame, connection closed"));
            m_closing = true;
            m_socket->disconnectFromHost();
            return;
        }
        const QByteArray frame = m_buffer.left(length);
        m_buffer.remove(0, length);
        const Answer answer =
            m_management ? m_core.answerManagement(frame) : m_core.answerModbus(frame);
        if (answer.delayMs > 0) {
            m_waiting = true;
            QTimer::singleShot(answer.delayMs, this, [this, answer] {
                m_waiting = false;
                deliver(answer);
                process();
            });
            return;
        }
        deliver(answer);
    }
}

void Connection::deliver(const Answer& answer) {
    m_core.logReply(m_management, answer);
    if (!answer.reply.isEmpty())
        m_socket->write(answer.reply);
    if (answer.close) {
        m_closing = true;
        m_socket->disconnectFromHost();
    }
}

} // namespace zra::sim
