#include "store/Settings.h"

#include "store/ToolFiles.h"
#include "text/Cp1250.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>

namespace zra::store {

namespace {

// A settings file is small text; anything else at its path is not one.
constexpr qint64 MaxSettingsBytes = 1 << 20;

// Text that an editor of the code page's time wrote: Windows-1250 bytes
// without the controls and undefined bytes that only binary data holds.
bool IsCp1250Text(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool control = b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != 0x1A;
        const bool undefined = b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
        if (control || undefined)
            return false;
    }
    return true;
}

enum class Content { Absent, Settings, Unreadable, NotSettings };

Content ReadContent(const QString& path, QByteArray* bytes) {
    const QFileInfo info(path);
    if (!info.exists())
        return Content::Absent;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) // a directory does not open either
        return Content::Unreadable;
    if (file.size() > MaxSettingsBytes)
        return Content::NotSettings;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Content::Unreadable;
    if (bytes->contains('\0'))
        return Content::NotSettings;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(*bytes);
    if (!utf8.hasError())
        return Content::Settings;
    // Not UTF-8: a file edited in the format's own code page. It is read as
    // Windows-1250 and goes on as UTF-8, so the next write saves it so.
    if (!IsCp1250Text(*bytes))
        return Content::NotSettings;
    *bytes = text::FromCp1250(*bytes).toUtf8();
    return Content::Settings;
}

// Qt's INI reader and writer work on files only: the text goes through a
// private copy, so that the settings file itself is only ever replaced whole,
// and Qt's cache of INI files never holds an outdated view of it.
std::optional<QByteArray> ThroughIni(const QByteArray& content,
                                     const std::function<void(QSettings&)>& use) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(content) != content.size())
            return {};
    }
    {
        QSettings ini(path, QSettings::IniFormat);
        use(ini);
        ini.sync();
        // A format error only means lines that are not key=value: they are dropped.
        if (ini.status() == QSettings::AccessError)
            return {};
    }
    QFile result(path);
    if (!result.open(QIODevice::ReadOnly))
        return {};
    return result.readAll();
}

QString FullKey(const QString& section, const QString& key) {
    return section + u'/' + key;
}

QString UnableToWrite(const QString& path) {
    return QStringLiteral("Unable to write to %1").arg(path);
}

} // namespace

// ---- the file ----

SettingsFile::SettingsFile(const QString& path) : m_path(path) {
    QByteArray content;
    if (ReadContent(path, &content) != Content::Settings)
        return;
    ThroughIni(content, [this](QSettings& ini) {
        for (const QString& key : ini.allKeys())
            if (!key.isEmpty() && !key.endsWith(QLatin1Char('/'))) // a line without a key
                m_values.insert(key, ini.value(key));
    });
}

QVariant SettingsFile::value(const QString& section, const QString& key) const {
    return m_values.value(FullKey(section, key));
}

void SettingsFile::set(const QString& section, const QString& key, const QVariant& value) {
    const QString full = FullKey(section, key);
    m_values.insert(full, value);
    m_unwritten.insert(full);
}

std::optional<int> SettingsFile::integer(const QString& section, const QString& key) const {
    const QVariant v = value(section, key);
    if (v.typeId() != QMetaType::QString)
        return {};
    bool ok = false;
    const int n = v.toString().toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QString SettingsFile::text(const QString& section, const QString& key,
                           const QString& fallback) const {
    const QVariant v = value(section, key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    // A text with commas that was typed into the file without quotes.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return fallback;
}

bool SettingsFile::contains(const QString& section, const QString& key) const {
    return m_values.contains(FullKey(section, key));
}

std::optional<QStringList> SettingsFile::texts(const QString& section, const QString& key) const {
    if (!contains(section, key))
        return {};
    const QVariant v = value(section, key);
    // One text reads back as a plain value; an empty list as no value.
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    return QStringList();
}

void SettingsFile::setInteger(const QString& section, const QString& key, int value) {
    set(section, key, QString::number(value));
}

void SettingsFile::setText(const QString& section, const QString& key, const QString& value) {
    set(section, key, value);
}

void SettingsFile::setTexts(const QString& section, const QString& key, const QStringList& values) {
    set(section, key, values);
}

bool SettingsFile::flush(QString* error) {
    if (m_unwritten.isEmpty())
        return true;
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray old;
    switch (ReadContent(m_path, &old)) {
    case Content::Unreadable: // what cannot be read is not replaced
        return fail(UnableToWrite(m_path));
    case Content::NotSettings:
        return fail(QStringLiteral("Soubor %1 není soubor nastavení, nastavení nebylo uloženo")
                        .arg(m_path));
    case Content::Absent:
    case Content::Settings:
        break;
    }
    const auto merged = ThroughIni(old, [this](QSettings& ini) {
        for (const QString& key : std::as_const(m_unwritten))
            ini.setValue(key, m_values.value(key));
    });
    // The file may hold the remembered password: the user's only.
    if (!merged || !WriteWholeFile(m_path, *merged, nullptr, UserOnly))
        return fail(UnableToWrite(m_path));
    m_unwritten.clear();
    return true;
}

} // namespace zra::store
