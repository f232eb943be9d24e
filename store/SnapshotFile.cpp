#include "store/SnapshotFile.h"

#include <map>

#include "store/ToolFiles.h"
#include "text/Cp1250.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/file.h>
#include <unistd.h>

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
// A load that a damaged record ended: its message and how much it kept.
QString LoadEnded(const QString& problem, const QString& path, int kept) {
    return InFile(problem, path) +
           QStringLiteral(" Záznamy před ním zůstávají načteny (%1).").arg(kept);
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

// The position after count cells that start at pos, each a length byte and
// that many bytes, or -1 where one would reach end.
qsizetype SkipCells(const uchar* p, qsizetype pos, qsizetype end, qint64 count) {
    // Eight cells take at most 8 x 256 bytes: while that much is left they
    // are passed without a check each (a long log's open checks them all).
    constexpr qsizetype Eight = 8 * 256;
    for (; count >= 8 && end - pos > Eight; count -= 8)
        for (int i = 0; i < 8; ++i)
            pos += 1 + p[pos];
    for (; count > 0; --count) {
        if (pos >= end)
            return -1;
        const int n = p[pos++];
        if (n > end - pos)
            return -1;
        pos += n;
    }
    return pos;
}

// What a load says of a record whose cells do not fill it.
const QString& CellsMismatchText() {
    static const QString text = QStringLiteral("má buňky, které nesouhlasí s jeho délkou");
    return text;
}

// Whether a record body's counts leave room for its cells: each takes its
// length byte at least, between the 12-byte head and the next kind.
bool CellsCanFit(const QByteArray& body) {
    const auto* p = reinterpret_cast<const uchar*>(body.constData());
    const qint64 cells =
        qint64(qFromLittleEndian<quint16>(p + 8)) * qFromLittleEndian<quint16>(p + 10);
    return cells <= body.size() - 13;
}

// The cells of a record body (all bytes after L); false unless they fill it
// exactly up to its last byte, the next record's kind. Without a table the
// cells are only checked.
bool ParseCells(const QByteArray& body, SnapshotTable* table) {
    if (!CellsCanFit(body))
        return false;
    const auto* p = reinterpret_cast<const uchar*>(body.constData());
    const int rows = qFromLittleEndian<quint16>(p + 8);
    const int columns = qFromLittleEndian<quint16>(p + 10);
    const qint64 cells = qint64(rows) * columns;
    const qsizetype end = body.size() - 1;
    if (!table)
        return SkipCells(p, 12, end, cells) == end;
    SnapshotTable parsed(columns, rows);
    qsizetype pos = 12;
    for (qint64 i = 0; i < cells; ++i) {
        if (pos >= end)
            return false;
        const int n = p[pos++];
        if (n > end - pos)
            return false;
        parsed.cells[i] = text::FromCp1250(body.constData() + pos, n);
        pos += n;
    }
    if (pos != end)
        return false;
    *table = std::move(parsed);
    return true;
}

enum class End { FinalZero, Truncated, Stopped, Damaged };
struct Walk {
    End end;
    qint64 at;    // the final 0, the incomplete or damaged record
    int kept = 0; // the records of the load before it
    QString problem;
};

// Reads records from the device's position until the final 0, the end of the
// data, the picked stamp or a damaged record. Excluded kinds are skipped by a
// seek; a loaded record's body is read in one read.
// A load that decodes only the last record of each kind: every other one is
// checked by its head (its kind, its L, counts whose cells fit: the chain of
// records holds) and noted (kind and stamp, in file order), but its cells
// are not walked; they are checked when the record is decoded (shown, or
// picked from the history).
struct LastOnly {
    struct Record {
        double stamp;
        qint64 bodyAt; // where its body starts in the file
        quint32 length;
        int before; // the records of the load before it
    };
    std::function<void(ViewKind, double)> noted;
    std::map<int, Record> last; // kind -> its last record
};

// A walk that hands each record's cells in place to a visitor.
struct InPlace {
    const std::function<bool(ViewKind, double, const RecordCells&)>& visit;
    RecordCells cells; // over the walk's one body buffer
};

Walk WalkRecords(QIODevice& in, int filter, std::optional<double> stamp, const SnapshotSink& sink,
                 LastOnly* lastOnly = nullptr, InPlace* inPlace = nullptr) {
    const auto readBytes = [&](void* to, qint64 n) {
        return in.read(static_cast<char*>(to), n) == n;
    };
    qint64 at = in.pos();
    uchar kind = 0;
    // One buffer for every body: no record costs an allocation of its own.
    QByteArray body;
    int kept = 0;
    if (!readBytes(&kind, 1))
        return {End::Truncated, at, kept, {}};
    while (kind != 0) {
        if (!IsViewKind(kind))
            return {End::Damaged, at, kept,
                    Damaged(at, QStringLiteral("má neznámý druh %1").arg(kind))};
        uchar lengthBytes[4];
        if (!readBytes(lengthBytes, 4))
            return {End::Truncated, at, kept, {}};
        const quint32 length = qFromLittleEndian<quint32>(lengthBytes);
        if (length < MinLength || length > MaxLength)
            return {End::Damaged, at, kept,
                    Damaged(at, QStringLiteral("má chybnou délku %1").arg(length))};
        const qint64 next = at + 4 + length;
        if (filter != 0 && kind != filter) {
            if (next >= in.size() || !in.seek(next) || !readBytes(&kind, 1))
                return {End::Truncated, at, kept, {}};
            at = next;
            continue;
        }
        body.resize(length);
        if (!readBytes(body.data(), length))
            return {End::Truncated, at, kept, {}};
        const double recordStamp =
            std::bit_cast<double>(qFromLittleEndian<quint64>(body.constData()));
        if (inPlace) {
            if (!inPlace->cells.parse(body))
                return {End::Damaged, at, kept, Damaged(at, CellsMismatchText())};
            ++kept;
            if (!inPlace->visit(ViewKind(kind), recordStamp, inPlace->cells))
                return {End::Stopped, next, kept, {}};
        } else if (lastOnly) {
            if (!CellsCanFit(body))
                return {End::Damaged, at, kept, Damaged(at, CellsMismatchText())};
            lastOnly->noted(ViewKind(kind), recordStamp);
            lastOnly->last[kind] = {recordStamp, at + 5, length, kept};
            ++kept;
        } else if (!stamp || *stamp == recordStamp) {
            SnapshotTable table;
            if (!ParseCells(body, sink ? &table : nullptr)) // no texts made for a check
                return {End::Damaged, at, kept, Damaged(at, CellsMismatchText())};
            if (sink)
                sink(ViewKind(kind), recordStamp, table);
            ++kept;
            if (stamp)
                return {End::Stopped, next, kept, {}};
        }
        kind = uchar(body.back());
        at = next;
    }
    return {End::FinalZero, at, kept, {}};
}

// A file read through chunks of a megabyte: a walk's small reads and seeks
// are served from memory, one system call per chunk.
class ChunkedReader : public QIODevice {
public:
    static constexpr qint64 ChunkBytes = 1 << 20;
    explicit ChunkedReader(QFile& file) : m_file(file) {}
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        qint64 done = 0;
        while (done < maxSize) {
            const qint64 at = pos() + done;
            if (at < m_start || at >= m_start + m_chunk.size()) {
                if (!m_file.seek(at))
                    return done > 0 ? done : -1;
                m_start = at;
                m_chunk = m_file.read(ChunkBytes);
                if (m_chunk.isEmpty())
                    break;
            }
            const qint64 n = std::min(maxSize - done, m_start + m_chunk.size() - at);
            std::memcpy(data + done, m_chunk.constData() + (at - m_start), size_t(n));
            done += n;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile& m_file;
    QByteArray m_chunk;
    qint64 m_start = 0;
};

// ---- the end of a long file ----

// Files longer than this are opened from their end; the way back gives up
// after this many bytes (a kind the file lacks would take it to the start,
// which the walk from the start reaches faster).
constexpr qint64 LongFileBytes = 8 << 20;
constexpr qint64 BackLimitBytes = 64 << 20;

// LoadLastSnapshots of a long file from its end: the records back from the
// end mark until each kind the load keeps a history of has its newest
// SnapshotHistory::MaxEntries and every other kind its last record, or the
// file's start, so that what is noted and shown is what a walk from the
// start gives. False when the way back cannot be followed; the walk from
// the start then says why.
bool LoadLastFromEnd(QFile& file, int filter, const std::function<void(ViewKind, double)>& noted,
                     const SnapshotSink& sink);

// ---- appends in place ----

// The end of a file's records is found in its last bytes: the last record
// and a torn tail after the end mark fit in two record buffers.
constexpr qint64 EndWindow = 2 * (qint64(MaxLength) + 5) + 1;
// How long an append waits for another writer of the file.
constexpr int LockWaitMs = 10000;

// True when the bytes after an end mark are what an append that stopped
// short leaves there: the start of a record without its kind byte, as far
// as it goes (L, a stamp, the counts, whole cells).
bool IsTornTail(const uchar* p, qint64 n) {
    if (n < 4)
        return true;
    const quint32 length = qFromLittleEndian<quint32>(p);
    if (length < MinLength || length > MaxLength || n > 4 + qint64(length))
        return false;
    if (n >= 12) {
        const double stamp = std::bit_cast<double>(qFromLittleEndian<quint64>(p + 4));
        if (!(std::abs(stamp) < 1e7))
            return false;
    }
    if (n < 16)
        return true;
    const qint64 cells =
        qint64(qFromLittleEndian<quint16>(p + 12)) * qFromLittleEndian<quint16>(p + 14);
    const qint64 last = 4 + qint64(length) - 1; // where the record's end mark goes
    if (cells > last - 16)
        return false;
    qint64 pos = 16;
    for (qint64 i = 0; i < cells && pos < n; ++i) {
        pos += 1 + p[pos];
        if (pos > last)
            return false;
    }
    // A whole record but its kind: its cells end at its end mark.
    return n < 4 + qint64(length) || (pos == last && p[last] == 0);
}

// True when a whole record starts at offset start and ends at offset end of
// the file (its last byte, the next kind or the end mark, there); data holds
// the file from base to end.
bool IsRecordAt(const QByteArray& data, qint64 base, qint64 start, qint64 end) {
    if (start < base || end - start - 4 < qint64(MinLength))
        return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + (start - base);
    return qFromLittleEndian<quint32>(p + 1) == end - start - 4 && IsViewKind(p[0]) &&
           ParseCells(
               QByteArray::fromRawData(reinterpret_cast<const char*>(p + 5), end - start - 4),
               nullptr);
}

// True when the head of a record that ends at offset end starts at offset
// start: its kind, its L reaching end, a stamp within the dates anyone keeps
// and counts whose cells fit; its cells are not walked. The walk back takes
// a record by its head where a length it has just seen fits: the chain of
// heads back from a checked end is its check, and a record's cells are
// checked when it is decoded (shown, or picked from the history).
bool IsRecordHeadAt(const QByteArray& data, qint64 base, qint64 start, qint64 end) {
    if (start < base || end - start - 4 < qint64(MinLength))
        return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + (start - base);
    const qint64 length = end - start - 4;
    if (qFromLittleEndian<quint32>(p + 1) != length || !IsViewKind(p[0]))
        return false;
    const double stamp = std::bit_cast<double>(qFromLittleEndian<quint64>(p + 5));
    const qint64 cells =
        qint64(qFromLittleEndian<quint16>(p + 13)) * qFromLittleEndian<quint16>(p + 15);
    return std::abs(stamp) < 1e7 && cells <= length - 13;
}

// The offset of the whole record that ends at offset end, or -1.
qint64 RecordEndingAt(const QByteArray& data, qint64 base, qint64 end) {
    // L is below 65536, so its last byte is 0: only the zero bytes are
    // looked at, found by memrchr, nearest first.
    static_assert(MaxLength < 0x10000);
    const qint64 lowest = std::max(base, end - 4 - qint64(MaxLength));
    const char* first = data.constData() + (lowest + 4 - base);
    qint64 top = end - MinLength - base + 1; // one past the last place of L's last byte
    while (top > lowest + 4 - base) {
        const void* zero = ::memrchr(first, 0, std::size_t(data.constData() + top - first));
        if (!zero)
            break;
        const qint64 start = base + (static_cast<const char*>(zero) - data.constData()) - 4;
        if (IsRecordAt(data, base, start, end))
            return start;
        top = start + 4 - base;
    }
    return -1;
}

// The records before offset end (an end mark or a record's start), newest
// first, each found from the one after it, until wanted says it has enough
// or the file's start is reached; false when the chain back cannot be
// followed (a damaged or foreign record: the walk forward tells which).
// data holds the file from base on, up to end at least (or is empty); ahead
// guesses how many bytes back from end the walk still goes, so that the
// reads stay close to the bytes of the records wanted.
bool WalkBack(
    QFile& file, qint64 end, QByteArray data, qint64 base, const std::function<qint64()>& ahead,
    const std::function<bool(ViewKind kind, double stamp, qint64 at, quint32 length)>& wanted) {
    if (data.isEmpty())
        base = end + 1;
    // Makes data hold the bytes from end - bytes (or the file's start) on,
    // reading what lies before those in hand: as far back as the walk is
    // guessed to go, at least bytes.
    const auto cover = [&](qint64 bytes) {
        if (base == 0 || end - bytes >= base)
            return true;
        const qint64 back = std::clamp<qint64>(ahead(), bytes, 4 << 20);
        const qint64 from = std::max<qint64>(0, end - back);
        if (!file.seek(from))
            return false;
        QByteArray before = file.read(base - from);
        if (before.size() != base - from)
            return false;
        data = before.append(QByteArrayView(data).first(end + 1 - base));
        base = from;
        return true;
    };
    // The lengths of the last records: a table's records tend to keep their
    // length, so these are tried before every byte back is.
    std::array<quint32, 8> recent{};
    std::size_t next = 0;
    while (end > 0) {
        qint64 start = -1;
        for (const quint32 length : recent) {
            if (length == 0)
                continue;
            if (!cover(4 + length))
                return false;
            if (IsRecordHeadAt(data, base, end - 4 - length, end)) {
                start = end - 4 - length;
                break;
            }
        }
        if (start < 0) {
            if (!cover(4 + MaxLength))
                return false;
            start = RecordEndingAt(data, base, end);
        }
        if (start < 0)
            return false;
        const auto length = quint32(end - start - 4);
        if (std::find(recent.begin(), recent.end(), length) == recent.end())
            recent[next++ % recent.size()] = length;
        const auto* p = reinterpret_cast<const uchar*>(data.constData()) + (start - base);
        const double stamp = std::bit_cast<double>(qFromLittleEndian<quint64>(p + 5));
        if (!wanted(ViewKind(p[0]), stamp, start, length))
            return true;
        end = start;
    }
    return true;
}

// The offset of the end mark of a snapshot file that is not empty, checked
// from the file's start (its first record) and end (its last record, and
// what may follow the end mark) without reading it all; false with the
// reason when the file is not a snapshot file.
bool FindEnd(QFile& file, qint64* end, QString* problem, QByteArray* tailOut = nullptr,
             qint64* tailBase = nullptr) {
    const qint64 size = file.size();
    const auto readAt = [&](qint64 at, qint64 n) {
        QByteArray bytes;
        if (file.seek(at))
            bytes = file.read(n);
        return bytes.size() == n ? bytes : QByteArray();
    };
    QByteArray head = readAt(0, std::min<qint64>(size, 5));
    if (head.isEmpty())
        return Fail(problem, file.errorString());
    const auto kind = uchar(head[0]);
    if (kind != 0 && head.size() == 5) {
        // The first record as far as its L says, within the record buffer.
        const quint32 length = qFromLittleEndian<quint32>(head.constData() + 1);
        head = readAt(0, std::min<qint64>(size, 5 + std::min(length, MaxLength)));
        if (head.isEmpty())
            return Fail(problem, file.errorString());
    }
    if (kind != 0) {
        // The first record alone: the walk ends after it (or at its damage).
        QBuffer first;
        first.setData(head);
        first.open(QIODevice::ReadOnly);
        const Walk walk = WalkRecords(first, 0, std::nullopt, nullptr);
        if (walk.end == End::Damaged && walk.at == 0)
            return Fail(problem, walk.problem);
        if (walk.end == End::Truncated && walk.at == 0)
            return Fail(problem, Damaged(0, QStringLiteral("je neúplný")));
    }
    const qint64 base = std::max<qint64>(0, size - EndWindow);
    const QByteArray tail = readAt(base, size - base);
    if (tail.isEmpty())
        return Fail(problem, file.errorString());
    const auto* p = reinterpret_cast<const uchar*>(tail.constData());
    for (qint64 at = size - 1; at >= base && size - 1 - at <= 4 + qint64(MaxLength); --at) {
        if (p[at - base] != 0 || !IsTornTail(p + (at - base) + 1, size - 1 - at))
            continue;
        // The end mark of a file without records is its first byte.
        if (kind == 0 ? at == 0 : at > 0 && RecordEndingAt(tail, base, at) >= 0) {
            *end = at;
            if (tailOut) {
                *tailOut = tail;
                *tailBase = base;
            }
            return true;
        }
    }
    return Fail(problem, QStringLiteral("Soubor není v pořádku: jeho konec není konec záznamu."));
}

bool LoadLastFromEnd(QFile& file, int filter, const std::function<void(ViewKind, double)>& noted,
                     const SnapshotSink& sink) {
    qint64 end = 0;
    QString problem;
    QByteArray tail;
    qint64 tailBase = 0;
    if (!FindEnd(file, &end, &problem, &tail, &tailBase))
        return false;
    struct Found {
        ViewKind kind;
        double stamp;
        qint64 at;
        quint32 length;
    };
    std::vector<Found> found; // newest first
    std::array<int, ViewKindSlots> count{};
    const auto needed = [](int kind) {
        return HasHistoryList(ViewKind(kind)) ? SnapshotHistory::MaxEntries : 1;
    };
    const auto enough = [&] {
        for (int kind = 1; kind < ViewKindSlots; ++kind)
            if ((filter == 0 ? IsViewKind(kind) : kind == filter) && count[kind] < needed(kind))
                return false;
        return true;
    };
    bool tooFar = false;
    qint64 reached = end; // the last record found
    // As far back again as each kind still short took per record so far; a
    // kind not met yet doubles the way.
    const auto ahead = [&] {
        const qint64 walked = end - reached;
        qint64 most = 64 << 10;
        for (int kind = 1; kind < ViewKindSlots; ++kind)
            if ((filter == 0 ? IsViewKind(kind) : kind == filter) && count[kind] < needed(kind))
                most = std::max(most, count[kind] == 0
                                          ? walked
                                          : walked / count[kind] * (needed(kind) - count[kind]));
        return most + most / 8;
    };
    const bool followed = WalkBack(file, end, tail, tailBase, ahead,
                                   [&](ViewKind kind, double stamp, qint64 at, quint32 length) {
                                       reached = at;
                                       if (end - at > BackLimitBytes) {
                                           tooFar = true;
                                           return false;
                                       }
                                       if (filter != 0 && int(kind) != filter)
                                           return true;
                                       found.push_back({kind, stamp, at, length});
                                       return ++count[int(kind)] < needed(int(kind)) || !enough();
                                   });
    if (!followed || tooFar)
        return false;
    // Each kind's newest record, decoded before anything is told, in the
    // order of the kinds, as the walk from the start hands them over.
    std::map<int, std::pair<double, SnapshotTable>> last;
    for (const Found& r : found) {
        if (!sink || last.contains(int(r.kind)))
            continue;
        SnapshotTable table;
        if (!file.seek(r.at + 5))
            return false;
        const QByteArray body = file.read(r.length);
        if (body.size() != qsizetype(r.length) || !ParseCells(body, &table))
            return false;
        last[int(r.kind)] = {r.stamp, std::move(table)};
    }
    for (auto r = found.rbegin(); r != found.rend(); ++r)
        if (noted)
            noted(r->kind, r->stamp);
    for (const auto& [kind, record] : last)
        sink(ViewKind(kind), record.first, record.second);
    return true;
}

// Takes the file's advisory lock for an append, waiting a bounded time for
// another writer; the lock goes when the file is closed. A file system that
// keeps no locks (some network shares) is written without one.
bool LockForAppend(int handle) {
    QElapsedTimer waited;
    waited.start();
    while (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (waited.elapsed() > LockWaitMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Puts what was written on the disk before the next write.
bool SyncFile(QFile& file) {
    return file.flush() && ::fdatasync(file.handle()) == 0;
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
                    QString* error, QString* notice) {
    const QByteArray record = EncodeRecord(kind, stamp, table, error);
    if (record.isEmpty())
        return false;
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return Fail(error, existed ? CannotOpen(path, file.errorString())
                                   : CannotCreate(path, file.errorString()));
    // One writer at a time: a logger and a person pressing "Ulož" wait for
    // each other instead of one of their records being lost.
    if (!LockForAppend(file.handle())) {
        return Fail(error, QStringLiteral("Do souboru \"%1\" právě zapisuje jiný program; snímek "
                                          "nebyl uložen.")
                               .arg(path));
    }
    qint64 end = 0; // of the records: the end mark
    const auto failWrite = [&](const QString& reason, qint64 keep) {
        // What this append wrote goes again, the end mark included; a file
        // it created goes too.
        if (!existed) {
            file.remove();
        } else if (file.resize(keep) && keep > end && file.seek(end)) {
            file.write(QByteArray(1, 0));
            SyncFile(file);
        }
        return Fail(error, existed ? CannotOpen(path, reason) : CannotCreate(path, reason));
    };
    if (file.size() > 0) {
        QString problem;
        if (!FindEnd(file, &end, &problem))
            return Fail(error,
                        QStringLiteral("Snímek nebyl uložen do \"%1\". %2").arg(path, problem));
        const qint64 torn = file.size() - end - 1;
        if (torn > 0) {
            // An append that stopped short (power loss, a full disk, a killed
            // process) left part of a record after the end mark: it goes.
            if (!file.resize(end + 1) || !SyncFile(file))
                return Fail(error, CannotOpen(path, file.errorString()));
            if (notice)
                *notice = QStringLiteral("Konec souboru \"%1\" nesl zbytek přerušeného zápisu: "
                                         "%2 bajtů za posledním celým záznamem bylo odstraněno.")
                              .arg(path)
                              .arg(torn);
        }
    }
    // The record goes after the end mark except its first byte, then that
    // byte over the end mark: until it is there, the file ends at the old
    // end mark, whatever byte a write stops at. A new file gets its end mark
    // first.
    const QByteArray start = file.size() == 0 ? QByteArray(1, 0) : QByteArray();
    // What a failed write leaves: the file as it was (without a torn tail).
    const qint64 keep = start.isEmpty() ? end + 1 : 0;
    struct Piece {
        qint64 at;
        QByteArray bytes;
    };
    const Piece pieces[] = {{0, start}, {end + 1, record.mid(1)}, {end, record.left(1)}};
    qint64 offset = 0;
    for (const Piece& piece : pieces) {
        if (piece.bytes.isEmpty())
            continue;
        if (!file.seek(piece.at))
            return failWrite(file.errorString(), keep);
        // With a seam set the bytes go one by one, so a test can stop any offset.
        const bool seam = FailWriteAt || StopWriteAt;
        for (qint64 i = 0; i < piece.bytes.size();) {
            if (StopWriteAt && StopWriteAt(offset))
                return Fail(error, CannotOpen(path, QStringLiteral("stopped")));
            if (FailWriteAt && FailWriteAt(offset))
                return failWrite(
                    QCoreApplication::translate("QIODevice", "No space left on device"), keep);
            const qint64 n = seam ? 1 : piece.bytes.size();
            if (file.write(piece.bytes.constData() + i, n) != n)
                return failWrite(file.errorString(), keep);
            i += n;
            offset += n;
        }
        if (!SyncFile(file))
            return failWrite(file.errorString(), keep);
    }
    if (StopWriteAt && StopWriteAt(offset))
        return Fail(error, CannotOpen(path, QStringLiteral("stopped")));
    if (FailWriteAt && FailWriteAt(offset))
        return failWrite(QCoreApplication::translate("QIODevice", "No space left on device"), keep);
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
    return walk.end != End::Damaged || Fail(error, LoadEnded(walk.problem, path, walk.kept));
}

bool LoadLastSnapshots(const QString& path, int filter,
                       const std::function<void(ViewKind, double)>& noted, const SnapshotSink& sink,
                       QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, CannotOpen(path, file.errorString()));
    if (sink && file.size() > LongFileBytes && LoadLastFromEnd(file, filter, noted, sink))
        return true;
    // Every record is read, in file order, through chunks of a megabyte: one
    // system call per chunk, and memory that stays flat for any file.
    ChunkedReader reader(file);
    reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    LastOnly lastOnly{noted, {}};
    const Walk walk = WalkRecords(reader, filter, std::nullopt, {}, &lastOnly);
    if (file.error() != QFileDevice::NoError)
        return Fail(error, CannotOpen(path, file.errorString()));
    // What the walk reached stays loaded, also before a damaged record: each
    // kind's last record is read again and decoded. One whose cells do not
    // fill it is not shown, and the load says so.
    std::optional<LastOnly::Record> broken;
    for (const auto& [kind, record] : lastOnly.last) {
        if (!sink)
            break;
        SnapshotTable table;
        if (!file.seek(record.bodyAt))
            return Fail(error, CannotOpen(path, file.errorString()));
        const QByteArray body = file.read(record.length);
        if (body.size() != qsizetype(record.length))
            return Fail(error, CannotOpen(path, file.errorString()));
        if (!ParseCells(body, &table)) {
            if (!broken)
                broken = record;
            continue;
        }
        sink(ViewKind(kind), record.stamp, table);
    }
    if (broken)
        return Fail(error, LoadEnded(Damaged(broken->bodyAt - 5, CellsMismatchText()), path,
                                     broken->before));
    return walk.end != End::Damaged || Fail(error, LoadEnded(walk.problem, path, walk.kept));
}

bool RecordCells::parse(const QByteArray& body) {
    const auto* p = reinterpret_cast<const uchar*>(body.constData());
    const qsizetype end = body.size() - 1;
    if (end < 12)
        return false;
    m_rows = qFromLittleEndian<quint16>(p + 8);
    m_columns = qFromLittleEndian<quint16>(p + 10);
    const qint64 cells = qint64(m_rows) * m_columns;
    if (cells > end - 12) // each cell takes its length byte at least
        return false;
    m_at.resize(std::size_t(cells));
    qsizetype pos = 12;
    for (qint64 i = 0; i < cells; ++i) {
        if (pos >= end || p[pos] > end - pos - 1)
            return false;
        m_at[std::size_t(i)] = quint32(pos);
        pos += 1 + p[pos];
    }
    m_body = body.constData();
    return pos == end;
}

QString RecordCells::text(int c, int r) const {
    const QByteArrayView b = bytes(c, r);
    return text::FromCp1250(b.data(), int(b.size()));
}

bool WalkRecordCells(const QString& path, int filter,
                     const std::function<bool(ViewKind, double, const RecordCells&)>& visit,
                     QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, CannotOpen(path, file.errorString()));
    ChunkedReader reader(file);
    reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    InPlace inPlace{visit, {}};
    const Walk walk = WalkRecords(reader, filter, std::nullopt, {}, nullptr, &inPlace);
    if (file.error() != QFileDevice::NoError)
        return Fail(error, CannotOpen(path, file.errorString()));
    return walk.end != End::Damaged || Fail(error, LoadEnded(walk.problem, path, walk.kept));
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
