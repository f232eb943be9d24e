// Feeds arbitrary bytes as the content of the settings file and of the
// filter file, reads values back and checks the round trips the tool relies
// on.
#include "config/ConfigFilter.h"
#include "store/Settings.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "settings_fuzz: %s\n", what);
    std::abort();
}

std::unique_ptr<QTemporaryDir> g_dir;
QString g_path;

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

volatile size_t g_touched; // keeps the reads

const char* const Sections[] = {"TFmain", "TFkonfig", "TFlog", "TFprihlaseni", "General"};
const char* const IntegerKeys[] = {"spid.Value", "Placement.Left", "Placement.State",
                                   "SG_konfig_cw_0", "IP_ADR_count"};
const char* const TextKeys[] = {"Adresar", "Ljmeno.Text", "IP_ADR_1", "Heslo"};
const char* const ListKeys[] = {"SG_main.RowHeaders", "SG_konfig.ColumnHeaders",
                                "SG_log.ColumnHeaders"};

void CheckFilter(const QByteArray& content) {
    using zra::config::FilterSet;
    const FilterSet fromBytes = zra::config::FilterFromBytes(content);
    const qsizetype supplied = std::min<qsizetype>(content.size(), 500);
    for (int i = 0; i < 500; ++i) {
        const std::uint8_t want = i < supplied ? std::uint8_t(content[i]) : 0;
        if (fromBytes.bytes[i] != want)
            Broken("FilterFromBytes changed a byte");
        if (fromBytes.contains(i + 1) != (want != 0) || fromBytes.countedIn(i + 1) != (want == 1))
            Broken("contains or countedIn disagree with the filter byte");
    }
    if (fromBytes.contains(0) || fromBytes.contains(501))
        Broken("a variable number out of range is in the filter");

    QString error;
    const FilterSet loaded = zra::config::LoadFilterFile(g_path, &error);
    if (!error.isEmpty())
        Broken("a readable filter file gave an error");
    if (loaded.bytes != fromBytes.bytes)
        Broken("LoadFilterFile and FilterFromBytes disagree");

    const QByteArray saved = zra::config::FilterFileContent(loaded, content);
    if (saved.size() != std::max<qsizetype>(content.size(), 500) ||
        std::memcmp(saved.constData(), loaded.bytes.data(), 500) != 0 ||
        saved.mid(500) != content.mid(500))
        Broken("FilterFileContent lost the filter or the rest of the file");
}

void CheckSettings(const QByteArray& content) {
    size_t touched = 0;
    {
        zra::store::SettingsFile file(g_path);
        for (const char* section : Sections) {
            const QString s = QString::fromLatin1(section);
            for (const char* key : IntegerKeys) {
                const auto v = file.integer(s, QString::fromLatin1(key));
                touched += v ? size_t(*v) : 0;
                touched += size_t(file.integer(s, QString::fromLatin1(key), -1));
            }
            for (const char* key : TextKeys)
                touched +=
                    size_t(file.text(s, QString::fromLatin1(key), QStringLiteral("x")).size());
            for (const char* key : ListKeys) {
                const auto list = file.texts(s, QString::fromLatin1(key));
                if (list)
                    for (const QString& t : *list)
                        touched += size_t(t.size());
                if (list.has_value() != file.contains(s, QString::fromLatin1(key)))
                    Broken("texts() and contains() disagree");
            }
        }

        // A value set reads back as set, before and after the flush.
        const QString section = QStringLiteral("TFmain");
        const QStringList titles = {QStringLiteral("Napětí"), QStringLiteral("a, b"), QString()};
        file.setInteger(section, QStringLiteral("spid.Value"), -1234);
        file.setText(section, QStringLiteral("Adresar"), QStringLiteral("C:\\Data;x=1"));
        file.setTexts(section, QStringLiteral("SG_main.RowHeaders"), titles);
        if (file.integer(section, QStringLiteral("spid.Value")) != -1234)
            Broken("a set integer does not read back");

        QString error;
        if (!file.flush(&error)) {
            if (error.isEmpty())
                Broken("a failed flush gave no reason");
            // A file that is not a settings text stays as it was.
            if (ReadFile(g_path) != content)
                Broken("a refused flush changed the file");
            g_touched = g_touched + touched;
            return;
        }
    }
    // The values flushed read back from the file.
    zra::store::SettingsFile again(g_path);
    const QString section = QStringLiteral("TFmain");
    if (again.integer(section, QStringLiteral("spid.Value")) != -1234)
        Broken("a flushed integer does not read back");
    if (again.text(section, QStringLiteral("Adresar")) != QStringLiteral("C:\\Data;x=1"))
        Broken("a flushed text does not read back");
    const auto list = again.texts(section, QStringLiteral("SG_main.RowHeaders"));
    if (!list || list->size() != 3 || list->at(0) != QStringLiteral("Napětí") ||
        list->at(1) != QStringLiteral("a, b") || !list->at(2).isEmpty())
        Broken("flushed texts do not read back");
    g_touched = g_touched + touched;
}

} // namespace

// The settings code uses no event machinery: no application object is needed.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's warnings about odd lines ("QSettings::value: Empty key passed")
    // would flood the log; critical and fatal messages still come through.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        if (type == QtFatalMsg)
            std::abort();
    });
    g_dir = std::make_unique<QTemporaryDir>();
    if (!g_dir->isValid())
        Broken("no temporary folder");
    g_path = g_dir->filePath(QStringLiteral("settings.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!WriteFile(g_path, content))
        Broken("cannot write the input file");
    CheckFilter(content);
    CheckSettings(content);
    return 0;
}
