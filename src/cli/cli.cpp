#include "cli.h"
#include "interruptwatch.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "core/inputranges.h"
#include "core/savefile.h"
#include "core/text.h"
#include "export/exportjob.h"
#include "export/pictures.h"
#include "market/collection.h"
#include "market/itemlist.h"
#include "market/itemservice.h"
#include "market/parampages.h"
#include "market/sellerlookup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QUrl>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Cli {

namespace {

const QString usage = uR"(usage:
  quorvex-cli export  --list FILE --out FILE.csv --format tb4|tb5|paipai
                      [--program-dir DIR] [--config FILE] [--proxy URL]
                      [--rules] [--watermark] [--no-desc-pictures] [--strip-links]
                      [--seller NICK] [--price-percent P --price-decimals D] [--stock N]
                      [--jobs N] [--report FILE.json] [--resume]
  quorvex-cli collect --mode single|shop|list --address URL --out FILE.txt
                      [--program-dir DIR] [--config FILE] [--proxy URL]
  quorvex-cli item    --code CODE --fields NAME,NAME,...
                      [--program-dir DIR] [--config FILE] [--proxy URL]
  quorvex-cli seller  --nick NICK [--select N,N,...]
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
    parser.addOption(
        {u"config"_s, u"The configuration file (default: quorvex.ini in the program folder)."_s, u"FILE"_s});
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
    QString problem;
    const Market::ItemDocument document = Market::ItemDocument::fetch(client, common.config, code, &problem);
    const QString result = document.fields(fields);
    out << result << "\n";
    out.flush();
    if (document.isEmpty()) {
        err << "quorvex-cli item: " << problem << " (" << Market::itemServiceAddress(common.config, code)
            << ")\n";
        return Failures;
    }
    if (result == Market::blankFieldResult()) {
        const QString message = document.field(u"errorMessage"_s);
        err << "quorvex-cli item: the item service's answer for " << code << " holds none of the fields "
            << fields << (message.isEmpty() ? QString() : u" ("_s + message + u')') << "\n";
        return Failures;
    }
    return Success;
}

bool readNumberOption(const QCommandLineParser &parser, const QString &name, int minimum, int maximum,
                      int &value, QTextStream &err)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).trimmed().toInt(&ok);
    if (!ok || value < minimum || value > maximum) {
        err << "quorvex-cli export: --" << name << " takes a whole number from " << minimum << " to "
            << maximum << ", not " << parser.value(name) << "\n";
        return false;
    }
    return true;
}

QString statusName(Export::ItemReport::Status status)
{
    switch (status) {
    case Export::ItemReport::Status::Written:
        return u"written"_s;
    case Export::ItemReport::Status::RecordFailed:
        return u"record-failed"_s;
    case Export::ItemReport::Status::PicturesFailed:
        return u"pictures-failed"_s;
    case Export::ItemReport::Status::Duplicate:
        return u"duplicate"_s;
    case Export::ItemReport::Status::WriteFailed:
        return u"write-failed"_s;
    case Export::ItemReport::Status::NotReached:
        break;
    }
    return u"not-reached"_s;
}

bool writeReport(const QString &path, const Export::ExportSummary &summary, QTextStream &err)
{
    QJsonArray items;
    for (const Export::ItemReport &item : summary.items) {
        QJsonObject entry{{u"code"_s, item.code},
                          {u"title"_s, item.title},
                          {u"status"_s, statusName(item.status)},
                          {u"failedPictures"_s, QJsonArray::fromStringList(item.failedPictures)},
                          {u"failedPictureReasons"_s, QJsonArray::fromStringList(item.failedPictureReasons)}};
        if (!item.reason.isEmpty())
            entry.insert(u"reason"_s, item.reason);
        if (!item.unstampedPictures.isEmpty())
            entry.insert(u"unstampedPictures"_s, QJsonArray::fromStringList(item.unstampedPictures));
        if (!item.problems.isEmpty())
            entry.insert(u"problems"_s, QJsonArray::fromStringList(item.problems));
        items.append(entry);
    }
    const QJsonObject report{{u"file"_s, summary.paths.csvFile},
                             {u"pictureFolder"_s, summary.paths.pictureFolder},
                             {u"items"_s, summary.itemCount},
                             {u"written"_s, summary.written},
                             {u"recordFailures"_s, summary.recordFailures},
                             {u"pictureFailures"_s, summary.pictureFailures},
                             {u"unstampedPictures"_s, summary.unstampedPictures},
                             {u"fileFailures"_s, summary.fileFailures},
                             {u"duplicates"_s, summary.duplicates},
                             {u"reusedPictures"_s, summary.reusedPictures},
                             {u"sharedPictures"_s, summary.sharedPictures},
                             {u"notes"_s, QJsonArray::fromStringList(summary.notes)},
                             {u"cancelled"_s, summary.cancelled},
                             {u"error"_s, summary.error},
                             {u"summary"_s, summary.text()},
                             {u"itemReports"_s, items}};
    const Core::SaveResult saved = Core::saveFile(path, QJsonDocument(report).toJson());
    if (!saved) {
        err << "quorvex-cli export: cannot write the report " << path << ": " << saved.reason << "\n";
        return false;
    }
    return true;
}

