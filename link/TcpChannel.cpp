#include "link/TcpChannel.h"

#include "link/LinkError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace zra::link {

namespace {

// How long a receive waits for its bytes on the socket alone, and how long
// after the event loop last ran it may: a fast installation's replies cost
// no pass of the event loop, and the windows still get their events at
// least every few milliseconds.
constexpr int QuickReplyMs = 1;
constexpr int EventsEveryMs = 4;

} // namespace

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
            });
    // What ends a wait is looked at after every event the wait's loop
    // handles: the condition, the socket's state, an error, the time. The
    // timer only wakes the loop at the deadline.
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] { ++m_errors; });
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    // A timer that came before the running wait's deadline (one set for an
    // earlier wait, or a little early) wakes it again at that deadline.
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_waiting && !m_deadline.hasExpired()) {
            m_timeout.start(int(m_deadline.remainingTime()) + 1);
            m_timerDue = m_deadline;
        }
    });
}

TcpChannel::~TcpChannel() {
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpChannel::wakeBy(const QDeadlineTimer& deadline) {
    // A timer set for an earlier wait that comes due first is left running:
    // it wakes the loop, which looks at the time and sets it again. So an
    // exchange neither starts nor stops a timer, and one that fires after
    // the waits ended does nothing.
    if (m_timeout.isActive() && m_timerDue <= deadline)
        return;
    m_timeout.start(int(std::max<qint64>(0, deadline.remainingTime())));
    m_timerDue = deadline;
}

bool TcpChannel::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return false;
    // A wait started from a handler while another one runs gets the timer;
    // the outer one resumes after it with the time it had left.
    const auto outer = qScopeGuard([this, deadline = m_deadline, waiting = m_waiting] {
        m_deadline = deadline;
        m_waiting = waiting;
        if (m_waiting)
            wakeBy(m_deadline);
    });
    m_waiting = true;
    m_deadline = QDeadlineTimer(timeoutMs, Qt::PreciseTimer);
    wakeBy(m_deadline);
    const int errors = m_errors;
    // The windows' events are handled as they come; no pass is made, and no
    // wake-up sent, where none is pending.
    while (!done() && m_errors == errors && m_socket.state() != QAbstractSocket::UnconnectedState &&
           !m_deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_eventsHandled.start();
    return done();
}

bool TcpChannel::open(const QString& host, std::uint16_t port, int timeoutMs, QString* errorText) {
    m_socket.abort();
    m_ahead.clear();
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
    m_ahead.clear();
}

void TcpChannel::send(const std::uint8_t* data, int count) {
    if (!isOpen())
        throw LinkError(QStringLiteral("Spojení se zařízením není otevřeno"));
    // A frame goes straight to the socket when nothing waits before it in
    // the socket's write buffer: that buffer's write notifier, switched on
    // and off for every frame, wakes the event loop twice. What the socket
    // does not take at once (or an error) goes the buffered way, which
    // reports it.
    qint64 done = 0;
    if (m_socket.bytesToWrite() == 0) {
        const ssize_t n = ::send(int(m_socket.socketDescriptor()), data, std::size_t(count),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        done = std::max<ssize_t>(n, 0);
    }
    if (done == count)
        return;
    const qint64 written = m_socket.write(reinterpret_cast<const char*>(data) + done, count - done);
    if (written != count - done)
        throw LinkError(m_socket.errorString());
    m_socket.flush();
}

void TcpChannel::readQuickly(int count) {
    if (available() >= count || !isOpen() || !m_eventsHandled.isValid() ||
        m_eventsHandled.elapsed() >= EventsEveryMs)
        return;
    // What the socket holds goes first, so that what is read ahead stays in order.
    if (m_socket.bytesAvailable() > 0)
        m_ahead += m_socket.readAll();
    const int fd = int(m_socket.socketDescriptor());
    const QDeadlineTimer quick(QuickReplyMs, Qt::PreciseTimer);
    while (m_ahead.size() < count) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, int(std::max<qint64>(0, quick.remainingTime()))) <= 0)
            return;
        char bytes[512];
        const ssize_t n = ::recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
        // A closed connection or an error is left to the socket to find
        // and report in the event loop's wait.
        if (n <= 0)
            return;
        m_ahead.append(bytes, n);
    }
}

bool TcpChannel::take(std::uint8_t* out, int count) {
    const int ahead = int(std::min<qint64>(count, m_ahead.size()));
    std::copy_n(m_ahead.constData(), ahead, out);
    m_ahead.remove(0, ahead);
    return ahead == count ||
           m_socket.read(reinterpret_cast<char*>(out) + ahead, count - ahead) == count - ahead;
}

bool TcpChannel::receive(std::uint8_t* out, int count, int timeoutMs, QString* errorText) {
    readQuickly(count);
    if (!waitUntil([&] { return available() >= count; }, timeoutMs)) {
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
    return take(out, count);
}

void TcpChannel::discardPending() {
    m_ahead.clear();
    if (m_socket.bytesAvailable() > 0)
        m_socket.readAll();
}

QByteArray TcpChannel::pendingBytes() {
    return m_ahead + m_socket.peek(m_socket.bytesAvailable());
}

} // namespace zra::link
