#pragma once
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace zra::store {

// The settings file: INI text (sections in square brackets, key=value lines,
// integers in decimal), one section per window class ("TFmain", "TFkonfig",
// ...). It is read once when opened; a value set since reads back as set.
// A file that is not UTF-8 was edited in the format's own code page: it is
// read as Windows-1250 and written back as UTF-8.
// flush() merges the values set since the last flush into the file as it is
// then, keeping every other section and key, and replaces the file whole
// (WriteWholeFile) or not at all.
class SettingsFile {
public:
    explicit SettingsFile(const QString& path);

    QString path() const { return m_path; }
    bool contains(const QString& section, const QString& key) const;

    // Nothing when the key is missing or its value is not a decimal integer.
    std::optional<int> integer(const QString& section, const QString& key) const;
    int integer(const QString& section, const QString& key, int fallback) const {
        return integer(section, key).value_or(fallback);
    }
    // The value when it lies within low..high, else fallback.
    int integer(const QString& section, const QString& key, int fallback, int low, int high) const {
        const auto v = integer(section, key);
        return v && *v >= low && *v <= high ? *v : fallback;
    }
    QString text(const QString& section, const QString& key, const QString& fallback = {}) const;
    // A list of texts (table titles); nothing when the key is missing.
    std::optional<QStringList> texts(const QString& section, const QString& key) const;

    void setInteger(const QString& section, const QString& key, int value);
    void setText(const QString& section, const QString& key, const QString& value);
    void setTexts(const QString& section, const QString& key, const QStringList& values);

    // Writes the values set since the last flush. On failure the reason goes
    // to error ("Unable to write to <path>"), the file stays as it was and the
    // values are written with the next flush. A file that is not a settings
    // text (binary, oversized) is never overwritten.
    bool flush(QString* error);

private:
    QVariant value(const QString& section, const QString& key) const;
    void set(const QString& section, const QString& key, const QVariant& value);

    QString m_path;
    QMap<QString, QVariant> m_values; // "section/key": the file as opened, then what was set
    QSet<QString> m_unwritten;        // keys set since the last flush
};

// The widest a table column is read back; a wider value is damaged.
inline constexpr int MaxColumnWidthPx = 4000;

} // namespace zra::store
