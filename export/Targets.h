#pragma once
#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>

namespace zra::exporter {

// One installation the exporter reads: its address as given (the
// `installation` label) and unit id, and the IPv4 address the link connects
// to once the name is resolved.
struct Target {
    QString address;
    int unit = 1;
    QString connectAddress;
    bool operator==(const Target&) const = default;
};

// Whether text can name a host: an IPv4 or IPv6 address, or a name of
// letters, digits, '-' and '.'.
bool IsHostText(const QString& text);

// The targets file: one "address[,unit]" per line; blanks around the parts,
// empty lines and '#' comments (a whole line or its end) are ignored; units
// without one of their own take defaultUnit. A bad line, a target given
// twice or no target at all fails with "source:line: reason" in error.
bool ParseTargets(const QString& text, const QString& source, int defaultUnit,
                  QList<Target>* targets, QString* error);

// Resolves a host name or address to one address (IPv4 first), waiting at
// most timeoutMs; nothing when it cannot be resolved in time.
std::optional<QHostAddress> ResolveHost(const QString& host, int timeoutMs);

} // namespace zra::exporter
