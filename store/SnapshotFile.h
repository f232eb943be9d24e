#pragma once
#include "store/TableSink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

namespace zra::store {

// Snapshot files (*.ZRD): any number of records, each the full text of one
// table at one moment, followed by one byte 0. A record, little-endian:
//   kind (1 byte, 1..8), L (4 bytes: the bytes after L up to and including
//   the byte after the record), stamp (double, DayStamp), rows (2 bytes),
//   columns (2 bytes), then rows x columns cells, row 0 first and column 0
//   first within a row, each one length byte and that many Windows-1250 bytes.
// Saving appends a record over the final 0 and ends the file with 0 again.

// The table a record holds.
enum class ViewKind : quint8 {
    Konfig = 1,
    Moduly = 2,
    Faze = 3,
    AcGroup = 4,
    DcGroup = 5,
    Log = 6,
    Main = 7,
    Alarm = 8,
};
// Kinds 1 to 8 are the tool's tables; a table added to the run takes another
// number, which AllowViewKind makes a kind that files may hold.
bool IsViewKind(int value);
void AllowViewKind(ViewKind kind, bool allowed = true);
// One slot per possible kind byte, for tables indexed by kind.
inline constexpr int ViewKindSlots = 256;
// Kinds 1 to 7 have a history list in their window; the alarm table has none.
constexpr bool HasHistoryList(ViewKind kind) {
    return kind != ViewKind::Alarm;
}

// A record from its kind byte to the byte after its last cell: the buffer
// both the writer and the reader work in.
inline constexpr int RecordBufferSize = 50001;
inline constexpr int MaxCellBytes = 255;

// The cell texts of one table, title row 0 and title column 0 included.
struct SnapshotTable {
    int rows = 0;
    int columns = 0;
    QList<QString> cells; // row-major: cell (c, r) at r * columns + c

    SnapshotTable() = default;
    SnapshotTable(int columns, int rows)
        : rows(rows), columns(columns), cells(qsizetype(rows) * columns) {}
    QString at(int c, int r) const { return cells.value(qsizetype(r) * columns + c); }
    void set(int c, int r, const QString& text) { cells[qsizetype(r) * columns + c] = text; }
    // The cells that stay keep their texts; new ones are empty.
    void resize(int newColumns, int newRows);
    bool operator==(const SnapshotTable&) const = default;
};

// A table in memory as the sink of a view's read.
class SnapshotTableSink : public TableSink {
public:
    explicit SnapshotTableSink(SnapshotTable& table) : m_table(table) {}
    void setColumnCount(int columns) override { m_table.resize(columns, m_table.rows); }
    void setRowCount(int rows) override { m_table.resize(m_table.columns, rows); }
    void setCell(int column, int row, const QString& text) override {
        m_table.set(column, row, text);
    }

private:
    SnapshotTable& m_table;
};

// Local date and time as days since 1899-12-30 00:00, the fraction the time
// of day, to the millisecond; and back.
double DayStamp(const QDateTime& local);
QDateTime FromDayStamp(double stamp);
// The stamp of a save at now that comes after previous (0: none yet): now's,
// or a millisecond after previous when the clock has not moved on since, so
// that every save of a run is told apart when it is picked by its stamp.
double NextSaveStamp(const QDateTime& now, double previous);
// A history entry's text: the date in the locale's short format and the time
// in its long format (without a time zone).
QString StampText(double stamp, const QLocale& locale = QLocale());

// One record with its trailing 0, or empty with the reason in error when the
// table does not fit a record (over RecordBufferSize bytes, a cell over
// MaxCellBytes bytes, a character that Windows-1250 lacks).
QByteArray EncodeRecord(ViewKind kind, double stamp, const SnapshotTable& table, QString* error);

// Appends one record to path, creating the file when it does not exist. Only
// the record is written, in place: after the end mark but its first byte,
// then that byte over the end mark, each synced, so that whatever byte the
// write stops at the file still loads with every earlier record. A torn
// tail such a stop left is cut away first, and notice names what went. The
// append holds the file's advisory lock (flock), waiting up to 10 s for
// another writer. A failed write takes back what it wrote. A table that does
// not fit a record and a file that is not a snapshot file (checked at its
// first record and at its end, without reading it all) are refused, and
// nothing is written. Errors: "Cannot create file \"%1\". %2" / "Cannot
// open file \"%1\". %2" (file, reason), or the reason the table or file
// was refused.
bool AppendSnapshot(const QString& path, ViewKind kind, double stamp, const SnapshotTable& table,
                    QString* error, QString* notice = nullptr);

// Called for each loaded record, in file order.
using SnapshotSink = std::function<void(ViewKind kind, double stamp, const SnapshotTable& table)>;

// Loads the records of path: with filter 0 all, else only those of that kind
// (the others are skipped by a seek). With a stamp only the first record
// whose stamp equals it, and the load stops there. The end of the file ends
// the load quietly, also in the middle of a record (that record is not
// loaded). False when the file cannot be opened ("Cannot open file \"%1\".
// %2") or holds a record with a bad kind or length ("Soubor není v
// pořádku: ..."); the records before it stay loaded.
bool LoadSnapshots(const QString& path, int filter, std::optional<double> stamp,
                   const SnapshotSink& sink, QString* error);
// The same over an open random-access device, from its current position.
bool LoadSnapshots(QIODevice& device, int filter, std::optional<double> stamp,
                   const SnapshotSink& sink, QString* error);

// LoadSnapshots without a stamp, as a window's open uses it: every selected
// record is checked and noted in file order (kind and stamp), and the last
// one of each kind is decoded and handed to sink after the walk, so that each
// table ends with its last snapshot without decoding the earlier ones. A
// damaged record ends the walk; what it reached is still handed over. A
// file over 8 MB opened with a sink is walked back from its end until every
// history it keeps holds its newest hundred (as the walk from the start
// would leave them); without a sink every record is noted.
bool LoadLastSnapshots(const QString& path, int filter,
                       const std::function<void(ViewKind kind, double stamp)>& noted,
                       const SnapshotSink& sink, QString* error);

// The cells of one record where they lie in its bytes, so that a reader
// that wants a few cells of many records takes them without decoding the
// rest.
class RecordCells {
public:
    // Notes where each cell of a record body (all bytes after L) lies; false
    // unless the cells fill the body exactly up to its last byte.
    bool parse(const QByteArray& body);
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    // The Windows-1250 bytes of cell (c, r), and its text.
    QByteArrayView bytes(int c, int r) const {
        const char* p = m_body + m_at[std::size_t(r) * m_columns + c];
        return {p + 1, qsizetype(uchar(*p))};
    }
    QString text(int c, int r) const;

private:
    const char* m_body = nullptr;
    std::vector<quint32> m_at; // each cell's length byte, row-major
    int m_rows = 0;
    int m_columns = 0;
};

// Walks the records of path in file order, as LoadSnapshots without a stamp
// does (filter 0 all, else one kind), handing each record's cells in place to
// visit, which returns false to end the walk. The cells are valid only during
// the call. Memory stays flat for any file. Errors as LoadSnapshots's.
bool WalkRecordCells(
    const QString& path, int filter,
    const std::function<bool(ViewKind kind, double stamp, const RecordCells& cells)>& visit,
    QString* error);

// The history list of one window: the stamps of the snapshots of its kind in
// the file last loaded, oldest first, at most MaxEntries.
class SnapshotHistory {
public:
    static constexpr int MaxEntries = 100;