int runExport(const QStringList &arguments, QTextStream &err)
{
    QCommandLineParser parser;
    parser.addOption({u"list"_s, u"The item list or item address file."_s, u"FILE"_s});
    parser.addOption({u"out"_s, u"The import file to write (.csv)."_s, u"FILE"_s});
    parser.addOption({u"format"_s, u"tb4, tb5 or paipai."_s, u"FORMAT"_s});
    parser.addOption({u"rules"_s, u"Apply the replacement rules of re.txt."_s});
    parser.addOption({u"watermark"_s, u"Watermark the description pictures."_s});
    parser.addOption({u"no-desc-pictures"_s, u"Do not download description pictures."_s});
    parser.addOption({u"strip-links"_s, u"Strip links to the source marketplace."_s});
    parser.addOption({u"seller"_s, u"The seller account name (5.x)."_s, u"NICK"_s});
    parser.addOption({u"price-percent"_s, u"Price adjustment in per cent."_s, u"P"_s});
    parser.addOption({u"price-decimals"_s, u"Decimals of the adjusted price."_s, u"D"_s});
    parser.addOption({u"stock"_s, u"Set every quantity to N."_s, u"N"_s});
    parser.addOption({u"jobs"_s, u"Items in flight at once."_s, u"N"_s});
    parser.addOption({u"report"_s, u"Write a JSON report."_s, u"FILE"_s});
    parser.addOption({u"resume"_s, u"Keep the pictures an earlier run left whole in the picture folder."_s});
    addCommonOptions(parser);
    if (!parse(parser, arguments, err))
        return NothingDone;
    if (!parser.isSet(u"list"_s) || !parser.isSet(u"out"_s) || !parser.isSet(u"format"_s)) {
        err << "quorvex-cli export: --list, --out and --format are required\n" << usage;
        return NothingDone;
    }
    Export::ExportOptions options;
    const QString format = parser.value(u"format"_s);
    if (format == u"tb4"_s) {
        options.type = Export::OutputType::Taobao4;
    } else if (format == u"tb5"_s) {
        options.type = Export::OutputType::Taobao5;
    } else if (format == u"paipai"_s) {
        options.type = Export::OutputType::Paipai;
    } else {
        err << "quorvex-cli export: --format is tb4, tb5 or paipai, not " << format << "\n";
        return NothingDone;
    }
    if (parser.isSet(u"price-percent"_s) != parser.isSet(u"price-decimals"_s)) {
        err << "quorvex-cli export: --price-percent and --price-decimals go together\n";
        return NothingDone;
    }
    // The window's checks, as refusals: a command line has nobody to warn.
    const auto refused = [&parser, &err](const QString &name, const Core::InputRange &range) {
        if (!parser.isSet(name) || range.accepts(parser.value(name)))
            return false;
        err << "quorvex-cli export: --" << name << " takes a "
            << (range.wholeNumber ? "whole number" : "number") << " from "
            << QString::number(range.lowest, 'g', 12) << " to " << QString::number(range.highest, 'g', 12)
            << ", not " << parser.value(name) << "\n";
        return true;
    };
    if (refused(u"price-percent"_s, Core::pricePercentRange()) ||
        refused(u"price-decimals"_s, Core::priceDecimalsRange()) ||
        refused(u"stock"_s, Core::stockValueRange()))
        return NothingDone;
    if (!readNumberOption(parser, u"jobs"_s, 1, Export::maxJobs, options.jobs, err))
        return NothingDone;
    Common common;
    if (!loadCommon(parser, common, err))
        return NothingDone;

    const QString out = parser.value(u"out"_s);
    const QString csvError = Export::checkCsvPath(out);
    if (!csvError.isEmpty()) {
        err << "quorvex-cli export: " << csvError << " (" << out << ")\n";
        return NothingDone;
    }
    // A relative path means the working folder here, as on any command line.
    options.csvPath = QFileInfo(out).absoluteFilePath();
    options.programDir = common.programDir;

    const QString listPath = parser.value(u"list"_s);
    const Market::ItemListFile list = Market::loadItemListFile(listPath);
    if (!list.error.isEmpty()) {
        err << "quorvex-cli export: " << list.error << "\n";
        return NothingDone;
    }
    const QStringList &entries = list.entries;
    if (entries.isEmpty()) {
        // Nothing to export: the previous import file, if any, stays as it is.
        err << "quorvex-cli export: the list holds no item addresses or entries: " << listPath << "\n";
        return NothingDone;
    }
    if (list.dropped > 0)
        err << "quorvex-cli export: " << Market::droppedEntriesWarning(list.dropped) << "\n";

    options.useRules = parser.isSet(u"rules"_s);
    if (options.useRules)
        options.rules = Export::loadReplacementRules(common.programDir);
    options.useWatermark = parser.isSet(u"watermark"_s);
    options.skipDescriptionPictures = parser.isSet(u"no-desc-pictures"_s);
    options.reusePictures = parser.isSet(u"resume"_s);
    options.stripLinks = parser.isSet(u"strip-links"_s);
    options.sellerName = parser.value(u"seller"_s);
    if (parser.isSet(u"price-percent"_s)) {
        options.adjustments.adjustPrice = true;
        options.adjustments.pricePercent = parser.value(u"price-percent"_s);
        options.adjustments.priceDecimals = parser.value(u"price-decimals"_s);
    }
    if (parser.isSet(u"stock"_s)) {
        options.adjustments.adjustStock = true;
        options.adjustments.stockValue = parser.value(u"stock"_s);
    }

    Core::HttpClient client(Core::HttpOptions::fromConfig(common.config));
    Export::ExportJob job(client, common.config, options, entries);
    QMutex printing;
    QObject::connect(
        &job, &Export::ExportJob::progress, &job,
        [&err, &printing](const QString &text) {
            QMutexLocker locker(&printing);
            err << text << "\n";
            err.flush();
        },
        Qt::DirectConnection);
    // Ctrl+C or a termination request stops the run as the window's stop button does:
    // the items finished so far are written.
    const InterruptWatch interrupt([&job] { job.cancel(); });
    const Export::ExportSummary summary = job.run();

    if (!summary.started) {
        err << summary.error << "\n";
        return NothingDone;
    }
    bool reportWritten = true;
    if (parser.isSet(u"report"_s))
        reportWritten = writeReport(parser.value(u"report"_s), summary, err);
    // The summary line itself came last among the progress texts.
    const QString details = summary.details(false);
    if (!details.isEmpty())
        err << details << "\n";
    err.flush();
    return summary.hasFailures() || !reportWritten ? Failures : Success;
}

