#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <span>

namespace zra::store {

// The record of every write the tool sends to an installation, beside the
// settings file.
inline const QString AuditLogFileName = QStringLiteral("Pelix4_ZRA_audit.log");

// The outcome of a write's first entry, made before the request goes out.
inline const QString AuditSentOutcome = QStringLiteral("odesláno");
// What a write shows when its outcome never reached the log (the run ended
// while the installation held the reply, say).
inline const QString AuditNoReplyOutcome = QStringLiteral("bez odpovědi");

// One write, or one line of the file.
struct AuditEntry {
    QDateTime time;              // local, to the millisecond
    QString address;             // the installation's IP address text
    quint8 unitId = 0;           // MODBUS unit id
    quint8 function = 0;         // 6 or 16
    quint16 registerAddress = 0; // the first register written
    QList<quint16> values;       // the registers written
    QString description;         // in Czech words: "Proměnná 12 Napětí = 54,0"
    QString outcome;             // "OK", the failure's text, "potvrzeno", ...
    // The key that joins a write's two lines ("5f3a09c1-17"); empty in lines
    // of one entry each (a verdict, a file of older lines).
    QString key;
    bool operator==(const AuditEntry&) const = default;
};

// The registers of function 16's data, high byte first; an odd last byte is
// the high byte of a last register.
QList<quint16> RegistersOfBytes(std::span<const std::uint8_t> data);

// The log is UTF-8 text, one line per entry ended by '\n', eight fields
// separated by tabs (shown here as " | "):
//   2026-12-09 10:11:12.345 | 192.168.1.10 | 1 | 16 | 4096=0x1000 |
//   540=0x021C 1=0x0001 | Proměnná 12 Napětí = 54,0 | OK
// (local time, address, unit id, function, register, the values in decimal
// and hex separated by blanks, description, outcome). A write has two lines
// with a ninth field, its key (eight hex digits, '-', a decimal count): one
// before its request goes out, outcome AuditSentOutcome, and one with its
// outcome after the exchange; older files have eight fields per line, one
// line per write, and are read as they are. In the texts '\' is
// written "\\", a tab "\t", LF "\n" and CR "\r", so an entry is always one
// line. A new file begins with the header line AuditLogHeader; lines that
// begin with '#' are comments and empty lines are ignored.
inline const QByteArray AuditLogHeader =
    "# Pelix4 ZRA: záznam zápisů do instalace (čas, adresa IP, jednotka, funkce, registr, "
    "hodnoty, popis, výsledek)\n";

QByteArray FormatAuditEntry(const AuditEntry& entry);
// The lines of a log's bytes in file order. A line that is not an entry (a
// wrong field count, a bad number or time, a bad escape, a value whose
// decimal and hex disagree, a last line without its '\n') is skipped and
// counted in damagedLines; so is a line that is not UTF-8.
QList<AuditEntry> ParseAuditLog(const QByteArray& data, int* damagedLines = nullptr);
// One entry per write, in the order the writes went out: a write's sent line
// takes the outcome of the later line with its key (the time stays the
// sending time); a sent line without one gets AuditNoReplyOutcome. A line of
// one entry, and an outcome line whose sent line is missing, stand alone.
QList<AuditEntry> JoinAuditLines(const QList<AuditEntry>& lines);

// Adds entry at the end of path, creating the file (with the header) when it
// does not exist or is empty, in one write, and returns only once the line
// is on the disk. An existing file is never truncated or rewritten, also one
// that does not begin with the header: it is the engineer's record. When it
// does not end with a line end (a line cut off), the entry starts a new line.
// Error: "Záznam o zápisu nelze uložit do souboru \"%1\". %2" (path, reason).
bool AppendAuditEntry(const QString& path, const AuditEntry& entry, QString* error);

// The tool's audit log file.
class AuditLog {
public:
    // ToolFilePath(AuditLogFileName).
    AuditLog();
    explicit AuditLog(const QString& path) : m_path(path) {}

    const QString& path() const { return m_path; }
    bool append(const AuditEntry& entry, QString* error) const {
        return AppendAuditEntry(m_path, entry, error);
    }
    // The file's writes (JoinAuditLines); none when it does not exist. When it cannot be read
    // the reason goes to error ("Soubor \"%1\" nelze přečíst. %2") and the
    // list is empty.
    QList<AuditEntry> entries(int* damagedLines = nullptr, QString* error = nullptr) const;

private:
    QString m_path;
};

} // namespace zra::store
