// Feeds arbitrary bytes to the snapshot loader and checks what it hands over,
// then appends a record to them as a file and checks what the append wrote.
//
// Input: two control bytes, then the snapshot file.
//   byte 0: the filter, 0..8 (9 stands for a kind no record can have)
//   byte 1: bits 0-1 the stamp mode, bits 2-7 a record number n
//     0  no stamp: every record passing the filter is loaded
//     1  the stamp of record n of the file (found by following the lengths),
//        so that the loader's stamp pick is hit
//     2  the 8 bytes after the control bytes are the stamp (little-endian
//        double); the file follows them
//     3  a NaN stamp, which equals no record's stamp
#include "reads/ViewTable.h"
#include "store/SnapshotFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

using zra::store::SnapshotTable;
using zra::store::ViewKind;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "snapshot_fuzz: %s\n", what);
    std::abort();
}

double StampAt(const uint8_t* p) {
    return std::bit_cast<double>(qFromLittleEndian<quint64>(p));
}

// The stamp of record n, following kind and length bytes as the loader does;
// nothing when the file has no such record.
std::optional<double> StampOfRecord(const uint8_t* file, size_t size, int n) {
    size_t at = 0;
    for (int i = 0;; ++i) {
        if (at + 13 > size || file[at] == 0)
            return {};
        if (i == n)
            return StampAt(file + at + 5);
        const quint32 length = qFromLittleEndian<quint32>(file + at + 1);
        at += 4 + size_t(length);
    }
}

volatile size_t g_touched; // keeps the reads of every cell

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const int filter = data[0] % 10;
    const int mode = data[1] & 3;
    const int n = data[1] >> 2;
    const uint8_t* file = data + 2;
    size_t fileSize = size - 2;

    std::optional<double> stamp;
    switch (mode) {
    case 1:
        stamp = StampOfRecord(file, fileSize, n).value_or(0.0);
        break;
    case 2:
        if (fileSize < 8)
            return 0;
        stamp = StampAt(file);
        file += 8;
        fileSize -= 8;
        break;
    case 3:
        stamp = std::numeric_limits<double>::quiet_NaN();
        break;
    }

    QByteArray bytes(reinterpret_cast<const char*>(file), qsizetype(fileSize));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);

    int loaded = 0;
    size_t touched = 0;
    const auto sink = [&](ViewKind kind, double recordStamp, const SnapshotTable& table) {
        ++loaded;
        if (!zra::store::IsViewKind(int(kind)))
            Broken("a record of an unknown kind was loaded");
        if (filter != 0 && int(kind) != filter)
            Broken("a record the filter excludes was loaded");
        if (stamp && !(recordStamp == *stamp))
            Broken("a record with another stamp was loaded");
        if (stamp && loaded > 1)
            Broken("the load went on after the picked stamp");
        if (table.rows < 0 || table.columns < 0 ||
            table.cells.size() != qsizetype(table.rows) * table.columns)
            Broken("the table's cells do not match its rows and columns");
        for (int r = 0; r < table.rows; ++r)
            for (int c = 0; c < table.columns; ++c) {
                const QString cell = table.at(c, r);
                if (cell.size() > zra::store::MaxCellBytes)
                    Broken("a cell is longer than a length byte allows");
                touched += size_t(cell.size());
                for (QChar ch : cell)
                    touched += ch.unicode();
            }
        // What the history list and the caption make of the stamp.
        touched += size_t(zra::store::StampText(recordStamp, QLocale::c()).size());
        touched += zra::store::FromDayStamp(recordStamp).isValid() ? 1 : 0;
        touched += size_t(zra::reads::SnapshotCaption(kind, QStringLiteral("a.zrd")).size());
    };

    QString error;
    const bool ok = zra::store::LoadSnapshots(buffer, filter, stamp, sink, &error);
    if (!ok && error.isEmpty())
        Broken("a failed load gave no reason");
    g_touched = g_touched + touched;

    // The same bytes as a file that a save appends to: refused with a
    // reason, or the file then ends with the new record after what it held.
    // In the run's temporary folder (a RAM disk where scripts/fuzz.sh finds one).
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.ZRD"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(bytes) != bytes.size())
            Broken("cannot write the input file");
    }
    SnapshotTable added(2, 1);
    added.set(0, 0, QStringLiteral("fuzz"));
    added.set(1, 0, QString::number(size));
    QString notice;
    if (!zra::store::AppendSnapshot(path, ViewKind::Log, 46000.5, added, &error, &notice)) {
        if (error.isEmpty())
            Broken("a refused append gave no reason");
        return 0;
    }
    // The file is what it held up to its end mark, then the record over it.
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        Broken("the appended file cannot be read");
    const QByteArray now = in.readAll();
    const QByteArray record = zra::store::EncodeRecord(ViewKind::Log, 46000.5, added, &error);
    const qsizetype end = now.size() - record.size();
    if (!now.endsWith(record) || end < 0 || end > std::max<qsizetype>(0, bytes.size() - 1) ||
        now.left(end) != bytes.left(end) || (end < bytes.size() && bytes[end] != 0))
        Broken("the append wrote anything but its record over the end mark");
    return 0;
}
