#include "export/Exporter.h"

#include "reads/ViewTable.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QLocale>
#include <QTcpServer>

namespace zra::exporter {

Exporter::Exporter(Settings settings)
    : m_settings(std::move(settings)), m_board(m_settings.targets) {
    m_server.route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8", metricsText());
    });
    m_server.route(QStringLiteral("/"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse("text/html; charset=utf-8", statusPage());
    });
}

Exporter::~Exporter() {
    stop();
}

bool Exporter::listen(QString* error) {
    // The listener is made here, so that its failure says why.
    auto listener = std::make_unique<QTcpServer>();
    if (!listener->listen(m_settings.listenAddress, m_settings.listenPort)) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(m_settings.listenText, listener->errorString());
        return false;
    }
    m_port = listener->serverPort();
    // The server takes the listener over.
    m_server.bind(listener.release());
    return true;
}

void Exporter::start() {
    // Made before the threads start: the locale the decoders format with,
    // and the catalog of metrics.
    QLocale::system();
    reads::TableViews();
    Families();
    for (int n = 0; n < m_settings.targets.size(); ++n) {
        m_threads.push_back(std::make_unique<InstallationThread>(n, m_settings.targets[n],
                                                                 m_settings.read, m_board));
        m_threads.back()->start();
    }
}

void Exporter::stop() {
    for (const auto& t : m_threads)
        t->requestStop();
    m_threads.clear();
}

QByteArray Exporter::metricsText() const {
    const auto rounds = m_board.rounds();
    std::vector<const FamilyLines*> lines;
    lines.reserve(rounds.size());
    for (const auto& r : rounds)
        lines.push_back(&r->lines);
    return Exposition(lines);
}

QByteArray Exporter::statusPage() const {
    const auto escaped = [](const QString& text) { return text.toHtmlEscaped(); };
    const auto time = [](const QDateTime& t) {
        return t.isValid() ? t.toString(Qt::ISODate) : QStringLiteral("—");
    };
    QString page =
        QStringLiteral(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>zra-cli export</title>"
            "<style>body{font-family:sans-serif}td,th{padding:2px 8px;text-align:left}"
            ".up{color:#070}.down{color:#a00}</style></head><body>\n"
            "<h1>zra-cli export</h1>\n<p>Metrics: <a href=\"/metrics\">/metrics</a>; every "
            "installation is read every %1 s.</p>\n<table>\n<tr><th>Installation</th><th>Unit</th>"
            "<th>State</th><th>Last read</th><th>Round took</th><th>Failed rounds</th>"
            "<th>Last failure</th></tr>\n")
            .arg(m_settings.read.everySeconds);
    for (const auto& r : m_board.rounds()) {
        const QString state = !r->read ? QStringLiteral("<td>first round runs</td>")
                              : r->up  ? QStringLiteral("<td class=\"up\">up</td>")
                                       : QStringLiteral("<td class=\"down\">down</td>");
        page += QStringLiteral("<tr><td>%1</td><td>%2</td>%3<td>%4</td><td>%5</td><td>%6</td>"
                               "<td>%7</td></tr>\n")
                    .arg(escaped(r->target.address))
                    .arg(r->target.unit)
                    .arg(state, time(r->lastSuccess),
                         r->read ? QStringLiteral("%1 s").arg(r->durationSeconds, 0, 'f', 3)
                                 : QStringLiteral("—"))
                    .arg(r->failures)
                    .arg(escaped(r->error));
    }
    page += QStringLiteral("</table>\n</body></html>\n");
    return page.toUtf8();
}

} // namespace zra::exporter
