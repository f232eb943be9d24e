#pragma once
// What the benchmarks share: UI services that never wait on a dialog, a
// plain blocking client, timing and the median of runs.
#include "link/ModbusFrame.h"
#include "ui/UiServices.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
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

// A plain blocking client: connected with TCP_NODELAY, or false.
inline bool ConnectPlain(QTcpSocket& socket, const QString& host, quint16 port) {
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(5000))
        return false;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

// Sends one request and waits for its reply of replyBytes; false on a short reply.
inline bool PlainExchange(QTcpSocket& socket, const link::ModbusRequest& request,
                          qint64 replyBytes) {
    std::uint8_t frame[link::FrameBufferSize];
    socket.write(reinterpret_cast<const char*>(frame), link::BuildRequestFrame(request, frame));
    qint64 got = 0;
    while (got < replyBytes && socket.waitForReadyRead(2000))
        got += socket.read(replyBytes - got).size();
    return got == replyBytes;
}

} // namespace zra::bench
