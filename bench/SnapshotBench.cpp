// Snapshot files: loading a file of 1000 modules snapshots into the modules
// window, as a ratio to reading the same file's bytes in the same run; and
// appending one snapshot to it (in place, each part synced), as a ratio to
// writing the record alone.
#include "app/Startup.h"
#include "bench/BenchSupport.h"
#include "main/Snapshots.h"
#include "store/SnapshotFile.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/TFmoduly.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int Snapshots = 1000;
constexpr int Runs = 5;
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zra::bench::QuietUi ui;
    zra::ui::InstallUi(&ui);
    QTemporaryDir dir;
    int status = 0;
    {
        zra::app::Windows w;
        zra::ui::TextGrid& grid = *w.Fmoduly->SG_mod;
        // Nine modules: a realistic table of 38 rows and 10 columns.
        grid.setColumnCount(10);
        for (int c = 1; c < 10; ++c)
            for (int r = 0; r < grid.rowCount(); ++r)
                grid.setCell(c, r, QStringLiteral("%1.%2").arg(230 + r).arg(c));
        const zra::store::SnapshotTable table = zra::main::SnapshotCommands::TableOf(grid);
        QString error;
        const QByteArray record =
            zra::store::EncodeRecord(zra::store::ViewKind::Moduly, 45000.5, table, &error);
        QByteArray content;
        for (int i = 0; i < Snapshots; ++i) {
            content += record.left(13); // kind, length, stamp
            // Distinct stamps, so that the history holds every snapshot.
            const double stamp = 45000.0 + i / 1440.0;
            content.replace(content.size() - 8, 8,
                            QByteArray(reinterpret_cast<const char*>(&stamp), 8));
            content += record.mid(13, record.size() - 14);
        }
        content += '\0';
        ui.file = dir.filePath(QStringLiteral("moduly.ZRD"));
        QFile out(ui.file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
            return 1;
        out.close();

        std::vector<double> load, bytes, append, recordAlone, parse;
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer t;
            t.start();
            QFile in(ui.file);
            in.open(QIODevice::ReadOnly);
            const qint64 size = in.readAll().size();
            bytes.push_back(zra::bench::MsSince(t));
            in.close();
            t.restart();
            zra::store::LoadSnapshots(
                ui.file, 2, std::nullopt,
                [](zra::store::ViewKind, double, const zra::store::SnapshotTable&) {}, &error);
            parse.push_back(zra::bench::MsSince(t));
            t.restart();
            w.snapshots.open(zra::store::ViewKind::Moduly);
            load.push_back(zra::bench::MsSince(t));
            if (size != content.size() || w.Fmoduly->historie->count() != 100)
                status = 1;

            const QString copy = dir.filePath(QStringLiteral("copy%1.ZRD").arg(run));
            QFile::copy(ui.file, copy);
            t.restart();
            zra::store::AppendSnapshot(copy, zra::store::ViewKind::Moduly, 46000.0, table, &error);
            append.push_back(zra::bench::MsSince(t));
            t.restart();
            QFile alone(dir.filePath(QStringLiteral("alone%1.bin").arg(run)));
            alone.open(QIODevice::WriteOnly);
            alone.write(record);
            alone.close();
            recordAlone.push_back(zra::bench::MsSince(t));
        }
        if (ui.messages)
            status = 1;
        std::printf("snapshot file of %d modules snapshots (%lld bytes), median of %d runs\n",
                    Snapshots, static_cast<long long>(content.size()), Runs);
        std::printf("  %-40s %9.2f ms\n", "reading the file's bytes", zra::bench::Median(bytes));
        std::printf("  %-40s %9.2f ms\n", "decoding its records alone", zra::bench::Median(parse));
        std::printf("  %-40s %9.2f ms\n", "loading it into the modules window",
                    zra::bench::Median(load));
        std::printf("  %-40s %9.1f   (goal <= 5)\n", "ratio",
                    zra::bench::Median(load) / zra::bench::Median(bytes));
        std::printf("  %-40s %9.2f ms\n", "writing one record alone",
                    zra::bench::Median(recordAlone));
        std::printf("  %-40s %9.2f ms\n", "appending one snapshot (in place)",
                    zra::bench::Median(append));
        std::printf("  %-40s %9.1f\n", "ratio",
                    zra::bench::Median(append) / zra::bench::Median(recordAlone));
        const double loadRatio = zra::bench::Median(load) / zra::bench::Median(bytes);
        zra::bench::Row("snapshot load of 1000 records, window / file bytes",
                        QStringLiteral("%1 (%2 / %3 ms)")
                            .arg(loadRatio, 0, 'f', 1)
                            .arg(zra::bench::Median(load), 0, 'f', 2)
                            .arg(zra::bench::Median(bytes), 0, 'f', 2),
                        "<= 5", loadRatio <= 5);
    }
    zra::ui::InstallUi(nullptr);
    return status;
}
