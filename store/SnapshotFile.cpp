#include "store/SnapshotFile.h"

#include <map>

#include "store/ToolFiles.h"
#include "text/Cp1250.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>
#include <bit>
#include <cmath>

namespace zra::store {

namespace {

const QDate Epoch(1899, 12, 30);
constexpr qint64 MsPerDay = 86400000;

// L counts the stamp, the two counts and the next kind at least; at most the
// rest of the record buffer after the kind and L.
constexpr quint32 MinLength = 8 + 2 + 2 + 1;
constexpr quint32 MaxLength = RecordBufferSize - 5;

QString CannotOpen(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}
QString CannotCreate(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}
QString Damaged(qint64 at, const QString& what) {
    return QStringLiteral("Soubor není v pořádku: záznam na pozici %1 %2.").arg(at).arg(what);
}
// A damaged file's message with the file's name in it.
QString InFile(QString problem, const QString& path) {
    return problem.replace(QStringLiteral("Soubor není v pořádku"),
                           QStringLiteral("Soubor \"%1\" není v pořádku").arg(path));
}
bool Fail(QString* error, const QString& why) {
    if (error)
        *error = why;
    return false;
}

// A finite stamp within the dates anyone keeps; false for garbage.
bool SplitStamp(double stamp, QDate* date, QTime* time) {
    if (!(std::abs(stamp) < 1e7))
        return false;
    double day = std::floor(stamp);
    qint64 ms = qRound64((stamp - day) * MsPerDay);
    if (ms >= MsPerDay) {
        day += 1;
        ms -= MsPerDay;
    }
    *date = Epoch.addDays(qint64(day));
    *time = QTime::fromMSecsSinceStartOfDay(int(ms));
    return true;
}

// The cells of a record body (all bytes after L); false unless they fill it
// exactly up to its last byte, the next record's kind. Without a table the
// cells are only checked.
bool ParseCells(const QByteArray& body, SnapshotTable* table) {
    const auto* p = reinterpret_cast<const uchar*>(body.constData());
    const int rows = qFromLittleEndian<quint16>(p + 8);
    const int columns = qFromLittleEndian<quint16>(p + 10);
    const qsizetype end = body.size() - 1;
    if (qint64(rows) * columns > end - 12) // each cell takes its length byte at least
        return false;
    SnapshotTable parsed(table ? columns : 0, table ? rows : 0);
    const qint64 cells = qint64(rows) * columns;
    qsizetype pos = 12;
    for (qint64 i = 0; i < cells; ++i) {
        if (pos >= end)
            return false;
        const int n = p[pos++];
        if (n > end - pos)
            return false;
        if (table)
            parsed.cells[i] = text::FromCp1250(body.constData() + pos, n);
        pos += n;
    }
    if (pos != end)
        return false;
    if (table)
        *table = std::move(parsed);
    return true;
}

enum class End { FinalZero, Truncated, Stopped, Damaged };
struct Walk {
    End end;
    qint64 at; // the final 0, the incomplete or damaged record
    QString problem;
};

// Reads records from the device's position until the final 0, the end of the
// data, the picked stamp or a damaged record. Excluded kinds are skipped by a
// seek; a loaded record's body is read in one read.
// A load that decodes only the last record of each kind: every other one is
// checked and noted (kind and stamp, in file order) but its cells are not
// turned into texts.
struct LastOnly {
    struct Record {
        double stamp;
        qint64 bodyAt; // where its body starts in the file
        quint32 length;
    };
    std::function<void(ViewKind, double)> noted;
    std::map<int, Record> last; // kind -> its last record
};

Walk WalkRecords(QIODevice& in, int filter, std::optional<double> stamp, const SnapshotSink& sink,
                 LastOnly* lastOnly = nullptr) {
    const auto readBytes = [&](void* to, qint64 n) {
        return in.read(static_cast<char*>(to), n) == n;
    };
    qint64 at = in.pos();
    uchar kind = 0;
    // One buffer for every body: no record costs an allocation of its own.
    QByteArray body;
    if (!readBytes(&kind, 1))
        return {End::Truncated, at, {}};
    while (kind != 0) {
        if (!IsViewKind(kind))
            return {End::Damaged, at, Damaged(at, QStringLiteral("má neznámý druh %1").arg(kind))};
        uchar lengthBytes[4];
        if (!readBytes(lengthBytes, 4))
            return {End::Truncated, at, {}};
        const quint32 length = qFromLittleEndian<quint32>(lengthBytes);
        if (length < MinLength || length > MaxLength)
            return {End::Damaged, at,
                    Damaged(at, QStringLiteral("má chybnou délku %1").arg(length))};
        const qint64 next = at + 4 + length;
        if (filter != 0 && kind != filter) {
            if (next >= in.size() || !in.seek(next) || !readBytes(&kind, 1))
                return {End::Truncated, at, {}};
            at = next;
            continue;
        }
        body.resize(length);
        if (!readBytes(body.data(), length))
            return {End::Truncated, at, {}};
        const double recordStamp =
            std::bit_cast<double>(qFromLittleEndian<quint64>(body.constData()));
        if (lastOnly) {
            if (!ParseCells(body, nullptr))
                return {End::Damaged, at,
                        Damaged(at, QStringLiteral("má buňky, které nesouhlasí s jeho délkou"))};
            lastOnly->noted(ViewKind(kind), recordStamp);
            lastOnly->last[kind] = {recordStamp, at + 5, length};
        } else if (!stamp || *stamp == recordStamp) {
            SnapshotTable table;
            if (!ParseCells(body, &table))
                return {End::Damaged, at,
                        Damaged(at, QStringLiteral("má buňky, které nesouhlasí s jeho délkou"))};
            if (sink)
                sink(ViewKind(kind), recordStamp, table);
            if (stamp)
                return {End::Stopped, next, {}};
        }
        kind = uchar(body.back());
        at = next;
    }
    return {End::FinalZero, at, {}};
}

// True when data is a whole snapshot file: records chained by their lengths
// up to a final 0 that is the last byte (or no byte at all).
bool IsSnapshotData(const QByteArray& data, QString* problem) {
    if (data.isEmpty())
        return true;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const Walk walk = WalkRecords(buffer, 0, std::nullopt, nullptr);
    switch (walk.end) {
    case End::FinalZero:
        if (walk.at == data.size() - 1)
            return true;
        *problem = QStringLiteral("Soubor není v pořádku: za koncem záznamů na pozici %1 následují "
                                  "další data.")
                       .arg(walk.at);
        return false;
    case End::Truncated:
        *problem = Damaged(walk.at, QStringLiteral("je neúplný"));
        return false;
    default:
        *problem = walk.problem;
        return false;
    }
}

} // namespace

namespace {
std::array<bool, ViewKindSlots> g_addedKinds{};
} // namespace

bool IsViewKind(int value) {
    return (value >= 1 && value <= 8) ||
           (value > 8 && value < ViewKindSlots && g_addedKinds[std::size_t(value)]);
}

void AllowViewKind(ViewKind kind, bool allowed) {
    g_addedKinds[std::size_t(kind)] = allowed;
}

void SnapshotTable::resize(int newColumns, int newRows) {
    SnapshotTable next(newColumns, newRows);
    for (int r = 0; r < std::min(rows, newRows); ++r)
        for (int c = 0; c < std::min(columns, newColumns); ++c)
            next.set(c, r, at(c, r));
    *this = std::move(next);
}

double DayStamp(const QDateTime& local) {
    const QDateTime t = local.toLocalTime();
    return double(Epoch.daysTo(t.date())) + double(t.time().msecsSinceStartOfDay()) / MsPerDay;
}

double NextSaveStamp(const QDateTime& now, double previous) {
    const double stamp = DayStamp(now);
    if (previous == 0 || stamp > previous)
        return stamp;
    // Whole milliseconds, so that the stamp reads back as the same time.
    return double(qRound64(previous * MsPerDay) + 1) / MsPerDay;
}

QDateTime FromDayStamp(double stamp) {
    QDate date;
    QTime time;
    return SplitStamp(stamp, &date, &time) ? QDateTime(date, time) : QDateTime();
}

QString StampText(double stamp, const QLocale& locale) {
    QDate date;
    QTime time;
    if (!SplitStamp(stamp, &date, &time))
        return QString::number(stamp);
    // The long time format names the time zone; a history entry shows the
    // wall clock only.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return locale.toString(date, QLocale::ShortFormat) + u' ' + locale.toString(time, timeFormat);
}

QByteArray EncodeRecord(ViewKind kind, double stamp, const SnapshotTable& table, QString* error) {
    const auto refuse = [&](const QString& why) {
        Fail(error, QStringLiteral("Tabulku nelze uložit: %1.").arg(why));
        return QByteArray();
    };
    if (!IsViewKind(int(kind)))
        return refuse(QStringLiteral("neznámý druh tabulky %1").arg(int(kind)));
    if (table.rows < 0 || table.columns < 0 || table.rows > 0xFFFF || table.columns > 0xFFFF)
        return refuse(QStringLiteral("%1 řádků a %2 sloupců, nejvýše 65535")
                          .arg(table.rows)
                          .arg(table.columns));
    if (table.cells.size() != qsizetype(table.rows) * table.columns)
        return refuse(QStringLiteral("počet buněk nesouhlasí s počtem řádků a sloupců"));

    QByteArray out;
    out.append(char(kind));
    out.append(4, '\0'); // L, known at the end
    char bytes[8];
    qToLittleEndian(std::bit_cast<quint64>(stamp), bytes);
    out.append(bytes, 8);
    qToLittleEndian(quint16(table.rows), bytes);
    qToLittleEndian(quint16(table.columns), bytes + 2);
    out.append(bytes, 4);
    for (qsizetype i = 0; i < table.cells.size(); ++i) {
        const auto cell = [&] {
            return QStringLiteral("buňka (%1, %2)").arg(i % table.columns).arg(i / table.columns);
        };
        bool ok = false;
        const QByteArray text = text::ToCp1250(table.cells[i], &ok);
        if (!ok)
            return refuse(cell() + QStringLiteral(" obsahuje znak, který Windows-1250 nemá"));
        if (text.size() > MaxCellBytes)
            return refuse(
                cell() +
                QStringLiteral(" má %1 znaků, nejvýše %2").arg(text.size()).arg(MaxCellBytes));
        out.append(char(text.size()));
        out.append(text);
        if (out.size() + 1 > RecordBufferSize)
            return refuse(QStringLiteral("záznam by měl přes %1 bajtů").arg(RecordBufferSize));
    }
    out.append('\0');
    qToLittleEndian(quint32(out.size() - 5), out.data() + 1);
    return out;
}

bool AppendSnapshot(const QString& path, ViewKind kind, double stamp, const SnapshotTable& table,
                    QString* error) {
    QByteArray content;
    const QByteArray record = EncodeRecord(kind, stamp, table, error);
    if (record.isEmpty())
        return false;
    QFile file(path);
    const bool exists = file.exists();
    if (exists) {
        if (!file.open(QIODevice::ReadOnly))
            return Fail(error, CannotOpen(path, file.errorString()));
        content = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return Fail(error, CannotOpen(path, file.errorString()));
        file.close();
        QString problem;
        if (!IsSnapshotData(content, &problem))
            return Fail(error,
                        QStringLiteral("Snímek nebyl uložen do \"%1\". %2").arg(path, problem));
        content.chop(1); // the new record goes over the final 0
    }
    content += record;
    QString reason;
    if (!WriteWholeFile(path, content, &reason))
        return Fail(error, exists ? CannotOpen(path, reason) : CannotCreate(path, reason));
    return true;
}

bool LoadSnapshots(QIODevice& device, int filter, std::optional<double> stamp,
                   const SnapshotSink& sink, QString* error) {
    const Walk walk = WalkRecords(device, filter, stamp, sink);
    return walk.end != End::Damaged || Fail(error, walk.problem);
}

bool LoadSnapshots(const QString& path, int filter, std::optional<double> stamp,
                   const SnapshotSink& sink, QString* error) {
    QFile file(path);
    // Unbuffered, so that a skipped record is passed by a seek, not read ahead.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, CannotOpen(path, file.errorString()));
    const Walk walk = WalkRecords(file, filter, stamp, sink);
    return walk.end != End::Damaged || Fail(error, InFile(walk.problem, path));
}

bool LoadLastSnapshots(const QString& path, int filter,
                       const std::function<void(ViewKind, double)>& noted, const SnapshotSink& sink,
                       QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, CannotOpen(path, file.errorString()));
    // Every record is read, in file order: the file is read whole first (as
    // a save reads it), which spares a system call per record.
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Fail(error, CannotOpen(path, file.errorString()));
    QBuffer memory;
    memory.setData(data);
    memory.open(QIODevice::ReadOnly);
    LastOnly lastOnly{noted, {}};
    const Walk walk = WalkRecords(memory, filter, std::nullopt, {}, &lastOnly);
    // What the walk reached stays loaded, also before a damaged record: each
    // kind's last record, checked by the walk, is decoded from the data.
    for (const auto& [kind, record] : lastOnly.last) {
        if (!sink)
            break;
        SnapshotTable table;
        ParseCells(QByteArray::fromRawData(data.constData() + record.bodyAt, record.length),
                   &table);
        sink(ViewKind(kind), record.stamp, table);
    }
    return walk.end != End::Damaged || Fail(error, InFile(walk.problem, path));
}

