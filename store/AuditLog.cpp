#include "store/AuditLog.h"

#include "store/ToolFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zra::store {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
// A line of one entry; a write's lines add its key.
constexpr int FieldCount = 8;
constexpr int KeyedFieldCount = 9;

// The characters that a text field escapes, each with the letter after '\'.
constexpr std::pair<char, char> Escapes[] = {{'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}};

QByteArray Escape(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const auto e = std::find_if(std::begin(Escapes), std::end(Escapes),
                                    [c](const auto& p) { return p.first == c; });
        if (e == std::end(Escapes)) {
            out += c;
        } else {
            out += '\\';
            out += e->second;
        }
    }
    return out;
}

std::optional<QString> Unescape(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            bytes += field[i];
            continue;
        }
        const char letter = ++i < field.size() ? field[i] : 0;
        const auto e = std::find_if(std::begin(Escapes), std::end(Escapes),
                                    [letter](const auto& p) { return p.second == letter; });
        if (e == std::end(Escapes))
            return std::nullopt;
        bytes += e->first;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

QByteArray RegisterText(quint16 value) {
    return QByteArray::number(value) + "=0x" +
           QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}

// Digits only, at most max.
std::optional<uint> Number(const QByteArray& text, uint max, int base = 10) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const char c : text)
        if (!(c >= '0' && c <= '9') &&
            !(base == 16 && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))))
            return std::nullopt;
    const uint n = text.toUInt(nullptr, base);
    if (n > max)
        return std::nullopt;
    return n;
}

// "540=0x021C": both halves must name the same value.
std::optional<quint16> Register(const QByteArray& text) {
    const qsizetype eq = text.indexOf("=0x");
    if (eq < 0)
        return std::nullopt;
    const auto decimal = Number(text.left(eq), 0xFFFF);
    const auto hex = Number(text.mid(eq + 3), 0xFFFF, 16);
    if (!decimal || !hex || *decimal != *hex)
        return std::nullopt;
    return quint16(*decimal);
}

// "5f3a09c1-17": eight hex digits, '-', a decimal count.
bool IsKey(const QByteArray& text) {
    const qsizetype dash = text.indexOf('-');
    if (dash != 8 || text.size() < 10 || text.size() > 19)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        if (i != dash && !digit && !(i < dash && c >= 'a' && c <= 'f'))
            return false;
    }
    return true;
}

std::optional<AuditEntry> ParseLine(const QByteArray& line) {
    const QList<QByteArray> f = line.split('\t');
    if (f.size() != FieldCount && !(f.size() == KeyedFieldCount && IsKey(f[8])))
        return std::nullopt;
    AuditEntry e;
    e.time = QDateTime::fromString(QString::fromLatin1(f[0]), TimeFormat);
    const auto address = Unescape(f[1]);
    const auto unit = Number(f[2], 255);
    const auto function = Number(f[3], 255);
    const auto reg = Register(f[4]);
    const auto description = Unescape(f[6]);
    const auto outcome = Unescape(f[7]);
    if (!e.time.isValid() || !address || !unit || !function || !reg || !description || !outcome)
        return std::nullopt;
    if (!f[5].isEmpty()) {
        for (const QByteArray& v : f[5].split(' ')) {
            const auto value = Register(v);
            if (!value)
                return std::nullopt;
            e.values.append(*value);
        }
    }
    e.address = *address;
    e.unitId = quint8(*unit);
    e.function = quint8(*function);
    e.registerAddress = *reg;
    e.description = *description;
    e.outcome = *outcome;
    if (f.size() == KeyedFieldCount)
        e.key = QString::fromLatin1(f[8]);
    return e;
}

QString AuditError(const QString& path, const QString& reason) {
    return QStringLiteral("Záznam o zápisu nelze uložit do souboru \"%1\". %2").arg(path, reason);
}

// The file's data and size on the disk before the call returns.
bool SyncToDisk(QFile& file) {
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}
// The folder entry of a new file on the disk too (POSIX; Windows needs none).
void SyncFolder([[maybe_unused]] const QString& folder) {
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

} // namespace

