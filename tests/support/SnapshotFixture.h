#pragma once
#include "store/SnapshotFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zra::test {

// A snapshot file in dir with one table of kind, columns × rows cells, its
// title row and title column reading "s0", "s1", ...: a table of another
// shape than a window's own.
inline QString ShapedSnapshotFile(const QTemporaryDir& dir, store::ViewKind kind, int columns,
                                  int rows) {
    store::SnapshotTable snapshot(columns, rows);
    for (int c = 0; c < columns; ++c)
        snapshot.set(c, 0, QStringLiteral("s%1").arg(c));
    for (int r = 1; r < rows; ++r)
        snapshot.set(0, r, QStringLiteral("s%1").arg(r));
    const QString file = dir.filePath(QStringLiteral("%1x%2.ZRD").arg(columns).arg(rows));
    QString error;
    EXPECT_TRUE(store::AppendSnapshot(file, kind, 46000.5, snapshot, &error))
        << error.toStdString();
    return file;
}

} // namespace zra::test
