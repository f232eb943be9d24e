#pragma once
#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <functional>
#include <optional>

namespace zra::store {

// The tool's own files.
inline const QString SettingsFileName = QStringLiteral("Pelix4_ZRA.ini");
inline const QString FilterFileName = QStringLiteral("Pelix4_ZRA.flt");

// Where the tool keeps its own files (settings, filter): beside the executable
// when that folder is writable or already holds the settings file (an
// unpacked copy), else the user's configuration folder (an installed
// package). The one place of that rule.
QString ToolFileDirectory();
// True for the system's program folders (/usr/bin, /usr/local/bin, /bin and
// the like): an installed copy never keeps its files there, also when root,
// for whom they are writable, runs it.
bool IsSystemProgramFolder(const QString& folder);
// Where the snapshot dialogs start before the engineer picks a folder: the
// program's folder, or the home folder for an installed copy.
QString DefaultSnapshotDirectory();
// The rule itself, for the folder beside the executable and the user's.
QString ChooseToolFileDirectory(const QString& beside, const QString& user);
QString ToolFilePath(const QString& name);
// Points every tool file at another folder (tests); empty: the rule above.
void SetToolFileDirectory(const QString& directory);

// The permissions of the tool's files that hold the remembered login and the
// record of writes (settings, audit log): the user's only (0600).
inline constexpr QFileDevice::Permissions UserOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Writes data as the whole content of path, or nothing: the old file stays as
// it was when any step fails (the new content goes to a temporary file that
// replaces the old one only once complete). The reason goes to error. The new
// file keeps the old one's permissions, or takes these when given (before any
// byte is written, so the data is never readable by others).
bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error,
                    std::optional<QFileDevice::Permissions> permissions = std::nullopt);
// Test seam: asked before each byte block is written with the offset it would
// start at; true makes the write fail there.
inline std::function<bool(qint64 offset)> FailWriteAt;
// Test seam of the writes in place (a snapshot append): true stops the write
// at that offset as a killed process would, with nothing undone.
inline std::function<bool(qint64 offset)> StopWriteAt;

} // namespace zra::store