void SnapshotHistory::record(double stamp, const QLocale& locale) {
    if (m_clearOnRecord) {
        m_stamps.clear();
        m_clearOnRecord = false;
    }
    if (m_stamps.size() == MaxEntries)
        m_stamps.removeFirst();
    m_stamps.append(stamp);
    m_locale = locale;
    m_textsStale = true;
}

const QStringList& SnapshotHistory::entries() const {
    if (m_textsStale) {
        m_entries.clear();
        for (double stamp : m_stamps)
            m_entries.append(StampText(stamp, m_locale));
        m_textsStale = false;
    }
    return m_entries;
}

bool SnapshotSession::loadLast(const QString& path, int filter, const SnapshotSink& sink,
                               QString* error) {
    for (SnapshotHistory& history : m_history)
        history.beginLoad();
    const auto noted = [&](ViewKind kind, double recordStamp) {
        m_lastFile[index(kind)] = path;
        if (HasHistoryList(kind))
            m_history[index(kind)].record(recordStamp);
    };
    return LoadLastSnapshots(path, filter, noted, sink, error);
}

bool SnapshotSession::load(const QString& path, int filter, std::optional<double> stamp,
                           const SnapshotSink& sink, QString* error) {
    for (SnapshotHistory& history : m_history)
        history.beginLoad();
    const auto keep = [&](ViewKind kind, double recordStamp, const SnapshotTable& table) {
        m_lastFile[index(kind)] = path;
        if (HasHistoryList(kind) && !stamp)
            m_history[index(kind)].record(recordStamp);
        if (sink)
            sink(kind, recordStamp, table);
    };
    return LoadSnapshots(path, filter, stamp, keep, error);
}

} // namespace zra::store
