#pragma once
// What the benchmarks share: UI services that never wait on a dialog, the
// bare blocking client, timing, the median of runs, the process's memory and
// open files, and the rows that scripts/bench.sh gathers into one table.
#include "link/ModbusFrame.h"
#include "ui/UiServices.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace zra::bench {

// Messages go to stderr and are counted; file dialogs answer with `file`;
// modal dialogs are rejected at once.
class QuietUi : public ui::QtUiServices {
public:
    QString file;
    int messages = 0;
    void showMessage(QWidget*, const QString& text, ui::MessageIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++messages;
    }
    int execDialog(QDialog*) override { return 0; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return file;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return file;
    }
};

inline double MsSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The bare client every measured client is compared with: a blocking POSIX
// socket with TCP_NODELAY, one send and one exact receive per exchange.
class PlainClient {
public:
    PlainClient(const QString& host, quint16 port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, host.toLatin1().constData(), &a.sin_addr);
        const timeval timeout{2, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~PlainClient() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PlainClient(const PlainClient&) = delete;
    PlainClient& operator=(const PlainClient&) = delete;
    bool connected() const { return m_fd >= 0; }

    // Sends frame and receives exactly replyBytes into reply; false when
    // they do not come.
    bool exchange(const QByteArray& frame, qint64 replyBytes, QByteArray* reply = nullptr) {
        if (::send(m_fd, frame.constData(), size_t(frame.size()), 0) != frame.size())
            return false;
        m_buffer.resize(replyBytes);
        const ssize_t got = ::recv(m_fd, m_buffer.data(), size_t(replyBytes), MSG_WAITALL);
        if (reply)
            *reply = m_buffer;
        return got == replyBytes;
    }

private:
    int m_fd = -1;
    QByteArray m_buffer;
};

// The reply length of a read frame: 5 bytes and the registers asked for.
inline qint64 ReadReplyBytes(const QByteArray& frame) {
    return 5 + 2 * ((std::uint8_t(frame[4]) << 8) | std::uint8_t(frame[5]));
}

// Keeps the process, and the threads it starts later, on one core. A reply
// between two threads on different cores waits for the other core to wake,
// which on this kind of machine costs from a few to a hundred microseconds,
// varying between runs; on one core each hand-over is a plain switch, the
// same for every client measured.
inline void PinToOneCore() {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    ::sched_setaffinity(0, sizeof one, &one);
}

// One figure of the common table, on a line of its own that scripts/bench.sh
// picks out: what was measured, its value (with unit), the goal, and whether
// the goal was met.
inline void Row(const char* figure, const QString& value, const char* goal, bool met) {
    std::printf("@row\t%s\t%s\t%s\t%s\n", figure, qPrintable(value), goal, met ? "met" : "NOT MET");
    std::fflush(stdout);
}

// The process's resident memory in bytes, from /proc.
inline qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

// Open file descriptors of the process, and how many of them are sockets.
struct OpenFiles {
    int all = 0;
    int sockets = 0;
    bool operator==(const OpenFiles&) const = default;
};
inline OpenFiles CountOpenFiles() {
    OpenFiles n;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return n;
    const int own = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.' || std::atoi(e->d_name) == own)
            continue;
        ++n.all;
        char target[64] = {};
        const std::string path = std::string("/proc/self/fd/") + e->d_name;
        if (::readlink(path.c_str(), target, sizeof target - 1) > 0 &&
            std::strncmp(target, "socket:", 7) == 0)
            ++n.sockets;
    }
    ::closedir(dir);
    return n;
}

// The worst lateness of a 10 ms timer while it runs: how long the
// user-interface thread went without handling its events.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, (now - m_last) / 1e6 - 10.0);
            m_last = now;
        });
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start(10);
    }
    double worstMs() const { return std::max(0.0, m_worst); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_worst = 0;
};

} // namespace zra::bench
