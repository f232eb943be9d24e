#include "cli/Session.h"

#include "cli/Output.h"
#include "link/LinkError.h"
#include "text/Cp1250.h"

#include <QFileInfo>
#include <cerrno>

namespace zra::cli {

void StderrReporter::warning(const QString& text) {
    std::fprintf(stderr, "zra-cli: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

bool WriteOut(std::FILE* out, const QByteArray& bytes) {
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), out) ==
            std::size_t(bytes.size()) &&
        std::fflush(out) == 0)
        return true;
    link::Report().warning(QStringLiteral("the output cannot be written: %1")
                               .arg(errno ? qt_error_string(errno) : QStringLiteral("I/O error")));
    return false;
}

Session::Session(const CommandLine& line) : m_line(line) {
    m_link.setAddress(m_line.address);
    m_link.setUnitIdValue(m_line.unit);
    m_link.loginDialog = [this] { logIn(); };
}

void Session::logIn() {
    m_loginAsked = true;
    if (!m_line.login) {
        link::Report().warning(QStringLiteral("the installation requires a login: "
                                              "give --login USER:PASSWORD or --login-file FILE"));
        return;
    }
    // The login dialog's exchange.
    try {
        switch (m_client.login(m_line.login->user, m_line.login->password)) {
        case link::DeviceClient::Login::Granted:
            return;
        case link::DeviceClient::Login::Failed:
            // The link has said why the channel did not open.
            m_loginBroken = true;
            return;
        case link::DeviceClient::Login::Refused:
            break;
        }
    } catch (const std::exception& e) {
        m_loginBroken = true;
        link::Report().warning(QString::fromUtf8(e.what()));
        return;
    }
    link::Report().warning(link::DeviceClient::LoginRefusedText);
}

ExitStatus Session::connect() {
    m_loginAsked = false;
    m_loginBroken = false;
    try {
        m_link.ConnectCommand();
    } catch (const std::exception& e) {
        link::Report().warning(QString::fromUtf8(e.what()));
        return NoConnection;
    }
    if (m_link.connectedState())
        return Success;
    return m_loginAsked && !m_loginBroken ? LoginRefused : NoConnection;
}

ExitStatus Session::checkAppendFile() const {
    const QString& path = m_line.appendFile;
    if (path.isEmpty())
        return Success;
    const QFileInfo info(path);
    QString error;
    if (info.exists()) {
        // Every record is checked, as the tool's open checks them, none decoded.
        if (!store::LoadLastSnapshots(
                path, 0, [](store::ViewKind, double) {}, {}, &error)) {
            link::Report().warning(error);
            return BadFile;
        }
        if (!info.isWritable())
            error = QStringLiteral("\"%1\" is not writable").arg(path);
    } else if (!QFileInfo(info.absolutePath()).isWritable()) {
        error = QStringLiteral("\"%1\" cannot be created in \"%2\"").arg(path, info.absolutePath());
    }
    if (error.isEmpty())
        return Success;
    link::Report().warning(error);
    return BadFile;
}

ExitStatus Session::round(std::FILE* out) {
    // A file that cannot take the tables fails before anything is read.
    if (m_firstRound)
        if (const ExitStatus status = checkAppendFile(); status != Success)
            return status;
    if (!m_link.connectedState())
        if (const ExitStatus status = connect(); status != Success)
            return status;
    Round r{m_line.address, m_line.unit, QDateTime::currentDateTime(), {}};
    try {
        const auto tables = ReadViews(m_client, m_descriptions, m_line.views);
        if (!tables)
            return ExchangeFailed;
        r.tables = *tables;
    } catch (const std::exception& e) {
        link::Report().warning(QString::fromUtf8(e.what()));
        return ExchangeFailed;
    }
    QByteArray bytes;
    switch (m_line.format) {
    case Format::Text:
        bytes = TextRound(r);
        break;
    case Format::Csv:
        bytes = CsvRound(r, m_firstRound);
        break;
    case Format::Json:
        bytes = JsonRound(r);
        break;
    }
    m_firstRound = false;
    if (!WriteOut(out, bytes))
        return WriteFailed;
    return append(r.tables);
}

ExitStatus Session::append(const QList<ViewTable>& tables) {
    if (m_line.appendFile.isEmpty())
        return Success;
    for (const ViewTable& v : tables) {
        QString error, notice;
        // Each record with the time of its own save, as "Ulož vše" writes them.
        m_lastStamp = store::NextSaveStamp(QDateTime::currentDateTime(), m_lastStamp);
        const double stamp = m_lastStamp;
        // The file passed its check before the first read: what fails now is
        // the write itself.
        const bool saved =
            store::AppendSnapshot(m_line.appendFile, v.view, stamp, v.table, &error, &notice);
        if (!notice.isEmpty())
            link::Report().warning(notice);
        if (!saved) {
            link::Report().warning(error);
            return WriteFailed;
        }
    }
    return Success;
}

} // namespace zra::cli
