// The tool's own files: where they live, who may read them, and a write that is
// whole or nothing.
#include "store/ToolFiles.h"

#include "store/AuditLog.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The settings file (which may hold the remembered password) and the audit
// log are the user's only: when created, and the settings also when an
// earlier write left them readable by others.
TEST(ToolFiles, TheSettingsAndTheAuditLogAreTheUsersOnly) {
    QTemporaryDir dir;
    const auto mode = [](const QString& path) {
        struct stat s {};
        return ::stat(QFile::encodeName(path).constData(), &s) == 0 ? int(s.st_mode & 07777) : -1;
    };
    const QString settingsPath = dir.filePath(SettingsFileName);
    const QString auditPath = dir.filePath(AuditLogFileName);
    const auto writeSettings = [&] {
        SettingsFile settings(settingsPath);
        settings.setText("TFprihlaseni", "Heslo", "03001201A2");
        return settings.flush(nullptr);
    };
    const auto writeAudit = [&] {
        AuditEntry e;
        e.time = QDateTime::currentDateTime();
        e.address = "127.0.0.1";
        e.function = 6;
        return AppendAuditEntry(auditPath, e, nullptr);
    };
    const ::mode_t oldMask = ::umask(022);
    for (const auto& [path, write] : std::vector<std::pair<QString, std::function<bool()>>>{
             {settingsPath, writeSettings}, {auditPath, writeAudit}}) {
        ASSERT_TRUE(write()) << path.toStdString();
        EXPECT_EQ(mode(path), 0600) << "new " << path.toStdString();
        ASSERT_TRUE(write());
        EXPECT_EQ(mode(path), 0600) << "written again " << path.toStdString();
    }
    ASSERT_EQ(::chmod(QFile::encodeName(settingsPath).constData(), 0644), 0);
    ASSERT_TRUE(writeSettings());
    EXPECT_EQ(mode(settingsPath), 0600) << "a replaced settings file is the user's again";
    ::umask(oldMask);
}

} // namespace
