#include "qttranslations.h"

#include "logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

namespace Core {

QString installQtTranslations(QCoreApplication &application)
{
    // The program speaks Chinese whatever the system's language, so Qt's texts do too.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QStringList folders{QDir(QCoreApplication::applicationDirPath()).filePath(u"translations"_s),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    auto *translator = new QTranslator(&application);
    for (const QString &folder : folders) {
        if (translator->load(chinese, u"qtbase"_s, u"_"_s, folder)) {
            QCoreApplication::installTranslator(translator);
            return translator->filePath();
        }
    }
    qCInfo(lcUi).noquote() << "Qt's Chinese translation (qtbase_zh_CN.qm) was not found in" << folders;
    delete translator;
    return {};
}

} // namespace Core
