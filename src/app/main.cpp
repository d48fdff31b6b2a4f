#include "mainwindow.h"

#include "core/httpclient.h"
#include "core/logging.h"
#include "core/qttranslations.h"
#include "core/text.h"
#include "selfupdate/launcher.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quorvex"_s);
    Core::installQtTranslations(app);
    Core::quietPictureDecoderWarnings();
    const QString programDir = QCoreApplication::applicationDirPath();
    const Core::Config config = Core::Config::load(Core::programFilePath(programDir, u"quorvex.ini"_s));
    Core::HttpClient client(Core::HttpOptions::fromConfig(config));

    App::MainWindowContext context;
    context.programDir = programDir;
    context.config = config;
    context.client = &client;
    SelfUpdate::ProcessLauncher launcher;
    context.launcher = &launcher;
    App::MainWindow window(std::move(context));
    window.show();
    return QApplication::exec();
}
