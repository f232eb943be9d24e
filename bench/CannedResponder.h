#pragma once
// A minimal MODBUS responder for the benchmarks: a plain blocking server in a
// thread of its own that answers each 8-byte request at once with the reply
// canned for exactly those bytes, each connection in a thread of its own, so
// that a client measured against it waits on no simulated installation's own
// work. A request it has no reply for ends its connection.
#include "link/ModbusFrame.h"

#include <QByteArray>
#include <QHash>
#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zra::bench {

class CannedResponder {
public:
    CannedResponder(const char* address, QHash<QByteArray, QByteArray> replies)
        : m_replies(std::move(replies)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &a.sin_addr);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 4);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { accept(); });
    }
    ~CannedResponder() {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_thread.join();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            for (const int c : m_connections)
                ::shutdown(c, SHUT_RDWR);
        }
        for (std::thread& t : m_served)
            t.join();
        for (const int c : m_connections)
            ::close(c);
    }
    quint16 port() const { return m_port; }

private:
    void accept() {
        while (!m_stop) {
            const int c = ::accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            const int on = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_connections.push_back(c);
            m_served.emplace_back([this, c] { serve(c); });
        }
    }
    void serve(int c) {
        char request[8];
        while (::recv(c, request, sizeof request, MSG_WAITALL) == sizeof request) {
            const auto reply = m_replies.constFind(QByteArray(request, sizeof request));
            if (reply == m_replies.cend() ||
                ::send(c, reply->constData(), size_t(reply->size()), 0) != reply->size())
                break;
        }
        ::shutdown(c, SHUT_RDWR);
    }
    const QHash<QByteArray, QByteArray> m_replies;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<int> m_connections; // closed when the responder ends
    std::vector<std::thread> m_served;
};

// The request frame of a read.
inline QByteArray ReadFrame(const link::ModbusRequest& request) {
    std::uint8_t frame[link::FrameBufferSize];
    return QByteArray(reinterpret_cast<const char*>(frame),
                      link::BuildRequestFrame(request, frame));
}

} // namespace zra::bench
