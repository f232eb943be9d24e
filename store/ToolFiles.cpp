#include "store/ToolFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace zra::store {

namespace {
QString& OverrideDirectory() {
    static QString directory;
    return directory;
}
} // namespace

bool IsSystemProgramFolder(const QString& folder) {
    static const QStringList system = {"/bin",       "/sbin",           "/usr/bin",
                                       "/usr/sbin",  "/usr/local/bin",  "/usr/local/sbin",
                                       "/usr/games", "/usr/local/games"};
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return system.contains(canonical.isEmpty() ? QDir::cleanPath(folder) : canonical);
}

QString DefaultSnapshotDirectory() {
    const QString program = QCoreApplication::applicationDirPath();
    return QDir::toNativeSeparators((IsSystemProgramFolder(program) ? QDir::homePath() : program) +
                                    '/');
}

QString ChooseToolFileDirectory(const QString& beside, const QString& user) {
    if (IsSystemProgramFolder(beside))
        return user;
    const QFileInfo folder(beside);
    if ((folder.isDir() && folder.isWritable()) ||
        QFileInfo::exists(QDir(beside).filePath(SettingsFileName)))
        return beside;
    return user;
}

QString ToolFileDirectory() {
    if (!OverrideDirectory().isEmpty())
        return OverrideDirectory();
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString chosen = ChooseToolFileDirectory(QCoreApplication::applicationDirPath(), user);
    if (chosen == user)
        QDir().mkpath(user);
    return chosen;
}

QString ToolFilePath(const QString& name) {
    return QDir(ToolFileDirectory()).filePath(name);
}

void SetToolFileDirectory(const QString& directory) {
    OverrideDirectory() = directory;
}

bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error,
                    std::optional<QFileDevice::Permissions> permissions) {
    QSaveFile file(path);
    const auto fail = [&](const QString& why) {
        file.cancelWriting();
        if (error)
            *error = why;
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (permissions && !file.setPermissions(*permissions))
        return fail(file.errorString());
    // With the seam set the bytes go one by one, so a test can fail any offset.
    const qint64 block = FailWriteAt ? 1 : std::max<qint64>(data.size(), 1);
    for (qint64 offset = 0; offset <= data.size(); offset += block) {
        if (FailWriteAt && FailWriteAt(offset))
            return fail(QCoreApplication::translate("QIODevice", "No space left on device"));
        const qint64 n = std::min(block, data.size() - offset);
        if (n > 0 && file.write(data.constData() + offset, n) != n)
            return fail(file.errorString());
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace zra::store
