// A second writer for the snapshot tests: appends COUNT records to FILE, each
// a 2 x 1 table holding WRITER and the record's number.
#include "store/SnapshotFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: append_writer FILE WRITER COUNT\n");
        return 2;
    }
    const int count = args[3].toInt();
    for (int n = 0; n < count; ++n) {
        zra::store::SnapshotTable table(2, 1);
        table.set(0, 0, args[2]);
        table.set(1, 0, QString::number(n));
        QString error;
        if (!zra::store::AppendSnapshot(args[1], zra::store::ViewKind::Log, 1.0 + n, table,
                                        &error)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(error));
            return 1;
        }
    }
    return 0;
}
