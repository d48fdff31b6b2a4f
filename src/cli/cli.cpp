#include "cli.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/itemservice.h"
#include "core/text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace Cli {

namespace {

const QString usage = uR"(usage:
  quorvex-cli export  --list FILE --out FILE.csv --format tb4|tb5|paipai
                      [--program-dir DIR] [--config FILE] [--proxy URL]
                      [--rules] [--watermark] [--no-desc-pictures] [--strip-links]
                      [--seller NICK] [--price-percent P --price-decimals D] [--stock N]
                      [--jobs N] [--report FILE.json]
  quorvex-cli collect --mode single|shop|list --address URL --out FILE.txt
                      [--program-dir DIR] [--config FILE] [--proxy URL]
  quorvex-cli item    --code CODE --fields NAME,NAME,...
                      [--program-dir DIR] [--config FILE] [--proxy URL]
)"_s;

struct Common
{
    QString programDir;
    Core::Config config;
};

void addCommonOptions(QCommandLineParser &parser)
{
    parser.addOption({u"program-dir"_s, u"The program folder (default: the executable's)."_s, u"DIR"_s});
    parser.addOption({u"config"_s, u"The configuration file (default: quorvex.ini in the program folder)."_s,
                      u"FILE"_s});
    parser.addOption({u"proxy"_s, u"An HTTP proxy that carries every request."_s, u"URL"_s});
}

// Parses the command's options; false (with the message on err) when they are off.
bool parse(QCommandLineParser &parser, const QStringList &arguments, QTextStream &err)
{
    if (!parser.parse(QStringList{u"quorvex-cli"_s} + arguments)) {
        err << "quorvex-cli: " << parser.errorText() << "\n" << usage;
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "quorvex-cli: unexpected argument: " << parser.positionalArguments().constFirst() << "\n"
            << usage;
        return false;
    }
    return true;
}

bool loadCommon(const QCommandLineParser &parser, Common &common, QTextStream &err)
{
    common.programDir = parser.isSet(u"program-dir"_s) ? parser.value(u"program-dir"_s)
                                                         : QCoreApplication::applicationDirPath();
    if (!QFileInfo(common.programDir).isDir()) {
        err << "quorvex-cli: the program folder does not exist: " << common.programDir << "\n";
        return false;
    }
    const QString configPath = parser.isSet(u"config"_s)
        ? parser.value(u"config"_s)
        : Core::programFilePath(common.programDir, u"quorvex.ini"_s);
    if (parser.isSet(u"config"_s) && !QFileInfo(configPath).isFile()) {
        err << "quorvex-cli: the configuration file does not exist: " << configPath << "\n";
        return false;
    }
    common.config = Core::Config::load(configPath);
    if (parser.isSet(u"proxy"_s)) {
        const QString proxy = parser.value(u"proxy"_s).trimmed();
        const QUrl url(proxy);
        if (!proxy.isEmpty() && (url.scheme() != u"http"_s || url.host().isEmpty())) {
            err << "quorvex-cli: the proxy must be given as http://HOST:PORT, not " << proxy << "\n";
            return false;
        }
        common.config.proxy = proxy;
    }
    return true;
}

int runItem(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.addOption({u"code"_s, u"The item code."_s, u"CODE"_s});
    parser.addOption({u"fields"_s, u"Element names, separated by commas."_s, u"NAMES"_s});
    addCommonOptions(parser);
    if (!parse(parser, arguments, err))
        return NothingDone;
    const QString code = Core::trimSpaces(parser.value(u"code"_s));
    const QString fields = parser.value(u"fields"_s);
    if (code.isEmpty() || Core::isBlank(fields)) {
        err << "quorvex-cli item: --code and --fields are required\n" << usage;
        return NothingDone;
    }
    Common common;
    if (!loadCommon(parser, common, err))
        return NothingDone;

    Core::HttpClient client(Core::HttpOptions::fromConfig(common.config));
    const Core::ItemDocument document = Core::ItemDocument::fetch(client, common.config, code);
    const QString result = document.fields(fields);
    out << result << "\n";
    out.flush();
    if (document.isEmpty()) {
        err << "quorvex-cli item: no answer from the item service at "
            << Core::itemServiceAddress(common.config, code) << "\n";
        return Failures;
    }
    if (result == Core::blankFieldResult()) {
        const QString message = document.field(u"errorMessage"_s);
        err << "quorvex-cli item: the item service's answer for " << code << " holds none of the fields "
            << fields << (message.isEmpty() ? QString() : u" ("_s + message + u')') << "\n";
        return Failures;
    }
    return Success;
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty() || arguments.constFirst() == u"--help"_s || arguments.constFirst() == u"-h"_s) {
        (arguments.isEmpty() ? err : out) << usage;
        return arguments.isEmpty() ? NothingDone : Success;
    }
    const QString command = arguments.constFirst();
    const QStringList rest = arguments.mid(1);
    if (command == u"item"_s)
        return runItem(rest, out, err);
    err << "quorvex-cli: unknown command: " << command << "\n" << usage;
    return NothingDone;
}

} // namespace Cli