int runCollect(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.addOption({u"mode"_s, u"single, shop or list."_s, u"MODE"_s});
    parser.addOption({u"address"_s, u"The item, shop or listing address."_s, u"URL"_s});
    parser.addOption({u"out"_s, u"The item address file to write."_s, u"FILE"_s});
    addCommonOptions(parser);
    if (!parse(parser, arguments, err))
        return NothingDone;
    if (!parser.isSet(u"mode"_s) || !parser.isSet(u"address"_s) || !parser.isSet(u"out"_s)) {
        err << "quorvex-cli collect: --mode, --address and --out are required\n" << usage;
        return NothingDone;
    }
    const QString modeName = parser.value(u"mode"_s);
    Market::CollectMode mode = Market::CollectMode::Single;
    if (modeName == u"shop"_s) {
        mode = Market::CollectMode::Shop;
    } else if (modeName == u"list"_s) {
        mode = Market::CollectMode::List;
    } else if (modeName != u"single"_s) {
        err << "quorvex-cli collect: --mode is single, shop or list, not " << modeName << "\n";
        return NothingDone;
    }
    Common common;
    if (!loadCommon(parser, common, err))
        return NothingDone;

    Core::HttpClient client(Core::HttpOptions::fromConfig(common.config));
    Market::Collector collector(client, common.config);
    collector.onProgress = [&err](const QString &text) {
        err << text << "\n";
        err.flush();
    };
    // Ctrl+C or a termination request aborts the pages in flight; what was found is written.
    const InterruptWatch interrupt([&collector] { collector.cancel(); });
    const Market::CollectOutcome outcome = collector.run(mode, parser.value(u"address"_s));
    if (!outcome.message.isEmpty()) {
        err << outcome.message << "\n";
        if (!outcome.openAddress.isEmpty())
            err << outcome.openAddress << "\n";
        return NothingDone;
    }
    QStringList codes;
    for (const QString &entry : outcome.entries) {
        // A shop's names are untrusted: no terminal controls, one entry per line.
        out << Core::removeControlCharacters(entry) << "\n";
        codes << Market::itemCodeFromEntry(entry);
    }
    out.flush();
    QString error;
    if (!Export::writeFileAtomically(parser.value(u"out"_s), Market::writeItemAddresses(common.config, codes),
                                     &error)) {
        err << "quorvex-cli collect: cannot write " << parser.value(u"out"_s) << ": " << error << "\n";
        return Failures;
    }
    const QString warnings = outcome.warnings();
    if (!warnings.isEmpty())
        err << warnings << "\n";
    if (outcome.cancelled)
        err << u"已停止"_s << "\n";
    if (outcome.entries.isEmpty())
        err << u"没有找到商品"_s << "\n";
    err << u"宝贝数:"_s << outcome.entries.size() << "\n";
    const bool leftSomethingOut = outcome.rejectedEntries > 0 || outcome.failedPages > 0 || outcome.cancelled;
    return outcome.entries.isEmpty() || leftSomethingOut ? Failures : Success;
}

