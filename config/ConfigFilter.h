#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace zra::config {

// The filter: one byte per variable number (byte n - 1 for variable n); 1
// puts the variable in the filter. Any byte other than 0 counts as in the
// filter, but only bytes equal to 1 are counted.
struct FilterSet {
    std::array<std::uint8_t, 500> bytes{};

    bool contains(int number) const {
        return number >= 1 && number <= 500 && bytes[number - 1] != 0;
    }
    bool countedIn(int number) const {
        return number >= 1 && number <= 500 && bytes[number - 1] == 1;
    }
    void set(int number, bool in) {
        if (number >= 1 && number <= 500)
            bytes[number - 1] = in ? 1 : 0;
    }
    bool empty() const;
};

// The filter from the bytes of a filter file: up to 500 from its start; bytes
// the file does not supply stay 0.
FilterSet FilterFromBytes(const QByteArray& file);
// The content a filter file gets: its first 500 bytes are the filter's, the
// rest of an older, longer file stays as it was.
QByteArray FilterFileContent(const FilterSet& filter, const QByteArray& oldFile);

// Reads the filter file at path: an absent file gives the empty filter. A file
// that cannot be read puts the reason into error and gives the bytes read.
FilterSet LoadFilterFile(const QString& path, QString* error);
// Writes the filter into the file at path, whole or not at all.
bool SaveFilterFile(const QString& path, const FilterSet& filter, QString* error);

} // namespace zra::config
