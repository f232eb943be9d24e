#pragma once
#include "export/Installation.h"

#include <QHostAddress>
#include <QHttpServer>
#include <memory>
#include <vector>

namespace zra::exporter {

struct Settings {
    QHostAddress listenAddress;
    quint16 listenPort = 0; // 0: any free port
    QString listenText;     // HOST:PORT as given, for messages
    QList<Target> targets;  // resolved
    ReadSettings read;
};

// The exporter: GET /metrics (the text exposition of every installation's
// last completed round) and GET / (a page of the targets and their state)
// on the listen address, each installation read by its own thread.
class Exporter {
public:
    explicit Exporter(Settings settings);
    ~Exporter();

    // Starts the HTTP listener alone; false with the reason when the address
    // cannot be listened on (a port taken, an address not of this machine).
    bool listen(QString* error);
    quint16 port() const { return m_port; }
    // Starts every installation's thread.
    void start();
    // Ends the rounds and waits for the threads.
    void stop();

    QByteArray metricsText() const;
    QByteArray statusPage() const;

private:
    Settings m_settings;
    RoundBoard m_board;
    QHttpServer m_server;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<InstallationThread>> m_threads;
};

} // namespace zra::exporter
