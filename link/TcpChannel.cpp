#include "link/TcpChannel.h"

#include "link/LinkError.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <algorithm>

namespace zra::link {

TcpChannel::TcpChannel(QObject* parent) : QObject(parent) {
    connect(&m_socket, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                switch (state) {
                case QAbstractSocket::HostLookupState:
                    emit statusText(QStringLiteral("Resolving host %1...").arg(m_peer));
                    break;
                case QAbstractSocket::ConnectingState:
                    emit statusText(QStringLiteral("Connecting to %1...").arg(m_peer));
                    break;
                case QAbstractSocket::ConnectedState:
                    emit statusText(QStringLiteral("Connected."));
                    break;
                case QAbstractSocket::ClosingState:
                    emit statusText(QStringLiteral("Disconnecting..."));
                    break;
                case QAbstractSocket::UnconnectedState:
                    emit statusText(QStringLiteral("Disconnected."));
                    break;
                default:
                    break;
                }
                const bool wasConnected = m_lastState == QAbstractSocket::ConnectedState ||
                                          m_lastState == QAbstractSocket::ClosingState;
                m_lastState = state;
                if (wasConnected && state == QAbstractSocket::UnconnectedState)
                    emit closed();
                checkWait();
            });
    // The signals that end a wait are connected once: a wait happens twice
    // per exchange, and connecting them each time costs more than the rest.
    connect(&m_socket, &QIODevice::readyRead, this, &TcpChannel::checkWait);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        if (m_loop)
            m_loop->quit();
    });
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_loop)
            m_loop->quit();
    });
}

TcpChannel::~TcpChannel() {
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpChannel::checkWait() {
    if (m_loop && ((*m_done)() || m_socket.state() == QAbstractSocket::UnconnectedState))
        m_loop->quit();
}

bool TcpChannel::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return false;
    QEventLoop loop;
    // A wait started from a handler while another one runs gets the loop and
    // the timer; the outer one resumes after it with the time it had left.
    const auto outer =
        qScopeGuard([this, loop = m_loop, condition = m_done, deadline = m_deadline] {
            m_loop = loop;
            m_done = condition;
            m_deadline = deadline;
            if (m_loop)
                m_timeout.start(int(std::max<qint64>(0, m_deadline.remainingTime())));
            else
                m_timeout.stop();
        });
    m_loop = &loop;
    m_done = &done;
    m_deadline = QDeadlineTimer(timeoutMs, Qt::PreciseTimer);
    m_timeout.start(timeoutMs);
    loop.exec();
    return done();
}

bool TcpChannel::open(const QString& host, std::uint16_t port, int timeoutMs, QString* errorText) {
    m_socket.abort();
    m_peer = host;
    m_socket.connectToHost(host, port);
    if (!waitUntil([this] { return isOpen(); }, timeoutMs)) {
        const bool timedOut = m_socket.state() != QAbstractSocket::UnconnectedState;
        const QString text = timedOut
                                 ? QStringLiteral("Spojení s %1:%2 se nepodařilo navázat do %3 ms")
                                       .arg(host)
                                       .arg(port)
                                       .arg(timeoutMs)
                                 : m_socket.errorString();
        m_socket.abort();
        if (errorText)
            *errorText = text;
        return false;
    }
    // Short request and reply frames: send each at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

void TcpChannel::close() {
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
}

void TcpChannel::abort() {
    m_socket.abort();
}

void TcpChannel::send(const std::uint8_t* data, int count) {
    if (!isOpen())
        throw LinkError(QStringLiteral("Spojení se zařízením není otevřeno"));
    const qint64 written = m_socket.write(reinterpret_cast<const char*>(data), count);
    if (written != count)
        throw LinkError(m_socket.errorString());
    m_socket.flush();
}

bool TcpChannel::receive(std::uint8_t* out, int count, int timeoutMs, QString* errorText) {
    if (!waitUntil([&] { return m_socket.bytesAvailable() >= count; }, timeoutMs)) {
        if (errorText) {
            if (m_socket.state() == QAbstractSocket::UnconnectedState)
                *errorText = m_socket.error() == QAbstractSocket::RemoteHostClosedError ||
                                     m_socket.error() == QAbstractSocket::UnknownSocketError
                                 ? QStringLiteral("Zařízení ukončilo spojení")
                                 : m_socket.errorString();
            else
                *errorText = QStringLiteral("Zařízení neodpovědělo do %1 ms").arg(timeoutMs);
        }
        return false;
    }
    return m_socket.read(reinterpret_cast<char*>(out), count) == count;
}

void TcpChannel::discardPending() {
    if (m_socket.bytesAvailable() > 0)
        m_socket.readAll();
}

QByteArray TcpChannel::pendingBytes() {
    return m_socket.peek(m_socket.bytesAvailable());
}

} // namespace zra::link
