#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kb {

bool installQtTranslation() {
    // Lives as long as the application object, which only refers to it.
    static QTranslator translator;
    const QString name = QStringLiteral("qtbase_ja");
    const bool loaded =
        translator.load(name, QCoreApplication::applicationDirPath() + QStringLiteral("/translations")) ||
        translator.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return loaded && QCoreApplication::installTranslator(&translator);
}

} // namespace kb