    // A new load: the next recorded stamp starts the list afresh.
    void beginLoad() { m_clearOnRecord = true; }
    // Adds a loaded snapshot as the newest entry, dropping the oldest when
    // the list is full.
    void record(double stamp, const QLocale& locale = QLocale());

    // The entries' texts, made for the stamps kept (not for every stamp a
    // long file brought and dropped).
    const QStringList& entries() const;
    const QList<double>& HistoryStamps() const { return m_stamps; }
    // The list is shown once it holds two entries; the newest is selected.
    bool visible() const { return m_stamps.size() > 1; }
    int selected() const { return int(m_stamps.size()) - 1; }

private:
    mutable QStringList m_entries;
    mutable bool m_textsStale = false;
    QLocale m_locale;
    QList<double> m_stamps;
    bool m_clearOnRecord = true;
};

// What the loads keep for the whole run: the history of kinds 1 to 7 and the
// file each kind was last loaded from.
class SnapshotSession {
public:
    // LoadSnapshots, keeping the books: every loaded record sets
    // LastSnapshotFile of its kind; without a stamp it is also recorded in its
    // kind's history, which the first record of that kind in this load
    // starts afresh. Kinds without a record keep their history and file.
    bool load(const QString& path, int filter, std::optional<double> stamp,
              const SnapshotSink& sink, QString* error);
    // The same without a stamp through LoadLastSnapshots: sink gets each
    // kind's last snapshot only.
    bool loadLast(const QString& path, int filter, const SnapshotSink& sink, QString* error);

    const SnapshotHistory& history(ViewKind kind) const { return m_history[index(kind)]; }
    const QString& LastSnapshotFile(ViewKind kind) const { return m_lastFile[index(kind)]; }

private:
    static int index(ViewKind kind) { return int(kind) - 1; }
    std::array<SnapshotHistory, ViewKindSlots> m_history; // the alarm slot stays empty
    std::array<QString, ViewKindSlots> m_lastFile;
};

} // namespace zra::store