QList<quint16> RegistersOfBytes(std::span<const std::uint8_t> data) {
    QList<quint16> registers;
    for (std::size_t i = 0; i < data.size(); i += 2)
        registers.append(quint16(data[i] << 8 | (i + 1 < data.size() ? data[i + 1] : 0)));
    return registers;
}

QByteArray FormatAuditEntry(const AuditEntry& e) {
    QByteArrayList values;
    for (quint16 v : e.values)
        values.append(RegisterText(v));
    QByteArrayList fields = {e.time.toString(TimeFormat).toLatin1(),
                             Escape(e.address),
                             QByteArray::number(e.unitId),
                             QByteArray::number(e.function),
                             RegisterText(e.registerAddress),
                             values.join(' '),
                             Escape(e.description),
                             Escape(e.outcome)};
    if (!e.key.isEmpty())
        fields.append(e.key.toLatin1());
    return fields.join('\t') + '\n';
}

QList<AuditEntry> ParseAuditLog(const QByteArray& data, int* damagedLines) {
    QList<AuditEntry> entries;
    int damaged = 0;
    QList<QByteArray> lines = data.split('\n');
    // What follows the last '\n': nothing, or a line cut off.
    if (!lines.takeLast().isEmpty())
        ++damaged;
    if (!lines.isEmpty() && lines.front().startsWith("\xEF\xBB\xBF"))
        lines.front().remove(0, 3);
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (auto entry = ParseLine(line))
            entries.append(*entry);
        else
            ++damaged;
    }
    if (damagedLines)
        *damagedLines = damaged;
    return entries;
}

QList<AuditEntry> JoinAuditLines(const QList<AuditEntry>& lines) {
    QList<AuditEntry> writes;
    writes.reserve(lines.size());
    // The writes still waiting for their outcome, by key.
    QHash<QString, qsizetype> waiting;
    for (const AuditEntry& line : lines) {
        if (!line.key.isEmpty()) {
            if (line.outcome == AuditSentOutcome) {
                // A key sent twice: the earlier write never got its outcome.
                if (const auto earlier = waiting.constFind(line.key); earlier != waiting.cend())
                    writes[*earlier].outcome = AuditNoReplyOutcome;
                waiting.insert(line.key, writes.size());
            } else if (const auto sent = waiting.constFind(line.key); sent != waiting.cend()) {
                writes[*sent].outcome = line.outcome;
                waiting.erase(sent);
                continue;
            }
        }
        writes.append(line);
    }
    for (const qsizetype i : std::as_const(waiting))
        writes[i].outcome = AuditNoReplyOutcome;
    return writes;
}

bool AppendAuditEntry(const QString& path, const AuditEntry& entry, QString* error) {
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = AuditError(path, reason);
        return false;
    };
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    // Append: every write goes to the end, and nothing is ever truncated.
    // This open creates the file when it does not exist yet, the user's only.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, UserOnly))
        return fail(file.errorString());
    QByteArray line = FormatAuditEntry(entry);
    const qint64 size = file.size();
    if (size == 0) {
        line.prepend(AuditLogHeader);
    } else {
        char last = 0;
        if (!file.seek(size - 1) || file.read(&last, 1) != 1)
            return fail(file.errorString());
        if (last != '\n')
            line.prepend('\n');
    }
    if (file.write(line) != line.size())
        return fail(file.errorString());
    if (!SyncToDisk(file))
        return fail(qt_error_string(errno));
    if (!existed)
        SyncFolder(QFileInfo(path).absolutePath());
    return true;
}

AuditLog::AuditLog() : m_path(ToolFilePath(AuditLogFileName)) {}

QList<AuditEntry> AuditLog::entries(int* damagedLines, QString* error) const {
    if (damagedLines)
        *damagedLines = 0;
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error =
                QStringLiteral("Soubor \"%1\" nelze přečíst. %2").arg(m_path, file.errorString());
        return {};
    }
    return JoinAuditLines(ParseAuditLog(file.readAll(), damagedLines));
}

} // namespace zra::store
