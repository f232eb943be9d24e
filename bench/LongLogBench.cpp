// A snapshot log of a year: appending one record to a 1 GB file against
// appending to a 1 MB one, and opening the 1 GB file in a window (the walk
// that notes every record and decodes each kind's last one): its peak
// resident memory growth, and its time against reading the bytes of the
// file's last 100 records. The files go in a scratch folder and are removed.
#include "bench/BenchSupport.h"
#include "store/SnapshotFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 9;

// A modules table of nine modules: a record of about 3 kB.
zra::store::SnapshotTable ModulesTable() {
    zra::store::SnapshotTable t(10, 39);
    for (int c = 0; c < 10; ++c)
        for (int r = 0; r < 39; ++r)
            t.set(c, r, QStringLiteral("%1.%2").arg(230 + r).arg(c));
    return t;
}

// A snapshot file of about bytes, written record after record.
bool WriteLog(const QString& path, qint64 bytes, const QByteArray& record, qint64* records) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray body = record.chopped(1); // without the end mark
    QByteArray block;
    while (block.size() + body.size() <= std::min<qint64>(4 << 20, bytes - 1))
        block += body;
    const qint64 perBlock = block.size() / body.size();
    *records = 0;
    while (out.size() + block.size() <= bytes) {
        if (out.write(block) != block.size())
            return false;
        *records += perBlock;
    }
    // On the disk before the appends are timed: they sync only their own bytes.
    return out.write("\0", 1) == 1 && out.flush() && ::fsync(out.handle()) == 0;
}

double PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString error;
    const QByteArray record =
        zra::store::EncodeRecord(zra::store::ViewKind::Moduly, 45000.5, ModulesTable(), &error);
    const QString small = dir.filePath(QStringLiteral("small.ZRD"));
    const QString large = dir.filePath(QStringLiteral("large.ZRD"));
    qint64 smallRecords = 0, largeRecords = 0;
    if (record.isEmpty() || !WriteLog(small, qint64(1) << 20, record, &smallRecords) ||
        !WriteLog(large, qint64(1) << 30, record, &largeRecords)) {
        std::fprintf(stderr, "cannot write the logs in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::vector<double> toSmall, toLarge;
    for (int run = 0; run < Runs; ++run)
        for (const auto& [path, times] : {std::pair{small, &toSmall}, std::pair{large, &toLarge}}) {
            QElapsedTimer t;
            t.start();
            if (!zra::store::AppendSnapshot(path, zra::store::ViewKind::Moduly, 46000.0 + run,
                                            ModulesTable(), &error)) {
                std::fprintf(stderr, "append: %s\n", qPrintable(error));
                return 1;
            }
            times->push_back(zra::bench::MsSince(t));
        }
    const double appendRatio = zra::bench::Median(toLarge) / zra::bench::Median(toSmall);

    // The open, as the modules window's "Otevři" opens it, and the bytes of
    // the last 100 records: medians of runs, and the peak memory around them.
    const double peakBefore = PeakResidentMb();
    std::vector<double> opens, lasts;
    qint64 noted = 0, lastBytes = 0;
    bool opened = true;
    const int openRuns = qEnvironmentVariableIntValue("ZRA_BENCH_OPENS") > 0
                             ? qEnvironmentVariableIntValue("ZRA_BENCH_OPENS")
                             : Runs;
    for (int run = 0; run < openRuns; ++run) {
        QElapsedTimer t;
        t.start();
        noted = 0;
        opened = opened &&
                 zra::store::LoadLastSnapshots(
                     large, 2, [&](zra::store::ViewKind, double) { ++noted; },
                     [](zra::store::ViewKind, double, const zra::store::SnapshotTable&) {}, &error);
        opens.push_back(zra::bench::MsSince(t));
        t.restart();
        QFile in(large);
        in.open(QIODevice::ReadOnly);
        in.seek(in.size() - 100 * (record.size() - 1) - 1);
        lastBytes = in.readAll().size();
        lasts.push_back(zra::bench::MsSince(t));
    }
    const double growth = PeakResidentMb() - peakBefore;
    const double openMs = zra::bench::Median(opens);
    const double lastMs = zra::bench::Median(lasts);
    if (!opened || noted != zra::store::SnapshotHistory::MaxEntries || lastBytes <= 0) {
        std::fprintf(stderr, "open: %s (%lld records noted)\n", qPrintable(error),
                     static_cast<long long>(noted));
        return 1;
    }
    // The same from the disk: the file's pages dropped from memory before
    // each (as a year's log is when an engineer opens it).
    const auto dropped = [&] {
        QFile f(large);
        return f.open(QIODevice::ReadOnly) &&
               ::posix_fadvise(f.handle(), 0, 0, POSIX_FADV_DONTNEED) == 0;
    };
    std::vector<double> coldOpens, coldLasts;
    for (int run = 0; run < Runs && dropped(); ++run) {
        QElapsedTimer t;
        t.start();
        zra::store::LoadLastSnapshots(
            large, 2, {}, [](zra::store::ViewKind, double, const zra::store::SnapshotTable&) {},
            &error);
        coldOpens.push_back(zra::bench::MsSince(t));
        if (!dropped())
            break;
        t.restart();
        QFile in(large);
        in.open(QIODevice::ReadOnly);
        in.seek(in.size() - 100 * (record.size() - 1) - 1);
        in.readAll();
        coldLasts.push_back(zra::bench::MsSince(t));
    }
    std::printf("logs of %lld and %lld records of %lld bytes, median of %d appends\n",
                static_cast<long long>(smallRecords), static_cast<long long>(largeRecords),
                static_cast<long long>(record.size() - 1), Runs);
    std::printf("  %-40s %9.3f ms\n", "append to the 1 MB file", zra::bench::Median(toSmall));
    std::printf("  %-40s %9.3f ms\n", "append to the 1 GB file", zra::bench::Median(toLarge));
    std::printf("  %-40s %9.3f ms\n", "open of the 1 GB file", openMs);
    std::printf("  %-40s %9.3f ms\n", "reading its last 100 records", lastMs);
    std::printf("  %-40s %9.1f MB\n", "peak resident growth of the open", growth);
    zra::bench::Row("snapshot append, 1 GB file / 1 MB file",
                    QStringLiteral("%1 (%2 / %3 ms)")
                        .arg(appendRatio, 0, 'f', 2)
                        .arg(zra::bench::Median(toLarge), 0, 'f', 3)
                        .arg(zra::bench::Median(toSmall), 0, 'f', 3),
                    "<= 1.5", appendRatio <= 1.5);
    zra::bench::Row("snapshot open of 1 GB, peak resident growth",
                    QStringLiteral("%1 MB").arg(growth, 0, 'f', 1), "<= 64 MB", growth <= 64);
    const double openRatio = openMs / lastMs;
    zra::bench::Row("snapshot open of 1 GB / reading its last 100 records (pages in memory)",
                    QStringLiteral("%1 (%2 / %3 ms)")
                        .arg(openRatio, 0, 'f', 1)
                        .arg(openMs, 0, 'f', 3)
                        .arg(lastMs, 0, 'f', 3),
                    "<= 2", openRatio <= 2);
    if (!coldLasts.empty()) {
        const double coldOpen = zra::bench::Median(coldOpens);
        const double coldLast = zra::bench::Median(coldLasts);
        std::printf("  %-40s %9.3f ms\n", "open from the disk", coldOpen);
        std::printf("  %-40s %9.3f ms\n", "reading the last 100 from the disk", coldLast);
        zra::bench::Row("the same from the disk (pages dropped)",
                        QStringLiteral("%1 (%2 / %3 ms)")
                            .arg(coldOpen / coldLast, 0, 'f', 1)
                            .arg(coldOpen, 0, 'f', 3)
                            .arg(coldLast, 0, 'f', 3),
                        "<= 2", coldOpen / coldLast <= 2);
    }
    return 0;
}
