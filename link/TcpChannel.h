#pragma once
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace zra::link {

// One TCP connection used as a blocking channel from the user-interface
// thread: connect, send and exact-length receive wait in one nested event
// loop, so windows keep repainting and taking input meanwhile. A reply that
// comes within a millisecond is taken straight from the socket, as long as
// the loop has handled the windows' events in the last few milliseconds.
class TcpChannel : public QObject {
    Q_OBJECT
public:
    explicit TcpChannel(QObject* parent = nullptr);
    // Closes without telling anyone: the owner is going away.
    ~TcpChannel() override;

    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    // Connects with a time-out. On failure returns false and the error's text.
    bool open(const QString& host, std::uint16_t port, int timeoutMs, QString* errorText);
    // Closes gracefully (pending output is flushed); nothing happens if closed.
    void close();
    // Drops the connection at once, with whatever is pending.
    void abort();

    // Sends all bytes. Throws LinkError when the channel is not connected or the
    // write fails.
    void send(const std::uint8_t* data, int count);
    // Receives exactly count bytes. False with an error text on time-out, on a
    // connection closed before count bytes came, or on a m_socket error.
    bool receive(std::uint8_t* out, int count, int timeoutMs, QString* errorText);
    // Throws away bytes that arrived unasked (a reply that came after its time-out).
    void discardPending();
    // The bytes that arrived and were not received yet (a reply cut short),
    // left in place.
    QByteArray pendingBytes();

signals:
    // Connection status texts, as the connection goes through its states.
    void statusText(const QString& text);
    // The connection went from connected to closed.
    void closed();

private:
    // The one place that waits: handles events until done() holds, the
    // socket closes or reports an error, or the time runs out.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    // Bytes received and not taken yet: those read ahead, then the socket's.
    qint64 available() const { return m_ahead.size() + m_socket.bytesAvailable(); }
    // Reads ahead what comes within the quick wait, without the event loop.
    void readQuickly(int count);
    // Takes count bytes of what is available.
    bool take(std::uint8_t* out, int count);

    QTcpSocket m_socket;
    // Sets the timer to fire by deadline at the latest.
    void wakeBy(const QDeadlineTimer& deadline);

    QTimer m_timeout;          // wakes the running wait by its deadline
    QDeadlineTimer m_timerDue; // when it fires
    QDeadlineTimer m_deadline; // of the running wait
    bool m_waiting = false;    // a wait runs
    int m_errors = 0;          // the socket's errors so far
    // Read straight from the socket by the quick wait; they come before
    // anything in the socket's own buffer, which is empty whenever they are
    // read.
    QByteArray m_ahead;
    QElapsedTimer m_eventsHandled; // since a wait last let the event loop run
    QString m_peer;
    QAbstractSocket::SocketState m_lastState = QAbstractSocket::UnconnectedState;
};

} // namespace zra::link
