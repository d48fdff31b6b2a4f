#include "cli.h"

#include "core/logging.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

int main(int argc, char *argv[])
{
    // Drawing a watermark's text needs the GUI side of Qt; without a display the
    // offscreen platform serves, so the command line never needs one.
    bool watermark = false;
    for (int i = 1; i < argc; ++i)
        watermark = watermark || qstrcmp(argv[i], "--watermark") == 0;
    if (watermark && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (watermark)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    Core::quietPictureDecoderWarnings();
#ifdef Q_OS_WIN
    // The output is UTF-8 as everywhere; a console shows it as such instead of code page 936.
    ::SetConsoleOutputCP(CP_UTF8);
#endif
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = Cli::run(QCoreApplication::arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
