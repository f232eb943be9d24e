#include "link/TcpChannel.h"

#include "link/LinkError.h"

#include <QEventLoop>
#include <QTimer>

namespace zra::link {

TcpChannel::TcpChannel(QObject* parent) : QObject(parent) {
    connect(&socket, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                switch (state) {
                case QAbstractSocket::HostLookupState:
                    emit statusText(QStringLiteral("Resolving host %1...").arg(peer));
                    break;
                case QAbstractSocket::ConnectingState:
                    emit statusText(QStringLiteral("Connecting to %1...").arg(peer));
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
                const bool wasConnected = lastState == QAbstractSocket::ConnectedState ||
                                          lastState == QAbstractSocket::ClosingState;
                lastState = state;
                if (wasConnected && state == QAbstractSocket::UnconnectedState)
                    emit closed();
            });
}

TcpChannel::~TcpChannel() {
    socket.disconnect(this);
    socket.abort();
}

bool TcpChannel::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    if (socket.state() == QAbstractSocket::UnconnectedState)
        return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done() || socket.state() == QAbstractSocket::UnconnectedState)
            loop.quit();
    };
    // Connected to the local loop: they end with it.
    connect(&socket, &QIODevice::readyRead, &loop, check);
    connect(&socket, &QAbstractSocket::stateChanged, &loop, check);
    connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return done();
}

bool TcpChannel::open(const QString& host, std::uint16_t port, int timeoutMs, QString* errorText) {
    socket.abort();
    peer = host;
    socket.connectToHost(host, port);
    if (!waitUntil([this] { return isOpen(); }, timeoutMs)) {
        const bool timedOut = socket.state() != QAbstractSocket::UnconnectedState;
        const QString text = timedOut
                                 ? QStringLiteral("Spojení s %1:%2 se nepodařilo navázat do %3 ms")
                                       .arg(host)
                                       .arg(port)
                                       .arg(timeoutMs)
                                 : socket.errorString();
        socket.abort();
        if (errorText)
            *errorText = text;
        return false;
    }
    // Short request and reply frames: send each at once.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

void TcpChannel::close() {
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.abort();
}

void TcpChannel::abort() {
    socket.abort();
}

void TcpChannel::send(const std::uint8_t* data, int count) {
    if (!isOpen())
        throw LinkError(QStringLiteral("Spojení se zařízením není otevřeno"));
    const qint64 written = socket.write(reinterpret_cast<const char*>(data), count);
    if (written != count)
        throw LinkError(socket.errorString());
    socket.flush();
}

bool TcpChannel::receive(std::uint8_t* out, int count, int timeoutMs, QString* errorText) {
    if (!waitUntil([&] { return socket.bytesAvailable() >= count; }, timeoutMs)) {
        if (errorText) {
            if (socket.state() == QAbstractSocket::UnconnectedState)
                *errorText = socket.error() == QAbstractSocket::RemoteHostClosedError ||
                                     socket.error() == QAbstractSocket::UnknownSocketError
                                 ? QStringLiteral("Zařízení ukončilo spojení")
                                 : socket.errorString();
            else
                *errorText = QStringLiteral("Zařízení neodpovědělo do %1 ms").arg(timeoutMs);
        }
        return false;
    }
    return socket.read(reinterpret_cast<char*>(out), count) == count;
}

void TcpChannel::discardPending() {
    if (socket.bytesAvailable() > 0)
        socket.readAll();
}

} // namespace zra::link
