#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "ui/UiText.h"

namespace mailwright {

bool InstallQtTranslations(const std::string& language) {
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    if (language.empty()) return false;
    // The same language as the program's catalogue, so that a box never mixes two.
    if (!translator.load(QStringLiteral("qtbase_") + ToQString(language),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

}  // namespace mailwright
