#include "notifier.h"
#include "updaterwindow.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/qttranslations.h"
#include "core/text.h"
#include "selfupdate/launcher.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"update"_s);
    // Qt's own texts (the buttons of its message boxes) in Chinese, as in the main program.
    Core::installQtTranslations(app);

    // The update program lives in the main program's folder and reads the same settings.
    const QString programDir = QCoreApplication::applicationDirPath();
    const Core::Config config = Core::Config::load(Core::programFilePath(programDir, u"quorvex.ini"_s));
    const Core::HttpClient client(Core::HttpOptions::fromConfig(config));
    SelfUpdate::ProcessLauncher launcher;
    Updater::MessageBoxNotifier notifier;

    Updater::UpdaterWindow window(client, config, programDir, launcher, notifier);
    window.show();
    return QApplication::exec();
}
