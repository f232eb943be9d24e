#include "export/Targets.h"

#include "text/Numbers.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

namespace zra::exporter {

bool IsHostText(const QString& text) {
    if (QHostAddress address; address.setAddress(text))
        return true;
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*"
                       "[A-Za-z0-9])?)*\\.?$"));
    // Digits and dots alone are an address or nothing ("127.0.0.300").
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    return text.size() <= 253 && !numeric.match(text).hasMatch() && name.match(text).hasMatch();
}

bool ParseTargets(const QString& text, const QString& source, int defaultUnit,
                  QList<Target>* targets, QString* error) {
    QList<Target> parsed;
    QSet<QString> seen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const auto fail = [&](const QString& reason) {
            *error = QStringLiteral("%1:%2: %3").arg(source).arg(n + 1).arg(reason);
            return false;
        };
        QString line = lines[n];
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(QLatin1Char(','));
        if (parts.size() > 2)
            return fail(QStringLiteral("\"%1\" is not address[,unit]").arg(line));
        Target target;
        target.address = parts[0].trimmed();
        target.unit = defaultUnit;
        if (!IsHostText(target.address))
            return fail(
                QStringLiteral("\"%1\" is not a host name or an address").arg(target.address));
        if (parts.size() == 2 && !text::ParseNumber(parts[1].trimmed(), 1, 255, &target.unit))
            return fail(QStringLiteral("the unit \"%1\" is not a MODBUS unit id from 1 to 255")
                            .arg(parts[1].trimmed()));
        const QString key = QStringLiteral("%1,%2").arg(target.address).arg(target.unit);
        if (seen.contains(key))
            return fail(
                QStringLiteral("%1 unit %2 is given twice").arg(target.address).arg(target.unit));
        seen.insert(key);
        parsed << target;
    }
    if (parsed.isEmpty()) {
        *error = QStringLiteral("%1: no target (one \"address[,unit]\" per line)").arg(source);
        return false;
    }
    *targets = parsed;
    return true;
}

std::optional<QHostAddress> ResolveHost(const QString& host, int timeoutMs) {
    if (QHostAddress address; address.setAddress(host))
        return address;
    std::optional<QHostAddress> found;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const int id = QHostInfo::lookupHost(host, &loop, [&](const QHostInfo& info) {
        const QList<QHostAddress> addresses = info.addresses();
        for (const QHostAddress& a : addresses)
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                found = a;
                break;
            }
        if (!found && !addresses.isEmpty())
            found = addresses.constFirst();
        loop.quit();
    });
    limit.start(timeoutMs);
    loop.exec();
    if (limit.isActive())
        return found;
    QHostInfo::abortHostLookup(id);
    return std::nullopt;
}

} // namespace zra::exporter