// "0,2" into rows; "" is no row at all. False for anything that is not a row number.
bool parseRows(const QString &text, QList<int> &rows)
{
    if (Core::isBlank(text))
        return true;
    for (const QString &piece : text.split(u',')) {
        bool ok = false;
        const int row = Core::trimSpaces(piece).toInt(&ok);
        if (!ok || row < 0)
            return false;
        rows.append(row);
    }
    return true;
}

int runSeller(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.addOption({u"nick"_s, u"The seller's nick."_s, u"NICK"_s});
    parser.addOption({u"select"_s, u"Category list rows for the category step, counted from 0."_s, u"N,N"_s});
    addCommonOptions(parser);
    if (!parse(parser, arguments, err))
        return NothingDone;
    if (!parser.isSet(u"nick"_s)) {
        err << "quorvex-cli seller: --nick is required\n" << usage;
        return NothingDone;
    }
    QList<int> rows;
    if (!parseRows(parser.value(u"select"_s), rows)) {
        err << "quorvex-cli seller: --select takes row numbers from 0, separated by commas, not "
            << parser.value(u"select"_s) << "\n";
        return NothingDone;
    }
    Common common;
    if (!loadCommon(parser, common, err))
        return NothingDone;
    // A refused nick sends nothing, not even the parameter page's request.
    const QString nick = parser.value(u"nick"_s);
    if (const QString refusal = Market::checkSellerNick(nick); !refusal.isEmpty()) {
        err << refusal << "\n";
        return NothingDone;
    }

    Core::HttpClient client(Core::HttpOptions::fromConfig(common.config));
    QStringList slotTexts(Market::paramPageInfo(Market::ParamPage::Main).slotCount);
    if (!Market::loadParamPage(client, common.config, Market::ParamPage::Main, slotTexts))
        err << "quorvex-cli seller: the main parameter page could not be read; the open-platform slots are "
               "empty\n";
    Market::SellerLookupJob job(client, common.config, slotTexts, nick);
    QObject::connect(
        &job, &Market::SellerLookupJob::progress, &job, [&err](const QString &text) { err << text << "\n"; },
        Qt::DirectConnection);
    const Market::SellerLookupResult result = job.run();

    out << "nick\t" << result.nick << "\n";
    out << "postage\t" << result.postage << "\n";
    out << "location\t" << result.location << "\n";
    for (const Market::SellerCategory &category : result.categories)
        out << "category\t" << category.name << "\t" << category.id << "\n";
    int status = result.foundAnything() ? Success : Failures;
    if (parser.isSet(u"select"_s)) {
        const auto outside = std::find_if(rows.cbegin(), rows.cend(),
                                          [&result](int row) { return row >= result.categories.size(); });
        if (outside != rows.cend()) {
            err << "quorvex-cli seller: --select names row " << *outside << ", but the lookup found "
                << result.categories.size() << " categories\n";
            status = Failures;
        } else {
            const Market::SellerCategorySelection selection =
                Market::selectSellerCategories(result.categories, rows);
            out << "shop-categories\t" << selection.shopCategories << "\n";
            out << "category-ids\t" << selection.categoryIds << "\n";
        }
    }
    out.flush();
    if (!result.message.isEmpty())
        err << "quorvex-cli seller: " << result.message << "\n";
    err.flush();
    return status;
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty()) {
        err << usage;
        return NothingDone;
    }
    if (arguments.contains(u"--help"_s) || arguments.contains(u"-h"_s)) {
        out << usage;
        return Success;
    }
    const QString command = arguments.constFirst();
    const QStringList rest = arguments.mid(1);
    if (command == u"item"_s)
        return runItem(rest, out, err);
    if (command == u"export"_s)
        return runExport(rest, err);
    if (command == u"collect"_s)
        return runCollect(rest, out, err);
    if (command == u"seller"_s)
        return runSeller(rest, out, err);
    err << "quorvex-cli: unknown command: " << command << "\n" << usage;
    return NothingDone;
}

} // namespace Cli
