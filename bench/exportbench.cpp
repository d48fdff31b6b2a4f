// Export speed and memory against quorvex-sandbox: items/s, requests per item and
// peak memory, beside the bound that latency and the connection limit set and beside
// the one-request-per-field pattern of a strictly sequential exporter.

#include "core/config.h"
#include "core/httpclient.h"
#include "export/exportjob.h"
#include "market/itemlist.h"
#include "sandboxprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

// Peak resident memory of this process in MB (Linux); -1 elsewhere.
double peakMemoryMb()
{
#ifdef Q_OS_LINUX
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
#endif
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"items"_s, u"Items in the generated shop."_s, u"N"_s, u"60"_s});
    parser.addOption({u"latency"_s, u"Latency of every answer in ms."_s, u"MS"_s, u"30"_s});
    parser.addOption({u"jobs"_s, u"Items in flight."_s, u"N"_s, u"8"_s});
    parser.addOption({u"format"_s, u"tb4, tb5 or paipai."_s, u"FORMAT"_s, u"tb5"_s});
    parser.addOption({u"no-desc-pictures"_s, u"Skip the description pictures."_s});
    parser.addOption({u"quiet"_s, u"Only the figures."_s});
    parser.addOption({u"fault"_s, u"A sandbox fault PATTERN=KIND (repeatable)."_s, u"FAULT"_s});
    parser.addOption(
        {u"cancel-after"_s, u"Stop the run after MS milliseconds and time the stop."_s, u"MS"_s});
    parser.addOption({u"resume"_s, u"Then run again with --resume over the complete output."_s});
    parser.addOption({u"shared-pictures"_s, u"Items share pictures, as real shops' items do."_s});
    parser.process(app);
    const int items = parser.value(u"items"_s).toInt();
    const int latency = parser.value(u"latency"_s).toInt();
    const int jobs = parser.value(u"jobs"_s).toInt();
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString listPath = dir.filePath(u"list.txt"_s);
    QStringList sandboxArguments{u"--shop-items"_s, QString::number(items),   u"--seed"_s,       u"7"_s,
                                 u"--latency"_s,    QString::number(latency), u"--write-list"_s, listPath};
    if (parser.isSet(u"shared-pictures"_s))
        sandboxArguments << u"--shared-pictures"_s;
    TestSupport::SandboxProcess sandbox(sandboxArguments);
    if (!sandbox.isRunning()) {
        out << "quorvex-sandbox did not start\n";
        return 1;
    }
    QFile listFile(listPath);
    if (!listFile.open(QIODevice::ReadOnly)) {
        out << "no item list from the sandbox\n";
        return 1;
    }
    const QStringList entries = Market::readItemListFile(listFile.readAll());

    Core::Config config;
    config.proxy = sandbox.proxyUrl();
    Export::ExportOptions options;
    options.csvPath = dir.filePath(u"bench.csv"_s);
    options.programDir = dir.path();
    options.jobs = jobs;
    options.skipDescriptionPictures = parser.isSet(u"no-desc-pictures"_s);
    const QString format = parser.value(u"format"_s);
    options.type = format == u"tb4"_s      ? Export::OutputType::Taobao4
                   : format == u"paipai"_s ? Export::OutputType::Paipai
                                           : Export::OutputType::Taobao5;

    // One run against counters set to zero; its time in seconds. With --cancel-after, the
    // time from the stop to the end of the run goes to stopMs.
    qint64 stopMs = -1;
    const auto exportOnce = [&](Export::ExportSummary &summary) {
        sandbox.reset();
        for (const QString &fault : parser.values(u"fault"_s)) {
            const qsizetype at = fault.lastIndexOf(u'=');
            sandbox.addFault(fault.left(at), fault.mid(at + 1));
        }
        QElapsedTimer timer;
        timer.start();
        Core::HttpClient client(Core::HttpOptions::fromConfig(config));
        Export::ExportJob job(client, config, options, entries);
        QElapsedTimer sinceStop;
        std::thread stopper;
        if (parser.isSet(u"cancel-after"_s)) {
            const int after = parser.value(u"cancel-after"_s).toInt();
            stopper = std::thread([&job, &sinceStop, after] {
                std::this_thread::sleep_for(std::chrono::milliseconds(after));
                sinceStop.start();
                job.cancel();
            });
        }
        summary = job.run();
        if (stopper.joinable()) {
            stopper.join();
            stopMs = sinceStop.elapsed();
        }
        return timer.elapsed() / 1000.0;
    };
    Export::ExportSummary summary;
    const double seconds = exportOnce(summary);
    const QJsonObject counts = sandbox.counts();
    const int total = counts.value(u"total"_s).toInt();
    const QJsonObject hosts = counts.value(u"hosts"_s).toObject();
    const QJsonObject paths = counts.value(u"paths"_s).toObject();

    // The bound: every host serves at most `connections` requests at once, each taking the
    // latency; the run-wide pages (parameters, city table, stock markers) come one after another.
    QHash<QString, int> perHost;
    int perRun = 0;
    for (auto it = hosts.begin(); it != hosts.end(); ++it) {
        const QString host = it.key().section(u'/', 0, 0);
        perHost[host] += it.value().toInt();
        if (it.key().contains(u"/soft/venlo/"_s) || it.key().endsWith(u"/js/cities.js"_s))
            perRun += it.value().toInt();
    }
    const int connections = config.maxConnectionsPerHost;
    double busiest = 0;
    QString busiestHost;
    for (auto it = perHost.cbegin(); it != perHost.cend(); ++it) {
        const double busy = double(it.value()) * latency / 1000.0 / connections;
        if (busy > busiest) {
            busiest = busy;
            busiestHost = it.key();
        }
    }
    // An item needs at least two round trips: its document, then its pictures.
    const double bound = perRun * latency / 1000.0 + busiest + 2 * latency / 1000.0;

    // The sequential pattern: every field of the record asked for on its own, the city table
    // twice and the stock markers once per item, then the same pictures and stock page, and
    // the main parameter page once.
    constexpr int fieldRequestsPerItem = 22;
    // Everything but the item documents and the run-wide pages: pictures and stock pages,
    // which the sequential pattern fetches just the same.
    const int perItemOther = total - paths.value(u"/item/getItem.xhtml"_s).toInt() - perRun;
    const double sequentialRequests = double(items) * (fieldRequestsPerItem + 2 + 1) + perItemOther + 1;
    const double sequentialSeconds = sequentialRequests * latency / 1000.0;
    const double memory = peakMemoryMb();
    const QJsonObject peak = sandbox.peak();

    out << "items                " << items << " (" << summary.written << " written, "
        << summary.pictureFailures << " pictures failed)\n";
    out << "latency              " << latency << " ms, " << connections << " connections per host, jobs "
        << jobs << "\n";
    out << "time                 " << QString::number(seconds, 'f', 2) << " s\n";
    out << "items/s              " << QString::number(items / seconds, 'f', 1) << "\n";
    out << "requests             " << total << " ("
        << QString::number(double(total) / std::max(items, 1), 'f', 2) << " per item)\n";
    {
        // Pictures: everything but the item documents, stock pages and run-wide pages.
        int pictureRequests = 0;
        for (auto it = paths.begin(); it != paths.end(); ++it) {
            if (it.key() != u"/item/getItem.xhtml"_s && !it.key().startsWith(u"/stock/"_s) &&
                !it.key().startsWith(u"/soft/venlo/"_s) && it.key() != u"/js/cities.js"_s)
                pictureRequests += it.value().toInt();
        }
        const auto perItem = [items](int n) {
            return QString::number(double(n) / std::max(items, 1), 'f', 2);
        };
        out << "picture requests     " << pictureRequests << " (" << perItem(pictureRequests)
            << " per item) for " << pictureRequests + summary.sharedPictures << " pictures stored ("
            << perItem(pictureRequests + summary.sharedPictures) << " per item), " << summary.sharedPictures
            << " copied from a shared download\n";
    }
    out << "bound                " << QString::number(bound, 'f', 2) << " s (busiest host " << busiestHost
        << "), ratio " << QString::number(seconds / bound, 'f', 2) << "\n";
    out << "sequential pattern   " << QString::number(sequentialSeconds, 'f', 1) << " s modelled ("
        << QString::number(sequentialRequests / std::max(items, 1), 'f', 1)
        << " requests per item, one after "
        << "another), speed-up " << QString::number(sequentialSeconds / seconds, 'f', 1) << "x\n";
    out << "peak connections     " << peak.value(u"peakConnections"_s).toInt() << " at once; per host";
    const QJsonObject peakPerHost = peak.value(u"peakPerHost"_s).toObject();
    for (auto it = peakPerHost.begin(); it != peakPerHost.end(); ++it)
        out << " " << it.key() << "=" << it.value().toInt();
    out << "\n";
    out << "peak memory          " << QString::number(memory, 'f', 1) << " MB\n";
    out << "failed               " << summary.recordFailures << " items, " << summary.pictureFailures
        << " pictures\n";
    if (stopMs >= 0)
        out << "stop to end          " << stopMs << " ms (" << summary.rowsWritten << " rows written)\n";
    if (parser.isSet(u"resume"_s)) {
        // The same list again over the complete output: only what is not on disk is asked for.
        options.reusePictures = true;
        Export::ExportSummary resumed;
        const double resumeSeconds = exportOnce(resumed);
        const QJsonObject resumeCounts = sandbox.counts();
        const int resumeTotal = resumeCounts.value(u"total"_s).toInt();
        const QJsonObject resumePaths = resumeCounts.value(u"paths"_s).toObject();
        int documents = 0, stockPages = 0, pictures = 0, runWide = 0;
        for (auto it = resumePaths.begin(); it != resumePaths.end(); ++it) {
            const int n = it.value().toInt();
            if (it.key() == u"/item/getItem.xhtml"_s)
                documents += n;
            else if (it.key().startsWith(u"/stock/"_s))
                stockPages += n;
            else if (it.key().startsWith(u"/soft/venlo/"_s) || it.key() == u"/js/cities.js"_s)
                runWide += n;
            else
                pictures += n;
        }
        const auto perItem = [items](int n) {
            return QString::number(double(n) / std::max(items, 1), 'f', 2);
        };
        out << "resume               " << QString::number(resumeSeconds, 'f', 2) << " s ("
            << QString::number(seconds / resumeSeconds, 'f', 1) << "x faster), " << resumed.written
            << " written, " << resumed.reusedPictures << " pictures reused\n";
        out << "resume requests      " << resumeTotal << ": per item " << perItem(resumeTotal - runWide)
            << " (item document " << perItem(documents) << ", stock page " << perItem(stockPages)
            << ", pictures " << perItem(pictures) << "), " << runWide << " for the run\n";
        out << "peak memory          " << QString::number(peakMemoryMb(), 'f', 1) << " MB after both runs\n";
    }
    out.flush();
    return summary.started ? 0 : 1;
}
