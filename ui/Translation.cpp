#include "ui/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zra::ui {

bool InstallCzechQtTranslation() {
    // One translator for the whole run; installing it twice is harmless.
    static QTranslator translator;
    if (translator.isEmpty() &&
        !translator.load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace zra::ui
