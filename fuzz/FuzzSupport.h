#pragma once
// What the link targets share: quiet UI services, a scripted peer on a
// loopback address, and a listening server that is looked for on a few
// loopback addresses in turn (another fuzz process may hold the first).
#include "link/Reporter.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace zra::fuzz {

// The offscreen platform, and Qt's own messages kept to its critical ones
// (a fatal one aborts, so that the fuzzer reports it).
inline void PrepareQt() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        if (type == QtFatalMsg)
            std::abort();
    });
}

[[noreturn]] inline void Broken(const char* target, const char* what) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

// The link's messages are counted and their last text kept.
class QuietReporter : public link::Reporter {
public:
    int messages = 0;
    QString lastMessage;

    void warning(const QString& text) override {
        ++messages;
        lastMessage = text;
    }
};

// A peer that answers the requests of every connection it accepts from a
// script, in the thread of the link (the link's nested event loops run it).
// The server listens for the whole run; each input starts with reset().
class ScriptedPeer {
public:
    struct Reply {
        QByteArray bytes;
        bool close = true; // close the connection once the bytes are written
    };
    // The length of the request at the start of the bytes received so far,
    // 0 while it is incomplete.
    std::function<qsizetype(const QByteArray&)> requestLength;
    // The reply to request `request` (from 0) of connection `connection`
    // (from 0, counted since reset()).
    std::function<Reply(int connection, int request, const QByteArray& bytes)> answer;

    ScriptedPeer() {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { acceptAll(); });
    }

    bool listen(const QHostAddress& address, quint16 port) {
        return m_server.listen(address, port);
    }
    quint16 port() const { return m_server.serverPort(); }

    // Drops every connection of the last input; the counts start again.
    void reset() {
        m_connections.clear();
        m_accepted = 0;
    }
    int connections() const { return m_accepted; }
    int requests() const {
        int n = 0;
        for (const auto& c : m_connections)
            n += c->requests;
        return n;
    }

private:
    struct Connection {
        std::unique_ptr<QTcpSocket> socket;
        QByteArray pending;
        int index = 0;
        int requests = 0;
        bool closing = false;
    };

    void acceptAll() {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            auto c = std::make_unique<Connection>();
            c->socket.reset(s);
            s->setParent(nullptr);
            c->index = m_accepted++;
            Connection* raw = c.get();
            QObject::connect(s, &QIODevice::readyRead, [this, raw] { receive(*raw); });
            m_connections.push_back(std::move(c));
            // Bytes may have come with the connection.
            receive(*raw);
        }
    }

    void receive(Connection& c) {
        c.pending += c.socket->readAll();
        while (!c.closing) {
            const qsizetype length = requestLength(c.pending);
            if (length <= 0 || length > c.pending.size())
                return;
            const QByteArray request = c.pending.left(length);
            c.pending.remove(0, length);
            const Reply reply = answer(c.index, c.requests++, request);
            if (!reply.bytes.isEmpty()) {
                c.socket->write(reply.bytes);
                c.socket->flush();
            }
            if (reply.close) {
                c.closing = true;
                c.socket->disconnectFromHost();
            }
        }
    }

    QTcpServer m_server;
    std::vector<std::unique_ptr<Connection>> m_connections;
    int m_accepted = 0;
};

// Listens on `port` of the first loopback address 127.0.K.last (K = 0, 1, ...)
// where it is free; the address, or an empty text.
inline QString ListenOnLoopback(ScriptedPeer& peer, int last, quint16 port) {
    for (int k = 0; k < 32; ++k) {
        const QString address = QStringLiteral("127.0.%1.%2").arg(k).arg(last);
        if (peer.listen(QHostAddress(address), port))
            return address;
    }
    return {};
}

} // namespace zra::fuzz
