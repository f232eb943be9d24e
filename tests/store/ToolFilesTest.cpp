// The tool's own files: where they live, and a write that is whole or nothing.
#include "store/ToolFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zra::store;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(ToolFiles, PathsFollowTheOverride) {
    QTemporaryDir dir;
    SetToolFileDirectory(dir.path());
    EXPECT_EQ(ToolFilePath(FilterFileName), QDir(dir.path()).filePath("Pelix4_ZRA.flt"));
    SetToolFileDirectory({});
    EXPECT_NE(ToolFileDirectory(), dir.path());
    EXPECT_FALSE(ToolFileDirectory().isEmpty());

    // Beside the executable when writable; the user's folder when not (a
    // folder that does not exist stands for a read-only one, also for root).
    const QString user = dir.filePath("user");
    EXPECT_EQ(ChooseToolFileDirectory(dir.path(), user), dir.path());
    EXPECT_EQ(ChooseToolFileDirectory(dir.filePath("missing"), user), user);
    // An installed copy: its folder is the system's, writable for root or not.
    for (const char* installed : {"/usr/bin", "/usr/local/bin/", "/bin"})
        EXPECT_EQ(ChooseToolFileDirectory(installed, user), user) << installed;
    EXPECT_FALSE(IsSystemProgramFolder(dir.path()));
    EXPECT_FALSE(IsSystemProgramFolder("/usr"));
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    EXPECT_EQ(ChooseToolFileDirectory(plain.fileName(), user), user) << "not a folder";
}

TEST(ToolFiles, AWriteFailingAtAnyOffsetLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f.bin");
    const QByteArray old(37, 'o');
    const QByteArray next(23, 'n');
    for (qint64 failAt = 0; failAt <= next.size(); ++failAt) {
        ASSERT_TRUE(WriteWholeFile(path, old, nullptr));
        FailWriteAt = [failAt](qint64 offset) { return offset == failAt; };
        QString error;
        EXPECT_FALSE(WriteWholeFile(path, next, &error)) << failAt;
        FailWriteAt = nullptr;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(ReadAll(path), old) << "failure at " << failAt;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"}) << "no leftovers";
    }
    EXPECT_TRUE(WriteWholeFile(path, next, nullptr));
    EXPECT_EQ(ReadAll(path), next);
    QString error;
    EXPECT_FALSE(WriteWholeFile(dir.filePath("no/such/folder/f.bin"), next, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
