#include "config/ConfigFilter.h"

#include "store/ToolFiles.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace zra::config {

bool FilterSet::empty() const {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

FilterSet FilterFromBytes(const QByteArray& file) {
    FilterSet f;
    std::memcpy(f.bytes.data(), file.constData(), std::min<std::size_t>(file.size(), 500));
    return f;
}

QByteArray FilterFileContent(const FilterSet& filter, const QByteArray& oldFile) {
    QByteArray out = oldFile;
    if (out.size() < 500)
        out.resize(500);
    std::memcpy(out.data(), filter.bytes.data(), 500);
    return out;
}

FilterSet LoadFilterFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    const QByteArray bytes = file.read(500);
    if (file.error() != QFileDevice::NoError)
        *error = file.errorString();
    return FilterFromBytes(bytes);
}

bool SaveFilterFile(const QString& path, const FilterSet& filter, QString* error) {
    QByteArray old;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = file.errorString();
            return false;
        }
        old = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            *error = file.errorString();
            return false;
        }
        file.close();
    }
    return store::WriteWholeFile(path, FilterFileContent(filter, old), error);
}

} // namespace zra::config
